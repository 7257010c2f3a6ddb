// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The word search of the editor: how often a word occurs in the text, by the program's matching
// rule (exact, leftmost first, no overlapping).

#include <QString>

namespace text_editer {

// Occurrences are counted as the replacement finds them, so the count says how many a
// replacement of the word would change. `word` must not be empty; the window refuses an empty
// word before it searches.
qsizetype searchWord(QStringView text, QStringView word);

// `text` with its CR LF line breaks written as `lineBreak`. A word typed in a small box has
// CR LF line breaks, while the file text keeps the bare LF of a file that had them.
QString withLineBreak(const QString &text, const QString &lineBreak);

} // namespace text_editer
