// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Text Editer: one text file in a big box, with search, count, removal and replacement,
// saving, and moves of the whole text through the clipboard. Each handler is public, so a click,
// a drop and a test all run the same steps.

#include "core/textcodec.h"
#include "text_editer/file_loader.h"
#include "toolkit/textbox.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolwindow.h"

#include <QLineEdit>
#include <QPushButton>

namespace text_editer {

class TextEditerWindow : public tk::ToolWindow {
    Q_OBJECT
public:
    explicit TextEditerWindow(QWidget *parent = nullptr);

    // Made by the table in controls(), each with its member's name as its object name.
    tk::MultiLineBox *fileTextBox = nullptr; // the file text
    tk::MultiLineBox *wordBox = nullptr;     // the word to search for
    QLineEdit *foundBox = nullptr;           // "evet" or "yok"
    QLineEdit *countBox = nullptr;           // how many times
    tk::MultiLineBox *oldTextBox = nullptr;
    tk::MultiLineBox *newTextBox = nullptr;

    QPushButton *openButton = nullptr;          // "&Dosyadan Aç..."
    QPushButton *closeProgramButton = nullptr;  // "Kapa&t"
    QPushButton *clearFileTextButton = nullptr; // "Te&mizle" under "Dosya:"
    QPushButton *searchButton = nullptr;        // "&Arat"
    QPushButton *clearAllButton = nullptr;      // "Temi&zle" under "Hepsi:"
    QPushButton *saveButton = nullptr;          // "Ka&ydet"
    QPushButton *removeButton = nullptr;        // "&Sil"
    QPushButton *replaceButton = nullptr;       // "Ye&rlestir"
    QPushButton *copyButton = nullptr;          // "&Kopyala"
    QPushButton *cutButton = nullptr;           // "K&es"
    QPushButton *pasteButton = nullptr;         // "Ya&pistir"

    tk::ClickLabel *wordLabel = nullptr; // "aranacak text"; a double-click shows the length
    QLabel *foundLabel = nullptr;        // "bulunuyor mu?"
    QLabel *fileTextLabel = nullptr;     // "Dosya:" above the clear-file-text button
    QLabel *allLabel = nullptr;          // "Hepsi:"
    QLabel *programLabel = nullptr;      // "Program:"
    QLabel *countLabel = nullptr;        // "kaç tane?"
    QLabel *saveLabel = nullptr;         // "Yeni halini:"
    QLabel *oldTextLabel = nullptr;      // "eski"
    QLabel *newTextLabel = nullptr;      // "yeni"
    tk::ClickLabel *siteLabel = nullptr;
    QLabel *copyLabel = nullptr; // "Dosya:" above each clipboard button
    QLabel *cutLabel = nullptr;
    QLabel *pasteLabel = nullptr;

    tk::FileDialog fileDialog; // shared by Open file and Save

    // Loading
    void openFile();
    void dropFiles(const QStringList &paths); // files dropped onto the file text box
    void showLength();
    void closeProgram();

    // Search, count and replace
    void search();
    void removeOldText();
    void replaceOldText();
    void clearFileText();
    void clearAll();

    // Save and clipboard
    void save();
    void copyText();
    void cutText();
    void pasteText();

protected:
    bool confirmClose() override;

private:
    std::vector<tk::Control> controls();
    bool askToClose();
    // False when the path could not be loaded or the load was cancelled.
    bool loadFile(const QString &path, IfMissing ifMissing);

    // The encoding of the file loaded last, in which a save writes (docs/platform.md).
    core::TextEncoding m_fileEncoding = core::TextEncoding::Utf8;
};

} // namespace text_editer
