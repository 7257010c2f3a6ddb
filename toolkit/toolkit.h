// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The thin layer over the window toolkit. Every window talks to message boxes, file dialogs,
// the clipboard, drops and program launches through these calls only, so a handler reads like
// its description. The modal parts go to the desktop in front (desktop.h), where a test can
// answer each box and dialog.

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QLabel;
class QWidget;

namespace tk {

// Shown by a message box that is given no title of its own.
inline const QString kProgramTitle = QStringLiteral("tarnwick's Toolkit");

enum class Buttons { Ok, YesNo };
enum class Icon { None, Question, Exclamation };
enum class Answer { Ok, Yes, No };

struct MessageBoxRequest {
    QString prompt;
    QString title; // as the box shows it: the program title when none was given
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
    Answer defaultButton = Answer::Ok;
};

// Modal; the handler waits inside it. The default button is the first one (OK or Yes)
// unless another is named. Closing a Yes/No box by its title bar answers No.
Answer messageBox(QWidget *parent, const QString &prompt, Buttons buttons = Buttons::Ok,
                  Icon icon = Icon::None, const QString &title = {},
                  std::optional<Answer> defaultButton = {});

enum class DialogMode { Open, Save };

struct FileType {
    QString caption;      // shown as it stands
    QStringList patterns; // which files are listed while it is chosen
};

struct FileDialogRequest {
    DialogMode mode = DialogMode::Open;
    QString title;                 // empty: the toolkit's own title
    QString fileTypeCaption;       // empty: no file type, every file is listed
    QStringList filePatterns;      // the patterns the caption stands for
    QString proposedName;          // the full path chosen last, empty before the first choice
    QList<FileType> moreFileTypes; // offered after the first, which is the one chosen
};

// A file dialog object kept by its window. It remembers the full path chosen last and proposes
// it next time; a cancel leaves that name as it was. Both modes accept a typed name of a file
// that does not exist, and saving over an existing file asks nothing. A chosen name that lost
// bytes in the dialog's display names the one file that shows as it (core::fs::resolveShownPath);
// when several do, a box says so and the choice counts as a cancel.
class FileDialog {
public:
    void setTitle(const QString &title) { m_title = title; }
    // The caption is shown as it stands; the patterns decide which files are listed. This type
    // comes first and is the one chosen when the dialog opens.
    void setFileType(const QString &caption, const QStringList &patterns)
    {
        m_caption = caption;
        m_patterns = patterns;
    }
    // A type the user may choose instead, offered after those added before it.
    void addFileType(const QString &caption, const QStringList &patterns)
    {
        m_moreTypes.append({caption, patterns});
    }
    // Returns true when a file was chosen, false on cancel; callers that do not care about a
    // cancel simply read fileName() afterwards.
    bool show(QWidget *parent, DialogMode mode);
    QString fileName() const { return m_fileName; }
    // The name proposed next, as if it had been chosen (a file the window loaded otherwise).
    void setFileName(const QString &path) { m_fileName = path; }

private:
    QString m_title;
    QString m_caption;
    QStringList m_patterns;
    QList<FileType> m_moreTypes;
    QString m_fileName;
};

// The system clipboard, plain text only.
void clipboardClear();
void clipboardPut(const QString &text);
QString clipboardText(); // empty when the clipboard holds no text

// Files dropped onto a text box reach onDrop as their local paths, in drop order. The box's own
// insertion of dragged text is switched off, and a drag that carries no local file is refused.
void acceptFileDrops(QWidget *box, std::function<void(const QStringList &paths)> onDrop);

// Starts a program detached, never through a shell. False when it could not be started.
bool launch(const QString &program, const QStringList &arguments);

// Ends the program at once: no window is asked whether it may close.
void endProgram();

// The width a window needs for its title bar to show `title` whole: the title in the bold type
// title bars use, with room for the window's icon and the title bar's buttons.
int titleBarWidth(const QWidget *window, const QString &title);

// Makes a label name the control it stands for (its buddy) for screen readers and access keys.
void nameByLabel(QWidget *control, QLabel *label);
// Ties a label to the control below it, whose caption is shared with another control: the label
// becomes its description for screen readers.
void describeByLabel(QWidget *control, QLabel *label);
// Sets a tooltip, which also serves screen readers as the control's description.
void setTip(QWidget *control, const QString &tip);

} // namespace tk
