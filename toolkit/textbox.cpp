// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/textbox.h"

#include "toolkit/textbox_accessible.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethod>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyleHints>

#include <algorithm>

namespace tk {

using core::TextLines;

namespace {

// A change of more than this many characters on either side, once what it keeps at both ends is
// trimmed off, is told to screen readers by where it stands, without its text: nobody listens to
// thousands of characters read out, and copying a Replace on a 50 MB file out for the event, and
// again for the bus, took over 300 MB more than the click itself. The caret events that follow let
// a reader read the new text at the caret, as after any move.
constexpr qsizetype kSpokenChars = 4000;

QString withLineBreaks(QString text, const QString &lineBreak)
{
    // Pasted text takes the box's own line break, whatever the source used.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    if (lineBreak != QStringLiteral("\n"))
        text.replace(QStringLiteral("\n"), lineBreak);
    return text;
}

// What typing a key inserts, if it types at all: printable text without Ctrl (AltGr may come
// with Ctrl and Alt together on some keyboards). Tab is not typed; it moves the focus, as
// everywhere else in the windows. Ctrl+Tab types a tab, so that a listing can be made
// tab-separated (for a spreadsheet) in the Diverter's separator boxes.
bool isCtrlTab(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Tab && event->modifiers() == Qt::ControlModifier;
}

QString typedText(const QKeyEvent *event)
{
    if (isCtrlTab(event))
        return QStringLiteral("\t");
    const Qt::KeyboardModifiers mods = event->modifiers();
    if ((mods & Qt::ControlModifier) && !(mods & Qt::AltModifier))
        return {};
    const QString text = event->text();
    // By whole characters: each half of a surrogate pair (an emoji) is unprintable alone.
    const QList<uint> characters = text.toUcs4();
    if (!std::all_of(characters.begin(), characters.end(),
                     [](uint c) { return QChar::isPrint(char32_t(c)); }))
        return {};
    return text;
}

} // namespace

MultiLineBox::MultiLineBox(QWidget *parent, ScrollBar scrollBar) : QAbstractScrollArea(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(accessibleTextBox);
        return true;
    }();
    Q_UNUSED(factoryInstalled);

    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setAttribute(Qt::WA_KeyCompression, false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(scrollBar == ScrollBar::Vertical ? Qt::ScrollBarAlwaysOn
                                                                : Qt::ScrollBarAlwaysOff);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    viewport()->setCursor(Qt::IBeamCursor);
    updateScrollBar();
}

MultiLineBox::~MultiLineBox() = default;

// --- Text ---------------------------------------------------------------------------------------

void MultiLineBox::setText(const QString &text)
{
    setWholeText(text, false);
}

void MultiLineBox::setTextFresh(const QString &text)
{
    setWholeText(text, true);
}

void MultiLineBox::replaceAll(const QString &pattern, const QString &replacement)
{
    endPreedit();
    const ViewState before = viewStateNow();
    // The changed part may be most of the text, so it is copied out only for a screen reader, and
    // only when short enough to be spoken.
    const core::TextLines::Change change =
        m_lines.replaceAll(pattern, replacement, screenReaderListens() ? kSpokenChars : 0);
    keepViewState(before);
    changed(change, 0);
}

void MultiLineBox::keepViewState(const ViewState &before)
{
    // A replacement's step tells no lengths, so the place is taken before the step is made.
    if (canUndo())
        m_undoViewStates.push_back(before);
}

void MultiLineBox::setWholeText(const QString &text, bool freshHistory)
{
    endPreedit();
    const ViewState before = viewStateNow();
    const core::TextLines::Change change = m_lines.setText(text, freshHistory);
    keepViewState(before);
    changed(change, 0);
}

qsizetype MultiLineBox::outsidePair(qsizetype position, bool after) const
{
    const QString &t = text();
    if (position > 0 && position < t.size() &&
        ((t[position - 1] == u'\r' && t[position] == u'\n') ||
         (t[position - 1].isHighSurrogate() && t[position].isLowSurrogate())))
        return after ? position + 1 : position - 1;
    return position;
}

void MultiLineBox::edit(qsizetype start, qsizetype end, const QString &with,
                        core::TextLines::Merge merge)
{
    const bool insertion = start == end;
    start = outsidePair(start, false);
    end = insertion ? start : outsidePair(end, true);
    if (start == end && with.isEmpty())
        return;
    // An edit changes only the line breaks removed or typed. A lone CR brought before a LF would
    // pair with it into one line break, so that a line would go with a deleted character, or
    // none come with a typed one: the CR becomes a CR LF of its own instead. The caret then
    // stands after it, never between a CR and a LF.
    const QString &t = text();
    QString replacement = with;
    const QChar first = !with.isEmpty() ? with.front() : end < t.size() ? t[end] : QChar();
    if (start > 0 && t[start - 1] == u'\r' && first == u'\n')
        replacement.prepend(u'\n');
    if (!with.isEmpty() && with.back() == u'\r' && end < t.size() && t[end] == u'\n')
        replacement.append(u'\n');
    changed(m_lines.replace(start, end - start, replacement, merge), start + replacement.size());
}

void MultiLineBox::changed(const core::TextLines::Change &change, qsizetype caret, Origin origin,
                           const std::optional<ViewState> &state)
{
    if (origin == Origin::Edit) {
        // A new step ends what could be redone; a new history (or one whose oldest steps the
        // history dropped down to none) ends what could be undone.
        if (!canUndo())
            m_undoViewStates.clear();
        m_redoViewStates.clear();
    }
    m_caret = state ? validPosition(state->caret) : caret;
    m_anchor = state ? validPosition(state->anchor) : caret;
    m_goalX = -1;
    m_view.setCaret(m_caret);
    view().textChanged(change.wholeText);

    if (screenReaderListens()) {
        const core::TextLines::Change part = core::TextLines::narrowed(change, kSpokenChars);
        const int at = int(part.position);
        if (!part.described()) {
            // Qt's AT-SPI bridge turns an update with neither text into no signal at all and
            // reads nothing back for it; the range is where Qt's own events keep it, from the
            // change's position to the cursor position after the inserted text.
            QAccessibleTextUpdateEvent event(this, at, QString(), QString());
            event.setCursorPosition(int(part.position + part.insertedSize));
            tellScreenReader(&event);
        } else if (part.removed.isEmpty() && !part.inserted.isEmpty()) {
            QAccessibleTextInsertEvent event(this, at, part.inserted);
            tellScreenReader(&event);
        } else if (!part.removed.isEmpty() && part.inserted.isEmpty()) {
            QAccessibleTextRemoveEvent event(this, at, part.removed);
            tellScreenReader(&event);
        } else if (!part.removed.isEmpty()) {
            QAccessibleTextUpdateEvent event(this, at, part.removed, part.inserted);
            tellScreenReader(&event);
        }
    }
    if (state) {
        setTop({std::min(state->top.unit, m_lines.unitCount() - 1), state->top.row});
    } else {
        setTop(m_view.top());
        ensureVisible(m_caret);
    }
    restartBlink();
    viewport()->update();
    notifyCaret();
    signalChanges(true);
}

void MultiLineBox::insertTyped(const QString &typed, core::TextLines::Merge merge)
{
    if (m_readOnly || typed.isEmpty())
        return;
    edit(selectionStart(), selectionEnd(), typed, merge);
}

QString MultiLineBox::selectedText() const
{
    return text().mid(selectionStart(), selectionEnd() - selectionStart());
}

void MultiLineBox::setSelection(qsizetype anchor, qsizetype caret)
{
    endPreedit();
    m_anchor = validPosition(anchor);
    moveCaret(validPosition(caret), true);
}

void MultiLineBox::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    setAttribute(Qt::WA_InputMethodEnabled, !readOnly);
    viewport()->update();
    if (screenReaderListens()) {
        QAccessible::State state;
        state.readOnly = true;
        state.editable = true;
        QAccessibleStateChangeEvent event(this, state);
        tellScreenReader(&event);
    }
}

