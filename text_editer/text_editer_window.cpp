#include "text_editer/text_editer_window.h"

#include "text_editer/file_loader.h"
#include "text_editer/file_saver.h"
#include "text_editer/text_search.h"
#include "toolkit/feedback.h"
#include "toolkit/site.h"
#include "core/textmatch.h"

#include <limits>

namespace {
const QString kCloseQuestion = QStringLiteral("Emin misiniz?");
const QString kCloseTitle = QStringLiteral("Kapamak...");
// A file this big may take more than a moment to read from a slow disk.
constexpr qint64 kBigFileBytes = 20'000'000;
} // namespace

TextEditer::TextEditer(QWidget *parent)
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
    wordBox = new MultiLineBox(c);
    place(wordBox, 8, 26, 92, 48);
    searchButton = button(QStringLiteral("&Arat"), 8, 80, 92);
    foundLabel = label(QStringLiteral("bulunuyor mu?"), 8, 116, 92);
    foundBox = answerBox(8, 134, 92);
    countLabel = label(QStringLiteral("kaç tane?"), 8, 166, 92);
    countBox = answerBox(8, 184, 92);

    // Middle: the file text and the clipboard row.
    openButton = button(QStringLiteral("&Dosyadan Aç..."), 108, 8, 184);
    fileTextBox = new MultiLineBox(c, MultiLineBox::ScrollBar::Vertical);
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
    oldTextBox = new MultiLineBox(c);
    place(oldTextBox, 8, 332, 100, 40);
    removeButton = button(QStringLiteral("&Sil"), 114, 339, 58);
    newTextLabel = label(QStringLiteral("yeni"), 178, 314, 110);
    newTextBox = new MultiLineBox(c);
    place(newTextBox, 178, 332, 110, 40);
    replaceButton = button(QStringLiteral("Ye&rlestir"), 294, 339, 77);

    siteLabel = site::makeSiteLabel(c, background, tk::readableOn(background, tk::kDarkGreen));
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

    tk::acceptFileDrops(fileTextBox, [this](const QStringList &paths) { dropFiles(paths); });
    connect(wordLabel, &tk::ClickLabel::doubleClicked, this, &TextEditer::showLength);
    connect(openButton, &QPushButton::clicked, this, &TextEditer::openFile);
    connect(closeProgramButton, &QPushButton::clicked, this, &TextEditer::closeProgram);
    connect(clearFileTextButton, &QPushButton::clicked, this, &TextEditer::clearFileText);
    connect(searchButton, &QPushButton::clicked, this, &TextEditer::search);
    connect(clearAllButton, &QPushButton::clicked, this, &TextEditer::clearAll);
    connect(saveButton, &QPushButton::clicked, this, &TextEditer::save);
    connect(removeButton, &QPushButton::clicked, this, &TextEditer::removeOldText);
    connect(replaceButton, &QPushButton::clicked, this, &TextEditer::replaceOldText);
    connect(copyButton, &QPushButton::clicked, this, &TextEditer::copyText);
    connect(cutButton, &QPushButton::clicked, this, &TextEditer::cutText);
    connect(pasteButton, &QPushButton::clicked, this, &TextEditer::pasteText);
}

void TextEditer::loadFile(const QString &path)
{
    const tk::BusyCursor busy;
    TextEncoding encoding;
    std::optional<QString> text;
    {
        tk::ProgressWindow progress(this, kBigFileBytes);
        text = texteditor::loadTextFile(path, &encoding, progress);
    }
    // A cancelled load leaves the box, and the encoding a save writes, as they were.
    if (!text)
        return;
    m_fileEncoding = encoding;
    fileTextBox->setTextFresh(*text);
}

void TextEditer::openFile()
{
    if (!fileDialog.show(this, tk::DialogMode::Open))
        return;
    loadFile(fileDialog.fileName());
}

void TextEditer::dropFiles(const QStringList &paths)
{
    // A drag without a file never reaches here; an empty list must not cost the box its text.
    if (!paths.isEmpty())
        loadFile(paths.constFirst());
}

void TextEditer::showLength()
{
    tk::messageBox(this, QStringLiteral("Dosya uzunlugu: %1").arg(fileTextBox->text().size()),
                   tk::Buttons::Ok, tk::Icon::None, QStringLiteral("Text Editer"));
}

bool TextEditer::askToClose()
{
    return tk::messageBox(this, kCloseQuestion, tk::Buttons::YesNo, tk::Icon::Question,
                          kCloseTitle) == tk::Answer::Yes;
}

void TextEditer::closeProgram()
{
    if (askToClose())
        tk::endProgram();
}

bool TextEditer::confirmClose()
{
    return askToClose();
}

void TextEditer::search()
{
    const QString word = wordBox->text();
    if (word.isEmpty()) {
        tk::messageBox(this, QStringLiteral("Aranacak kelime girin"));
        return;
    }
    const tk::BusyCursor busy;
    const texteditor::SearchAnswer answer = texteditor::searchWord(
        fileTextBox->text(), texteditor::withLineBreak(word, fileTextBox->lineBreak()));
    foundBox->setText(answer.found);
    countBox->setText(answer.count);
}

void TextEditer::removeOldText()
{
    const tk::BusyCursor busy;
    const QString old = texteditor::withLineBreak(oldTextBox->text(), fileTextBox->lineBreak());
    fileTextBox->setText(match::removeAll(fileTextBox->text(), old));
}

void TextEditer::replaceOldText()
{
    const tk::BusyCursor busy;
    const QString lineBreak = fileTextBox->lineBreak();
    const QString old = texteditor::withLineBreak(oldTextBox->text(), lineBreak);
    const QString replacement = texteditor::withLineBreak(newTextBox->text(), lineBreak);
    fileTextBox->setText(match::replaceAll(fileTextBox->text(), old, replacement));
}

void TextEditer::clearFileText()
{
    fileTextBox->setText({});
}

void TextEditer::clearAll()
{
    fileTextBox->setText({});
    wordBox->setText({});
    foundBox->clear();
    countBox->clear();
    oldTextBox->setText({});
    newTextBox->setText({});
}

void TextEditer::save()
{
    if (!fileDialog.show(this, tk::DialogMode::Save))
        return;
    // A failed save says nothing and leaves the old file whole.
    const tk::BusyCursor busy;
    texteditor::saveTextFile(fileDialog.fileName(), fileTextBox->text(), m_fileEncoding);
}

void TextEditer::copyText()
{
    tk::clipboardClear();
    tk::clipboardPut(fileTextBox->text());
}

void TextEditer::cutText()
{
    copyText();
    fileTextBox->setText({});
}

void TextEditer::pasteText()
{
    fileTextBox->setText(tk::clipboardText());
}
