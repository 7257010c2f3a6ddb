// SPDX-License-Identifier: GPL-3.0-or-later
#include "diverter/drives.h"

#include "core/filenames.h"
#include "core/reading.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

#include <fcntl.h>

namespace diverter::drives {

namespace {

// The mount table writes blanks, tabs, newlines and backslashes in paths as octal escapes.
QString unescapeOctal(const QByteArray &field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int code = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok && code < 256) {
                out += char(code);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return core::fs::fromNative(out);
}

// udev writes blanks and other unsafe characters of a label link's name as \xHH.
QString unescapeHex(const QByteArray &name)
{
    QByteArray out;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
            bool ok = false;
            const int code = name.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                out += char(code);
                i += 3;
                continue;
            }
        }
        out += name[i];
    }
    return QString::fromUtf8(out);
}

bool under(const QString &path, const QString &folder)
{
    return path == folder || path.startsWith(folder + u'/');
}

bool isPseudoType(const QString &type)
{
    static const QStringList pseudo = {QStringLiteral("proc"),
                                       QStringLiteral("sysfs"),
                                       QStringLiteral("devtmpfs"),
                                       QStringLiteral("devpts"),
                                       QStringLiteral("cgroup"),
                                       QStringLiteral("cgroup2"),
                                       QStringLiteral("securityfs"),
                                       QStringLiteral("pstore"),
                                       QStringLiteral("debugfs"),
                                       QStringLiteral("tracefs"),
                                       QStringLiteral("configfs"),
                                       QStringLiteral("fusectl"),
                                       QStringLiteral("mqueue"),
                                       QStringLiteral("hugetlbfs"),
                                       QStringLiteral("bpf"),
                                       QStringLiteral("binfmt_misc"),
                                       QStringLiteral("autofs"),
                                       QStringLiteral("efivarfs"),
                                       QStringLiteral("rpc_pipefs"),
                                       QStringLiteral("nsfs"),
                                       QStringLiteral("selinuxfs"),
                                       QStringLiteral("fuse.portal"),
                                       QStringLiteral("fuse.gvfsd-fuse")};
    return pseudo.contains(type);
}

bool isSystemMount(const QString &path, const QString &type, const QString &source)
{
    if (isPseudoType(type))
        return true;
    // What lives under /proc and /sys is the kernel's; under /dev and /run only the system's
    // memory file systems are left out, since removable media are mounted under /run/media.
    for (const char *folder : {"/proc", "/sys"}) {
        if (under(path, QLatin1String(folder)))
            return true;
    }
    if (type == u"tmpfs" || type == u"ramfs") {
        for (const char *folder : {"/run", "/dev", "/sys"}) {
            if (under(path, QLatin1String(folder)))
                return true;
        }
    }
    if (under(path, QStringLiteral("/snap")) ||
        (type == u"squashfs" && source.startsWith(QStringLiteral("/dev/loop"))))
        return true;
    return false;
}

// The paths whose worker has not returned. Shared with the workers, so one that returns while
// the program ends still finds it.
struct Asking {
    std::mutex mutex;
    std::set<QByteArray> paths;
};

std::shared_ptr<Asking> asking()
{
    static const auto shared = std::make_shared<Asking>();
    return shared;
}

// One call of askMounts: its answers, shared with its workers, which may outlive it.
struct Round {
    std::mutex mutex;
    std::condition_variable answered;
    std::vector<MountReply> answers;
    size_t awaited = 0;
};

bool statsAsFolder(const QByteArray &native)
{
    return core::fs::isFolder(AT_FDCWD, native.constData());
}

bool opensAsFolder(const QByteArray &native)
{
    return core::fs::canOpenFolder(native);
}

QMap<QString, QString> labelsByDevice()
{
    QMap<QString, QString> labels;
    for (const core::fs::FolderLink &link : core::fs::linksIn("/dev/disk/by-label"))
        labels.insert(core::fs::fromNative(link.target), unescapeHex(link.name));
    return labels;
}

} // namespace

QList<Mount> parseMountInfo(const QByteArray &mountInfo, const QMap<QString, QString> &labels)
{
    QList<Mount> result;
    for (const QByteArray &line : mountInfo.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        const qsizetype dash = fields.indexOf("-");
        if (fields.size() < 5 || dash < 6 || dash + 2 >= fields.size())
            continue;
        const QString path = unescapeOctal(fields[4]);
        const QString type = QString::fromUtf8(fields[dash + 1]);
        const QString source = unescapeOctal(fields[dash + 2]);
        if (!path.startsWith(u'/') || isSystemMount(path, type, source))
            continue;
        // The table may name a device by another path than its label's link resolves to (a
        // mapper name, say), so the resolved path is looked up too.
        QString label = labels.value(source);
        if (label.isEmpty() && source.startsWith(u'/')) {
            const QByteArray device = core::fs::resolvedLink(core::fs::toNative(source));
            if (!device.isEmpty())
                label = labels.value(core::fs::fromNative(device));
        }
        Mount mount{path, label};
        // A later line mounts over an earlier one at the same place: the later one is seen.
        auto same = std::find_if(result.begin(), result.end(),
                                 [&](const Mount &m) { return m.path == path; });
        if (same != result.end())
            *same = mount;
        else
            result << mount;
    }
    std::sort(result.begin(), result.end(), [](const Mount &a, const Mount &b) {
        if ((a.path == u"/") != (b.path == u"/"))
            return a.path == u"/";
        return a.path < b.path;
    });
    return result;
}

