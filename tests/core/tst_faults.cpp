// SPDX-License-Identifier: GPL-3.0-or-later
// Every operation on a user's files, failed at each of its system calls in turn, and ended at
// each of them in a child process as a crash or a power cut would end it. Whatever happens, each
// file it touches is as it was (bytes, owner, group, mode, ACL, extended attributes, times) or
// wholly as it should become, no file is lost, and at most the temporary file of a crash is left
// over; what only reads (the load, the listing) changes nothing and answers the whole truth or
// nothing, and no descriptor stays open. The faults go through the table of core::sys, so the
// program's own calls are the ones that fail. The in-place and metadata operations run again on
// file systems of their own where the machine lets the test mount an image: ext2, which cannot
// reserve space, ext4, and an ext2 so full that the system itself refuses their new content.

#include "core/filenames.h"
#include "core/fileops.h"
#include "core/syscalls.h"
#include "diverter/batch_history.h"
#include "diverter/file_batch.h"
#include "diverter/folder_reading.h"
#include "diverter/listing.h"
#include "file_editer/file_operations.h"
#include "text_editer/file_loader.h"
#include "text_editer/file_saver.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

using core::sys::real;

// ---- The faults

enum class Fault { Error, Interrupt, Short, DiskFull, Crash };

// What a call can suffer besides an error.
enum Trait : unsigned { Interruptible = 1, Transfers = 2, Allocates = 4 };

// The child's exit status when it ended at the chosen call, and when it finished but its answer
// was wrong (a check made in the child that the parent cannot repeat).
constexpr int kCrashed = 86;
constexpr int kAnsweredWrongly = 87;

