#pragma once
// The main window: three rows of a button and what the tool is for, and the menus.

#include "diverter/diverter_window.h"
#include "file_editer/file_editer_window.h"
#include "text_editer/text_editer_window.h"
#include "toolkit/toolwindow.h"

#include <QAction>
#include <QPushButton>

class MainWindow : public tk::ToolWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);

    void openTextEditer() { m_textEditer.show(); }
    void openFileEditer() { m_fileEditer.show(); }
    void openDiverter() { m_diverter.show(); }

    TextEditer *textEditer() const { return m_textEditer.window(); }
    FileEditer *fileEditer() const { return m_fileEditer.window(); }
    Diverter *diverter() const { return m_diverter.window(); }

    QPushButton *textEditerButton, *fileEditerButton, *diverterButton;
    QLabel *textEditerLabel, *fileEditerLabel, *diverterLabel; // what each tool is for

    QMenu *programsMenu; // "&Programlar"
    QAction *openTextEditerAction, *openFileEditerAction, *openDiverterAction;
    QAction *programsSeparator;
    QAction *endProgramAction; // "&Kapat"
    QMenu *infoMenu;           // "Bilgi"
    QAction *aboutAction;      // "Bilgi"
    QAction *siteAction;       // "Site"

private:
    tk::WindowSlot<TextEditer> m_textEditer;
    tk::WindowSlot<FileEditer> m_fileEditer;
    tk::WindowSlot<Diverter> m_diverter;
};
