// SPDX-License-Identifier: GPL-3.0-or-later
// The shared file operations, on real files: nothing is ever replaced by a rename, no copy or save
// damages its source or leaves a half-written target, and read-only files stay.

#include "core/filenames.h"
#include "core/fileops.h"
#include "core/syscalls.h"
#include "tests/test_files.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <atomic>
#include <grp.h>
#include <optional>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace testfiles;

// Every change of the process's file creation mask, counted: however brief, a change gives a file
// that another thread creates meanwhile the wrong mode. This definition takes the place of the C
// library's for the whole test program.
static std::atomic<int> maskChanges;
extern "C" mode_t umask(mode_t mask)
{
    ++maskChanges;
    return mode_t(syscall(SYS_umask, mask));
}

namespace {
struct stat statOf(const QString &path)
{
    struct stat st {};
    lstat(core::fs::toNative(path).constData(), &st);
    return st;
}

// What a result says, as the rows write it: "ok", or the step and the errno's name.
QByteArray why(const core::fs::Result &result)
{
    if (result)
        return "ok";
    QByteArray text = core::fs::stepName(result.error().step);
    if (result.error().code != 0)
        text += QByteArray(" ") + strerrorname_np(result.error().code);
    return text;
}

// Bytes that repeat nowhere, so that a piece written twice or out of place shows.
QByteArray unrepeated(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(generator.bounded(256));
    return bytes;
}

// An access ACL in the form the kernel keeps it: the owner may read and write, user 1234, the
// group and the mask may read, others nothing (as mode 0640).
QByteArray accessAcl()
{
    QByteArray acl;
    const auto add32 = [&](quint32 value) {
        const quint32 le = qToLittleEndian(value);
        acl.append(reinterpret_cast<const char *>(&le), sizeof le);
    };
    const auto entry = [&](quint16 tag, quint16 perm, quint32 id) {
        add32(quint32(tag) | quint32(perm) << 16);
        add32(id);
    };
    add32(2);
    entry(0x01, 6, 0xFFFFFFFF); // the owner
    entry(0x02, 4, 1234);       // user 1234
    entry(0x04, 4, 0xFFFFFFFF); // the group
    entry(0x10, 4, 0xFFFFFFFF); // the mask
    entry(0x20, 0, 0xFFFFFFFF); // others
    return acl;
}

// Gives the file an extended attribute; answers errno (0 when it worked).
int setAttribute(const QString &path, const char *name, const QByteArray &value)
{
    return ::lsetxattr(QFile::encodeName(path).constData(), name, value.constData(),
                       size_t(value.size()), 0) == 0
               ? 0
               : errno;
}

QByteArray attribute(const QString &path, const char *name)
{
    char value[4096];
    const ssize_t n = ::lgetxattr(QFile::encodeName(path).constData(), name, value, sizeof value);
    return n < 0 ? QByteArray("<none>") : QByteArray(value, n);
}

// Another file system at /dev/shm, or null.
std::unique_ptr<QTemporaryDir> otherFileSystem(const QString &here)
{
    struct stat there, st;
    if (stat("/dev/shm", &there) != 0 || stat(QFile::encodeName(here).constData(), &st) != 0 ||
        there.st_dev == st.st_dev)
        return {};
    auto dir = std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/fileops-XXXXXX"));
    return dir->isValid() ? std::move(dir) : nullptr;
}

// A small tmpfs mounted at `folder` for as long as this lives; only root may mount one.
class Tmpfs {
public:
    Tmpfs(const QString &folder, const char *options) : m_path(QFile::encodeName(folder))
    {
        m_mounted = geteuid() == 0 && QDir().mkpath(folder) &&
                    ::mount("tmpfs", m_path.constData(), "tmpfs", 0, options) == 0;
    }
    ~Tmpfs()
    {
        if (m_mounted)
            ::umount2(m_path.constData(), MNT_DETACH);
    }
    Tmpfs(const Tmpfs &) = delete;
    Tmpfs &operator=(const Tmpfs &) = delete;
    bool mounted() const { return m_mounted; }

private:
    QByteArray m_path;
    bool m_mounted = false;
};

// Ends the test process with SIGALRM if a step blocks, instead of letting it hang until the
// runner's time-out.
class FailFast {
public:
    FailFast() { alarm(20); }
    ~FailFast() { alarm(0); }
};

// Swapped system calls of core::fs, put back when this goes.
class SwappedCalls {
public:
    SwappedCalls() = default;
    ~SwappedCalls() { core::sys::calls = core::sys::real; }
    SwappedCalls(const SwappedCalls &) = delete;
    SwappedCalls &operator=(const SwappedCalls &) = delete;
};

// Another program putting a FIFO in place of a file between the type check and the open.
struct FifoSwap {
    static inline QByteArray path;

    static int openat(int folder, const char *name, int flags, mode_t mode)
    {
        // Cleared only once the FIFO is in place, which the test checks.
        if (!path.isEmpty() && path == name && ::unlink(name) == 0 && ::mkfifo(name, 0666) == 0)
            path.clear();
        return core::sys::real.openat(folder, name, flags, mode);
    }
};

// Another program taking a copy's new name just before the copy is linked under it.
struct NameTaken {
    static inline QString path;

    static int linkat(int fromFolder, const char *from, int toFolder, const char *to, int flags)
    {
        if (!path.isEmpty())
            writeFile(std::exchange(path, {}), "taken meanwhile", 0600);
        return core::sys::real.linkat(fromFolder, from, toFolder, to, flags);
    }
};

// A kernel before 6.10, which lets only a capable process link a descriptor's own file.
struct OldKernel {
    static inline int linked = 0; // the links it made otherwise

    static int linkat(int fromFolder, const char *from, int toFolder, const char *to, int flags)
    {
        if (flags & AT_EMPTY_PATH) {
            errno = ENOENT;
            return -1;
        }
        const int result = core::sys::real.linkat(fromFolder, from, toFolder, to, flags);
        linked += result == 0;
        return result;
    }
};

// Another program changing the copy's source at the copy's first read of it.
struct SourceChange {
    static inline QByteArray path;
    static inline QString change; // "truncate", "rewrite" or "nanoseconds"
    static inline bool done = false;

