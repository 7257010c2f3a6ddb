#include "toolkit/textcodec.h"

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
    if (m_decoder.heldBack() > 0)
        rest = QString(QChar::ReplacementCharacter);
    m_decoder.resetState();
    return rest;
}

TextEncoder::TextEncoder() : m_encoder(QStringConverter::System, QStringConverter::Flag::Default) {}

QByteArray TextEncoder::encode(QStringView text)
{
    return m_encoder.encode(text);
}

QString joinPath(const QString &folder, const QString &name)
{
    return folder + u'/' + name;
}
