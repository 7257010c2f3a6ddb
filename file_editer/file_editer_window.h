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

    QLineEdit *sourceBox, *targetBox;                     // file 1 and file 2
    QLabel *sourceLabel, *targetLabel;                    // "Dosya 1:", "Dosya 2:"
    QPushButton *browseSourceButton, *browseTargetButton; // "Ara..." each
    QPushButton *copyButton;                              // "Kopyala"
    QPushButton *renameButton;                            // "Yeniden Adlandir"
    QPushButton *deleteButton;                            // "Dosya 1'i Sil"
    tk::ClickLabel *siteLabel;
    tk::FileDialog fileDialog; // shared by both browse buttons

    QMenu *fileMenu; // "&Dosya"
    QAction *copyAction, *renameAction, *deleteAction;
    QMenu *fieldsMenu; // "&Text"
    QAction *copySourceToTargetAction, *copyTargetToSourceAction, *swapFieldsAction;
    QMenu *clearMenu; // "Te&mizle"
    QAction *clearSourceAction, *clearTargetAction, *clearAllAction;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool requiredFieldsFilled(const QStringList &fields);
    void succeeded(const QString &message);
};

} // namespace file_editer
