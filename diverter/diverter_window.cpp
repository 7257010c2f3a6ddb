// SPDX-License-Identifier: GPL-3.0-or-later
#include "diverter/diverter_window.h"

#include "core/filenames.h"
#include "diverter/batch_progress.h"
#include "diverter/batch_texts.h"
#include "diverter/file_batch.h"
#include "diverter/listing.h"
#include "toolkit/feedback.h"
#include "toolkit/site.h"
#include "toolkit/toolkit.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QKeyEvent>
#include <QShortcut>

namespace diverter {

namespace {

const QString kSizeSeparator = QStringLiteral(" ");
const QString kAllFiles = QStringLiteral("*.*");
// A batch over this many files may run for a while on a slow or network file system.
constexpr qint64 kBigBatch = 2000;

const QList<QKeySequence> &undoKeys()
{
    static const QList<QKeySequence> keys{QKeySequence(Qt::CTRL | Qt::Key_Z)};
    return keys;
}

const QList<QKeySequence> &redoKeys()
{
    static const QList<QKeySequence> keys{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                                          QKeySequence(Qt::CTRL | Qt::Key_Y)};
    return keys;
}

// A box the user types in keeps the undo and redo keys for its own text; a read-only one lets
// them through to the window.
bool editsText(QObject *object)
{
    if (auto *line = qobject_cast<QLineEdit *>(object))
        return !line->isReadOnly();
    if (auto *box = qobject_cast<tk::MultiLineBox *>(object))
        return !box->isReadOnly();
    return false;
}

} // namespace

QPalette DiverterWindow::onBackground() const
{
    const QColor background = tk::systemColour(tk::SystemColour::MenuText);
    QPalette palette = client()->palette();
    palette.setColor(QPalette::WindowText, tk::readableOn(background, Qt::white));
    return palette;
}

std::vector<tk::Control> DiverterWindow::controls()
{
    const QColor background = tk::systemColour(tk::SystemColour::MenuText);
    const QPalette onBackground = this->onBackground();
    const auto onBackgroundLabel = [onBackground](QWidget *c) {
        auto *l = new QLabel(c);
        l->setPalette(onBackground);
        return l;
    };
    const QString fileNameSeparator = QStringLiteral("Dosya isimleri için Ayraç");
    const QString sizeSeparator = QStringLiteral("Dosya boyutlari için Ayraç");
    const QString byOldAndNew = QStringLiteral("Aktif klasör içindeki bütün eski'deki text'i "
                                               "içeren dosyalardaki bu text'i yeni'deki text ile "
                                               "degistirerek ");
    return {
        // Left column: the folder path, the folder list, the drive list.
        {TK_MEMBER(folderPathLabel), .make = onBackgroundLabel,
         .caption = QStringLiteral("Aktif Klasör:"), .at = {4, 2, 142, 14}},
        {TK_MEMBER(folderPathBox), .at = {4, 17, 142, 21}, .tab = 11,
         .tip = QStringLiteral("Enter'a basildiginda yazan klasöre gider"),
         .namedBy = "folderPathLabel"},
        // The lists and the big box have no caption of their own; their role names them.
        {TK_MEMBER(folderList), .at = {4, 41, 142, 170}, .tab = 1,
         .tip = QStringLiteral("Aktif sürücünün içerigi"),
         .accessibleName = QStringLiteral("Klasörler")},
        {TK_MEMBER(driveList), .at = {4, 214, 142, 22}, .tab = 2,
         .tip = QStringLiteral("Aktif sürücü"), .accessibleName = QStringLiteral("Sürücüler")},

        // Middle column: the filter, the file list and two rows of buttons.
        {TK_MEMBER(filterLabel), .make = onBackgroundLabel, .caption = QStringLiteral("Filtre:"),
         .at = {150, 2, 168, 14}},
        {TK_MEMBER(filterBox), .at = {150, 17, 168, 21}, .tab = 7,
         .tip = QStringLiteral("Aktif klasörü filtreler"), .namedBy = "filterLabel"},
        {TK_MEMBER(fileList), .at = {150, 41, 168, 139}, .tab = 3,
         .tip = QStringLiteral("Aktif klasör içerigi"),
         .accessibleName = QStringLiteral("Dosyalar")},
        {TK_MEMBER(copyButton), .caption = QStringLiteral("&Kopyala"), .at = {150, 183, 54, 25},
         .tab = 6, .tip = QStringLiteral("Büyük text dosyasinin içerigini kopyalar")},
        {TK_MEMBER(refreshButton), .caption = QStringLiteral("F5 "), .at = {207, 183, 54, 25},
         .tab = 15, .tip = QStringLiteral("Aktif klasörün içerigini günceller")},
        {TK_MEMBER(appendButton), .caption = QStringLiteral("&Ekle"), .at = {264, 183, 54, 25},
         .tab = 8,
         .tip = QStringLiteral("Aktif klasördeki dosya isimlerini büyük text dosyasina ekler")},
        {TK_MEMBER(resetButton), .caption = QStringLiteral("&Temizle"), .at = {150, 211, 54, 25},
         .tab = 9,
         .tip = QStringLiteral("Programda yapilmis cesitli degisiklikleri eski haline getirir")},
        {TK_MEMBER(sizesCheck),
         .make =
             [onBackground](QWidget *c) {
                 auto *check = new QCheckBox(c);
                 check->setPalette(onBackground);
                 return check;
             },
         .caption = QStringLiteral("Boyut"), .at = {209, 211, 54, 25}, .tab = 17,
         .tip = QStringLiteral("Aktarilan yada eklenen dosya isimlerinin yaninda boyutlarinin "
                               "yazmasina yarar")},
        {TK_MEMBER(transferButton), .caption = QStringLiteral("&Aktar"), .at = {264, 211, 54, 25},
         .tab = 5,
         .tip = QStringLiteral("Aktif klasördeki dosya isimlerini büyük text dosyasina aktarir")},

        // Right: the big text box.
        {TK_MEMBER(listingBox),
         .make =
             [](QWidget *c) {
                 return new tk::MultiLineBox(c, tk::MultiLineBox::ScrollBar::Vertical);
             },
         .at = {322, 4, 195, 232}, .tab = 4, .tip = QStringLiteral("Büyük text dosyasi"),
         .accessibleName = QStringLiteral("Büyük text dosyasi")},

        // Bottom row.
        {TK_MEMBER(oldTextLabel), .make = onBackgroundLabel, .caption = QStringLiteral("eski:"),
         .at = {4, 242, 72, 14}},
        {TK_MEMBER(oldTextBox), .at = {4, 257, 72, 24}, .tab = 13, .namedBy = "oldTextLabel"},
        {TK_MEMBER(newTextLabel), .make = onBackgroundLabel, .caption = QStringLiteral("yeni:"),
         .at = {80, 242, 72, 14}},
        {TK_MEMBER(newTextBox), .at = {80, 257, 72, 24}, .tab = 14, .namedBy = "newTextLabel"},
        {TK_MEMBER(renameButton), .caption = QStringLiteral("Yeniden Adlandir"),
         .at = {157, 256, 100, 26}, .tab = 12,
         .tip = byOldAndNew + QStringLiteral("yeniden adlandirir")},
        {TK_MEMBER(createButton), .caption = QStringLiteral("Yeni &Olustur"),
         .at = {260, 256, 84, 26}, .tab = 16,
         .tip = byOldAndNew + QStringLiteral("yeni dosyalar olusturur")},
        {TK_MEMBER(deleteButton), .caption = QStringLiteral("Sil"), .at = {347, 256, 36, 26},
         .tab = 19},
        {TK_MEMBER(nameSeparatorLabel), .make = onBackgroundLabel,
         .caption = QStringLiteral("Ayraç:"), .at = {389, 242, 62, 14}, .tip = fileNameSeparator},
        {TK_MEMBER(nameSeparatorBox), .at = {389, 257, 62, 24}, .tab = 10, .tip = fileNameSeparator,
         .namedBy = "nameSeparatorLabel"},
        {TK_MEMBER(sizeSeparatorLabel), .make = onBackgroundLabel,
         .caption = QStringLiteral("Ayraç:"), .at = {455, 242, 62, 14}, .tip = sizeSeparator},
        {TK_MEMBER(sizeSeparatorBox), .at = {455, 257, 62, 24}, .tab = 18, .tip = sizeSeparator,
         .namedBy = "sizeSeparatorLabel"},
        {TK_MEMBER(siteLabel),
         .make =
             [background](QWidget *c) {
                 tk::ClickLabel *l = tk::site::makeSiteLabel(
                     c, background, tk::readableOn(background, tk::kDarkGreen));
                 l->setAlignment(Qt::AlignCenter);
                 return l;
             },
         .at = {157, 290, 226, 18}},
    };
}

DiverterWindow::DiverterWindow(QWidget *parent)
    : tk::ToolWindow({QStringLiteral("tarnwick's diverter"), 7815, 4890, tk::SystemColour::MenuText,
                      QStringLiteral("diverter"), false,
                      // Twenty-five controls share 521 x 326 pixels: the layout was drawn for a
                      // small type, and grows from there with the desktop's font.
                      8},
                     parent)
{
    build(controls());

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

    for (const QKeySequence &keys : undoKeys())
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &DiverterWindow::undoBatch);
    for (const QKeySequence &keys : redoKeys())
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &DiverterWindow::redoBatch);
    for (QWidget *box : client()->findChildren<QWidget *>())
        if (qobject_cast<QLineEdit *>(box) || qobject_cast<tk::MultiLineBox *>(box))
            box->installEventFilter(this);
    renameButton->installEventFilter(this);
    createButton->installEventFilter(this);
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

