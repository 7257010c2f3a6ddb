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
    // UTF-16 holds every character. Its byte-order mark is what tells a reader, this one
    // included, that the file is UTF-16, so a text that lost it (typed into an emptied box) gets
    // it back.
    const bool addMark = core::isUtf16(encoding) && !text.startsWith(QChar(QChar::ByteOrderMark));
    // A text the file's own code page cannot hold (a character typed or pasted since) is written
    // as UTF-8, so nothing typed is lost; UTF-8 writes each byte stand-in back as its byte.
    if (encoding == core::TextEncoding::Windows1254 && !core::fitsWindows1254(text))
        encoding = core::TextEncoding::Utf8;
    // Encoded while it is written, a piece at a time, so no encoded copy of a big text is ever
    // made; its size is counted only where a target written in place has its space reserved.
    core::PieceEncoder encoder({addMark ? u"\uFEFF" : u"", text, addLineEnd ? u"\r\n" : u""},
                               encoding);
    const core::fs::Pieces pieces{[&] { return encoder.next(); }, [&] { return encoder.size(); }};
    // One file, the user's own work: it reaches the disk before it replaces the old one.
    return core::fs::writeFile(path, pieces, true).ok();
}

} // namespace text_editer
