// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// File bytes and text. The program's original platform used the system's "ANSI" code page; here
// that is the locale's encoding, which Qt 6 takes as UTF-8 on this platform, with Windows-1254 for
// old Turkish files and every other byte kept as a stand-in (docs/platform.md). Decoders keep their
// state across blocks, so a multi-byte character cut by a block boundary arrives whole, and an
// initial byte-order mark is kept as a character, so loading and saving do not strip it.

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

#include <optional>
#include <vector>

namespace core {

class TextDecoder {
public:
    TextDecoder();
    // Text of this block; bytes of a character that continues in the next block are held back.
    QString decode(QByteArrayView bytes);
    // Text of any bytes still held back (an incomplete character at the very end).
    QString finish();
    // Whether the bytes so far were not all valid UTF-8 (an incomplete end counts once finished).
    bool hasError() const { return m_failed || m_decoder.hasError(); }

private:
    // QStringDecoder keeps the count of held-back bytes in its protected state.
    struct Decoder : QStringDecoder {
        using QStringDecoder::QStringDecoder;
        qsizetype heldBack() const { return state.remainingChars; }
    };
    Decoder m_decoder;
    bool m_failed = false; // kept across finish(), which resets the decoder
};

// UTF-8 that keeps every byte. Valid UTF-8 decodes as usual; each byte that is not part of valid
// UTF-8 decodes to a stand-in of its own, the lone surrogate U+DC80 + (byte - 0x80), which no valid
// UTF-8 can produce, and encodes back to that very byte. File names and file contents that are not
// clean UTF-8 therefore survive a trip through text unchanged. The decoder keeps its state across
// blocks: a character cut by a block boundary arrives whole.
class ByteKeepingDecoder {
public:
    QString decode(QByteArrayView bytes);
    // Stand-ins for bytes still held back: a sequence left incomplete at the very end.
    QString finish();
    // Whether any byte so far was not part of valid UTF-8.
    bool keptInvalidBytes() const { return m_keptInvalid; }

private:
    char m_pending[3] = {};
    int m_pendingSize = 0;
    bool m_keptInvalid = false;
};

QString decodeKeepingBytes(QByteArrayView bytes);
// The inverse of decodeKeepingBytes. A lone surrogate that stands for no byte cannot be encoded:
// it is written as the UTF-8 of U+FFFD and `*ok`, when given, is set to false.
QByteArray encodeKeepingBytes(QStringView text, bool *ok = nullptr);
// The same into `out`, which must have room for 3 bytes a character; returns the end written.
char *encodeKeepingBytesTo(QStringView text, char *out, bool *ok = nullptr);
// U+DC80 to U+DCFF: the stand-in of a byte that was not part of valid UTF-8.
inline bool isByteStandIn(QChar c)
{
    return c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF;
}

// The encodings a text file is read and written in: UTF-8, the locale's encoding, or, for a file
// that is not UTF-8 but reads cleanly as it, Windows-1254, the Turkish code page old files were
// written in, or UTF-16 in either byte order, as Windows programs save Unicode text with a
// byte-order mark.
enum class TextEncoding { Utf8, Windows1254, Utf16Le, Utf16Be };

// The UTF-16 byte order that the first bytes of a file announce by a byte-order mark (FF FE
// little-endian, FE FF big-endian); nothing when they start with neither.
std::optional<TextEncoding> utf16ByteOrder(QByteArrayView start);

// UTF-16 in one byte order (`order` is Utf16Le or Utf16Be), the byte-order mark kept as a
// character. The decoder keeps its state across blocks: a byte or the first half of a surrogate
// pair that continues in the next block is held back, so it arrives whole.
class Utf16Decoder {
public:
    explicit Utf16Decoder(TextEncoding order) : m_bigEndian(order == TextEncoding::Utf16Be) {}
    QString decode(QByteArrayView bytes);
    // Once the bytes are all in: anything still held back makes them unclean.
    void finish();
    // Whether the bytes so far were not clean UTF-16: an odd count of them (once finished), or a
    // surrogate without its partner. Such text cannot be written back as the same bytes.
    bool hasError() const { return m_failed; }

private:
    bool m_bigEndian;
    bool m_failed = false;
    int m_byte = -1;     // the first byte of a code unit, or -1
    char16_t m_high = 0; // the first half of a surrogate pair, or 0
};

// Appends every code unit of `text` as it stands to `bytes`, in the byte order `order` (Utf16Le
// or Utf16Be); no byte-order mark is added.
void appendUtf16(QByteArray &bytes, QStringView text, TextEncoding order);
inline bool isUtf16(TextEncoding encoding)
{
    return encoding == TextEncoding::Utf16Le || encoding == TextEncoding::Utf16Be;
}

// The text of `bytes` as Windows-1254, when they read cleanly as it: no byte the code page leaves
// undefined, and no control character (DEL included) but tab, line feed, form feed, carriage
// return and 0x1A, the DOS end-of-file mark.
std::optional<QString> decodeCleanWindows1254(QByteArrayView bytes);
// Whether Windows-1254 holds every character of the text.
bool fitsWindows1254(QStringView text);

// A text as a file's bytes, made a piece at a time, so that a big text is never held encoded
// whole and each piece is written while it is still in the processor's cache: UTF-8 with every
// byte stand-in back as its byte (encodeKeepingBytes), Windows-1254 for a text that fits it, or
// UTF-16 with every code unit as it stands (appendUtf16). The text may come in parts (a
// byte-order mark, the text, a line end), encoded one after the other as if they were one text
// whose parts meet at whole characters; a small text comes out as one piece. No piece cuts a
// character: a surrogate pair always stands in one piece, so a piece encodes the same on its own
// as within the whole.
class PieceEncoder {
public:
    // No piece is longer.
    static constexpr qsizetype kPieceBytes = qsizetype(1) << 20;
    // The parts must stay as they are while pieces are asked for.
    PieceEncoder(std::vector<QStringView> parts, TextEncoding encoding);
    // The next piece, empty once the whole text is given; valid until the next call.
    QByteArrayView next();
    // The bytes all the pieces come to, counted without encoding.
    qint64 size() const;

private:
    std::vector<QStringView> m_parts;
    TextEncoding m_encoding;
    size_t m_part = 0;  // the part the next piece starts in
    qsizetype m_at = 0; // and where in it
    QByteArray m_piece;
};

} // namespace core
