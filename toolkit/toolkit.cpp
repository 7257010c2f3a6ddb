// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/toolkit.h"

#include "core/filenames.h"
#include "toolkit/toolkit_testing.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QUrl>

namespace tk {

namespace {
testing::ScriptedBoxes *g_boxes = nullptr;
testing::ScriptedFileDialogs *g_dialogs = nullptr;
testing::ScriptedLaunches *g_launches = nullptr;
testing::EndProgramSpy *g_endProgram = nullptr;

// Installs a stand-in for as long as it lives; stand-ins of one kind do not nest.
template <class T> void install(T *&slot, T *standIn)
{
    Q_ASSERT(slot == nullptr);
    slot = standIn;
}
// A short prompt makes a narrow box, whose title bar then cuts its title; the box is made wide
// enough for the title, its icon and the title bar's buttons. Called last, since setting the icon
// or the buttons rebuilds the box's layout.
void fitTitle(QMessageBox &box)
{
    const int width = titleBarWidth(&box, box.windowTitle());
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
}
} // namespace

Answer messageBox(QWidget *parent, const QString &prompt, Buttons buttons, Icon icon,
                  const QString &title, std::optional<Answer> defaultButton)
{
    MessageBoxRequest request;
    request.prompt = prompt;
    request.title = title.isEmpty() ? kProgramTitle : title;
    request.buttons = buttons;
    request.icon = icon;
    request.defaultButton =
        defaultButton.value_or(buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok);

    if (g_boxes) {
        g_boxes->m_shown.push_back(request);
        if (g_boxes->m_answers.empty())
            return request.defaultButton;
        const Answer a = g_boxes->m_answers.front();
        g_boxes->m_answers.pop_front();
        return a;
    }

    QMessageBox box(parent);
    box.setWindowTitle(request.title);
    box.setText(prompt);
    box.setTextFormat(Qt::PlainText);
    switch (icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    case Icon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    }
    // The interface is Turkish, so are the button captions.
    if (buttons == Buttons::Ok) {
        box.addButton(QMessageBox::Ok)->setText(QStringLiteral("Tamam"));
        box.setDefaultButton(QMessageBox::Ok);
        fitTitle(box);
        box.exec();
        return Answer::Ok;
    }
    QPushButton *yes = box.addButton(QMessageBox::Yes);
    QPushButton *no = box.addButton(QMessageBox::No);
    yes->setText(QStringLiteral("&Evet"));
    no->setText(QStringLiteral("&Hayır"));
    box.setDefaultButton(request.defaultButton == Answer::No ? no : yes);
    box.setEscapeButton(no);
    fitTitle(box);
    box.exec();
    return box.clickedButton() == yes ? Answer::Yes : Answer::No;
}

bool FileDialog::show(QWidget *parent, DialogMode mode)
{
    FileDialogRequest request{mode, m_title, m_caption, m_patterns, m_fileName, m_moreTypes};
    std::optional<QString> chosen;
    if (g_dialogs) {
        g_dialogs->m_shown.push_back(request);
        if (!g_dialogs->m_answers.empty()) {
            chosen = g_dialogs->m_answers.front();
            g_dialogs->m_answers.pop_front();
        }
    } else {
        // Qt's own dialog behaves the same on every desktop. AnyFile lets an open dialog accept
        // the typed name of a missing file.
        QFileDialog dialog(parent, m_title);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(mode == DialogMode::Open ? QFileDialog::AcceptOpen
                                                      : QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        if (mode == DialogMode::Save)
            dialog.setOption(QFileDialog::DontConfirmOverwrite);
        if (!m_caption.isEmpty()) {
            // Qt takes a filter's patterns from its last parentheses and splits them at spaces,
            // so a caption such as "Text(*.txt;*.doc)" would list nothing on its own. The
            // patterns go in a last pair of parentheses that the combo box then hides, so a
            // caption that names its own, such as "Tüm dosyalar (*)", keeps them on screen too.
            dialog.setOption(QFileDialog::HideNameFilterDetails);
            const auto filter = [](const QString &caption, const QStringList &patterns) {
                return QString(caption + QStringLiteral(" (") + patterns.join(u' ') + u')');
            };
            QStringList filters{filter(m_caption, m_patterns)};
            for (const FileType &type : std::as_const(m_moreTypes))
                filters << filter(type.caption, type.patterns);
            dialog.setNameFilters(filters);
            dialog.selectNameFilter(filters.constFirst());
        }
        if (!m_fileName.isEmpty())
            dialog.selectFile(m_fileName);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().constFirst();
    }
    if (!chosen)
        return false;
    // Qt's dialog reads folders lossily: a name whose bytes are not UTF-8 comes back with
    // replacement characters, and several files may show as it. The choice is the file that
    // shows so, by its own bytes; when more than one does, no choice can tell them apart, and
    // acting on either could harm the other.
    const std::optional<QString> path = core::fs::resolveShownPath(*chosen);
    if (!path) {
        messageBox(parent,
                   QStringLiteral("Bu adla birden çok dosya görünüyor:\n%1\n\nDosyanın yolunu "
                                  "yazın ya da dosyayı sürükleyip bırakın.")
                       .arg(*chosen),
                   Buttons::Ok, Icon::Exclamation, m_title);
        return false;
    }
    m_fileName = *path;
    return true;
}

void clipboardClear()
{
    QGuiApplication::clipboard()->clear();
}

void clipboardPut(const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
}

QString clipboardText()
{
    return QGuiApplication::clipboard()->text();
}

namespace {
QStringList localPaths(const QMimeData *data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl &url : data->urls()) {
        const QString path = core::fs::localPathOf(url);
        if (!path.isEmpty())
            paths << path;
    }
    return paths;
}

class DropFilter : public QObject {
public:
    DropFilter(QObject *parent, std::function<void(const QStringList &)> onDrop)
        : QObject(parent), m_onDrop(std::move(onDrop))
    {}

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto *drag = static_cast<QDragMoveEvent *>(event);
            if (localPaths(drag->mimeData()).isEmpty())
                drag->ignore();
            else
                drag->acceptProposedAction();
            return true;
        }
        case QEvent::DragLeave: return true;
        case QEvent::Drop: {
            auto *drop = static_cast<QDropEvent *>(event);
            const QStringList paths = localPaths(drop->mimeData());
            if (paths.isEmpty()) {
                drop->ignore();
            } else {
                drop->acceptProposedAction();
                m_onDrop(paths);
            }
            return true;
        }
        default: return false;
        }
    }

