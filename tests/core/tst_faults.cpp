// SPDX-License-Identifier: GPL-3.0-or-later
// Every operation that changes a user's files, failed at each of its system calls in turn, and
// ended at each of them in a child process as a crash or a power cut would end it. Whatever
// happens, each file it touches is as it was (bytes, owner, mode, times) or wholly as it should
// become, no file is lost, and at most the temporary file of a crash is left over. The faults go
// through the table of core::sys, so the program's own calls are the ones that fail.

#include "core/filenames.h"
#include "core/fileops.h"
#include "core/syscalls.h"
#include "diverter/file_batch.h"
#include "diverter/folder_reading.h"
#include "file_editer/file_operations.h"
#include "text_editer/file_saver.h"

#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using core::sys::real;

// ---- The faults

enum class Fault { Error, Interrupt, Short, DiskFull, Crash };

// What a call can suffer besides an error.
enum Trait : unsigned { Interruptible = 1, Transfers = 2, Allocates = 4 };

// The child's exit status when it ended at the chosen call.
constexpr int kCrashed = 86;

struct Injection {
    Fault fault = Fault::Error;
    int error = 0;
    long at = 0;      // the call that is hit, counted from 1 among those the fault applies to
    long counted = 0; // calls counted so far
    bool hit = false;
    QStringList *log = nullptr; // the calls in order, when given
    std::map<int, QByteArray> named;
} injection;

enum class Act { Pass, Fail, Shorten, Full };

bool appliesTo(unsigned traits)
{
    switch (injection.fault) {
    case Fault::Error:
    case Fault::Crash: return true;
    case Fault::Interrupt: return traits & Interruptible;
    case Fault::Short: return traits & Transfers;
    case Fault::DiskFull: return traits & Allocates;
    }
    return false;
}

Act decide(unsigned traits)
{
    if (injection.at == 0 || !appliesTo(traits))
        return Act::Pass;
    const long n = ++injection.counted;
    // A full disk stays full from the call it filled at.
    if (injection.fault == Fault::DiskFull ? n < injection.at : n != injection.at)
        return Act::Pass;
    injection.hit = true;
    switch (injection.fault) {
    case Fault::Crash: _exit(kCrashed);
    case Fault::Short: return Act::Shorten;
    case Fault::DiskFull: return Act::Full;
    case Fault::Interrupt: errno = EINTR; return Act::Fail;
    case Fault::Error: errno = injection.error; return Act::Fail;
    }
    return Act::Pass;
}

void note(const char *call, const QByteArray &what)
{
    if (injection.log)
        *injection.log << QString::fromLatin1(call) + u' ' + QString::fromUtf8(what);
}

// How much of `size` bytes written at `offset` fits on a full disk: the space the file already
// has, its size or the blocks given to it (a reservation among them).
size_t roomFor(int fd, off_t offset, size_t size)
{
    struct stat st;
    if (real.fstat(fd, &st) != 0)
        return 0;
    const off_t room = std::max<off_t>(st.st_size, off_t(st.st_blocks) * 512);
    return offset >= room ? 0 : std::min(size, size_t(room - offset));
}

// Narrows a transfer as the fault asks; false when it fails outright.
bool transfer(Act act, int fd, off_t offset, size_t &size)
{
    if (act == Act::Fail)
        return false;
    if (act == Act::Shorten)
        size = std::max<size_t>(1, size / 2);
    if (act == Act::Full) {
        size = roomFor(fd, offset, size);
        if (size == 0) {
            errno = ENOSPC;
            return false;
        }
    }
    return true;
}

off_t offsetOf(int fd)
{
    return real.lseek(fd, 0, SEEK_CUR);
}

