// SPDX-License-Identifier: GPL-3.0-or-later
// The multi-line box driven by random input, as a user drives it: keys, clicks and drags on a
// shown box, pastes and input-method commits, undo and redo, a screen reader's caret and edits,
// scrolling and resizing, over texts that mix CR LF, LF, lone CRs and surrogate pairs. After every
// step the text, the caret and the selection must agree with a plain-string model that knows
// nothing of how the box mends a range: the caret never stands inside a CR LF or a surrogate pair,
// an edit leaves the line breaks it kept and those it brought, and the text is the plain edit
// grown to whole CR LFs and pairs, its pieces joined so that each keeps its own. Where the exact
// target of a move depends on the layout (rows, words, clicks), the model takes the box's caret
// once it has checked that the move kept the text and left the caret where one may stand.
//
// TEXTBOX_FUZZ_SEED and TEXTBOX_FUZZ_STEPS choose the run (scripts/fuzz-box runs long ones). A
// failure prints the seed and the steps since the text was last set fresh, written as the key
// lists of tst_textbox, so that the case can be replayed and kept as a row there (the steps of a
// screen reader, of focus, scrolling and resizing have no key there).

#include "toolkit/textbox.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QStyleHints>
#include <QTest>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

using Merge = core::TextLines::Merge;

bool isBreak(QChar c)
{
    return c == u'\r' || c == u'\n';
}

bool hasBareLf(const QString &text)
{
    return text.count(u'\n') > text.count(QStringLiteral("\r\n"));
}

// Whether a position splits a CR LF or a surrogate pair: no caret may stand there.
bool insidePair(const QString &text, qsizetype p)
{
    return p > 0 && p < text.size() &&
           ((text[p - 1] == u'\r' && text[p] == u'\n') ||
            (text[p - 1].isHighSurrogate() && text[p].isLowSurrogate()));
}

// The text as tokens: characters, whole surrogate pairs and whole line breaks (a CR LF, a lone CR,
// a lone LF). The places between them, 0 and the end included, are where a caret may stand.
QList<qsizetype> tokenBounds(const QString &text)
{
    QList<qsizetype> bounds;
    for (qsizetype p = 0; p <= text.size(); ++p) {
        if (!insidePair(text, p))
            bounds << p;
    }
    return bounds;
}

qsizetype lineBreaks(const QString &text)
{
    return text.count(u'\r') + text.count(u'\n') - text.count(QStringLiteral("\r\n"));
}

// Texts written one after another, each keeping its tokens: a lone CR that would come before a
// LF, and pair with it, is written as a CR LF of its own.
QString joined(std::initializer_list<QString> pieces)
{
    QString out;
    for (const QString &piece : pieces) {
        if (out.endsWith(u'\r') && piece.startsWith(u'\n'))
            out += u'\n';
        out += piece;
    }
    return out;
}

// The text as it stands and what each input makes of it, with nothing laid out and nothing taken
// from the box's own rules.
class Model {
public:
    QString text;
    qsizetype caret = 0;
    qsizetype anchor = 0;
    bool bareLf = false;
    qsizetype breaks = 0;   // as the edits since the text was set account for them
    bool composing = false; // an input method's pre-edit is pending

    qsizetype selectionStart() const { return std::min(caret, anchor); }
    qsizetype selectionEnd() const { return std::max(caret, anchor); }
    bool hasSelection() const { return caret != anchor; }
    QString lineBreak() const { return bareLf ? QStringLiteral("\n") : QStringLiteral("\r\n"); }

    bool atLineStart(qsizetype p) const { return p > 0 && isBreak(text[p - 1]); }
    bool atLineEnd(qsizetype p) const { return p < text.size() && isBreak(text[p]); }
    qsizetype lineStart(qsizetype p) const
    {
        while (p > 0 && !isBreak(text[p - 1]))
            --p;
        return p;
    }
    qsizetype lineEnd(qsizetype p) const
    {
        while (p < text.size() && !isBreak(text[p]))
            ++p;
        return p;
    }
    // One character or one whole line break on.
    qsizetype next(qsizetype p) const
    {
        return p >= text.size() ? text.size() : p + (insidePair(text, p + 1) ? 2 : 1);
    }
    qsizetype previous(qsizetype p) const
    {
        return p <= 0 ? 0 : p - (insidePair(text, p - 1) ? 2 : 1);
    }

