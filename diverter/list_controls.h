// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The drive, folder and file lists of the Diverter. All three are synchronous: setting a path,
// a drive or a pattern reads the file system at once, and the change signal of the drive and
// folder lists is raised before the setter returns, exactly as for a user's choice. Only the
// mounts themselves are asked through workers (drives.h), so a dead one holds the window up for
// a second at most.

#include "diverter/drives.h"
#include "diverter/folder_reading.h"

#include <QAbstractListModel>
#include <QComboBox>
#include <QListView>

#include <functional>
#include <vector>

namespace diverter {

// A plain list of names; a view over it stays quick at 100,000 rows. A byte of a name that is not
// valid UTF-8 shows as the replacement character; the name itself keeps it.
class NameListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;
    void setNames(QStringList names);
    const QStringList &names() const { return m_names; }
    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    QStringList m_names;
};

class DriveList : public QComboBox {
    Q_OBJECT
public:
    using MountSource = std::function<QList<drives::Mount>()>;
    explicit DriveList(QWidget *parent = nullptr);

    // Where the drives come from (the mount table unless a test says otherwise); re-reads them.
    void setMountSource(MountSource source);
    // Reads the drives again; the selected drive stays selected without a change.
    void reload();
    const QList<drives::Mount> &drives() const { return m_drives; }
    QString drive() const; // mount path of the selected drive
    // Selects the drive that holds `path`; a different drive raises changed() at once.
    void setDriveOf(const QString &path);
    // The folder the selected drive stands for as a bare drive, or empty when it is not ready.
    QString currentFolder() const;

signals:
    void changed();

protected:
    void showPopup() override;

private:
    MountSource m_source;
    QList<drives::Mount> m_drives;
    bool m_quiet = false;
};

class FolderList : public QListView {
    Q_OBJECT
public:
    explicit FolderList(QWidget *parent = nullptr);

    // Makes `typed` the active folder (relative paths against the working folder) and raises
    // changed() at once. False, with nothing changed, when it names no folder.
    bool setPath(const QString &typed);
    QString path() const { return m_path; }
    // The full paths the rows stand for: the chain from the root, then the subfolders.
    QStringList rowPaths() const;
    // What a double-click or Enter on a row does.
    void openRow(int row);

signals:
    void changed();

private:
    class Model;
    Model *m_model;
    QString m_path;
};

class FileList : public QListView {
    Q_OBJECT
public:
    explicit FileList(QWidget *parent = nullptr);

    // Each of these reads the folder once, at once.
    void setPath(const QString &folder);
    void setPattern(const QString &pattern);
    void refresh();

    QString path() const { return m_path; }
    QString pattern() const { return m_pattern; }
    int count() const { return int(m_model->names().size()); }
    QString item(int index) const { return m_model->names().value(index); }
    const QStringList &items() const { return m_model->names(); }
    // Which folder the items were read from.
    const folders::FolderIdentity &identity() const { return m_identity; }

private:
    NameListModel *m_model;
    folders::FolderIdentity m_identity;
    QString m_path;
    QString m_pattern = QStringLiteral("*.*");
};

} // namespace diverter
