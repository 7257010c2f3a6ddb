// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/textcodec.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace core {

TextDecoder::TextDecoder()
    : m_decoder(QStringConverter::System, QStringConverter::Flag::ConvertInitialBom)
{}

QString TextDecoder::decode(QByteArrayView bytes)
{
    return m_decoder.decode(bytes);
}

QString TextDecoder::finish()
{
    // A character left incomplete at the very end reads as one replacement character, as a
    // one-shot decode of the whole file would give it.
    QString rest;
    m_failed = m_failed || m_decoder.hasError() || m_decoder.heldBack() > 0;
    if (m_decoder.heldBack() > 0)
        rest = QString(QChar::ReplacementCharacter);
    m_decoder.resetState();
    return rest;
}

namespace {
const char *const kWindows1254 = "windows-1254";

// Besides the line and page breaks, old DOS files often end in 0x1A, the end-of-file mark their
// editors wrote; it is kept as a character, so such a file saves back with it.
bool allowedControl(char16_t c)
{
    return c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r' || c == 0x1A;
}
} // namespace

std::optional<QString> decodeCleanWindows1254(QByteArrayView bytes)
{
    QStringDecoder decoder(kWindows1254);
    if (!decoder.isValid())
        return std::nullopt;
    QString text = decoder.decode(bytes);
    // The code page's undefined bytes decode to C1 control characters; DEL is a control too.
    for (const QChar c : std::as_const(text)) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && !allowedControl(u)) || (u >= 0x7F && u <= 0x9F))
            return std::nullopt;
    }
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

std::optional<QByteArray> encodeWindows1254(QStringView text)
{
    QStringEncoder encoder(kWindows1254);
    if (!encoder.isValid())
        return std::nullopt;
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return std::nullopt;
    return bytes;
}

std::optional<TextEncoding> utf16ByteOrder(QByteArrayView start)
{
    if (start.startsWith("\xFF\xFE"))
        return TextEncoding::Utf16Le;
    if (start.startsWith("\xFE\xFF"))
        return TextEncoding::Utf16Be;
    return std::nullopt;
}

QString Utf16Decoder::decode(QByteArrayView bytes)
{
    // Never more characters than code units begun, plus a first half held back before.
    QString text(bytes.size() / 2 + 2, Qt::Uninitialized);
    char16_t *const begin = reinterpret_cast<char16_t *>(text.data());
    char16_t *out = begin;
    const auto take = [&](char16_t unit) {
        if (m_high) {
            *out++ = m_high;
            m_high = 0;
            if (QChar::isLowSurrogate(unit)) {
                *out++ = unit;
                return;
            }
            m_failed = true;
        }
        if (QChar::isHighSurrogate(unit))
            m_high = unit;
        else
            *out++ = unit;
        m_failed = m_failed || QChar::isLowSurrogate(unit);
    };
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype n = bytes.size();
    const auto unit = [this](uchar first, uchar second) {
        return m_bigEndian ? char16_t(first << 8 | second) : char16_t(second << 8 | first);
    };
    qsizetype i = 0;
    if (m_byte >= 0 && n > 0) {
        take(unit(uchar(m_byte), p[0]));
        m_byte = -1;
        i = 1;
    }
    for (; i + 1 < n; i += 2)
        take(unit(p[i], p[i + 1]));
    if (i < n)
        m_byte = p[i];
    text.truncate(out - begin);
    return text;
}

void Utf16Decoder::finish()
{
    m_failed = m_failed || m_byte >= 0 || m_high;
    m_byte = -1;
    m_high = 0;
}

void appendUtf16(QByteArray &bytes, QStringView text, TextEncoding order)
{
    const qsizetype at = bytes.size();
    bytes.resize(at + text.size() * 2);
    if (order == TextEncoding::Utf16Be)
        qToBigEndian<char16_t>(text.utf16(), text.size(), bytes.data() + at);
    else
        qToLittleEndian<char16_t>(text.utf16(), text.size(), bytes.data() + at);
}

