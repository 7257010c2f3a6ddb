// SPDX-License-Identifier: GPL-3.0-or-later
// The multi-line box's interface for screen readers, kept apart from the widget as Qt keeps its
// own text widgets' interfaces apart from them.

#include "toolkit/textbox_accessible.h"

#include "toolkit/textbox.h"

#include <QAccessibleWidget>
#include <QTextBoundaryFinder>
#include <QtMath>

#include <algorithm>

namespace tk {

// Screen readers read the box through Qt's text interfaces. Every query is answered from the
// lines around the offset, never by handing over the whole text, except for the whole-text
// queries themselves.
class MultiLineBoxAccessible : public QAccessibleWidget,
                               public QAccessibleTextInterface,
                               public QAccessibleEditableTextInterface {
public:
    explicit MultiLineBoxAccessible(MultiLineBox *box)
        : QAccessibleWidget(box, QAccessible::EditableText)
    {}

    MultiLineBox *box() const { return static_cast<MultiLineBox *>(widget()); }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        if (type == QAccessible::EditableTextInterface && !box()->isReadOnly())
            return static_cast<QAccessibleEditableTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.multiLine = true;
        s.editable = !box()->isReadOnly();
        s.readOnly = box()->isReadOnly();
        s.selectableText = true;
        s.focusable = true;
        return s;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return box()->text();
        return QAccessibleWidget::text(t);
    }

    void selection(int index, int *start, int *end) const override
    {
        *start = *end = 0;
        if (index == 0 && box()->hasSelection()) {
            *start = int(box()->selectionStart());
            *end = int(box()->selectionEnd());
        }
    }
    int selectionCount() const override { return box()->hasSelection() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int index) override
    {
        if (index == 0)
            box()->setSelection(box()->cursorPosition(), box()->cursorPosition());
    }
    void setSelection(int index, int start, int end) override
    {
        if (index == 0)
            box()->setSelection(start, end);
    }
    int cursorPosition() const override { return int(box()->cursorPosition()); }
    void setCursorPosition(int position) override { box()->setSelection(position, position); }

    QString text(int start, int end) const override
    {
        const qsizetype from = std::clamp<qsizetype>(start, 0, box()->text().size());
        const qsizetype to = std::clamp<qsizetype>(end, from, box()->text().size());
        return box()->text().mid(from, to - from);
    }
    int characterCount() const override { return int(box()->text().size()); }

    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int *start,
                         int *end) const override
    {
        const auto [s, e] = item(offset, type);
        return answer(s, e, start, end);
    }
    // The item before or after the one at the offset. Reading on by words, the blanks and line
    // breaks between words are no word of their own.
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int *start,
                             int *end) const override
    {
        qsizetype s = item(offset, type).first;
        for (;;) {
            if (s <= 0)
                return answer(0, 0, start, end);
            const auto [bs, be] = item(int(s - 1), type);
            if (type != QAccessible::WordBoundary || !onlyBlanks(bs, be))
                return answer(bs, be, start, end);
            s = bs;
        }
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int *start,
                            int *end) const override
    {
        const qsizetype size = box()->text().size();
        qsizetype e = item(offset, type).second;
        for (;;) {
            if (e >= size)
                return answer(size, size, start, end);
            const auto [as, ae] = item(int(e), type);
            if (ae <= e) // a word at the end of a line: the next one is on the next line
                e = box()->view().nextPosition(e, QTextLayout::SkipCharacters);
            else if (type == QAccessible::WordBoundary && onlyBlanks(as, ae))
                e = ae;
            else
                return answer(as, ae, start, end);
        }
    }

    QRect characterRect(int offset) const override
    {
        MultiLineBox *b = box();
        if (offset < 0 || offset >= b->text().size())
            return {};
        const BoxLayout &view = b->view();
        const BoxLayout::Row row = view.rowAt(offset);
        const int top = view.rowTop(row);
        if (top < -b->viewport()->height() || top > b->viewport()->height())
            return {};
        const auto &laid = view.layout(row.unit);
        const QTextLine line = laid.layout.lineAt(row.row);
        const qreal x1 = line.cursorToX(int(offset - laid.start));
        const qsizetype next =
            std::min(view.nextPosition(offset, QTextLayout::SkipCharacters), laid.end);
        const qreal x2 = line.cursorToX(int(next - laid.start));
        const QRect local(BoxLayout::kMargin + qFloor(std::min(x1, x2)), top,
                          std::max(1, qCeil(std::abs(x2 - x1))), view.rowHeight(row));
        return QRect(b->viewport()->mapToGlobal(local.topLeft()), local.size());
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        const QPoint local = box()->viewport()->mapFromGlobal(point);
        if (!box()->viewport()->rect().contains(local))
            return -1;
        return int(box()->view().positionAt(local));
    }
    void scrollToSubstring(int start, int) override { box()->ensureVisible(start); }
    QString attributes(int, int *start, int *end) const override
    {
        // One font and colour throughout.
        *start = 0;
        *end = characterCount();
        return {};
    }

    void deleteText(int start, int end) override { replaceText(start, end, {}); }
    void insertText(int offset, const QString &text) override { replaceText(offset, offset, text); }
    void replaceText(int start, int end, const QString &text) override
    {
        MultiLineBox *b = box();
        if (b->isReadOnly())
            return;
        const qsizetype from = std::clamp<qsizetype>(start, 0, b->text().size());
        const qsizetype to = std::clamp<qsizetype>(end, from, b->text().size());
        b->edit(from, to, text);
    }

