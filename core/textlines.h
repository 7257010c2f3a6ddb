// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The text of a multi-line box, apart from any widget: one QString exactly as set or typed, an
// index of where each line starts, and the undo history. CR LF, bare LF and bare CR each end a
// line, and the text keeps them as they are.
//
// The view lays out "units", not lines: a line is one unit, except that a line longer than
// kUnitChars is cut into pieces of about that many characters, so a single line of megabytes
// is laid out a piece at a time. A cut moves back to just after a blank when one stands within
// kUnitChars / 8 before it, so a piece holds at most kMaxUnitChars. The scroll bar counts units,
// which for ordinary text are lines.

#include <QString>

#include <limits>
#include <optional>
#include <vector>

namespace core {

class TextLines {
public:
    static constexpr qsizetype kUnitChars = 2000;
    static constexpr qsizetype kMaxUnitChars = kUnitChars + kUnitChars / 8;

    TextLines();

    const QString &text() const { return m_text; }
    qsizetype size() const { return m_text.size(); }

    qsizetype lineCount() const { return qsizetype(m_starts.size()); }
    qsizetype lineStart(qsizetype line) const { return m_starts[size_t(line)]; }
    // Where the line's break begins, or the end of the text for the last line.
    qsizetype lineEnd(qsizetype line) const;
    qsizetype lineOf(qsizetype position) const;
    // Whether the text, when last set whole, held a LF not preceded by CR. Edits leave the answer
    // as it is, even one that replaces every character; undoing or redoing a whole-text change
    // brings back the answer that went with its text.
    bool hadBareLf() const { return m_bareLf; }

    qsizetype unitCount() const { return lineCount() + m_extraUnits; }
    qsizetype unitOf(qsizetype position) const;
    qsizetype firstUnitOfLine(qsizetype line) const;
    qsizetype lineOfUnit(qsizetype unit) const;
    // The characters of a unit, without any line break: [start, end).
    std::pair<qsizetype, qsizetype> unitRange(qsizetype unit) const;

    // What an edit changed, for the view and for screen readers. A whole-text change carries the
    // old and new text by implicit sharing, so it costs no copy. A replacement of every match is
    // whole-text too (the view goes back to the top) but carries only the part from the first
    // match to the end of the last, and its texts only within the budget it was asked to
    // describe, since the part may be most of a big text and the old one exists nowhere else.
    // The two sizes are always there: what stood at `position` and what stands there now.
    struct Change {
        qsizetype position = 0;
        QString removed;
        QString inserted;
        bool wholeText = false;
        qsizetype removedSize = 0;
        qsizetype insertedSize = 0;

        // Whether the two texts are there, not only their sizes.
        bool described() const
        {
            return removed.size() == removedSize && inserted.size() == insertedSize;
        }
    };
    static constexpr qsizetype kDescribeAll = std::numeric_limits<qsizetype>::max();

    // The part of a change that differs, as a screen reader is told of it: a whole-text change
    // often keeps a long head or tail (an appended listing, a replacement near the end). Its
    // texts are copied only when neither side is longer than `describeUpTo`; a change that came
    // without them is narrowed to nothing more than it was.
    static Change narrowed(const Change &change, qsizetype describeUpTo = kDescribeAll);

    // Edits that merge with the previous one into one undo step: characters typed one after
    // another, or deleted one after another, until closeStep().
    enum class Merge { No, Typing, Deleting };

    // A whole-text change: one undo step, or, with freshHistory, the start of a new history.
    Change setText(const QString &text, bool freshHistory = false);
    Change replace(qsizetype position, qsizetype length, const QString &with,
                   Merge merge = Merge::No);
    // Every match of `pattern` by the rule of core::match, replaced by `with`: one undo step, as
    // setText would make even when nothing matches, that keeps the two strings and where the
    // matches stand instead of the old text. Each match follows the box's rule for an edit: a
    // lone CR it would bring before a LF (a text CR before a removed match and a LF after it, or
    // before a replacement that starts with LF, or a replacement's last CR before a text LF)
    // gets a LF of its own, so no line break is lost or merged. The text is changed in its own
    // buffer when nobody else holds it, so a big text is never held twice. This change and its
    // undo and redo carry the texts of the changed part for a screen reader when neither side is
    // longer than `describeUpTo`, and only its sizes otherwise.
    Change replaceAll(QString pattern, QString with, qsizetype describeUpTo = 0);
    void closeStep() { m_mergeOpen = false; }

    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    std::optional<Change> undo();
    std::optional<Change> redo();
    // What the history holds, in characters (a position counts as the characters of its bytes);
    // past 64 M the oldest steps go.
    qsizetype historyChars() const { return m_historyChars; }

private:
    // One history step, stored as what must be put back: the other side's text at `position`
    // and the length that the current side occupies there. Undoing swaps the two, so a
    // whole-text step keeps only the text that is not on screen.
    struct Step {
        qsizetype position = 0;
        qsizetype length = 0;
        QString other;
        bool wholeText = false;
        Merge merge = Merge::No;
        bool otherBareLf = false; // hadBareLf() with `other`, for a whole-text step
        // A replacement of every match: `current` stands at each of the positions in the text as
        // it is, and `other` stood there before. Swapping the two moves the positions. They are
        // kept in 32 bits (at32) while both texts are shorter than 4 G characters, which halves
        // what a replacement of millions of matches keeps, and in `at` otherwise.
        bool everyMatch = false;
        qsizetype describeUpTo = 0;
        QString current{};
        std::vector<quint32> at32{};
        std::vector<qsizetype> at{};
        // The line breaks the replacement's side got at each match (kLfBefore, kLfAfter), or
        // empty when no match got one; that side is `current` when breaksWithCurrent.
        std::vector<quint8> breaks{};
        bool breaksWithCurrent = false;

        qsizetype chars() const
        {
            return other.size() + current.size() +
                   qsizetype((at32.size() * sizeof(quint32) + at.size() * sizeof(qsizetype) +
                              breaks.size()) /
                             sizeof(QChar));
        }
    };
    static constexpr quint8 kLfBefore = 1;
    static constexpr quint8 kLfAfter = 2;
    struct LongLine {
        qsizetype line;
        qsizetype units;
        qsizetype unitsBefore; // extra units of the long lines before this one
    };

    // Indexes the text afresh; answers whether it holds a LF not preceded by CR.
    bool rebuild();
    void apply(qsizetype position, qsizetype length, const QString &with);
    Change swap(Step &step);
    Change swapMatches(Step &step);
    // Takes the newest step of `from` back or again, and keeps it on `to`.
    std::optional<Change> replay(std::vector<Step> &from, std::vector<Step> &to);
    void push(Step step);
    qsizetype unitsOfLine(qsizetype line) const;
    qsizetype unitBoundary(qsizetype lineStart, qsizetype piece) const;
    void recountLongLines(size_t from);

    QString m_text;
    std::vector<qsizetype> m_starts{0};
    std::vector<LongLine> m_long;
    qsizetype m_extraUnits = 0;
    bool m_bareLf = false;

    std::vector<Step> m_undo;
    std::vector<Step> m_redo;
    qsizetype m_historyChars = 0;
    bool m_mergeOpen = false;
};

} // namespace core
