// SPDX-License-Identifier: GPL-3.0-or-later
#include "launcher/main_window.h"

#include "toolkit/site.h"
#include "toolkit/toolkit.h"

#include <QMenuBar>

namespace launcher {

MainWindow::MainWindow(QWidget *parent)
    : tk::ToolWindow({QStringLiteral("tarnwick's Toolkit"), 4680, 2850,
                      tk::SystemColour::ButtonText, QStringLiteral("toolkit"), true},
                     parent)
{
    QWidget *c = client();
    const QColor black = tk::systemColour(tk::SystemColour::ButtonText);
    auto row = [&](int y, const QString &caption, const QString &text, const QColor &labelBg,
                   QPushButton *&button, QLabel *&label) {
        button = new QPushButton(caption, c);
        place(button, 12, y, 96, 30);
        label = new tk::ClickLabel(text, c, labelBg);
        place(label, 116, y, 190, 30);
        label->setWordWrap(true);
        label->setAccessibleDescription(text);
    };
    row(20, QStringLiteral("Text Editer"), QStringLiteral("Textlerin içeriklerini düzenlemek için"),
        tk::systemColour(tk::SystemColour::MenuText), textEditerButton, textEditerLabel);
    row(80, QStringLiteral("File Editer"),
        QStringLiteral("Dosyalarin isimlerini ve uzantilarini degistirmek için"), black,
        fileEditerButton, fileEditerLabel);
    row(140, QStringLiteral("Diverter"),
        QStringLiteral("Klasör içeriklerini text dosyalarina aktarmak için"), black, diverterButton,
        diverterLabel);
    tk::setTabChain({textEditerButton, fileEditerButton, diverterButton});
    textEditerButton->setFocus();

    programsMenu = menuBar()->addMenu(QStringLiteral("&Programlar"));
    openTextEditerAction = programsMenu->addAction(QStringLiteral("&Text Editer"));
    openTextEditerAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    openFileEditerAction = programsMenu->addAction(QStringLiteral("&File Editer"));
    openFileEditerAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    openDiverterAction = programsMenu->addAction(QStringLiteral("&Diverter"));
    openDiverterAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    programsSeparator = programsMenu->addSeparator();
    endProgramAction = programsMenu->addAction(QStringLiteral("&Kapat"));
    infoMenu = menuBar()->addMenu(QStringLiteral("Bilgi"));
    aboutAction = infoMenu->addAction(QStringLiteral("Bilgi"));
    siteAction = infoMenu->addAction(QStringLiteral("Site"));
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
