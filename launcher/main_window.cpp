// SPDX-License-Identifier: GPL-3.0-or-later
#include "launcher/main_window.h"

#include "toolkit/site.h"
#include "toolkit/toolkit.h"

#include <QMenuBar>

namespace launcher {

std::vector<tk::Control> MainWindow::controls()
{
    const auto label = [](tk::SystemColour background) {
        return [background](QWidget *c) {
            auto *l = new tk::ClickLabel({}, c, tk::systemColour(background));
            l->setWordWrap(true);
            return l;
        };
    };
    const QString textEditer = QStringLiteral("Textlerin içeriklerini düzenlemek için");
    const QString fileEditer =
        QStringLiteral("Dosyalarin isimlerini ve uzantilarini degistirmek için");
    const QString diverter = QStringLiteral("Klasör içeriklerini text dosyalarina aktarmak için");
    return {
        {TK_MEMBER(textEditerButton), .caption = QStringLiteral("Text Editer"),
         .at = {12, 20, 96, 30}, .tab = 1},
        {TK_MEMBER(textEditerLabel), .make = label(tk::SystemColour::MenuText),
         .caption = textEditer, .at = {116, 20, 190, 30}, .description = textEditer},
        {TK_MEMBER(fileEditerButton), .caption = QStringLiteral("File Editer"),
         .at = {12, 80, 96, 30}, .tab = 2},
        {TK_MEMBER(fileEditerLabel), .make = label(tk::SystemColour::ButtonText),
         .caption = fileEditer, .at = {116, 80, 190, 30}, .description = fileEditer},
        {TK_MEMBER(diverterButton), .caption = QStringLiteral("Diverter"), .at = {12, 140, 96, 30},
         .tab = 3},
        {TK_MEMBER(diverterLabel), .make = label(tk::SystemColour::ButtonText), .caption = diverter,
         .at = {116, 140, 190, 30}, .description = diverter},
    };
}

std::vector<tk::Menu> MainWindow::menus()
{
    return {
        {TK_MEMBER(programsMenu), .caption = QStringLiteral("&Programlar"),
         .items = {{TK_MEMBER(openTextEditerAction), .caption = QStringLiteral("&Text Editer"),
                    .shortcut = Qt::CTRL | Qt::Key_T},
                   {TK_MEMBER(openFileEditerAction), .caption = QStringLiteral("&File Editer"),
                    .shortcut = Qt::CTRL | Qt::Key_F},
                   {TK_MEMBER(openDiverterAction), .caption = QStringLiteral("&Diverter"),
                    .shortcut = Qt::CTRL | Qt::Key_D},
                   {TK_MEMBER(programsSeparator)},
                   {TK_MEMBER(endProgramAction), .caption = QStringLiteral("&Kapat")}}},
        {TK_MEMBER(infoMenu), .caption = QStringLiteral("Bilgi"),
         .items = {{TK_MEMBER(aboutAction), .caption = QStringLiteral("Bilgi")},
                   {TK_MEMBER(siteAction), .caption = QStringLiteral("Site")}}},
    };
}

MainWindow::MainWindow(QWidget *parent)
    : tk::ToolWindow({QStringLiteral("tarnwick's Toolkit"), 4680, 2850,
                      tk::SystemColour::ButtonText, QStringLiteral("toolkit"), true},
                     parent)
{
    build(controls(), menus());
    textEditerButton->setFocus();
    // The shortcuts are window shortcuts: they act only while this window is active.
    for (QAction *a : {openTextEditerAction, openFileEditerAction, openDiverterAction})
        a->setShortcutContext(Qt::WindowShortcut);

    connect(textEditerButton, &QPushButton::clicked, this, &MainWindow::openTextEditer);
    connect(openTextEditerAction, &QAction::triggered, this, &MainWindow::openTextEditer);
    connect(fileEditerButton, &QPushButton::clicked, this, &MainWindow::openFileEditer);
    connect(openFileEditerAction, &QAction::triggered, this, &MainWindow::openFileEditer);
    connect(diverterButton, &QPushButton::clicked, this, &MainWindow::openDiverter);
    connect(openDiverterAction, &QAction::triggered, this, &MainWindow::openDiverter);
    connect(endProgramAction, &QAction::triggered, this, [] { tk::endProgram(); });
    connect(aboutAction, &QAction::triggered, this, [this] { tk::site::showAbout(this); });
    connect(siteAction, &QAction::triggered, this, [] { tk::site::openAuthorPage(); });
}

} // namespace launcher