struct Injection {
    Fault fault = Fault::Error;
    int error = 0;
    long at = 0;      // the call that is hit, counted from 1 among those the fault applies to;
                      // 0 strikes none, and counts every call
    long counted = 0; // calls counted so far
    bool hit = false;
    QStringList *log = nullptr; // the calls in order, when given
    std::map<int, QByteArray> named;
    std::set<std::string_view> made; // which calls of the table the operation made
    std::string_view struck;         // the call the fault hit
    bool damaged = false;            // the operation said a file may be damaged
    // The scene's files have attributes, so their file system cannot claim to hold none.
    bool attributesHeld = false;
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

// A file system that holds no attributes says so when asked for them; one that holds the scene's
// files' attributes cannot, so that answer is never given there.
bool unsupportedAttributes(std::string_view call)
{
    return injection.fault == Fault::Error &&
           (injection.error == EOPNOTSUPP || injection.error == ENOSYS) &&
           (call == "flistxattr" || call == "fgetxattr");
}

Act decide(std::string_view call, unsigned traits)
{
    injection.made.insert(call);
    if (!appliesTo(traits) || (injection.attributesHeld && unsupportedAttributes(call)))
        return Act::Pass;
    const long n = ++injection.counted;
    if (injection.at == 0)
        return Act::Pass;
    // A full disk stays full from the call it filled at.
    if (injection.fault == Fault::DiskFull ? n < injection.at : n != injection.at)
        return Act::Pass;
    injection.hit = true;
    injection.struck = call;
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

// An attribute or the list of names can grow between the call that asks its size and the call
// that reads it, up to the largest the system allows: a buffer smaller than that can come back
// too small (ERANGE), which is the attribute calls' short read.
unsigned attributeTraits(size_t size)
{
    return size > 0 && size < 65536 ? unsigned(Transfers) : 0u;
}
bool fitsAttribute(Act act)
{
    if (act == Act::Shorten)
        errno = ERANGE;
    return act == Act::Pass;
}

off_t offsetOf(int fd)
{
    return real.lseek(fd, 0, SEEK_CUR);
}

// Every fault fails a call before it takes effect, except close and closedir, which free the
// descriptor even when they report an error. Calls that wait on nothing (stat, rename, the
// attribute calls, readdir) are never interrupted; those that can take space on the disk
// (writes, reservations, a new attribute) meet the full disk. readdir fails as the system's does:
// null with errno set, the entries before it already given.
const core::sys::Calls injecting = {
    [](int folder, const char *path, int flags, mode_t mode) {
        if (decide("openat", Interruptible) == Act::Fail)
            return -1;
        const int fd = real.openat(folder, path, flags, mode);
        if (fd >= 0 && injection.log)
            injection.named[fd] = path;
        return fd;
    },
    [](int fd) {
        const bool fail = decide("close", 0) == Act::Fail;
        const int error = errno;
        const int result = real.close(fd);
        errno = error;
        return fail ? -1 : result;
    },
    [](int fd, void *buffer, size_t size) -> ssize_t {
        if (!transfer(decide("read", Interruptible | Transfers), fd, 0, size))
            return -1;
        return real.read(fd, buffer, size);
    },
    [](int fd, const void *buffer, size_t size) -> ssize_t {
        const Act act = decide("write", Interruptible | Transfers | Allocates);
        if (!transfer(act, fd, act == Act::Full ? offsetOf(fd) : 0, size))
            return -1;
        return real.write(fd, buffer, size);
    },
    [](int fd, void *buffer, size_t size, off_t offset) -> ssize_t {
        if (!transfer(decide("pread", Interruptible | Transfers), fd, offset, size))
            return -1;
        return real.pread(fd, buffer, size, offset);
    },
    [](int fd, const void *buffer, size_t size, off_t offset) -> ssize_t {
        if (!transfer(decide("pwrite", Interruptible | Transfers | Allocates), fd, offset, size))
            return -1;
        return real.pwrite(fd, buffer, size, offset);
    },
    [](int in, off_t *inAt, int out, off_t *outAt, size_t size, unsigned flags) -> ssize_t {
        const Act act = decide("copy_file_range", Interruptible | Transfers | Allocates);
        if (!transfer(act, out, outAt ? *outAt : offsetOf(out), size))
            return -1;
        return real.copyFileRange(in, inAt, out, outAt, size, flags);
    },
    [](int fd, off_t offset, int whence) -> off_t {
        return decide("lseek", 0) == Act::Fail ? -1 : real.lseek(fd, offset, whence);
    },
    [](int fd, struct stat *st) {
        return decide("fstat", 0) == Act::Fail ? -1 : real.fstat(fd, st);
    },
    [](int folder, const char *path, struct stat *st, int flags) {
        return decide("fstatat", 0) == Act::Fail ? -1 : real.fstatat(folder, path, st, flags);
    },
    [](int fd) {
        if (decide("fsync", Interruptible) == Act::Fail)
            return -1;
        note("fsync", injection.named[fd]);
        return real.fsync(fd);
    },
    [](int fd, off_t size) {
        return decide("ftruncate", Interruptible) == Act::Fail ? -1 : real.ftruncate(fd, size);
    },
    [](int fd, int mode, off_t offset, off_t size) {
        const Act act = decide("fallocate", Interruptible | Allocates);
        if (act == Act::Full && roomFor(fd, offset, size_t(size)) < size_t(size))
            errno = ENOSPC;
        else if (act != Act::Fail)
            return real.fallocate(fd, mode, offset, size);
        return -1;
    },
    [](int fd, uid_t owner, gid_t group) {
        return decide("fchown", 0) == Act::Fail ? -1 : real.fchown(fd, owner, group);
    },
    [](int folder, const char *path, uid_t owner, gid_t group, int flags) {
        return decide("fchownat", 0) == Act::Fail
                   ? -1
                   : real.fchownat(folder, path, owner, group, flags);
    },
    [](int fd, mode_t mode) {
        return decide("fchmod", 0) == Act::Fail ? -1 : real.fchmod(fd, mode);
    },
    [](int fd, const timespec times[2]) {
        return decide("futimens", 0) == Act::Fail ? -1 : real.futimens(fd, times);
    },
    [](int folder, const char *path, const timespec times[2], int flags) {
        return decide("utimensat", 0) == Act::Fail ? -1
                                                   : real.utimensat(folder, path, times, flags);
    },
    [](int fromFolder, const char *from, int toFolder, const char *to) {
        if (decide("renameat", 0) == Act::Fail)
            return -1;
        note("rename", QByteArray(from) + ' ' + to);
        return real.renameat(fromFolder, from, toFolder, to);
    },
    [](int fromFolder, const char *from, int toFolder, const char *to, unsigned flags) {
        if (decide("renameat2", 0) == Act::Fail)
            return -1;
        note("rename", QByteArray(from) + ' ' + to);
        return real.renameat2(fromFolder, from, toFolder, to, flags);
    },
    [](int fromFolder, const char *from, int toFolder, const char *to, int flags) {
        return decide("linkat", 0) == Act::Fail
                   ? -1
                   : real.linkat(fromFolder, from, toFolder, to, flags);
    },
    [](int folder, const char *path, int flags) {
        return decide("unlinkat", 0) == Act::Fail ? -1 : real.unlinkat(folder, path, flags);
    },
    [](const char *target, int folder, const char *path) {
        return decide("symlinkat", 0) == Act::Fail ? -1 : real.symlinkat(target, folder, path);
    },
    [](int folder, const char *path, char *buffer, size_t size) -> ssize_t {
        return decide("readlinkat", 0) == Act::Fail ? -1
                                                    : real.readlinkat(folder, path, buffer, size);
    },
    [](int fd, const char *name, void *value, size_t size) -> ssize_t {
        if (!fitsAttribute(decide("fgetxattr", attributeTraits(size))))
            return -1;
        return real.fgetxattr(fd, name, value, size);
    },
    // A new attribute may need a block of its own, which a full disk refuses.
    [](int fd, const char *name, const void *value, size_t size, int flags) {
        switch (decide("fsetxattr", Allocates)) {
        case Act::Fail: return -1;
        case Act::Full: errno = ENOSPC; return -1;
        default: return real.fsetxattr(fd, name, value, size, flags);
        }
    },
    [](int fd, char *list, size_t size) -> ssize_t {
        if (!fitsAttribute(decide("flistxattr", attributeTraits(size))))
            return -1;
        return real.flistxattr(fd, list, size);
    },
    [](int fd) -> DIR * {
        return decide("fdopendir", 0) == Act::Fail ? nullptr : real.fdopendir(fd);
    },
    [](DIR *dir) -> dirent * {
        return decide("readdir", 0) == Act::Fail ? nullptr : real.readdir(dir);
    },
    [](DIR *dir) {
        const bool fail = decide("closedir", 0) == Act::Fail;
        const int error = errno;
        const int result = real.closedir(dir);
        errno = error;
        return fail ? -1 : result;
    },
    [](const char *path, char *resolved) -> char * {
        return decide("realpath", 0) == Act::Fail ? nullptr : real.realpath(path, resolved);
    },
};

// ---- What a path holds

using Attributes = std::map<QByteArray, QByteArray>;

// Every extended attribute of the entry at `path` (a link not followed), names and values, the
// ACL among them (it is the attribute system.posix_acl_access), read by the system's calls.
Attributes attributesOf(const QByteArray &path)
{
    Attributes found;
    const ssize_t size = llistxattr(path.constData(), nullptr, 0);
    if (size <= 0)
        return found;
    QByteArray names(size, '\0');
    const ssize_t got = llistxattr(path.constData(), names.data(), size_t(names.size()));
    for (const QByteArray &name : names.left(got > 0 ? got : 0).split('\0')) {
        if (name.isEmpty())
            continue;
        const ssize_t length = lgetxattr(path.constData(), name.constData(), nullptr, 0);
        QByteArray value(length > 0 ? length : 0, '\0');
        const ssize_t n =
            lgetxattr(path.constData(), name.constData(), value.data(), size_t(value.size()));
        found[name] = n >= 0 ? value.left(n) : QByteArray("<unreadable>");
    }
    return found;
}

struct Look {
    bool exists = false;
    bool link = false;
    QByteArray bytes; // the content, or where a link points
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
    Attributes attributes;
    qint64 modified = -1; // nanoseconds; -1 when any time will do

    // All but the content and the times.
    bool sameKind(const Look &want) const
    {
        return exists == want.exists && link == want.link && mode == want.mode &&
               owner == want.owner && group == want.group && attributes == want.attributes;
    }
    // `times`: the modification time counts too (it cannot after a crash, which may come
    // between two calls that each change it).
    bool matches(const Look &want, bool times = true) const
    {
        if (exists != want.exists)
            return false;
        return !exists || (sameKind(want) && bytes == want.bytes &&
                           (!times || want.modified < 0 || modified == want.modified));
    }
    QString text() const
    {
        if (!exists)
            return QStringLiteral("missing");
        QStringList names;
        for (const auto &[name, value] : attributes)
            names << QString::fromLatin1(name);
        return QStringLiteral("%1 bytes %2 %3:%4 [%5] %6 \"%7\"")
            .arg(bytes.size())
            .arg(mode, 0, 8)
            .arg(owner)
            .arg(group)
            .arg(names.join(u' '))
            .arg(modified)
            .arg(QString::fromLatin1(bytes.left(24).replace('\r', "\\r").replace('\n', "\\n")));
    }
};

Look lookAt(const QByteArray &path)
{
    struct stat st;
    if (lstat(path.constData(), &st) != 0)
        return {};
    Look look;
    look.exists = true;
    look.link = S_ISLNK(st.st_mode);
    look.mode = mode_t(st.st_mode & 07777);
    look.owner = st.st_uid;
    look.group = st.st_gid;
    look.attributes = attributesOf(path);
    look.modified = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
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
    Look look;
    look.exists = true;
    look.bytes = bytes;
    look.mode = mode;
    look.owner = owner;
    look.group = group;
    return look;
}

// A file written in place and ended by a crash half way: no journal can make that old or new, so
// it may hold at each position the old byte or the new one, while everything but its content is
// as it was. A byte that is neither (a piece written twice or at the wrong place) still shows.
bool tornBetween(const Look &now, const Look &before, const Look &after)
{
    if (!now.exists || !now.sameKind(before) || !before.sameKind(after) ||
        now.bytes.size() > std::max(before.bytes.size(), after.bytes.size()))
        return false;
    for (qsizetype i = 0; i < now.bytes.size(); ++i) {
        const char c = now.bytes[i];
        if (!(i < before.bytes.size() && before.bytes[i] == c) &&
            !(i < after.bytes.size() && after.bytes[i] == c))
            return false;
    }
    return true;
}

// ---- The contents

// Numbered lines, so that no stretch of a content repeats another: a head written twice or an old
// tail left behind shows as bytes that are neither old nor new.
QByteArray numbered(const char *line, int count, const char *end = "\n")
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += line + QByteArray::number(i).rightJustified(6, '0') + end;
    return out;
}

// The new contents of most operations are longer than the old by more than a block, so that a
// full disk refuses them a place: space a file has already would hide a write that reserves none.
const QByteArray kOld = numbered("old line ", 40);
const QByteArray kLongOld = numbered("long old line ", 2000);
const QByteArray kSource = numbered("source line ", 600);
// The save writes its text and a CR LF.
const QByteArray kSaved = numbered("saved line ", 600, "\r\n");
const QString kText = QString::fromLatin1(kSaved.chopped(2));
// About 2.5 MiB: written in pieces, the third piece can fail after two went to the disk.
const QByteArray &bigSaved()
{
    static const QByteArray bytes = numbered("big saved line ", 120000, "\r\n");
    return bytes;
}
const QString &bigText()
{
    static const QString text = QString::fromLatin1(bigSaved().chopped(2));
    return text;
}
const QByteArray &bigSource()
{
    static const QByteArray bytes = numbered("big source line ", 115000);
    return bytes;
}

// Texts for the load, several records of 10000 bytes long. The UTF-8 one has Turkish letters
// throughout, so characters are cut by record boundaries. The Windows-1254 one is plain ASCII for
// its first records, so the first pass reads them as UTF-8 before the first Turkish letter sends
// the loader back to read the file again from its start.
QString loadText(int plain, int turkish)
{
    QString text;
    for (int i = 0; i < plain; ++i)
        text += QStringLiteral("plain line %1\n").arg(i, 6, 10, QChar(u'0'));
    for (int i = 0; i < turkish; ++i)
        text += QStringLiteral("şığ çöü İŞĞ satır %1\n").arg(i, 6, 10, QChar(u'0'));
    return text;
}
QByteArray windows1254(const QString &text)
{
    static const std::map<char16_t, char> letters = {
        {u'ş', '\xFE'}, {u'ı', '\xFD'}, {u'ğ', '\xF0'}, {u'ç', '\xE7'}, {u'ö', '\xF6'},
        {u'ü', '\xFC'}, {u'İ', '\xDD'}, {u'Ş', '\xDE'}, {u'Ğ', '\xD0'}};
    QByteArray out;
    for (const QChar c : text)
        out += c.unicode() < 0x80 ? char(c.unicode()) : letters.at(c.unicode());
    return out;
}

constexpr uid_t kOwner = 1234;
constexpr gid_t kGroup = 1235;
constexpr gid_t kFolderGroup = 1236;

// An access ACL that gives one more user rights (user::rw- user:4321:rw- group::r-- mask::rw-
// other::---), in the form the kernel keeps it in.
QByteArray accessAcl()
{
    struct Entry {
        std::uint16_t tag, permissions;
        std::uint32_t id;
    };
    const std::uint32_t version = 2;
    const Entry entries[] = {
        {0x01, 6, ~0u}, {0x02, 6, 4321}, {0x04, 4, ~0u}, {0x10, 6, ~0u}, {0x20, 0, ~0u}};
    QByteArray acl(reinterpret_cast<const char *>(&version), sizeof version);
    for (const Entry &entry : entries)
        acl.append(reinterpret_cast<const char *>(&entry), sizeof entry);
    return acl;
}

// ---- The operations

struct Watched {
    QByteArray path;
    Look before;
    Look after;    // what the finished operation leaves
    int pair = -1; // the other end of a move: the file is at one of the two
};

struct Scene {
    QByteArray here, there; // a folder on the file system under test, one on another
    std::vector<Watched> watched;
    QString unsupported; // why the file system cannot hold this scene, when it cannot
    // What a load must answer.
    QString text;
    core::TextEncoding encoding = core::TextEncoding::Utf8;
    // What was wrong with the operation's answer.
    mutable QString wrong;
    // The batches done while the scene was set up, for an undo or redo to take back.
    mutable diverter::BatchHistory history;

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
    // Gives the file a user attribute and, with `acl`, an access ACL; where the file system
    // takes neither, the scene is one it cannot hold.
    void decorate(const QByteArray &path, bool acl)
    {
        const QByteArray value = "kept " + path.mid(path.lastIndexOf('/') + 1);
        const QByteArray list = accessAcl();
        if (lsetxattr(path.constData(), "user.origin", value.constData(), size_t(value.size()),
                      0) != 0 ||
            (acl && lsetxattr(path.constData(), "system.posix_acl_access", list.constData(),
                              size_t(list.size()), 0) != 0))
            unsupported = QStringLiteral("no extended attributes or ACLs: ") +
                          QString::fromLocal8Bit(std::strerror(errno));
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
    // The file at `path` as it is, with `bytes` for its content: owner, group, mode, ACL and
    // attributes kept.
    static Look rewritten(const QByteArray &path, const QByteArray &bytes)
    {
        Look look = lookAt(path);
        look.bytes = bytes;
        look.modified = -1;
        return look;
    }
    diverter::folders::FolderIdentity listed() const
    {
        return diverter::folders::identityOf(named(here));
    }
};

// Which file systems an operation is tried on besides the working folder's. A new file starts
// as an unnamed one where the file system makes them, each in its own way.
enum class Group { Plain, InPlace, Metadata, NewFile };

struct Operation {
    const char *name;
    bool acrossFileSystems;
    std::function<void(Scene &)> setUp;
    std::function<bool(const Scene &)> run; // whether it reports success
    Group group = Group::Plain;
    // Writes in place with more than one call (pieces, or a write and a truncation), so a crash
    // may leave the file torn (see tornBetween).
    bool tornByCrash = false;
    // Calls the operation must make through the table: a call made around it is one no fault
    // can reach.
    std::vector<std::string_view> through = {};
};

const QStringList kBatch = {"a1.txt", "a2.txt", "a3.txt"};

void batchSources(Scene &s)
{
    for (const QString &name : kBatch)
        s.file(s.here + '/' + name.toUtf8(), kSource, 0666);
}

// A progress that never asks to stop.
class GoingOn : public core::Progress {
public:
    void setTotal(qint64) override {}
    bool advance(qint64) override { return true; }
};

// The batch of kBatch ("a" to "b") done, and with `undone` taken back again, without faults.
void batchDone(Scene &s, diverter::Batch kind, bool undone)
{
    batchSources(s);
    if (kind == diverter::Batch::Create)
        s.file(s.at("b2.txt"), kOld);
    const QString folder = s.named(s.here);
    s.history.add(diverter::runBatch(diverter::planBatch(kind, kBatch, "a", "b"), folder,
                                     diverter::folders::identityOf(folder)));
    if (undone)
        static_cast<void>(s.history.undo());
}

// An undo or redo whose answer counts exactly the files found done afterwards: those of
// `names` that exist (or, with `gone`, no longer do).
std::function<bool(const Scene &)> replaying(bool redo, const QStringList &names, bool gone,
                                             int expected)
{
    return [=](const Scene &s) {
        const diverter::HistoryOutcome outcome = redo ? s.history.redo() : s.history.undo();
        int found = 0;
        for (const QString &name : names)
            found += QFile::exists(s.named(s.here) + u'/' + name) != gone;
        if (found != outcome.done)
            s.wrong = QStringLiteral("counted %1 files done, but %2 are").arg(outcome.done).arg(found);
        return outcome.done == expected;
    };
}

void loadScene(Scene &s, const QString &text, core::TextEncoding encoding)
{
    s.text = text;
    s.encoding = encoding;
    s.file(s.at("t.txt"), encoding == core::TextEncoding::Utf8 ? text.toUtf8() : windows1254(text));
    s.watch(s.at("t.txt"));
}

// Either no value, with the caller's encoding left alone, or exactly the whole text.
bool loadWhole(const Scene &s)
{
    GoingOn progress;
    // Neither file's encoding: a failed load must leave it so.
    core::TextEncoding encoding = core::TextEncoding::Utf16Be;
    const auto loaded = text_editer::loadTextFile(s.named(s.at("t.txt")), &encoding, progress);
    if (!loaded) {
        if (encoding != core::TextEncoding::Utf16Be)
            s.wrong = QStringLiteral("a failed load changed the caller's encoding");
        return false;
    }
    if (*loaded != s.text)
        s.wrong = QStringLiteral("the load answered %1 of %2 characters as the whole text")
                      .arg((*loaded).size())
                      .arg(s.text.size());
    else if (encoding != s.encoding)
        s.wrong = QStringLiteral("the load chose encoding %1").arg(int(encoding));
    return true;
}

const QStringList kListed = {"f1.txt", "f2.txt", "f3.txt"};

// The file list complete or empty (an unreadable folder has no files), and the listing's sizes
// each the real one or left out. Success when nothing was left out.
bool listWhole(const Scene &s)
{
    const QString folder = s.named(s.at("l"));
    const QStringList names = diverter::folders::fileNames(folder, QStringLiteral("*"));
    // A link this user may not follow leads nowhere, like a dangling one: it is left out.
    const bool linkBarred = injection.fault == Fault::Error && injection.error == EACCES &&
                            std::string_view(injection.struck) == "fstatat";
    if (!names.isEmpty() && names != kListed &&
        !(linkBarred && names == QStringList({"f1.txt", "f2.txt"})))
        s.wrong = QStringLiteral("the file list is partial: ") + names.join(u',');
    const qsizetype sizes[] = {kOld.size(), kSource.size(), kOld.size()};
    const QStringList entries =
        diverter::listingPieces(folder, kListed, QStringLiteral("|"), true, QStringLiteral(":"))
            .split(u'|');
    bool whole = names == kListed;
    if (entries.size() != kListed.size() + 1 || !entries.front().isEmpty()) {
        s.wrong += QStringLiteral(" the listing is malformed: ") + entries.join(u'|');
        return false;
    }
    for (qsizetype i = 0; i < kListed.size(); ++i) {
        const QString &entry = entries[i + 1];
        const QString size = entry.section(u':', 1);
        if (!entry.startsWith(kListed[i] + u':'))
            s.wrong += QStringLiteral(" the listing names the wrong file: ") + entry;
        else if (size.isEmpty())
            whole = false;
        else if (size != QString::number(sizes[i]))
            s.wrong += QStringLiteral(" a wrong size in the listing: ") + entry;
    }
    return whole;
}

// The save of `text` into the file `name` of the scene's folder.
std::function<bool(const Scene &)> saving(const char *name, const QString &text)
{
    return [name, &text](const Scene &s) {
        return bool(text_editer::saveTextFile(s.named(s.at(name)), text));
    };
}

// The copy of a.txt onto `to`.
std::function<bool(const Scene &)> copying(QByteArray Scene::*folder, const char *to)
{
    return [folder, to](const Scene &s) {
        return bool(core::fs::copyFile(s.named(s.at("a.txt")), s.named(s.*folder + '/' + to)));
    };
}

// The move of a.txt to `to`.
std::function<bool(const Scene &)> moving(QByteArray Scene::*folder, const char *to)
{
    return [folder, to](const Scene &s) {
        return bool(
            core::fs::renameNoReplace(s.named(s.at("a.txt")), s.named(s.*folder + '/' + to)));
    };
}

// b.txt holding `old`, with a second hard link twin.txt: written in place, both become `bytes`.
void hardLinked(Scene &s, const QByteArray &old, const QByteArray &bytes)
{
    s.file(s.at("b.txt"), old);
    QCOMPARE(link(s.at("b.txt").constData(), s.at("twin.txt").constData()), 0);
    s.watch(s.at("b.txt"), Scene::replaced(bytes));
    s.watch(s.at("twin.txt"), Scene::replaced(bytes));
}

// a.txt holding `bytes`, to be copied onto a hard-linked b.txt holding `old`.
void copiedOntoLinked(Scene &s, const QByteArray &bytes, const QByteArray &old)
{
    s.file(s.at("a.txt"), bytes, 0666);
    s.watch(s.at("a.txt"));
    hardLinked(s, old, bytes);
}

const std::vector<Operation> &operations()
{
    static const std::vector<Operation> all = {
        {"save through a temporary file", false,
         [](Scene &s) {
             s.file(s.at("b.txt"), kOld);
             s.watch(s.at("b.txt"), Scene::replaced(kSaved));
         },
         saving("b.txt", kText)},
        // Encoded while it is written: a failure between two pieces.
        {"save through a temporary file in several pieces", false,
         [](Scene &s) {
             s.file(s.at("b.txt"), kOld);
             s.watch(s.at("b.txt"), Scene::replaced(bigSaved()));
         },
         saving("b.txt", bigText())},
        {"save in place beside a second hard link", false,
         [](Scene &s) { hardLinked(s, kOld, kSaved); }, saving("b.txt", kText), Group::InPlace},
        {"save in place, shorter than the old content", false,
         [](Scene &s) { hardLinked(s, kLongOld, kSaved); }, saving("b.txt", kText), Group::InPlace,
         true},
        {"save in place in several pieces", false,
         [](Scene &s) { hardLinked(s, kOld, bigSaved()); }, saving("b.txt", bigText()),
         Group::InPlace, true},
        {"save keeping an ACL and an attribute", false,
         [](Scene &s) {
             s.file(s.at("b.txt"), kOld);
             s.decorate(s.at("b.txt"), true);
             s.watch(s.at("b.txt"), Scene::rewritten(s.at("b.txt"), kSaved));
         },
         saving("b.txt", kText), Group::Metadata},
        {"save in a set-group-id folder", false,
         [](Scene &s) {
             // A new file there takes the folder's group; the saved one keeps its own.
             QVERIFY(QDir().mkdir(s.named(s.at("g"))));
             QCOMPARE(chown(s.at("g").constData(), geteuid(), kFolderGroup), 0);
             QCOMPARE(chmod(s.at("g").constData(), 02775), 0);
             s.file(s.at("g/b.txt"), kOld, 0640, geteuid(), getegid());
             s.watch(s.at("g/b.txt"), Scene::rewritten(s.at("g/b.txt"), kSaved));
         },
         saving("g/b.txt", kText), Group::Metadata},
        {"copy to a new file", false,
         [](Scene &s) {
             s.file(s.at("a.txt"), kSource, 0666);
             s.watch(s.at("a.txt"));
             s.watch(s.at("c.txt"), Scene::newCopy());
         },
         copying(&Scene::here, "c.txt"), Group::NewFile},
        {"copy replacing a file", false,
         [](Scene &s) {
             s.file(s.at("a.txt"), kSource, 0666);
             s.file(s.at("b.txt"), kOld);
             s.watch(s.at("a.txt"));
             s.watch(s.at("b.txt"), Scene::replaced(kSource));
         },
         copying(&Scene::here, "b.txt")},
        {"copy replacing a file with an ACL and an attribute", false,
         [](Scene &s) {
             s.file(s.at("a.txt"), kSource, 0666);
             s.file(s.at("b.txt"), kOld);
             s.decorate(s.at("b.txt"), true);
             s.watch(s.at("a.txt"));
             s.watch(s.at("b.txt"), Scene::rewritten(s.at("b.txt"), kSource));
         },
         copying(&Scene::here, "b.txt"), Group::Metadata},
        {"copy onto a hard-linked file", false,
         [](Scene &s) { copiedOntoLinked(s, kSource, kOld); }, copying(&Scene::here, "b.txt"),
         Group::InPlace},
        {"copy onto a hard-linked file, shorter than its old content", false,
         [](Scene &s) { copiedOntoLinked(s, kSource, kLongOld); }, copying(&Scene::here, "b.txt"),
         Group::InPlace, true},
        {"copy onto a hard-linked file in several pieces", false,
         [](Scene &s) { copiedOntoLinked(s, bigSource(), kOld); }, copying(&Scene::here, "b.txt"),
         Group::InPlace, true},
        {"copy across file systems", true,
         [](Scene &s) {
             s.file(s.at("a.txt"), kSource, 0666);
             s.file(s.atThere("b.txt"), kOld);
             s.watch(s.at("a.txt"));
             s.watch(s.atThere("b.txt"), Scene::replaced(kSource));
         },
         copying(&Scene::there, "b.txt")},
        {"rename", false,
         [](Scene &s) {
             s.file(s.at("a.txt"), kSource, 0604);
             s.move(s.at("a.txt"), s.at("c.txt"));
         },
         moving(&Scene::here, "c.txt")},
        {"move across file systems", true,
         [](Scene &s) {
             s.file(s.at("a.txt"), kSource, 0604);
             s.move(s.at("a.txt"), s.atThere("c.txt"));
         },
         moving(&Scene::there, "c.txt")},
        {"move across file systems keeping an attribute", true,
         [](Scene &s) {
             // The other end must take user attributes too, or there is nothing to keep.
             s.file(s.atThere("probe"), kOld);
             s.decorate(s.atThere("probe"), false);
             QCOMPARE(unlink(s.atThere("probe").constData()), 0);
             s.file(s.at("a.txt"), kSource, 0604);
             s.decorate(s.at("a.txt"), false);
             s.move(s.at("a.txt"), s.atThere("c.txt"));
         },
         moving(&Scene::there, "c.txt"), Group::Metadata},
        {"delete", false,
         [](Scene &s) {
             s.file(s.at("b.txt"), kOld);
             s.watch(s.at("b.txt"), Look{});
         },
         [](const Scene &s) { return bool(file_editer::deleteFiles(s.named(s.at("b.txt")))); }},
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
         [](const Scene &s) { return bool(file_editer::deleteFiles(s.named(s.at("x*")))); }},
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
         },
         Group::NewFile},
        {"undo of a batch rename", false,
         [](Scene &s) {
             batchDone(s, diverter::Batch::Rename, false);
             for (const char *n : {"1", "2", "3"})
                 s.move(s.here + "/b" + n + ".txt", s.here + "/a" + n + ".txt");
         },
         replaying(false, kBatch, false, 3)},
        {"redo of a batch rename", false,
         [](Scene &s) {
             batchDone(s, diverter::Batch::Rename, true);
             for (const char *n : {"1", "2", "3"})
                 s.move(s.here + "/a" + n + ".txt", s.here + "/b" + n + ".txt");
         },
         replaying(true, {"b1.txt", "b2.txt", "b3.txt"}, false, 3)},
        // b2.txt was replaced by its copy, which cannot bring the old one back: it stays.
        {"undo of a batch create", false,
         [](Scene &s) {
             batchDone(s, diverter::Batch::Create, false);
             for (const char *name : {"a1.txt", "a2.txt", "a3.txt", "b2.txt"})
                 s.watch(s.at(name));
             s.watch(s.at("b1.txt"), Look{});
             s.watch(s.at("b3.txt"), Look{});
         },
         replaying(false, {"b1.txt", "b3.txt"}, true, 2)},
        {"redo of a batch create", false,
         [](Scene &s) {
             batchDone(s, diverter::Batch::Create, true);
             for (const char *name : {"a1.txt", "a2.txt", "a3.txt", "b2.txt"})
                 s.watch(s.at(name));
             s.watch(s.at("b1.txt"), Scene::newCopy());
             s.watch(s.at("b3.txt"), Scene::newCopy());
         },
         replaying(true, {"b1.txt", "b3.txt"}, false, 2), Group::NewFile},
        {"batch delete", false,
         [](Scene &s) {
             batchSources(s);
             for (const char *n : {"1", "2", "3"})
                 s.watch(s.here + "/a" + n + ".txt", Look{});
         },
         [](const Scene &s) {
             return diverter::deleteAll(s.named(s.here), s.listed(), kBatch) == 3;
         }},
        {"load a UTF-8 file",
         false,
         [](Scene &s) { loadScene(s, loadText(0, 1500), core::TextEncoding::Utf8); },
         loadWhole,
         Group::Plain,
         false,
         {"openat", "read"}},
        {"load a Windows-1254 file, read twice",
         false,
         [](Scene &s) { loadScene(s, loadText(1400, 600), core::TextEncoding::Windows1254); },
         loadWhole,
         Group::Plain,
         false,
         {"openat", "read", "lseek"}},
        {"list a folder with sizes",
         false,
         [](Scene &s) {
             // A link to a file is listed with its file's size; a dangling link and a folder
             // are not listed.
             QVERIFY(QDir().mkdir(s.named(s.at("l"))));
             QVERIFY(QDir().mkdir(s.named(s.at("l/sub"))));
             s.file(s.at("l/f1.txt"), kOld);
             s.file(s.at("l/f2.txt"), kSource);
             QCOMPARE(symlink("f1.txt", s.at("l/f3.txt").constData()), 0);
             QCOMPARE(symlink("gone.txt", s.at("l/f4.txt").constData()), 0);
             for (const char *name : {"l/f1.txt", "l/f2.txt", "l/f3.txt", "l/f4.txt"})
                 s.watch(s.at(name));
         },
         listWhole,
         Group::Plain,
         false,
         {"openat", "readdir", "fstatat"}},
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
// `twoFaults`: the disk was full besides the fault, so the discard of a temporary file may meet
// the fault after the disk refused the file's content, and the file stay, as after a crash.
QStringList problems(const Scene &s, const Operation &op, bool reported, bool crashed,
                     bool mustSucceed, bool twoFaults)
{
    QStringList found;
    std::vector<Look> now;
    for (const Watched &w : s.watched)
        now.push_back(lookAt(w.path));
    // Another file system that says it takes no attributes of a kind is one a move keeps none
    // of that kind on, as mv does: there the moved file is new less its attributes.
    const bool noAttributesThere = op.acrossFileSystems && injection.fault == Fault::Error &&
                                   injection.error == EOPNOTSUPP &&
                                   std::string_view(injection.struck) == "fsetxattr";
    for (size_t i = 0; i < s.watched.size(); ++i) {
        const Watched &w = s.watched[i];
        const QString name = QString::fromUtf8(w.path.mid(w.path.lastIndexOf('/') + 1));
        Look bare = w.after;
        bare.attributes.clear();
        if (noAttributesThere && now[i].matches(bare))
            continue;
        // A second fault in the middle of putting old bytes back (the disk was full already, so
        // the first came from the system) cannot be undone either; the operation must then have
        // said that the file may be damaged, and every byte must still be old or new.
        const bool mayBeTorn =
            (crashed && op.tornByCrash) || (twoFaults && (crashed || injection.damaged));
        if (!now[i].matches(w.before, !crashed) && !now[i].matches(w.after) &&
            !(mayBeTorn && tornBetween(now[i], w.before, w.after)))
            found << name + QStringLiteral(" is neither old nor new: ") + now[i].text() +
                         QStringLiteral(", was ") + w.before.text();
        else if (reported && !now[i].matches(w.after))
            found << name + QStringLiteral(" is not done, yet success was reported: ") +
                         now[i].text();
        if (w.pair >= 0 && !now[i].exists && !now[size_t(w.pair)].exists)
            found << name + QStringLiteral(" is lost");
    }
    if (!s.wrong.isEmpty())
        found << QStringLiteral("wrong answer:") + (s.wrong.startsWith(u' ') ? "" : " ") + s.wrong;
    if (mustSucceed && !reported)
        found << QStringLiteral("failed, though the fault is one to retry, to go around, or none");
    const int left = leftovers(core::fs::fromNative(s.here)) +
                     (s.there.isEmpty() ? 0 : leftovers(core::fs::fromNative(s.there)));
    if (left > (crashed || twoFaults ? 1 : 0))
        found << QStringLiteral("%1 temporary files left").arg(left);
    return found;
}

// A call that answers that the file system cannot do what it asks, where the operation has another
// way or nothing to do: a file system that cannot reserve space (ext2), copy in the kernel, or
// hold attributes (vfat) is no reason for a save or a copy to fail.
bool onlyUnsupported(int error)
{
    const std::string_view call = injection.struck;
    if (error != EOPNOTSUPP && error != ENOSYS && error != EXDEV)
        return false;
    if (call == "copy_file_range")
        return true;
    if (error == EXDEV)
        return false;
    return call == "fallocate" ||
           (error == EOPNOTSUPP && (call == "flistxattr" || call == "fgetxattr"));
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

// The descriptors this process has open: every path out of an operation closes what it opened.
int openDescriptors()
{
    int n = 0;
    if (DIR *dir = opendir("/proc/self/fd")) {
        while (readdir(dir))
            ++n;
        closedir(dir);
    }
    return n;
}

// Runs a program to its end; why not, when it failed.
QString runProgram(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted())
        return program + QStringLiteral(" cannot be started");
    process.waitForFinished(60000);
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return {};
    return program + QStringLiteral(" failed: ") +
           QString::fromLocal8Bit(process.readAll()).trimmed();
}

// The bytes the system still has for root on the file system of `path`.
qint64 freeBytes(const QString &path)
{
    struct statvfs fs;
    return statvfs(QFile::encodeName(path).constData(), &fs) == 0
               ? qint64(fs.f_bfree) * qint64(fs.f_frsize)
               : 0;
}

} // namespace

