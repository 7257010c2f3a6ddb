#include "file_editer/file_editer_window.h"

#include "file_editer/file_operations.h"
#include "toolkit/fileops.h"
#include "toolkit/site.h"

#include <QKeyEvent>
#include <QMenuBar>

namespace {
const QString kCaption = QStringLiteral("tarnwick's File Editer");
}

FileEditer::FileEditer(QWidget *parent)
    : tk::ToolWindow(
          {kCaption, 6105, 2235, tk::SystemColour::MenuText, QStringLiteral("fileeditor"), true},
          parent)
{
    QWidget *c = client();
    const QColor menuText = tk::systemColour(tk::SystemColour::MenuText);

    auto field = [&](int y, const QString &caption, QLabel *&label, QLineEdit *&box,
                     QPushButton *&browse) {
        label = new tk::ClickLabel(caption, c, menuText);
        label->setGeometry(8, y, 58, 24);

        box = new QLineEdit(c);
        box->setGeometry(70, y, 240, 24);
        QPalette bp = box->palette();
        bp.setColor(QPalette::Base, tk::kDarkGreen);
        bp.setColor(QPalette::Text, menuText);
        box->setPalette(bp);
        tk::nameByLabel(box, label);
        // Menu shortcuts such as Ctrl+K must win over the field's own editing keys.
        box->installEventFilter(this);

        browse = new QPushButton(QStringLiteral("Ara..."), c);
        browse->setGeometry(318, y - 2, 81, 28);
        // Two buttons share one caption; a screen reader tells them apart by their field.
        browse->setAccessibleDescription(caption);
    };
    field(12, QStringLiteral("Dosya 1:"), Label1[0], Text1, Command2);
    field(46, QStringLiteral("Dosya 2:"), Label1[1], Text2, Command3);

    Command1 = new QPushButton(QStringLiteral("Kopyala"), c);
    Command1->setGeometry(8, 82, 127, 30);
    Command4 = new QPushButton(QStringLiteral("Yeniden Adlandir"), c);
    Command4->setGeometry(140, 82, 127, 30);
    Command5 = new QPushButton(QStringLiteral("Dosya 1'i Sil"), c);
    Command5->setGeometry(272, 82, 127, 30);

    Label2 = site::makeSiteLabel(c, tk::systemColour(tk::SystemColour::ButtonText));
    const int siteWidth = Label2->sizeHint().width();
    Label2->setGeometry((c->width() - siteWidth) / 2, 122, siteWidth, 20);

    tk::setTabChain({Text1, Text2, Command2, Command3, Command1, Command4, Command5});
    Text1->setFocus();

    dosya = menuBar()->addMenu(QStringLiteral("&Dosya"));
    kopyala = dosya->addAction(QStringLiteral("&Kopyala"));
    kopyala->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    yeniden = dosya->addAction(QStringLiteral("&Yeniden Adlandir"));
    yeniden->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y));
    sil = dosya->addAction(QStringLiteral("Dosya 1'i &Sil"));
    sil->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));

    textler = menuBar()->addMenu(QStringLiteral("&Text"));
    copy12 = textler->addAction(QStringLiteral("1'i 2'ye Kopyala"));
    copy12->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F1));
    copy21 = textler->addAction(QStringLiteral("2'yi 1'e Kopyala"));
    copy21->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F2));
    replacetexts = textler->addAction(QStringLiteral("Yerlerini Degistir"));
    replacetexts->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));

    temizlik = menuBar()->addMenu(QStringLiteral("Te&mizle"));
    clear1 = temizlik->addAction(QStringLiteral("1'i Temizle"));
    clear1->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F4));
    clear2 = temizlik->addAction(QStringLiteral("2'yi Temizle"));
    clear2->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F5));
    clearall = temizlik->addAction(QStringLiteral("Tümünü Temizle"));
    clearall->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6));

    // The controls carry their names, for accessibility tools and automated checks.
    const std::pair<QObject *, const char *> names[] = {
        {Text1, "Text1"},        {Text2, "Text2"},
        {Command1, "Command1"},  {Command2, "Command2"},
        {Command3, "Command3"},  {Command4, "Command4"},
        {Command5, "Command5"},  {Label1[0], "Label1_0"},
        {Label1[1], "Label1_1"}, {Label2, "Label2"},
        {dosya, "dosya"},        {kopyala, "kopyala"},
        {yeniden, "yeniden"},    {sil, "sil"},
        {textler, "textler"},    {copy12, "copy12"},
        {copy21, "copy21"},      {replacetexts, "replacetexts"},
        {temizlik, "temizlik"},  {clear1, "clear1"},
        {clear2, "clear2"},      {clearall, "clearall"}};
    for (const auto &[object, name] : names)
        object->setObjectName(QLatin1String(name));

    connect(Command1, &QPushButton::clicked, this, &FileEditer::copyFile);
    connect(kopyala, &QAction::triggered, this, &FileEditer::copyFile);
    connect(Command4, &QPushButton::clicked, this, &FileEditer::renameFile);
    connect(yeniden, &QAction::triggered, this, &FileEditer::renameFile);
    connect(Command5, &QPushButton::clicked, this, &FileEditer::deleteFile);
    connect(sil, &QAction::triggered, this, &FileEditer::deleteFile);
    connect(Command2, &QPushButton::clicked, this, &FileEditer::browseFile1);
    connect(Command3, &QPushButton::clicked, this, &FileEditer::browseFile2);
    connect(copy12, &QAction::triggered, this, &FileEditer::copyText1To2);
    connect(copy21, &QAction::triggered, this, &FileEditer::copyText2To1);
    connect(replacetexts, &QAction::triggered, this, &FileEditer::swapTexts);
    connect(clear1, &QAction::triggered, this, &FileEditer::clearText1);
    connect(clear2, &QAction::triggered, this, &FileEditer::clearText2);
    connect(clearall, &QAction::triggered, this, &FileEditer::clearAll);
    tk::acceptFileDrops(Text1, [this](const QStringList &paths) { dropOnText1(paths); });
    tk::acceptFileDrops(Text2, [this](const QStringList &paths) { dropOnText2(paths); });
}

