// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The multi-line text box, used for every multi-line box of the program. The windows were
// designed around a box whose line break is carriage return + line feed (Enter types CR LF, a
// line break counts two in lengths). This box reports CR LF, except that a box whose text was
// last set from a text with bare LF line breaks reports bare LF, so a Unix text file loads and
// saves unchanged. The text is kept exactly as set or typed (core::TextLines), so text set by code
// reads back as it was set, lone CRs and all. Only where an edit would bring a lone CR before a
// LF does the CR become a CR LF of its own, so that the two line breaks stay two.
//
// Only the lines on screen are laid out, so a box takes a text of tens of megabytes, or one line
// of megabytes, as fast as the text can be indexed. A whole-text change by code is one undo step.

#include "core/textlines.h"
#include "toolkit/textbox_layout.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>

#include <optional>
#include <vector>

namespace tk {

class MultiLineBoxAccessible;

class MultiLineBox : public QAbstractScrollArea {
    Q_OBJECT
    Q_PROPERTY(bool readOnly READ isReadOnly WRITE setReadOnly)
public:
    enum class ScrollBar { None, Vertical };
    explicit MultiLineBox(QWidget *parent = nullptr, ScrollBar scrollBar = ScrollBar::None);
    ~MultiLineBox() override;

    // The text as it stands, shared with the box: reading it copies nothing.
    const QString &text() const { return m_lines.text(); }
    // Replaces the whole text as one undo step.
    void setText(const QString &text);
    // Replaces the whole text and starts a new undo history, as loading a file does.
    void setTextFresh(const QString &text);
    // Replaces every match of `pattern` (core::match) as one undo step, as setText would, but one
    // that keeps where the matches stand rather than the old text, so a big text is not held twice.
    // Each match keeps the line breaks as a typed edit does (core::TextLines::replaceAll).
    void replaceAll(const QString &pattern, const QString &replacement);
    // The line break this box reports: "\r\n" or "\n".
    QString lineBreak() const
    {
        return m_lines.hadBareLf() ? QStringLiteral("\n") : QStringLiteral("\r\n");
    }

    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);

    // The caret is at cursorPosition(); the selection runs from anchorPosition() to it.
    qsizetype cursorPosition() const { return m_caret; }
    qsizetype anchorPosition() const { return m_anchor; }
    void setSelection(qsizetype anchor, qsizetype caret);
    QString selectedText() const;

    bool canUndo() const { return m_lines.canUndo(); }
    bool canRedo() const { return m_lines.canRedo(); }
    void deleteSelection();

