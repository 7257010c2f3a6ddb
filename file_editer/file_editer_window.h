#pragma once
// The File Editer: two path fields, and copy, rename and delete of the file they name, each as a
// button and as a menu item running the same handler; menus to copy, swap and clear the fields.

#include "toolkit/toolkit.h"
#include "toolkit/toolwindow.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include <array>

class FileEditer : public tk::ToolWindow {
    Q_OBJECT
public:
    explicit FileEditer(QWidget *parent = nullptr);

    // File operations (Command1/kopyala, Command4/yeniden, Command5/sil) and browsing.
    void copyFile();
    void renameFile();
    void deleteFile();
    void browseFile1();
    void browseFile2();

    // Field operations: the textler and temizlik menus and drops onto the fields.
    void copyText1To2();
    void copyText2To1();
    void swapTexts();
    void clearText1();
    void clearText2();
    void clearAll();
    void dropOnText1(const QStringList &paths);
    void dropOnText2(const QStringList &paths);

    QLineEdit *Text1, *Text2;
    QPushButton *Command1, *Command2, *Command3, *Command4, *Command5;
    std::array<QLabel *, 2> Label1;
    tk::ClickLabel *Label2;
    tk::FileDialog CommonDialog1;
    QMenu *dosya, *textler, *temizlik;
    QAction *kopyala, *yeniden, *sil, *copy12, *copy21, *replacetexts, *clear1, *clear2, *clearall;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool requiredFieldsFilled(const QStringList &fields);
    void succeeded(const QString &message);
};
