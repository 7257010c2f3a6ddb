// SPDX-License-Identifier: GPL-3.0-or-later
#include "diverter/list_controls.h"

#include "core/filenames.h"
#include "diverter/folder_reading.h"
#include "toolkit/feedback.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>

namespace diverter {

void NameListModel::setNames(QStringList names)
{
    beginResetModel();
    m_names = std::move(names);
    endResetModel();
}

int NameListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_names.size());
}

QVariant NameListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_names.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return core::fs::forDisplay(m_names[index.row()]);
    return {};
}

// ---------------------------------------------------------------------------------------------

namespace {
// On Linux Qt names a combo box by its current text, so the drive list would be announced as
// "/". It keeps its own name, "Sürücüler", and reports the drive as its value.
class DriveListAccessible : public QAccessibleWidget {
public:
    explicit DriveListAccessible(QWidget *list) : QAccessibleWidget(list, QAccessible::ComboBox) {}
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return static_cast<QComboBox *>(widget())->currentText();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface *driveListAccessible(const QString &, QObject *object)
{
    if (auto *list = qobject_cast<DriveList *>(object))
        return new DriveListAccessible(list);
    return nullptr;
}
} // namespace

DriveList::DriveList(QWidget *parent)
    : QComboBox(parent), m_source([] { return drives::mountedDrives(); })
{
    static const bool accessibleInstalled =
        (QAccessible::installFactory(driveListAccessible), true);
    Q_UNUSED(accessibleInstalled);
    connect(this, &QComboBox::currentIndexChanged, this, [this] {
        if (QAccessible::isActive()) {
            QAccessibleValueChangeEvent event(this, currentText());
            QAccessible::updateAccessibility(&event);
        }
        if (!m_quiet)
            emit changed();
    });
    reload();
}

void DriveList::setMountSource(MountSource source)
{
    m_source = std::move(source);
    reload();
}

void DriveList::reload()
{
    const QString selected = drive();
    m_quiet = true;
    m_drives = m_source();
    clear();
    for (const drives::Mount &mount : m_drives)
        addItem(drives::displayName(mount));
    // A drive that has gone is replaced by the one that now holds its path.
    int index =
        drives::driveIndexOf(m_drives, selected.isEmpty() ? core::fs::currentFolder() : selected);
    setCurrentIndex(index < 0 ? 0 : index);
    m_quiet = false;
}

QString DriveList::drive() const
{
    const int index = currentIndex();
    return index >= 0 && index < m_drives.size() ? m_drives[index].path : QString();
}

void DriveList::setDriveOf(const QString &path)
{
    const int index = drives::driveIndexOf(m_drives, path);
    if (index >= 0)
        setCurrentIndex(index); // raises changed() only when the drive differs
}

QString DriveList::currentFolder() const
{
    const int index = currentIndex();
    if (index < 0 || index >= m_drives.size() || !drives::isReady(m_drives[index], m_source()))
        return {};
    return drives::currentFolderOf(m_drives, index, core::fs::currentFolder());
}

void DriveList::showPopup()
{
    // Media come and go: the list is read again each time the user opens it.
    reload();
    QComboBox::showPopup();
}

// ---------------------------------------------------------------------------------------------

// Rows of the folder list: the chain from the root to the active folder (open folders, each one
// step further in), then the active folder's subfolders one step further still.
class FolderList::Model : public QAbstractListModel {
public:
    struct Row {
        QString name;
        QString path;
        int depth;
        bool open;
    };
    using QAbstractListModel::QAbstractListModel;

    void setRows(std::vector<Row> rows)
    {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
    }
    const std::vector<Row> &rows() const { return m_rows; }
    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_rows.size());
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || size_t(index.row()) >= m_rows.size())
            return {};
        const Row &row = m_rows[size_t(index.row())];
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole: return core::fs::forDisplay(row.name);
        case Qt::ToolTipRole: return core::fs::forDisplay(row.path);
        case Qt::DecorationRole: {
            static const QIcon drive = styleIcon(QStyle::SP_DriveHDIcon, "harddrive");
            static const QIcon open = styleIcon(QStyle::SP_DirOpenIcon, "diropen");
            static const QIcon closed = styleIcon(QStyle::SP_DirClosedIcon, "dirclosed");
            return row.depth == 0 ? drive : row.open ? open : closed;
        }
        case DepthRole: return row.depth;
        default: return {};
        }
    }
    static constexpr int DepthRole = Qt::UserRole + 1;

