// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/toolkit.h"

#include "core/filenames.h"
#include "toolkit/desktop.h"

#include <QAbstractScrollArea>
#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QUrl>

namespace tk {

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
    return desktop().messageBox(parent, request);
}

bool FileDialog::show(QWidget *parent, DialogMode mode)
{
    const FileDialogRequest request{mode, m_title, m_caption, m_patterns, m_fileName, m_moreTypes};
    const std::optional<QString> chosen = desktop().chooseFile(parent, request);
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
    return desktop().launch(program, arguments);
}

void endProgram()
{
    desktop().endProgram();
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

} // namespace tk
