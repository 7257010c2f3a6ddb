// SPDX-License-Identifier: GPL-3.0-or-later
#include "text_editer/text_search.h"

#include "core/textmatch.h"

namespace text_editer {

SearchAnswer searchWord(QStringView text, QStringView word)
{
    const qsizetype occurrences = core::match::count(text, word);
    if (occurrences == 0)
        return {QStringLiteral("yok"), QStringLiteral("0")};
    // Occurrences are counted as the replacement finds them (leftmost, never overlapping), so
    // the count says how many a replacement of the word would change.
    return {QStringLiteral("evet"), QString::number(occurrences)};
}

QString withLineBreak(const QString &text, const QString &lineBreak)
{
    if (lineBreak == QLatin1String("\r\n"))
        return text;
    return core::match::replaceAll(text, u"\r\n", lineBreak);
}

} // namespace text_editer
