// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/textcodec.h"

#include <QtEndian>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <tmmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

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

namespace {

// The code page's characters by code unit, each with the byte it is written as (-1 for none). The
// highest it holds is U+2122.
constexpr char16_t kWindows1254Units = 0x2200;
using Windows1254Bytes = std::array<qint16, kWindows1254Units>;

// Built from the system's own converter, and only from what it writes back as the byte it read,
// so a text written through the table is byte for byte what the converter writes.
Windows1254Bytes buildWindows1254Bytes()
{
    Windows1254Bytes table;
    table.fill(-1);
    QByteArray every(256, Qt::Uninitialized);
    for (int b = 0; b < 256; ++b)
        every[b] = char(b);
    QStringDecoder decoder(kWindows1254);
    QStringEncoder encoder(kWindows1254);
    if (!decoder.isValid() || !encoder.isValid())
        return table;
    const QString text = decoder.decode(every);
    const bool oneToOne = !decoder.hasError() && text.size() == 256;
    for (int b = 0; oneToOne && b < 256; ++b) {
        encoder.resetState();
        const char16_t unit = text[b].unicode();
        if (unit < kWindows1254Units &&
            encoder.encode(QStringView(&unit, 1)) == every.sliced(b, 1) && !encoder.hasError())
            table[unit] = qint16(b);
    }
    return table;
}

const Windows1254Bytes &windows1254Bytes()
{
    static const Windows1254Bytes table = buildWindows1254Bytes();
    return table;
}

// The byte the system's converter writes for the one character `c` (a code unit, or a surrogate
// pair) that the table does not hold; nothing where it writes none, or more than one.
std::optional<char> convertedByte(std::optional<QStringEncoder> &encoder, QStringView c)
{
    if (!encoder)
        encoder.emplace(kWindows1254);
    encoder->resetState();
    const QByteArray bytes = encoder->encode(c);
    if (!encoder->isValid() || encoder->hasError() || bytes.size() != 1)
        return std::nullopt;
    return bytes.front();
}

// The length of the character that starts at `at`: 2 for a surrogate pair, else 1.
qsizetype characterAt(QStringView text, qsizetype at)
{
    return at + 1 < text.size() && text[at].isHighSurrogate() && text[at + 1].isLowSurrogate() ? 2
                                                                                               : 1;
}

} // namespace

bool fitsWindows1254(QStringView text)
{
    const Windows1254Bytes &table = windows1254Bytes();
    std::optional<QStringEncoder> encoder;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < kWindows1254Units && table[u] >= 0)
            continue;
        const qsizetype length = characterAt(text, i);
        if (!convertedByte(encoder, text.sliced(i, length)))
            return false;
        i += length - 1;
    }
    return true;
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

namespace {

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define TARNWICK_SHORT_UNITS_KERNEL 1

// For 8 code units below U+0800 (one or two bytes each) at once: which of the 16 bytes of their
// lead and trail bytes, side by side, to keep, by the mask of the units that are ASCII (those
// drop their trail byte), and how many that is.
struct ShortUnits {
    alignas(16) std::array<std::array<uchar, 16>, 256> keep{};
    std::array<uchar, 256> length{};
};

constexpr ShortUnits makeShortUnits()
{
    ShortUnits t;
    for (int mask = 0; mask < 256; ++mask) {
        int n = 0;
        for (int k = 0; k < 8; ++k) {
            t.keep[mask][n++] = uchar(2 * k);
            if (!(mask >> k & 1))
                t.keep[mask][n++] = uchar(2 * k + 1);
        }
        t.length[mask] = uchar(n);
        while (n < 16)
            t.keep[mask][n++] = 0x80; // a zero byte, past the end
    }
    return t;
}

constexpr ShortUnits kShortUnits = makeShortUnits();

// Encodes the units from `p[i]` 8 at a time for as long as all 8 are below U+0800, which is
// nearly all of a text in a European language; answers where it stopped. Writes up to 16 bytes
// at `out` for 8 units, within the 3 bytes a unit the caller has room for.
__attribute__((target("ssse3"))) qsizetype encodeShortUnits(const char16_t *p, qsizetype i,
                                                            qsizetype n, char *&outAt)
{
    // The text is read faster than memory would hand it over unasked.
    constexpr qsizetype kAhead = 1024;
    char *out = outAt; // a local, which no store through `out` can change
    const __m128i zero = _mm_setzero_si128();
    for (; i + 8 <= n; i += 8) {
        if (i + kAhead < n)
            __builtin_prefetch(p + i + kAhead);
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
        const __m128i wide = _mm_and_si128(units, _mm_set1_epi16(short(0xF800)));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(wide, zero)) != 0xFFFF)
            break;
        const __m128i ascii =
            _mm_cmpeq_epi16(_mm_and_si128(units, _mm_set1_epi16(short(0xFF80))), zero);
        // The low byte of each unit's lane: the unit itself, or 110xxxxx; the high byte 10xxxxxx.
        const __m128i twoLead = _mm_or_si128(_mm_srli_epi16(units, 6), _mm_set1_epi16(0xC0));
        const __m128i lead =
            _mm_or_si128(_mm_and_si128(ascii, units), _mm_andnot_si128(ascii, twoLead));
        const __m128i trail =
            _mm_or_si128(_mm_and_si128(units, _mm_set1_epi16(0x3F)), _mm_set1_epi16(0x80));
        const __m128i bytes = _mm_or_si128(lead, _mm_slli_epi16(trail, 8));
        const int mask = _mm_movemask_epi8(_mm_packs_epi16(ascii, zero)) & 0xFF;
        const __m128i keep =
            _mm_load_si128(reinterpret_cast<const __m128i *>(kShortUnits.keep[mask].data()));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_shuffle_epi8(bytes, keep));
        out += kShortUnits.length[mask];
    }
    outAt = out;
    return i;
}

