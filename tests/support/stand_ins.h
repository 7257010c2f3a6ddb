// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Stand-ins for the modal parts of the desktop. Each stands in front of the desktop while it
// lives, taking over its own part only: a test makes one, scripts the answers, runs a handler and
// then reads what was shown. Without a scripted answer a message box answers its default button
// and a file dialog is cancelled.

#include "toolkit/desktop.h"
#include "toolkit/feedback.h"
#include "toolkit/toolkit.h"

#include <QPoint>
#include <QWidget>

#include <deque>
#include <vector>

class QMimeData;

namespace tk::testing {

class ScriptedBoxes : private DesktopInFront {
public:
    void answer(Answer next) { m_answers.push_back(next); }
    const std::vector<MessageBoxRequest> &shown() const { return m_shown; }
    void clear() { m_shown.clear(); }

private:
    Answer messageBox(QWidget *parent, const MessageBoxRequest &request) override;
    std::deque<Answer> m_answers;
    std::vector<MessageBoxRequest> m_shown;
};

class ScriptedFileDialogs : private DesktopInFront {
public:
    void choose(const QString &path) { m_answers.push_back(path); }
    void cancel() { m_answers.push_back(std::nullopt); }
    const std::vector<FileDialogRequest> &shown() const { return m_shown; }

private:
    std::optional<QString> chooseFile(QWidget *parent, const FileDialogRequest &request) override;
    std::deque<std::optional<QString>> m_answers;
    std::vector<FileDialogRequest> m_shown;
};

struct Launch {
    QString program;
    QStringList arguments;
};

// Records launches instead of starting programs; `succeeds` decides each launch's outcome.
class ScriptedLaunches : private DesktopInFront {
public:
    std::function<bool(const Launch &)> succeeds = [](const Launch &) { return true; };
    const std::vector<Launch> &launched() const { return m_launched; }

private:
    bool launch(const QString &program, const QStringList &arguments) override;
    std::vector<Launch> m_launched;
};

// Counts requests to end the program instead of leaving the event loop, which would make every
// later event loop of the test process return at once.
class EndProgramSpy : private DesktopInFront {
public:
    int count() const { return m_count; }

private:
    void endProgram() override { ++m_count; }
    int m_count = 0;
};

// Stands in for progress windows: records the total of each one a handler makes (work over its
// window's size), and answers Cancel once the work reports `cancelAt` steps done.
class ScriptedProgress : private DesktopInFront {
public:
    void cancelAt(qint64 done) { m_cancelAt = done; }
    const std::vector<qint64> &shown() const { return m_shown; }

private:
    std::unique_ptr<ProgressDisplay> showProgress(QWidget *parent, const ProgressTexts &texts,
                                                  qint64 total) override;
    qint64 m_cancelAt = -1;
    std::vector<qint64> m_shown;
};

// Drops `data` onto `target` at `at` as the desktop delivers a drop: a drag entering, then the
// drop. Answers whether the entering drag was accepted.
bool dropOn(QWidget *target, QMimeData *data, QPoint at = QPoint(5, 5));

} // namespace tk::testing