    void setText(const QString &t, bool fresh)
    {
        if (fresh) {
            m_undo.clear();
        } else {
            m_undo.push_back(
                {text, t, bareLf, hasBareLf(t), 0, 0, 0, true, Merge::No, {anchor, caret}, {}});
        }
        m_redo.clear();
        m_open = false;
        text = t;
        bareLf = hasBareLf(t);
        breaks = lineBreaks(t);
        caret = anchor = 0;
        composing = false;
    }

    void moveTo(qsizetype p, bool keepAnchor)
    {
        caret = p;
        if (!keepAnchor)
            anchor = p;
        m_open = false;
    }
    void closeStep() { m_open = false; }

    // What replacing [start, end) with `with` leaves, read from the text's tokens alone: the
    // range grows to whole tokens, and the kept text before it, the new text and the kept text
    // after it are joined keeping every token of each.
    struct Edit {
        qsizetype start;
        qsizetype end;
        QString with; // as written between the kept texts
    };
    std::optional<Edit> expected(qsizetype start, qsizetype end, const QString &with) const
    {
        const QList<qsizetype> bounds = tokenBounds(text);
        const bool insertion = start == end;
        if (start < 0 || end > text.size())
            return std::nullopt; // a guessed range past the text: no edit the box could make
        start = *std::prev(std::upper_bound(bounds.begin(), bounds.end(), start));
        end = insertion ? start : *std::lower_bound(bounds.begin(), bounds.end(), end);
        if (start == end && with.isEmpty())
            return std::nullopt;
        const QString after = text.mid(end);
        const QString written = joined({text.left(start), with, after});
        return Edit{start, end, written.mid(start, written.size() - after.size() - start)};
    }
    QString result(const Edit &e) const
    {
        return QString(text.left(e.start) + e.with + text.mid(e.end));
    }

    void edit(qsizetype start, qsizetype end, const QString &with, Merge merge = Merge::No)
    {
        const std::optional<Edit> e = expected(start, end, with);
        if (!e)
            return;
        // The line breaks an edit leaves are those it kept and those it brought, however the
        // pieces were joined.
        breaks += lineBreaks(with) - lineBreaks(text.mid(e->start, e->end - e->start));
        const QString after = result(*e);
        const qsizetype removed = e->end - e->start;
        bool merged = false;
        if (merge != Merge::No && m_open && !m_undo.empty() && m_undo.back().merge == merge) {
            Step &last = m_undo.back();
            if (merge == Merge::Typing && removed == 0 &&
                last.position + last.inserted == e->start) {
                last.inserted += e->with.size();
                merged = true;
            } else if (merge == Merge::Deleting && e->with.isEmpty() && last.inserted == 0 &&
                       (e->end == last.position || e->start == last.position)) {
                last.position = e->start;
                last.removed += removed;
                merged = true;
            }
            if (merged)
                last.after = after;
        }
        if (!merged) {
            m_undo.push_back(
                {text, after, bareLf, bareLf, e->start, removed, e->with.size(), false, merge});
            m_redo.clear();
        }
        m_open = merge != Merge::No;
        text = after;
        caret = anchor = e->start + e->with.size();
    }

    void undo()
    {
        if (m_undo.empty())
            return;
        Step step = m_undo.back();
        m_undo.pop_back();
        step.placeAfter = {anchor, caret};
        m_redo.push_back(step);
        m_open = false;
        text = step.before;
        bareLf = step.bareLfBefore;
        breaks = lineBreaks(text);
        caret = anchor = step.position + step.removed;
        if (step.wholeText)
            std::tie(anchor, caret) = step.placeBefore;
    }
    void redo()
    {
        if (m_redo.empty())
            return;
        Step step = m_redo.back();
        m_redo.pop_back();
        step.placeBefore = {anchor, caret};
        m_undo.push_back(step);
        m_open = false;
        text = step.after;
        bareLf = step.bareLfAfter;
        breaks = lineBreaks(text);
        caret = anchor = step.position + step.inserted;
        if (step.wholeText)
            std::tie(anchor, caret) = step.placeAfter;
    }

private:
    // One undo step, as the texts on either side of it and the stretch it changed.
    struct Step {
        QString before;
        QString after;
        bool bareLfBefore;
        bool bareLfAfter;
        qsizetype position;
        qsizetype removed;
        qsizetype inserted;
        bool wholeText;
        Merge merge;
        // The anchor and caret a whole-text step brings back: those before the change when it
        // is undone, those when it was undone when it is redone.
        std::pair<qsizetype, qsizetype> placeBefore = {};
        std::pair<qsizetype, qsizetype> placeAfter = {};
    };
    std::vector<Step> m_undo;
    std::vector<Step> m_redo;
    bool m_open = false; // typing or deleting may still merge into the newest step
};