class Faults : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void everyFaultLeavesOldOrNew_data();
    void everyFaultLeavesOldOrNew();
    void saveReachesTheDiskInOrder();

private:
    // Runs `op` once with `fault` at call `at` (none for 0) in a folder below m_base and counts
    // what went wrong. Returns whether the fault was met, that is, whether the operation got as
    // far as call `at`.
    bool runOnce(const Operation &op, Fault fault, int error, long at, QStringList *log = nullptr);
    Scene setUpScene(const Operation &op);
    void clearScene();
    // Fills the file system under test so that the scene of `op` just fits.
    void fillAround(const Operation &op);
    // Mounts a new file system made by `mkfs` and makes it m_base; the reason when it cannot.
    QString mountImage(const QString &mkfs);

    QTemporaryDir m_here;
    std::unique_ptr<QTemporaryDir> m_there;
    std::unique_ptr<QTemporaryDir> m_image;
    QString m_mounted;
    QString m_base;        // the file system under test
    QString m_unsupported; // why the last scene could not be set up there
    bool m_full = false;   // the file system under test is nearly full
    Tally m_tally;
    int m_rows = 0;
};

namespace {
QtMessageHandler passOn = nullptr;

// Notes that an operation said a file may be damaged, which only two faults at once can cause.
void watchForDamage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (context.category && std::string_view(context.category) == "tarnwick.files" &&
        message.contains(QLatin1StringView("may be damaged"))) {
        injection.damaged = true;
        return;
    }
    passOn(type, context, message);
}
} // namespace

