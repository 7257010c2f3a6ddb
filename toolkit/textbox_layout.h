// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rows of a multi-line box: its text laid out a unit at a time (see core::TextLines) at the
// box's width, and the arithmetic of scrolling through them. It needs no widget: the box hands it
// the viewport's size and its font, so tests drive it alone.
//
// Only the units asked for are laid out, and kept until dropLayouts(). The top of the view is a
// unit and a row within it. The scroll bar counts units, each in a few steps shared among its
// rows, so that a unit wrapped taller than the box can still be scrolled by the bar.

#include "core/textlines.h"

#include <QFont>
#include <QRect>
#include <QSize>
#include <QTextLayout>

#include <compare>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>

class QInputMethodEvent;

namespace tk {

class BoxLayout {
public:
    // The blank between the frame and the text, as Qt's own editors leave.
    static constexpr int kMargin = 4;

    // A place in the view: a row of a unit's layout.
    struct Row {
        qsizetype unit = 0;
        int row = 0;
        friend auto operator<=>(const Row &, const Row &) = default;
    };

    // A unit laid out at the box's width; rows are whole pixels high, so scrolling is exact.
    struct Laid {
        QTextLayout layout;
        qsizetype start = 0; // where the unit begins in the text
        qsizetype end = 0;
        int height = 0;
    };

    explicit BoxLayout(const core::TextLines &lines) : m_lines(lines) {}
    BoxLayout(const BoxLayout &) = delete;
    BoxLayout &operator=(const BoxLayout &) = delete;

    // The viewport and the font. Units already laid out keep the old ones until dropLayouts(),
    // so the box can hand over both as they stand whenever it asks, resize events or not.
    void setViewSize(QSize size) { m_viewSize = size; }
    void setFont(const QFont &font) { m_font = font; }
    // The caret, where the text an input method is composing shows; it is no part of the text.
    void setCaret(qsizetype caret) { m_caret = caret; }
    void setPreedit(const QString &text, int cursor);
    // The pre-edit as the input method's event gives it: the text, its cursor and whether that
    // shows, and how each stretch of it is drawn.
    void setPreedit(const QInputMethodEvent &event);
    const QString &preedit() const { return m_preedit; }
    int preeditCursor() const { return m_preeditCursor; }
    bool preeditCursorShown() const { return m_preeditCursorShown; }

    const Laid &layout(qsizetype unit) const;
    void dropLayouts();
    // Drops the layouts once more are kept than any view needs.
    void dropSurplusLayouts();
    // The text changed: the layouts go, and the top row stays within the text, or goes to the
    // start for a whole new text.
    void textChanged(bool wholeText);

    // The top row of the view, never below lastTop().
    Row top() const { return m_top; }
    void setTop(Row top);
    // The lowest top row: the one that shows the last row at the bottom of the view.
    Row lastTop() const;
    // The blank above the text, present only while its start is at the top.
    int topMargin() const;

    // Rows and positions, in viewport coordinates.
    Row rowAt(qsizetype position) const;
    bool nextRow(Row &row) const;
    bool previousRow(Row &row) const;
    int rowHeight(Row row) const;
    int rowTop(Row row) const; // from the top row; past the bottom of the view when it is below
    qsizetype positionAt(QPoint point) const;
    qsizetype positionInRow(Row row, qreal x) const;
    QRect caretRect() const;
    qsizetype nextPosition(qsizetype position, QTextLayout::CursorMode mode) const;
    qsizetype previousPosition(qsizetype position, QTextLayout::CursorMode mode) const;
    std::pair<qsizetype, qsizetype> wordAt(qsizetype position) const;
    // A row's characters, with the line break after the last row of a line.
    std::pair<qsizetype, qsizetype> rowRange(qsizetype position) const;

    // Scrolling by rows; the top row rows further down (up when negative), as far as there are.
    Row scrolled(int rows) const;
    // The top row that brings the position's row into view, moving the view least, or nothing
    // when it is in view.
    std::optional<Row> topShowing(qsizetype position) const;
    // The rows a page moves: those that fit, less one, so that one row stays in sight.
    int pageRows() const;

    // The scroll bar: its value for a top row and back, its range and its page.
    int stepsPerUnit() const;
    int scrollValue(Row row) const;
    Row rowOfScrollValue(int value) const;
    int scrollMaximum() const { return scrollValue(lastTop()); }
    int pageStep() const;

private:
    int contentWidth() const;

    const core::TextLines &m_lines;
    QSize m_viewSize;
    QFont m_font;
    qsizetype m_caret = 0;
    QString m_preedit;
    int m_preeditCursor = 0;
    bool m_preeditCursorShown = true;
    QList<QTextLayout::FormatRange> m_preeditFormats; // from the pre-edit's start
    Row m_top;
    mutable std::unordered_map<qsizetype, std::unique_ptr<Laid>> m_layouts;
    mutable std::optional<Row> m_lastTop;
};

} // namespace tk
