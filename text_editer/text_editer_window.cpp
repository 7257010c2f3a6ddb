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

TextEditerWindow::TextEditerWindow(QWidget *parent)
    : tk::ToolWindow({QStringLiteral("tarnwick's Text Editer"), 5685, 5985,
                      tk::SystemColour::WindowFrame, QStringLiteral("texteditor"), false},
                     parent)
{
    QWidget *c = client();
    const QColor background = tk::systemColour(tk::SystemColour::WindowFrame);
    const QColor labelText = tk::readableOn(background, Qt::white);

    auto label = [&](const QString &caption, int x, int y, int w) {
        auto *l = new tk::ClickLabel(caption, c, background, labelText);
        place(l, x, y, w, 16);
        return l;
    };
    auto button = [&](const QString &caption, int x, int y, int w, int h = 26) {
        auto *b = new QPushButton(caption, c);
        place(b, x, y, w, h);
        return b;
    };
    auto answerBox = [&](int x, int y, int w) {
        auto *e = new QLineEdit(c);
        place(e, x, y, w, 22);
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

    // Left column: the search.
    wordLabel = label(QStringLiteral("aranacak text"), 8, 8, 92);
    wordBox = new tk::MultiLineBox(c);
    place(wordBox, 8, 26, 92, 48);
    searchButton = button(QStringLiteral("&Arat"), 8, 80, 92);
    foundLabel = label(QStringLiteral("bulunuyor mu?"), 8, 116, 92);
    foundBox = answerBox(8, 134, 92);
    countLabel = label(QStringLiteral("kaç tane?"), 8, 166, 92);
    countBox = answerBox(8, 184, 92);

    // Middle: the file text and the clipboard row.
    openButton = button(QStringLiteral("&Dosyadan Aç..."), 108, 8, 184);
    fileTextBox = new tk::MultiLineBox(c, tk::MultiLineBox::ScrollBar::Vertical);
    place(fileTextBox, 108, 40, 184, 212);
    copyLabel = label(QStringLiteral("Dosya:"), 108, 258, 60);
    cutLabel = label(QStringLiteral("Dosya:"), 170, 258, 60);
    pasteLabel = label(QStringLiteral("Dosya:"), 232, 258, 60);
    copyButton = button(QStringLiteral("&Kopyala"), 108, 276, 60);
    cutButton = button(QStringLiteral("K&es"), 170, 276, 60);
    pasteButton = button(QStringLiteral("Ya&pistir"), 232, 276, 60);

    // Right column: clearing, saving, closing.
    fileTextLabel = label(QStringLiteral("Dosya:"), 300, 8, 71);
    clearFileTextButton = button(QStringLiteral("Te&mizle"), 300, 26, 71);
    allLabel = label(QStringLiteral("Hepsi:"), 300, 62, 71);
    clearAllButton = button(QStringLiteral("Temi&zle"), 300, 80, 71);
    saveLabel = label(QStringLiteral("Yeni halini:"), 300, 116, 71);
    saveButton = button(QStringLiteral("Ka&ydet"), 300, 134, 71);
    programLabel = label(QStringLiteral("Program:"), 300, 170, 71);
    closeProgramButton = button(QStringLiteral("Kapa&t"), 300, 188, 71);

    // Bottom row: removal and replacement.
    oldTextLabel = label(QStringLiteral("eski"), 8, 314, 100);
    oldTextBox = new tk::MultiLineBox(c);
    place(oldTextBox, 8, 332, 100, 40);
    removeButton = button(QStringLiteral("&Sil"), 114, 339, 58);
    newTextLabel = label(QStringLiteral("yeni"), 178, 314, 110);
    newTextBox = new tk::MultiLineBox(c);
    place(newTextBox, 178, 332, 110, 40);
    replaceButton = button(QStringLiteral("Ye&rlestir"), 294, 339, 77);

    siteLabel = tk::site::makeSiteLabel(c, background, tk::readableOn(background, tk::kDarkGreen));
    place(siteLabel, 8, 379, 363, 16);

    tk::nameByLabel(wordBox, wordLabel);
    tk::nameByLabel(foundBox, foundLabel);
    tk::nameByLabel(countBox, countLabel);
    tk::nameByLabel(oldTextBox, oldTextLabel);
    tk::nameByLabel(newTextBox, newTextLabel);
    // Two "Temizle" and three "Dosya:" buttons: the label above each tells it apart.
    tk::describeByLabel(clearFileTextButton, fileTextLabel);
    tk::describeByLabel(clearAllButton, allLabel);
    tk::describeByLabel(saveButton, saveLabel);
    tk::describeByLabel(closeProgramButton, programLabel);
    tk::describeByLabel(copyButton, copyLabel);
    tk::describeByLabel(cutButton, cutLabel);
    tk::describeByLabel(pasteButton, pasteLabel);
    // The big box has no label of its own; it holds the file's text.
    fileTextBox->setAccessibleName(QStringLiteral("Dosya"));

    tk::setTabChain({fileTextBox, wordBox, oldTextBox, newTextBox, openButton, searchButton,
                     clearFileTextButton, clearAllButton, saveButton, closeProgramButton,
                     copyButton, cutButton, pasteButton, removeButton, replaceButton});
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
