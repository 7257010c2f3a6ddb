// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The word search of the editor: whether a word occurs in the text and how often, by the
// program's matching rule (exact, leftmost first, no overlapping).

#include <QString>

namespace text_editer {

struct SearchAnswer {
    QString found; // "evet" or "yok"
    QString count; // the number of occurrences in decimal digits
};

// `word` must not be empty; the window refuses an empty word before it searches.
SearchAnswer searchWord(QStringView text, QStringView word);

// `text` with its CR LF line breaks written as `lineBreak`. A word typed in a small box has
// CR LF line breaks, while the file text keeps the bare LF of a file that had them.
QString withLineBreak(const QString &text, const QString &lineBreak);

} // namespace text_editer