void Faults::initTestCase()
{
    passOn = qInstallMessageHandler(watchForDamage);
    if (geteuid() != 0)
        QSKIP("the scenes give files other owners and groups, which only root can");
    // The usual mask, so the mode of a new copy is known.
    umask(022);
    QVERIFY(m_here.isValid());
    m_base = m_here.path();
    m_there = std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/faults-XXXXXX"));
    struct stat here, there;
    if (!m_there->isValid() || stat(QFile::encodeName(m_here.path()).constData(), &here) != 0 ||
        stat(QFile::encodeName(m_there->path()).constData(), &there) != 0 ||
        here.st_dev == there.st_dev) {
        qWarning("no second file system at /dev/shm: the moves across file systems are left out");
        m_there.reset();
    }
}

void Faults::cleanupTestCase()
{
    if (m_rows == 0)
        return;
    std::printf("faults tried: %ld, crash points tried: %ld, violations: %ld\n", m_tally.faults,
                m_tally.crashes, m_tally.violations);
    std::fflush(stdout);
    QCOMPARE(m_tally.violations, 0);
    QVERIFY(m_tally.faults >= 3000);
    QVERIFY(m_tally.crashes >= 250);
}

void Faults::cleanup()
{
    if (!m_mounted.isEmpty()) {
        // A descriptor left open keeps it busy; it is then detached at once and unmounted when
        // the descriptor goes, so its folder is never removed while mounted.
        if (const QString failed = runProgram(QStringLiteral("umount"), {m_mounted});
            !failed.isEmpty()) {
            qWarning("%s", qPrintable(failed));
            static_cast<void>(
                runProgram(QStringLiteral("umount"), {QStringLiteral("-l"), m_mounted}));
        }
        m_mounted.clear();
    }
    m_image.reset();
    m_base = m_here.path();
    m_full = false;
}