bool hasShortUnitsKernel()
{
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}
#endif

} // namespace

char *encodeKeepingBytesTo(QStringView text, char *out, bool *ok)
{
    bool clean = true;
    const char16_t *p = text.utf16();
    const qsizetype n = text.size();
#ifdef TARNWICK_SHORT_UNITS_KERNEL
    const bool kernel = n >= 8 && hasShortUnitsKernel();
    qsizetype retryAt = 0; // the 8 units from where the kernel stopped hold a wide one
#endif
    for (qsizetype i = 0; i < n; ++i) {
#ifdef TARNWICK_SHORT_UNITS_KERNEL
        if (kernel && i >= retryAt && i + 8 <= n) {
            i = encodeShortUnits(p, i, n, out);
            if (i == n)
                break;
            retryAt = i + 8;
        }
#endif
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

namespace {

// The count of bytes encodeKeepingBytesTo writes for `text`.
qint64 keptBytesSize(QStringView text)
{
    const char16_t *p = text.utf16();
    const qsizetype n = text.size();
    // Most texts hold no surrogate: then each unit's length follows from its value alone, 1 and
    // one more from U+0080 and one more from U+0800, counted 8 units at a time.
    qint64 extra = 0;
    bool surrogates = false;
    qsizetype i = 0;
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    __m128i surrogate = zero;
    while (i + 8 <= n) {
        // Each 16-bit lane counts down by at most 2 a step: 4096 steps stay within its range.
        const qsizetype blockEnd = std::min(i + 8 * 4096, n - (n - i) % 8);
        const qsizetype steps = (blockEnd - i) / 8;
        __m128i narrow = zero; // -1 for each unit below U+0080, and again below U+0800
        for (; i < blockEnd; i += 8) {
            const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
            const __m128i top5 = _mm_and_si128(units, _mm_set1_epi16(short(0xF800)));
            narrow = _mm_add_epi16(
                narrow, _mm_cmpeq_epi16(_mm_and_si128(units, _mm_set1_epi16(short(0xFF80))), zero));
            narrow = _mm_add_epi16(narrow, _mm_cmpeq_epi16(top5, zero));
            surrogate =
                _mm_or_si128(surrogate, _mm_cmpeq_epi16(top5, _mm_set1_epi16(short(0xD800))));
        }
        const __m128i sums = _mm_madd_epi16(narrow, _mm_set1_epi16(1));
        alignas(16) qint32 lanes[4];
        _mm_store_si128(reinterpret_cast<__m128i *>(lanes), sums);
        extra += 16 * steps + qint64(lanes[0]) + lanes[1] + lanes[2] + lanes[3];
    }
    surrogates = _mm_movemask_epi8(surrogate) != 0;
#endif
    for (; i < n; ++i) {
        extra += (p[i] >= 0x80) + (p[i] >= 0x800);
        surrogates |= (p[i] & 0xF800) == 0xD800;
    }
    if (!surrogates)
        return n + extra;
    qint64 size = 0;
    for (i = 0; i < n; ++i) {
        const char16_t u = p[i];
        if (u < 0x80) {
            size += 1;
        } else if (u < 0x800) {
            size += 2;
        } else if (characterAt(text, i) == 2) {
            size += 4;
            ++i;
        } else {
            size += isByteStandIn(QChar(u)) ? 1 : 3; // a stray surrogate as U+FFFD
        }
    }
    return size;
}

// No piece ends between the halves of a surrogate pair.
qsizetype wholeCharacters(QStringView text, qsizetype from, qsizetype units)
{
    const qsizetype end = from + units;
    if (units > 1 && end < text.size() && text[end - 1].isHighSurrogate() &&
        text[end].isLowSurrogate())
        return units - 1;
    return units;
}

// Writes the run `text` as Windows-1254 to `out`, one byte a character; returns the end written.
char *encodeWindows1254To(QStringView text, char *out)
{
    const Windows1254Bytes &table = windows1254Bytes();
    std::optional<QStringEncoder> encoder;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < kWindows1254Units && table[u] >= 0) {
            *out++ = char(table[u]);
            continue;
        }
        const qsizetype length = characterAt(text, i);
        // A text that does not fit the code page is no text for it; its stray character still
        // takes its one byte, so the size holds.
        *out++ = convertedByte(encoder, text.sliced(i, length)).value_or('?');
        i += length - 1;
    }
    return out;
}

} // namespace