    static void happen()
    {
        if (std::exchange(done, true))
            return;
        if (change == "truncate") {
            QCOMPARE(::truncate(path.constData(), 16 * 1024), 0);
            return;
        }
        if (change == "nanoseconds") {
            // Within the same second: a copy that compares whole seconds misses it.
            const timespec times[2] = {{1000000000, 0}, {1000000000, 500}};
            QCOMPARE(utimensat(AT_FDCWD, path.constData(), times, 0), 0);
            return;
        }
        const int fd = ::open(path.constData(), O_WRONLY | O_CLOEXEC);
        QCOMPARE(::pwrite(fd, "changed", 7, 0), ssize_t(7));
        ::close(fd);
    }
    static ssize_t copyFileRange(int in, off_t *inAt, int out, off_t *outAt, size_t size,
                                 unsigned flags)
    {
        happen();
        return core::sys::real.copyFileRange(in, inAt, out, outAt, size, flags);
    }
    static ssize_t pread(int fd, void *buffer, size_t size, off_t offset)
    {
        happen();
        return core::sys::real.pread(fd, buffer, size, offset);
    }
    static ssize_t read(int fd, void *buffer, size_t size)
    {
        happen();
        return core::sys::real.read(fd, buffer, size);
    }
};

// One fault of the calls a write makes, as a disk or the kernel may give it.
struct WriteFault {
    static inline QString fault;
    static inline int writes = 0;
    static inline bool closeFailed = false;
    static inline bool truncateFailed = false;
    static inline std::vector<int> writable; // descriptors opened for writing

    static void reset(const QString &which)
    {
        fault = which;
        writes = 0;
        closeFailed = false;
        truncateFailed = false;
        writable.clear();
    }
    static int openat(int folder, const char *path, int flags, mode_t mode)
    {
        if (fault == "no room to keep aside" && (flags & O_TMPFILE) == O_TMPFILE) {
            errno = ENOSPC;
            return -1;
        }
        const int fd = core::sys::real.openat(folder, path, flags, mode);
        if (fd >= 0 && (flags & O_ACCMODE) != O_RDONLY)
            writable.push_back(fd);
        return fd;
    }
    // The first close of a written file reports the error of a write that failed late.
    static int close(int fd)
    {
        const bool written = std::erase(writable, fd) > 0;
        const int result = core::sys::real.close(fd);
        if (fault == "close fails" && written && !std::exchange(closeFailed, true)) {
            errno = EIO;
            return -1;
        }
        return result;
    }
    // A short write takes only the first half of what it is given.
    static ssize_t write(int fd, const void *buffer, size_t size)
    {
        if (fault == "short writes")
            size = std::max<size_t>(1, size / 2);
        ++writes;
        if ((fault == "third write fails" && writes == 3) ||
            (fault == "restore fails" && writes == 2)) {
            errno = ENOSPC;
            return -1;
        }
        return core::sys::real.write(fd, buffer, size);
    }
    static ssize_t pwrite(int fd, const void *buffer, size_t size, off_t offset)
    {
        if (fault == "short writes")
            size = std::max<size_t>(1, size / 2);
        if (fault == "restore fails") {
            errno = EIO;
            return -1;
        }
        return core::sys::real.pwrite(fd, buffer, size, offset);
    }
    static ssize_t copyFileRange(int in, off_t *inAt, int out, off_t *outAt, size_t size,
                                 unsigned flags)
    {
        if (fault == "short writes")
            size = std::max<size_t>(1, size / 2);
        return core::sys::real.copyFileRange(in, inAt, out, outAt, size, flags);
    }
    static int fsync(int fd)
    {
        if (fault != "sync fails")
            return core::sys::real.fsync(fd);
        errno = EIO;
        return -1;
    }
    // Only the first truncation fails, so the old size can be given back.
    static int ftruncate(int fd, off_t size)
    {
        if (fault != "truncate fails" || std::exchange(truncateFailed, true))
            return core::sys::real.ftruncate(fd, size);
        errno = EIO;
        return -1;
    }
    static int fsetxattr(int fd, const char *name, const void *value, size_t size, int flags)
    {
        if (fault != "attributes refused")
            return core::sys::real.fsetxattr(fd, name, value, size, flags);
        errno = EPERM;
        return -1;
    }
    static void swapIn()
    {
        core::sys::calls.openat = openat;
        core::sys::calls.close = close;
        core::sys::calls.write = write;
        core::sys::calls.pwrite = pwrite;
        core::sys::calls.copyFileRange = copyFileRange;
        core::sys::calls.fsync = fsync;
        core::sys::calls.ftruncate = ftruncate;
        core::sys::calls.fsetxattr = fsetxattr;
    }
};

// Another program pointing a link elsewhere, at a longer target, while it is being moved.
struct LinkGrows {
    static inline QByteArray path, longer;

    static ssize_t readlinkat(int folder, const char *name, char *buffer, size_t size)
    {
        // Cleared only once the longer link is in place, which the test checks.
        if (!path.isEmpty() && path == name && ::unlink(name) == 0 &&
            ::symlink(longer.constData(), name) == 0)
            path.clear();
        return core::sys::real.readlinkat(folder, name, buffer, size);
    }
};
} // namespace

class FileOps : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void copyOutcome_data();
    void copyOutcome();
    void copiesFilesThatReportNoSize();
    void failedCopyLeavesTargetWhole();
    void sourceChangedWhileCopied_data();
    void sourceChangedWhileCopied();
    void writeKeepsTargetSafe();
    void writeFaultsLeaveOldOrNew_data();
    void writeFaultsLeaveOldOrNew();
    void writeThroughLinksKeepingMode();
    void renameNeverReplaces();
    void renameMovesFoldersAndOntoItself();
    void renameAcrossFileSystems();
    void linkMovedAcrossFileSystems_data();
    void linkMovedAcrossFileSystems();
    void removeOnlyWhatMayGo();
    void specialFilesNeitherReadNorReplaced_data();
    void specialFilesNeitherReadNorReplaced();
    void fifoSwappedInDoesNotBlock_data();
    void fifoSwappedInDoesNotBlock();
    void replacedFileKeepsWhatItWas_data();
    void replacedFileKeepsWhatItWas();
    void writerWhoMayNotCreateOrChown();
    void copyKeepsHoles();
    void namesKeepTheirBytes();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString path(const QString &name) const { return m_dir->filePath(name); }
};

