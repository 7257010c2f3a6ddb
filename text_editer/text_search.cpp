// SPDX-License-Identifier: GPL-3.0-or-later
#include "text_editer/text_search.h"

#include "core/textmatch.h"

namespace text_editer {

qsizetype searchWord(QStringView text, QStringView word)
{
    return core::match::count(text, word);
}

QString withLineBreak(const QString &text, const QString &lineBreak)
{
    if (lineBreak == QLatin1String("\r\n"))
        return text;
    return core::match::replaceAll(text, u"\r\n", lineBreak);
}

} // namespace text_editer