void MultiLineBox::undo()
{
    if (!m_readOnly) {
        const ViewState before = viewStateNow();
        replayed(m_lines.undo(), before, m_undoViewStates, m_redoViewStates);
    }
}

void MultiLineBox::redo()
{
    if (!m_readOnly) {
        const ViewState before = viewStateNow();
        replayed(m_lines.redo(), before, m_redoViewStates, m_undoViewStates);
    }
}

void MultiLineBox::replayed(const std::optional<core::TextLines::Change> &change,
                            const ViewState &before, std::vector<ViewState> &from,
                            std::vector<ViewState> &to)
{
    if (!change)
        return;
    if (!change->wholeText) {
        changed(*change, change->position + change->inserted.size(), Origin::History);
        return;
    }
    // A view state kept for a text of another length belongs to another step: the text goes back
    // without it, to the start, as it would with none kept.
    std::optional<ViewState> back;
    if (!from.empty()) {
        if (from.back().textSize == m_lines.size())
            back = from.back();
        from.pop_back();
    }
    to.push_back(before);
    changed(*change, 0, Origin::History, back);
}

void MultiLineBox::copy() const
{
    if (hasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}

void MultiLineBox::cut()
{
    if (m_readOnly || !hasSelection())
        return;
    copy();
    deleteSelection();
}

void MultiLineBox::paste()
{
    if (m_readOnly)
        return;
    const QString pasted = QGuiApplication::clipboard()->text();
    if (!pasted.isEmpty())
        insertTyped(withLineBreaks(pasted, lineBreak()), core::TextLines::Merge::No);
}

void MultiLineBox::deleteSelection()
{
    if (!m_readOnly && hasSelection())
        edit(selectionStart(), selectionEnd(), {});
}

void MultiLineBox::selectAll()
{
    endPreedit();
    m_anchor = 0;
    moveCaret(m_lines.size(), true);
}

// --- Layout and scrolling -----------------------------------------------------------------------

// The rows follow the viewport's size and the font as they stand: a hidden box is resized without
// a resize event until it is shown.
BoxLayout &MultiLineBox::view() const
{
    m_view.setViewSize(viewport()->size());
    m_view.setFont(font());
    return m_view;
}

void MultiLineBox::setTop(Row top, bool fromScrollBar)
{
    view().setTop(top);
    updateScrollBar(!fromScrollBar);
    viewport()->update();
}

void MultiLineBox::scrollRows(int rows)
{
    view().dropSurplusLayouts();
    setTop(view().scrolled(rows));
}

void MultiLineBox::updateScrollBar(bool setValue)
{
    const BoxLayout &v = view();
    QScrollBar *bar = verticalScrollBar();
    const QSignalBlocker blocker(bar);
    bar->setRange(0, v.scrollMaximum());
    bar->setSingleStep(v.stepsPerUnit());
    bar->setPageStep(v.pageStep());
    if (setValue)
        bar->setValue(v.scrollValue(v.top()));
}

void MultiLineBox::scrollContentsBy(int, int)
{
    // The scroll bar moved by the user.
    const Row row = view().rowOfScrollValue(verticalScrollBar()->value());
    if (row != view().top())
        setTop(row, true);
}

void MultiLineBox::ensureVisible(qsizetype position)
{
    if (const std::optional<Row> top = view().topShowing(position))
        setTop(*top);
}

void MultiLineBox::pageMove(int direction, bool keepAnchor)
{
    const BoxLayout &v = view();
    if (m_goalX < 0)
        m_goalX = v.caretRect().x() - BoxLayout::kMargin;
    const int rows = v.pageRows();
    Row target = v.rowAt(m_caret);
    int moved = 0;
    for (; moved < rows && (direction > 0 ? v.nextRow(target) : v.previousRow(target)); ++moved) {
    }
    if (moved == 0) {
        moveCaret(direction > 0 ? m_lines.size() : 0, keepAnchor);
        return;
    }
    scrollRows(direction * moved);
    moveCaret(view().positionInRow(target, m_goalX), keepAnchor, true);
}

// --- Caret --------------------------------------------------------------------------------------

// Text an input method is composing shows at the caret but is no part of the text, so every
// position worked out on its line would be off by its length. As in Qt's own editors, a caret
// move by key or mouse, or a new text, first asks the input method to commit it, and drops
// what it leaves.
void MultiLineBox::endPreedit(bool askToCommit)
{
    if (m_view.preedit().isEmpty())
        return;
    if (askToCommit)
        QGuiApplication::inputMethod()->commit();
    if (!m_view.preedit().isEmpty()) {
        m_view.setPreedit({}, 0);
        viewport()->update();
    }
}

void MultiLineBox::moveCaret(qsizetype position, bool keepAnchor, bool keepGoalX)
{
    m_caret = position;
    m_view.setCaret(position);
    if (!keepAnchor)
        m_anchor = position;
    if (!keepGoalX)
        m_goalX = -1;
    m_lines.closeStep();
    ensureVisible(m_caret);
    restartBlink();
    viewport()->update();
    notifyCaret();
    signalChanges(false);
}

void MultiLineBox::restartBlink()
{
    m_caretShown = true;
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (flash > 0 && hasFocus())
        m_blink.start(flash / 2, this);
    else
        m_blink.stop();
}

void MultiLineBox::notifyCaret()
{
    if (hasFocus())
        QGuiApplication::inputMethod()->update(Qt::ImQueryInput);
    if (!screenReaderListens())
        return;
    const std::pair selection{selectionStart(), selectionEnd()};
    if (selection != m_notifiedSelection &&
        (hasSelection() || m_notifiedSelection.first != m_notifiedSelection.second)) {
        QAccessibleTextSelectionEvent event(this, int(selection.first), int(selection.second));
        event.setCursorPosition(int(m_caret));
        tellScreenReader(&event);
    }
    m_notifiedSelection = selection;
    QAccessibleTextCursorEvent event(this, int(m_caret));
    tellScreenReader(&event);
}

void MultiLineBox::signalChanges(bool textChanged)
{
    // Each state is recorded before its signal goes out, so that a slot which changes the box
    // again neither misses a change nor repeats one.
    if (textChanged)
        emit this->textChanged();
    const std::pair selection = hasSelection() ? std::pair{selectionStart(), selectionEnd()}
                                               : std::pair<qsizetype, qsizetype>{};
    if (selection != m_signalledSelection) {
        m_signalledSelection = selection;
        emit selectionChanged();
    }
    if (m_caret != m_signalledCaret) {
        m_signalledCaret = m_caret;
        emit cursorPositionChanged();
    }
    if (canUndo() != m_signalledUndo) {
        m_signalledUndo = canUndo();
        emit undoAvailable(m_signalledUndo);
    }
    if (canRedo() != m_signalledRedo) {
        m_signalledRedo = canRedo();
        emit redoAvailable(m_signalledRedo);
    }
}

// --- Events -------------------------------------------------------------------------------------

QSize MultiLineBox::sizeHint() const
{
    return QSize(256, 192);
}

bool MultiLineBox::event(QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        // The box's own keys win over a window's shortcuts while it has the focus.
        auto *key = static_cast<QKeyEvent *>(event);
        if (isOwnKey(key))
            event->accept();
    }
    return QAbstractScrollArea::event(event);
}

