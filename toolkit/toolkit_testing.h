// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Stand-ins for the modal parts of the toolkit layer. Each is active while it lives: a test makes
// one, scripts the answers, runs a handler and then reads what was shown. Without a scripted
// answer a message box answers its default button and a file dialog is cancelled.

#include "toolkit/feedback.h"
#include "toolkit/toolkit.h"

#include <deque>
#include <vector>

namespace tk::testing {

class ScriptedBoxes {
public:
    ScriptedBoxes();
    ~ScriptedBoxes();
    ScriptedBoxes(const ScriptedBoxes &) = delete;
    ScriptedBoxes &operator=(const ScriptedBoxes &) = delete;

    void answer(Answer next) { m_answers.push_back(next); }
    const std::vector<MessageBoxRequest> &shown() const { return m_shown; }
    void clear() { m_shown.clear(); }

private:
    friend Answer tk::messageBox(QWidget *, const QString &, Buttons, Icon, const QString &,
                                 std::optional<Answer>);
    std::deque<Answer> m_answers;
    std::vector<MessageBoxRequest> m_shown;
};

class ScriptedFileDialogs {
public:
    ScriptedFileDialogs();
    ~ScriptedFileDialogs();
    ScriptedFileDialogs(const ScriptedFileDialogs &) = delete;
    ScriptedFileDialogs &operator=(const ScriptedFileDialogs &) = delete;

    void choose(const QString &path) { m_answers.push_back(path); }
    void cancel() { m_answers.push_back(std::nullopt); }
    const std::vector<FileDialogRequest> &shown() const { return m_shown; }

private:
    friend class tk::FileDialog;
    std::deque<std::optional<QString>> m_answers;
    std::vector<FileDialogRequest> m_shown;
};

struct Launch {
    QString program;
    QStringList arguments;
};

// Records launches instead of starting programs; `succeeds` decides each launch's outcome.
class ScriptedLaunches {
public:
    ScriptedLaunches();
    ~ScriptedLaunches();
    ScriptedLaunches(const ScriptedLaunches &) = delete;
    ScriptedLaunches &operator=(const ScriptedLaunches &) = delete;

    std::function<bool(const Launch &)> succeeds = [](const Launch &) { return true; };
    const std::vector<Launch> &launched() const { return m_launched; }

private:
    friend bool tk::launch(const QString &, const QStringList &);
    std::vector<Launch> m_launched;
};

// Counts requests to end the program instead of leaving the event loop, which would make every
// later event loop of the test process return at once.
class EndProgramSpy {
public:
    EndProgramSpy();
    ~EndProgramSpy();
    EndProgramSpy(const EndProgramSpy &) = delete;
    EndProgramSpy &operator=(const EndProgramSpy &) = delete;
    int count() const { return m_count; }

private:
    friend void tk::endProgram();
    int m_count = 0;
};

// Stands in for progress windows: records the total of each one a handler makes (work over its
// window's size), and answers Cancel once the work reports `cancelAt` steps done.
class ScriptedProgress {
public:
    ScriptedProgress();
    ~ScriptedProgress();
    ScriptedProgress(const ScriptedProgress &) = delete;
    ScriptedProgress &operator=(const ScriptedProgress &) = delete;

    void cancelAt(qint64 done) { m_cancelAt = done; }
    const std::vector<qint64> &shown() const { return m_shown; }

private:
    friend class tk::ProgressWindow;
    qint64 m_cancelAt = -1;
    std::vector<qint64> m_shown;
};

} // namespace tk::testing