QString Faults::mountImage(const QString &mkfs)
{
    if (geteuid() != 0)
        return QStringLiteral("mounting an image needs root");
    // The image lives in memory, so syncing the file system on it costs no disk.
    m_image = std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/faults-image-XXXXXX"));
    if (!m_image->isValid())
        return QStringLiteral("no folder for the image in /dev/shm");
    const QString image = m_image->filePath(QStringLiteral("fs.img"));
    const QString mountPoint = m_image->filePath(QStringLiteral("mnt"));
    QFile file(image);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(qint64(48) << 20) ||
        !QDir().mkdir(mountPoint))
        return QStringLiteral("no room for an image in /dev/shm");
    file.close();
    if (QString failed = runProgram(mkfs, {QStringLiteral("-q"), QStringLiteral("-F"), image});
        !failed.isEmpty())
        return failed;
    if (QString failed =
            runProgram(QStringLiteral("mount"),
                       {QStringLiteral("-o"), QStringLiteral("loop"), image, mountPoint});
        !failed.isEmpty())
        return failed;
    m_mounted = mountPoint;
    m_base = mountPoint;
    return {};
}

Scene Faults::setUpScene(const Operation &op)
{
    Scene scene;
    scene.here = QFile::encodeName(m_base + QStringLiteral("/run"));
    QDir().mkdir(scene.named(scene.here));
    if (m_there) {
        scene.there = QFile::encodeName(m_there->filePath(QStringLiteral("run")));
        QDir().mkdir(scene.named(scene.there));
    }
    op.setUp(scene);
    return scene;
}