// Which keys the box takes before the window's accelerators, menus and shortcuts, as Qt's own
// editors decide: the keys that move or copy, and, while it may be edited, the editing keys and
// what is typed without Ctrl, Alt or Meta. Alt+letter is left to the window, so a button's
// "&Arat" runs from inside the box; a key no one claims still comes to keyPressEvent, which types
// it as QPlainTextEdit does. A read-only box claims nothing it would only refuse, so a window's
// shortcut on Return, a letter or Ctrl+Z works there too.
bool MultiLineBox::isOwnKey(QKeyEvent *event) const
{
    using K = QKeySequence;
    static const K::StandardKey viewing[] = {
        K::Copy,
        K::SelectAll,
        K::MoveToNextChar,
        K::MoveToPreviousChar,
        K::MoveToNextWord,
        K::MoveToPreviousWord,
        K::MoveToNextLine,
        K::MoveToPreviousLine,
        K::MoveToStartOfLine,
        K::MoveToEndOfLine,
        K::MoveToStartOfDocument,
        K::MoveToEndOfDocument,
        K::MoveToNextPage,
        K::MoveToPreviousPage,
        K::SelectNextChar,
        K::SelectPreviousChar,
        K::SelectNextWord,
        K::SelectPreviousWord,
        K::SelectNextLine,
        K::SelectPreviousLine,
        K::SelectStartOfLine,
        K::SelectEndOfLine,
        K::SelectStartOfDocument,
        K::SelectEndOfDocument,
        K::SelectNextPage,
        K::SelectPreviousPage,
    };
    static const K::StandardKey editing[] = {
        K::Cut, K::Paste, K::Undo, K::Redo, K::Delete, K::DeleteStartOfWord, K::DeleteEndOfWord};
    for (const K::StandardKey key : viewing) {
        if (event->matches(key))
            return true;
    }
    if (m_readOnly)
        return false;
    for (const K::StandardKey key : editing) {
        if (event->matches(key))
            return true;
    }
    if (isCtrlTab(event))
        return true;
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const int k = event->key();
    return k == Qt::Key_Backspace || k == Qt::Key_Return || k == Qt::Key_Enter ||
           !typedText(event).isEmpty();
}

