#include "diverter/diverter_window.h"

#include "diverter/file_batch.h"
#include "toolkit/site.h"
#include "toolkit/toolkit.h"

#include <QDir>

namespace {

const QString kSizeSeparator = QStringLiteral(" ");
const QString kAllFiles = QStringLiteral("*.*");

} // namespace

Diverter::Diverter(QWidget *parent)
    : tk::ToolWindow({QStringLiteral("tarnwick's diverter"), 7815, 4890, tk::SystemColour::MenuText,
                      QStringLiteral("diverter"), false},
                     parent)
{
    QWidget *c = client();
    // Twenty-five controls share 521 x 326 pixels: a smaller type keeps every caption whole.
    QFont font = c->font();
    font.setPointSizeF(8);
    c->setFont(font);
    const QColor background = tk::systemColour(tk::SystemColour::MenuText);
    QPalette onBackground = c->palette();
    onBackground.setColor(QPalette::WindowText, Qt::white);

    auto label = [&](const QString &caption, int x, int y, int w) {
        auto *l = new QLabel(caption, c);
        l->setPalette(onBackground);
        l->setGeometry(x, y, w, 14);
        return l;
    };
    auto button = [&](const QString &caption, int x, int y, int w, int h) {
        auto *b = new QPushButton(caption, c);
        b->setGeometry(x, y, w, h);
        return b;
    };

    // Left column: the folder path, the folder list, the drive list.
    Label4 = label(QStringLiteral("Aktif Klasör:"), 4, 2, 142);
    Text4 = new QLineEdit(c);
    Text4->setGeometry(4, 17, 142, 21);
    Dir1 = new FolderList(c);
    Dir1->setGeometry(4, 41, 142, 170);
    Drive1 = new DriveList(c);
    Drive1->setGeometry(4, 214, 142, 22);

    // Middle column: the filter, the file list and two rows of buttons.
    Label1 = label(QStringLiteral("Filtre:"), 150, 2, 168);
    Text2 = new QLineEdit(c);
    Text2->setGeometry(150, 17, 168, 21);
    File1 = new FileList(c);
    File1->setGeometry(150, 41, 168, 139);
    Command3 = button(QStringLiteral("&Kopyala"), 150, 183, 54, 25);
    Command6 = button(QStringLiteral("F5 "), 207, 183, 54, 25);
    Command2 = button(QStringLiteral("&Ekle"), 264, 183, 54, 25);
    Command4 = button(QStringLiteral("&Temizle"), 150, 211, 54, 25);
    Check1 = new QCheckBox(QStringLiteral("Boyut"), c);
    Check1->setPalette(onBackground);
    Check1->setGeometry(209, 211, 54, 25);
    Command1 = button(QStringLiteral("&Aktar"), 264, 211, 54, 25);

    // Right: the big text box.
    Text1 = new MultiLineBox(c, MultiLineBox::ScrollBar::Vertical);
    Text1->setGeometry(322, 4, 195, 232);

    // Bottom row.
    Label5 = label(QStringLiteral("eski:"), 4, 242, 72);
    Text5 = new QLineEdit(c);
    Text5->setGeometry(4, 257, 72, 24);
    Label6 = label(QStringLiteral("yeni:"), 80, 242, 72);
    Text6 = new QLineEdit(c);
    Text6->setGeometry(80, 257, 72, 24);
    Command5 = button(QStringLiteral("Yeniden Adlandir"), 157, 256, 100, 26);
    Command7 = button(QStringLiteral("Yeni &Olustur"), 260, 256, 84, 26);
    Command8 = button(QStringLiteral("Sil"), 347, 256, 36, 26);
    Label3 = label(QStringLiteral("Ayraç:"), 389, 242, 62);
    Text3 = new MultiLineBox(c);
    Text3->setGeometry(389, 257, 62, 24);
    Label7 = label(QStringLiteral("Ayraç:"), 455, 242, 62);
    Text7 = new MultiLineBox(c);
    Text7->setGeometry(455, 257, 62, 24);
    Label2 = site::makeSiteLabel(c, background);
    Label2->setGeometry(157, 290, 226, 18);
    Label2->setAlignment(Qt::AlignCenter);

    tk::setTip(Dir1, QStringLiteral("Aktif sürücünün içerigi"));
    tk::setTip(Drive1, QStringLiteral("Aktif sürücü"));
    tk::setTip(File1, QStringLiteral("Aktif klasör içerigi"));
    tk::setTip(Text1, QStringLiteral("Büyük text dosyasi"));
    tk::setTip(Command1,
               QStringLiteral("Aktif klasördeki dosya isimlerini büyük text dosyasina aktarir"));
    tk::setTip(Command3, QStringLiteral("Büyük text dosyasinin içerigini kopyalar"));
    tk::setTip(Text2, QStringLiteral("Aktif klasörü filtreler"));
    tk::setTip(Command2,
               QStringLiteral("Aktif klasördeki dosya isimlerini büyük text dosyasina ekler"));
    tk::setTip(Command4,
               QStringLiteral("Programda yapilmis cesitli degisiklikleri eski haline getirir"));
    tk::setTip(Text3, QStringLiteral("Dosya isimleri için Ayraç"));
    tk::setTip(Label3, QStringLiteral("Dosya isimleri için Ayraç"));
    tk::setTip(Text4, QStringLiteral("Enter'a basildiginda yazan klasöre gider"));
    tk::setTip(Command5, QStringLiteral("Aktif klasör içindeki bütün eski'deki text'i içeren "
                                        "dosyalardaki bu text'i yeni'deki text ile degistirerek "
                                        "yeniden adlandirir"));
    tk::setTip(Command6, QStringLiteral("Aktif klasörün içerigini günceller"));
    tk::setTip(Command7, QStringLiteral("Aktif klasör içindeki bütün eski'deki text'i içeren "
                                        "dosyalardaki bu text'i yeni'deki text ile degistirerek "
                                        "yeni dosyalar olusturur"));
    tk::setTip(Check1, QStringLiteral("Aktarilan yada eklenen dosya isimlerinin yaninda "
                                      "boyutlarinin yazmasina yarar"));
    tk::setTip(Text7, QStringLiteral("Dosya boyutlari için Ayraç"));
    tk::setTip(Label7, QStringLiteral("Dosya boyutlari için Ayraç"));

    tk::nameByLabel(Text2, Label1);
    tk::nameByLabel(Text3, Label3);
    tk::nameByLabel(Text4, Label4);
    tk::nameByLabel(Text5, Label5);
    tk::nameByLabel(Text6, Label6);
    tk::nameByLabel(Text7, Label7);
    // The lists and the big box have no caption of their own; their role names them.
    Dir1->setAccessibleName(QStringLiteral("Klasörler"));
    Drive1->setAccessibleName(QStringLiteral("Sürücüler"));
    File1->setAccessibleName(QStringLiteral("Dosyalar"));
    Text1->setAccessibleName(QStringLiteral("Büyük text dosyasi"));

    tk::setTabChain({Dir1, Drive1, File1, Text1, Command1, Command3, Text2, Command2, Command4,
                     Text3, Text4, Command5, Text5, Text6, Command6, Command7, Check1, Text7,
                     Command8});

    // The load: the lists start at the program's working folder, as list controls do, and the
    // file list reads it once with the pattern "*.*".
    if (!Dir1->setPath(QDir::currentPath()))
        Dir1->setPath(QStringLiteral("/"));
    Drive1->setDriveOf(Dir1->path());
    Text2->setText(kAllFiles);
    File1->setPath(Dir1->path());
    Text4->setText(Dir1->path());
    Text7->setText(kSizeSeparator);

    connect(Drive1, &DriveList::changed, this, &Diverter::Drive1_Change);
    connect(Dir1, &FolderList::changed, this, &Diverter::Dir1_Change);
    connect(Text4, &QLineEdit::returnPressed, this, [this] { Text4_KeyPress(13); });
    connect(Text2, &QLineEdit::textChanged, this, &Diverter::Text2_Change);
    connect(Command1, &QPushButton::clicked, this, &Diverter::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Diverter::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Diverter::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Diverter::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Diverter::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &Diverter::Command6_Click);
    connect(Command7, &QPushButton::clicked, this, &Diverter::Command7_Click);
    connect(Command8, &QPushButton::clicked, this, &Diverter::Command8_Click);
    Dir1->setFocus();
}

