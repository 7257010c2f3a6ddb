#pragma once
// The multi-line text box. The windows were designed around a box whose line break is carriage
// return + line feed (Enter types CR LF, a line break counts two in lengths), while Qt's editor
// keeps bare LF. This box reports CR LF, except that a box whose text was last set from a text
// with bare LF line breaks reports bare LF, so a Unix text file loads and saves unchanged.
// Text set by code and not edited since is returned exactly as it was set.

#include <QPlainTextEdit>

class MultiLineBox : public QPlainTextEdit {
    Q_OBJECT
public:
    enum class ScrollBar { None, Vertical };
    explicit MultiLineBox(QWidget *parent = nullptr, ScrollBar scrollBar = ScrollBar::None);

    QString text() const;
    void setText(const QString &text);
    // The line break this box reports: "\r\n" or "\n".
    QString lineBreak() const { return m_bareLf ? QStringLiteral("\n") : QStringLiteral("\r\n"); }

private:
    void onContentsChange();

    QString m_setText; // the text as last set by code
    bool m_edited = false;
    bool m_bareLf = false;
    bool m_setting = false;
};
