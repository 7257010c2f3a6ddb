// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one matching rule of the program: exact character codes (no case folding), leftmost first,
// no overlapping, a replacement is never rescanned, and an empty pattern matches nothing. A match
// never begins or ends between the halves of a surrogate pair, so a pattern that is (or begins or
// ends with) a lone half matches only a lone half.
// The Text Editer's search and replace and the Diverter's name replacement both use it.
// (QString::count counts overlapping matches and QString::replace with an empty pattern inserts
// between characters, so neither is used for this.)

#include <QString>
#include <QStringView>

namespace core::match {

// Position of the first match at or after `from`, or -1.
qsizetype indexOf(QStringView text, QStringView pattern, qsizetype from = 0);
qsizetype count(QStringView text, QStringView pattern);
QString replaceAll(QStringView text, QStringView pattern, QStringView replacement);
inline QString removeAll(QStringView text, QStringView pattern)
{
    return replaceAll(text, pattern, {});
}

} // namespace core::match