void Faults::clearScene()
{
    QDir(m_base + QStringLiteral("/run")).removeRecursively();
    if (m_there)
        QDir(m_there->filePath(QStringLiteral("run"))).removeRecursively();
}

void Faults::fillAround(const Operation &op)
{
    const QString filler = m_base + QStringLiteral("/filler");
    QFile::remove(filler);
    const qint64 free = freeBytes(m_base);
    setUpScene(op);
    const qint64 scene = free - freeBytes(m_base);
    clearScene();
    // A few blocks to spare: fewer than any new content here takes, so it meets the full disk
    // part way, after its first blocks went to the disk.
    const qint64 target = scene + 6 * 1024;
    QFile file(filler);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray zeros(1 << 20, '\0');
    // The filler's own block map takes room too, so it is grown and shrunk until what is left is
    // within a few blocks of the target.
    for (int i = 0; i < 8; ++i) {
        const qint64 over = freeBytes(m_base) - target;
        if (over >= 0 && over < 4096)
            break;
        if (over < 0) {
            QVERIFY(file.resize(std::max<qint64>(0, file.size() + over)));
            continue;
        }
        QVERIFY(file.seek(file.size()));
        for (qint64 left = over - over / 128 - 1024; left > 0;) {
            const qint64 n = file.write(zeros.constData(), std::min<qint64>(left, zeros.size()));
            if (n <= 0)
                break;
            left -= n;
        }
    }
}

