// SPDX-License-Identifier: GPL-3.0-or-later
#include "text_editer/file_loader.h"

#include "core/filenames.h"
#include "core/reading.h"
#include "core/textcodec.h"

#include <optional>
#include <utility>

namespace text_editer {

namespace {

using core::fs::Expected;
using core::fs::Result;
using core::fs::Step;

// Reads `blocks` records from where the file stands. Each record goes to `take`, which returns
// false once it needs no more; `goOn` then hears how many bytes came. Fails at the first record
// that could not be read, and at Step::Cancelled when `goOn` asked to stop.
template <class Take, class GoOn>
Result readRecords(int fd, qint64 blocks, QByteArray &buffer, Take take, GoOn goOn)
{
    for (qint64 n = 1; n <= blocks; ++n) {
        qint64 got = 0;
        if (const Result read = core::fs::readRecord(fd, buffer.data(), kRecordBytes, got); !read)
            return read;
        const bool more = take(QByteArrayView(buffer.constData(), got));
        if (!goOn(got))
            return Result::failure(Step::Cancelled, 0);
        if (!more)
            return {};
    }
    return {};
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

Expected<QString> load(const QString &path, core::TextEncoding *encoding, core::Progress *progress,
                       IfMissing ifMissing)
{
    Expected<core::fs::ReadableFile> opened =
        core::fs::openForReading(path, ifMissing == IfMissing::Create);
    if (!opened)
        return opened.error();
    const int fd = opened->fd.get();
    const qint64 size = opened->size;
    const qint64 blocks = recordCount(size);
    QByteArray buffer(qsizetype(kRecordBytes), Qt::Uninitialized);
    if (progress)
        progress->setTotal(size);
    qint64 bytesRead = 0;
    const auto goOn = [&](qint64 got) {
        bytesRead += got;
        return !progress || progress->advance(bytesRead);
    };

    // Most files are UTF-8, read in one pass by Qt's decoder; one that starts with a UTF-16
    // byte-order mark is read as UTF-16 instead. The first byte that does not decode sends the
    // loader back to read the bytes as they are and choose again, as for any file that is not
    // UTF-8, so a damaged UTF-16 file still loads with every byte kept.
    QString result;
    core::TextEncoding chosen = core::TextEncoding::Utf8;
    result.reserve(qsizetype(size)); // never more characters than bytes
    core::TextDecoder decoder;
    std::optional<core::Utf16Decoder> utf16;
    bool firstRecord = true;
    Result read = readRecords(
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
    if (!read)
        return read.error();
    if (utf16)
        utf16->finish();
    else
        result += decoder.finish();

    if (utf16 ? utf16->hasError() : decoder.hasError()) {
        chosen = core::TextEncoding::Utf8;
        result = QString();
        if (progress)
            progress->setTotal(size + bytesRead);
        QByteArray bytes;
        bytes.reserve(qsizetype(size));
        if (const Result seek = core::fs::seekToStart(fd); !seek)
            return seek.error();
        read = readRecords(
            fd, blocks, buffer,
            [&](QByteArrayView record) {
                bytes.append(record);
                return true;
            },
            goOn);
        if (!read)
            return read.error();
        if (std::optional<QString> turkish = core::decodeCleanWindows1254(bytes)) {
            result = std::move(*turkish);
            chosen = core::TextEncoding::Windows1254;
        } else {
            result = core::decodeKeepingBytes(bytes);
        }
    }
    if (encoding)
        *encoding = chosen;
    trimBlanks(result);
    return result;
}

Expected<QString> loadLogged(const QString &path, core::TextEncoding *encoding,
                             core::Progress *progress, IfMissing ifMissing)
{
    Expected<QString> text = load(path, encoding, progress, ifMissing);
    if (!text)
        static_cast<void>(core::fs::logged(text.error(), "load", core::fs::toNative(path)));
    return text;
}

} // namespace

QString loadTextFile(const QString &path, core::TextEncoding *encoding)
{
    return loadLogged(path, encoding, nullptr, IfMissing::Create).value_or(QString());
}

Expected<QString> loadTextFile(const QString &path, core::TextEncoding *encoding,
                               core::Progress &progress, IfMissing ifMissing)
{
    return loadLogged(path, encoding, &progress, ifMissing);
}

} // namespace text_editer
