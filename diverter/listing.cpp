// SPDX-License-Identifier: GPL-3.0-or-later
#include "diverter/listing.h"

#include "core/filenames.h"
#include "core/fileops.h"
#include "core/reading.h"
#include "core/textcodec.h"

#include <charconv>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <fcntl.h>

namespace diverter {

QString sizeText(const QString &path)
{
    const QByteArray native = core::fs::toNative(path);
    const qint64 size = native.isEmpty() ? -1 : core::fs::sizeOf(AT_FDCWD, native.constData());
    return size < 0 ? QString() : QString::number(size);
}

namespace {

constexpr qint64 kNoSize = -1; // as core::fs::sizeOf answers for a size it cannot read
// From this many entries on, two threads read the sizes.
constexpr qsizetype kSharedSizeReads = 4096;

// The sizes of the named files in the open folder `dirFd`, kNoSize where one cannot be read.
void readSizes(int dirFd, const QStringList &names, qsizetype from, qsizetype to,
               std::vector<qint64> &sizes)
{
    // One buffer for every name's native form: no allocation per entry.
    std::string nativeName;
    for (qsizetype i = from; i < to; ++i) {
        const QString &name = names[i];
        nativeName.resize(size_t(name.size()) * 3 + 1);
        bool encoded = false;
        char *end = core::encodeKeepingBytesTo(name, nativeName.data(), &encoded);
        *end = '\0';
        if (encoded)
            sizes[size_t(i)] = core::fs::sizeOf(dirFd, nativeName.data());
    }
}

} // namespace

QString listingPieces(const QString &folder, const QStringList &names, const QString &nameSeparator,
                      bool withSizes, const QString &sizeSeparator)
{
    // The sizes first. The folder is opened once and each name looked up in it, without walking
    // the folder's path again for every entry; a big folder is shared between two threads, since
    // the lookups, not the text, take the time, when a second thread can be had.
    std::vector<qint64> sizes;
    core::fs::UniqueFd folderFd;
    if (withSizes) {
        sizes.assign(size_t(names.size()), kNoSize);
        folderFd = core::fs::openFolder(folder);
    }
    const bool sizesRead = folderFd.valid();
    const int dirFd = folderFd.get();
    if (sizesRead) {
        qsizetype mine = names.size();
        std::thread other;
        if (names.size() >= kSharedSizeReads && std::thread::hardware_concurrency() > 1) {
            const qsizetype half = names.size() / 2;
            try {
                other = std::thread(readSizes, dirFd, std::cref(names), half, names.size(),
                                    std::ref(sizes));
                mine = half;
            } catch (const std::system_error &) {
                // No thread to be had (the process at its limit): this one reads them all.
            }
        }
        readSizes(dirFd, names, 0, mine, sizes);
        if (other.joinable())
            other.join();
    }

    // One buffer for the whole run: the box is written once, which keeps 100,000 entries quick.
    QString out;
    qsizetype guess = 0;
    for (const QString &name : names)
        guess += name.size();
    guess += names.size() * (nameSeparator.size() + (withSizes ? sizeSeparator.size() + 12 : 0));
    out.reserve(guess);
    for (qsizetype i = 0; i < names.size(); ++i) {
        out += nameSeparator;
        out += names[i];
        if (!withSizes)
            continue;
        out += sizeSeparator;
        if (!sizesRead) {
            out += sizeText(core::fs::joinPath(folder, names[i]));
            continue;
        }
        if (const qint64 size = sizes[size_t(i)]; size != kNoSize) {
            char digits[24];
            const auto r = std::to_chars(digits, digits + sizeof digits, size);
            out += QLatin1StringView(digits, r.ptr - digits);
        }
    }
    return out;
}

} // namespace diverter
