#pragma once
// The Text Editer: one text file in a big box, with search, count, removal and replacement,
// saving, and moves of the whole text through the clipboard. Each handler is public, so a click,
// a drop and a test all run the same steps.

#include "toolkit/textbox.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolwindow.h"

#include <QLineEdit>
#include <QPushButton>

class TextEditer : public tk::ToolWindow {
    Q_OBJECT
public:
    explicit TextEditer(QWidget *parent = nullptr);

    MultiLineBox *Text1 = nullptr; // the file text
    MultiLineBox *Text2 = nullptr; // the word to search for
    QLineEdit *Text3 = nullptr;    // "evet" or "yok"
    QLineEdit *Text4 = nullptr;    // how many times
    MultiLineBox *Text5 = nullptr; // old text
    MultiLineBox *Text6 = nullptr; // new text

    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command3 = nullptr;
    QPushButton *Command4 = nullptr;
    QPushButton *Command5 = nullptr;
    QPushButton *Command6 = nullptr;
    QPushButton *Command7 = nullptr;
    QPushButton *Command8 = nullptr;
    QPushButton *Command9 = nullptr;
    QPushButton *Command10 = nullptr;
    QPushButton *Command11 = nullptr;

    tk::ClickLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label7 = nullptr;
    QLabel *Label8 = nullptr;
    QLabel *Label9 = nullptr;
    tk::ClickLabel *Label10 = nullptr;
    QLabel *Label11 = nullptr;
    QLabel *Label12 = nullptr;
    QLabel *Label13 = nullptr;

    tk::FileDialog DiyalogKutusu; // shared by Open file and Save

    // Loading
    void openFile();                          // Command1
    void dropFiles(const QStringList &paths); // files dropped onto Text1
    void showLength();                        // double-click on Label1
    void closeProgram();                      // Command2

    // Search, count and replace
    void search();         // Command4
    void removeOldText();  // Command7
    void replaceOldText(); // Command8
    void clearFileText();  // Command3
    void clearAll();       // Command5

    // Save and clipboard
    void save();      // Command6
    void copyText();  // Command9
    void cutText();   // Command10
    void pasteText(); // Command11

protected:
    bool confirmClose() override;

private:
    bool askToClose();
    void loadFile(const QString &path);
};
