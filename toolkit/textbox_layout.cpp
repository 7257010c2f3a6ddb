// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/textbox_layout.h"

#include <QInputMethodEvent>
#include <QTextBoundaryFinder>
#include <QtMath>

#include <algorithm>
#include <climits>

namespace tk {

namespace {

// Layouts kept between paints; scrolling through a long text would otherwise keep them all.
constexpr size_t kKeptLayouts = 400;

} // namespace

// --- Rows and positions -------------------------------------------------------------------------

// The blank above the text belongs to its start, as a document margin does: scrolled down, the
// top row sits at the top edge, and no sliver of the row above shows through the margin.
int BoxLayout::topMargin() const
{
    return m_top.unit == 0 && m_top.row == 0 ? kMargin : 0;
}

int BoxLayout::contentWidth() const
{
    return std::max(1, m_viewSize.width() - 2 * kMargin);
}

void BoxLayout::dropLayouts()
{
    m_layouts.clear();
    m_lastTop.reset();
}

void BoxLayout::dropSurplusLayouts()
{
    if (m_layouts.size() > kKeptLayouts)
        dropLayouts();
}

void BoxLayout::setPreedit(const QString &text, int cursor)
{
    m_preedit = text;
    m_preeditCursor = cursor;
    m_preeditCursorShown = true;
    m_preeditFormats.clear();
    dropLayouts();
}

// As Qt's own editors read the event: a Cursor attribute places the pre-edit's cursor and shows
// it unless its length is 0, and each TextFormat attribute is how its stretch is drawn. Text the
// input method gives no format is underlined whole, so what is still being composed never looks
// like text already typed.
void BoxLayout::setPreedit(const QInputMethodEvent &event)
{
    setPreedit(event.preeditString(), int(event.preeditString().size()));
    for (const QInputMethodEvent::Attribute &a : event.attributes()) {
        if (a.type == QInputMethodEvent::Cursor) {
            m_preeditCursor = std::clamp(a.start, 0, int(m_preedit.size()));
            m_preeditCursorShown = a.length != 0;
        } else if (a.type == QInputMethodEvent::TextFormat) {
            const QTextCharFormat format = qvariant_cast<QTextFormat>(a.value).toCharFormat();
            const int from = std::clamp(a.start, 0, int(m_preedit.size()));
            const int to = std::clamp(a.start + a.length, from, int(m_preedit.size()));
            if (format.isValid() && to > from)
                m_preeditFormats.append({from, to - from, format});
        }
    }
    if (m_preeditFormats.isEmpty() && !m_preedit.isEmpty()) {
        QTextCharFormat underlined;
        underlined.setUnderlineStyle(QTextCharFormat::SingleUnderline);
        m_preeditFormats.append({0, int(m_preedit.size()), underlined});
    }
}

void BoxLayout::textChanged(bool wholeText)
{
    dropLayouts();
    if (wholeText)
        m_top = {};
    else
        m_top.unit = std::min(m_top.unit, m_lines.unitCount() - 1);
    m_top.row = std::min(m_top.row, layout(m_top.unit).layout.lineCount() - 1);
}

const BoxLayout::Laid &BoxLayout::layout(qsizetype unit) const
{
    auto &slot = m_layouts[unit];
    if (slot)
        return *slot;
    slot = std::make_unique<Laid>();
    const auto [start, end] = m_lines.unitRange(unit);
    slot->start = start;
    slot->end = end;
    QTextLayout &l = slot->layout;
    l.setText(m_lines.text().mid(start, end - start));
    l.setFont(m_font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    // A line that begins right-to-left reads from the right edge, as in Qt's own editors.
    const bool rightToLeft = l.text().isRightToLeft();
    option.setTextDirection(rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    option.setAlignment(rightToLeft ? Qt::AlignRight : Qt::AlignLeft);
    l.setTextOption(option);
    l.setCacheEnabled(true);
    if (!m_preedit.isEmpty() && m_caret >= start && m_caret <= end &&
        m_lines.unitOf(m_caret) == unit) {
        l.setPreeditArea(int(m_caret - start), m_preedit);
        QList<QTextLayout::FormatRange> formats = m_preeditFormats;
        for (QTextLayout::FormatRange &f : formats)
            f.start += int(m_caret - start);
        l.setFormats(formats);
    }
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

int BoxLayout::rowHeight(Row row) const
{
    return qCeil(layout(row.unit).layout.lineAt(row.row).height());
}

bool BoxLayout::nextRow(Row &row) const
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

bool BoxLayout::previousRow(Row &row) const
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

BoxLayout::Row BoxLayout::rowAt(qsizetype position) const
{
    const qsizetype unit = m_lines.unitOf(position);
    const Laid &laid = layout(unit);
    int local = int(position - laid.start);
    if (!m_preedit.isEmpty() && position == m_caret)
        local += m_preeditCursor;
    const QTextLine line = laid.layout.lineForTextPosition(local);
    return {unit, line.isValid() ? line.lineNumber() : laid.layout.lineCount() - 1};
}

int BoxLayout::rowTop(Row row) const
{
    const int limit = m_viewSize.height();
    const auto lineY = [&](Row r) { return qRound(layout(r.unit).layout.lineAt(r.row).y()); };
    int y = topMargin() - lineY(m_top);
    if (row < m_top) {
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

qsizetype BoxLayout::positionInRow(Row row, qreal x) const
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

qsizetype BoxLayout::positionAt(QPoint point) const
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

QRect BoxLayout::caretRect() const
{
    const Row row = rowAt(m_caret);
    const Laid &laid = layout(row.unit);
    int local = int(m_caret - laid.start);
    if (!m_preedit.isEmpty())
        local += m_preeditCursor;
    const qreal x = laid.layout.lineAt(row.row).cursorToX(local);
    return QRect(kMargin + qFloor(x), rowTop(row), 1, rowHeight(row));
}

qsizetype BoxLayout::nextPosition(qsizetype position, QTextLayout::CursorMode mode) const
{
    if (position >= m_lines.size())
        return m_lines.size();
    const qsizetype line = m_lines.lineOf(position);
    if (position >= m_lines.lineEnd(line))
        return line + 1 < m_lines.lineCount() ? m_lines.lineStart(line + 1) : m_lines.size();
    const Laid &laid = layout(m_lines.unitOf(position));
    return laid.start + laid.layout.nextCursorPosition(int(position - laid.start), mode);
}

qsizetype BoxLayout::previousPosition(qsizetype position, QTextLayout::CursorMode mode) const
{
    if (position <= 0)
        return 0;
    const qsizetype line = m_lines.lineOf(position);
    if (position == m_lines.lineStart(line))
        return m_lines.lineEnd(line - 1);
    const Laid &laid = layout(m_lines.unitOf(position - 1));
    return laid.start + laid.layout.previousCursorPosition(int(position - laid.start), mode);
}

std::pair<qsizetype, qsizetype> BoxLayout::wordAt(qsizetype position) const
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

std::pair<qsizetype, qsizetype> BoxLayout::rowRange(qsizetype position) const
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

BoxLayout::Row BoxLayout::lastTop() const
{
    if (m_lastTop)
        return *m_lastTop;
    const qsizetype lastUnit = m_lines.unitCount() - 1;
    Row row{lastUnit, layout(lastUnit).layout.lineCount() - 1};
    const int room = m_viewSize.height() - 2 * kMargin;
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

void BoxLayout::setTop(Row top)
{
    top.row = std::min(top.row, layout(top.unit).layout.lineCount() - 1);
    m_top = std::min(top, lastTop());
}

BoxLayout::Row BoxLayout::scrolled(int rows) const
{
    Row top = m_top;
    for (; rows > 0 && nextRow(top); --rows) {
    }
    for (; rows < 0 && previousRow(top); ++rows) {
    }
    return top;
}

std::optional<BoxLayout::Row> BoxLayout::topShowing(qsizetype position) const
{
    const Row row = rowAt(position);
    if (row < m_top)
        return row;
    const int bottom = m_viewSize.height() - kMargin;
    if (rowTop(row) + rowHeight(row) <= bottom)
        return std::nullopt;
    // Below the view: the row becomes the last one shown.
    Row top = row;
    int used = rowHeight(row);
    for (Row up = row; previousRow(up);) {
        used += rowHeight(up);
        if (used > bottom - kMargin)
            break;
        top = up;
    }
    return top;
}

int BoxLayout::pageRows() const
{
    int rows = 0;
    for (Row r = m_top; rowTop(r) + rowHeight(r) <= m_viewSize.height() - kMargin; ++rows)
        if (!nextRow(r))
            break;
    return std::max(1, rows - 1);
}

// The scroll bar counts units (lines, for ordinary text), each in a few steps shared out among
// its rows, so that a line wrapped taller than the box can still be scrolled by the bar. A row's
// value rounds up and a value's row rounds down, so the two undo each other while a unit has no
// more rows than steps; the bar's maximum then reads back as the lowest top itself, not as the
// row above it. A unit of more rows than steps still reaches its last row by its last step.
int BoxLayout::stepsPerUnit() const
{
    return int(std::clamp<qsizetype>(INT_MAX / (m_lines.unitCount() + 1), 1, 64));
}

int BoxLayout::scrollValue(Row row) const
{
    const qint64 steps = stepsPerUnit();
    const qint64 rows = layout(row.unit).layout.lineCount();
    return int(row.unit * steps + std::min(steps - 1, (row.row * steps + rows - 1) / rows));
}

BoxLayout::Row BoxLayout::rowOfScrollValue(int value) const
{
    const int steps = stepsPerUnit();
    const qsizetype unit = std::min<qsizetype>(value / steps, m_lines.unitCount() - 1);
    const int rows = layout(unit).layout.lineCount();
    const int within = value - int(unit * steps);
    const Row row{unit,
                  steps > 1 && within >= steps - 1 ? rows - 1 : int(qint64(within) * rows / steps)};
    return std::min(row, lastTop());
}

int BoxLayout::pageStep() const
{
    // A page is what the view shows: from the top row to the last row that fits.
    Row bottom = m_top;
    int y = topMargin() + rowHeight(bottom);
    for (Row next = bottom; nextRow(next);) {
        y += rowHeight(next);
        if (y > m_viewSize.height())
            break;
        bottom = next;
    }
    return std::max(1, scrollValue(bottom) - scrollValue(m_top));
}

} // namespace tk