void FileOps::initTestCase()
{
    // The usual mask, so that the modes of new files are known; read once by the code under test.
    umask(022);
    maskChanges = 0;
}

void FileOps::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    writeFile(path("a.txt"), "source bytes");
}

void FileOps::copyOutcome_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QByteArray>("reason"); // "ok" when copied
    QTest::addColumn<uint>("mode");         // of the target, when copied

    // clang-format off
    QTest::newRow("new file") << "b.txt" << "" << QByteArray("ok") << 0644u;
    // The source's permission bits less the creation mask, as cp gives them.
    QTest::newRow("new file from a source all may write") << "b.txt" << "all" << QByteArray("ok") << 0755u;
    // None of the source's extended attributes either.
    QTest::newRow("new file from a source with attributes") << "b.txt" << "attributes" << QByteArray("ok") << 0644u;
    // The mode, not the folder's default ACL, sets the new file's permission bits.
    QTest::newRow("new file under a default ACL") << "b.txt" << "default acl" << QByteArray("ok") << 0644u;
    // Replaced by the copy rule, keeping its mode.
    QTest::newRow("a file takes the name while copied") << "b.txt" << "taken" << QByteArray("ok") << 0600u;
    // Linked through /proc instead, from then on.
    QTest::newRow("new file, no descriptor linked") << "b.txt" << "old kernel" << QByteArray("ok") << 0644u;
    QTest::newRow("over an existing file") << "b.txt" << "existing" << QByteArray("ok") << 0644u;
    // Root may write it; only a file nobody may write is read-only.
    QTest::newRow("over a file only its group may write") << "b.txt" << "group" << QByteArray(geteuid() == 0 ? "ok" : "read-only EACCES") << 0464u;
    QTest::newRow("source under another spelling") << "sub/../a.txt" << "subfolder" << QByteArray("same file") << 0u;
    QTest::newRow("source through a link") << "link.txt" << "symlink" << QByteArray("same file") << 0u;
    QTest::newRow("source through a hard link") << "hard.txt" << "hardlink" << QByteArray("same file") << 0u;
    QTest::newRow("target is a folder") << "sub" << "subfolder" << QByteArray("kind EISDIR") << 0u;
    QTest::newRow("read-only target") << "b.txt" << "readonly" << QByteArray("read-only EACCES") << 0u;
    QTest::newRow("target in a missing folder") << "none/b.txt" << "" << QByteArray("open ENOENT") << 0u;
    QTest::newRow("target on a full disk") << "full/b.txt" << "full" << QByteArray("write ENOSPC") << 0u;
    // clang-format on
}

