#include "toolkit/feedback.h"

#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

#include <QApplication>
#include <QProgressDialog>

#include <climits>
#include <utility>

namespace tk {

namespace {
testing::ScriptedProgress *g_progress = nullptr;

constexpr int kShowAfterMs = 500;
// About forty updates a second move the bar smoothly and see a click on İptal at once, while the
// work between them, thousands of files, never waits on the window.
constexpr qint64 kUpdateMs = 25;

int shiftToFitInt(qint64 total)
{
    int shift = 0;
    while ((total >> shift) > INT_MAX)
        ++shift;
    return shift;
}
} // namespace

BusyCursor::BusyCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyCursor::~BusyCursor()
{
    QApplication::restoreOverrideCursor();
}

ProgressWindow::ProgressWindow(QWidget *parent, qint64 bigAbove)
    : m_parent(parent), m_bigAbove(bigAbove)
{}

ProgressWindow::~ProgressWindow()
{
    delete m_dialog.data();
    if (m_cursorPushed)
        QApplication::restoreOverrideCursor();
}

void ProgressWindow::setTotal(qint64 total)
{
    m_total = total;
    if (m_dialog) {
        m_shift = shiftToFitInt(total);
        m_dialog->setMaximum(int(total >> m_shift));
        return;
    }
    // Whether the work is big is decided once, by what it first expects to do, even when that
    // is nothing (a file whose length reads 0, then a second pass): a window that appeared half
    // way through would only startle.
    if (std::exchange(m_decided, true) || total <= m_bigAbove)
        return;
    if (g_progress) {
        g_progress->m_shown.push_back(total);
        m_scripted = true;
        return;
    }
    m_shift = shiftToFitInt(total);
    m_dialog =
        new QProgressDialog(QString(), QStringLiteral("İptal"), 0, int(total >> m_shift), m_parent);
    m_made = true;
    // Application modal: while the bar's updates let events in, no other window of the program
    // can start work of its own or close the window whose handler is running.
    m_dialog->setWindowModality(Qt::ApplicationModal);
    if (m_parent) {
        // The window's own title; the dialog is made wide enough for its title bar to show it.
        const QString title = m_parent->window()->windowTitle();
        m_dialog->setWindowTitle(title);
        m_dialog->setMinimumWidth(titleBarWidth(m_dialog, title));
    }
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    m_dialog->setMinimumDuration(kShowAfterMs);
    m_dialog->setValue(0); // starts the dialog's clock
    m_sinceUpdate.start();
}

bool ProgressWindow::advance(qint64 done)
{
    if (m_cancelled)
        return false;
    if (m_scripted) {
        m_cancelled = g_progress && g_progress->m_cancelAt >= 0 && done >= g_progress->m_cancelAt;
        return !m_cancelled;
    }
    if (!m_dialog) {
        // A window its parent took along has nobody left to show the work to.
        m_cancelled = m_made;
        return !m_cancelled;
    }
    if (m_sinceUpdate.elapsed() < kUpdateMs)
        return true;
    m_sinceUpdate.restart();
    update(done);
    return !m_cancelled;
}

void ProgressWindow::update(qint64 done)
{
    // Once shown, each new value also handles the window's events, a click on İptal among them.
    m_dialog->setValue(int(std::min(done, m_total) >> m_shift));
    if (!m_cursorPushed && m_dialog->isVisible()) {
        // The arrow with a busy mark: the program works, yet İptal takes a click.
        QApplication::setOverrideCursor(Qt::BusyCursor);
        m_cursorPushed = true;
    }
    m_cancelled = m_dialog->wasCanceled();
}

namespace testing {
ScriptedProgress::ScriptedProgress()
{
    Q_ASSERT(g_progress == nullptr);
    g_progress = this;
}
ScriptedProgress::~ScriptedProgress()
{
    g_progress = nullptr;
}
} // namespace testing

} // namespace tk
