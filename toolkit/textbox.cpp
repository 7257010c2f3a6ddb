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
#include <QTextBoundaryFinder>
#include <QtMath>

#include <algorithm>
#include <climits>

using tk::TextLines;

namespace {

// Layouts kept between paints; scrolling through a long text would otherwise keep them all.
constexpr size_t kKeptLayouts = 400;

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
// everywhere else in the windows.
QString typedText(const QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers();
    if ((mods & Qt::ControlModifier) && !(mods & Qt::AltModifier))
        return {};
    const QString text = event->text();
    for (const QChar c : text) {
        if (!c.isPrint())
            return {};
    }
    return text;
}

} // namespace

namespace {

bool before(std::pair<qsizetype, int> a, std::pair<qsizetype, int> b)
{
    return a.first < b.first || (a.first == b.first && a.second < b.second);
}

} // namespace

MultiLineBox::MultiLineBox(QWidget *parent, ScrollBar scrollBar) : QAbstractScrollArea(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(tk::accessibleTextBox);
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
    wholeText(text, false);
}

void MultiLineBox::setTextFresh(const QString &text)
{
    wholeText(text, true);
}

void MultiLineBox::wholeText(const QString &text, bool freshHistory)
{
    const TextLines::Change change = m_lines.setText(text, freshHistory);
    m_bareLf = m_lines.hadBareLf();
    m_top = {};
    changed(change, 0);
}

void MultiLineBox::edit(qsizetype start, qsizetype end, const QString &with, TextLines::Merge merge)
{
    if (start == end && with.isEmpty())
        return;
    changed(m_lines.replace(start, end - start, with, merge), start + with.size());
}

void MultiLineBox::changed(const TextLines::Change &change, qsizetype caret)
{
    m_caret = m_anchor = caret;
    m_goalX = -1;
    dropLayouts();
    if (change.wholeText)
        m_top = {};
    else
        m_top.unit = std::min(m_top.unit, m_lines.unitCount() - 1);
    m_top.row = std::min(m_top.row, layout(m_top.unit).layout.lineCount() - 1);

    if (QAccessible::isActive()) {
        const TextLines::Change part = TextLines::narrowed(change);
        const int at = int(part.position);
        if (part.removed.isEmpty() && !part.inserted.isEmpty()) {
            QAccessibleTextInsertEvent event(this, at, part.inserted);
            QAccessible::updateAccessibility(&event);
        } else if (!part.removed.isEmpty() && part.inserted.isEmpty()) {
            QAccessibleTextRemoveEvent event(this, at, part.removed);
            QAccessible::updateAccessibility(&event);
        } else if (!part.removed.isEmpty()) {
            QAccessibleTextUpdateEvent event(this, at, part.removed, part.inserted);
            QAccessible::updateAccessibility(&event);
        }
    }
    setTop(m_top);
    ensureVisible(m_caret);
    restartBlink();
    viewport()->update();
    notifyCaret();
}

void MultiLineBox::insertTyped(const QString &typed, TextLines::Merge merge)
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
    const qsizetype size = m_lines.size();
    const auto valid = [&](qsizetype p) {
        p = std::clamp<qsizetype>(p, 0, size);
        // Never between the CR and LF of one line break.
        if (p > 0 && p < size && text()[p] == u'\n' && text()[p - 1] == u'\r')
            --p;
        return p;
    };
    m_anchor = valid(anchor);
    moveCaret(valid(caret), true);
}

void MultiLineBox::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    setAttribute(Qt::WA_InputMethodEnabled, !readOnly);
    viewport()->update();
    if (QAccessible::isActive()) {
        QAccessible::State state;
        state.readOnly = true;
        state.editable = true;
        QAccessibleStateChangeEvent event(this, state);
        QAccessible::updateAccessibility(&event);
    }
}

void MultiLineBox::undo()
{
    if (!m_readOnly)
        replayed(m_lines.undo());
}

void MultiLineBox::redo()
{
    if (!m_readOnly)
        replayed(m_lines.redo());
}

void MultiLineBox::replayed(const std::optional<TextLines::Change> &change)
{
    if (!change)
        return;
    if (change->wholeText)
        m_bareLf = m_lines.hadBareLf();
    changed(*change, change->wholeText ? 0 : change->position + change->inserted.size());
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
        insertTyped(withLineBreaks(pasted, lineBreak()), TextLines::Merge::No);
}

void MultiLineBox::deleteSelection()
{
    if (!m_readOnly && hasSelection())
        edit(selectionStart(), selectionEnd(), {});
}

