#pragma once
// The main window: three rows of a button and what the tool is for, and the menus.

#include "diverter/diverter_window.h"
#include "file_editer/file_editer_window.h"
#include "toolkit/toolwindow.h"
#include "text_editer/text_editer_window.h"

#include <QAction>
#include <QPushButton>

class Toolkit : public tk::ToolWindow {
    Q_OBJECT
public:
    explicit Toolkit(QWidget *parent = nullptr);

    void openTextEditer() { m_textEditer.show(); }
    void openFileEditer() { m_fileEditer.show(); }
    void openDiverter() { m_diverter.show(); }

    TextEditer *textEditer() const { return m_textEditer.window(); }
    FileEditer *fileEditer() const { return m_fileEditer.window(); }
    Diverter *diverter() const { return m_diverter.window(); }

    QPushButton *Command1, *Command2, *Command3;
    QLabel *Label1, *Label2, *Label3;
    QMenu *programs, *bilgia;
    QAction *texteditera, *fileeditera, *divertera, *gecis, *kapaa, *bilgib, *sitea;

private:
    tk::WindowSlot<TextEditer> m_textEditer;
    tk::WindowSlot<FileEditer> m_fileEditer;
    tk::WindowSlot<Diverter> m_diverter;
};
