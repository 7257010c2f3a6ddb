// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/feedback.h"

#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

#include <QApplication>
#include <QLocale>
#include <QProgressBar>
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

// Turkish digit grouping and decimal comma, whatever the desktop's locale, like every other text.
const QLocale &turkish()
{
    static const QLocale locale(QLocale::Turkish, QLocale::Turkey);
    return locale;
}

QString doneOfTotal(Work work, qint64 done, qint64 total)
{
    if (work == Work::Load) {
        const auto mb = [](qint64 bytes) {
            return turkish().toString(double(bytes) / (1024.0 * 1024.0), 'f', 1);
        };
        return mb(done) + QStringLiteral(" / ") + mb(total) + QStringLiteral(" MB");
    }
    return turkish().toString(done) + QStringLiteral(" / ") + turkish().toString(total) +
           QStringLiteral(" dosya");
}

QString doing(Work work)
{
    switch (work) {
    case Work::Rename: return QStringLiteral("Yeniden adlandırılıyor…");
    case Work::Create: return QStringLiteral("Oluşturuluyor…");
    case Work::Delete: return QStringLiteral("Siliniyor…");
    case Work::Load: return QStringLiteral("Yükleniyor…");
    }
    return {};
}

QString cancelledMessage(Work work, qint64 done, qint64 total)
{
    const QString howFar = doneOfTotal(work, done, total);
    switch (work) {
    case Work::Rename:
        return howFar + QStringLiteral(" yeniden adlandırıldı; kalanlar iptal edildi.");
    case Work::Create: return howFar + QStringLiteral(" oluşturuldu; kalanlar iptal edildi.");
    case Work::Delete: return howFar + QStringLiteral(" silindi; kalanlar iptal edildi.");
    case Work::Load:
        return howFar + QStringLiteral(" okundu; yükleme iptal edildi, metin değişmedi.");
    }
    return {};
}

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

QString progressLabel(Work work, qint64 done, qint64 total)
{
    return doing(work) + u' ' + doneOfTotal(work, done, total);
}

ProgressWindow::ProgressWindow(QWidget *parent, qint64 bigAbove, Work work)
    : m_parent(parent), m_bigAbove(bigAbove), m_work(work)
{}

void ProgressWindow::tellIfCancelled()
{
    if (!m_cancelled || !m_decided)
        return;
    close();
    // The handler's busy cursor may still stand; the message is read with the ordinary one.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    messageBox(m_parent, cancelledMessage(m_work, m_done, m_total), Buttons::Ok, Icon::None,
               m_parent ? m_parent->window()->windowTitle() : QString());
    QApplication::restoreOverrideCursor();
}

void ProgressWindow::close()
{
    delete m_dialog.data();
    if (std::exchange(m_cursorPushed, false))
        QApplication::restoreOverrideCursor();
}

ProgressWindow::~ProgressWindow()
{
    close();
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
    m_dialog = new QProgressDialog(progressLabel(m_work, 0, total), QStringLiteral("İptal"), 0,
                                   int(total >> m_shift), m_parent);
    m_made = true;
    // Screen readers name the bar by the work; the label reads its own text.
    if (auto *bar = m_dialog->findChild<QProgressBar *>())
        bar->setAccessibleName(doing(m_work));
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
    m_done = done;
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
    m_dialog->setLabelText(progressLabel(m_work, std::min(done, m_total), m_total));
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
