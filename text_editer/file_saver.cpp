#include "text_editer/file_saver.h"

#include "core/fileops.h"
#include "core/textcodec.h"

namespace text_editer {

bool saveTextFile(const QString &path, QStringView text, core::TextEncoding encoding)
{
    // The whole content is known before the file is touched, so a target written in place can
    // have its space reserved first. A text the file's own code page cannot hold (a character
    // typed or pasted since) is written as UTF-8, so nothing typed is lost; UTF-8 writes each
    // byte stand-in back as its byte.
    std::optional<QByteArray> encoded;
    if (encoding == core::TextEncoding::Windows1254)
        encoded = core::encodeWindows1254(text);
    QByteArray bytes = encoded ? std::move(*encoded) : core::encodeKeepingBytes(text);
    // Every saved file ends with a line end, but only one: a text that ends with a line break of
    // its own (a loaded file usually does) gets none added, so opening and saving a file does not
    // grow it by a blank line each time, nor give an LF file a CR LF at its end.
    if (!text.endsWith(u'\n') && !text.endsWith(u'\r'))
        bytes += "\r\n";
    // One file, the user's own work: it reaches the disk before it replaces the old one.
    return core::fs::writeFile(path, bytes, true);
}

} // namespace text_editer