bool FileEditer::requiredFieldsFilled(const QStringList &fields)
{
    if (fileediter::fieldsFilled(fields))
        return true;
    tk::messageBox(this, QStringLiteral("Gerekli yerleri doldur"), tk::Buttons::Ok, tk::Icon::None,
                   QStringLiteral("Hata"));
    return false;
}

void FileEditer::succeeded(const QString &message)
{
    tk::messageBox(this, message, tk::Buttons::Ok, tk::Icon::None, kCaption);
}

void FileEditer::copyFile()
{
    const QString source = Text1->text();
    const QString target = Text2->text();
    if (!requiredFieldsFilled({source, target}))
        return;
    if (fsops::copyFile(source, target))
        succeeded(QStringLiteral("Basariyla Kopyalandi!"));
}

void FileEditer::renameFile()
{
    const QString from = Text1->text();
    const QString to = Text2->text();
    if (!requiredFieldsFilled({from, to}))
        return;
    if (fsops::renameNoReplace(from, to))
        succeeded(QStringLiteral("Basariyla Yeniden Adlandirildi!"));
}

void FileEditer::deleteFile()
{
    const QString path = Text1->text();
    if (!requiredFieldsFilled({path}))
        return;
    if (fileediter::deleteFiles(path))
        succeeded(QStringLiteral("Basariyla Silindi!"));
}

void FileEditer::browseFile1()
{
    // The field takes the dialog's remembered name even on a cancel: the last path chosen
    // through either button, or nothing before the first choice.
    CommonDialog1.show(this, tk::DialogMode::Open);
    Text1->setText(CommonDialog1.fileName());
}

void FileEditer::browseFile2()
{
    CommonDialog1.show(this, tk::DialogMode::Open);
    Text2->setText(CommonDialog1.fileName());
}

void FileEditer::copyText1To2()
{
    Text2->setText(Text1->text());
}

void FileEditer::copyText2To1()
{
    Text1->setText(Text2->text());
}

void FileEditer::swapTexts()
{
    const QString kept = Text1->text();
    Text1->setText(Text2->text());
    Text2->setText(kept);
}

void FileEditer::clearText1()
{
    Text1->clear();
}

void FileEditer::clearText2()
{
    Text2->clear();
}

void FileEditer::clearAll()
{
    Text1->clear();
    Text2->clear();
}

void FileEditer::dropOnText1(const QStringList &paths)
{
    if (!paths.isEmpty())
        Text1->setText(paths.constFirst());
}

void FileEditer::dropOnText2(const QStringList &paths)
{
    if (!paths.isEmpty())
        Text2->setText(paths.constFirst());
}

bool FileEditer::eventFilter(QObject *watched, QEvent *event)
{
    // A line edit claims keys such as Ctrl+K (delete to end of line) and Ctrl+Y (redo) before
    // any shortcut sees them; in this window those keys belong to the menus.
    if (event->type() == QEvent::ShortcutOverride && (watched == Text1 || watched == Text2)) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QKeySequence pressed(key->keyCombination());
        for (QAction *action :
             {kopyala, yeniden, sil, copy12, copy21, replacetexts, clear1, clear2, clearall}) {
            if (action->shortcut().matches(pressed) == QKeySequence::ExactMatch) {
                event->ignore();
                return true;
            }
        }
    }
    return tk::ToolWindow::eventFilter(watched, event);
}