namespace {

constexpr char16_t kStandInBase = 0xDC00;

// Length of the UTF-8 sequence that `lead` starts, 0 for a byte that starts none.
int sequenceLength(uchar lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

// Whether `b` may follow `lead` as the sequence's second byte; later bytes are plain
// continuation bytes. This leaves out overlong forms, surrogates and code points past U+10FFFF.
bool validSecond(uchar lead, uchar b)
{
    switch (lead) {
    case 0xE0: return b >= 0xA0 && b <= 0xBF;
    case 0xED: return b >= 0x80 && b <= 0x9F;
    case 0xF0: return b >= 0x90 && b <= 0xBF;
    case 0xF4: return b >= 0x80 && b <= 0x8F;
    default: return b >= 0x80 && b <= 0xBF;
    }
}

// How many bytes of `p` (at most `n`) form a valid sequence: its length, or 0 when the first
// byte starts no valid sequence, or -1 when the bytes are a valid but incomplete start.
int validPrefix(const uchar *p, qsizetype n)
{
    const int len = sequenceLength(p[0]);
    if (len <= 1)
        return len;
    for (int i = 1; i < len; ++i) {
        if (i >= n)
            return -1;
        const bool ok = i == 1 ? validSecond(p[0], p[i]) : (p[i] & 0xC0) == 0x80;
        if (!ok)
            return 0;
    }
    return len;
}

char32_t codePoint(const uchar *p, int len)
{
    switch (len) {
    case 2: return char32_t(p[0] & 0x1F) << 6 | (p[1] & 0x3F);
    case 3: return char32_t(p[0] & 0x0F) << 12 | char32_t(p[1] & 0x3F) << 6 | (p[2] & 0x3F);
    default:
        return char32_t(p[0] & 0x07) << 18 | char32_t(p[1] & 0x3F) << 12 |
               char32_t(p[2] & 0x3F) << 6 | (p[3] & 0x3F);
    }
}

// Decodes `n` bytes into `out`; with `final` false an incomplete sequence at the end is left
// undecoded. Returns the bytes consumed; `out` advances past the characters written.
qsizetype decodeInto(const uchar *p, qsizetype n, bool final, char16_t *&out, bool &keptInvalid)
{
    qsizetype i = 0;
    while (i < n) {
        if (p[i] < 0x80) {
            *out++ = p[i++];
            continue;
        }
        const int len = validPrefix(p + i, n - i);
        if (len < 0 && !final)
            break;
        if (len <= 0) {
            *out++ = char16_t(kStandInBase + p[i++]);
            keptInvalid = true;
            continue;
        }
        const char32_t c = codePoint(p + i, len);
        if (c >= 0x10000) {
            *out++ = QChar::highSurrogate(c);
            *out++ = QChar::lowSurrogate(c);
        } else {
            *out++ = char16_t(c);
        }
        i += len;
    }
    return i;
}

} // namespace

QString ByteKeepingDecoder::decode(QByteArrayView bytes)
{
    QString text(bytes.size() + m_pendingSize, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    qsizetype from = 0;
    if (m_pendingSize > 0) {
        // The held-back start of a sequence is completed from the head of this block.
        uchar joined[4];
        const int kept = m_pendingSize;
        std::memcpy(joined, m_pending, size_t(kept));
        const qsizetype added = std::min<qsizetype>(4 - kept, bytes.size());
        std::memcpy(joined + kept, bytes.data(), size_t(added));
        const int len = validPrefix(joined, kept + added);
        if (len < 0) {
            // Still incomplete: the whole block is part of the sequence.
            std::memcpy(m_pending + kept, bytes.data(), size_t(added));
            m_pendingSize = kept + int(added);
            return {};
        }
        m_pendingSize = 0;
        if (len == 0) {
            // The sequence broke off: its first byte is kept alone, the rest decodes afresh.
            *out++ = char16_t(kStandInBase + joined[0]);
            m_keptInvalid = true;
            QString rest =
                decode(QByteArrayView(reinterpret_cast<const char *>(joined + 1), kept - 1));
            const qsizetype restSize = rest.size();
            std::memcpy(out, rest.constData(), size_t(restSize) * sizeof(char16_t));
            out += restSize;
        } else {
            decodeInto(joined, len, true, out, m_keptInvalid);
            from = len - kept;
        }
    }
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype used = decodeInto(p + from, bytes.size() - from, false, out, m_keptInvalid);
    const qsizetype left = bytes.size() - from - used;
    std::memcpy(m_pending + m_pendingSize, p + from + used, size_t(left));
    m_pendingSize += int(left);
    text.truncate(out - reinterpret_cast<char16_t *>(text.data()));
    return text;
}

QString ByteKeepingDecoder::finish()
{
    QString rest;
    for (int i = 0; i < m_pendingSize; ++i)
        rest += QChar(char16_t(kStandInBase + uchar(m_pending[i])));
    m_keptInvalid = m_keptInvalid || m_pendingSize > 0;
    m_pendingSize = 0;
    return rest;
}

QString decodeKeepingBytes(QByteArrayView bytes)
{
    ByteKeepingDecoder decoder;
    QString text = decoder.decode(bytes);
    return text + decoder.finish();
}

QByteArray encodeKeepingBytes(QStringView text, bool *ok)
{
    QByteArray bytes(text.size() * 3, Qt::Uninitialized);
    bytes.truncate(encodeKeepingBytesTo(text, bytes.data(), ok) - bytes.data());
    return bytes;
}

char *encodeKeepingBytesTo(QStringView text, char *out, bool *ok)
{
    bool clean = true;
    const char16_t *p = text.utf16();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = p[i];
        if (c < 0x80) {
            *out++ = char(c);
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(p[i + 1])) {
            c = QChar::surrogateToUcs4(char16_t(c), p[++i]);
        } else if (isByteStandIn(QChar(char16_t(c)))) {
            *out++ = char(c - kStandInBase);
            continue;
        } else if (QChar::isSurrogate(c)) {
            clean = false;
            c = QChar::ReplacementCharacter;
        }
        if (c < 0x800) {
            *out++ = char(0xC0 | (c >> 6));
        } else if (c < 0x10000) {
            *out++ = char(0xE0 | (c >> 12));
            *out++ = char(0x80 | ((c >> 6) & 0x3F));
        } else {
            *out++ = char(0xF0 | (c >> 18));
            *out++ = char(0x80 | ((c >> 12) & 0x3F));
            *out++ = char(0x80 | ((c >> 6) & 0x3F));
        }
        if (c >= 0x80)
            *out++ = char(0x80 | (c & 0x3F));
    }
    if (ok)
        *ok = clean;
    return out;
}

} // namespace core