std::vector<MountReply> askMounts(const QStringList &paths, const Probe &probe,
                                  std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    const std::shared_ptr<Asking> pending = asking();
    const auto round = std::make_shared<Round>();
    round->answers.assign(size_t(paths.size()), MountReply::Silent);
    // Each answer goes first to the paths still asked, then to the round, so a caller that has
    // its answer may ask the same path again at once.
    const auto answer = [pending, round](const QByteArray &native, size_t i, bool yes) {
        {
            const std::lock_guard lock(pending->mutex);
            pending->paths.erase(native);
        }
        {
            const std::lock_guard lock(round->mutex);
            round->answers[i] = yes ? MountReply::Yes : MountReply::No;
            --round->awaited;
        }
        round->answered.notify_all();
    };
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QByteArray native = core::fs::toNative(paths[i]);
        if (native.isEmpty()) {
            round->answers[size_t(i)] = MountReply::No;
            continue;
        }
        {
            const std::lock_guard lock(pending->mutex);
            if (!pending->paths.insert(native).second)
                continue; // still stuck in an earlier call
        }
        {
            const std::lock_guard lock(round->mutex);
            ++round->awaited;
        }
        try {
            std::thread([answer, probe, native, i] {
                answer(native, size_t(i), probe(native));
            }).detach();
        } catch (const std::system_error &) {
            // No thread to be had (the process at its limit): asked here, as before workers.
            answer(native, size_t(i), probe(native));
        }
    }
    std::unique_lock lock(round->mutex);
    round->answered.wait_until(lock, deadline, [&] { return round->awaited == 0; });
    return round->answers;
}

QList<Mount> mountedDrives()
{
    return mountedDrives(statsAsFolder, kAnswerTime);
}

QList<Mount> mountedDrives(const Probe &isFolder, std::chrono::milliseconds timeout)
{
    const core::fs::Expected<QByteArray> table = core::fs::readSmallFile("/proc/self/mountinfo");
    if (!table)
        return {Mount{QStringLiteral("/"), {}}};
    QList<Mount> result = parseMountInfo(*table, labelsByDevice());
    QStringList paths;
    for (const Mount &m : result)
        paths << m.path;
    const std::vector<MountReply> answers = askMounts(paths, isFolder, timeout);
    for (qsizetype i = result.size(); i-- > 0;) {
        if (answers[size_t(i)] == MountReply::No)
            result.removeAt(i);
    }
    if (result.isEmpty() || result.first().path != u"/")
        result.prepend(Mount{QStringLiteral("/"), {}});
    return result;
}

QString displayName(const Mount &mount)
{
    return mount.label.isEmpty() ? mount.path
                                 : QStringLiteral("%1 [%2]").arg(mount.path, mount.label);
}

int driveIndexOf(const QList<Mount> &drives, const QString &path)
{
    int best = -1;
    for (int i = 0; i < drives.size(); ++i) {
        const QString &mountPath = drives[i].path;
        const bool holds = mountPath == u"/" ? path.startsWith(u'/') : under(path, mountPath);
        if (holds && (best < 0 || mountPath.size() > drives[best].path.size()))
            best = i;
    }
    return best;
}

QString currentFolderOf(const QList<Mount> &drives, int index, const QString &workingFolder)
{
    if (index < 0 || index >= drives.size())
        return {};
    if (driveIndexOf(drives, workingFolder) == index)
        return workingFolder;
    return drives[index].path;
}

bool isReady(const Mount &drive, const QList<Mount> &mountedNow)
{
    return isReady(drive, mountedNow, opensAsFolder, kAnswerTime);
}

bool isReady(const Mount &drive, const QList<Mount> &mountedNow, const Probe &canRead,
             std::chrono::milliseconds timeout)
{
    const bool mounted = std::any_of(mountedNow.begin(), mountedNow.end(),
                                     [&](const Mount &m) { return m.path == drive.path; });
    return mounted && askMounts({drive.path}, canRead, timeout).front() == MountReply::Yes;
}

} // namespace diverter::drives