bool MultiLineBox::moveByKey(QKeyEvent *event)
{
    using K = QKeySequence;
    struct Move {
        K::StandardKey move;
        K::StandardKey select;
        int what;
    };
    enum {
        Char,
        PrevChar,
        Word,
        PrevWord,
        Down,
        Up,
        RowStart,
        RowEnd,
        Start,
        End,
        PageDown,
        PageUp
    };
    static const Move moves[] = {
        {K::MoveToNextChar, K::SelectNextChar, Char},
        {K::MoveToPreviousChar, K::SelectPreviousChar, PrevChar},
        {K::MoveToNextWord, K::SelectNextWord, Word},
        {K::MoveToPreviousWord, K::SelectPreviousWord, PrevWord},
        {K::MoveToNextLine, K::SelectNextLine, Down},
        {K::MoveToPreviousLine, K::SelectPreviousLine, Up},
        {K::MoveToStartOfLine, K::SelectStartOfLine, RowStart},
        {K::MoveToEndOfLine, K::SelectEndOfLine, RowEnd},
        {K::MoveToStartOfDocument, K::SelectStartOfDocument, Start},
        {K::MoveToEndOfDocument, K::SelectEndOfDocument, End},
        {K::MoveToNextPage, K::SelectNextPage, PageDown},
        {K::MoveToPreviousPage, K::SelectPreviousPage, PageUp},
    };
    for (const Move &m : moves) {
        const bool select = event->matches(m.select);
        if (!select && !event->matches(m.move))
            continue;
        switch (m.what) {
        case Char:
            moveCaret(!select && hasSelection()
                          ? selectionEnd()
                          : view().nextPosition(m_caret, QTextLayout::SkipCharacters),
                      select);
            break;
        case PrevChar:
            moveCaret(!select && hasSelection()
                          ? selectionStart()
                          : view().previousPosition(m_caret, QTextLayout::SkipCharacters),
                      select);
            break;
        case Word: moveCaret(view().nextPosition(m_caret, QTextLayout::SkipWords), select); break;
        case PrevWord:
            moveCaret(view().previousPosition(m_caret, QTextLayout::SkipWords), select);
            break;
        case Down:
        case Up: {
            const BoxLayout &v = view();
            if (m_goalX < 0)
                m_goalX = v.caretRect().x() - BoxLayout::kMargin;
            Row row = v.rowAt(m_caret);
            if (m.what == Down ? v.nextRow(row) : v.previousRow(row))
                moveCaret(v.positionInRow(row, m_goalX), select, true);
            else
                moveCaret(m.what == Down ? m_lines.size() : 0, select, true);
            break;
        }
        case RowStart:
        case RowEnd: {
            const BoxLayout &v = view();
            const Row row = v.rowAt(m_caret);
            const BoxLayout::Laid &laid = v.layout(row.unit);
            const QTextLine line = laid.layout.lineAt(row.row);
            const qsizetype start = laid.start + line.textStart();
            qsizetype end = start + line.textLength();
            // As in Qt's own editors, the end of a row that wraps on is the start of the next
            // one, so that what is typed there follows the row's last character; only a row
            // that wrapped at a blank keeps the caret before that blank, on the row.
            if (end > start && end < m_lines.lineEnd(m_lines.lineOf(start)) &&
                text()[end - 1].isSpace())
                --end;
            moveCaret(m.what == RowStart ? start : end, select);
            break;
        }
        case Start: moveCaret(0, select); break;
        case End: moveCaret(m_lines.size(), select); break;
        case PageDown: pageMove(1, select); break;
        case PageUp: pageMove(-1, select); break;
        }
        return true;
    }
    return false;
}