void FileOps::copyOutcome()
{
    QFETCH(QString, target);
    QFETCH(QString, setup);
    QFETCH(QByteArray, reason);
    QFETCH(uint, mode);
    const bool copied = reason == "ok";
    std::optional<Tmpfs> full;
    if (setup == "full") {
        full.emplace(path("full"), "size=64k");
        if (!full->mounted())
            QSKIP("a tmpfs can only be mounted by root");
        QFile filler(path("full/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        while (filler.write(QByteArray(4096, 'f')) > 0) {
        }
    }
    if (setup == "attributes" && setAttribute(path("a.txt"), "user.note", "source's") != 0)
        QSKIP("this file system takes no extended attributes");
    if (setup == "default acl" &&
        setAttribute(m_dir->path(), "system.posix_acl_default", accessAcl()) != 0)
        QSKIP("this file system takes no ACLs");
    SwappedCalls swapped;
    if (setup == "taken") {
        NameTaken::path = path(target);
        core::sys::calls.linkat = NameTaken::linkat;
    }
    if (setup == "old kernel")
        core::sys::calls.linkat = OldKernel::linkat;
    if (setup == "existing" || setup == "readonly" || setup == "group")
        writeFile(path("b.txt"), "old target, longer than the source");
    if (setup == "readonly")
        makeReadOnly(path("b.txt"));
    if (setup == "group")
        QCOMPARE(chmod(QFile::encodeName(path("b.txt")).constData(), 0464), 0);
    if (setup == "all")
        QCOMPARE(chmod(QFile::encodeName(path("a.txt")).constData(), 0777), 0);
    if (setup == "subfolder")
        QVERIFY(QDir(m_dir->path()).mkdir("sub"));
    if (setup == "symlink")
        QVERIFY(QFile::link(path("a.txt"), path("link.txt")));
    if (setup == "hardlink")
        QCOMPARE(::link(QFile::encodeName(path("a.txt")).constData(),
                        QFile::encodeName(path("hard.txt")).constData()),
                 0);
    const QByteArray before = readAll(path(target));

    QCOMPARE(why(core::fs::copyFile(path("a.txt"), path(target))), reason);
    QCOMPARE(readAll(path("a.txt")), QByteArray("source bytes"));
    QCOMPARE(readAll(path(target)), copied ? QByteArray("source bytes") : before);
    if (copied)
        QCOMPARE(statOf(path(target)).st_mode & 07777, mode_t(mode));
    if (setup == "old kernel")
        QCOMPARE(OldKernel::linked, 1);
    QCOMPARE(attribute(path(target), "user.note"), QByteArray("<none>"));
    for (const QString &folder : {m_dir->path(), path("full")})
        for (const QString &name : entries(folder))
            QVERIFY2(!name.contains(".tmp-"), qPrintable(name));
    QCOMPARE(maskChanges.load(), 0);
}

void FileOps::copiesFilesThatReportNoSize()
{
    // /proc files report a size of 0 and cannot be copied by the kernel's copy.
    QVERIFY(core::fs::copyFile(QStringLiteral("/proc/self/status"), path("status.txt")));
    QVERIFY(readAll(path("status.txt")).startsWith("Name:"));
}

void FileOps::failedCopyLeavesTargetWhole()
{
    writeFile(path("big.bin"), QByteArray(256 * 1024, 'x'));
    writeFile(path("b.txt"), "old target");
    {
        FileSizeLimit full(64 * 1024);
        QVERIFY(!core::fs::copyFile(path("big.bin"), path("b.txt")));
        QVERIFY(!core::fs::copyFile(path("big.bin"), path("new.txt")));
    }
    QCOMPARE(readAll(path("b.txt")), QByteArray("old target"));
    QVERIFY(!QFile::exists(path("new.txt")));
    QCOMPARE(entries(m_dir->path()).size(), 3);
}

void FileOps::sourceChangedWhileCopied_data()
{
    QTest::addColumn<QString>("change"); // truncated, its start rewritten, or its time moved
    QTest::addColumn<bool>("replaces");  // an existing target, or a new file
    QTest::newRow("truncated, new file") << "truncate" << false;
    QTest::newRow("truncated, replacing a file") << "truncate" << true;
    QTest::newRow("rewritten, replacing a file") << "rewrite" << true;
    QTest::newRow("its time moved by nanoseconds, new file") << "nanoseconds" << false;
}

// The copy fails, and a file it would have replaced stays exactly as it was: a copy that
// reported success could hold bytes the source never held.
void FileOps::sourceChangedWhileCopied()
{
    QFETCH(QString, change);
    QFETCH(bool, replaces);
    writeFile(path("big.bin"), QByteArray(256 * 1024, 'x'));
    // Long ago, so that any change moves the modification time on.
    const timespec past[2] = {{1000000000, 0}, {1000000000, 0}};
    QCOMPARE(utimensat(AT_FDCWD, QFile::encodeName(path("big.bin")).constData(), past, 0), 0);
    if (replaces)
        writeFile(path("b.txt"), "old target");
    const struct stat before = statOf(path("b.txt"));

    SwappedCalls swapped;
    SourceChange::path = QFile::encodeName(path("big.bin"));
    SourceChange::change = change;
    SourceChange::done = false;
    core::sys::calls.copyFileRange = SourceChange::copyFileRange;
    core::sys::calls.pread = SourceChange::pread;
    core::sys::calls.read = SourceChange::read;
    QCOMPARE(why(core::fs::copyFile(path("big.bin"), path("b.txt"))), "source changed");
    QVERIFY(SourceChange::done);
    if (replaces) {
        QCOMPARE(readAll(path("b.txt")), QByteArray("old target"));
        QCOMPARE(statOf(path("b.txt")).st_ino, before.st_ino);
    }
    QCOMPARE(entries(m_dir->path()).size(), replaces ? 3 : 2);
}

void FileOps::writeKeepsTargetSafe()
{
    writeFile(path("b.txt"), "old content");
    {
        FileSizeLimit full(1024);
        QVERIFY(!core::fs::writeFile(path("b.txt"), QByteArray(4096, 'y'), true));
    }
    QCOMPARE(readAll(path("b.txt")), QByteArray("old content"));
    QCOMPARE(entries(m_dir->path()).size(), 2);

    makeReadOnly(path("b.txt"));
    QVERIFY(!core::fs::writeFile(path("b.txt"), "new", false));
    QVERIFY(QDir(m_dir->path()).mkdir("sub"));
    QVERIFY(!core::fs::writeFile(path("sub"), "new", false));
    QVERIFY(!core::fs::writeFile(path("missing/b.txt"), "new", false));
}

void FileOps::writeFaultsLeaveOldOrNew_data()
{
    QTest::addColumn<bool>("save");    // a save, or a copy
    QTest::addColumn<bool>("inPlace"); // the target has a second hard link
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("oldSize");
    QTest::addColumn<int>("newSize");
    QTest::addColumn<QByteArray>("reason"); // "ok" when the new content is written

    constexpr int MiB = 1 << 20;
    // Several pieces of at most 1 MiB each, so that some are written before one fails.
    constexpr int big = 3 * MiB + 77;
    // Kept aside in a file rather than in memory.
    constexpr int huge = 17 * MiB;
    // clang-format off
    QTest::newRow("save, short writes") << true << false << "short writes" << 100 << big << QByteArray("ok");
    QTest::newRow("save in place, short writes") << true << true << "short writes" << 100 << big << QByteArray("ok");
    QTest::newRow("copy in place, short writes") << false << true << "short writes" << 100 << big << QByteArray("ok");
    QTest::newRow("save in place, shorter content") << true << true << "" << 5000 << 3000 << QByteArray("ok");
    QTest::newRow("copy in place, shorter content") << false << true << "" << 5000 << 3000 << QByteArray("ok");
    QTest::newRow("save, close fails") << true << false << "close fails" << 5000 << 3000 << QByteArray("close EIO");
    QTest::newRow("save in place, close fails") << true << true << "close fails" << 5000 << 3000 << QByteArray("close EIO");
    QTest::newRow("copy in place, close fails") << false << true << "close fails" << 5000 << 3000 << QByteArray("close EIO");
    QTest::newRow("save in place, third write fails") << true << true << "third write fails" << 5000 << big << QByteArray("write ENOSPC");
    QTest::newRow("copy in place, third write fails") << false << true << "third write fails" << 5000 << big << QByteArray("write ENOSPC");
    QTest::newRow("save in place, truncate fails") << true << true << "truncate fails" << 5000 << 3000 << QByteArray("truncate EIO");
    QTest::newRow("save in place, sync fails") << true << true << "sync fails" << 5000 << 3000 << QByteArray("sync EIO");
    QTest::newRow("save in place over a big file, third write fails") << true << true << "third write fails" << huge << big << QByteArray("write ENOSPC");
    QTest::newRow("save in place, no room to keep a big file aside") << true << true << "no room to keep aside" << huge << 3000 << QByteArray("keep aside ENOSPC");
    QTest::newRow("save in place, the old content cannot be put back") << true << true << "restore fails" << 5000 << big << QByteArray("restore EIO");
    // An ACL or a user attribute that cannot be given would be lost; a trusted one that this
    // writer may not give could not be kept by any, and is passed over.
    QTest::newRow("save, ACL refused") << true << false << "attributes refused" << 5000 << 3000 << QByteArray("attributes EPERM");
    QTest::newRow("copy, ACL refused") << false << false << "attributes refused" << 5000 << 3000 << QByteArray("attributes EPERM");
    QTest::newRow("save, user attribute refused") << true << false << "attributes refused" << 5000 << 3000 << QByteArray("attributes EPERM");
    QTest::newRow("save, trusted attribute refused") << true << false << "attributes refused" << 5000 << 3000 << QByteArray("ok");
    // clang-format on
}

// Whatever fails, the target holds its old content with its old time, or the new one: a file
// written in place gets its old bytes back.
void FileOps::writeFaultsLeaveOldOrNew()
{
    QFETCH(bool, save);
    QFETCH(bool, inPlace);
    QFETCH(QString, fault);
    QFETCH(int, oldSize);
    QFETCH(int, newSize);
    QFETCH(QByteArray, reason);
    const QByteArray oldBytes = unrepeated(oldSize, 1);
    const QByteArray newBytes = unrepeated(newSize, 2);
    writeFile(path("b.txt"), oldBytes);
    if (fault == "attributes refused") {
        const QByteArray tag = QTest::currentDataTag();
        if (const int error =
                tag.contains("ACL")       ? setAttribute(path("b.txt"), "system.posix_acl_access", accessAcl())
                : tag.contains("trusted") ? setAttribute(path("b.txt"), "trusted.note", "old")
                                          : setAttribute(path("b.txt"), "user.note", "old"))
            QSKIP(qPrintable(QStringLiteral("no such attribute here: ") + strerrorname_np(error)));
    }
    const timespec past[2] = {{1000000000, 5}, {1100000000, 7}};
    QCOMPARE(utimensat(AT_FDCWD, QFile::encodeName(path("b.txt")).constData(), past, 0), 0);
    if (inPlace)
        QCOMPARE(::link(QFile::encodeName(path("b.txt")).constData(),
                        QFile::encodeName(path("twin.txt")).constData()),
                 0);
    if (!save)
        writeFile(path("a.txt"), newBytes);
    const struct stat before = statOf(path("b.txt"));
    if (fault == "restore fails")
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("b\\.txt may be damaged"));

    core::fs::Result result;
    {
        SwappedCalls swapped;
        WriteFault::reset(fault);
        WriteFault::swapIn();
        result = save ? core::fs::writeFile(path("b.txt"), newBytes, true)
                      : core::fs::copyFile(path("a.txt"), path("b.txt"));
    }
    QCOMPARE(why(result), reason);
    const struct stat after = statOf(path("b.txt"));
    if (reason == "ok") {
        QVERIFY(readAll(path("b.txt")) == newBytes);
    } else if (reason != "restore EIO") {
        QVERIFY(readAll(path("b.txt")) == oldBytes);
        QCOMPARE(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
        QCOMPARE(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    }
    if (inPlace) {
        QCOMPARE(after.st_ino, before.st_ino);
        QVERIFY(readAll(path("twin.txt")) == readAll(path("b.txt")));
    }
    for (const QString &name : entries(m_dir->path()))
        QVERIFY2(!name.contains(".tmp-"), qPrintable(name));
}

void FileOps::writeThroughLinksKeepingMode()
{
    writeFile(path("b.txt"), "old");
    QCOMPARE(chmod(QFile::encodeName(path("b.txt")).constData(), 0640), 0);
    QVERIFY(QFile::link(path("b.txt"), path("link.txt")));
    QVERIFY(core::fs::writeFile(path("link.txt"), "new", true));
    QVERIFY(QFileInfo(path("link.txt")).isSymLink());
    QCOMPARE(readAll(path("b.txt")), QByteArray("new"));
    struct stat st;
    QCOMPARE(stat(QFile::encodeName(path("b.txt")).constData(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t(0640));
}

void FileOps::renameNeverReplaces()
{
    writeFile(path("b.txt"), "other");
    QCOMPARE(why(core::fs::renameNoReplace(path("a.txt"), path("b.txt"))), "exists EEXIST");
    QCOMPARE(readAll(path("a.txt")), QByteArray("source bytes"));
    QCOMPARE(readAll(path("b.txt")), QByteArray("other"));
    QCOMPARE(why(core::fs::renameNoReplace(path("missing.txt"), path("c.txt"))), "stat ENOENT");
    QVERIFY(!QFile::exists(path("c.txt")));
    QVERIFY(core::fs::renameNoReplace(path("a.txt"), path("c.txt")));
    QCOMPARE(readAll(path("c.txt")), QByteArray("source bytes"));
    QVERIFY(!QFile::exists(path("a.txt")));
}

void FileOps::renameMovesFoldersAndOntoItself()
{
    QVERIFY(QDir(m_dir->path()).mkpath("old/inner"));
    QVERIFY(core::fs::renameNoReplace(path("old"), path("new")));
    QVERIFY(QFileInfo(path("new/inner")).isDir());
    QVERIFY(core::fs::renameNoReplace(path("a.txt"), path("a.txt")));
    QVERIFY(core::fs::renameNoReplace(path("a.txt"), path("new/../a.txt")));
    QCOMPARE(readAll(path("a.txt")), QByteArray("source bytes"));
    QVERIFY(core::fs::renameNoReplace(path("a.txt"), path("new/inner/a.txt")));
    QCOMPARE(readAll(path("new/inner/a.txt")), QByteArray("source bytes"));
}

void FileOps::renameAcrossFileSystems()
{
    const std::unique_ptr<QTemporaryDir> there = otherFileSystem(m_dir->path());
    if (!there)
        QSKIP("no second file system at /dev/shm");
    QTemporaryDir &other = *there;
    writeFile(other.filePath("taken.txt"), "taken");
    QVERIFY(!core::fs::renameNoReplace(path("a.txt"), other.filePath("taken.txt")));
    QCOMPARE(readAll(other.filePath("taken.txt")), QByteArray("taken"));
    QVERIFY(QFile::exists(path("a.txt")));

    // Moved as mv moves it: mode, owner, times and extended attributes kept.
    QCOMPARE(setAttribute(path("a.txt"), "user.note", "kept"), 0);
    const bool attributesThere = setAttribute(other.filePath("taken.txt"), "user.probe", "") == 0;
    const QByteArray source = QFile::encodeName(path("a.txt"));
    // Only root may give the file another owner; anyone else moves a file of their own.
    const uid_t owner = geteuid() == 0 ? 1234 : geteuid();
    const gid_t group = geteuid() == 0 ? 1235 : getegid();
    QCOMPARE(chown(source.constData(), owner, group), 0);
    QCOMPARE(chmod(source.constData(), 0604), 0);
    const timespec times[2] = {{1000000000, 0}, {1200000000, 0}};
    QCOMPARE(utimensat(AT_FDCWD, source.constData(), times, 0), 0);
    QVERIFY(core::fs::renameNoReplace(path("a.txt"), other.filePath("a.txt")));
    QCOMPARE(readAll(other.filePath("a.txt")), QByteArray("source bytes"));
    QVERIFY(!QFile::exists(path("a.txt")));
    const struct stat moved = statOf(other.filePath("a.txt"));
    QCOMPARE(moved.st_uid, owner);
    QCOMPARE(moved.st_gid, group);
    QCOMPARE(moved.st_mode & 07777, mode_t(0604));
    QCOMPARE(moved.st_mtim.tv_sec, time_t(1200000000));
    if (attributesThere)
        QCOMPARE(attribute(other.filePath("a.txt"), "user.note"), QByteArray("kept"));

    QVERIFY(QDir(m_dir->path()).mkdir("folder"));
    QCOMPARE(why(core::fs::renameNoReplace(path("folder"), other.filePath("folder"))),
             "rename EXDEV");
    QVERIFY(QFileInfo(path("folder")).isDir());
}

void FileOps::linkMovedAcrossFileSystems_data()
{
    QTest::addColumn<bool>("grows"); // its target changes to a longer one while it is read
    QTest::newRow("keeps its own owner") << false;
    QTest::newRow("whose target grows meanwhile") << true;
}

void FileOps::linkMovedAcrossFileSystems()
{
    QFETCH(bool, grows);
    const std::unique_ptr<QTemporaryDir> there = otherFileSystem(m_dir->path());
    if (!there)
        QSKIP("no second file system at /dev/shm");
    if (geteuid() != 0)
        QSKIP("only root may give a link and its file other owners");
    const QByteArray file = QFile::encodeName(path("a.txt"));
    const QByteArray link = QFile::encodeName(path("link"));
    QCOMPARE(chown(file.constData(), 4321, 4321), 0);
    QCOMPARE(symlink(file.constData(), link.constData()), 0);
    QCOMPARE(lchown(link.constData(), 1234, 1234), 0);
    const QString moved = there->filePath("link");

    SwappedCalls swapped;
    LinkGrows::path = grows ? link : QByteArray();
    LinkGrows::longer = QFile::encodeName(m_dir->path()) + "/./a.txt";
    core::sys::calls.readlinkat = LinkGrows::readlinkat;
    const core::fs::Result result = core::fs::renameNoReplace(path("link"), moved);
    QVERIFY(LinkGrows::path.isEmpty());
    QCOMPARE(statOf(path("a.txt")).st_uid, uid_t(4321));
    if (grows) {
        // A target cut to its old length would point elsewhere: the link stays where it was.
        QCOMPARE(why(result), "source changed");
        QVERIFY(QFileInfo(path("link")).isSymLink());
        QVERIFY(!QFileInfo(moved).isSymLink());
        return;
    }
    QCOMPARE(why(result), "ok");
    QVERIFY(!QFileInfo(path("link")).isSymLink());
    char target[4096];
    const ssize_t n = readlink(QFile::encodeName(moved).constData(), target, sizeof target);
    QCOMPARE(QByteArray(target, n > 0 ? n : 0), file);
    QCOMPARE(statOf(moved).st_uid, uid_t(1234));
}

void FileOps::removeOnlyWhatMayGo()
{
    writeFile(path("ro.txt"), "keep");
    makeReadOnly(path("ro.txt"));
    QVERIFY(core::fs::isReadOnly(path("ro.txt")));
    QVERIFY(!core::fs::isReadOnly(path("a.txt")));
    QVERIFY(QFile::link(path("ro.txt"), path("link.txt")));
    QVERIFY(QDir(m_dir->path()).mkdir("sub"));
    QVERIFY(QFile::link(path("sub"), path("sublink")));

    // The batch's delete takes regular files and links to them only.
    QVERIFY(!core::fs::removeRegularFile({AT_FDCWD, QFile::encodeName(path("sublink"))}));
    QVERIFY(QFileInfo(path("sublink")).isSymLink());
    QVERIFY(!core::fs::removeFile(path("ro.txt")));
    QVERIFY(!core::fs::removeFile(path("sub")));
    QVERIFY(!core::fs::removeFile(path("missing.txt")));
    QVERIFY(core::fs::removeFile(path("link.txt")));
    QVERIFY(!QFileInfo(path("link.txt")).isSymLink());
    QCOMPARE(readAll(path("ro.txt")), QByteArray("keep"));
    QVERIFY(QFileInfo(path("sub")).isDir());
    QVERIFY(core::fs::removeFile(path("a.txt")));
    QVERIFY(!QFile::exists(path("a.txt")));
}

void FileOps::specialFilesNeitherReadNorReplaced_data()
{
    QTest::addColumn<QString>("kind");
    for (const char *kind : {"fifo", "device", "socket", "dangling link", "nul in path"})
        QTest::newRow(kind) << kind;
}

void FileOps::specialFilesNeitherReadNorReplaced()
{
    QFETCH(QString, kind);
    FailFast failFast;
    QString special = path("special");
    const QByteArray native = QFile::encodeName(special);
    int socketFd = -1;
    if (kind == "fifo") {
        QCOMPARE(mkfifo(native.constData(), 0600), 0);
    } else if (kind == "device") {
        if (mknod(native.constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
            QSKIP("no device nodes here");
    } else if (kind == "socket") {
        socketFd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, native.constData(), sizeof address.sun_path);
        QCOMPARE(bind(socketFd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    } else if (kind == "dangling link") {
        QCOMPARE(symlink("nowhere", native.constData()), 0);
    } else {
        // Cut at the NUL, the path would name a.txt.
        special = path("a.txt") + QChar(0) + ".bak";
        QVERIFY(core::fs::toNative(special).isEmpty());
    }
    const mode_t before = statOf(special).st_mode;

    QVERIFY(!core::fs::copyFile(special, path("copy.txt")));
    QVERIFY(!QFile::exists(path("copy.txt")));
    QVERIFY(!core::fs::copyFile(path("a.txt"), special));
    QVERIFY(!core::fs::writeFile(special, "new", false));
    QVERIFY(!core::fs::removeRegularFile({AT_FDCWD, core::fs::toNative(special)}));
    QCOMPARE(statOf(special).st_mode, before);
    QVERIFY(QFileInfo(path("nowhere")).exists() == false);
    if (kind == "nul in path") {
        QVERIFY(!core::fs::removeFile(special));
        QVERIFY(!core::fs::renameNoReplace(special, path("moved.txt")));
    }
    QCOMPARE(readAll(path("a.txt")), QByteArray("source bytes"));
    if (socketFd >= 0)
        close(socketFd);
}

void FileOps::fifoSwappedInDoesNotBlock_data()
{
    QTest::addColumn<QString>("operation");
    QTest::newRow("copy from it") << "copy from";
    // A file with a second hard link is written in place, so it is opened for writing.
    QTest::newRow("copy onto it") << "copy onto";
    QTest::newRow("save onto it") << "save onto";
}

// Opening a FIFO with no writer for reading, or with no reader for writing, waits for the other
// end; the open must fail instead.
void FileOps::fifoSwappedInDoesNotBlock()
{
    QFETCH(QString, operation);
    FailFast failFast;
    writeFile(path("b.txt"), "old");
    QCOMPARE(::link(QFile::encodeName(path("b.txt")).constData(),
                    QFile::encodeName(path("twin.txt")).constData()),
             0);
    SwappedCalls swapped;
    FifoSwap::path = QFile::encodeName(path("b.txt"));
    core::sys::calls.openat = FifoSwap::openat;
    if (operation == "copy from")
        QVERIFY(!core::fs::copyFile(path("b.txt"), path("c.txt")));
    else if (operation == "copy onto")
        QVERIFY(!core::fs::copyFile(path("a.txt"), path("b.txt")));
    else
        QVERIFY(!core::fs::writeFile(path("b.txt"), "new", true));
    QVERIFY(FifoSwap::path.isEmpty());
    QCOMPARE(readAll(path("twin.txt")), QByteArray("old"));
    QVERIFY(!QFile::exists(path("c.txt")));
}

void FileOps::replacedFileKeepsWhatItWas_data()
{
    QTest::addColumn<bool>("save"); // a save, or a copy
    QTest::addColumn<bool>("twin"); // another hard link to the target
    QTest::addColumn<uint>("owner");
    QTest::addColumn<uint>("group");
    QTest::addColumn<uint>("mode");
    QTest::addColumn<QString>("extra"); // an ACL and an attribute, or a set-group-id folder
    // Someone else's file that only its owner and group may read.
    QTest::newRow("copy") << false << false << 1234u << 1234u << 0620u << "";
    QTest::newRow("copy onto a hard-linked file") << false << true << 1234u << 1234u << 0620u << "";
    QTest::newRow("save") << true << false << 1234u << 1234u << 0620u << "";
    QTest::newRow("save onto a hard-linked file") << true << true << 1234u << 1234u << 0620u << "";
    // The writer's own file in another group, with the bits a change of owner clears.
    const uint me = geteuid();
    QTest::newRow("copy, own file, other group") << false << false << me << 1234u << 06750u << "";
    QTest::newRow("save, own file, other group") << true << false << me << 1234u << 07751u << "";
    QTest::newRow("copy, ACL and attribute") << false << false << 1234u << 1234u << 0640u << "acl";
    QTest::newRow("save, ACL and attribute") << true << false << 1234u << 1234u << 0640u << "acl";
    // The folder's default ACL would give the new file an ACL the old one did not have.
    QTest::newRow("copy, no ACL under a default ACL") << false << false << 1234u << 1234u << 0640u << "default acl";
    QTest::newRow("save, no ACL under a default ACL") << true << false << 1234u << 1234u << 0640u << "default acl";
    // A new file there takes the folder's group, not the writer's.
    const uint myGroup = getegid();
    QTest::newRow("copy in a set-group-id folder") << false << false << me << myGroup << 0640u << "setgid";
    QTest::newRow("save in a set-group-id folder") << true << false << me << myGroup << 0640u << "setgid";
}

void FileOps::replacedFileKeepsWhatItWas()
{
    QFETCH(bool, save);
    QFETCH(bool, twin);
    QFETCH(uint, owner);
    QFETCH(uint, group);
    QFETCH(uint, mode);
    QFETCH(QString, extra);
    if (geteuid() != 0)
        QSKIP("only root may give the files other owners and groups");
    if (extra == "setgid") {
        const QByteArray folder = QFile::encodeName(m_dir->path());
        QCOMPARE(chown(folder.constData(), uid_t(-1), 4000), 0);
        QCOMPARE(chmod(folder.constData(), 02755), 0);
    }
    writeFile(path("b.txt"), "old content", mode);
    if (extra == "default acl") {
        if (const int error = setAttribute(m_dir->path(), "system.posix_acl_default", accessAcl()))
            QSKIP(qPrintable(QStringLiteral("no default ACL here: ") + strerrorname_np(error)));
    }
    QCOMPARE(chown(QFile::encodeName(path("b.txt")).constData(), owner, group), 0);
    QCOMPARE(chmod(QFile::encodeName(path("b.txt")).constData(), mode), 0);
    if (extra == "acl") {
        if (const int error = setAttribute(path("b.txt"), "system.posix_acl_access", accessAcl()))
            QSKIP(qPrintable(QStringLiteral("no ACL here: ") + strerrorname_np(error)));
        QCOMPARE(setAttribute(path("b.txt"), "user.note", "kept"), 0);
    }
    if (twin)
        QCOMPARE(::link(QFile::encodeName(path("b.txt")).constData(),
                        QFile::encodeName(path("twin.txt")).constData()),
                 0);
    const ino_t inode = statOf(path("b.txt")).st_ino;

    QVERIFY(save ? core::fs::writeFile(path("b.txt"), "source bytes", true)
                 : core::fs::copyFile(path("a.txt"), path("b.txt")));
    const struct stat st = statOf(path("b.txt"));
    QCOMPARE(readAll(path("b.txt")), QByteArray("source bytes"));
    QCOMPARE(st.st_uid, uid_t(owner));
    QCOMPARE(st.st_gid, gid_t(group));
    QCOMPARE(st.st_mode & 07777, mode_t(mode));
    if (extra == "acl") {
        QCOMPARE(attribute(path("b.txt"), "system.posix_acl_access"), accessAcl());
        QCOMPARE(attribute(path("b.txt"), "user.note"), QByteArray("kept"));
    }
    if (extra == "default acl")
        QCOMPARE(attribute(path("b.txt"), "system.posix_acl_access"), QByteArray("<none>"));
    if (twin) {
        QCOMPARE(st.st_ino, inode);
        QCOMPARE(readAll(path("twin.txt")), QByteArray("source bytes"));
    }
}

void FileOps::writerWhoMayNotCreateOrChown()
{
    if (geteuid() != 0)
        QSKIP("only root may set up another user's files and become that user");
    // Run as user 1234 (group 1234) in a child process: a file of theirs in a folder where they
    // may not create files, and a file of another member of their group.
    QCOMPARE(chmod(QFile::encodeName(m_dir->path()).constData(), 0755), 0);
    QVERIFY(QDir(m_dir->path()).mkdir("locked"));
    writeFile(path("locked/mine.txt"), "old", 0644);
    QCOMPARE(chown(QFile::encodeName(path("locked/mine.txt")).constData(), 1234, 1234), 0);
    QVERIFY(QDir(m_dir->path()).mkdir("shared"));
    QCOMPARE(chmod(QFile::encodeName(path("shared")).constData(), 0777), 0);
    writeFile(path("shared/theirs.txt"), "old", 0664);
    QCOMPARE(chown(QFile::encodeName(path("shared/theirs.txt")).constData(), 1235, 1234), 0);

    const pid_t child = fork();
    if (child == 0) {
        const bool ok = setgroups(0, nullptr) == 0 && setgid(1234) == 0 && setuid(1234) == 0 &&
                        core::fs::writeFile(path("locked/mine.txt"), "new mine", true) &&
                        core::fs::writeFile(path("shared/theirs.txt"), "new theirs", true);
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    QCOMPARE(readAll(path("locked/mine.txt")), QByteArray("new mine"));
    QCOMPARE(readAll(path("shared/theirs.txt")), QByteArray("new theirs"));
    QCOMPARE(statOf(path("shared/theirs.txt")).st_uid, uid_t(1235));
    QCOMPARE(entries(path("shared")), QStringList({"theirs.txt"}));
}

void FileOps::copyKeepsHoles()
{
    // 1 GiB with 8 KiB of data in the middle.
    QFile sparse(path("sparse"));
    QVERIFY(sparse.open(QIODevice::WriteOnly));
    QVERIFY(sparse.resize(1LL << 30));
    QVERIFY(sparse.seek(512LL << 20));
    QCOMPARE(sparse.write(QByteArray(8192, 'd')), qint64(8192));
    sparse.close();
    if (statOf(path("sparse")).st_blocks * 512 > (1 << 20))
        QSKIP("this file system keeps no holes");

    QVERIFY(core::fs::copyFile(path("sparse"), path("copy")));
    const struct stat st = statOf(path("copy"));
    QCOMPARE(st.st_size, off_t(1LL << 30));
    QVERIFY2(st.st_blocks * 512 <= (1 << 20), qPrintable(QString::number(st.st_blocks)));
    QFile copy(path("copy"));
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QVERIFY(copy.seek((512LL << 20) - 1));
    QCOMPARE(copy.read(8194), QByteArray(1, '\0') + QByteArray(8192, 'd') + QByteArray(1, '\0'));
}

void FileOps::namesKeepTheirBytes()
{
    // Two names that a lossy decoding makes one: caf\xE9 (Latin-1) and caf + U+FFFD.
    const QByteArray folder = QFile::encodeName(m_dir->path());
    writeNative(folder + "/caf\xE9.txt", "latin");
    writeNative(folder + "/caf\xEF\xBF\xBD.txt", "replacement");
    const auto named = [&](const QByteArray &name) {
        return core::fs::fromNative(QByteArray(folder + '/' + name));
    };
    const auto exists = [&](const QByteArray &name) { return testfiles::existsNative(folder, name); };

    QVERIFY(core::fs::copyFile(named("caf\xE9.txt"), path("copy.txt")));
    QCOMPARE(readAll(path("copy.txt")), QByteArray("latin"));
    QVERIFY(core::fs::renameNoReplace(named("caf\xE9.txt"), named("caf\xE9.bak")));
    QVERIFY(exists("caf\xE9.bak") && !exists("caf\xE9.txt"));
    QVERIFY(core::fs::removeFile(named("caf\xE9.bak")));
    QVERIFY(!exists("caf\xE9.bak"));
    QCOMPARE(readAll(core::fs::fromNative(QByteArray(folder + "/caf\xEF\xBF\xBD.txt"))),
             QByteArray("replacement"));
}

QTEST_GUILESS_MAIN(FileOps)
#include "tst_fileops.moc"