PieceEncoder::PieceEncoder(std::vector<QStringView> parts, TextEncoding encoding)
    : m_parts(std::move(parts)), m_encoding(encoding)
{}

qint64 PieceEncoder::size() const
{
    qint64 size = 0;
    for (const QStringView part : m_parts) {
        switch (m_encoding) {
        case TextEncoding::Utf8: size += keptBytesSize(part); break;
        case TextEncoding::Windows1254: size += part.size(); break;
        case TextEncoding::Utf16Le:
        case TextEncoding::Utf16Be: size += part.size() * 2; break;
        }
    }
    return size;
}

QByteArrayView PieceEncoder::next()
{
    if (m_piece.isEmpty())
        m_piece = QByteArray(kPieceBytes, Qt::Uninitialized);
    char *const begin = m_piece.data();
    char *out = begin;
    // The most bytes a code unit takes: the piece fills in runs that always fit the room left,
    // until the room is too small to be worth another run.
    const qsizetype widest = m_encoding == TextEncoding::Utf8 ? 3 : isUtf16(m_encoding) ? 2 : 1;
    constexpr qsizetype kLeastRun = 4096;
    bool restTooLong = false; // the rest of this part is known not to fit this piece
    while (m_part < m_parts.size()) {
        const QStringView part = m_parts[m_part];
        const qsizetype left = part.size() - m_at;
        if (left == 0) {
            ++m_part;
            m_at = 0;
            restTooLong = false;
            continue;
        }
        const qsizetype roomBytes = begin + kPieceBytes - out;
        qsizetype units = std::min(left, roomBytes / widest);
        // The rest of a part that fits goes in whole, so a content no longer than a piece is
        // written by one call, and a file written in place never holds half of it.
        if (units < left && m_encoding == TextEncoding::Utf8 && left <= roomBytes && !restTooLong) {
            if (keptBytesSize(part.sliced(m_at)) <= roomBytes)
                units = left;
            else
                restTooLong = true;
        }
        if (units < std::min(left, kLeastRun))
            break;
        units = wholeCharacters(part, m_at, units);
        const QStringView run = part.sliced(m_at, units);
        switch (m_encoding) {
        case TextEncoding::Utf8: out = encodeKeepingBytesTo(run, out); break;
        case TextEncoding::Windows1254: out = encodeWindows1254To(run, out); break;
        case TextEncoding::Utf16Le:
            qToLittleEndian<char16_t>(run.utf16(), units, out);
            out += units * 2;
            break;
        case TextEncoding::Utf16Be:
            qToBigEndian<char16_t>(run.utf16(), units, out);
            out += units * 2;
            break;
        }
        m_at += units;
    }
    return {begin, out - begin};
}

} // namespace core
