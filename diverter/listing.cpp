#include "diverter/listing.h"

#include "toolkit/textcodec.h"

#include "toolkit/filenames.h"

#include <charconv>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace diverter {

QString sizeText(const QString &path)
{
    struct stat st;
    const QByteArray native = fsname::toNative(path);
    if (native.isEmpty() || stat(native.constData(), &st) != 0)
        return {};
    return QString::number(qint64(st.st_size));
}

QString listingPieces(const QString &folder, const QStringList &names, const QString &nameSeparator,
                      bool withSizes, const QString &sizeSeparator)
{
    // One buffer for the whole run: the box is written once, which keeps 100,000 entries quick.
    QString out;
    qsizetype guess = 0;
    for (const QString &name : names)
        guess += name.size();
    guess += names.size() * (nameSeparator.size() + (withSizes ? sizeSeparator.size() + 12 : 0));
    out.reserve(guess);
    // The folder is opened once and each name looked up in it: the file that the joined path
    // names, without walking the folder's path again for every entry.
    const QByteArray nativeFolder = fsname::toNative(folder);
    const int dirFd = withSizes && !nativeFolder.isEmpty()
                          ? open(nativeFolder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                          : -1;
    std::string nativeName;
    for (const QString &name : names) {
        out += nameSeparator;
        out += name;
        if (!withSizes)
            continue;
        out += sizeSeparator;
        if (dirFd < 0) {
            out += sizeText(joinPath(folder, name));
            continue;
        }
        // One buffer for every name's native form and every size's digits: no allocation per
        // entry.
        nativeName.resize(size_t(name.size()) * 3 + 1);
        bool encoded = false;
        char *end = encodeKeepingBytesTo(name, nativeName.data(), &encoded);
        *end = '\0';
        struct stat st;
        if (encoded && fstatat(dirFd, nativeName.data(), &st, 0) == 0) {
            char digits[24];
            const auto r = std::to_chars(digits, digits + sizeof digits, qint64(st.st_size));
            out += QLatin1StringView(digits, r.ptr - digits);
        }
    }
    if (dirFd >= 0)
        close(dirFd);
    return out;
}

} // namespace diverter