void MultiLineBox::keyPressEvent(QKeyEvent *event)
{
    using K = QKeySequence;
    event->accept();
    const int key = event->key();
    if (key != Qt::Key_Shift && key != Qt::Key_Control && key != Qt::Key_Alt &&
        key != Qt::Key_AltGr && key != Qt::Key_Meta)
        endPreedit();
    if (moveByKey(event))
        return;
    if (event->matches(K::SelectAll)) {
        selectAll();
    } else if (event->matches(K::Copy)) {
        copy();
    } else if (m_readOnly) {
        event->ignore();
    } else if (event->matches(K::Cut)) {
        cut();
    } else if (event->matches(K::Paste)) {
        paste();
    } else if (event->matches(K::Undo)) {
        undo();
    } else if (event->matches(K::Redo)) {
        redo();
    } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        m_lines.closeStep();
        insertTyped(lineBreak(), core::TextLines::Merge::No);
    } else if (event->key() == Qt::Key_Backspace && !(event->modifiers() & ~Qt::ShiftModifier)) {
        if (hasSelection()) {
            deleteSelection();
        } else if (m_caret > 0) {
            // edit() takes a CR LF or a surrogate pair whole.
            edit(m_caret - 1, m_caret, {}, core::TextLines::Merge::Deleting);
        }
    } else if (event->matches(K::Delete)) {
        if (hasSelection())
            deleteSelection();
        else if (m_caret < m_lines.size())
            edit(m_caret, view().nextPosition(m_caret, QTextLayout::SkipCharacters), {},
                 core::TextLines::Merge::Deleting);
    } else if (event->matches(K::DeleteStartOfWord)) {
        if (hasSelection())
            deleteSelection();
        else
            edit(view().previousPosition(m_caret, QTextLayout::SkipWords), m_caret, {});
    } else if (event->matches(K::DeleteEndOfWord)) {
        if (hasSelection())
            deleteSelection();
        else
            edit(m_caret, view().nextPosition(m_caret, QTextLayout::SkipWords), {});
    } else if (const QString typed = typedText(event); !typed.isEmpty()) {
        insertTyped(typed, core::TextLines::Merge::Typing);
    } else {
        event->ignore();
    }
}

