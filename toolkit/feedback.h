// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a window shows while a handler works: the busy cursor, and for work big enough to take a
// while, a progress window with a Cancel button.

#include "core/progress.h"

#include <QElapsedTimer>
#include <QPointer>

class QProgressDialog;
class QWidget;

namespace tk {

// The busy cursor over every window of the program for as long as it lives. Scope it to the work
// alone: a message box or file dialog shown afterwards gets the ordinary cursor back.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

// Runs `work` under the busy cursor and returns what it returns.
template <class Work> auto whileBusy(Work &&work)
{
    const BusyCursor busy;
    return work();
}

// What a progress window says it does; its steps are files, or bytes shown in MB for a load.
enum class Work { Rename, Create, Delete, Load };

// The progress window's label, as "Siliniyor… 12.345 / 200.000 dosya".
QString progressLabel(Work work, qint64 done, qint64 total);

// The progress window of one piece of work. Nothing is made unless the first total the work
// tells is more than `bigAbove` steps; then a modal window with a bar and "İptal" appears once
// the work has run half a second. Until then, and between its updates, advance() costs a clock
// read. Once İptal is clicked, or the parent has taken the window with it, advance() answers
// stop every time.
class ProgressWindow : public core::Progress {
public:
    ProgressWindow(QWidget *parent, qint64 bigAbove, Work work);
    ~ProgressWindow() override;
    ProgressWindow(const ProgressWindow &) = delete;
    ProgressWindow &operator=(const ProgressWindow &) = delete;

    void setTotal(qint64 total) override;
    bool advance(qint64 done) override;

    // After the work: when İptal stopped it, one message box tells how far it got, so the user
    // knows where it stopped. Work that ran to its end stays silent.
    void tellIfCancelled();

private:
    void update(qint64 done);
    void close();

    QWidget *m_parent;
    qint64 m_bigAbove;
    Work m_work;
    qint64 m_total = 0;
    qint64 m_done = 0;
    int m_shift = 0; // the bar counts in int: large totals are scaled down by 2^m_shift
    bool m_decided = false;
    bool m_cancelled = false;
    bool m_cursorPushed = false;
    bool m_scripted = false;
    bool m_made = false;
    // The parent owns the window and may delete it first; this only watches it.
    QPointer<QProgressDialog> m_dialog;
    QElapsedTimer m_sinceUpdate;
};

} // namespace tk