// A step written as the key lists of tst_textbox write it, with C++ escapes.
QString quoted(const QString &step)
{
    QString out = QStringLiteral("\"");
    for (qsizetype i = 0; i < step.size(); ++i) {
        // A lone surrogate stays itself, where toUcs4() would make it a replacement character.
        char32_t c = step[i].unicode();
        if (step[i].isHighSurrogate() && i + 1 < step.size() && step[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(step[i], step[i + 1]);
            ++i;
        }
        if (c == U'\r')
            out += QStringLiteral("\\r");
        else if (c == U'\n')
            out += QStringLiteral("\\n");
        else if (c == U'"' || c == U'\\')
            out += QStringLiteral("\\") + QChar(char16_t(c));
        else if (c >= 0x20 && c < 0x7F)
            out += QChar(char16_t(c));
        else if (c > 0xFFFF)
            out += QStringLiteral("\\U%1").arg(uint(c), 8, 16, QLatin1Char('0'));
        else
            out += QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
    }
    return out + u'"';
}

QString fromUcs4(char32_t c)
{
    return QString::fromUcs4(&c, 1);
}

// A message with its %1, %2... filled in.
template <typename... Args> QString said(const char *format, const Args &...args)
{
    QString message = QString::fromUtf8(format);
    ((message = message.arg(args)), ...);
    return message;
}

class Fuzz {
public:
    Fuzz(quint32 seed, tk::MultiLineBox &box) : m_random(seed), m_box(box) {}

    // Runs one random step and answers what went wrong, or nothing.
    QString step()
    {
        const int kind = int(m_random.bounded(100));
        // clang-format off
        if (kind < 2 || m_steps.isEmpty()) return setText(true);
        if (kind < 3) return setText(false);
        if (kind < 22) return type();
        if (kind < 26) return key(QStringLiteral("Return"));
        if (kind < 32) return key(QStringLiteral("Backspace"));
        if (kind < 36) return key(QStringLiteral("Del"));
        if (kind < 39) return key(QStringLiteral("Ctrl+Backspace"));
        if (kind < 42) return key(QStringLiteral("Ctrl+Del"));
        if (kind < 64) return key(move());
        if (kind < 67) return key(QStringLiteral("Ctrl+A"));
        if (kind < 77) return mouse();
        if (kind < 80) return paste();
        if (kind < 82) return key(m_random.bounded(2) ? QStringLiteral("Ctrl+X") : QStringLiteral("Ctrl+C"));
        if (kind < 88) return inputMethod();
        if (kind < 94) return key(m_random.bounded(3) ? QStringLiteral("Ctrl+Z") : QStringLiteral("Ctrl+Y"));
        if (kind < 97) return screenReader();
        if (kind < 98) return m_random.bounded(2) ? resize() : scroll();
        // clang-format on
        return focusAway();
    }

    // The steps since the text was last set fresh, as a key list.
    QString replay() const
    {
        QStringList quotedSteps;
        for (const QString &s : m_steps)
            quotedSteps << quoted(s);
        return QStringLiteral("QStringList{") + quotedSteps.join(QStringLiteral(", ")) + u'}';
    }

private:
    // --- Text -----------------------------------------------------------------------------------

    char32_t letter()
    {
        static const char32_t letters[] = {U'a', U'b', U'k', U'ç', U'ğ', U'ı', U'İ', U'ö', U'ş',
                                           U'ü', U'Ç', U'Ş', U'.', U' ', U' ', U'😀', U'🎉', U'𝄞'};
        return letters[m_random.bounded(int(std::size(letters)))];
    }

    // A text of words, blanks, the three line breaks and emoji, now and then with a word long
    // enough to wrap over several rows, or a line long enough to be laid out in pieces.
    QString randomText(int pieces)
    {
        QString t;
        for (int i = 0; i < pieces; ++i) {
            const int what = int(m_random.bounded(20));
            if (what < 2)
                t += QStringLiteral("\r\n");
            else if (what < 4)
                t += u'\n';
            else if (what < 6)
                t += u'\r';
            else if (what == 6 && m_random.bounded(4) == 0)
                t += QString(96, QChar(char16_t(u'a' + m_random.bounded(26))));
            else if (what == 7 && m_random.bounded(50) == 0)
                t += QStringLiteral("abcd efgh\U0001F600").repeated(200);
            else
                t += fromUcs4(letter());
        }
        return t;
    }

    QString setText(bool fresh)
    {
        const QString t = randomText(int(m_random.bounded(60)));
        if (fresh) {
            m_steps.clear();
            m_steps << QString(u'#' + t);
            m_box.setTextFresh(t);
        } else {
            m_steps << QString(u'=' + t);
            m_box.setText(t);
        }
        m_model.setText(t, fresh);
        return compare();
    }

    // --- Keys -----------------------------------------------------------------------------------

    QString type()
    {
        const char32_t c = letter();
        const QString typed = fromUcs4(c);
        m_steps << QString(u'"' + typed);
        QTest::sendKeyEvent(QTest::Click, &m_box, Qt::Key(QChar::toUpper(c)), typed, {});
        m_model.composing = false;
        m_model.edit(m_model.selectionStart(), m_model.selectionEnd(), typed, Merge::Typing);
        return compare();
    }

    // A caret move, with Shift one time in three.
    QString move()
    {
        static const char *const moves[] = {
            "Left", "Right", "Ctrl+Left", "Ctrl+Right", "Up",        "Down",
            "Home", "End",   "PgUp",      "PgDown",     "Ctrl+Home", "Ctrl+End",
            "Left", "Right", "Up",        "Down",       "Home",      "End"};
        const QString name = QLatin1String(moves[m_random.bounded(int(std::size(moves)))]);
        if (m_random.bounded(3) != 0)
            return name;
        return name.startsWith(QStringLiteral("Ctrl+")) ? QString(u"Ctrl+Shift+" + name.mid(5))
                                                        : QString(u"Shift+" + name);
    }

    QString key(const QString &name)
    {
        m_steps << name;
        const bool wasComposing = m_model.composing;
        // The row the caret stands on, as a screen reader reads it, for Home and End.
        int rowStart = -1;
        int rowEnd = -1;
        if (!wasComposing)
            reader()->textAtOffset(int(m_model.caret), QAccessible::LineBoundary, &rowStart,
                                   &rowEnd);
        const qsizetype oldCaret = m_model.caret;

        const QKeySequence sequence(name);
        QTest::keyClick(&m_box, sequence[0].key(), sequence[0].keyboardModifiers());
        m_model.composing = false;

        Model &m = m_model;
        const bool shift = name.contains(QStringLiteral("Shift+"));
        const QString bare = QString(name).remove(QStringLiteral("Shift+"));
        if (bare == QStringLiteral("Return")) {
            m.closeStep();
            m.edit(m.selectionStart(), m.selectionEnd(), m.lineBreak());
        } else if (bare == QStringLiteral("Backspace") || bare == QStringLiteral("Del") ||
                   (m.hasSelection() && (bare == QStringLiteral("Ctrl+Backspace") ||
                                         bare == QStringLiteral("Ctrl+Del")))) {
            if (m.hasSelection())
                m.edit(m.selectionStart(), m.selectionEnd(), {});
            else if (bare == QStringLiteral("Backspace"))
                m.edit(m.previous(m.caret), m.caret, {}, Merge::Deleting);
            else if (bare == QStringLiteral("Del"))
                m.edit(m.caret, m.next(m.caret), {}, Merge::Deleting);
        } else if (bare == QStringLiteral("Ctrl+Backspace") || bare == QStringLiteral("Ctrl+Del")) {
            return wordDeleted(bare == QStringLiteral("Ctrl+Backspace"));
        } else if (bare == QStringLiteral("Left") || bare == QStringLiteral("Right")) {
            const bool right = bare == QStringLiteral("Right");
            const qsizetype to = !shift && m.hasSelection()
                                     ? (right ? m.selectionEnd() : m.selectionStart())
                                 : right ? m.next(m.caret)
                                         : m.previous(m.caret);
            m.moveTo(to, shift);
        } else if (bare == QStringLiteral("Ctrl+Home") || bare == QStringLiteral("Ctrl+End")) {
            m.moveTo(bare == QStringLiteral("Ctrl+Home") ? 0 : m.text.size(), shift);
        } else if (bare == QStringLiteral("Ctrl+A")) {
            m.anchor = 0;
            m.moveTo(m.text.size(), true);
        } else if (bare == QStringLiteral("Ctrl+X")) {
            m.edit(m.selectionStart(), m.selectionEnd(), {});
        } else if (bare == QStringLiteral("Ctrl+C")) {
            // A copy changes nothing, not even whether typing goes on in the same undo step.
        } else if (bare == QStringLiteral("Ctrl+Z")) {
            m.undo();
        } else if (bare == QStringLiteral("Ctrl+Y")) {
            m.redo();
        } else {
            // A move whose target is the layout's: kept, once it went the right way.
            if (const QString wrong = tookMove(shift); !wrong.isEmpty())
                return wrong;
            const qsizetype to = m.caret;
            const bool forward = bare.contains(QStringLiteral("Right")) ||
                                 bare.contains(QStringLiteral("Down")) ||
                                 bare == QStringLiteral("End");
            if (forward ? to < oldCaret : to > oldCaret)
                return said("%1 moved the caret from %2 the wrong way, to %3", name, oldCaret, to);
            if (bare.startsWith(QStringLiteral("Ctrl+"))) {
                // A word move stays on its line, or steps over the line break it stands at.
                const qsizetype limit =
                    forward
                        ? (m.atLineEnd(oldCaret) ? m.next(oldCaret) : m.lineEnd(oldCaret))
                        : (m.atLineStart(oldCaret) ? m.previous(oldCaret) : m.lineStart(oldCaret));
                if (forward ? to > limit : to < limit)
                    return said("%1 from %2 went past %3, to %4", name, oldCaret, limit, to);
                if (to == oldCaret && oldCaret != (forward ? m.text.size() : 0))
                    return said("%1 did not move from %2", name, oldCaret);
            }
            if (!wasComposing &&
                (bare == QStringLiteral("Home") || bare == QStringLiteral("End"))) {
                // Home goes to the row's start; End to its end, before the blank it wrapped at,
                // or where the next row starts, as in Qt's own editors.
                const qsizetype lineEnd = m.lineEnd(rowStart);
                qsizetype expected = rowStart;
                if (bare == QStringLiteral("End"))
                    expected = rowEnd >= lineEnd              ? lineEnd
                               : m.text[rowEnd - 1].isSpace() ? rowEnd - 1
                                                              : rowEnd;
                if (to != expected)
                    return said("%1 on the row %2..%3 went to %4, not %5", name, rowStart, rowEnd,
                                to, expected);
            }
        }
        return compare();
    }

    // Ctrl+Backspace and Ctrl+Delete take a word, or the line break at the caret, whose bounds
    // are the layout's: worked out from what the box removed, then checked.
    QString wordDeleted(bool backwards)
    {
        Model &m = m_model;
        const qsizetype at = m.caret;
        const qsizetype shorter = m.text.size() - m_box.text().size();
        for (const qsizetype extra : {0, 1}) {
            const qsizetype other = backwards ? at - shorter - extra : at + shorter + extra;
            const std::optional<Model::Edit> e =
                backwards ? m.expected(other, at, {}) : m.expected(at, other, {});
            if (!e ? m_box.text() != m.text : m.result(*e) != m_box.text())
                continue;
            if (!e)
                return compare();
            const QString taken = m.text.mid(e->start, e->end - e->start);
            const bool wholeBreak = backwards ? m.atLineStart(at) : m.atLineEnd(at);
            const qsizetype bound = backwards ? m.previous(at) : m.next(at);
            if (wholeBreak ? (backwards ? e->start : e->end) != bound
                           : std::any_of(taken.begin(), taken.end(), isBreak))
                return said("a word deletion at %1 took %2", at, quoted(taken));
            m.edit(e->start, e->end, {});
            return compare();
        }
        return said("a word deletion at %1 left %2", at, quoted(m_box.text()));
    }

    // --- Mouse ----------------------------------------------------------------------------------

    QPoint randomPoint()
    {
        const QSize size = m_box.viewport()->size();
        return QPoint(int(m_random.bounded(size.width())), int(m_random.bounded(size.height())));
    }

    // A click, a Shift+click, a drag, a double-click or a triple click somewhere in the view. A
    // press near the last double-click, with no press between, is a triple click too (the
    // double-click time is made long enough that no step outlasts it).
    QString mouse()
    {
        QWidget *view = m_box.viewport();
        const QPoint at = randomPoint();
        const int what = int(m_random.bounded(10));
        const bool nearDoubleClick =
            m_doubleClickedAt &&
            (at - *m_doubleClickedAt).manhattanLength() < QApplication::startDragDistance();
        m_doubleClickedAt.reset();
        if (what < 5) {
            const bool shift = what == 4;
            m_steps << said("%1click %2,%3", QLatin1String(shift ? "Shift+" : ""), at.x(), at.y());
            QTest::mouseClick(view, Qt::LeftButton, shift ? Qt::ShiftModifier : Qt::NoModifier, at);
            m_model.composing = false;
            if (nearDoubleClick)
                return tookLine();
            return tookMove(shift);
        }
        if (what < 8) {
            const QPoint to = randomPoint();
            m_steps << said("drag %1,%2 %3,%4", at.x(), at.y(), to.x(), to.y());
            QTest::mousePress(view, Qt::LeftButton, {}, at);
            QTest::mouseMove(view, to);
            QTest::mouseRelease(view, Qt::LeftButton, {}, to);
        } else {
            m_steps << said(what == 9 ? "triple-click %1,%2" : "double-click %1,%2", at.x(),
                            at.y());
            QTest::mouseClick(view, Qt::LeftButton, {}, at);
            QTest::mouseDClick(view, Qt::LeftButton, {}, at);
            QTest::mouseRelease(view, Qt::LeftButton, {}, at);
            if (what == 9) {
                QTest::mouseClick(view, Qt::LeftButton, {}, at);
                m_model.composing = false;
                return tookLine();
            }
            m_doubleClickedAt = at;
        }
        m_model.composing = false;
        m_model.anchor = m_box.anchorPosition();
        if (const QString wrong = tookMove(true); !wrong.isEmpty())
            return wrong;
        const QString word = m_box.selectedText();
        if (what >= 8 &&
            (m_model.anchor > m_model.caret || std::any_of(word.begin(), word.end(), isBreak)))
            return said("a double-click selected %1 from %2 to %3", quoted(word), m_model.anchor,
                        m_model.caret);
        return {};
    }

    // A triple click selects one whole line, from its start up to the next line's start, or to
    // the end of the text.
    QString tookLine()
    {
        const QString &t = m_model.text;
        const qsizetype from = m_box.anchorPosition();
        const qsizetype to = m_box.cursorPosition();
        const QString line = t.mid(from, to - from);
        const bool ended = !line.isEmpty() && isBreak(line.back());
        const qsizetype inner = line.size() - (line.endsWith(QStringLiteral("\r\n")) ? 2
                                               : ended                               ? 1
                                                                                     : 0);
        if (m_box.text() != t || from > to || (from > 0 && !isBreak(t[from - 1])) ||
            (to < t.size() && !ended) || std::any_of(line.begin(), line.begin() + inner, isBreak))
            return said("a triple click selected %1 from %2 to %3", quoted(line), from, to);
        m_model.anchor = from;
        return tookMove(true);
    }

    // The model takes the box's caret after a move whose target is the layout's, once it has
    // checked that the text stayed and the caret stands where a caret may; then compares.
    QString tookMove(bool keepAnchor)
    {
        if (m_box.text() != m_model.text)
            return QStringLiteral("a move changed the text");
        const qsizetype to = m_box.cursorPosition();
        if (to < 0 || to > m_model.text.size() || insidePair(m_model.text, to))
            return said("a move put the caret at %1", to);
        m_model.moveTo(to, keepAnchor);
        return compare();
    }

    // --- Clipboard, input method, focus ---------------------------------------------------------

    QString paste()
    {
        const QString clipboard = randomText(1 + int(m_random.bounded(6)));
        m_steps << QString(QStringLiteral("clipboard ") + clipboard) << QStringLiteral("Ctrl+V");
        QGuiApplication::clipboard()->setText(clipboard);
        QTest::keyClick(&m_box, Qt::Key_V, Qt::ControlModifier);
        m_model.composing = false;
        QString pasted = clipboard;
        pasted.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
        pasted.replace(QStringLiteral("\n"), m_model.lineBreak());
        m_model.edit(m_model.selectionStart(), m_model.selectionEnd(), pasted);
        return compare();
    }

    QString inputMethod()
    {
        Model &m = m_model;
        QString preedit;
        QString commit;
        int from = 0;
        int length = 0;
        if (m_random.bounded(2) == 0)
            preedit = fromUcs4(letter());
        if (preedit.isEmpty() || m_random.bounded(3) == 0) {
            commit = m_random.bounded(8) == 0 ? m.lineBreak() : fromUcs4(letter());
            if (m_random.bounded(3) == 0) {
                from = int(m_random.bounded(5)) - 3;
                length = int(m_random.bounded(4));
            }
        }
        // One event may commit and compose; a key list writes that as two.
        if (!commit.isEmpty() || length > 0)
            m_steps << said("!%1|%2|%3", commit, from, length);
        if (!preedit.isEmpty())
            m_steps << QString(u'~' + preedit);
        QInputMethodEvent event(preedit, {});
        if (!commit.isEmpty() || length > 0)
            event.setCommitString(commit, from, length);
        QApplication::sendEvent(&m_box, &event);
        if (!commit.isEmpty() || length > 0) {
            qsizetype start = m.selectionStart();
            qsizetype end = m.selectionEnd();
            if (length > 0 && !m.hasSelection()) {
                start = std::clamp<qsizetype>(m.caret + from, 0, m.text.size());
                end = std::clamp<qsizetype>(start + length, start, m.text.size());
            }
            m.edit(start, end, commit, Merge::Typing);
        }
        m.composing = !preedit.isEmpty();
        return compare();
    }

    // A screen reader sets the caret or the selection, or edits, at any offset, inside a pair
    // or past the end of the text too.
    QString screenReader()
    {
        Model &m = m_model;
        const auto offset = [&] { return int(m_random.bounded(int(m.text.size()) + 3)) - 1; };
        const int start = offset();
        int end = offset();
        const int what = int(m_random.bounded(3));
        QString with = m_random.bounded(2) ? QString() : randomText(2);
        // Two replacements in three end at a LF with a text that ends in a CR: the two would pair.
        if (const qsizetype lf = m.text.indexOf(u'\n', std::max(start, 0));
            what == 2 && lf >= 0 && m_random.bounded(3) != 0) {
            end = int(lf);
            with += u'\r';
        }
        static const char *const whats[] = {"caret", "selection", "replaces"};
        m_steps << said("screen reader %1 %2 %3 %4", QLatin1String(whats[what]), start, end,
                        quoted(with));
        QAccessibleInterface *box = QAccessible::queryAccessibleInterface(&m_box);
        // Where a caret set from outside lands: within the text, outside any pair.
        const auto valid = [&](int p) {
            const qsizetype at = std::clamp<qsizetype>(p, 0, m.text.size());
            return insidePair(m.text, at) ? at - 1 : at;
        };
        if (what == 0) {
            box->textInterface()->setCursorPosition(start);
            m.anchor = valid(start);
            m.moveTo(valid(start), true);
        } else if (what == 1) {
            box->textInterface()->setSelection(0, start, end);
            m.anchor = valid(start);
            m.moveTo(valid(end), true);
        } else {
            box->editableTextInterface()->replaceText(start, end, with);
            const qsizetype from = std::clamp<qsizetype>(start, 0, m.text.size());
            m.edit(from, std::clamp<qsizetype>(end, from, m.text.size()), with);
        }
        m.composing = false;
        return compare();
    }

    // The box at another width wraps its rows elsewhere.
    QString resize()
    {
        const QSize size(120 + int(m_random.bounded(300)), 80 + int(m_random.bounded(200)));
        m_steps << said("resize %1x%2", size.width(), size.height());
        m_box.resize(size);
        return compare();
    }

    // The view scrolled by the wheel or the scroll bar, so that clicks land elsewhere.
    QString scroll()
    {
        QScrollBar *bar = m_box.verticalScrollBar();
        if (m_random.bounded(2)) {
            const int value = int(m_random.bounded(bar->maximum() + 1));
            m_steps << said("scroll bar %1", value);
            bar->setValue(value);
        } else {
            const int delta = (int(m_random.bounded(7)) - 3) * 120;
            m_steps << said("wheel %1", delta);
            const QPointF at(10, 10);
            QWheelEvent wheel(at, m_box.viewport()->mapToGlobal(at), {}, QPoint(0, delta),
                              Qt::NoButton, {}, Qt::NoScrollPhase, false);
            QApplication::sendEvent(m_box.viewport(), &wheel);
        }
        return compare();
    }

    QString focusAway()
    {
        m_steps << QStringLiteral("focus away and back");
        if (m_box.hasFocus())
            m_model.composing = false;
        m_box.clearFocus();
        m_box.setFocus();
        return compare();
    }

    // --- Checks ---------------------------------------------------------------------------------

    QAccessibleTextInterface *reader() const
    {
        return QAccessible::queryAccessibleInterface(&m_box)->textInterface();
    }

    QString compare() const
    {
        const QString text = m_box.text();
        if (insidePair(text, m_box.cursorPosition()) || insidePair(text, m_box.anchorPosition()))
            return said("the caret or the anchor stands inside a pair, at %1 or %2",
                        m_box.cursorPosition(), m_box.anchorPosition());
        if (lineBreaks(text) != m_model.breaks)
            return said("the text %1 has %2 line breaks, not the %3 kept and typed", quoted(text),
                        lineBreaks(text), m_model.breaks);
        if (text != m_model.text)
            return said("the text is %1, not %2", quoted(m_box.text()), quoted(m_model.text));
        if (m_box.cursorPosition() != m_model.caret || m_box.anchorPosition() != m_model.anchor)
            return said("the selection runs from %1 to %2, not from %3 to %4",
                        m_box.anchorPosition(), m_box.cursorPosition(), m_model.anchor,
                        m_model.caret);
        if (m_box.lineBreak() != m_model.lineBreak())
            return said("the box's line break is %1", quoted(m_box.lineBreak()));
        return {};
    }

    QRandomGenerator m_random;
    tk::MultiLineBox &m_box;
    Model m_model;
    QStringList m_steps;
    std::optional<QPoint> m_doubleClickedAt;
};

quint32 fromEnvironment(const char *name, quint32 otherwise)
{
    bool ok = false;
    const quint32 value = qEnvironmentVariable(name).toUInt(&ok);
    return ok ? value : otherwise;
}

} // namespace

