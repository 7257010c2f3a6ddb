// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/feedback.h"

#include "toolkit/toolkit.h"

#include <QApplication>
#include <QLocale>
#include <QWidget>

#include <utility>

namespace tk {

namespace {
// Turkish digit grouping and decimal comma, whatever the desktop's locale, like every other text.
const QLocale &turkish()
{
    static const QLocale locale(QLocale::Turkish, QLocale::Turkey);
    return locale;
}
} // namespace

QString turkishNumber(qint64 n)
{
    return turkish().toString(n);
}

QString turkishMegabytes(qint64 bytes)
{
    return turkish().toString(double(bytes) / (1024.0 * 1024.0), 'f', 1);
}

ProgressTexts countedProgress(const QString &doing,
                              std::function<QString(qint64 done, qint64 total)> howFar,
                              const QString &afterCancel)
{
    return {doing,
            [doing, howFar](qint64 done, qint64 total) -> QString {
                return doing + u' ' + howFar(done, total);
            },
            [howFar, afterCancel](qint64 done, qint64 total) -> QString {
                return howFar(done, total) + afterCancel;
            }};
}

BusyCursor::BusyCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyCursor::~BusyCursor()
{
    QApplication::restoreOverrideCursor();
}

ProgressWindow::ProgressWindow(QWidget *parent, qint64 bigAbove, ProgressTexts texts)
    : m_parent(parent), m_bigAbove(bigAbove), m_texts(std::move(texts))
{}

ProgressWindow::~ProgressWindow() = default;

void ProgressWindow::tellIfCancelled()
{
    if (!m_cancelled || !m_decided)
        return;
    m_display.reset();
    // The handler's busy cursor may still stand; the message is read with the ordinary one.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    messageBox(m_parent, m_texts.cancelled(m_done, m_total), Buttons::Ok, Icon::None,
               m_parent ? m_parent->window()->windowTitle() : QString());
    QApplication::restoreOverrideCursor();
}

void ProgressWindow::setTotal(qint64 total)
{
    m_total = total;
    if (m_display) {
        m_display->setTotal(total);
        return;
    }
    // Whether the work is big is decided once, by what it first expects to do, even when that
    // is nothing (a file whose length reads 0, then a second pass): a window that appeared half
    // way through would only startle.
    if (std::exchange(m_decided, true) || total <= m_bigAbove)
        return;
    m_display = desktop().showProgress(m_parent, m_texts, total);
}

bool ProgressWindow::advance(qint64 done)
{
    if (m_cancelled)
        return false;
    m_done = done;
    if (!m_display)
        return true;
    m_cancelled = !m_display->advance(done);
    return !m_cancelled;
}

} // namespace tk
