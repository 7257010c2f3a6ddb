#include "text_editer/text_editer_window.h"

#include "toolkit/site.h"
#include "toolkit/textmatch.h"
#include "text_editer/file_loader.h"
#include "text_editer/file_saver.h"
#include "text_editer/text_search.h"

#include <limits>

namespace {
const QString kCloseQuestion = QStringLiteral("Emin misiniz?");
const QString kCloseTitle = QStringLiteral("Kapamak...");
} // namespace

TextEditer::TextEditer(QWidget *parent)
    : tk::ToolWindow({QStringLiteral("tarnwick's Text Editer"), 5685, 5985,
                      tk::SystemColour::WindowFrame, QStringLiteral("texteditor"), false},
                     parent)
{
    QWidget *c = client();
    const QColor background = tk::systemColour(tk::SystemColour::WindowFrame);
    const QColor labelText(Qt::white);

    auto label = [&](const QString &caption, int x, int y, int w) {
        auto *l = new tk::ClickLabel(caption, c, background, labelText);
        l->setGeometry(x, y, w, 16);
        return l;
    };
    auto button = [&](const QString &caption, int x, int y, int w, int h = 26) {
        auto *b = new QPushButton(caption, c);
        b->setGeometry(x, y, w, h);
        b->setAutoDefault(false);
        return b;
    };
    auto answerBox = [&](int x, int y, int w) {
        auto *e = new QLineEdit(c);
        e->setGeometry(x, y, w, 22);
        e->setMaxLength(std::numeric_limits<int>::max());
        e->setEnabled(false);
        return e;
    };

    // Left column: the search.
    Label1 = label(QStringLiteral("aranacak text"), 8, 8, 92);
    Text2 = new MultiLineBox(c);
    Text2->setGeometry(8, 26, 92, 48);
    Command4 = button(QStringLiteral("&Arat"), 8, 80, 92);
    Label2 = label(QStringLiteral("bulunuyor mu?"), 8, 116, 92);
    Text3 = answerBox(8, 134, 92);
    Label6 = label(QStringLiteral("kaç tane?"), 8, 166, 92);
    Text4 = answerBox(8, 184, 92);

    // Middle: the file text and the clipboard row.
    Command1 = button(QStringLiteral("&Dosyadan Aç..."), 108, 8, 184);
    Text1 = new MultiLineBox(c, MultiLineBox::ScrollBar::Vertical);
    Text1->setGeometry(108, 40, 184, 212);
    Label11 = label(QStringLiteral("Dosya:"), 108, 258, 60);
    Label12 = label(QStringLiteral("Dosya:"), 170, 258, 60);
    Label13 = label(QStringLiteral("Dosya:"), 232, 258, 60);
    Command9 = button(QStringLiteral("&Kopyala"), 108, 276, 60);
    Command10 = button(QStringLiteral("K&es"), 170, 276, 60);
    Command11 = button(QStringLiteral("Ya&pistir"), 232, 276, 60);

    // Right column: clearing, saving, closing.
    Label3 = label(QStringLiteral("Dosya:"), 300, 8, 71);
    Command3 = button(QStringLiteral("Te&mizle"), 300, 26, 71);
    Label4 = label(QStringLiteral("Hepsi:"), 300, 62, 71);
    Command5 = button(QStringLiteral("Temi&zle"), 300, 80, 71);
    Label7 = label(QStringLiteral("Yeni halini:"), 300, 116, 71);
    Command6 = button(QStringLiteral("Ka&ydet"), 300, 134, 71);
    Label5 = label(QStringLiteral("Program:"), 300, 170, 71);
    Command2 = button(QStringLiteral("Kapa&t"), 300, 188, 71);

    // Bottom row: removal and replacement.
    Label8 = label(QStringLiteral("eski"), 8, 314, 100);
    Text5 = new MultiLineBox(c);
    Text5->setGeometry(8, 332, 100, 40);
    Command7 = button(QStringLiteral("&Sil"), 114, 339, 58);
    Label9 = label(QStringLiteral("yeni"), 178, 314, 110);
    Text6 = new MultiLineBox(c);
    Text6->setGeometry(178, 332, 110, 40);
    Command8 = button(QStringLiteral("Ye&rlestir"), 294, 339, 77);

    Label10 = site::makeSiteLabel(c, background);
    Label10->setGeometry(8, 379, 363, 16);

    tk::nameByLabel(Text2, Label1);
    tk::nameByLabel(Text3, Label2);
    tk::nameByLabel(Text4, Label6);
    tk::nameByLabel(Text5, Label8);
    tk::nameByLabel(Text6, Label9);
    // The big box has no label of its own; it holds the file's text.
    Text1->setAccessibleName(QStringLiteral("Dosya"));

    tk::setTabChain({Text1, Text2, Text5, Text6, Command1, Command4, Command3, Command5, Command6,
                     Command2, Command9, Command10, Command11, Command7, Command8});
    Text1->setFocus();

    DiyalogKutusu.setTitle(QStringLiteral("tarnwick"));
    DiyalogKutusu.setFileType(QStringLiteral("Text(*.txt;*.doc)"),
                              {QStringLiteral("*.txt"), QStringLiteral("*.doc")});

    tk::acceptFileDrops(Text1, [this](const QStringList &paths) { dropFiles(paths); });
    connect(Label1, &tk::ClickLabel::doubleClicked, this, &TextEditer::showLength);
    connect(Command1, &QPushButton::clicked, this, &TextEditer::openFile);
    connect(Command2, &QPushButton::clicked, this, &TextEditer::closeProgram);
    connect(Command3, &QPushButton::clicked, this, &TextEditer::clearFileText);
    connect(Command4, &QPushButton::clicked, this, &TextEditer::search);
    connect(Command5, &QPushButton::clicked, this, &TextEditer::clearAll);
    connect(Command6, &QPushButton::clicked, this, &TextEditer::save);
    connect(Command7, &QPushButton::clicked, this, &TextEditer::removeOldText);
    connect(Command8, &QPushButton::clicked, this, &TextEditer::replaceOldText);
    connect(Command9, &QPushButton::clicked, this, &TextEditer::copyText);
    connect(Command10, &QPushButton::clicked, this, &TextEditer::cutText);
    connect(Command11, &QPushButton::clicked, this, &TextEditer::pasteText);
}