// Every fault fails a call before it takes effect, except close, which frees the descriptor even
// when it reports an error.
const core::sys::Calls injecting = {
    [](int folder, const char *path, int flags, mode_t mode) {
        if (decide(Interruptible) == Act::Fail)
            return -1;
        const int fd = real.openat(folder, path, flags, mode);
        if (fd >= 0 && injection.log)
            injection.named[fd] = path;
        return fd;
    },
    [](int fd) {
        const bool fail = decide(0) == Act::Fail;
        const int error = errno;
        const int result = real.close(fd);
        errno = error;
        return fail ? -1 : result;
    },
    [](int fd, void *buffer, size_t size) -> ssize_t {
        if (!transfer(decide(Interruptible | Transfers), fd, 0, size))
            return -1;
        return real.read(fd, buffer, size);
    },
    [](int fd, const void *buffer, size_t size) -> ssize_t {
        const Act act = decide(Interruptible | Transfers | Allocates);
        if (!transfer(act, fd, act == Act::Full ? offsetOf(fd) : 0, size))
            return -1;
        return real.write(fd, buffer, size);
    },
    [](int fd, void *buffer, size_t size, off_t offset) -> ssize_t {
        if (!transfer(decide(Interruptible | Transfers), fd, offset, size))
            return -1;
        return real.pread(fd, buffer, size, offset);
    },
    [](int fd, const void *buffer, size_t size, off_t offset) -> ssize_t {
        if (!transfer(decide(Interruptible | Transfers | Allocates), fd, offset, size))
            return -1;
        return real.pwrite(fd, buffer, size, offset);
    },
    [](int in, off_t *inAt, int out, off_t *outAt, size_t size, unsigned flags) -> ssize_t {
        const Act act = decide(Interruptible | Transfers | Allocates);
        if (!transfer(act, out, outAt ? *outAt : offsetOf(out), size))
            return -1;
        return real.copyFileRange(in, inAt, out, outAt, size, flags);
    },
    [](int fd, off_t offset, int whence) -> off_t {
        return decide(0) == Act::Fail ? -1 : real.lseek(fd, offset, whence);
    },
    [](int fd, struct stat *st) { return decide(0) == Act::Fail ? -1 : real.fstat(fd, st); },
    [](int folder, const char *path, struct stat *st, int flags) {
        return decide(0) == Act::Fail ? -1 : real.fstatat(folder, path, st, flags);
    },
    [](int fd) {
        if (decide(Interruptible) == Act::Fail)
            return -1;
        note("fsync", injection.named[fd]);
        return real.fsync(fd);
    },
    [](int fd, off_t size) {
        return decide(Interruptible) == Act::Fail ? -1 : real.ftruncate(fd, size);
    },
    [](int fd, int mode, off_t offset, off_t size) {
        const Act act = decide(Interruptible | Allocates);
        if (act == Act::Full && roomFor(fd, offset, size_t(size)) < size_t(size))
            errno = ENOSPC;
        else if (act != Act::Fail)
            return real.fallocate(fd, mode, offset, size);
        return -1;
    },
    [](int fd, uid_t owner, gid_t group) {
        return decide(0) == Act::Fail ? -1 : real.fchown(fd, owner, group);
    },
    [](int folder, const char *path, uid_t owner, gid_t group, int flags) {
        return decide(0) == Act::Fail ? -1 : real.fchownat(folder, path, owner, group, flags);
    },
    [](int fd, mode_t mode) { return decide(0) == Act::Fail ? -1 : real.fchmod(fd, mode); },
    [](int fd, const timespec times[2]) {
        return decide(0) == Act::Fail ? -1 : real.futimens(fd, times);
    },
    [](int folder, const char *path, const timespec times[2], int flags) {
        return decide(0) == Act::Fail ? -1 : real.utimensat(folder, path, times, flags);
    },
    [](int fromFolder, const char *from, int toFolder, const char *to) {
        if (decide(0) == Act::Fail)
            return -1;
        note("rename", QByteArray(from) + ' ' + to);
        return real.renameat(fromFolder, from, toFolder, to);
    },
    [](int fromFolder, const char *from, int toFolder, const char *to, unsigned flags) {
        if (decide(0) == Act::Fail)
            return -1;
        note("rename", QByteArray(from) + ' ' + to);
        return real.renameat2(fromFolder, from, toFolder, to, flags);
    },
    [](int fromFolder, const char *from, int toFolder, const char *to, int flags) {
        return decide(0) == Act::Fail ? -1 : real.linkat(fromFolder, from, toFolder, to, flags);
    },
    [](int folder, const char *path, int flags) {
        return decide(0) == Act::Fail ? -1 : real.unlinkat(folder, path, flags);
    },
    [](const char *target, int folder, const char *path) {
        return decide(0) == Act::Fail ? -1 : real.symlinkat(target, folder, path);
    },
    [](int folder, const char *path, char *buffer, size_t size) -> ssize_t {
        return decide(0) == Act::Fail ? -1 : real.readlinkat(folder, path, buffer, size);
    },
    [](int fd, const char *name, void *value, size_t size) -> ssize_t {
        return decide(0) == Act::Fail ? -1 : real.fgetxattr(fd, name, value, size);
    },
    [](int fd, const char *name, const void *value, size_t size, int flags) {
        return decide(0) == Act::Fail ? -1 : real.fsetxattr(fd, name, value, size, flags);
    },
    [](int fd, char *list, size_t size) -> ssize_t {
        return decide(0) == Act::Fail ? -1 : real.flistxattr(fd, list, size);
    },
    [](int fd) -> DIR * { return decide(0) == Act::Fail ? nullptr : real.fdopendir(fd); },
    [](DIR *dir) -> dirent * { return decide(0) == Act::Fail ? nullptr : real.readdir(dir); },
    // Like close, closedir frees the stream even when it reports an error.
    [](DIR *dir) {
        const bool fail = decide(0) == Act::Fail;
        const int error = errno;
        const int result = real.closedir(dir);
        errno = error;
        return fail ? -1 : result;
    },
};

