// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the windows ask of the desktop they run on: modal boxes, the file dialog, launching a
// program, ending the program and the progress window. Qt's desktop answers unless another one
// stands in front of it; a test puts its stand-ins there, each taking over its own part and
// leaving the rest to the one it covers, so a handler runs the same code either way.

#include "toolkit/toolkit.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace tk {

// What a progress window says, given by the tool whose work it shows.
struct ProgressTexts {
    QString doing; // "Siliniyor…": the bar's name for screen readers
    // The label under way, "Siliniyor… 12.345 / 200.000 dosya".
    std::function<QString(qint64 done, qint64 total)> label;
    // The message after İptal, telling how far the work got.
    std::function<QString(qint64 done, qint64 total)> cancelled;
};

// One progress window on the screen; closing it is deleting it.
class ProgressDisplay {
public:
    virtual ~ProgressDisplay() = default;
    virtual void setTotal(qint64 total) = 0;
    // Shows `done` steps; false once the user asked the work to stop, or nobody is left to show
    // it to. It may answer between two updates without looking.
    virtual bool advance(qint64 done) = 0;
};

class Desktop {
public:
    Desktop() = default;
    virtual ~Desktop() = default;
    Desktop(const Desktop &) = delete;
    Desktop &operator=(const Desktop &) = delete;

    // The request is complete: its title and default button are filled in.
    virtual Answer messageBox(QWidget *parent, const MessageBoxRequest &request) = 0;
    // The path chosen as the dialog shows it, nothing on cancel.
    virtual std::optional<QString> chooseFile(QWidget *parent,
                                              const FileDialogRequest &request) = 0;
    virtual bool launch(const QString &program, const QStringList &arguments) = 0;
    virtual void endProgram() = 0;
    // A progress window for work of `total` steps; `texts` outlives it.
    virtual std::unique_ptr<ProgressDisplay>
    showProgress(QWidget *parent, const ProgressTexts &texts, qint64 total) = 0;
};

// The desktop in front: the newest DesktopInFront still alive, Qt's otherwise.
Desktop &desktop();

// Stands in front of the current desktop for as long as it lives. What it does not take over goes
// to the desktop it covers; when it ends, the desktop it covered takes its place, whichever of
// several ends first.
class DesktopInFront : public Desktop {
public:
    Answer messageBox(QWidget *parent, const MessageBoxRequest &request) override
    {
        return covered().messageBox(parent, request);
    }
    std::optional<QString> chooseFile(QWidget *parent, const FileDialogRequest &request) override
    {
        return covered().chooseFile(parent, request);
    }
    bool launch(const QString &program, const QStringList &arguments) override
    {
        return covered().launch(program, arguments);
    }
    void endProgram() override { covered().endProgram(); }
    std::unique_ptr<ProgressDisplay> showProgress(QWidget *parent, const ProgressTexts &texts,
                                                  qint64 total) override
    {
        return covered().showProgress(parent, texts, total);
    }

protected:
    DesktopInFront();
    ~DesktopInFront() override;

private:
    Desktop &covered() const;
    DesktopInFront *m_covered; // none: Qt's desktop
};

} // namespace tk
