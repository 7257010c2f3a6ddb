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

std::vector<tk::Control> FileEditerWindow::controls()
{
    const QColor menuText = tk::systemColour(tk::SystemColour::MenuText);
    const auto label = [menuText](QWidget *c) { return new tk::ClickLabel({}, c, menuText); };
    const auto box = [this, menuText](QWidget *c) {
        auto *b = new QLineEdit(c);
        QPalette bp = b->palette();
        bp.setColor(QPalette::Base, tk::kDarkGreen);
        bp.setColor(QPalette::Text, menuText);
        b->setPalette(bp);
        // Menu shortcuts such as Ctrl+K must win over the field's own editing keys.
        b->installEventFilter(this);
        return b;
    };
    const QString source = QStringLiteral("Dosya 1:"), target = QStringLiteral("Dosya 2:");
    const QString browse = QStringLiteral("Ara...");
    // Two buttons share one caption; a screen reader tells them apart by their field.
    return {
        {TK_MEMBER(sourceLabel), .make = label, .caption = source, .at = {8, 12, 58, 24}},
        {TK_MEMBER(sourceBox), .make = box, .at = {70, 12, 240, 24}, .tab = 1,
         .namedBy = "sourceLabel"},
        {TK_MEMBER(browseSourceButton), .caption = browse, .at = {318, 10, 81, 28}, .tab = 3,
         .description = source},
        {TK_MEMBER(targetLabel), .make = label, .caption = target, .at = {8, 46, 58, 24}},
        {TK_MEMBER(targetBox), .make = box, .at = {70, 46, 240, 24}, .tab = 2,
         .namedBy = "targetLabel"},
        {TK_MEMBER(browseTargetButton), .caption = browse, .at = {318, 44, 81, 28}, .tab = 4,
         .description = target},
        {TK_MEMBER(copyButton), .caption = QStringLiteral("Kopyala"), .at = {8, 82, 127, 30},
         .tab = 5},
        {TK_MEMBER(renameButton), .caption = QStringLiteral("Yeniden Adlandir"),
         .at = {140, 82, 127, 30}, .tab = 6},
        {TK_MEMBER(deleteButton), .caption = QStringLiteral("Dosya 1'i Sil"),
         .at = {272, 82, 127, 30}, .tab = 7},
        {TK_MEMBER(siteLabel),
         .make =
             [](QWidget *c) {
                 return tk::site::makeSiteLabel(c, tk::systemColour(tk::SystemColour::ButtonText));
             },
         .at = {0, 122, 0, 20}, .centred = true},
    };
}

std::vector<tk::Menu> FileEditerWindow::menus()
{
    return {
        {TK_MEMBER(fileMenu), .caption = QStringLiteral("&Dosya"),
         .items = {{TK_MEMBER(copyAction), .caption = QStringLiteral("&Kopyala"),
                    .shortcut = Qt::CTRL | Qt::Key_K},
                   {TK_MEMBER(renameAction), .caption = QStringLiteral("&Yeniden Adlandir"),
                    .shortcut = Qt::CTRL | Qt::Key_Y},
                   {TK_MEMBER(deleteAction), .caption = QStringLiteral("Dosya 1'i &Sil"),
                    .shortcut = Qt::CTRL | Qt::Key_S}}},
        {TK_MEMBER(fieldsMenu), .caption = QStringLiteral("&Text"),
         .items = {{TK_MEMBER(copySourceToTargetAction),
                    .caption = QStringLiteral("1'i 2'ye Kopyala"),
                    .shortcut = Qt::SHIFT | Qt::Key_F1},
                   {TK_MEMBER(copyTargetToSourceAction),
                    .caption = QStringLiteral("2'yi 1'e Kopyala"),
                    .shortcut = Qt::SHIFT | Qt::Key_F2},
                   {TK_MEMBER(swapFieldsAction), .caption = QStringLiteral("Yerlerini Degistir"),
                    .shortcut = Qt::SHIFT | Qt::Key_F3}}},
        {TK_MEMBER(clearMenu), .caption = QStringLiteral("Te&mizle"),
         .items = {{TK_MEMBER(clearSourceAction), .caption = QStringLiteral("1'i Temizle"),
                    .shortcut = Qt::SHIFT | Qt::Key_F4},
                   {TK_MEMBER(clearTargetAction), .caption = QStringLiteral("2'yi Temizle"),
                    .shortcut = Qt::SHIFT | Qt::Key_F5},
                   {TK_MEMBER(clearAllAction), .caption = QStringLiteral("Tümünü Temizle"),
                    .shortcut = Qt::SHIFT | Qt::Key_F6}}},
    };
}

FileEditerWindow::FileEditerWindow(QWidget *parent)
    : tk::ToolWindow(
          {kCaption, 6105, 2235, tk::SystemColour::MenuText, QStringLiteral("fileeditor"), true},
          parent)
{
    build(controls(), menus());
    sourceBox->setFocus();

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
