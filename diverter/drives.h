#pragma once
// The drives of this platform: there are no drive letters, so a "drive" is a mounted file system
// that a user works with. Pseudo and system mounts (proc, sysfs, cgroups, the tmpfs mounts the
// system keeps under /run, /dev and /sys, snap images) are left out; the root comes first.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

namespace diverter::drives {

struct Mount {
    QString path;  // the mount point
    QString label; // the file system's label, empty when it has none
    bool operator==(const Mount &) const = default;
};

// The drives named by the text of /proc/self/mountinfo, in the order the root first, then by
// mount path. `labels` maps a device path (as the mount table names it, or resolved) to its
// label.
QList<Mount> parseMountInfo(const QByteArray &mountInfo, const QMap<QString, QString> &labels = {});

// The drives mounted now: the mount table read, mount points that are no folders (bind-mounted
// files) left out, labels taken from /dev/disk/by-label.
QList<Mount> mountedDrives();

// How the drive list shows a drive: its mount path, and its label in brackets when it has one.
QString displayName(const Mount &mount);

// Index of the drive that holds `path`: the longest mount path that is a prefix of it, folder by
// folder ("/mnt/a" holds "/mnt/a/b" but not "/mnt/ab"). -1 when none does.
int driveIndexOf(const QList<Mount> &drives, const QString &path);

// The folder a bare drive stands for: `workingFolder` when it lies on that drive, else the drive's
// root. `drives` decides which drive holds the working folder.
QString currentFolderOf(const QList<Mount> &drives, int index, const QString &workingFolder);

// A drive is ready when it is still mounted (listed in `mountedNow`) and its root can be read.
bool isReady(const Mount &drive, const QList<Mount> &mountedNow);

} // namespace diverter::drives
