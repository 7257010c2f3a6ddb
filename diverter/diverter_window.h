#pragma once
// The Diverter: a drive list, a folder list and the file list of the active folder, and the
// operations on the listed files: the listing text with optional sizes, its copy to the
// clipboard, the batch rename and create by text replacement, and the bulk delete.

#include "diverter/list_controls.h"
#include "toolkit/textbox.h"
#include "toolkit/toolwindow.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

class Diverter : public tk::ToolWindow {
    Q_OBJECT
public:
    explicit Diverter(QWidget *parent = nullptr);

    FolderList *Dir1;
    DriveList *Drive1;
    FileList *File1;
    MultiLineBox *Text1, *Text3, *Text7;
    QLineEdit *Text2, *Text4, *Text5, *Text6;
    QPushButton *Command1, *Command2, *Command3, *Command4, *Command5, *Command6, *Command7,
        *Command8;
    QCheckBox *Check1;
    QLabel *Label1, *Label3, *Label4, *Label5, *Label6, *Label7;
    tk::ClickLabel *Label2;

    // Navigation.
    void Drive1_Change();
    void Dir1_Change();
    void Text4_KeyPress(int keyAscii);
    void Text2_Change();
    void Command6_Click(); // refresh
    void Command4_Click(); // reset

    // Listing text.
    void Command1_Click(); // transfer
    void Command2_Click(); // append
    void Command3_Click(); // copy

    void Command5_Click(); // batch rename
    void Command7_Click(); // batch create
    void Command8_Click(); // bulk delete

private:
    void writeListing(bool replace);
};