// ---- What a path holds

struct Look {
    bool exists = false;
    bool link = false;
    QByteArray bytes; // the content, or where a link points
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
    qint64 modified = -1; // nanoseconds; -1 when any time will do

    // `times`: the modification time counts too (it cannot after a crash, which may come
    // between two calls that each change it).
    bool matches(const Look &want, bool times = true) const
    {
        if (exists != want.exists)
            return false;
        return !exists || (link == want.link && bytes == want.bytes && mode == want.mode &&
                           owner == want.owner && group == want.group &&
                           (!times || want.modified < 0 || modified == want.modified));
    }
    QString text() const
    {
        if (!exists)
            return QStringLiteral("missing");
        return QStringLiteral("%1 bytes %2 %3:%4 %5 \"%6\"")
            .arg(bytes.size())
            .arg(mode, 0, 8)
            .arg(owner)
            .arg(group)
            .arg(modified)
            .arg(QString::fromLatin1(bytes.left(24)));
    }
};

Look lookAt(const QByteArray &path)
{
    struct stat st;
    if (lstat(path.constData(), &st) != 0)
        return {};
    Look look{true,
              S_ISLNK(st.st_mode) != 0,
              {},
              mode_t(st.st_mode & 07777),
              st.st_uid,
              st.st_gid,
              qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
    if (look.link) {
        char target[4096];
        const ssize_t n = readlink(path.constData(), target, sizeof target);
        look.bytes = QByteArray(target, n > 0 ? n : 0);
    } else if (S_ISREG(st.st_mode)) {
        QFile file(core::fs::fromNative(path));
        look.bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : "<unreadable>";
    }
    return look;
}

Look content(const QByteArray &bytes, mode_t mode, uid_t owner, gid_t group)
{
    return {true, false, bytes, mode, owner, group, -1};
}

// ---- The operations

// The new contents are longer than the old by more than a block, so that a full disk refuses
// them a place: a file written in place can only be old or new when its new content covers the
// old, and space it has already would hide a write that reserves none.
const QByteArray kOld = QByteArray("old line\n").repeated(40);
const QByteArray kSource = QByteArray("source line\n").repeated(600);
// The save writes its text and a CR LF.
const QString kText = QStringLiteral("saved line\r\n").repeated(599) + QStringLiteral("saved line");
const QByteArray kSaved = QByteArray("saved line\r\n").repeated(600);
constexpr uid_t kOwner = 1234;
constexpr gid_t kGroup = 1235;

struct Watched {
    QByteArray path;
    Look before;
    Look after;    // what the finished operation leaves
    int pair = -1; // the other end of a move: the file is at one of the two
};

struct Scene {
    QByteArray here, there; // a folder on the working file system, one on another
    std::vector<Watched> watched;

    QByteArray at(const char *name) const { return here + '/' + name; }
    QByteArray atThere(const char *name) const { return there + '/' + name; }
    QString named(const QByteArray &path) const { return core::fs::fromNative(path); }

    // Someone's file, last changed long ago.
    void file(const QByteArray &path, const QByteArray &bytes, mode_t mode = 0640,
              uid_t owner = kOwner, gid_t group = kGroup) const
    {
        QFile f(named(path));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(bytes), bytes.size());
        f.close();
        QCOMPARE(chown(path.constData(), owner, group), 0);
        QCOMPARE(chmod(path.constData(), mode), 0);
        const timespec times[2] = {{1000000000, 5}, {1100000000, 7}};
        QCOMPARE(utimensat(AT_FDCWD, path.constData(), times, 0), 0);
    }
    // `path` becomes `after`; a file it does not name is left as it is.
    void watch(const QByteArray &path, std::optional<Look> after = {})
    {
        const Look now = lookAt(path);
        watched.push_back({path, now, after.value_or(now)});
    }
    void move(const QByteArray &from, const QByteArray &to)
    {
        watch(from, Look{});
        watch(to, lookAt(from));
        watched[watched.size() - 2].pair = int(watched.size() - 1);
    }
    // A new copy of kSource: the source's mode 0666 less the mask 022, owned by the copier.
    static Look newCopy() { return content(kSource, 0644, geteuid(), getegid()); }
    static Look replaced(const QByteArray &bytes) { return content(bytes, 0640, kOwner, kGroup); }
    diverter::folders::FolderIdentity listed() const
    {
        return diverter::folders::identityOf(named(here));
    }
};