private:
    bool onlyBlanks(qsizetype s, qsizetype e) const
    {
        const QString &text = box()->text();
        return std::all_of(text.begin() + s, text.begin() + e, [](QChar c) { return c.isSpace(); });
    }

    QString answer(qsizetype s, qsizetype e, int *start, int *end) const
    {
        *start = int(s);
        *end = int(e);
        return box()->text().mid(s, e - s);
    }

    std::pair<qsizetype, qsizetype> item(int offset, QAccessible::TextBoundaryType type) const
    {
        MultiLineBox *b = box();
        const core::TextLines &lines = b->m_lines;
        const qsizetype size = lines.size();
        const qsizetype at = std::clamp<qsizetype>(offset, 0, size);
        switch (type) {
        case QAccessible::CharBoundary:
            return {at, b->view().nextPosition(at, QTextLayout::SkipCharacters)};
        case QAccessible::WordBoundary: return b->view().wordAt(at);
        case QAccessible::LineBoundary: return b->view().rowRange(at);
        case QAccessible::SentenceBoundary: {
            const auto &laid = b->view().layout(lines.unitOf(at));
            QTextBoundaryFinder finder(QTextBoundaryFinder::Sentence, laid.layout.text());
            finder.setPosition(int(at - laid.start));
            qsizetype s = finder.isAtBoundary() ? finder.position() : finder.toPreviousBoundary();
            qsizetype e = finder.toNextBoundary();
            s = s < 0 ? 0 : s;
            e = e < 0 ? laid.end - laid.start : e;
            return {laid.start + s, laid.start + e};
        }
        case QAccessible::ParagraphBoundary: {
            const qsizetype line = lines.lineOf(at);
            return {lines.lineStart(line),
                    line + 1 < lines.lineCount() ? lines.lineStart(line + 1) : size};
        }
        case QAccessible::NoBoundary: return {0, size};
        }
        return {at, at};
    }
};

namespace {
ScreenReaderListener g_listener = nullptr;
} // namespace

void setScreenReaderListener(ScreenReaderListener listener)
{
    g_listener = listener;
}

bool screenReaderListens()
{
    return g_listener || QAccessible::isActive();
}

void tellScreenReader(QAccessibleEvent *event)
{
    if (g_listener)
        g_listener(event);
    else
        QAccessible::updateAccessibility(event);
}

// The box is told by its type, not its class name, so a rename cannot switch this off.
QAccessibleInterface *accessibleTextBox(const QString &, QObject *object)
{
    if (auto *box = qobject_cast<MultiLineBox *>(object))
        return new MultiLineBoxAccessible(box);
    return nullptr;
}

} // namespace tk
