// SPDX-License-Identifier: GPL-3.0-or-later
#include "file_editer/file_editer_window.h"

#include "core/fileops.h"
#include "file_editer/file_operations.h"
#include "toolkit/feedback.h"
#include "toolkit/site.h"

#include <QKeyEvent>
#include <QMenuBar>

namespace file_editer {

namespace {
const QString kCaption = QStringLiteral("tarnwick's File Editer");
}

FileEditerWindow::FileEditerWindow(QWidget *parent)
    : tk::ToolWindow(
          {kCaption, 6105, 2235, tk::SystemColour::MenuText, QStringLiteral("fileeditor"), true},
          parent)
{
    QWidget *c = client();
    const QColor menuText = tk::systemColour(tk::SystemColour::MenuText);

    auto field = [&](int y, const QString &caption, QLabel *&label, QLineEdit *&box,
                     QPushButton *&browse) {
        label = new tk::ClickLabel(caption, c, menuText);
        place(label, 8, y, 58, 24);

        box = new QLineEdit(c);
        place(box, 70, y, 240, 24);
        QPalette bp = box->palette();
        bp.setColor(QPalette::Base, tk::kDarkGreen);
        bp.setColor(QPalette::Text, menuText);
        box->setPalette(bp);
        tk::nameByLabel(box, label);
        // Menu shortcuts such as Ctrl+K must win over the field's own editing keys.
        box->installEventFilter(this);

        browse = new QPushButton(QStringLiteral("Ara..."), c);
        place(browse, 318, y - 2, 81, 28);
        // Two buttons share one caption; a screen reader tells them apart by their field.
        browse->setAccessibleDescription(caption);
    };
    field(12, QStringLiteral("Dosya 1:"), sourceLabel, sourceBox, browseSourceButton);
    field(46, QStringLiteral("Dosya 2:"), targetLabel, targetBox, browseTargetButton);

    copyButton = new QPushButton(QStringLiteral("Kopyala"), c);
    place(copyButton, 8, 82, 127, 30);
    renameButton = new QPushButton(QStringLiteral("Yeniden Adlandir"), c);
    place(renameButton, 140, 82, 127, 30);
    deleteButton = new QPushButton(QStringLiteral("Dosya 1'i Sil"), c);
    place(deleteButton, 272, 82, 127, 30);

    siteLabel = tk::site::makeSiteLabel(c, tk::systemColour(tk::SystemColour::ButtonText));
    const int siteWidth = siteLabel->sizeHint().width();
    siteLabel->setGeometry((c->width() - siteWidth) / 2, px(122), siteWidth, px(20));

    tk::setTabChain({sourceBox, targetBox, browseSourceButton, browseTargetButton, copyButton,
                     renameButton, deleteButton});
    sourceBox->setFocus();

    fileMenu = menuBar()->addMenu(QStringLiteral("&Dosya"));
    copyAction = fileMenu->addAction(QStringLiteral("&Kopyala"));
    copyAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    renameAction = fileMenu->addAction(QStringLiteral("&Yeniden Adlandir"));
    renameAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y));
    deleteAction = fileMenu->addAction(QStringLiteral("Dosya 1'i &Sil"));
    deleteAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));

    fieldsMenu = menuBar()->addMenu(QStringLiteral("&Text"));
    copySourceToTargetAction = fieldsMenu->addAction(QStringLiteral("1'i 2'ye Kopyala"));
    copySourceToTargetAction->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F1));
    copyTargetToSourceAction = fieldsMenu->addAction(QStringLiteral("2'yi 1'e Kopyala"));
    copyTargetToSourceAction->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F2));
    swapFieldsAction = fieldsMenu->addAction(QStringLiteral("Yerlerini Degistir"));
    swapFieldsAction->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));

    clearMenu = menuBar()->addMenu(QStringLiteral("Te&mizle"));
    clearSourceAction = clearMenu->addAction(QStringLiteral("1'i Temizle"));
    clearSourceAction->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F4));
    clearTargetAction = clearMenu->addAction(QStringLiteral("2'yi Temizle"));
    clearTargetAction->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F5));
    clearAllAction = clearMenu->addAction(QStringLiteral("Tümünü Temizle"));
    clearAllAction->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6));

    // The controls carry their names, for accessibility tools and automated checks.
    const std::pair<QObject *, const char *> names[] = {
        {sourceBox, "sourceBox"},
        {targetBox, "targetBox"},
        {copyButton, "copyButton"},
        {browseSourceButton, "browseSourceButton"},
        {browseTargetButton, "browseTargetButton"},
        {renameButton, "renameButton"},
        {deleteButton, "deleteButton"},
        {sourceLabel, "sourceLabel"},
        {targetLabel, "targetLabel"},
        {siteLabel, "siteLabel"},
        {fileMenu, "fileMenu"},
        {copyAction, "copyAction"},
        {renameAction, "renameAction"},
        {deleteAction, "deleteAction"},
        {fieldsMenu, "fieldsMenu"},
        {copySourceToTargetAction, "copySourceToTargetAction"},
        {copyTargetToSourceAction, "copyTargetToSourceAction"},
        {swapFieldsAction, "swapFieldsAction"},
        {clearMenu, "clearMenu"},
        {clearSourceAction, "clearSourceAction"},
        {clearTargetAction, "clearTargetAction"},
        {clearAllAction, "clearAllAction"}};
    for (const auto &[object, name] : names)
        object->setObjectName(QLatin1String(name));

    connect(copyButton, &QPushButton::clicked, this, &FileEditerWindow::copyFile);
    connect(copyAction, &QAction::triggered, this, &FileEditerWindow::copyFile);
    connect(renameButton, &QPushButton::clicked, this, &FileEditerWindow::renameFile);
    connect(renameAction, &QAction::triggered, this, &FileEditerWindow::renameFile);
    connect(deleteButton, &QPushButton::clicked, this, &FileEditerWindow::deleteFile);
    connect(deleteAction, &QAction::triggered, this, &FileEditerWindow::deleteFile);
    connect(browseSourceButton, &QPushButton::clicked, this, &FileEditerWindow::browseSource);
    connect(browseTargetButton, &QPushButton::clicked, this, &FileEditerWindow::browseTarget);
    connect(copySourceToTargetAction, &QAction::triggered, this,
            &FileEditerWindow::copySourceToTarget);
    connect(copyTargetToSourceAction, &QAction::triggered, this,
            &FileEditerWindow::copyTargetToSource);
    connect(swapFieldsAction, &QAction::triggered, this, &FileEditerWindow::swapFields);
    connect(clearSourceAction, &QAction::triggered, this, &FileEditerWindow::clearSource);
    connect(clearTargetAction, &QAction::triggered, this, &FileEditerWindow::clearTarget);
    connect(clearAllAction, &QAction::triggered, this, &FileEditerWindow::clearAll);
    tk::acceptFileDrops(sourceBox, [this](const QStringList &paths) { dropOnSource(paths); });
    tk::acceptFileDrops(targetBox, [this](const QStringList &paths) { dropOnTarget(paths); });
}

