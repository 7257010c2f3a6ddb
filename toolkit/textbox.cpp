#include "toolkit/textbox.h"

#include <QScrollBar>
#include <QTextBlock>

MultiLineBox::MultiLineBox(QWidget *parent, ScrollBar scrollBar) : QPlainTextEdit(parent)
{
    setTabChangesFocus(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(scrollBar == ScrollBar::Vertical ? Qt::ScrollBarAlwaysOn
                                                                : Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    connect(document(), &QTextDocument::contentsChanged, this, &MultiLineBox::onContentsChange);
}

void MultiLineBox::onContentsChange()
{
    if (!m_setting) {
        m_edited = true;
        m_setText.clear();
    }
}

static bool hasBareLf(const QString &text)
{
    for (qsizetype at = text.indexOf(u'\n'); at >= 0; at = text.indexOf(u'\n', at + 1)) {
        if (at == 0 || text[at - 1] != u'\r')
            return true;
    }
    return false;
}

void MultiLineBox::setText(const QString &text)
{
    m_setting = true;
    setPlainText(text);
    m_setting = false;
    m_setText = text;
    m_edited = false;
    m_bareLf = hasBareLf(text);
}

QString MultiLineBox::text() const
{
    if (!m_edited)
        return m_setText;
    // toRawText keeps no-break spaces (toPlainText turns them into blanks); blocks are joined
    // with the paragraph separator, which becomes this box's line break.
    QString raw = document()->toRawText();
    raw.replace(QChar::ParagraphSeparator, lineBreak());
    raw.replace(QChar::LineSeparator, lineBreak());
    return raw;
}
