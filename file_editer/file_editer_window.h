// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The File Editer: two path fields, and copy, rename and delete of the file they name, each as a
// button and as a menu item running the same handler; menus to copy, swap and clear the fields.

#include "toolkit/toolkit.h"
#include "toolkit/toolwindow.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

namespace file_editer {

class FileEditerWindow : public tk::ToolWindow {
    Q_OBJECT
public:
    explicit FileEditerWindow(QWidget *parent = nullptr);

    // File operations, each run by a button and its menu twin, and browsing.
    void copyFile();
    void renameFile();
    void deleteFile();
    void browseSource();
    void browseTarget();

    // Field operations: the "&Text" and "Te&mizle" menus and drops onto the fields.
    void copySourceToTarget();
    void copyTargetToSource();
    void swapFields();
    void clearSource();
    void clearTarget();
    void clearAll();
    void dropOnSource(const QStringList &paths);
    void dropOnTarget(const QStringList &paths);

    // Made by the tables in controls() and menus(), each with its member's name as its object
    // name.
    QLineEdit *sourceBox = nullptr, *targetBox = nullptr;  // file 1 and file 2
    QLabel *sourceLabel = nullptr, *targetLabel = nullptr; // "Dosya 1:", "Dosya 2:"
    QPushButton *browseSourceButton = nullptr, *browseTargetButton = nullptr; // "Ara..." each
    QPushButton *copyButton = nullptr;                                        // "Kopyala"
    QPushButton *renameButton = nullptr;                                      // "Yeniden Adlandir"
    QPushButton *deleteButton = nullptr;                                      // "Dosya 1'i Sil"
    tk::ClickLabel *siteLabel = nullptr;
    tk::FileDialog fileDialog; // shared by both browse buttons

    QMenu *fileMenu = nullptr; // "&Dosya"
    QAction *copyAction = nullptr, *renameAction = nullptr, *deleteAction = nullptr;
    QMenu *fieldsMenu = nullptr; // "&Text"
    QAction *copySourceToTargetAction = nullptr, *copyTargetToSourceAction = nullptr,
            *swapFieldsAction = nullptr;
    QMenu *clearMenu = nullptr; // "Te&mizle"
    QAction *clearSourceAction = nullptr, *clearTargetAction = nullptr, *clearAllAction = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::vector<tk::Control> controls();
    std::vector<tk::Menu> menus();
    bool requiredFieldsFilled(const QStringList &fields);
    void succeeded(const QString &message);
};

} // namespace file_editer
