#include "text_editer/text_search.h"

#include "launcher/textmatch.h"

namespace texteditor {

SearchAnswer searchWord(QStringView text, QStringView word)
{
    const qsizetype occurrences = match::count(text, word);
    if (occurrences == 0)
        return {QStringLiteral("yok"), QStringLiteral("0")};
    // The count is told as the length that removing every occurrence takes away, divided by the
    // word's length; both are whole, so the quotient is exact.
    const double removedLength = double(occurrences) * double(word.size());
    return {QStringLiteral("evet"), QString::number(qint64(removedLength / double(word.size())))};
}

QString withLineBreak(const QString &text, const QString &lineBreak)
{
    if (lineBreak == QLatin1String("\r\n"))
        return text;
    return match::replaceAll(text, u"\r\n", lineBreak);
}

} // namespace texteditor
