#pragma once
// File bytes and text. The program's original platform used the system's "ANSI" code page; here
// that is the locale's encoding, which Qt 6 takes as UTF-8 on this platform. One decoder keeps its
// state across blocks, so a multi-byte character cut by a block boundary arrives whole, and an
// initial byte-order mark is kept as a character, so loading and saving do not strip it.

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

class TextDecoder {
public:
    TextDecoder();
    // Text of this block; bytes of a character that continues in the next block are held back.
    QString decode(QByteArrayView bytes);
    // Text of any bytes still held back (an incomplete character at the very end).
    QString finish();

private:
    // QStringDecoder keeps the count of held-back bytes in its protected state.
    struct Decoder : QStringDecoder {
        using QStringDecoder::QStringDecoder;
        qsizetype heldBack() const { return state.remainingChars; }
    };
    Decoder m_decoder;
};

class TextEncoder {
public:
    TextEncoder();
    // A character the encoding cannot hold becomes its replacement character.
    QByteArray encode(QStringView text);

private:
    QStringEncoder m_encoder;
};

// The platform's form of "folder, separator, name": joined as they are, with no test for a
// trailing separator ("//name" at the root, which the file system reads as "/name").
QString joinPath(const QString &folder, const QString &name);
