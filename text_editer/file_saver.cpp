#include "text_editer/file_saver.h"

#include "toolkit/fileops.h"
#include "toolkit/textcodec.h"

namespace texteditor {

bool saveTextFile(const QString &path, QStringView text)
{
    // The whole content is known before the file is touched, so a target written in place can
    // have its space reserved first. The line end goes through the encoder too, which flushes a
    // lone high surrogate left at the end of the text as the replacement character.
    TextEncoder encoder;
    QByteArray bytes = encoder.encode(text);
    bytes += encoder.encode(u"\r\n");
    // One file, the user's own work: it reaches the disk before it replaces the old one.
    return fsops::writeFile(path, bytes, true);
}

} // namespace texteditor
