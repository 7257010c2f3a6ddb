// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/textmatch.h"

namespace core::match {

namespace {
// Whether `at` falls between the two halves of a surrogate pair.
bool splitsPair(QStringView text, qsizetype at)
{
    return at > 0 && at < text.size() && text[at - 1].isHighSurrogate() &&
           text[at].isLowSurrogate();
}
} // namespace

qsizetype indexOf(QStringView text, QStringView pattern, qsizetype from)
{
    if (pattern.isEmpty() || from > text.size())
        return -1;
    // A match that began or ended inside a pair would cut a character in two, and a replacement
    // would leave its halves alone (a name would get a byte it never had). Only the two ends of
    // a match can split one, so the search itself stays Qt's.
    for (qsizetype at = text.indexOf(pattern, from, Qt::CaseSensitive); at >= 0;
         at = text.indexOf(pattern, at + 1, Qt::CaseSensitive)) {
        if (!splitsPair(text, at) && !splitsPair(text, at + pattern.size()))
            return at;
    }
    return -1;
}

qsizetype count(QStringView text, QStringView pattern)
{
    qsizetype n = 0;
    for (qsizetype at = indexOf(text, pattern); at >= 0;
         at = indexOf(text, pattern, at + pattern.size()))
        ++n;
    return n;
}

QString replaceAll(QStringView text, QStringView pattern, QStringView replacement)
{
    qsizetype at = indexOf(text, pattern);
    if (at < 0)
        return text.toString();
    // One pass, appending into one buffer: linear in the text even for millions of matches.
    QString out;
    out.reserve(text.size() + (replacement.size() > pattern.size() ? text.size() / 8 : 0));
    qsizetype done = 0;
    while (at >= 0) {
        out.append(text.mid(done, at - done));
        out.append(replacement);
        done = at + pattern.size();
        at = indexOf(text, pattern, done);
    }
    out.append(text.mid(done));
    return out;
}

} // namespace core::match