private:
    // The style's icon hands over its 16 px picture alone, which a high-density screen enlarges
    // into a blur; Qt keeps the same picture at 32 and 128 px, which are taken where present.
    static QIcon styleIcon(QStyle::StandardPixmap which, const char *name)
    {
        QIcon icon;
        for (int size : {16, 32, 128}) {
            const QPixmap pixmap(
                QStringLiteral(":/qt-project.org/styles/commonstyle/images/%1-%2.png")
                    .arg(QLatin1String(name))
                    .arg(size));
            if (!pixmap.isNull())
                icon.addPixmap(pixmap);
        }
        return icon.isNull() ? QApplication::style()->standardIcon(which) : icon;
    }

    std::vector<Row> m_rows;
};

namespace {

class IndentDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    static constexpr int kStep = 8;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyleOptionViewItem shifted = option;
        shifted.rect.setLeft(option.rect.left() + depth(index) * kStep);
        QStyledItemDelegate::paint(painter, shifted, index);
    }
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const QSize size = QStyledItemDelegate::sizeHint(option, index);
        return {size.width() + depth(index) * kStep, size.height()};
    }

private:
    static int depth(const QModelIndex &index) { return index.data(Qt::UserRole + 1).toInt(); }
};

} // namespace

FolderList::FolderList(QWidget *parent) : QListView(parent), m_model(new Model(this))
{
    setModel(m_model);
    setItemDelegate(new IndentDelegate(this));
    setEditTriggers(NoEditTriggers);
    setUniformItemSizes(true);
    connect(this, &QListView::activated, this,
            [this](const QModelIndex &index) { openRow(index.row()); });
}

bool FolderList::setPath(const QString &typed)
{
    // Reading a folder may take a while: every caller, the user's click or a handler, shows it.
    const tk::BusyCursor busy;
    const QString folder = folders::resolveFolder(typed, core::fs::currentFolder());
    if (folder.isEmpty())
        return false;
    m_path = folder;
    std::vector<Model::Row> rows;
    const QStringList chain = folders::chainOf(folder);
    for (int i = 0; i < chain.size(); ++i) {
        const QString name = i == 0 ? chain[i] : chain[i].mid(chain[i].lastIndexOf(u'/') + 1);
        rows.push_back({name, chain[i], i, true});
    }
    const QString prefix = folder == u"/" ? folder : folder + u'/';
    for (const QString &name : folders::subfolderNames(folder))
        rows.push_back({name, prefix + name, int(chain.size()), false});
    m_model->setRows(std::move(rows));
    setCurrentIndex(m_model->index(int(chain.size()) - 1));
    emit changed();
    return true;
}

QStringList FolderList::rowPaths() const
{
    QStringList paths;
    for (const Model::Row &row : m_model->rows())
        paths << row.path;
    return paths;
}

void FolderList::openRow(int row)
{
    if (row >= 0 && size_t(row) < m_model->rows().size())
        setPath(m_model->rows()[size_t(row)].path);
}

// ---------------------------------------------------------------------------------------------

FileList::FileList(QWidget *parent) : QListView(parent), m_model(new NameListModel(this))
{
    setModel(m_model);
    setEditTriggers(NoEditTriggers);
    setUniformItemSizes(true);
}

void FileList::setPath(const QString &folder)
{
    m_path = folder;
    refresh();
}

void FileList::setPattern(const QString &pattern)
{
    m_pattern = pattern;
    refresh();
}

void FileList::refresh()
{
    const tk::BusyCursor busy;
    m_identity = {};
    m_model->setNames(m_path.isEmpty() ? QStringList()
                                       : folders::fileNames(m_path, m_pattern, &m_identity));
}

} // namespace diverter
