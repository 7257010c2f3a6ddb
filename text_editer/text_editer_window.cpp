// SPDX-License-Identifier: GPL-3.0-or-later
#include "text_editer/text_editer_window.h"

#include "text_editer/file_loader.h"
#include "text_editer/file_saver.h"
#include "text_editer/load_progress.h"
#include "text_editer/text_search.h"
#include "toolkit/feedback.h"
#include "toolkit/site.h"

#include <limits>

namespace text_editer {

namespace {
const QString kCloseQuestion = QStringLiteral("Emin misiniz?");
const QString kCloseTitle = QStringLiteral("Kapamak...");
// A file this big may take more than a moment to read from a slow disk.
constexpr qint64 kBigFileBytes = 20'000'000;
} // namespace

std::vector<tk::Control> TextEditerWindow::controls()
{
    const QColor background = tk::systemColour(tk::SystemColour::WindowFrame);
    const QColor labelText = tk::readableOn(background, Qt::white);
    const auto label = [background, labelText](QWidget *c) {
        return new tk::ClickLabel({}, c, background, labelText);
    };
    const auto answerBox = [](QWidget *c) {
        auto *e = new QLineEdit(c);
        e->setMaxLength(std::numeric_limits<int>::max());
        e->setEnabled(false);
        // Disabled, it takes no focus and no typing, but its answer must still read.
        QPalette p = e->palette();
        p.setColor(QPalette::Disabled, QPalette::Text,
                   tk::readableOn(p.color(QPalette::Disabled, QPalette::Base),
                                  p.color(QPalette::Disabled, QPalette::Text)));
        e->setPalette(p);
        return e;
    };
    const QString file = QStringLiteral("Dosya:");
    // Two "Temizle" and three "Dosya:" buttons: the label above each tells it apart.
    return {
        // Left column: the search.
        {TK_MEMBER(wordLabel), .make = label, .caption = QStringLiteral("aranacak text"),
         .at = {8, 8, 92, 16}},
        {TK_MEMBER(wordBox), .at = {8, 26, 92, 48}, .tab = 2, .namedBy = "wordLabel"},
        {TK_MEMBER(searchButton), .caption = QStringLiteral("&Arat"), .at = {8, 80, 92, 26},
         .tab = 6},
        {TK_MEMBER(foundLabel), .make = label, .caption = QStringLiteral("bulunuyor mu?"),
         .at = {8, 116, 92, 16}},
        {TK_MEMBER(foundBox), .make = answerBox, .at = {8, 134, 92, 22}, .namedBy = "foundLabel"},
        {TK_MEMBER(countLabel), .make = label, .caption = QStringLiteral("kaç tane?"),
         .at = {8, 166, 92, 16}},
        {TK_MEMBER(countBox), .make = answerBox, .at = {8, 184, 92, 22}, .namedBy = "countLabel"},

        // Middle: the file text and the clipboard row.
        {TK_MEMBER(openButton), .caption = QStringLiteral("&Dosyadan Aç..."),
         .at = {108, 8, 184, 26}, .tab = 5},
        // The big box has no label of its own; it holds the file's text.
        {TK_MEMBER(fileTextBox),
         .make =
             [](QWidget *c) {
                 return new tk::MultiLineBox(c, tk::MultiLineBox::ScrollBar::Vertical);
             },
         .at = {108, 40, 184, 212}, .tab = 1, .accessibleName = QStringLiteral("Dosya")},
        {TK_MEMBER(copyLabel), .make = label, .caption = file, .at = {108, 258, 60, 16}},
        {TK_MEMBER(cutLabel), .make = label, .caption = file, .at = {170, 258, 60, 16}},
        {TK_MEMBER(pasteLabel), .make = label, .caption = file, .at = {232, 258, 60, 16}},
        {TK_MEMBER(copyButton), .caption = QStringLiteral("&Kopyala"), .at = {108, 276, 60, 26},
         .tab = 11, .describedBy = "copyLabel"},
        {TK_MEMBER(cutButton), .caption = QStringLiteral("K&es"), .at = {170, 276, 60, 26},
         .tab = 12, .describedBy = "cutLabel"},
        {TK_MEMBER(pasteButton), .caption = QStringLiteral("Ya&pistir"), .at = {232, 276, 60, 26},
         .tab = 13, .describedBy = "pasteLabel"},

        // Right column: clearing, saving, closing.
        {TK_MEMBER(fileTextLabel), .make = label, .caption = file, .at = {300, 8, 71, 16}},
        {TK_MEMBER(clearFileTextButton), .caption = QStringLiteral("Te&mizle"),
         .at = {300, 26, 71, 26}, .tab = 7, .describedBy = "fileTextLabel"},
        {TK_MEMBER(allLabel), .make = label, .caption = QStringLiteral("Hepsi:"),
         .at = {300, 62, 71, 16}},
        {TK_MEMBER(clearAllButton), .caption = QStringLiteral("Temi&zle"), .at = {300, 80, 71, 26},
         .tab = 8, .describedBy = "allLabel"},
        {TK_MEMBER(saveLabel), .make = label, .caption = QStringLiteral("Yeni halini:"),
         .at = {300, 116, 71, 16}},
        {TK_MEMBER(saveButton), .caption = QStringLiteral("Ka&ydet"), .at = {300, 134, 71, 26},
         .tab = 9, .describedBy = "saveLabel"},
        {TK_MEMBER(programLabel), .make = label, .caption = QStringLiteral("Program:"),
         .at = {300, 170, 71, 16}},
        {TK_MEMBER(closeProgramButton), .caption = QStringLiteral("Kapa&t"),
         .at = {300, 188, 71, 26}, .tab = 10, .describedBy = "programLabel"},

        // Bottom row: removal and replacement.
        {TK_MEMBER(oldTextLabel), .make = label, .caption = QStringLiteral("eski"),
         .at = {8, 314, 100, 16}},
        {TK_MEMBER(oldTextBox), .at = {8, 332, 100, 40}, .tab = 3, .namedBy = "oldTextLabel"},
        {TK_MEMBER(removeButton), .caption = QStringLiteral("&Sil"), .at = {114, 339, 58, 26},
         .tab = 14},
        {TK_MEMBER(newTextLabel), .make = label, .caption = QStringLiteral("yeni"),
         .at = {178, 314, 110, 16}},
        {TK_MEMBER(newTextBox), .at = {178, 332, 110, 40}, .tab = 4, .namedBy = "newTextLabel"},
        {TK_MEMBER(replaceButton), .caption = QStringLiteral("Ye&rlestir"),
         .at = {294, 339, 77, 26}, .tab = 15},

        {TK_MEMBER(siteLabel),
         .make =
             [background](QWidget *c) {
                 return tk::site::makeSiteLabel(c, background,
                                                tk::readableOn(background, tk::kDarkGreen));
             },
         .at = {8, 379, 363, 16}},
    };
}

TextEditerWindow::TextEditerWindow(QWidget *parent)
    : tk::ToolWindow({QStringLiteral("tarnwick's Text Editer"), 5685, 5985,
                      tk::SystemColour::WindowFrame, QStringLiteral("texteditor"), false},
                     parent)
{
    build(controls());
    fileTextBox->setFocus();

    fileDialog.setTitle(QStringLiteral("tarnwick"));
    fileDialog.setFileType(QStringLiteral("Text(*.txt;*.doc)"),
                           {QStringLiteral("*.txt"), QStringLiteral("*.doc")});
    // Subtitles, logs and tables are text too, and need not be typed by name to be opened.
    fileDialog.addFileType(QStringLiteral("Tüm dosyalar (*)"), {QStringLiteral("*")});

    tk::acceptFileDrops(fileTextBox, [this](const QStringList &paths) { dropFiles(paths); });
    connect(wordLabel, &tk::ClickLabel::doubleClicked, this, &TextEditerWindow::showLength);
    connect(openButton, &QPushButton::clicked, this, &TextEditerWindow::openFile);
    connect(closeProgramButton, &QPushButton::clicked, this, &TextEditerWindow::closeProgram);
    connect(clearFileTextButton, &QPushButton::clicked, this, &TextEditerWindow::clearFileText);
    connect(searchButton, &QPushButton::clicked, this, &TextEditerWindow::search);
    connect(clearAllButton, &QPushButton::clicked, this, &TextEditerWindow::clearAll);
    connect(saveButton, &QPushButton::clicked, this, &TextEditerWindow::save);
    connect(removeButton, &QPushButton::clicked, this, &TextEditerWindow::removeOldText);
    connect(replaceButton, &QPushButton::clicked, this, &TextEditerWindow::replaceOldText);
    connect(copyButton, &QPushButton::clicked, this, &TextEditerWindow::copyText);
    connect(cutButton, &QPushButton::clicked, this, &TextEditerWindow::cutText);
    connect(pasteButton, &QPushButton::clicked, this, &TextEditerWindow::pasteText);
}

bool TextEditerWindow::loadFile(const QString &path, IfMissing ifMissing)
{
    const tk::BusyCursor busy;
    core::TextEncoding encoding;
    core::fs::Expected<QString> text = [&] {
        tk::ProgressWindow progress(this, kBigFileBytes, loadProgress());
        core::fs::Expected<QString> loaded = loadTextFile(path, &encoding, progress, ifMissing);
        progress.tellIfCancelled();
        return loaded;
    }();
    // A path that could not be loaded or read to its end, or a cancelled load, leaves the box
    // with its undo history, and the encoding a save writes, as they were; the loader has logged
    // why.
    if (!text)
        return false;
    m_fileEncoding = encoding;
    fileTextBox->setTextFresh(*text);
    return true;
}

void TextEditerWindow::openFile()
{
    if (!fileDialog.show(this, tk::DialogMode::Open))
        return;
    // A typed name of a missing file is a new, empty file.
    loadFile(fileDialog.fileName(), IfMissing::Create);
}

void TextEditerWindow::dropFiles(const QStringList &paths)
{
    // A drag without a file never reaches here; an empty list must not cost the box its text.
    // A dropped file that is gone is not made anew: the drop simply fails.
    // A dropped file that loaded is the one Save proposes, as one chosen in the dialog is, so
    // its text is not written over the file opened before.
    if (!paths.isEmpty() && loadFile(paths.constFirst(), IfMissing::Fail))
        fileDialog.setFileName(paths.constFirst());
}

void TextEditerWindow::showLength()
{
    tk::messageBox(this, QStringLiteral("Dosya uzunlugu: %1").arg(fileTextBox->text().size()),
                   tk::Buttons::Ok, tk::Icon::None, QStringLiteral("Text Editer"));
}

bool TextEditerWindow::askToClose()
{
    return tk::messageBox(this, kCloseQuestion, tk::Buttons::YesNo, tk::Icon::Question,
                          kCloseTitle) == tk::Answer::Yes;
}

void TextEditerWindow::closeProgram()
{
    if (askToClose())
        tk::endProgram();
}

bool TextEditerWindow::confirmClose()
{
    return askToClose();
}

void TextEditerWindow::search()
{
    const QString word = wordBox->text();
    if (word.isEmpty()) {
        tk::messageBox(this, QStringLiteral("Aranacak kelime girin"));
        return;
    }
    const tk::BusyCursor busy;
    const qsizetype occurrences =
        searchWord(fileTextBox->text(), withLineBreak(word, fileTextBox->lineBreak()));
    foundBox->setText(occurrences > 0 ? QStringLiteral("evet") : QStringLiteral("yok"));
    countBox->setText(QString::number(occurrences));
}

void TextEditerWindow::removeOldText()
{
    const tk::BusyCursor busy;
    fileTextBox->replaceAll(withLineBreak(oldTextBox->text(), fileTextBox->lineBreak()), {});
}

void TextEditerWindow::replaceOldText()
{
    const tk::BusyCursor busy;
    const QString lineBreak = fileTextBox->lineBreak();
    const QString old = withLineBreak(oldTextBox->text(), lineBreak);
    const QString replacement = withLineBreak(newTextBox->text(), lineBreak);
    fileTextBox->replaceAll(old, replacement);
}

void TextEditerWindow::clearFileText()
{
    fileTextBox->setText({});
}

void TextEditerWindow::clearAll()
{
    fileTextBox->setText({});
    wordBox->setText({});
    foundBox->clear();
    countBox->clear();
    oldTextBox->setText({});
    newTextBox->setText({});
}

void TextEditerWindow::save()
{
    if (!fileDialog.show(this, tk::DialogMode::Save))
        return;
    // A failed save says nothing and leaves the old file whole.
    const tk::BusyCursor busy;
    static_cast<void>(saveTextFile(fileDialog.fileName(), fileTextBox->text(), m_fileEncoding));
}

void TextEditerWindow::copyText()
{
    tk::clipboardClear();
    tk::clipboardPut(fileTextBox->text());
}

void TextEditerWindow::cutText()
{
    copyText();
    fileTextBox->setText({});
}

void TextEditerWindow::pasteText()
{
    fileTextBox->setText(tk::clipboardText());
}

} // namespace text_editer
