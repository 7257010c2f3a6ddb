// SPDX-License-Identifier: GPL-3.0-or-later
#include "diverter/diverter_window.h"

#include "core/filenames.h"
#include "diverter/batch_progress.h"
#include "diverter/file_batch.h"
#include "diverter/listing.h"
#include "toolkit/feedback.h"
#include "toolkit/site.h"
#include "toolkit/toolkit.h"

#include <QDir>

namespace diverter {

namespace {

const QString kSizeSeparator = QStringLiteral(" ");
const QString kAllFiles = QStringLiteral("*.*");
// A batch over this many files may run for a while on a slow or network file system.
constexpr qint64 kBigBatch = 2000;

} // namespace

DiverterWindow::DiverterWindow(QWidget *parent)
    : tk::ToolWindow({QStringLiteral("tarnwick's diverter"), 7815, 4890, tk::SystemColour::MenuText,
                      QStringLiteral("diverter"), false,
                      // Twenty-five controls share 521 x 326 pixels: the layout was drawn for a
                      // small type, and grows from there with the desktop's font.
                      8},
                     parent)
{
    QWidget *c = client();
    const QColor background = tk::systemColour(tk::SystemColour::MenuText);
    QPalette onBackground = c->palette();
    onBackground.setColor(QPalette::WindowText, tk::readableOn(background, Qt::white));

    auto label = [&](const QString &caption, int x, int y, int w) {
        auto *l = new QLabel(caption, c);
        l->setPalette(onBackground);
        place(l, x, y, w, 14);
        return l;
    };
    auto button = [&](const QString &caption, int x, int y, int w, int h) {
        auto *b = new QPushButton(caption, c);
        place(b, x, y, w, h);
        return b;
    };

    // Left column: the folder path, the folder list, the drive list.
    folderPathLabel = label(QStringLiteral("Aktif Klasör:"), 4, 2, 142);
    folderPathBox = new QLineEdit(c);
    place(folderPathBox, 4, 17, 142, 21);
    folderList = new FolderList(c);
    place(folderList, 4, 41, 142, 170);
    driveList = new DriveList(c);
    place(driveList, 4, 214, 142, 22);

    // Middle column: the filter, the file list and two rows of buttons.
    filterLabel = label(QStringLiteral("Filtre:"), 150, 2, 168);
    filterBox = new QLineEdit(c);
    place(filterBox, 150, 17, 168, 21);
    fileList = new FileList(c);
    place(fileList, 150, 41, 168, 139);
    copyButton = button(QStringLiteral("&Kopyala"), 150, 183, 54, 25);
    refreshButton = button(QStringLiteral("F5 "), 207, 183, 54, 25);
    appendButton = button(QStringLiteral("&Ekle"), 264, 183, 54, 25);
    resetButton = button(QStringLiteral("&Temizle"), 150, 211, 54, 25);
    sizesCheck = new QCheckBox(QStringLiteral("Boyut"), c);
    sizesCheck->setPalette(onBackground);
    place(sizesCheck, 209, 211, 54, 25);
    transferButton = button(QStringLiteral("&Aktar"), 264, 211, 54, 25);

    // Right: the big text box.
    listingBox = new tk::MultiLineBox(c, tk::MultiLineBox::ScrollBar::Vertical);
    place(listingBox, 322, 4, 195, 232);

    // Bottom row.
    oldTextLabel = label(QStringLiteral("eski:"), 4, 242, 72);
    oldTextBox = new QLineEdit(c);
    place(oldTextBox, 4, 257, 72, 24);
    newTextLabel = label(QStringLiteral("yeni:"), 80, 242, 72);
    newTextBox = new QLineEdit(c);
    place(newTextBox, 80, 257, 72, 24);
    renameButton = button(QStringLiteral("Yeniden Adlandir"), 157, 256, 100, 26);
    createButton = button(QStringLiteral("Yeni &Olustur"), 260, 256, 84, 26);
    deleteButton = button(QStringLiteral("Sil"), 347, 256, 36, 26);
    nameSeparatorLabel = label(QStringLiteral("Ayraç:"), 389, 242, 62);
    nameSeparatorBox = new tk::MultiLineBox(c);
    place(nameSeparatorBox, 389, 257, 62, 24);
    sizeSeparatorLabel = label(QStringLiteral("Ayraç:"), 455, 242, 62);
    sizeSeparatorBox = new tk::MultiLineBox(c);
    place(sizeSeparatorBox, 455, 257, 62, 24);
    siteLabel = tk::site::makeSiteLabel(c, background, tk::readableOn(background, tk::kDarkGreen));
    place(siteLabel, 157, 290, 226, 18);
    siteLabel->setAlignment(Qt::AlignCenter);

    tk::setTip(folderList, QStringLiteral("Aktif sürücünün içerigi"));
    tk::setTip(driveList, QStringLiteral("Aktif sürücü"));
    tk::setTip(fileList, QStringLiteral("Aktif klasör içerigi"));
    tk::setTip(listingBox, QStringLiteral("Büyük text dosyasi"));
    tk::setTip(transferButton,
               QStringLiteral("Aktif klasördeki dosya isimlerini büyük text dosyasina aktarir"));
    tk::setTip(copyButton, QStringLiteral("Büyük text dosyasinin içerigini kopyalar"));
    tk::setTip(filterBox, QStringLiteral("Aktif klasörü filtreler"));
    tk::setTip(appendButton,
               QStringLiteral("Aktif klasördeki dosya isimlerini büyük text dosyasina ekler"));
    tk::setTip(resetButton,
               QStringLiteral("Programda yapilmis cesitli degisiklikleri eski haline getirir"));
    tk::setTip(nameSeparatorBox, QStringLiteral("Dosya isimleri için Ayraç"));
    tk::setTip(nameSeparatorLabel, QStringLiteral("Dosya isimleri için Ayraç"));
    tk::setTip(folderPathBox, QStringLiteral("Enter'a basildiginda yazan klasöre gider"));
    tk::setTip(renameButton,
               QStringLiteral("Aktif klasör içindeki bütün eski'deki text'i içeren "
                              "dosyalardaki bu text'i yeni'deki text ile degistirerek "
                              "yeniden adlandirir"));
    tk::setTip(refreshButton, QStringLiteral("Aktif klasörün içerigini günceller"));
    tk::setTip(createButton,
               QStringLiteral("Aktif klasör içindeki bütün eski'deki text'i içeren "
                              "dosyalardaki bu text'i yeni'deki text ile degistirerek "
                              "yeni dosyalar olusturur"));
    tk::setTip(sizesCheck, QStringLiteral("Aktarilan yada eklenen dosya isimlerinin yaninda "
                                          "boyutlarinin yazmasina yarar"));
    tk::setTip(sizeSeparatorBox, QStringLiteral("Dosya boyutlari için Ayraç"));
    tk::setTip(sizeSeparatorLabel, QStringLiteral("Dosya boyutlari için Ayraç"));

    tk::nameByLabel(filterBox, filterLabel);
    tk::nameByLabel(nameSeparatorBox, nameSeparatorLabel);
    tk::nameByLabel(folderPathBox, folderPathLabel);
    tk::nameByLabel(oldTextBox, oldTextLabel);
    tk::nameByLabel(newTextBox, newTextLabel);
    tk::nameByLabel(sizeSeparatorBox, sizeSeparatorLabel);
    // The lists and the big box have no caption of their own; their role names them.
    folderList->setAccessibleName(QStringLiteral("Klasörler"));
    driveList->setAccessibleName(QStringLiteral("Sürücüler"));
    fileList->setAccessibleName(QStringLiteral("Dosyalar"));
    listingBox->setAccessibleName(QStringLiteral("Büyük text dosyasi"));

    tk::setTabChain({folderList, driveList, fileList, listingBox, transferButton, copyButton,
                     filterBox, appendButton, resetButton, nameSeparatorBox, folderPathBox,
                     renameButton, oldTextBox, newTextBox, refreshButton, createButton, sizesCheck,
                     sizeSeparatorBox, deleteButton});

    // The load: the lists start at the program's working folder, as list controls do, and the
    // file list reads it once with the pattern "*.*".
    if (!folderList->setPath(core::fs::currentFolder()))
        folderList->setPath(QStringLiteral("/"));
    driveList->setDriveOf(folderList->path());
    filterBox->setText(kAllFiles);
    fileList->setPath(folderList->path());
    folderPathBox->setText(folderList->path());
    sizeSeparatorBox->setText(kSizeSeparator);

    connect(driveList, &DriveList::changed, this, &DiverterWindow::driveChanged);
    connect(folderList, &FolderList::changed, this, &DiverterWindow::folderChanged);
    // Only Enter acts; every other key is ordinary typing.
    connect(folderPathBox, &QLineEdit::returnPressed, this, &DiverterWindow::goToTypedFolder);
    connect(filterBox, &QLineEdit::textChanged, this, &DiverterWindow::applyFilter);
    connect(transferButton, &QPushButton::clicked, this, &DiverterWindow::transferListing);
    connect(appendButton, &QPushButton::clicked, this, &DiverterWindow::appendListing);
    connect(copyButton, &QPushButton::clicked, this, &DiverterWindow::copyListing);
    connect(resetButton, &QPushButton::clicked, this, &DiverterWindow::resetFields);
    connect(renameButton, &QPushButton::clicked, this, &DiverterWindow::renameAll);
    connect(refreshButton, &QPushButton::clicked, this, &DiverterWindow::refreshFiles);
    connect(createButton, &QPushButton::clicked, this, &DiverterWindow::createAll);
    connect(deleteButton, &QPushButton::clicked, this, &DiverterWindow::deleteAll);
    folderList->setFocus();
}

void DiverterWindow::driveChanged()
{
    const tk::BusyCursor busy;
    // A drive that is not ready leaves both lists where they were; the drive list keeps
    // showing the chosen drive.
    const QString folder = driveList->currentFolder();
    if (folder.isEmpty())
        return;
    folderList->setPath(folder);
}

void DiverterWindow::folderChanged()
{
    fileList->setPath(folderList->path());
    folderPathBox->setText(folderList->path());
}

void DiverterWindow::goToTypedFolder()
{
    // Each step runs the change handler of the list it sets before the next one.
    if (!folderList->setPath(folderPathBox->text()))
        return;
    driveList->setDriveOf(folderList->path());
}

void DiverterWindow::applyFilter()
{
    fileList->setPattern(filterBox->text());
}

void DiverterWindow::refreshFiles()
{
    fileList->refresh();
}

void DiverterWindow::resetFields()
{
    listingBox->setText({});
    filterBox->setText(kAllFiles);
    nameSeparatorBox->setText({});
    folderPathBox->setText(folderList->path());
    oldTextBox->clear();
    newTextBox->clear();
    sizeSeparatorBox->setText(kSizeSeparator);
}

void DiverterWindow::writeListing(bool replace)
{
    const tk::BusyCursor busy;
    const bool withSizes = sizesCheck->isChecked();
    const QString sizeSeparator = withSizes ? sizeSeparatorBox->text() : QString();
    const QString pieces = diverter::listingPieces(
        folderList->path(), fileList->items(), nameSeparatorBox->text(), withSizes, sizeSeparator);
    if (replace)
        listingBox->setText(pieces);
    else if (!pieces.isEmpty())
        listingBox->setText(listingBox->text() + pieces);
}

void DiverterWindow::transferListing()
{
    writeListing(true);
}

void DiverterWindow::appendListing()
{
    writeListing(false);
}

void DiverterWindow::copyListing()
{
    tk::clipboardClear();
    tk::clipboardPut(listingBox->text());
}

void DiverterWindow::renameAll()
{
    const tk::BusyCursor busy;
    tk::ProgressWindow progress(this, kBigBatch, batchProgress(Batch::Rename));
    // Batches are silent: a file that could not be renamed keeps its name, and the rest go on.
    static_cast<void>(diverter::renameAll(fileList->path(), fileList->identity(), fileList->items(),
                                          oldTextBox->text(), newTextBox->text(), &progress));
    progress.tellIfCancelled();
}

void DiverterWindow::createAll()
{
    const tk::BusyCursor busy;
    tk::ProgressWindow progress(this, kBigBatch, batchProgress(Batch::Create));
    static_cast<void>(diverter::copyAll(fileList->path(), fileList->identity(), fileList->items(),
                                        oldTextBox->text(), newTextBox->text(), &progress));
    progress.tellIfCancelled();
}

void DiverterWindow::deleteAll()
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
    const tk::BusyCursor busy;
    tk::ProgressWindow progress(this, kBigBatch, batchProgress(Batch::Delete));
    static_cast<void>(
        diverter::deleteAll(fileList->path(), fileList->identity(), fileList->items(), &progress));
    progress.tellIfCancelled();
}

} // namespace diverter