void TextEditer::loadFile(const QString &path)
{
    Text1->setText(texteditor::loadTextFile(path));
}

void TextEditer::openFile()
{
    if (!DiyalogKutusu.show(this, tk::DialogMode::Open))
        return;
    loadFile(DiyalogKutusu.fileName());
}

void TextEditer::dropFiles(const QStringList &paths)
{
    // A drag without a file never reaches here; an empty list must not cost the box its text.
    if (!paths.isEmpty())
        loadFile(paths.constFirst());
}

void TextEditer::showLength()
{
    tk::messageBox(this, QStringLiteral("Dosya uzunlugu: %1").arg(Text1->text().size()),
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
    const QString word = Text2->text();
    if (word.isEmpty()) {
        tk::messageBox(this, QStringLiteral("Aranacak kelime girin"));
        return;
    }
    const texteditor::SearchAnswer answer =
        texteditor::searchWord(Text1->text(), texteditor::withLineBreak(word, Text1->lineBreak()));
    Text3->setText(answer.found);
    Text4->setText(answer.count);
}

void TextEditer::removeOldText()
{
    const QString old = texteditor::withLineBreak(Text5->text(), Text1->lineBreak());
    Text1->setText(match::removeAll(Text1->text(), old));
}

void TextEditer::replaceOldText()
{
    const QString lineBreak = Text1->lineBreak();
    const QString old = texteditor::withLineBreak(Text5->text(), lineBreak);
    const QString replacement = texteditor::withLineBreak(Text6->text(), lineBreak);
    Text1->setText(match::replaceAll(Text1->text(), old, replacement));
}

void TextEditer::clearFileText()
{
    Text1->setText({});
}

void TextEditer::clearAll()
{
    Text1->setText({});
    Text2->setText({});
    Text3->clear();
    Text4->clear();
    Text5->setText({});
    Text6->setText({});
}

void TextEditer::save()
{
    if (!DiyalogKutusu.show(this, tk::DialogMode::Save))
        return;
    // A failed save says nothing and leaves the old file whole.
    texteditor::saveTextFile(DiyalogKutusu.fileName(), Text1->text());
}

void TextEditer::copyText()
{
    tk::clipboardClear();
    tk::clipboardPut(Text1->text());
}

void TextEditer::cutText()
{
    copyText();
    Text1->setText({});
}

void TextEditer::pasteText()
{
    Text1->setText(tk::clipboardText());
}