bool FileEditerWindow::requiredFieldsFilled(const QStringList &fields)
{
    if (fieldsFilled(fields))
        return true;
    tk::messageBox(this, QStringLiteral("Gerekli yerleri doldur"), tk::Buttons::Ok, tk::Icon::None,
                   QStringLiteral("Hata"));
    return false;
}

void FileEditerWindow::succeeded(const QString &message)
{
    tk::messageBox(this, message, tk::Buttons::Ok, tk::Icon::None, kCaption);
}

void FileEditerWindow::copyFile()
{
    const QString source = sourceBox->text();
    const QString target = targetBox->text();
    if (!requiredFieldsFilled({source, target}))
        return;
    if (tk::whileBusy([&] { return core::fs::copyFile(source, target); }))
        succeeded(QStringLiteral("Basariyla Kopyalandi!"));
}

void FileEditerWindow::renameFile()
{
    const QString from = sourceBox->text();
    const QString to = targetBox->text();
    if (!requiredFieldsFilled({from, to}))
        return;
    if (tk::whileBusy([&] { return core::fs::renameNoReplace(from, to); }))
        succeeded(QStringLiteral("Basariyla Yeniden Adlandirildi!"));
}

void FileEditerWindow::deleteFile()
{
    const QString path = sourceBox->text();
    if (!requiredFieldsFilled({path}))
        return;
    if (tk::whileBusy([&] { return deleteFiles(path); }))
        succeeded(QStringLiteral("Basariyla Silindi!"));
}

void FileEditerWindow::browseSource()
{
    // The field takes the dialog's remembered name even on a cancel: the last path chosen
    // through either button, or nothing before the first choice.
    fileDialog.show(this, tk::DialogMode::Open);
    sourceBox->setText(fileDialog.fileName());
}

void FileEditerWindow::browseTarget()
{
    fileDialog.show(this, tk::DialogMode::Open);
    targetBox->setText(fileDialog.fileName());
}

void FileEditerWindow::copySourceToTarget()
{
    targetBox->setText(sourceBox->text());
}

void FileEditerWindow::copyTargetToSource()
{
    sourceBox->setText(targetBox->text());
}

void FileEditerWindow::swapFields()
{
    const QString kept = sourceBox->text();
    sourceBox->setText(targetBox->text());
    targetBox->setText(kept);
}

void FileEditerWindow::clearSource()
{
    sourceBox->clear();
}

void FileEditerWindow::clearTarget()
{
    targetBox->clear();
}

void FileEditerWindow::clearAll()
{
    sourceBox->clear();
    targetBox->clear();
}

void FileEditerWindow::dropOnSource(const QStringList &paths)
{
    if (!paths.isEmpty())
        sourceBox->setText(paths.constFirst());
}

void FileEditerWindow::dropOnTarget(const QStringList &paths)
{
    if (!paths.isEmpty())
        targetBox->setText(paths.constFirst());
}

bool FileEditerWindow::eventFilter(QObject *watched, QEvent *event)
{
    // A line edit claims keys such as Ctrl+K (delete to end of line) and Ctrl+Y (redo) before
    // any shortcut sees them; in this window those keys belong to the menus.
    if (event->type() == QEvent::ShortcutOverride &&
        (watched == sourceBox || watched == targetBox)) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QKeySequence pressed(key->keyCombination());
        for (QAction *action : {copyAction, renameAction, deleteAction, copySourceToTargetAction,
                                copyTargetToSourceAction, swapFieldsAction, clearSourceAction,
                                clearTargetAction, clearAllAction}) {
            if (action->shortcut().matches(pressed) == QKeySequence::ExactMatch) {
                event->ignore();
                return true;
            }
        }
    }
    return tk::ToolWindow::eventFilter(watched, event);
}

} // namespace file_editer