void MultiLineBox::selectAll()
{
    m_anchor = 0;
    moveCaret(m_lines.size(), true);
}

// --- Layout and geometry ------------------------------------------------------------------------

// The blank above the text belongs to its start, as a document margin does: scrolled down, the
// top row sits at the top edge, and no sliver of the row above shows through the margin.
int MultiLineBox::topMargin() const
{
    return m_top.unit == 0 && m_top.row == 0 ? kMargin : 0;
}

int MultiLineBox::contentWidth() const
{
    return std::max(1, viewport()->width() - 2 * kMargin);
}

void MultiLineBox::dropLayouts() const
{
    m_layouts.clear();
    m_lastTop.reset();
}

const MultiLineBox::Laid &MultiLineBox::layout(qsizetype unit) const
{
    auto &slot = m_layouts[unit];
    if (slot)
        return *slot;
    slot = std::make_unique<Laid>();
    const auto [start, end] = m_lines.unitRange(unit);
    slot->start = start;
    slot->end = end;
    QTextLayout &l = slot->layout;
    l.setText(text().mid(start, end - start));
    l.setFont(font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    // A line that begins right-to-left reads from the right edge, as in Qt's own editors.
    const bool rightToLeft = l.text().isRightToLeft();
    option.setTextDirection(rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    option.setAlignment(rightToLeft ? Qt::AlignRight : Qt::AlignLeft);
    l.setTextOption(option);
    l.setCacheEnabled(true);
    if (!m_preedit.isEmpty() && m_caret >= start && m_caret <= end &&
        m_lines.unitOf(m_caret) == unit)
        l.setPreeditArea(int(m_caret - start), m_preedit);
    const int width = contentWidth();
    int y = 0;
    l.beginLayout();
    for (QTextLine line = l.createLine(); line.isValid(); line = l.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += qCeil(line.height());
    }
    l.endLayout();
    slot->height = y;
    return *slot;
}

int MultiLineBox::rowHeight(Row row) const
{
    return qCeil(layout(row.unit).layout.lineAt(row.row).height());
}

bool MultiLineBox::nextRow(Row &row) const
{
    if (row.row + 1 < layout(row.unit).layout.lineCount()) {
        ++row.row;
        return true;
    }
    if (row.unit + 1 >= m_lines.unitCount())
        return false;
    row = {row.unit + 1, 0};
    return true;
}

bool MultiLineBox::previousRow(Row &row) const
{
    if (row.row > 0) {
        --row.row;
        return true;
    }
    if (row.unit == 0)
        return false;
    row.unit -= 1;
    row.row = layout(row.unit).layout.lineCount() - 1;
    return true;
}

MultiLineBox::Row MultiLineBox::rowAt(qsizetype position) const
{
    const qsizetype unit = m_lines.unitOf(position);
    const Laid &laid = layout(unit);
    int local = int(position - laid.start);
    if (!m_preedit.isEmpty() && position == m_caret)
        local += m_preeditCursor;
    const QTextLine line = laid.layout.lineForTextPosition(local);
    return {unit, line.isValid() ? line.lineNumber() : laid.layout.lineCount() - 1};
}

int MultiLineBox::rowTop(Row row) const
{
    const int limit = viewport()->height();
    const auto lineY = [&](Row r) { return qRound(layout(r.unit).layout.lineAt(r.row).y()); };
    int y = topMargin() - lineY(m_top);
    if (before({row.unit, row.row}, {m_top.unit, m_top.row})) {
        for (qsizetype u = m_top.unit - 1; u >= row.unit; --u) {
            y -= layout(u).height;
            if (y < -2 * limit && u > row.unit)
                return -INT_MAX / 4;
        }
    } else {
        for (qsizetype u = m_top.unit; u < row.unit; ++u) {
            y += layout(u).height;
            if (y > 2 * limit)
                return INT_MAX / 4;
        }
    }
    return y + lineY(row);
}

qsizetype MultiLineBox::positionInRow(Row row, qreal x) const
{
    const Laid &laid = layout(row.unit);
    const QTextLine line = laid.layout.lineAt(row.row);
    int local = line.xToCursor(x);
    const int rowEnd = line.textStart() + line.textLength();
    // Past the end of a wrapped row the caret stays on that row, before its last character,
    // rather than landing at the start of the next one.
    const bool wrapsOn = row.row + 1 < laid.layout.lineCount() ||
                         laid.end < m_lines.lineEnd(m_lines.lineOf(laid.start));
    if (local >= rowEnd && wrapsOn && rowEnd > line.textStart())
        local = laid.layout.previousCursorPosition(rowEnd);
    return laid.start + std::min<qsizetype>(local, laid.end - laid.start);
}

qsizetype MultiLineBox::positionAt(QPoint point) const
{
    Row row = m_top;
    int y = rowTop(row);
    for (;;) {
        const int h = rowHeight(row);
        if (point.y() < y + h)
            break;
        Row next = row;
        if (!nextRow(next))
            break;
        row = next;
        y += h;
    }
    return positionInRow(row, point.x() - kMargin);
}

QRect MultiLineBox::caretRect() const
{
    const Row row = rowAt(m_caret);
    const Laid &laid = layout(row.unit);
    int local = int(m_caret - laid.start);
    if (!m_preedit.isEmpty())
        local += m_preeditCursor;
    const qreal x = laid.layout.lineAt(row.row).cursorToX(local);
    return QRect(kMargin + qFloor(x), rowTop(row), 1, rowHeight(row));
}

qsizetype MultiLineBox::nextPosition(qsizetype position, QTextLayout::CursorMode mode) const
{
    if (position >= m_lines.size())
        return m_lines.size();
    const qsizetype line = m_lines.lineOf(position);
    if (position >= m_lines.lineEnd(line))
        return line + 1 < m_lines.lineCount() ? m_lines.lineStart(line + 1) : m_lines.size();
    const Laid &laid = layout(m_lines.unitOf(position));
    return laid.start + laid.layout.nextCursorPosition(int(position - laid.start), mode);
}

qsizetype MultiLineBox::previousPosition(qsizetype position, QTextLayout::CursorMode mode) const
{
    if (position <= 0)
        return 0;
    const qsizetype line = m_lines.lineOf(position);
    if (position == m_lines.lineStart(line))
        return m_lines.lineEnd(line - 1);
    const Laid &laid = layout(m_lines.unitOf(position - 1));
    return laid.start + laid.layout.previousCursorPosition(int(position - laid.start), mode);
}

std::pair<qsizetype, qsizetype> MultiLineBox::wordAt(qsizetype position) const
{
    const Laid &laid = layout(m_lines.unitOf(position));
    const QString piece = laid.layout.text();
    if (piece.isEmpty())
        return {position, position};
    int local = std::min(int(position - laid.start), int(piece.size()) - 1);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, piece);
    finder.setPosition(local);
    qsizetype start = local;
    if (!finder.isAtBoundary())
        start = std::max<qsizetype>(0, finder.toPreviousBoundary());
    finder.setPosition(int(start));
    qsizetype end = finder.toNextBoundary();
    if (end < 0)
        end = piece.size();
    return {laid.start + start, laid.start + end};
}

std::pair<qsizetype, qsizetype> MultiLineBox::rowRange(qsizetype position) const
{
    const Row row = rowAt(position);
    const Laid &laid = layout(row.unit);
    const QTextLine line = laid.layout.lineAt(row.row);
    const qsizetype start = laid.start + line.textStart();
    qsizetype end = laid.start + line.textStart() + line.textLength();
    const qsizetype textLine = m_lines.lineOf(laid.start);
    // The last row of a line takes the line break with it, as a screen reader expects.
    if (end >= m_lines.lineEnd(textLine))
        end = textLine + 1 < m_lines.lineCount() ? m_lines.lineStart(textLine + 1) : m_lines.size();
    return {start, end};
}

// --- Scrolling ----------------------------------------------------------------------------------

MultiLineBox::Row MultiLineBox::lastTop() const
{
    if (m_lastTop)
        return *m_lastTop;
    const qsizetype lastUnit = m_lines.unitCount() - 1;
    Row row{lastUnit, layout(lastUnit).layout.lineCount() - 1};
    const int room = viewport()->height() - 2 * kMargin;
    int used = rowHeight(row);
    for (Row up = row; previousRow(up);) {
        used += rowHeight(up);
        if (used > room)
            break;
        row = up;
    }
    m_lastTop = row;
    return row;
}

void MultiLineBox::setTop(Row top, bool fromScrollBar)
{
    const Row last = lastTop();
    if (before({last.unit, last.row}, {top.unit, top.row}))
        top = last;
    m_top = top;
    updateScrollBar(!fromScrollBar);
    viewport()->update();
}

void MultiLineBox::scrollRows(int rows)
{
    if (m_layouts.size() > kKeptLayouts)
        dropLayouts();
    Row top = m_top;
    for (; rows > 0 && nextRow(top); --rows) {
    }
    for (; rows < 0 && previousRow(top); ++rows) {
    }
    setTop(top);
}

// The scroll bar counts units (lines, for ordinary text), each in a few steps shared out among
// its rows, so that a line wrapped taller than the box can still be scrolled by the bar.
int MultiLineBox::stepsPerUnit() const
{
    return int(std::clamp<qsizetype>(INT_MAX / (m_lines.unitCount() + 1), 1, 64));
}

int MultiLineBox::scrollValue(Row row) const
{
    const int steps = stepsPerUnit();
    return int(row.unit * steps + row.row * steps / layout(row.unit).layout.lineCount());
}

MultiLineBox::Row MultiLineBox::rowOfScrollValue(int value) const
{
    const int steps = stepsPerUnit();
    const qsizetype unit = std::min<qsizetype>(value / steps, m_lines.unitCount() - 1);
    const int rows = layout(unit).layout.lineCount();
    return {unit, std::min(rows - 1, int(qint64(value % steps) * rows / steps))};
}

void MultiLineBox::updateScrollBar(bool setValue)
{
    QScrollBar *bar = verticalScrollBar();
    const QSignalBlocker blocker(bar);
    bar->setRange(0, scrollValue(lastTop()));
    // A page is what the view shows: from the top row to the last row that fits.
    Row bottom = m_top;
    int y = topMargin() + rowHeight(bottom);
    for (Row next = bottom; nextRow(next);) {
        y += rowHeight(next);
        if (y > viewport()->height())
            break;
        bottom = next;
    }
    bar->setSingleStep(stepsPerUnit());
    bar->setPageStep(std::max(1, scrollValue(bottom) - scrollValue(m_top)));
    if (setValue)
        bar->setValue(scrollValue(m_top));
}

void MultiLineBox::scrollContentsBy(int, int)
{
    // The scroll bar moved by the user.
    const Row row = rowOfScrollValue(verticalScrollBar()->value());
    if (row.unit != m_top.unit || row.row != m_top.row)
        setTop(row, true);
}

void MultiLineBox::ensureVisible(qsizetype position)
{
    const Row row = rowAt(position);
    if (before({row.unit, row.row}, {m_top.unit, m_top.row})) {
        setTop(row);
        return;
    }
    const int bottom = viewport()->height() - kMargin;
    if (rowTop(row) + rowHeight(row) <= bottom)
        return;
    // Below the view: the row becomes the last one shown.
    Row top = row;
    int used = rowHeight(row);
    for (Row up = row; previousRow(up);) {
        used += rowHeight(up);
        if (used > bottom - kMargin)
            break;
        top = up;
    }
    setTop(top);
}

void MultiLineBox::pageMove(int direction, bool keepAnchor)
{
    const QRect caret = caretRect();
    if (m_goalX < 0)
        m_goalX = caret.x() - kMargin;
    // A page is the rows that fit, less one, so that one row stays in sight.
    int rows = 0;
    for (Row r = m_top; rowTop(r) + rowHeight(r) <= viewport()->height() - kMargin; ++rows)
        if (!nextRow(r))
            break;
    rows = std::max(1, rows - 1);
    Row target = rowAt(m_caret);
    int moved = 0;
    for (; moved < rows && (direction > 0 ? nextRow(target) : previousRow(target)); ++moved) {
    }
    if (moved == 0) {
        moveCaret(direction > 0 ? m_lines.size() : 0, keepAnchor);
        return;
    }
    scrollRows(direction * moved);
    moveCaret(positionInRow(target, m_goalX), keepAnchor, true);
}

// --- Caret --------------------------------------------------------------------------------------

void MultiLineBox::moveCaret(qsizetype position, bool keepAnchor, bool keepGoalX)
{
    m_caret = position;
    if (!keepAnchor)
        m_anchor = position;
    if (!keepGoalX)
        m_goalX = -1;
    m_lines.closeStep();
    ensureVisible(m_caret);
    restartBlink();
    viewport()->update();
    notifyCaret();
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
    if (!QAccessible::isActive())
        return;
    const std::pair selection{selectionStart(), selectionEnd()};
    if (selection != m_notifiedSelection &&
        (hasSelection() || m_notifiedSelection.first != m_notifiedSelection.second)) {
        QAccessibleTextSelectionEvent event(this, int(selection.first), int(selection.second));
        event.setCursorPosition(int(m_caret));
        QAccessible::updateAccessibility(&event);
    }
    m_notifiedSelection = selection;
    QAccessibleTextCursorEvent event(this, int(m_caret));
    QAccessible::updateAccessibility(&event);
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

bool MultiLineBox::isOwnKey(QKeyEvent *event) const
{
    static const QKeySequence::StandardKey own[] = {QKeySequence::Copy,
                                                    QKeySequence::Cut,
                                                    QKeySequence::Paste,
                                                    QKeySequence::Undo,
                                                    QKeySequence::Redo,
                                                    QKeySequence::SelectAll,
                                                    QKeySequence::Delete,
                                                    QKeySequence::DeleteStartOfWord,
                                                    QKeySequence::DeleteEndOfWord,
                                                    QKeySequence::MoveToNextChar,
                                                    QKeySequence::MoveToPreviousChar,
                                                    QKeySequence::MoveToNextWord,
                                                    QKeySequence::MoveToPreviousWord,
                                                    QKeySequence::MoveToNextLine,
                                                    QKeySequence::MoveToPreviousLine,
                                                    QKeySequence::MoveToStartOfLine,
                                                    QKeySequence::MoveToEndOfLine,
                                                    QKeySequence::MoveToStartOfDocument,
                                                    QKeySequence::MoveToEndOfDocument,
                                                    QKeySequence::SelectNextChar,
                                                    QKeySequence::SelectPreviousChar,
                                                    QKeySequence::SelectNextWord,
                                                    QKeySequence::SelectPreviousWord,
                                                    QKeySequence::SelectNextLine,
                                                    QKeySequence::SelectPreviousLine,
                                                    QKeySequence::SelectStartOfLine,
                                                    QKeySequence::SelectEndOfLine,
                                                    QKeySequence::SelectStartOfDocument,
                                                    QKeySequence::SelectEndOfDocument};
    for (const QKeySequence::StandardKey key : own) {
        if (event->matches(key))
            return true;
    }
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
                          : nextPosition(m_caret, QTextLayout::SkipCharacters),
                      select);
            break;
        case PrevChar:
            moveCaret(!select && hasSelection()
                          ? selectionStart()
                          : previousPosition(m_caret, QTextLayout::SkipCharacters),
                      select);
            break;
        case Word: moveCaret(nextPosition(m_caret, QTextLayout::SkipWords), select); break;
        case PrevWord: moveCaret(previousPosition(m_caret, QTextLayout::SkipWords), select); break;
        case Down:
        case Up: {
            if (m_goalX < 0)
                m_goalX = caretRect().x() - kMargin;
            Row row = rowAt(m_caret);
            if (m.what == Down ? nextRow(row) : previousRow(row))
                moveCaret(positionInRow(row, m_goalX), select, true);
            else
                moveCaret(m.what == Down ? m_lines.size() : 0, select, true);
            break;
        }
        case RowStart:
        case RowEnd: {
            const Row row = rowAt(m_caret);
            const Laid &laid = layout(row.unit);
            const QTextLine line = laid.layout.lineAt(row.row);
            moveCaret(m.what == RowStart ? laid.start + line.textStart()
                                         : positionInRow(row, line.naturalTextWidth() + 1e6),
                      select);
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
        insertTyped(lineBreak(), TextLines::Merge::No);
    } else if (event->key() == Qt::Key_Backspace && !(event->modifiers() & ~Qt::ShiftModifier)) {
        if (hasSelection()) {
            deleteSelection();
        } else if (m_caret > 0) {
            qsizetype from = m_caret - 1;
            const qsizetype line = m_lines.lineOf(m_caret);
            if (m_caret == m_lines.lineStart(line))
                from = m_lines.lineEnd(line - 1); // the whole line break, CR LF included
            else if (text()[from].isLowSurrogate() && from > 0 &&
                     text()[from - 1].isHighSurrogate())
                --from;
            edit(from, m_caret, {}, TextLines::Merge::Deleting);
        }
    } else if (event->matches(K::Delete)) {
        if (hasSelection())
            deleteSelection();
        else if (m_caret < m_lines.size())
            edit(m_caret, nextPosition(m_caret, QTextLayout::SkipCharacters), {},
                 TextLines::Merge::Deleting);
    } else if (event->matches(K::DeleteStartOfWord)) {
        if (hasSelection())
            deleteSelection();
        else
            edit(previousPosition(m_caret, QTextLayout::SkipWords), m_caret, {});
    } else if (event->matches(K::DeleteEndOfWord)) {
        if (hasSelection())
            deleteSelection();
        else
            edit(m_caret, nextPosition(m_caret, QTextLayout::SkipWords), {});
    } else if (const QString typed = typedText(event); !typed.isEmpty()) {
        insertTyped(typed, TextLines::Merge::Typing);
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
        m_preedit.clear();
        edit(start, end, commit, TextLines::Merge::Typing);
    }
    m_preedit = event->preeditString();
    m_preeditCursor = int(m_preedit.size());
    for (const QInputMethodEvent::Attribute &a : event->attributes()) {
        if (a.type == QInputMethodEvent::Cursor)
            m_preeditCursor = a.start;
    }
    dropLayouts();
    viewport()->update();
    event->accept();
}

QVariant MultiLineBox::inputMethodQuery(Qt::InputMethodQuery query) const
{
    const Laid &laid = layout(m_lines.unitOf(m_caret));
    switch (query) {
    case Qt::ImEnabled: return !m_readOnly;
    case Qt::ImCursorRectangle: return caretRect().translated(viewport()->pos());
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
    if (m_layouts.size() > kKeptLayouts)
        dropLayouts();
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

    int y = topMargin() - qRound(layout(m_top.unit).layout.lineAt(m_top.row).y());
    for (qsizetype unit = m_top.unit; unit < m_lines.unitCount() && y < height; ++unit) {
        const Laid &laid = layout(unit);
        QList<QTextLayout::FormatRange> selections;
        if (selStart < selEnd && selEnd > laid.start && selStart <= laid.end) {
            const qsizetype from = std::max(selStart, laid.start);
            const qsizetype to = std::min(selEnd, laid.end);
            if (to > from)
                selections.append({int(from - laid.start), int(to - from), selected});
        }
        const QPointF origin(kMargin, y);
        laid.layout.draw(&painter, origin, selections);
        // A selected line break shows as a selected blank after the line.
        if (selStart <= laid.end && selEnd > laid.end) {
            const QTextLine last = laid.layout.lineAt(laid.layout.lineCount() - 1);
            const qreal x = last.cursorToX(int(laid.end - laid.start));
            painter.fillRect(QRectF(origin + QPointF(x, last.y()),
                                    QSizeF(fontMetrics().horizontalAdvance(u' '), last.height())),
                             pal.brush(group, QPalette::Highlight));
        }
        if (caretShown && unit == caretUnit) {
            int local = int(m_caret - laid.start);
            if (!m_preedit.isEmpty())
                local += m_preeditCursor;
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
    dropLayouts();
    m_top.row = std::min(m_top.row, layout(m_top.unit).layout.lineCount() - 1);
    setTop(m_top);
}

void MultiLineBox::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::StyleChange:
        dropLayouts();
        m_top.row = 0;
        setTop(m_top);
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
    QAbstractScrollArea::focusOutEvent(event);
    m_blink.stop();
    viewport()->update();
}

void MultiLineBox::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_blink.timerId()) {
        m_caretShown = !m_caretShown;
        viewport()->update();
    } else if (event->timerId() == m_autoScroll.timerId()) {
        const QPoint at = viewport()->mapFromGlobal(QCursor::pos());
        scrollRows(at.y() < 0 ? -1 : at.y() > viewport()->height() ? 1 : 0);
        moveCaret(positionAt(at), true);
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}

void MultiLineBox::mousePressEvent(QMouseEvent *event)
{
    const qsizetype at = positionAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_selectingWords = false;
        moveCaret(at, event->modifiers() & Qt::ShiftModifier);
    } else if (event->button() == Qt::MiddleButton && !m_readOnly &&
               QGuiApplication::clipboard()->supportsSelection()) {
        const QString pasted = QGuiApplication::clipboard()->text(QClipboard::Selection);
        moveCaret(at, false);
        insertTyped(withLineBreaks(pasted, lineBreak()), TextLines::Merge::No);
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
    const qsizetype position = positionAt(at);
    if (m_selectingWords) {
        const auto word = wordAt(position);
        if (position < m_anchorWord.first) {
            m_anchor = m_anchorWord.second;
            moveCaret(word.first, true);
        } else {
            m_anchor = m_anchorWord.first;
            moveCaret(std::max(word.second, m_anchorWord.second), true);
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
    m_anchorWord = wordAt(positionAt(event->position().toPoint()));
    m_selectingWords = true;
    m_dragging = true;
    m_anchor = m_anchorWord.first;
    moveCaret(m_anchorWord.second, true);
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