bool Faults::runOnce(const Operation &op, Fault fault, int error, long at, QStringList *log)
{
    Scene scene = setUpScene(op);
    m_unsupported = scene.unsupported;
    if (!m_unsupported.isEmpty()) {
        clearScene();
        return false;
    }

    injection.fault = fault;
    injection.error = error;
    injection.at = at;
    injection.counted = 0;
    injection.hit = false;
    injection.log = log;
    injection.named.clear();
    injection.made.clear();
    injection.struck = {};
    injection.damaged = false;
    injection.attributesHeld = op.group == Group::Metadata;
    bool reported = false, crashed = false;
    int leaked = 0;
    if (fault == Fault::Crash) {
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            core::sys::calls = injecting;
            const bool ok = op.run(scene);
            _exit(!scene.wrong.isEmpty() ? kAnsweredWrongly : ok ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        crashed = WIFEXITED(status) && WEXITSTATUS(status) == kCrashed;
        reported = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (WIFEXITED(status) && WEXITSTATUS(status) == kAnsweredWrongly)
            scene.wrong = QStringLiteral("(in the child process that ran to its end)");
        m_tally.crashes += crashed;
    } else {
        const int open = openDescriptors();
        core::sys::calls = injecting;
        reported = op.run(scene);
        core::sys::calls = real;
        m_tally.faults += injection.hit;
        leaked = openDescriptors() - open;
    }
    const bool met = crashed || injection.hit;
    injection.at = 0;
    injection.log = nullptr;

    // On a disk that is full already nothing need succeed.
    const bool mustSucceed =
        !m_full && (at == 0 || fault == Fault::Interrupt || fault == Fault::Short ||
                    (fault == Fault::Error && onlyUnsupported(error)));
    QStringList found = problems(scene, op, reported, crashed, mustSucceed, m_full);
    if (leaked > 0)
        found << QStringLiteral("%1 descriptors left open").arg(leaked);
    if (at == 0) {
        for (const std::string_view call : op.through) {
            if (!injection.made.count(call))
                found << QStringLiteral("its %1 does not go through core::sys::calls, so no "
                                        "fault reaches it")
                             .arg(QLatin1StringView(call.data(), qsizetype(call.size())));
        }
    }
    for (const QString &problem : found)
        qWarning("%s on %s, %s at call %ld: %s", op.name,
                 QTest::currentDataTag() ? QTest::currentDataTag() : "the working folder",
                 faultName(fault, error), at, qPrintable(problem));
    m_tally.violations += found.size();
    clearScene();
    return met;
}

void Faults::everyFaultLeavesOldOrNew_data()
{
    QTest::addColumn<QString>("mkfs"); // empty for the working folder's own file system
    QTest::addColumn<bool>("full");
    QTest::newRow("working folder") << QString() << false;
    // No space can be reserved on ext2, so a write in place meets a full disk unprepared.
    QTest::newRow("ext2 image") << QStringLiteral("mkfs.ext2") << false;
    QTest::newRow("ext4 image") << QStringLiteral("mkfs.ext4") << false;
    // The system's own full disk, beside the injected one.
    QTest::newRow("nearly full ext2 image") << QStringLiteral("mkfs.ext2") << true;
}

void Faults::everyFaultLeavesOldOrNew()
{
    QFETCH(QString, mkfs);
    QFETCH(bool, full);
    if (!mkfs.isEmpty()) {
        if (const QString failed = mountImage(mkfs); !failed.isEmpty())
            QSKIP(qPrintable(failed));
    }
    ++m_rows;
    struct Kind {
        Fault fault;
        int error;
    };
    const Kind kinds[] = {{Fault::Error, ENOSPC}, {Fault::Error, EIO},   {Fault::Error, EDQUOT},
                          {Fault::Error, EACCES}, {Fault::Error, EPERM}, {Fault::Error, EROFS},
                          {Fault::Error, EXDEV},  {Fault::Error, EFBIG}, {Fault::Error, EOPNOTSUPP},
                          {Fault::Error, ENOSYS}, {Fault::Interrupt, 0}, {Fault::Short, 0},
                          {Fault::DiskFull, 0},   {Fault::Crash, 0}};
    for (const Operation &op : operations()) {
        if ((op.acrossFileSystems && !m_there) || (!mkfs.isEmpty() && op.group == Group::Plain))
            continue;
        m_full = full;
        if (full)
            fillAround(op);
        runOnce(op, Fault::Error, 0, 0);
        if (!m_unsupported.isEmpty()) {
            qInfo("%s left out: %s", op.name, qPrintable(m_unsupported));
            continue;
        }
        for (const Kind &kind : kinds) {
            // Bounded, so that an operation that never ends fails here instead of hanging.
            for (long at = 1; at < 1000 && runOnce(op, kind.fault, kind.error, at); ++at) {
            }
        }
    }
}

// A save's new content reaches the disk before it takes the old one's name, and the new name
// reaches it after: the temporary file synced, renamed, then its folder synced.
void Faults::saveReachesTheDiskInOrder()
{
    QStringList log;
    // Counted and logged, but never struck.
    runOnce(operations().front(), Fault::Error, EIO, 0, &log);
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