private:
    std::function<void(const QStringList &)> m_onDrop;
};
} // namespace

void acceptFileDrops(QWidget *box, std::function<void(const QStringList &)> onDrop)
{
    auto *filter = new DropFilter(box, std::move(onDrop));
    box->setAcceptDrops(true);
    box->installEventFilter(filter);
    // A scroll area receives drags on its viewport.
    if (auto *area = qobject_cast<QAbstractScrollArea *>(box)) {
        area->viewport()->setAcceptDrops(true);
        area->viewport()->installEventFilter(filter);
    }
}

bool launch(const QString &program, const QStringList &arguments)
{
    if (g_launches) {
        g_launches->m_launched.push_back({program, arguments});
        return g_launches->succeeds(g_launches->m_launched.back());
    }
    return QProcess::startDetached(program, arguments);
}

void endProgram()
{
    if (g_endProgram) {
        ++g_endProgram->m_count;
        return;
    }
    // exit(), not quit(): quit() sends close events that a window may refuse.
    QCoreApplication::exit(0);
}

int titleBarWidth(const QWidget *window, const QString &title)
{
    // The window's icon and the close, minimise and maximise buttons with their margins, as the
    // common window managers draw them at the usual sizes.
    constexpr int kTitleBarFurniture = 140;
    QFont titleFont = window->font();
    titleFont.setBold(true);
    return QFontMetrics(titleFont).horizontalAdvance(title) + kTitleBarFurniture;
}

void nameByLabel(QWidget *control, QLabel *label)
{
    label->setBuddy(control);
    QString name = label->text();
    name.remove(u'&');
    control->setAccessibleName(name.trimmed());
}

void describeByLabel(QWidget *control, QLabel *label)
{
    label->setBuddy(control);
    QString text = label->text();
    text.remove(u'&');
    control->setAccessibleDescription(text.trimmed());
}

void setTip(QWidget *control, const QString &tip)
{
    control->setToolTip(tip);
    control->setAccessibleDescription(tip);
}

namespace testing {
ScriptedBoxes::ScriptedBoxes()
{
    install(g_boxes, this);
}
ScriptedBoxes::~ScriptedBoxes()
{
    g_boxes = nullptr;
}
ScriptedFileDialogs::ScriptedFileDialogs()
{
    install(g_dialogs, this);
}
ScriptedFileDialogs::~ScriptedFileDialogs()
{
    g_dialogs = nullptr;
}
ScriptedLaunches::ScriptedLaunches()
{
    install(g_launches, this);
}
ScriptedLaunches::~ScriptedLaunches()
{
    g_launches = nullptr;
}
EndProgramSpy::EndProgramSpy()
{
    install(g_endProgram, this);
}
EndProgramSpy::~EndProgramSpy()
{
    g_endProgram = nullptr;
}
} // namespace testing

} // namespace tk
