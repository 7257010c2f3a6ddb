#include "text_editer/file_saver.h"

#include "toolkit/fileops.h"
#include "toolkit/textcodec.h"

namespace texteditor {

namespace {
// Characters encoded at a time: a big text is streamed out without a second whole copy in bytes.
constexpr qsizetype kChunkChars = 1 << 20;
} // namespace

bool saveTextFile(const QString &path, QStringView text)
{
    fsops::AtomicWriter writer(path);
    if (!writer.open())
        return false;
    TextEncoder encoder;
    for (qsizetype at = 0; at < text.size();) {
        // The encoder keeps a surrogate pair cut by a chunk boundary whole.
        const qsizetype end = std::min(text.size(), at + kChunkChars);
        if (!writer.write(encoder.encode(text.sliced(at, end - at))))
            return false;
        at = end;
    }
    // The line end goes through the encoder too, which flushes a lone high surrogate left at the
    // end of the text as the replacement character.
    return writer.write(encoder.encode(u"\r\n")) && writer.commit();
}

} // namespace texteditor
