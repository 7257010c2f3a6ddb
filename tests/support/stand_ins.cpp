// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/stand_ins.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>

namespace tk::testing {

Answer ScriptedBoxes::messageBox(QWidget *, const MessageBoxRequest &request)
{
    m_shown.push_back(request);
    if (m_answers.empty())
        return request.defaultButton;
    const Answer a = m_answers.front();
    m_answers.pop_front();
    return a;
}

std::optional<QString> ScriptedFileDialogs::chooseFile(QWidget *, const FileDialogRequest &request)
{
    m_shown.push_back(request);
    if (m_answers.empty())
        return std::nullopt;
    const std::optional<QString> chosen = m_answers.front();
    m_answers.pop_front();
    return chosen;
}

bool ScriptedLaunches::launch(const QString &program, const QStringList &arguments)
{
    m_launched.push_back({program, arguments});
    return succeeds(m_launched.back());
}

namespace {
// Asks Cancel of the work once it is `cancelAt` steps done; never while that is negative.
class ScriptedDisplay : public ProgressDisplay {
public:
    explicit ScriptedDisplay(const qint64 &cancelAt) : m_cancelAt(cancelAt) {}
    void setTotal(qint64) override {}
    bool advance(qint64 done) override { return m_cancelAt < 0 || done < m_cancelAt; }

private:
    const qint64 &m_cancelAt;
};
} // namespace

std::unique_ptr<ProgressDisplay> ScriptedProgress::showProgress(QWidget *, const ProgressTexts &,
                                                                qint64 total)
{
    m_shown.push_back(total);
    return std::make_unique<ScriptedDisplay>(m_cancelAt);
}

bool dropOn(QWidget *target, QMimeData *data, QPoint at)
{
    QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent dropped(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &dropped);
    return enter.isAccepted();
}

} // namespace tk::testing
