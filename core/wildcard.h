// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// File name patterns as the file list and the File Editer's delete take them: `*` any run of
// characters, `?` any one character, several patterns separated by `;`. As on the program's
// original platform a name without a dot also matches as if it ended in one, so "*.*" matches
// every file. Letter case counts, as it does on this platform's file systems.

#include <QString>
#include <QStringList>

namespace core {

class WildcardFilter {
public:
    explicit WildcardFilter(const QString &patternList);
    bool matches(QStringView name) const;
    bool isEmpty() const { return m_patterns.isEmpty(); }

private:
    QStringList m_patterns;
};

bool wildcardMatch(QStringView pattern, QStringView name);
// One pattern against a file name, a name without a dot also taken as ending in one.
bool fileNameMatches(QStringView pattern, QStringView name);
bool hasWildcard(QStringView text);

} // namespace core