void MultiLineBox::inputMethodEvent(QInputMethodEvent *event)
{
    if (m_readOnly) {
        event->ignore();
        return;
    }
    const QString commit = event->commitString();
    if (!commit.isEmpty() || event->replacementLength() > 0) {
        qsizetype start = selectionStart();
        qsizetype end = selectionEnd();
        if (event->replacementLength() > 0 && !hasSelection()) {
            start = std::clamp<qsizetype>(m_caret + event->replacementStart(), 0, m_lines.size());
            end = std::clamp<qsizetype>(start + event->replacementLength(), start, m_lines.size());
        }
        m_view.setPreedit({}, m_view.preeditCursor());
        edit(start, end, commit, core::TextLines::Merge::Typing);
    }
    m_view.setPreedit(*event);
    viewport()->update();
    event->accept();
}

QVariant MultiLineBox::inputMethodQuery(Qt::InputMethodQuery query) const
{
    const BoxLayout::Laid &laid = view().layout(m_lines.unitOf(m_caret));
    switch (query) {
    case Qt::ImEnabled: return !m_readOnly;
    case Qt::ImCursorRectangle: return view().caretRect().translated(viewport()->pos());
    case Qt::ImFont: return font();
    case Qt::ImCursorPosition: return int(m_caret - laid.start);
    case Qt::ImAnchorPosition: return int(std::clamp(m_anchor, laid.start, laid.end) - laid.start);
    case Qt::ImSurroundingText: return text().mid(laid.start, laid.end - laid.start);
    case Qt::ImCurrentSelection: return selectedText();
    case Qt::ImHints: return int(Qt::ImhMultiLine);
    default: return QAbstractScrollArea::inputMethodQuery(query);
    }
}

