// SPDX-License-Identifier: GPL-3.0-or-later
#include "text_editer/file_loader.h"

#include "core/filenames.h"
#include "core/handles.h"
#include "core/textcodec.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace text_editer {

namespace {

// Opens an existing file for reading only, so a read-only file loads; a missing one is created
// empty when asked. O_NONBLOCK keeps a dropped FIFO from hanging the window until some writer
// appears.
int openForLoading(const QByteArray &path, IfMissing ifMissing)
{
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
    int fd = ::open(path.constData(), flags);
    if (fd < 0 && errno == ENOENT && ifMissing == IfMissing::Create)
        fd = ::open(path.constData(), flags | O_CREAT | O_EXCL, 0666);
    return fd;
}

// Reads one whole record, or what is left of the file. False on a read error.
bool readRecord(int fd, char *buffer, qint64 &got)
{
    got = 0;
    while (got < kRecordBytes) {
        const ssize_t n = ::read(fd, buffer + got, size_t(kRecordBytes - got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            break;
        got += n;
    }
    return true;
}

// Reads `blocks` records from where the file stands, ending after one that failed to read. Each
// record goes to `take`, which returns false once it needs no more; `goOn` then hears how many
// bytes came. False when `goOn` asked to stop.
template <class Take, class GoOn>
bool readRecords(int fd, qint64 blocks, QByteArray &buffer, Take take, GoOn goOn)
{
    for (qint64 n = 1; n <= blocks; ++n) {
        qint64 got = 0;
        const bool failed = !readRecord(fd, buffer.data(), got);
        const bool more = take(QByteArrayView(buffer.constData(), got));
        if (failed)
            return true;
        if (!goOn(got))
            return false;
        if (!more)
            return true;
    }
    return true;
}

void trimBlanks(QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == u' ')
        --end;
    qsizetype start = 0;
    while (start < end && text.at(start) == u' ')
        ++start;
    text.truncate(end);
    if (start > 0)
        text.remove(0, start);
}

// Nothing when the path cannot be loaded or `progress` asked to stop.
std::optional<QString> load(const QString &path, core::TextEncoding *encoding,
                            core::Progress *progress, IfMissing ifMissing)
{
    QString result;
    core::TextEncoding chosen = core::TextEncoding::Utf8;
    const auto finished = [&]() -> std::optional<QString> {
        if (encoding)
            *encoding = chosen;
        trimBlanks(result);
        return std::move(result);
    };
    const QByteArray nativePath = core::fs::toNative(path);
    if (nativePath.isEmpty())
        return std::nullopt;
    const core::fs::UniqueFd file(openForLoading(nativePath, ifMissing));
    if (!file.valid())
        return std::nullopt;
    const int fd = file.get();

    // Only a regular file is read: a FIFO, a device or a folder that was dropped or typed is no
    // text, as a file that cannot be opened is none.
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    const qint64 blocks = recordCount(st.st_size);
    QByteArray buffer(qsizetype(kRecordBytes), Qt::Uninitialized);
    if (progress)
        progress->setTotal(st.st_size);
    qint64 bytesRead = 0;
    const auto goOn = [&](qint64 got) {
        bytesRead += got;
        return !progress || progress->advance(bytesRead);
    };

    // Most files are UTF-8, read in one pass by Qt's decoder; one that starts with a UTF-16
    // byte-order mark is read as UTF-16 instead. The first byte that does not decode sends the
    // loader back to read the bytes as they are and choose again, as for any file that is not
    // UTF-8, so a damaged UTF-16 file still loads with every byte kept.
    result.reserve(qsizetype(st.st_size)); // never more characters than bytes
    core::TextDecoder decoder;
    std::optional<core::Utf16Decoder> utf16;
    bool firstRecord = true;
    bool cancelled = !readRecords(
        fd, blocks, buffer,
        [&](QByteArrayView record) {
            if (std::exchange(firstRecord, false)) {
                if (const std::optional<core::TextEncoding> order = core::utf16ByteOrder(record)) {
                    utf16.emplace(*order);
                    chosen = *order;
                }
            }
            if (utf16) {
                result += utf16->decode(record);
                return !utf16->hasError();
            }
            result += decoder.decode(record);
            return !decoder.hasError();
        },
        goOn);
    if (utf16)
        utf16->finish();
    else
        result += decoder.finish();

    if ((utf16 ? utf16->hasError() : decoder.hasError()) && !cancelled) {
        chosen = core::TextEncoding::Utf8;
        result = QString();
        if (progress)
            progress->setTotal(st.st_size + bytesRead);
        QByteArray bytes;
        bytes.reserve(qsizetype(st.st_size));
        if (lseek(fd, 0, SEEK_SET) == 0) {
            cancelled = !readRecords(
                fd, blocks, buffer,
                [&](QByteArrayView record) {
                    bytes.append(record);
                    return true;
                },
                goOn);
        }
        if (!cancelled) {
            if (std::optional<QString> turkish = core::decodeCleanWindows1254(bytes)) {
                result = std::move(*turkish);
                chosen = core::TextEncoding::Windows1254;
            } else {
                result = core::decodeKeepingBytes(bytes);
            }
        }
    }
    if (cancelled)
        return std::nullopt;
    return finished();
}

} // namespace

QString loadTextFile(const QString &path, core::TextEncoding *encoding)
{
    return load(path, encoding, nullptr, IfMissing::Create).value_or(QString());
}

std::optional<QString> loadTextFile(const QString &path, core::TextEncoding *encoding,
                                    core::Progress &progress, IfMissing ifMissing)
{
    return load(path, encoding, &progress, ifMissing);
}

} // namespace text_editer