struct Operation {
    const char *name;
    bool acrossFileSystems;
    std::function<void(Scene &)> setUp;
    std::function<bool(const Scene &)> run; // whether it reports success
};

const QStringList kBatch = {"a1.txt", "a2.txt", "a3.txt"};

void batchSources(Scene &s)
{
    for (const QString &name : kBatch)
        s.file(s.here + '/' + name.toUtf8(), kSource, 0666);
}

const std::vector<Operation> &operations()
{
    static const std::vector<Operation> all = {
        {"save through a temporary file", false,
         [](Scene &s) {
             s.file(s.at("b.txt"), kOld);
             s.watch(s.at("b.txt"), Scene::replaced(kSaved));
         },
         [](const Scene &s) { return text_editer::saveTextFile(s.named(s.at("b.txt")), kText); }},
        {"save in place beside a second hard link", false,
         [](Scene &s) {
             s.file(s.at("b.txt"), kOld);
             QCOMPARE(link(s.at("b.txt").constData(), s.at("twin.txt").constData()), 0);
             s.watch(s.at("b.txt"), Scene::replaced(kSaved));
             s.watch(s.at("twin.txt"), Scene::replaced(kSaved));
         },
         [](const Scene &s) { return text_editer::saveTextFile(s.named(s.at("b.txt")), kText); }},
        {"copy to a new file", false,
         [](Scene &s) {
             s.file(s.at("a.txt"), kSource, 0666);
             s.watch(s.at("a.txt"));
             s.watch(s.at("c.txt"), Scene::newCopy());
         },
         [](const Scene &s) {
             return core::fs::copyFile(s.named(s.at("a.txt")), s.named(s.at("c.txt"))).ok();
         }},
        {"copy replacing a file", false,
         [](Scene &s) {
             s.file(s.at("a.txt"), kSource, 0666);
             s.file(s.at("b.txt"), kOld);
             s.watch(s.at("a.txt"));
             s.watch(s.at("b.txt"), Scene::replaced(kSource));
         },
         [](const Scene &s) {
             return core::fs::copyFile(s.named(s.at("a.txt")), s.named(s.at("b.txt"))).ok();
         }},
        {"copy onto a hard-linked file", false,
         [](Scene &s) {
             s.file(s.at("a.txt"), kSource, 0666);
             s.file(s.at("b.txt"), kOld);
             QCOMPARE(link(s.at("b.txt").constData(), s.at("twin.txt").constData()), 0);
             s.watch(s.at("a.txt"));
             s.watch(s.at("b.txt"), Scene::replaced(kSource));
             s.watch(s.at("twin.txt"), Scene::replaced(kSource));
         },
         [](const Scene &s) {
             return core::fs::copyFile(s.named(s.at("a.txt")), s.named(s.at("b.txt"))).ok();
         }},
        {"copy across file systems", true,
         [](Scene &s) {
             s.file(s.at("a.txt"), kSource, 0666);
             s.file(s.atThere("b.txt"), kOld);
             s.watch(s.at("a.txt"));
             s.watch(s.atThere("b.txt"), Scene::replaced(kSource));
         },
         [](const Scene &s) {
             return core::fs::copyFile(s.named(s.at("a.txt")), s.named(s.atThere("b.txt"))).ok();
         }},
        {"rename", false,
         [](Scene &s) {
             s.file(s.at("a.txt"), kSource, 0604);
             s.move(s.at("a.txt"), s.at("c.txt"));
         },
         [](const Scene &s) {
             return core::fs::renameNoReplace(s.named(s.at("a.txt")), s.named(s.at("c.txt"))).ok();
         }},
        {"move across file systems", true,
         [](Scene &s) {
             s.file(s.at("a.txt"), kSource, 0604);
             s.move(s.at("a.txt"), s.atThere("c.txt"));
         },
         [](const Scene &s) {
             return core::fs::renameNoReplace(s.named(s.at("a.txt")), s.named(s.atThere("c.txt")))
                 .ok();
         }},
        {"delete", false,
         [](Scene &s) {
             s.file(s.at("b.txt"), kOld);
             s.watch(s.at("b.txt"), Look{});
         },
         [](const Scene &s) { return file_editer::deleteFiles(s.named(s.at("b.txt"))); }},
        {"pattern delete", false,
         [](Scene &s) {
             // A link to a folder is a file entry: it goes as a link, and the folder stays.
             QVERIFY(QDir().mkdir(s.named(s.at("d"))));
             s.file(s.at("d/keep.txt"), kOld);
             QCOMPARE(symlink("d", s.at("xd").constData()), 0);
             for (const char *name : {"x1.txt", "x2.txt", "x3.txt"})
                 s.file(s.at(name), kOld);
             for (const char *name : {"x1.txt", "x2.txt", "x3.txt", "xd"})
                 s.watch(s.at(name), Look{});
             s.watch(s.at("d/keep.txt"));
         },
         [](const Scene &s) { return file_editer::deleteFiles(s.named(s.at("x*"))); }},
        {"batch rename", false,
         [](Scene &s) {
             batchSources(s);
             for (const char *n : {"1", "2", "3"})
                 s.move(s.here + "/a" + n + ".txt", s.here + "/b" + n + ".txt");
         },
         [](const Scene &s) {
             return diverter::renameAll(s.named(s.here), s.listed(), kBatch, "a", "b") == 3;
         }},
        {"batch create", false,
         [](Scene &s) {
             batchSources(s);
             s.file(s.at("b2.txt"), kOld);
             for (const char *n : {"1", "2", "3"})
                 s.watch(s.here + "/a" + n + ".txt");
             s.watch(s.at("b1.txt"), Scene::newCopy());
             s.watch(s.at("b2.txt"), Scene::replaced(kSource));
             s.watch(s.at("b3.txt"), Scene::newCopy());
         },
         [](const Scene &s) {
             return diverter::copyAll(s.named(s.here), s.listed(), kBatch, "a", "b") == 3;
         }},
        {"batch delete", false,
         [](Scene &s) {
             batchSources(s);
             for (const char *n : {"1", "2", "3"})
                 s.watch(s.here + "/a" + n + ".txt", Look{});
         },
         [](const Scene &s) {
             return diverter::deleteAll(s.named(s.here), s.listed(), kBatch) == 3;
         }},
    };
    return all;
}

