// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Diverter: a drive list, a folder list and the file list of the active folder, and the
// operations on the listed files: the listing text with optional sizes, its copy to the
// clipboard, the batch rename and create by text replacement, and the bulk delete. The renames
// and creates are kept while the window is open, to be taken back (Ctrl+Z) and done again
// (Ctrl+Shift+Z, Ctrl+Y); the two buttons' menus preview a batch and offer the same.

#include "diverter/batch_history.h"
#include "diverter/batch_preview.h"
#include "diverter/list_controls.h"
#include "toolkit/textbox.h"
#include "toolkit/toolwindow.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>

namespace diverter {

class DiverterWindow : public tk::ToolWindow {
    Q_OBJECT
public:
    explicit DiverterWindow(QWidget *parent = nullptr);

    // Made by the table in controls(), each with its member's name as its object name.
    FolderList *folderList = nullptr;
    DriveList *driveList = nullptr;
    FileList *fileList = nullptr;
    tk::MultiLineBox *listingBox = nullptr, *nameSeparatorBox = nullptr,
                     *sizeSeparatorBox = nullptr;
    QLineEdit *filterBox = nullptr, *folderPathBox = nullptr, *oldTextBox = nullptr,
              *newTextBox = nullptr;
    QPushButton *transferButton = nullptr, *appendButton = nullptr, *copyButton = nullptr,
                *resetButton = nullptr, *renameButton = nullptr, *refreshButton = nullptr,
                *createButton = nullptr, *deleteButton = nullptr;
    QCheckBox *sizesCheck = nullptr;
    QLabel *filterLabel = nullptr, *nameSeparatorLabel = nullptr, *folderPathLabel = nullptr,
           *oldTextLabel = nullptr, *newTextLabel = nullptr, *sizeSeparatorLabel = nullptr;
    tk::ClickLabel *siteLabel = nullptr;

    // Navigation.
    void driveChanged();
    void folderChanged();
    void goToTypedFolder(); // Enter in the folder path box
    void applyFilter();     // every change of the filter box
    void refreshFiles();    // "F5 "
    void resetFields();     // "&Temizle"

    // Listing text.
    void transferListing(); // "&Aktar"
    void appendListing();   // "&Ekle"
    void copyListing();     // "&Kopyala"

    void renameAll(); // "Yeniden Adlandir"
    void createAll(); // "Yeni &Olustur"
    void deleteAll(); // "Sil"

    // The batches above, newest last.
    BatchHistory history;
    void previewBatch(Batch kind); // "Önizle…" in a button's menu
    void undoBatch();              // Ctrl+Z, "Geri al"
    void redoBatch();              // Ctrl+Shift+Z, Ctrl+Y, "Yinele"
    // The menu of renameButton or createButton shown last, and the preview open now; a new one
    // takes the place of the old.
    QPointer<QMenu> batchMenu;
    QPointer<BatchPreview> previewDialog;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::vector<tk::Control> controls();
    QPalette onBackground() const;
    void showBatchMenu(Batch kind, const QPoint &at, bool byKeyboard);
    void replayBatch(bool redo);
    void runBatch(Batch kind);
    void writeListing(bool replace);
};

} // namespace diverter