void MultiLineBox::paintEvent(QPaintEvent *)
{
    BoxLayout &v = view();
    v.dropSurplusLayouts();
    QPainter painter(viewport());
    const QPalette::ColorGroup group = !isEnabled()       ? QPalette::Disabled
                                       : isActiveWindow() ? QPalette::Active
                                                          : QPalette::Inactive;
    const QPalette &pal = palette();
    const int height = viewport()->height();
    const qsizetype selStart = selectionStart();
    const qsizetype selEnd = selectionEnd();
    const bool caretShown = m_caretShown && hasFocus() && !m_readOnly && isEnabled();
    const qsizetype caretUnit = m_lines.unitOf(m_caret);
    QTextCharFormat selected;
    selected.setBackground(pal.brush(group, QPalette::Highlight));
    selected.setForeground(pal.brush(group, QPalette::HighlightedText));
    painter.setPen(pal.color(group, QPalette::Text));

    const Row top = v.top();
    int y = v.topMargin() - qRound(v.layout(top.unit).layout.lineAt(top.row).y());
    for (qsizetype unit = top.unit; unit < m_lines.unitCount() && y < height; ++unit) {
        const BoxLayout::Laid &laid = v.layout(unit);
        QList<QTextLayout::FormatRange> selections;
        if (selStart < selEnd && selEnd > laid.start && selStart <= laid.end) {
            const qsizetype from = std::max(selStart, laid.start);
            const qsizetype to = std::min(selEnd, laid.end);
            if (to > from)
                selections.append({int(from - laid.start), int(to - from), selected});
        }
        const QPointF origin(BoxLayout::kMargin, y);
        laid.layout.draw(&painter, origin, selections);
        // A selected line break shows as a selected blank after the line.
        if (selStart <= laid.end && selEnd > laid.end) {
            const QTextLine last = laid.layout.lineAt(laid.layout.lineCount() - 1);
            const qreal x = last.cursorToX(int(laid.end - laid.start));
            painter.fillRect(QRectF(origin + QPointF(x, last.y()),
                                    QSizeF(fontMetrics().horizontalAdvance(u' '), last.height())),
                             pal.brush(group, QPalette::Highlight));
        }
        if (caretShown && unit == caretUnit && (v.preedit().isEmpty() || v.preeditCursorShown())) {
            int local = int(m_caret - laid.start);
            if (!v.preedit().isEmpty())
                local += v.preeditCursor();
            laid.layout.drawCursor(&painter, origin, local, 1);
        }
        y += laid.height;
    }
    // The style draws no focus frame for a scroll area; the box with the keyboard shows one, as
    // a line edit does.
    if (hasFocus()) {
        painter.setPen(QPen(pal.color(group, QPalette::Highlight), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(viewport()->rect().adjusted(0, 0, -1, -1));
    }
}

void MultiLineBox::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    view().dropLayouts();
    setTop(m_view.top());
}

void MultiLineBox::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::StyleChange:
        view().dropLayouts();
        setTop({m_view.top().unit, 0});
        break;
    case QEvent::EnabledChange:
    case QEvent::PaletteChange:
    case QEvent::ActivationChange: viewport()->update(); break;
    default: break;
    }
}

void MultiLineBox::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    restartBlink();
    viewport()->update();
}

void MultiLineBox::focusOutEvent(QFocusEvent *event)
{
    // The input method may already serve the widget that takes the focus: only drop the text.
    endPreedit(false);
    QAbstractScrollArea::focusOutEvent(event);
    m_blink.stop();
    viewport()->update();
}

void MultiLineBox::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_blink.timerId()) {
        m_caretShown = !m_caretShown;
        viewport()->update();
    } else if (event->timerId() == m_tripleClick.timerId()) {
        m_tripleClick.stop();
    } else if (event->timerId() == m_autoScroll.timerId()) {
        const QPoint at = viewport()->mapFromGlobal(QCursor::pos());
        scrollRows(at.y() < 0 ? -1 : at.y() > viewport()->height() ? 1 : 0);
        moveCaret(view().positionAt(at), true);
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}

void MultiLineBox::mousePressEvent(QMouseEvent *event)
{
    endPreedit();
    const qsizetype at = view().positionAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        // As in Qt's own editors, the press after a double click, near it and within the
        // double-click time, takes the whole line, Shift or not.
        const bool triple = m_tripleClick.isActive() &&
                            (event->position().toPoint() - m_tripleClickAt).manhattanLength() <
                                QApplication::startDragDistance();
        m_tripleClick.stop();
        m_dragging = true;
        if (triple) {
            m_selectBy = SelectBy::Lines;
            m_anchorRange = lineAround(at);
            m_anchor = m_anchorRange.first;
            moveCaret(m_anchorRange.second, true);
        } else {
            m_selectBy = SelectBy::Characters;
            moveCaret(at, event->modifiers() & Qt::ShiftModifier);
        }
    } else if (event->button() == Qt::MiddleButton && !m_readOnly &&
               QGuiApplication::clipboard()->supportsSelection()) {
        const QString pasted = QGuiApplication::clipboard()->text(QClipboard::Selection);
        moveCaret(at, false);
        insertTyped(withLineBreaks(pasted, lineBreak()), core::TextLines::Merge::No);
    }
}

