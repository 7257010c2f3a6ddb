// SPDX-License-Identifier: GPL-3.0-or-later
// The shared file operations, on real files: nothing is ever replaced by a rename, no copy or save
// damages its source or leaves a half-written target, and read-only files stay.

#include "core/filenames.h"
#include "core/fileops.h"
#include "core/syscalls.h"
#include "tests/test_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
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

// Another program changing the copy's source at the copy's first read of it.
struct SourceChange {
    static inline QByteArray path;
    static inline bool truncates = false;
    static inline bool done = false;

    static void happen()
    {
        if (std::exchange(done, true))
            return;
        if (truncates) {
            QCOMPARE(::truncate(path.constData(), 16 * 1024), 0);
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
    void writeThroughLinksKeepingMode();
    void renameNeverReplaces();
    void renameMovesFoldersAndOntoItself();
    void renameAcrossFileSystems();
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
    QTest::addColumn<bool>("copied");
    QTest::addColumn<uint>("mode"); // of the target, when copied

    // clang-format off
    QTest::newRow("new file") << "b.txt" << "" << true << 0644u;
    // The source's permission bits less the creation mask, as cp gives them.
    QTest::newRow("new file from a source all may write") << "b.txt" << "all" << true << 0755u;
    QTest::newRow("over an existing file") << "b.txt" << "existing" << true << 0644u;
    // Root may write it; only a file nobody may write is read-only.
    QTest::newRow("over a file only its group may write") << "b.txt" << "group" << (geteuid() == 0) << 0464u;
    QTest::newRow("source under another spelling") << "sub/../a.txt" << "subfolder" << false << 0u;
    QTest::newRow("source through a link") << "link.txt" << "symlink" << false << 0u;
    QTest::newRow("source through a hard link") << "hard.txt" << "hardlink" << false << 0u;
    QTest::newRow("target is a folder") << "sub" << "subfolder" << false << 0u;
    QTest::newRow("read-only target") << "b.txt" << "readonly" << false << 0u;
    QTest::newRow("target in a missing folder") << "none/b.txt" << "" << false << 0u;
    // clang-format on
}

void FileOps::copyOutcome()
{
    QFETCH(QString, target);
    QFETCH(QString, setup);
    QFETCH(bool, copied);
    QFETCH(uint, mode);
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

    QCOMPARE(core::fs::copyFile(path("a.txt"), path(target)).ok(), copied);
    QCOMPARE(readAll(path("a.txt")), QByteArray("source bytes"));
    QCOMPARE(readAll(path(target)), copied ? QByteArray("source bytes") : before);
    if (copied)
        QCOMPARE(statOf(path(target)).st_mode & 07777, mode_t(mode));
    for (const QString &name : entries(m_dir->path()))
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
    QTest::addColumn<bool>("truncates"); // or rewrites its start, keeping its size
    QTest::addColumn<bool>("replaces");  // an existing target, or a new file
    QTest::newRow("truncated, new file") << true << false;
    QTest::newRow("truncated, replacing a file") << true << true;
    QTest::newRow("rewritten, replacing a file") << false << true;
}

// The copy fails, and a file it would have replaced stays exactly as it was: a copy that
// reported success could hold bytes the source never held.
void FileOps::sourceChangedWhileCopied()
{
    QFETCH(bool, truncates);
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
    SourceChange::truncates = truncates;
    SourceChange::done = false;
    core::sys::calls.copyFileRange = SourceChange::copyFileRange;
    core::sys::calls.pread = SourceChange::pread;
    core::sys::calls.read = SourceChange::read;
    QVERIFY(!core::fs::copyFile(path("big.bin"), path("b.txt")));
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
    QVERIFY(!core::fs::renameNoReplace(path("a.txt"), path("b.txt")));
    QCOMPARE(readAll(path("a.txt")), QByteArray("source bytes"));
    QCOMPARE(readAll(path("b.txt")), QByteArray("other"));
    QVERIFY(!core::fs::renameNoReplace(path("missing.txt"), path("c.txt")));
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
    struct stat here, shm;
    if (stat("/dev/shm", &shm) != 0 ||
        stat(QFile::encodeName(m_dir->path()).constData(), &here) != 0 || shm.st_dev == here.st_dev)
        QSKIP("no second file system at /dev/shm");
    QTemporaryDir other(QStringLiteral("/dev/shm/fileops-XXXXXX"));
    QVERIFY(other.isValid());
    writeFile(other.filePath("taken.txt"), "taken");
    QVERIFY(!core::fs::renameNoReplace(path("a.txt"), other.filePath("taken.txt")));
    QCOMPARE(readAll(other.filePath("taken.txt")), QByteArray("taken"));
    QVERIFY(QFile::exists(path("a.txt")));

    // Moved as mv moves it: mode, owner and times kept.
    const QByteArray source = QFile::encodeName(path("a.txt"));
    QCOMPARE(chown(source.constData(), 1234, 1235), 0);
    QCOMPARE(chmod(source.constData(), 0604), 0);
    const timespec times[2] = {{1000000000, 0}, {1200000000, 0}};
    QCOMPARE(utimensat(AT_FDCWD, source.constData(), times, 0), 0);
    QVERIFY(core::fs::renameNoReplace(path("a.txt"), other.filePath("a.txt")));
    QCOMPARE(readAll(other.filePath("a.txt")), QByteArray("source bytes"));
    QVERIFY(!QFile::exists(path("a.txt")));
    const struct stat moved = statOf(other.filePath("a.txt"));
    QCOMPARE(moved.st_uid, uid_t(1234));
    QCOMPARE(moved.st_gid, gid_t(1235));
    QCOMPARE(moved.st_mode & 07777, mode_t(0604));
    QCOMPARE(moved.st_mtim.tv_sec, time_t(1200000000));

    QVERIFY(QDir(m_dir->path()).mkdir("folder"));
    QVERIFY(!core::fs::renameNoReplace(path("folder"), other.filePath("folder")));
    QVERIFY(QFileInfo(path("folder")).isDir());
}

void FileOps::removeOnlyWhatMayGo()
{
    writeFile(path("ro.txt"), "keep");
    makeReadOnly(path("ro.txt"));
    QVERIFY(core::fs::isReadOnly(path("ro.txt")));
    QVERIFY(!core::fs::isReadOnly(path("a.txt")));
    QVERIFY(QFile::link(path("ro.txt"), path("link.txt")));
    QVERIFY(QDir(m_dir->path()).mkdir("sub"));

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
    // Someone else's file that only its owner and group may read.
    QTest::newRow("copy") << false << false << 1234u << 1234u << 0620u;
    QTest::newRow("copy onto a hard-linked file") << false << true << 1234u << 1234u << 0620u;
    QTest::newRow("save") << true << false << 1234u << 1234u << 0620u;
    QTest::newRow("save onto a hard-linked file") << true << true << 1234u << 1234u << 0620u;
    // The writer's own file in another group, with the bits a change of owner clears.
    const uint me = geteuid();
    QTest::newRow("copy, own file, other group") << false << false << me << 1234u << 06750u;
    QTest::newRow("save, own file, other group") << true << false << me << 1234u << 07751u;
}

void FileOps::replacedFileKeepsWhatItWas()
{
    QFETCH(bool, save);
    QFETCH(bool, twin);
    QFETCH(uint, owner);
    QFETCH(uint, group);
    QFETCH(uint, mode);
    writeFile(path("b.txt"), "old content", mode);
    QCOMPARE(chown(QFile::encodeName(path("b.txt")).constData(), owner, group), 0);
    QCOMPARE(chmod(QFile::encodeName(path("b.txt")).constData(), mode), 0);
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
    if (twin) {
        QCOMPARE(st.st_ino, inode);
        QCOMPARE(readAll(path("twin.txt")), QByteArray("source bytes"));
    }
}

void FileOps::writerWhoMayNotCreateOrChown()
{
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
    const auto exists = [&](const QByteArray &name) {
        return ::access(QByteArray(folder + '/' + name).constData(), F_OK) == 0;
    };

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
