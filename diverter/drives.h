// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The drives of this platform: there are no drive letters, so a "drive" is a mounted file system
// that a user works with. Pseudo and system mounts (proc, sysfs, cgroups, the tmpfs mounts the
// system keeps under /run, /dev and /sys, snap images) are left out; the root comes first.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <vector>

namespace diverter::drives {

// A question put to a mount's root by its native path (a stat, an opendir). A dead network mount
// may never answer it, and such a call cannot be cancelled.
using Probe = std::function<bool(const QByteArray &nativePath)>;

// How long the window waits for a mount's answer before it counts the mount as silent.
inline constexpr std::chrono::milliseconds kAnswerTime{1000};

// What a mount said to a probe, or Silent when it said nothing in time.
enum class MountReply { Yes, No, Silent };

// Asks `probe` about every path at once, each in a worker thread of its own, and waits at most
// `timeout` for the answers; a path that has not answered by then is Silent. A worker stuck in
// its call is left to itself, holding nothing the caller frees; until it returns, its path is
// Silent at once and no second worker is started for it.
std::vector<MountReply> askMounts(const QStringList &paths, const Probe &probe,
                                  std::chrono::milliseconds timeout = kAnswerTime);

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
// files) left out, labels taken from /dev/disk/by-label. `isFolder` is asked of each mount by
// askMounts: a silent mount stays a drive, one that is not ready.
QList<Mount> mountedDrives();
QList<Mount> mountedDrives(const Probe &isFolder, std::chrono::milliseconds timeout);

// How the drive list shows a drive: its mount path, and its label in brackets when it has one.
QString displayName(const Mount &mount);

// Index of the drive that holds `path`: the longest mount path that is a prefix of it, folder by
// folder ("/mnt/a" holds "/mnt/a/b" but not "/mnt/ab"). -1 when none does.
int driveIndexOf(const QList<Mount> &drives, const QString &path);

// The folder a bare drive stands for: `workingFolder` when it lies on that drive, else the drive's
// root. `drives` decides which drive holds the working folder.
QString currentFolderOf(const QList<Mount> &drives, int index, const QString &workingFolder);

// A drive is ready when it is still mounted (listed in `mountedNow`) and its root can be read,
// which `canRead` is asked by askMounts: a silent drive is not ready.
bool isReady(const Mount &drive, const QList<Mount> &mountedNow);
bool isReady(const Mount &drive, const QList<Mount> &mountedNow, const Probe &canRead,
             std::chrono::milliseconds timeout);

} // namespace diverter::drives
