#include "diverter/drives.h"

#include "core/filenames.h"
#include "core/handles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

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

QMap<QString, QString> labelsByDevice()
{
    QMap<QString, QString> labels;
    const QDir dir(QStringLiteral("/dev/disk/by-label"));
    for (const QFileInfo &link : dir.entryInfoList(QDir::System | QDir::Files)) {
        const QString device = link.canonicalFilePath();
        if (!device.isEmpty())
            labels.insert(device, unescapeHex(QFile::encodeName(link.fileName())));
    }
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
        if (label.isEmpty() && source.startsWith(u'/'))
            label = labels.value(QFileInfo(source).canonicalFilePath());
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

QList<Mount> mountedDrives()
{
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly))
        return {Mount{QStringLiteral("/"), {}}};
    QList<Mount> result = parseMountInfo(file.readAll(), labelsByDevice());
    result.removeIf([](const Mount &m) {
        struct stat st;
        const QByteArray native = core::fs::toNative(m.path);
        return native.isEmpty() || stat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode);
    });
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
    const bool mounted = std::any_of(mountedNow.begin(), mountedNow.end(),
                                     [&](const Mount &m) { return m.path == drive.path; });
    if (!mounted)
        return false;
    return core::fs::DirStream(core::fs::toNative(drive.path).constData()).isOpen();
}

} // namespace diverter::drives