// Hidden temporary files below `folder`.
int leftovers(const QString &folder)
{
    int found = 0;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found += it.next().section(u'/', -1).startsWith(u'.');
    return found;
}

// What is wrong after a run; nothing when all is well.
QStringList problems(const Scene &s, bool reported, bool crashed, bool mustSucceed)
{
    QStringList found;
    std::vector<Look> now;
    for (const Watched &w : s.watched)
        now.push_back(lookAt(w.path));
    for (size_t i = 0; i < s.watched.size(); ++i) {
        const Watched &w = s.watched[i];
        const QString name = QString::fromUtf8(w.path.mid(w.path.lastIndexOf('/') + 1));
        if (!now[i].matches(w.before, !crashed) && !now[i].matches(w.after))
            found << name + QStringLiteral(" is neither old nor new: ") + now[i].text() +
                         QStringLiteral(", was ") + w.before.text();
        else if (reported && !now[i].matches(w.after))
            found << name + QStringLiteral(" is not done, yet success was reported: ") +
                         now[i].text();
        if (w.pair >= 0 && !now[i].exists && !now[size_t(w.pair)].exists)
            found << name + QStringLiteral(" is lost");
    }
    if (mustSucceed && !reported)
        found << QStringLiteral("failed, though the fault is one to retry or none");
    const int left = leftovers(core::fs::fromNative(s.here)) +
                     (s.there.isEmpty() ? 0 : leftovers(core::fs::fromNative(s.there)));
    if (left > (crashed ? 1 : 0))
        found << QStringLiteral("%1 temporary files left").arg(left);
    return found;
}