void Diverter::Drive1_Change()
{
    // A drive that is not ready leaves both lists where they were; the drive list keeps
    // showing the chosen drive.
    const QString folder = Drive1->currentFolder();
    if (folder.isEmpty())
        return;
    Dir1->setPath(folder);
}

void Diverter::Dir1_Change()
{
    File1->setPath(Dir1->path());
    Text4->setText(Dir1->path());
}

void Diverter::Text4_KeyPress(int keyAscii)
{
    if (keyAscii != 13)
        return;
    // Each step runs the change handler of the list it sets before the next one.
    if (!Dir1->setPath(Text4->text()))
        return;
    Drive1->setDriveOf(Dir1->path());
}

void Diverter::Text2_Change()
{
    File1->setPattern(Text2->text());
}

void Diverter::Command6_Click()
{
    File1->refresh();
}

void Diverter::Command4_Click()
{
    Text1->setText({});
    Text2->setText(kAllFiles);
    Text3->setText({});
    Text4->setText(Dir1->path());
    Text5->clear();
    Text6->clear();
    Text7->setText(kSizeSeparator);
}

void Diverter::writeListing(bool replace)
{
    const bool withSizes = Check1->isChecked();
    const QString sizeSeparator = withSizes ? Text7->text() : QString();
    const QString pieces = diverter::listingPieces(Dir1->path(), File1->items(), Text3->text(),
                                                   withSizes, sizeSeparator);
    if (replace)
        Text1->setText(pieces);
    else if (!pieces.isEmpty())
        Text1->setText(Text1->text() + pieces);
}

void Diverter::Command1_Click()
{
    writeListing(true);
}

void Diverter::Command2_Click()
{
    writeListing(false);
}

void Diverter::Command3_Click()
{
    tk::clipboardClear();
    tk::clipboardPut(Text1->text());
}

void Diverter::Command5_Click()
{
    diverter::renameAll(Dir1->path(), File1->items(), Text5->text(), Text6->text());
}

void Diverter::Command7_Click()
{
    diverter::copyAll(Dir1->path(), File1->items(), Text5->text(), Text6->text());
}

void Diverter::Command8_Click()
{
    const QString title = QStringLiteral("Onay");
    if (tk::messageBox(this,
                       QStringLiteral("Liste kutusundaki bütün dosyalari silmek istediginizden "
                                      "emin misiniz?"),
                       tk::Buttons::YesNo, tk::Icon::Question, title,
                       tk::Answer::Yes) != tk::Answer::Yes)
        return;
    if (tk::messageBox(this,
                       QStringLiteral("Bütün bu dosyalar silinir, telafisi yoktur, yine de silmek "
                                      "istiyor musunuz?"),
                       tk::Buttons::YesNo, tk::Icon::Exclamation, title,
                       tk::Answer::Yes) != tk::Answer::Yes)
        return;
    diverter::deleteAll(Dir1->path(), File1->items());
}