void MultiLineBox::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging || !(event->buttons() & Qt::LeftButton))
        return;
    const QPoint at = event->position().toPoint();
    if (at.y() < 0 || at.y() > viewport()->height())
        m_autoScroll.start(50, this);
    else
        m_autoScroll.stop();
    const qsizetype position = view().positionAt(at);
    if (m_selectBy != SelectBy::Characters) {
        const auto range =
            m_selectBy == SelectBy::Words ? view().wordAt(position) : lineAround(position);
        if (position < m_anchorRange.first) {
            m_anchor = m_anchorRange.second;
            moveCaret(range.first, true);
        } else {
            m_anchor = m_anchorRange.first;
            moveCaret(std::max(range.second, m_anchorRange.second), true);
        }
    } else {
        moveCaret(position, true);
    }
}

void MultiLineBox::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    m_autoScroll.stop();
    if (hasSelection() && QGuiApplication::clipboard()->supportsSelection())
        QGuiApplication::clipboard()->setText(selectedText(), QClipboard::Selection);
}

void MultiLineBox::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    endPreedit();
    m_anchorRange = view().wordAt(view().positionAt(event->position().toPoint()));
    m_selectBy = SelectBy::Words;
    m_dragging = true;
    m_anchor = m_anchorRange.first;
    moveCaret(m_anchorRange.second, true);
    m_tripleClickAt = event->position().toPoint();
    m_tripleClick.start(QApplication::doubleClickInterval(), this);
}

std::pair<qsizetype, qsizetype> MultiLineBox::lineAround(qsizetype position) const
{
    const qsizetype line = m_lines.lineOf(position);
    return {m_lines.lineStart(line),
            line + 1 < m_lines.lineCount() ? m_lines.lineStart(line + 1) : m_lines.size()};
}

void MultiLineBox::wheelEvent(QWheelEvent *event)
{
    // Rows, not scroll-bar steps: a step of the bar may be a long stretch of one line.
    m_wheelRemainder += event->angleDelta().y() * QApplication::wheelScrollLines();
    const int rows = m_wheelRemainder / 120;
    m_wheelRemainder -= rows * 120;
    scrollRows(-rows);
    event->accept();
}

void MultiLineBox::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    const auto add = [&](const QString &caption, QKeySequence::StandardKey key, bool enabled,
                         void (MultiLineBox::*slot)()) {
        const QString shortcut = QKeySequence(key).toString(QKeySequence::NativeText);
        QAction *action =
            menu.addAction(shortcut.isEmpty() ? caption : caption + u'\t' + shortcut, this, slot);
        action->setEnabled(enabled);
    };
    const bool selection = hasSelection();
    if (!m_readOnly) {
        add(QStringLiteral("&Geri Al"), QKeySequence::Undo, canUndo(), &MultiLineBox::undo);
        add(QStringLiteral("&Yinele"), QKeySequence::Redo, canRedo(), &MultiLineBox::redo);
        menu.addSeparator();
        add(QStringLiteral("Ke&s"), QKeySequence::Cut, selection, &MultiLineBox::cut);
    }
    QAction *copyAction =
        menu.addAction(QStringLiteral("&Kopyala\t") +
                           QKeySequence(QKeySequence::Copy).toString(QKeySequence::NativeText),
                       this, [this] { copy(); });
    copyAction->setEnabled(selection);
    if (!m_readOnly) {
        add(QStringLiteral("&Yapıştır"), QKeySequence::Paste,
            !QGuiApplication::clipboard()->text().isEmpty(), &MultiLineBox::paste);
        add(QStringLiteral("Sil"), QKeySequence::UnknownKey, selection,
            &MultiLineBox::deleteSelection);
    }
    menu.addSeparator();
    add(QStringLiteral("Tümünü &Seç"), QKeySequence::SelectAll, !text().isEmpty(),
        &MultiLineBox::selectAll);
    menu.exec(event->globalPos());
}

} // namespace tk