struct Tally {
    long faults = 0;
    long crashes = 0;
    long violations = 0;
};

const char *faultName(Fault fault, int error)
{
    switch (fault) {
    case Fault::Interrupt: return "EINTR";
    case Fault::Short: return "short transfer";
    case Fault::DiskFull: return "disk full";
    case Fault::Crash: return "crash";
    case Fault::Error: return error ? strerrorname_np(error) : "no fault";
    }
    return "";
}

} // namespace

class Faults : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void everyFaultLeavesOldOrNew();
    void saveReachesTheDiskInOrder();

private:
    // Runs `op` once with `fault` at call `at` (none for 0) and counts what went wrong. Returns
    // whether the fault was met, that is, whether the operation got as far as call `at`.
    bool runOnce(const Operation &op, Fault fault, int error, long at, QStringList *log = nullptr);

    QTemporaryDir m_here;
    std::unique_ptr<QTemporaryDir> m_there;
    Tally m_tally;
};

void Faults::initTestCase()
{
    // The usual mask, so the mode of a new copy is known.
    umask(022);
    QVERIFY(m_here.isValid());
    m_there = std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/faults-XXXXXX"));
    struct stat here, there;
    if (!m_there->isValid() || stat(QFile::encodeName(m_here.path()).constData(), &here) != 0 ||
        stat(QFile::encodeName(m_there->path()).constData(), &there) != 0 ||
        here.st_dev == there.st_dev) {
        qWarning("no second file system at /dev/shm: the moves across file systems are left out");
        m_there.reset();
    }
}