class TextBoxFuzz : public QObject {
    Q_OBJECT
private slots:
    void randomInput()
    {
        QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
        QGuiApplication::styleHints()->setMouseDoubleClickInterval(24 * 3600 * 1000);
        const quint32 seed = fromEnvironment("TEXTBOX_FUZZ_SEED", 20261207);
        const quint32 steps = fromEnvironment("TEXTBOX_FUZZ_STEPS", 5000);
        // The box of tst_textbox's key table, so that a failing case replays there.
        tk::MultiLineBox box;
        box.resize(300, 200);
        box.show();
        box.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&box));
        box.setFocus();
        QVERIFY(box.hasFocus());
        Fuzz fuzz(seed, box);
        for (quint32 i = 0; i < steps; ++i) {
            const QString wrong = fuzz.step();
            if (!wrong.isEmpty()) {
                qInfo().noquote() << said("TEXTBOX_FUZZ_SEED=%1 TEXTBOX_FUZZ_STEPS=%2: step %3 "
                                          "went wrong: %4\nSteps since the text was set fresh:\n%5",
                                          seed, steps, i + 1, wrong, fuzz.replay());
                QFAIL(qPrintable(wrong));
            }
        }
    }
};

QTEST_MAIN(TextBoxFuzz)
#include "tst_textbox_fuzz.moc"
