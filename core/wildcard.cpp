// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/wildcard.h"

namespace core {

bool wildcardMatch(QStringView pattern, QStringView name)
{
    // Greedy match that backtracks only to the last star: no recursion, at most
    // pattern length x name length steps.
    qsizetype p = 0, n = 0, starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

bool hasWildcard(QStringView text)
{
    return text.contains(u'*') || text.contains(u'?');
}

WildcardFilter::WildcardFilter(const QString &patternList)
{
    // Blanks around the pieces of a list ("*.txt; *.doc") are typing, not part of a name.
    for (const QString &piece : patternList.split(u';', Qt::SkipEmptyParts)) {
        const QString p = piece.trimmed();
        if (!p.isEmpty())
            m_patterns << p;
    }
}

bool fileNameMatches(QStringView pattern, QStringView name)
{
    if (wildcardMatch(pattern, name))
        return true;
    return !name.contains(u'.') && wildcardMatch(pattern, QString(name.toString() + u'.'));
}

bool WildcardFilter::matches(QStringView name) const
{
    for (const QString &p : m_patterns) {
        if (fileNameMatches(p, name))
            return true;
    }
    return false;
}

} // namespace core