bool Faults::runOnce(const Operation &op, Fault fault, int error, long at, QStringList *log)
{
    Scene scene;
    scene.here = QFile::encodeName(m_here.filePath(QStringLiteral("run")));
    QDir().mkdir(m_here.filePath(QStringLiteral("run")));
    if (m_there) {
        scene.there = QFile::encodeName(m_there->filePath(QStringLiteral("run")));
        QDir().mkdir(m_there->filePath(QStringLiteral("run")));
    }
    op.setUp(scene);

    injection.fault = fault;
    injection.error = error;
    injection.at = at;
    injection.counted = 0;
    injection.hit = false;
    injection.log = log;
    injection.named.clear();
    bool reported = false, crashed = false;
    if (fault == Fault::Crash) {
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            core::sys::calls = injecting;
            _exit(op.run(scene) ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        crashed = WIFEXITED(status) && WEXITSTATUS(status) == kCrashed;
        reported = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        m_tally.crashes += crashed;
    } else {
        core::sys::calls = injecting;
        reported = op.run(scene);
        core::sys::calls = real;
        m_tally.faults += injection.hit;
    }
    const bool met = crashed || injection.hit;
    injection.at = 0;
    injection.log = nullptr;

    const bool mustSucceed = at == 0 || fault == Fault::Interrupt || fault == Fault::Short;
    const QStringList found = problems(scene, reported, crashed, mustSucceed);
    for (const QString &problem : found)
        qWarning("%s, %s at call %ld: %s", op.name, faultName(fault, error), at,
                 qPrintable(problem));
    m_tally.violations += found.size();
    QDir(m_here.filePath(QStringLiteral("run"))).removeRecursively();
    if (m_there)
        QDir(m_there->filePath(QStringLiteral("run"))).removeRecursively();
    return met;
}

void Faults::everyFaultLeavesOldOrNew()
{
    struct Kind {
        Fault fault;
        int error;
    };
    const Kind kinds[] = {{Fault::Error, ENOSPC}, {Fault::Error, EIO},   {Fault::Error, EDQUOT},
                          {Fault::Error, EACCES}, {Fault::Error, EPERM}, {Fault::Error, EROFS},
                          {Fault::Error, EXDEV},  {Fault::Interrupt, 0}, {Fault::Short, 0},
                          {Fault::DiskFull, 0},   {Fault::Crash, 0}};
    for (const Operation &op : operations()) {
        if (op.acrossFileSystems && !m_there)
            continue;
        runOnce(op, Fault::Error, 0, 0);
        for (const Kind &kind : kinds) {
            // Bounded, so that an operation that never ends fails here instead of hanging.
            for (long at = 1; at < 1000 && runOnce(op, kind.fault, kind.error, at); ++at) {
            }
        }
    }
    std::printf("faults tried: %ld, crash points tried: %ld, violations: %ld\n", m_tally.faults,
                m_tally.crashes, m_tally.violations);
    std::fflush(stdout);
    QCOMPARE(m_tally.violations, 0);
    QVERIFY(m_tally.faults >= 200);
    QVERIFY(m_tally.crashes >= 50);
}

// A save's new content reaches the disk before it takes the old one's name, and the new name
// reaches it after: the temporary file synced, renamed, then its folder synced.
void Faults::saveReachesTheDiskInOrder()
{
    QStringList log;
    // Counted and logged, but never struck: a save makes far fewer calls.
    runOnce(operations().front(), Fault::Error, EIO, 100000, &log);
    const qsizetype synced =
        log.indexOf(QRegularExpression(QStringLiteral("fsync .*/\\.b\\.txt\\.tmp-\\S*")));
    const qsizetype renamed = log.indexOf(
        QRegularExpression(QStringLiteral("rename .*/\\.b\\.txt\\.tmp-\\S* .*/b\\.txt")));
    const qsizetype folderSynced =
        log.indexOf(QStringLiteral("fsync ") + m_here.filePath(QStringLiteral("run")));
    QVERIFY2(synced >= 0 && synced < renamed && renamed < folderSynced,
             qPrintable(log.join(u'\n')));
}

QTEST_GUILESS_MAIN(Faults)
#include "tst_faults.moc"
