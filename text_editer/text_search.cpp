#include "text_editer/text_search.h"

#include "core/textmatch.h"

namespace text_editer {

SearchAnswer searchWord(QStringView text, QStringView word)
{
    const qsizetype occurrences = core::match::count(text, word);
    if (occurrences == 0)
        return {QStringLiteral("yok"), QStringLiteral("0")};
    // The length that removing every occurrence takes away, divided by the word's length, is
    // exactly the number of non-overlapping occurrences.
    return {QStringLiteral("evet"), QString::number(occurrences)};
}

QString withLineBreak(const QString &text, const QString &lineBreak)
{
    if (lineBreak == QLatin1String("\r\n"))
        return text;
    return core::match::replaceAll(text, u"\r\n", lineBreak);
}

} // namespace text_editer