void DiverterWindow::runBatch(Batch kind)
{
    const tk::BusyCursor busy;
    tk::ProgressWindow progress(this, kBigBatch, batchProgress(kind));
    // Batches are silent: a file that could not be handled stays as it was, and the rest go on.
    history.add(diverter::runBatch(
        planBatch(kind, fileList->items(), oldTextBox->text(), newTextBox->text()),
        fileList->path(), fileList->identity(), &progress));
    progress.tellIfCancelled();
}

void DiverterWindow::renameAll()
{
    runBatch(Batch::Rename);
}

void DiverterWindow::createAll()
{
    runBatch(Batch::Create);
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

void DiverterWindow::previewBatch(Batch kind)
{
    const BatchPlan plan =
        planBatch(kind, fileList->items(), oldTextBox->text(), newTextBox->text());
    std::vector<Fate> fates =
        tk::whileBusy([&] { return foreseeBatch(plan, fileList->path(), fileList->identity()); });
    delete previewDialog;
    previewDialog = new BatchPreview(this, onBackground(), plan, std::move(fates));
    previewDialog->setObjectName(QStringLiteral("previewDialog"));
    previewDialog->setAttribute(Qt::WA_DeleteOnClose);
    previewDialog->open();
}

void DiverterWindow::undoBatch()
{
    replayBatch(false);
}

void DiverterWindow::redoBatch()
{
    replayBatch(true);
}

void DiverterWindow::replayBatch(bool redo)
{
    const std::optional<HistoryOffer> offer = redo ? history.redoOffer() : history.undoOffer();
    if (!offer)
        return;
    if (tk::messageBox(this, historyQuestion(*offer, redo), tk::Buttons::YesNo, tk::Icon::Question,
                       QStringLiteral("Onay"), tk::Answer::Yes) != tk::Answer::Yes)
        return;
    HistoryOutcome outcome;
    {
        const tk::BusyCursor busy;
        // İptal is told by the one message below, with the rest of what happened.
        tk::ProgressWindow progress(this, kBigBatch, historyProgress(redo));
        outcome = redo ? history.redo(&progress) : history.undo(&progress);
    }
    tk::messageBox(this, historyOutcome(outcome), tk::Buttons::Ok,
                   leftSomething(outcome) ? tk::Icon::Exclamation : tk::Icon::None, windowTitle());
}

void DiverterWindow::showBatchMenu(Batch kind, const QPoint &at, bool byKeyboard)
{
    delete batchMenu;
    batchMenu = new QMenu(this);
    batchMenu->setObjectName(QStringLiteral("batchMenu"));
    connect(batchMenu->addAction(QStringLiteral("Önizle…")), &QAction::triggered, this,
            [this, kind] { previewBatch(kind); });
    const std::optional<HistoryOffer> undo = history.undoOffer();
    QAction *undoAction = batchMenu->addAction(undoEntry(undo));
    undoAction->setEnabled(undo.has_value());
    connect(undoAction, &QAction::triggered, this, &DiverterWindow::undoBatch);
    const std::optional<HistoryOffer> redo = history.redoOffer();
    QAction *redoAction = batchMenu->addAction(redoEntry(redo));
    redoAction->setEnabled(redo.has_value());
    connect(redoAction, &QAction::triggered, this, &DiverterWindow::redoBatch);
    batchMenu->popup(at);
    // Opened from the keyboard, the menu starts on its first entry, where a screen reader reads it.
    if (byKeyboard)
        batchMenu->setActiveAction(batchMenu->actions().constFirst());
}

bool DiverterWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride && editsText(watched)) {
        const QKeySequence keys(static_cast<QKeyEvent *>(event)->keyCombination());
        if (undoKeys().contains(keys) || redoKeys().contains(keys)) {
            event->accept();
            return true;
        }
        return false;
    }
    if (watched != renameButton && watched != createButton)
        return false;
    const Batch kind = watched == renameButton ? Batch::Rename : Batch::Create;
    const auto below = [button = static_cast<QWidget *>(watched)] {
        return button->mapToGlobal(QPoint(0, button->height()));
    };
    if (event->type() == QEvent::ContextMenu) {
        const auto *menu = static_cast<QContextMenuEvent *>(event);
        const bool byMouse = menu->reason() == QContextMenuEvent::Mouse;
        showBatchMenu(kind, byMouse ? menu->globalPos() : below(), !byMouse);
        return true;
    }
    // Qt turns the Menu key into a context menu event on some platforms only, and Shift+F10
    // on none.
    if (event->type() == QEvent::KeyPress) {
        const QKeyCombination key = static_cast<QKeyEvent *>(event)->keyCombination();
        if (key == QKeyCombination(Qt::Key_Menu) ||
            key == QKeyCombination(Qt::ShiftModifier, Qt::Key_F10)) {
            showBatchMenu(kind, below(), true);
            return true;
        }
    }
    return false;
}

} // namespace diverter
