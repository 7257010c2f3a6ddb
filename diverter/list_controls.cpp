// SPDX-License-Identifier: GPL-3.0-or-later
#include "diverter/list_controls.h"

#include "core/filenames.h"
#include "diverter/folder_reading.h"
#include "toolkit/feedback.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>

#include <iterator>

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
            static const QIcon drive = rowIcon(RowIcon::Drive);
            static const QIcon open = rowIcon(RowIcon::OpenFolder);
            static const QIcon closed = rowIcon(RowIcon::ClosedFolder);
            return row.depth == 0 ? drive : row.open ? open : closed;
        }
        case DepthRole: return row.depth;
        default: return {};
        }
    }
    static constexpr int DepthRole = Qt::UserRole + 1;

private:
    enum class RowIcon { Drive, OpenFolder, ClosedFolder };

    // The desktop's icon theme where it has the icon; else the style's, where it is drawn for a
    // high-density screen too. Without a theme the style hands over its 16 px picture alone, which
    // a screen at scale 2 enlarges into a blur, so the list draws its own at 16 and 32 px then.
    static QIcon rowIcon(RowIcon kind)
    {
        static constexpr const char *kThemeNames[] = {"drive-harddisk", "folder-open", "folder"};
        static constexpr QStyle::StandardPixmap kStandard[] = {
            QStyle::SP_DriveHDIcon, QStyle::SP_DirOpenIcon, QStyle::SP_DirClosedIcon};
        const size_t k = size_t(kind);
        if (QIcon themed = QIcon::fromTheme(QLatin1String(kThemeNames[k])); !themed.isNull())
            return themed;
        const QIcon styled = QApplication::style()->standardIcon(kStandard[k]);
        if (!styled.isNull() && styled.pixmap(QSize(16, 16), 2.0).width() >= 32)
            return styled;
        QIcon drawn;
        for (int size : {16, 32})
            drawn.addPixmap(drawnIcon(kind, size));
        return drawn;
    }

    // A drive as a grey box with a green light, a folder as a yellow one with a tab, open with
    // its front leaning forward; drawn on a 16-unit grid, with outlines one device pixel wide.
    static QPixmap drawnIcon(RowIcon kind, int size)
    {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal u = size / 16.0;
        const auto at = [u](qreal x, qreal y) { return QPointF(x * u + 0.5, y * u + 0.5); };
        const auto outline = [](QColor colour) {
            QPen pen(colour, 1);
            pen.setCosmetic(true);
            pen.setJoinStyle(Qt::MiterJoin);
            return pen;
        };
        const QColor folderEdge(0x9a, 0x73, 0x16);
        if (kind == RowIcon::Drive) {
            p.setPen(outline(QColor(0x55, 0x57, 0x5c)));
            p.setBrush(QColor(0xc8, 0xcb, 0xd0));
            p.drawRect(QRectF(at(1, 5), at(15, 11)));
            p.setPen(outline(QColor(0x8a, 0x8d, 0x93)));
            p.drawLine(at(3, 8), at(9, 8));
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x3c, 0xb3, 0x4a));
            p.drawEllipse(at(12, 8), 1.2 * u, 1.2 * u);
            return pixmap;
        }
        // The back, with its tab.
        p.setPen(outline(folderEdge));
        p.setBrush(kind == RowIcon::OpenFolder ? QColor(0xd9, 0xa8, 0x2b)
                                               : QColor(0xf2, 0xc9, 0x4c));
        const QPointF back[] = {at(1, 3), at(6, 3), at(7, 4.5), at(15, 4.5), at(15, 13), at(1, 13)};
        p.drawPolygon(back, int(std::size(back)));
        if (kind == RowIcon::OpenFolder) {
            p.setBrush(QColor(0xf7, 0xd8, 0x73));
            const QPointF front[] = {at(3.5, 7), at(15.5, 7), at(13, 13), at(1, 13)};
            p.drawPolygon(front, int(std::size(front)));
        }
        return pixmap;
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
