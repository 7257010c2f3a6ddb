// SPDX-License-Identifier: GPL-3.0-or-later
#include "text_editer/file_saver.h"

#include "core/fileops.h"
#include "core/textcodec.h"

namespace text_editer {

bool saveTextFile(const QString &path, QStringView text, core::TextEncoding encoding)
{
    // Every saved file ends with a line end, but only one: a text that ends with a line break of
    // its own (a loaded file usually does) gets none added, so opening and saving a file does not
    // grow it by a blank line each time, nor give an LF file a CR LF at its end.
    const bool addLineEnd = !text.endsWith(u'\n') && !text.endsWith(u'\r');
    // The whole content is known before the file is touched, so a target written in place can
    // have its space reserved first.
    QByteArray bytes;
    if (core::isUtf16(encoding)) {
        // UTF-16 holds every character. Its byte-order mark is what tells a reader, this one
        // included, that the file is UTF-16, so a text that lost it (typed into an emptied box)
        // gets it back.
        const bool addMark = !text.startsWith(QChar(QChar::ByteOrderMark));
        bytes.reserve((text.size() + 3) * 2);
        if (addMark)
            core::appendUtf16(bytes, u"\uFEFF", encoding);
        core::appendUtf16(bytes, text, encoding);
        if (addLineEnd)
            core::appendUtf16(bytes, u"\r\n", encoding);
    } else {
        // A text the file's own code page cannot hold (a character typed or pasted since) is
        // written as UTF-8, so nothing typed is lost; UTF-8 writes each byte stand-in back as
        // its byte.
        std::optional<QByteArray> encoded;
        if (encoding == core::TextEncoding::Windows1254)
            encoded = core::encodeWindows1254(text);
        bytes = encoded ? std::move(*encoded) : core::encodeKeepingBytes(text);
        if (addLineEnd)
            bytes += "\r\n";
    }
    // One file, the user's own work: it reaches the disk before it replaces the old one.
    return core::fs::writeFile(path, bytes, true).ok();
}

} // namespace text_editer
