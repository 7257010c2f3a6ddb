// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window: three rows of a button and what the tool is for, and the menus.

#include "diverter/diverter_window.h"
#include "file_editer/file_editer_window.h"
#include "text_editer/text_editer_window.h"
#include "toolkit/toolwindow.h"

#include <QAction>
#include <QPushButton>

namespace launcher {

class MainWindow : public tk::ToolWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);

    void openTextEditer() { m_textEditer.show(); }
    void openFileEditer() { m_fileEditer.show(); }
    void openDiverter() { m_diverter.show(); }

    text_editer::TextEditerWindow *textEditer() const { return m_textEditer.window(); }
    file_editer::FileEditerWindow *fileEditer() const { return m_fileEditer.window(); }
    diverter::DiverterWindow *diverter() const { return m_diverter.window(); }

    // Made by the tables in controls() and menus(), each with its member's name as its object
    // name.
    QPushButton *textEditerButton = nullptr, *fileEditerButton = nullptr, *diverterButton = nullptr;
    // What each tool is for.
    QLabel *textEditerLabel = nullptr, *fileEditerLabel = nullptr, *diverterLabel = nullptr;

    QMenu *programsMenu = nullptr; // "&Programlar"
    QAction *openTextEditerAction = nullptr, *openFileEditerAction = nullptr,
            *openDiverterAction = nullptr;
    QAction *programsSeparator = nullptr;
    QAction *endProgramAction = nullptr; // "&Kapat"
    QMenu *infoMenu = nullptr;           // "Bilgi"
    QAction *aboutAction = nullptr;      // "Bilgi"
    QAction *siteAction = nullptr;       // "Site"

private:
    std::vector<tk::Control> controls();
    std::vector<tk::Menu> menus();

    tk::WindowSlot<text_editer::TextEditerWindow> m_textEditer;
    tk::WindowSlot<file_editer::FileEditerWindow> m_fileEditer;
    tk::WindowSlot<diverter::DiverterWindow> m_diverter;
};

} // namespace launcher