    QSize sizeHint() const override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

public slots:
    void undo();
    void redo();
    void cut();
    void copy() const;
    void paste();
    void selectAll();

signals:
    // Every change of the text, by the user or by code; setText and setTextFresh always count as
    // one, even with the same text, as each changes the history.
    void textChanged();
    void cursorPositionChanged();
    void selectionChanged();
    // These two only when the answer of canUndo() or canRedo() changes.
    void undoAvailable(bool available);
    void redoAvailable(bool available);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void changeEvent(QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    friend class MultiLineBoxAccessible;

    using Row = BoxLayout::Row;

    // Text changes, all through here: the caret, the layouts, the scroll bar, screen readers.
    void edit(qsizetype start, qsizetype end, const QString &with,
              core::TextLines::Merge merge = core::TextLines::Merge::No);
    void setWholeText(const QString &text, bool freshHistory);
    // A position inside a CR LF or a surrogate pair moved before it, or after it.
    qsizetype outsidePair(qsizetype position, bool after) const;
    // A position within the text, never between the CR and LF of one line break nor between the
    // halves of a surrogate pair: where a caret set from outside may stand.
    qsizetype validPosition(qsizetype position) const
    {
        return outsidePair(std::clamp<qsizetype>(position, 0, m_lines.size()), false);
    }
    // Where the caret, the selection and the view stand, and the length of the text they stand in.
    struct ViewState {
        qsizetype anchor = 0;
        qsizetype caret = 0;
        Row top;
        qsizetype textSize = 0; // the length of the text it was taken in
    };
    ViewState viewStateNow() const { return {m_anchor, m_caret, m_view.top(), m_lines.size()}; }
    // Keeps `before` for undoing the whole-text step just made.
    void keepViewState(const ViewState &before);
    // A change by an edit or a whole new text; or one taken back or again from the history, which
    // may put the box back where it stood.
    enum class Origin { Edit, History };
    void changed(const core::TextLines::Change &change, qsizetype caret,
                 Origin origin = Origin::Edit, const std::optional<ViewState> &state = {});
    // Shows a step taken back or again from the history. A whole-text step brings back the view
    // state kept for it in `from`, and leaves the state it was taken from in `to`.
    void replayed(const std::optional<core::TextLines::Change> &change, const ViewState &before,
                  std::vector<ViewState> &from, std::vector<ViewState> &to);
    void insertTyped(const QString &typed, core::TextLines::Merge merge);

    // Ends the input method's composing before the caret moves: committed when it will.
    void endPreedit(bool askToCommit = true);
    // Caret moves; with keepAnchor the selection grows, otherwise it collapses.
    void moveCaret(qsizetype position, bool keepAnchor, bool keepGoalX = false);
    qsizetype selectionStart() const { return std::min(m_caret, m_anchor); }
    qsizetype selectionEnd() const { return std::max(m_caret, m_anchor); }
    bool hasSelection() const { return m_caret != m_anchor; }

    // The rows of the text, at the viewport's size and the font as they stand.
    BoxLayout &view() const;

    // Scrolling by rows of laid-out text; the scroll bar shows the top row, in steps per unit.
    void scrollRows(int rows);
    void setTop(Row top, bool fromScrollBar = false);
    void ensureVisible(qsizetype position);
    void pageMove(int direction, bool keepAnchor);
    void updateScrollBar(bool setValue = true);
    void restartBlink();
    void notifyCaret();
    // The signals for what changed since they last went out, once the box has settled.
    void signalChanges(bool textChanged);
    bool isOwnKey(QKeyEvent *event) const;
    bool moveByKey(QKeyEvent *event);
    // The line around a position, with its line break.
    std::pair<qsizetype, qsizetype> lineAround(qsizetype position) const;

    core::TextLines m_lines;
    bool m_readOnly = false;
    qsizetype m_caret = 0;
    qsizetype m_anchor = 0;
    qreal m_goalX = -1; // the x that Up and Down keep, or -1 for the caret's own
    bool m_caretShown = true;
    // What a drag selects by: characters, or the words or lines of a double or triple click,
    // with the one clicked first kept selected.
    enum class SelectBy { Characters, Words, Lines } m_selectBy = SelectBy::Characters;
    std::pair<qsizetype, qsizetype> m_anchorRange;
    std::pair<qsizetype, qsizetype> m_notifiedSelection{-1, -1};
    qsizetype m_signalledCaret = 0;
    std::pair<qsizetype, qsizetype> m_signalledSelection; // {0, 0} for none
    bool m_signalledUndo = false;
    bool m_signalledRedo = false;
    int m_wheelRemainder = 0;
    bool m_dragging = false;
    QBasicTimer m_blink;
    QBasicTimer m_autoScroll;
    // Runs for the double-click time after a double click: a press near it then is a triple click.
    QBasicTimer m_tripleClick;
    QPoint m_tripleClickAt;
    mutable BoxLayout m_view{m_lines};
    // A handler's setText replaces the whole text, and the caret and the view with it; undoing
    // it should not leave the user at the top of a long text. For each whole-text step of the
    // history, newest last: where the box stood before the change (undo), or when the change was
    // undone (redo). Steps of typing keep no view state, since their caret follows from the edit.
    std::vector<ViewState> m_undoViewStates;
    std::vector<ViewState> m_redoViewStates;
};

} // namespace tk
