// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a window shows while a handler works: the busy cursor, and for work big enough to take a
// while, a progress window with a Cancel button.

#include "core/progress.h"
#include "toolkit/desktop.h"

#include <memory>

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

// Numbers as every text of the program writes them, whatever the desktop's locale: Turkish digit
// grouping ("12.345"), and bytes as MB with one decimal and a decimal comma ("19,1").
QString turkishNumber(qint64 n);
QString turkishMegabytes(qint64 bytes);

// The texts of work told as "how far of how much" (`howFar`): "<doing> <how far>" under way, and
// "<how far><afterCancel>" once İptal stopped it.
ProgressTexts countedProgress(const QString &doing,
                              std::function<QString(qint64 done, qint64 total)> howFar,
                              const QString &afterCancel);

// The progress window of one piece of work, saying what `texts` of its tool say. Nothing is made
// unless the first total the work tells is more than `bigAbove` steps; then the desktop shows it:
// Qt's, a modal window with a bar and "İptal" that appears once the work has run half a second.
// Until then, and between its updates, advance() costs a clock read. Once İptal is clicked, or the
// parent has taken the window with it, advance() answers stop every time.
class ProgressWindow : public core::Progress {
public:
    ProgressWindow(QWidget *parent, qint64 bigAbove, ProgressTexts texts);
    ~ProgressWindow() override;
    ProgressWindow(const ProgressWindow &) = delete;
    ProgressWindow &operator=(const ProgressWindow &) = delete;

    void setTotal(qint64 total) override;
    bool advance(qint64 done) override;

    // After the work: when İptal stopped it, one message box tells how far it got, so the user
    // knows where it stopped. Work that ran to its end stays silent.
    void tellIfCancelled();

private:
    QWidget *m_parent;
    qint64 m_bigAbove;
    ProgressTexts m_texts;
    qint64 m_total = 0;
    qint64 m_done = 0;
    bool m_decided = false;
    bool m_cancelled = false;
    std::unique_ptr<ProgressDisplay> m_display;
};

} // namespace tk
