// SPDX-License-Identifier: GPL-3.0-or-later
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

private:
    std::vector<tk::Control> controls();
    void writeListing(bool replace);
};

} // namespace diverter
