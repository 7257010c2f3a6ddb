// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/fileops.h"

#include "core/filenames.h"
#include "core/fsresult.h"
#include "core/handles.h"
#include "core/reading.h"
#include "core/syscalls.h"

#include <QRandomGenerator>
#include <QtEndian>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace core::fs {

namespace {

using sys::again;
using sys::calls;

// No call moves more than this at once, so a big content is written in pieces (and a failure
// after some of them is a case the in-place writer must survive).
constexpr size_t kPiece = size_t(1) << 20;
// Old content up to this size is kept aside in memory; a bigger one in an unnamed file.
constexpr off_t kKeptInMemory = off_t(16) << 20;

Result failed(Step step, int code = errno)
{
    return Result::failure(step, code);
}

bool modeDeniesWrite(const struct stat &st)
{
    const uid_t uid = geteuid();
    // Root may write anything, so for root only a file that nobody may write (as chmod a-w
    // leaves it) is read-only; anyone else is held to the permission class that applies.
    if (uid == 0)
        return !(st.st_mode & 0222);
    if (st.st_uid == uid)
        return !(st.st_mode & S_IWUSR);
    bool inGroup = st.st_gid == getegid();
    if (!inGroup) {
        const int n = getgroups(0, nullptr);
        std::vector<gid_t> groups(n > 0 ? n : 0);
        if (n > 0 && getgroups(n, groups.data()) == n)
            inGroup = std::find(groups.begin(), groups.end(), st.st_gid) != groups.end();
    }
    return inGroup ? !(st.st_mode & S_IWGRP) : !(st.st_mode & S_IWOTH);
}

FileStamp stampOf(const struct stat &st)
{
    return {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The process's file creation mask, read without changing it: setting it to read it back would
// give a file that another thread creates meanwhile (the listing reads sizes in one) the wrong
// mode. Read once, since the program never changes it.
mode_t readCreationMask()
{
    if (const Expected<QByteArray> status = readSmallFile("/proc/self/status")) {
        const qsizetype line = status->indexOf("\nUmask:");
        if (line >= 0)
            return mode_t(std::strtoul(status->constData() + line + 7, nullptr, 8)) & 0777;
    }
    // Without /proc the mask can only be read by setting it; that is done once, at the first new
    // file.
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

mode_t creationMask()
{
    static const mode_t mask = readCreationMask();
    return mask;
}

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArray(".");
    return slash == 0 ? QByteArray("/") : path.left(slash);
}

QByteArray nameOf(const QByteArray &path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

// A new file of this user only, at a free name `stem` + a random tail, relative to `folder`.
// Returns its descriptor, or -1 with errno set.
int makeUnique(int folder, const QByteArray &stem, QByteArray &path)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = stem + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        const int fd = again(calls.openat, folder, path.constData(),
                             O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode_t(0600));
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// A new, hidden temporary file beside `target`, so that the final rename stays within one file
// system. Returns its descriptor, or -1 with errno set.
int makeTempBeside(const EntryPath &target, QByteArray &tempPath)
{
    QByteArray folder = folderOf(target.path);
    if (!folder.endsWith('/'))
        folder += '/';
    return makeUnique(target.folder, folder + '.' + nameOf(target.path).left(200) + ".tmp-",
                      tempPath);
}

// Opens a regular file (a link followed) for reading. The type is read before the open, so a
// device is never opened, and again after it, since the entry may have changed in between;
// O_NONBLOCK keeps a FIFO that took the file's place from blocking the open.
Result openRegular(const EntryPath &entry, struct stat &st, UniqueFd &fd)
{
    if (calls.fstatat(entry.folder, entry.path.constData(), &st, 0) != 0)
        return failed(Step::Inspect);
    if (!S_ISREG(st.st_mode))
        return failed(Step::Kind, S_ISDIR(st.st_mode) ? EISDIR : 0);
    fd.reset(again(calls.openat, entry.folder, entry.path.constData(),
                   O_RDONLY | O_NONBLOCK | O_CLOEXEC, mode_t(0)));
    if (!fd.valid())
        return failed(Step::Open);
    if (calls.fstat(fd.get(), &st) != 0)
        return failed(Step::Inspect);
    if (!S_ISREG(st.st_mode))
        return failed(Step::Kind, 0);
    return {};
}

Result writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = calls.write(fd, data, std::min(size, kPiece));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failed(Step::Write);
        if (n == 0)
            return failed(Step::Write, 0);
        data += n;
        size -= size_t(n);
    }
    return {};
}

std::vector<char> &copyBuffer()
{
    static thread_local std::vector<char> buffer(kPiece);
    return buffer;
}

// Copies bytes [offset, offset + length) of `in` to the same offsets of `out`, by the kernel where
// it can. Fails where `in` ends sooner: it shrank since its size was read, and the bytes it no
// longer has must not become zeros in a copy that looks whole.
Result copyRange(int in, int out, off_t offset, off_t length)
{
    off_t inAt = offset, outAt = offset;
    const off_t end = offset + length;
    bool kernel = true;
    while (inAt < end) {
        const size_t want = size_t(std::min<off_t>(end - inAt, off_t(1) << 30));
        if (kernel) {
            const ssize_t n = calls.copyFileRange(in, &inAt, out, &outAt, want, 0);
            if (n > 0 || (n < 0 && errno == EINTR))
                continue;
            if (n < 0 && errno != EXDEV && errno != ENOSYS && errno != EINVAL &&
                errno != EOPNOTSUPP && errno != EPERM)
                return failed(Step::Write);
            // Nothing copied is the end of the file, or a file system whose files the kernel
            // cannot copy (some report a size yet copy nothing); plain reads tell which.
            kernel = false;
        }
        std::vector<char> &buffer = copyBuffer();
        const ssize_t n = calls.pread(in, buffer.data(), std::min(want, buffer.size()), inAt);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failed(Step::Read);
        if (n == 0)
            return failed(Step::Changed, 0);
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = calls.pwrite(out, buffer.data() + done, size_t(n - done), outAt);
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0)
                return failed(Step::Write);
            if (w == 0)
                return failed(Step::Write, 0);
            done += w;
            outAt += w;
        }
        inAt += n;
    }
    return {};
}

// Copies everything `in` reads from its start into `out` from its start, with plain reads: for a
// file whose size says nothing of its content (those of /proc read as empty to the kernel copy).
// Answers the bytes copied.
Expected<off_t> copyStream(int in, int out)
{
    if (calls.lseek(in, 0, SEEK_SET) < 0 || calls.lseek(out, 0, SEEK_SET) < 0)
        return failed(Step::Seek);
    std::vector<char> &buffer = copyBuffer();
    off_t total = 0;
    for (;;) {
        const ssize_t n = calls.read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failed(Step::Read);
        if (n == 0)
            return total;
        if (Result written = writeAll(out, buffer.data(), size_t(n)); !written)
            return written;
        total += n;
    }
}

// Copies the regular file `in`, described by `st`, into the empty file `out`, leaving the holes
// of a sparse file as holes. A file whose blocks hold all of its size has none to look for (cp
// judges so too), so a small file costs one kernel copy and nothing more; a hole there could only
// sit beside space reserved past the end, and would come out as zeros, the same bytes.
Result copySparse(int in, int out, const struct stat &st)
{
    const off_t size = st.st_size;
    if (off_t(st.st_blocks) * 512 >= size)
        return copyRange(in, out, 0, size);
    off_t at = 0, end = 0;
    while (at < size) {
        off_t data = calls.lseek(in, at, SEEK_DATA);
        off_t hole = size;
        if (data < 0 && errno == ENXIO)
            break; // a hole up to the end
        if (data < 0) {
            // A file system that cannot tell holes: everything is data.
            data = at;
        } else {
            hole = calls.lseek(in, data, SEEK_HOLE);
            if (hole < 0 || hole > size)
                hole = size;
        }
        if (data >= size)
            break;
        if (Result copied = copyRange(in, out, data, hole - data); !copied)
            return copied;
        at = end = hole;
    }
    // Only a hole at the end leaves the copy short of its size.
    if (end == size)
        return {};
    return again(calls.ftruncate, out, size) == 0 ? Result{} : failed(Step::Truncate);
}

// The content of a file to be: its size (a hint where the source cannot tell), and how to write it.
// `fresh` says that `out` is a new, empty file, where holes may stay holes; otherwise every byte
// is written from the start. Answers the bytes written. `measure`, where given, answers the size
// instead, for a content whose size takes a pass to count: only a write in place asks it.
struct Content {
    using Writer = std::function<Expected<off_t>(int out, bool fresh)>;
    Content(off_t size, Writer writeTo, std::function<off_t()> measure = {})
        : size(size), writeTo(std::move(writeTo)), measure(std::move(measure))
    {}
    off_t size = 0;
    Writer writeTo;
    std::function<off_t()> measure;
};

// ---- In place: the old bytes kept aside, and put back after a failure

// What a file written in place was before its first write: its whole content and its times.
struct OldBytes {
    off_t size = 0;
    timespec times[2] = {};
    QByteArray memory; // the content, when small
    UniqueFd file;     // else an unnamed file that holds it
};

// An unnamed file in the temporary folder, outside the user's folders: it goes with its
// descriptor, so not even a crash leaves it behind. Where the file system makes no unnamed files,
// a named one is removed as soon as it is open.
Result openAsideFile(UniqueFd &fd)
{
    const char *env = std::getenv("TMPDIR");
    const QByteArray folder = env && *env ? QByteArray(env) : QByteArray("/tmp");
    fd.reset(again(calls.openat, AT_FDCWD, folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC,
                   mode_t(0600)));
    if (fd.valid())
        return {};
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        return failed(Step::KeepAside);
    QByteArray path;
    fd.reset(makeUnique(AT_FDCWD, folder + "/.tarnwick-old-", path));
    if (!fd.valid())
        return failed(Step::KeepAside);
    if (calls.unlinkat(AT_FDCWD, path.constData(), 0) != 0) {
        const Result result = failed(Step::KeepAside);
        fd.reset();
        return result;
    }
    return {};
}

// Keeps the whole content [0, size) of `fd` and its times aside, before anything is written.
Result keepAside(int fd, const struct stat &st, OldBytes &old)
{
    old.size = st.st_size;
    old.times[0] = st.st_atim;
    old.times[1] = st.st_mtim;
    if (old.size > kKeptInMemory) {
        if (Result opened = openAsideFile(old.file); !opened)
            return opened;
        const Result copied = copyRange(fd, old.file.get(), 0, old.size);
        return copied ? copied : failed(Step::KeepAside, copied.error().code);
    }
    old.memory.resize(qsizetype(old.size));
    for (off_t at = 0; at < old.size;) {
        const ssize_t n =
            calls.pread(fd, old.memory.data() + at, std::min(size_t(old.size - at), kPiece), at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return failed(Step::KeepAside, n < 0 ? errno : 0);
        at += n;
    }
    return {};
}

// Makes `fd` again what `old` kept: its size, its bytes, its times.
Result restore(int fd, const OldBytes &old)
{
    // The size first: a full disk still takes the old bytes into the blocks the file had.
    if (again(calls.ftruncate, fd, old.size) != 0)
        return failed(Step::Restore);
    if (old.file.valid()) {
        const Result copied = copyRange(old.file.get(), fd, 0, old.size);
        if (!copied)
            return failed(Step::Restore, copied.error().code);
    } else {
        for (off_t at = 0; at < old.size;) {
            const ssize_t n = calls.pwrite(fd, old.memory.constData() + at,
                                           std::min(size_t(old.size - at), kPiece), at);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return failed(Step::Restore, n < 0 ? errno : 0);
            at += n;
        }
    }
    return calls.futimens(fd, old.times) == 0 ? Result{} : failed(Step::Restore);
}

// The file at `target` opened for reading and writing, when it is still the one `expected`
// describes; `st` describes it as it is now.
UniqueFd openInPlace(const EntryPath &target, const struct stat &expected, struct stat &st,
                     Result &result)
{
    UniqueFd fd(again(calls.openat, target.folder, target.path.constData(),
                      O_RDWR | O_NONBLOCK | O_CLOEXEC, mode_t(0)));
    if (!fd.valid())
        result = failed(Step::Open);
    else if (calls.fstat(fd.get(), &st) != 0)
        result = failed(Step::Inspect);
    else if (!sameFile(st, expected))
        result = failed(Step::Changed, 0);
    else
        return fd;
    return UniqueFd();
}

// Writes `content` into the existing regular file `target` itself: for a file whose other hard
// links must stay its twins, or whose owner a new file could not get. The old content is kept
// aside first and put back on any failure after the first write, so the file is old or new.
Result writeInPlace(const EntryPath &target, const struct stat &expected, const Content &content,
                    bool durable)
{
    Result opened;
    struct stat st;
    UniqueFd out = openInPlace(target, expected, st, opened);
    if (!opened)
        return opened;
    // As the file is now: it may have grown since it was looked at, and all of it must come back.
    OldBytes old;
    if (Result kept = keepAside(out.get(), st, old); !kept)
        return kept;
    if (const off_t size = content.measure ? content.measure() : content.size; size > 0) {
        // Where the file system reserves space, a full disk fails here, before a byte changes;
        // where it cannot, the bytes kept aside protect the file.
        if (again(calls.fallocate, out.get(), FALLOC_FL_KEEP_SIZE, off_t(0), size) == 0) {
            // Reserving space changes no byte, so the file keeps its modification time until a
            // write does: a write that fails first leaves the file exactly as it was.
            const timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
            static_cast<void>(calls.futimens(out.get(), times));
        } else if (errno != EOPNOTSUPP && errno != ENOSYS) {
            return failed(Step::Reserve);
        }
    }
    Result done = [&]() -> Result {
        const Expected<off_t> written = content.writeTo(out.get(), false);
        if (!written)
            return written.error();
        // A shorter content leaves no tail of the old one.
        if (again(calls.ftruncate, out.get(), *written) != 0)
            return failed(Step::Truncate);
        if (durable && again(calls.fsync, out.get()) != 0)
            return failed(Step::Sync);
        return {};
    }();
    if (done) {
        if (out.closeNow())
            return {};
        // A late write error: the descriptor went with the close, so the file is found again by
        // its place, and written to only when it is still the same one.
        done = failed(Step::Close);
    }
    Result reopened;
    if (!out.valid())
        out = openInPlace(target, expected, st, reopened);
    Result restored =
        out.valid() ? restore(out.get(), old) : failed(Step::Restore, reopened.error().code);
    if (restored && !out.closeNow())
        restored = failed(Step::Restore);
    if (restored)
        return done;
    qCWarning(lcFiles,
              "%s may be damaged: a write failed (%s) and its old content could not be "
              "put back (%s)",
              qUtf8Printable(QString::fromLocal8Bit(target.path)),
              qUtf8Printable(done.error().text()), qUtf8Printable(restored.error().text()));
    return restored;
}

// ---- Extended attributes and ACLs

// Reads the attribute `name` of `fd` into `value`; false with errno set where it cannot.
bool readAttribute(int fd, const char *name, QByteArray &value)
{
    for (;;) {
        const ssize_t size = calls.fgetxattr(fd, name, nullptr, 0);
        if (size < 0)
            return false;
        value.resize(qsizetype(size));
        const ssize_t got = calls.fgetxattr(fd, name, value.data(), size_t(size));
        if (got >= 0) {
            value.truncate(qsizetype(got));
            return true;
        }
        if (errno != ERANGE) // it grew in between: asked again
            return false;
    }
}

// Whether an attribute that could not be set is one no writer could keep there: another file
// system that takes none of its kind (a file on this one has it, so here that answer is a fault),
// or a security or trusted attribute this writer may not set. A user attribute or an ACL refused
// for any other reason, or any error of the disk, would be lost.
bool cannotBeKept(const char *name, int error, bool otherFileSystem)
{
    if (error == ENOTSUP || error == EOPNOTSUPP)
        return otherFileSystem;
    const bool ownOrAcl =
        std::strncmp(name, "user.", 5) == 0 || std::strncmp(name, "system.posix_acl_", 17) == 0;
    return !ownOrAcl && (error == EPERM || error == EACCES);
}

// Gives `to` every extended attribute of `from`, its ACL among them. A failure that would lose
// one fails, so the caller leaves the old file as it was; only what cannot be kept by any writer
// (cannotBeKept) is passed over. `otherFileSystem`: `to` is on another file system than `from`.
// `hadAccessAcl`, when given, tells whether `from` had an ACL.
Result copyAttributes(int from, int to, bool otherFileSystem, bool *hadAccessAcl = nullptr)
{
    if (hadAccessAcl)
        *hadAccessAcl = false;
    QByteArray names;
    for (;;) {
        const ssize_t size = calls.flistxattr(from, nullptr, 0);
        if (size < 0 && (errno == ENOTSUP || errno == EOPNOTSUPP))
            return {}; // a file system without them: none to keep
        if (size <= 0)
            return size == 0 ? Result{} : failed(Step::Attributes);
        names.resize(qsizetype(size));
        const ssize_t got = calls.flistxattr(from, names.data(), size_t(size));
        if (got >= 0) {
            names.truncate(qsizetype(got));
            break;
        }
        if (errno != ERANGE) // the list grew in between: asked again
            return failed(Step::Attributes);
    }
    QByteArray value;
    for (qsizetype at = 0; at < names.size();
         at += qsizetype(std::strlen(names.constData() + at)) + 1) {
        const char *name = names.constData() + at;
        // A default ACL belongs to folders only.
        if (std::strcmp(name, "system.posix_acl_default") == 0)
            continue;
        if (hadAccessAcl && std::strcmp(name, "system.posix_acl_access") == 0)
            *hadAccessAcl = true;
        if (!readAttribute(from, name, value)) {
            if (errno == ENODATA)
                continue; // removed since it was listed
            return failed(Step::Attributes);
        }
        if (calls.fsetxattr(to, name, value.constData(), size_t(value.size()), 0) != 0 &&
            !cannotBeKept(name, errno, otherFileSystem))
            return failed(Step::Attributes);
    }
    return {};
}

// The ACL that says no more than `mode` does: setting it takes an inherited ACL away again.
QByteArray minimalAcl(mode_t mode)
{
    QByteArray acl;
    const auto add32 = [&](quint32 value) {
        const quint32 le = qToLittleEndian(value);
        acl.append(reinterpret_cast<const char *>(&le), sizeof le);
    };
    const auto entry = [&](quint16 tag, mode_t perm) {
        add32(quint32(tag) | quint32(perm & 7) << 16);
        add32(0xFFFFFFFF);
    };
    add32(2);               // the version of the attribute's layout
    entry(0x01, mode >> 6); // the owner
    entry(0x04, mode >> 3); // the group
    entry(0x20, mode);      // others
    return acl;
}

// A new file in a folder with a default ACL inherits it; where the file it replaces had none, the
// inherited one would grant what the old file did not.
Result dropInheritedAcl(int temp, mode_t mode)
{
    if (calls.fgetxattr(temp, "system.posix_acl_access", nullptr, 0) < 0)
        return {};
    const QByteArray acl = minimalAcl(mode);
    return calls.fsetxattr(temp, "system.posix_acl_access", acl.constData(), size_t(acl.size()),
                           0) == 0
               ? Result{}
               : failed(Step::Attributes);
}

// Gives the new file `temp` the attributes of the old target it is to replace.
Result copyOldAttributes(const EntryPath &target, const struct stat &expected, int temp)
{
    UniqueFd old(again(calls.openat, target.folder, target.path.constData(),
                       O_RDONLY | O_NONBLOCK | O_CLOEXEC, mode_t(0)));
    struct stat st;
    if (!old.valid())
        return failed(Step::Attributes);
    if (calls.fstat(old.get(), &st) != 0)
        return failed(Step::Inspect);
    if (!sameFile(st, expected))
        return failed(Step::Changed, 0);
    bool hadAcl = false;
    if (Result copied = copyAttributes(old.get(), temp, false, &hadAcl); !copied)
        return copied;
    return hadAcl ? Result{} : dropInheritedAcl(temp, expected.st_mode & 0777);
}

// Where a target's content goes: the file a link names, refused where it is no regular file.
// `exists` tells whether there is a file to replace, and `st` describes it.
Result resolveTarget(EntryPath &target, struct stat &st, bool &exists)
{
    exists = false;
    if (target.path.isEmpty())
        return failed(Step::Path, 0);
    if (calls.fstatat(target.folder, target.path.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? Result{} : failed(Step::Inspect);
    if (S_ISLNK(st.st_mode)) {
        // Written through to the file it names; a dangling link is refused, as cp refuses it.
        if (calls.fstatat(target.folder, target.path.constData(), &st, 0) != 0)
            return failed(Step::Kind);
        if (!S_ISREG(st.st_mode))
            return failed(Step::Kind, S_ISDIR(st.st_mode) ? EISDIR : 0);
        QByteArray through = target.path;
        if (target.folder != AT_FDCWD && !through.startsWith('/'))
            through = "/proc/self/fd/" + QByteArray::number(target.folder) + '/' + through;
        char *real = calls.realpath(through.constData(), nullptr);
        if (!real)
            return failed(Step::Inspect);
        target = {AT_FDCWD, QByteArray(real)};
        std::free(real);
    } else if (!S_ISREG(st.st_mode)) {
        return failed(Step::Kind, S_ISDIR(st.st_mode) ? EISDIR : 0);
    }
    exists = true;
    return modeDeniesWrite(st) ? failed(Step::ReadOnly, EACCES) : Result{};
}

// Makes the entries of the folder that holds `entry` reach the disk. A folder this user may not
// read cannot be opened to be synced, and a file system that cannot sync folders says EINVAL;
// neither is a failure of the write, which is done by then.
Result syncFolderOf(const EntryPath &entry)
{
    UniqueFd folder(again(calls.openat, entry.folder, folderOf(entry.path).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC, mode_t(0)));
    if (!folder.valid())
        return errno == EACCES ? Result{} : failed(Step::Sync);
    Result synced;
    if (again(calls.fsync, folder.get()) != 0 && errno != EINVAL)
        synced = failed(Step::Sync);
    if (!folder.closeNow() && synced)
        synced = failed(Step::Sync);
    return synced;
}

// How a new file fared on the unnamed way.
enum class Unnamed { Placed, Failed, Taken, Unsupported };

// Kernels before 6.10 let linkat take a descriptor's own file (AT_EMPTY_PATH) only with a
// capability an ordinary user lacks, and refuse it as a missing file; /proc names the descriptor
// to everyone, at the cost of a longer walk. Refused once, it is not asked again.
std::atomic<bool> emptyPathRefused{false};

// Links the unnamed file `fd` under `target`; -1 with errno set where it cannot.
int linkUnnamedFile(int fd, const EntryPath &target)
{
    const char *to = target.path.constData();
    if (!emptyPathRefused.load(std::memory_order_relaxed)) {
        if (calls.linkat(fd, "", target.folder, to, AT_EMPTY_PATH) == 0)
            return 0;
        if (errno != ENOENT)
            return -1;
        emptyPathRefused.store(true, std::memory_order_relaxed);
    }
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    return calls.linkat(AT_FDCWD, self.constData(), target.folder, to, AT_SYMLINK_FOLLOW);
}

// The replace rule for a target where nothing stands: the content goes to an unnamed file in the
// target's folder, which gets the name only once it is whole, so that not even a crash leaves a
// part of it under the name, or a temporary file behind. linkat never replaces: a name taken
// meanwhile is Taken and left as it is. Unsupported where the file system makes no unnamed files,
// or linkat cannot be given the descriptor (linkUnnamedFile); the named temporary file serves
// there. `result` tells why it Failed.
Unnamed placeUnnamed(const EntryPath &target, const Content &content, mode_t mode, bool durable,
                     MadeCopy *made, Result &result)
{
    UniqueFd out(again(calls.openat, target.folder, folderOf(target.path).constData(),
                       O_TMPFILE | O_RDWR | O_CLOEXEC, mode));
    if (!out.valid() && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL))
        return Unnamed::Unsupported;
    const auto fail = [&](Result why) {
        result = why;
        return Unnamed::Failed;
    };
    if (!out.valid())
        return fail(failed(Step::Open));
    if (const Expected<off_t> written = content.writeTo(out.get(), true); !written)
        return fail(written.error());
    if (durable && again(calls.fsync, out.get()) != 0)
        return fail(failed(Step::Sync));
    // The open gave the mode less the umask, as cp gets it; only a default ACL of the folder
    // gives another, and the mode then overrides it, as on the named way.
    struct stat st;
    if (calls.fstat(out.get(), &st) != 0)
        return fail(failed(Step::Inspect));
    if ((st.st_mode & 07777) != mode && calls.fchmod(out.get(), mode) != 0)
        return fail(failed(Step::Mode));
    if (linkUnnamedFile(out.get(), target) != 0) {
        if (errno == EEXIST)
            return Unnamed::Taken;
        // The folder was there a moment ago, so it is /proc that is missing.
        if (errno == ENOENT)
            return Unnamed::Unsupported;
        return fail(failed(Step::Link));
    }
    if (!out.closeNow()) {
        // A late write error: the file under the name may lack some of its content, so the name
        // goes again, while it is still this file's.
        const Result closed = failed(Step::Close);
        struct stat now;
        if (calls.fstatat(target.folder, target.path.constData(), &now, AT_SYMLINK_NOFOLLOW) ==
                0 &&
            sameFile(now, st))
            calls.unlinkat(target.folder, target.path.constData(), 0);
        return fail(closed);
    }
    // Read before the link, which changes only the change time and the link count.
    if (made)
        made->stamp = stampOf(st);
    if (durable)
        result = syncFolderOf(target);
    return result ? Unnamed::Placed : Unnamed::Failed;
}

// The replace rule (see the header). `source`, when given, is never written over.
// `unnamed`: a new file may go the unnamed way; once a name was taken on it, it may not again.
Result replaceContent(EntryPath target, const Content &content, mode_t newMode, bool durable,
                      const struct stat *source, MadeCopy *made = nullptr, bool unnamed = true)
{
    struct stat st;
    bool exists = false;
    if (Result resolved = resolveTarget(target, st, exists); !resolved)
        return resolved;
    if (made)
        made->replaced = exists;
    if (!exists && unnamed) {
        Result result;
        switch (placeUnnamed(target, content, newMode, durable, made, result)) {
        case Unnamed::Placed:
        case Unnamed::Failed:
            return result;
        case Unnamed::Taken:
            return replaceContent(target, content, newMode, durable, source, made, false);
        case Unnamed::Unsupported:
            break;
        }
    }
    if (exists && source && sameFile(st, *source))
        return failed(Step::SameFile, 0);
    if (exists && st.st_nlink > 1)
        return writeInPlace(target, st, content, durable);

    QByteArray temp;
    UniqueFd out(makeTempBeside(target, temp));
    if (!out.valid()) {
        if (exists && (errno == EACCES || errno == EPERM))
            return writeInPlace(target, st, content, durable);
        return failed(Step::Open);
    }
    // The copy is thrown away, so how its close went no longer matters.
    const auto discard = [&](Result result) {
        out.reset();
        calls.unlinkat(target.folder, temp.constData(), 0);
        return result;
    };
    mode_t mode = newMode;
    if (exists) {
        mode = st.st_mode & 07777;
        // What the new file got, not who writes it: in a set-group-id folder it takes the
        // folder's group.
        struct stat made;
        if (calls.fstat(out.get(), &made) != 0)
            return discard(failed(Step::Inspect));
        if ((made.st_uid != st.st_uid || made.st_gid != st.st_gid) &&
            calls.fchown(out.get(), st.st_uid, st.st_gid) != 0) {
            // Only an owner this user may not give sends the content into the file itself; any
            // other failure is the disk's, and the file is left alone.
            const Result owner = discard(failed(Step::Owner));
            if (owner.error().code == EPERM || owner.error().code == EINVAL)
                return writeInPlace(target, st, content, durable);
            return owner;
        }
    }
    if (calls.fchmod(out.get(), mode) != 0)
        return discard(failed(Step::Mode));
    // After the owner and the mode, so that an ACL set here still agrees with the mode.
    if (exists) {
        if (Result kept = copyOldAttributes(target, st, out.get()); !kept)
            return discard(kept);
    }
    if (const Expected<off_t> written = content.writeTo(out.get(), true); !written)
        return discard(written.error());
    if (durable && again(calls.fsync, out.get()) != 0)
        return discard(failed(Step::Sync));
    if (!out.closeNow())
        return discard(failed(Step::Close));
    if (calls.renameat(target.folder, temp.constData(), target.folder, target.path.constData()) !=
        0)
        return discard(failed(Step::Rename));
    // What was made, as it now stands under its name; a file that cannot be asked keeps a zero
    // stamp, which no file matches, so an undo leaves it.
    if (made && !exists) {
        struct stat now;
        if (calls.fstatat(target.folder, target.path.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0)
            made->stamp = stampOf(now);
    }
    // The new name is an entry of the folder, so it reaches the disk when the folder does.
    return durable ? syncFolderOf(target) : Result{};
}

// The source still has the size and modification time it had when its copy began. A file that
// another program writes meanwhile would give a copy of a state it never had.
Result unchangedSince(int in, const struct stat &was)
{
    struct stat now;
    if (calls.fstat(in, &now) != 0)
        return failed(Step::Inspect);
    return now.st_size == was.st_size && now.st_mtim.tv_sec == was.st_mtim.tv_sec &&
                   now.st_mtim.tv_nsec == was.st_mtim.tv_nsec
               ? Result{}
               : failed(Step::Changed, 0);
}

Content contentOf(int in, const struct stat &st)
{
    return {st.st_size, [in, st](int out, bool fresh) -> Expected<off_t> {
                // A file that reports no size may still have content (those of /proc do).
                Expected<off_t> written = off_t(st.st_size);
                if (!fresh || st.st_size == 0)
                    written = copyStream(in, out);
                else if (Result copied = copySparse(in, out, st); !copied)
                    return copied;
                if (!written)
                    return written;
                if (Result same = unchangedSince(in, st); !same)
                    return same;
                return written;
            }};
}

// Renames without ever replacing. Where the file system lacks the no-replace flag, a hard link
// gives the same guarantee for files; a last resort tests and then renames.
Result placeNoReplace(const EntryPath &from, const EntryPath &to)
{
    const char *f = from.path.constData();
    const char *t = to.path.constData();
    if (calls.renameat2(from.folder, f, to.folder, t, RENAME_NOREPLACE) == 0)
        return {};
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return failed(errno == EEXIST ? Step::Exists : Step::Rename);
    struct stat st;
    if (calls.fstatat(from.folder, f, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return failed(Step::Inspect);
    if (!S_ISDIR(st.st_mode)) {
        if (calls.linkat(from.folder, f, to.folder, t, 0) == 0) {
            if (calls.unlinkat(from.folder, f, 0) == 0)
                return {};
            const Result result = failed(Step::Unlink);
            calls.unlinkat(to.folder, t, 0);
            return result;
        }
        if (errno == EEXIST)
            return failed(Step::Exists);
    }
    struct stat existing;
    if (calls.fstatat(to.folder, t, &existing, AT_SYMLINK_NOFOLLOW) == 0)
        return failed(Step::Exists, EEXIST);
    if (errno != ENOENT)
        return failed(Step::Inspect);
    return calls.renameat(from.folder, f, to.folder, t) == 0 ? Result{} : failed(Step::Rename);
}

// Moves a link to another file system: recreated with the whole of its target, and its own owner
// and times, never those of the file it names.
Result moveLink(const EntryPath &from, const EntryPath &to, const struct stat &st)
{
    const timespec times[2] = {st.st_atim, st.st_mtim};
    // One byte more than the target needs: an answer that fills it is a target that grew since
    // the link was looked at, and a cut one would point elsewhere.
    const size_t room = size_t(st.st_size > 0 ? st.st_size : PATH_MAX) + 1;
    std::vector<char> target(room + 1);
    const ssize_t n = calls.readlinkat(from.folder, from.path.constData(), target.data(), room);
    if (n < 0)
        return failed(Step::Read);
    if (size_t(n) >= room)
        return failed(Step::Changed, 0);
    target[size_t(n)] = '\0';
    // symlinkat refuses an existing `to`.
    if (calls.symlinkat(target.data(), to.folder, to.path.constData()) != 0)
        return failed(errno == EEXIST ? Step::Exists : Step::Link);
    // A link's owner and times are kept where the user may set them; a link that cannot take
    // them still points where it did, so the move goes on.
    calls.fchownat(to.folder, to.path.constData(), st.st_uid, st.st_gid, AT_SYMLINK_NOFOLLOW);
    calls.utimensat(to.folder, to.path.constData(), times, AT_SYMLINK_NOFOLLOW);
    return {};
}

// Moves a regular file to another file system through a temporary file beside `to`.
Result moveRegular(const EntryPath &from, const EntryPath &to, const struct stat &st)
{
    struct stat now;
    UniqueFd in;
    if (Result opened = openRegular(from, now, in); !opened)
        return opened;
    if (!sameFile(now, st))
        return failed(Step::Changed, 0);
    QByteArray temp;
    UniqueFd out(makeTempBeside(to, temp));
    if (!out.valid())
        return failed(Step::Open);
    const auto discard = [&](Result result) {
        out.reset();
        calls.unlinkat(to.folder, temp.constData(), 0);
        return result;
    };
    mode_t mode = st.st_mode & 07777;
    // An owner that an ordinary user may not give is left to the mover, without the set-id
    // bits that would otherwise pass to it; root may give any, so there a failure is the
    // disk's, and the move stops.
    if (calls.fchown(out.get(), st.st_uid, st.st_gid) != 0) {
        if (errno != EPERM || geteuid() == 0)
            return discard(failed(Step::Owner));
        mode &= ~mode_t(S_ISUID | S_ISGID);
    }
    if (Result copied = copySparse(in.get(), out.get(), now); !copied)
        return discard(copied);
    if (Result same = unchangedSince(in.get(), now); !same)
        return discard(same);
    if (calls.fchmod(out.get(), mode) != 0)
        return discard(failed(Step::Mode));
    // As mv keeps them; one the other file system cannot take is passed over, as mv passes it
    // over, but one that is lost on the way fails the move and the file stays where it was.
    if (Result kept = copyAttributes(in.get(), out.get(), true); !kept)
        return discard(kept);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    if (calls.futimens(out.get(), times) != 0)
        return discard(failed(Step::Times));
    if (!out.closeNow())
        return discard(failed(Step::Close));
    if (Result placed = placeNoReplace({to.folder, temp}, to); !placed)
        return discard(placed);
    return {};
}

// Moves a file or a link to another file system, as mv does: mode, owner, times and attributes
// kept, the new copy complete before the old one goes, and the copy taken back if the old one
// cannot go.
Result moveAcrossFileSystems(const EntryPath &from, const EntryPath &to, const struct stat &st)
{
    Result moved = S_ISLNK(st.st_mode)   ? moveLink(from, to, st)
                   : S_ISREG(st.st_mode) ? moveRegular(from, to, st)
                                         : failed(Step::Kind, 0);
    if (!moved)
        return moved;
    if (calls.unlinkat(from.folder, from.path.constData(), 0) == 0)
        return {};
    const Result result = failed(Step::Unlink);
    calls.unlinkat(to.folder, to.path.constData(), 0);
    return result;
}

EntryPath entryPathOf(const QString &path)
{
    return {AT_FDCWD, fs::toNative(path)};
}

// Both paths name one directory entry: the same name in the same folder.
bool sameEntry(const EntryPath &a, const EntryPath &b)
{
    if (nameOf(a.path) != nameOf(b.path))
        return false;
    struct stat fa, fb;
    return calls.fstatat(a.folder, folderOf(a.path).constData(), &fa, 0) == 0 &&
           calls.fstatat(b.folder, folderOf(b.path).constData(), &fb, 0) == 0 && sameFile(fa, fb);
}

Result copyInto(const EntryPath &source, const EntryPath &target, MadeCopy *made = nullptr)
{
    if (source.path.isEmpty() || target.path.isEmpty())
        return failed(Step::Path, 0);
    struct stat st;
    UniqueFd in;
    if (Result opened = openRegular(source, st, in); !opened)
        return opened;
    const Content content = contentOf(in.get(), st);
    const mode_t mode = st.st_mode & 0777 & ~creationMask();
    // A batch's copy nearly always goes to a free name, so a small one goes the unnamed way
    // without a look first: a name that is taken (the source's own among them) costs one small
    // copy thrown away, and then goes the way the look would have sent it.
    bool unnamed = true;
    if (made && st.st_size <= off_t(kPiece)) {
        unnamed = false;
        Result result;
        switch (placeUnnamed(target, content, mode, false, made, result)) {
        case Unnamed::Placed:
        case Unnamed::Failed:
            return result;
        case Unnamed::Taken:
        case Unnamed::Unsupported:
            break;
        }
    }
    return replaceContent(target, content, mode, false, &st, made, unnamed);
}

Result renameEntry(const EntryPath &from, const EntryPath &to)
{
    struct stat st;
    if (from.path.isEmpty() || to.path.isEmpty())
        return failed(Step::Path, 0);
    if (calls.fstatat(from.folder, from.path.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return failed(Step::Inspect);
    if (sameEntry(from, to))
        return {};
    const Result placed = placeNoReplace(from, to);
    // A folder moves only within its file system.
    if (placed || placed.error().code != EXDEV || S_ISDIR(st.st_mode))
        return placed;
    return moveAcrossFileSystems(from, to, st);
}

// The batch's rename: one look at the entry before serves the kind, the identity check and,
// within one file system, the stamp (a rename keeps the device, the inode, the size and the
// modification time; the change time it moves is not kept up). A move to another file system
// makes a new file, which is looked at once it stands under its new name.
Expected<FileStamp> renameBatchEntry(const EntryPath &from, const EntryPath &to,
                                     const FileStamp *expected)
{
    struct stat st;
    if (from.path.isEmpty() || to.path.isEmpty())
        return failed(Step::Path, 0);
    if (calls.fstatat(from.folder, from.path.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return failed(Step::Inspect);
    if (expected && !stampOf(st).sameFile(*expected))
        return failed(Step::Changed, 0);
    if (S_ISLNK(st.st_mode)) {
        struct stat named;
        if (calls.fstatat(from.folder, from.path.constData(), &named, 0) != 0 ||
            !S_ISREG(named.st_mode))
            return failed(Step::Kind, 0);
    } else if (!S_ISREG(st.st_mode)) {
        return failed(Step::Kind, S_ISDIR(st.st_mode) ? EISDIR : 0);
    }
    if (sameEntry(from, to))
        return stampOf(st);
    Result placed = placeNoReplace(from, to);
    if (placed)
        return stampOf(st);
    if (placed.error().code == EXDEV)
        placed = moveAcrossFileSystems(from, to, st);
    if (!placed)
        return placed.error();
    // Moved: a file that cannot be asked now keeps the stamp it had, which no longer matches, so
    // an undo leaves it rather than guess.
    struct stat now;
    if (calls.fstatat(to.folder, to.path.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0)
        return stampOf(now);
    return stampOf(st);
}

// The entry itself, a link not followed, as each removal first looks at it.
Result lookAtEntry(const EntryPath &entry, struct stat &st)
{
    if (entry.path.isEmpty())
        return failed(Step::Path, 0);
    if (calls.fstatat(entry.folder, entry.path.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return failed(Step::Inspect);
    return {};
}

Result unlinkEntry(const EntryPath &entry)
{
    return calls.unlinkat(entry.folder, entry.path.constData(), 0) == 0 ? Result{}
                                                                        : failed(Step::Unlink);
}

Result removeUnchangedEntry(const EntryPath &entry, const FileStamp &expected)
{
    struct stat st;
    if (Result looked = lookAtEntry(entry, st); !looked)
        return looked;
    if (!stampOf(st).sameContent(expected))
        return failed(Step::Changed, 0);
    if (!S_ISREG(st.st_mode))
        return failed(Step::Kind, S_ISDIR(st.st_mode) ? EISDIR : 0);
    if (modeDeniesWrite(st))
        return failed(Step::ReadOnly, EACCES);
    return unlinkEntry(entry);
}

// The batch's delete: one look at the entry serves, and only a link needs a second, at the file
// it leads to.
Result removeRegularEntry(const EntryPath &entry)
{
    struct stat st;
    if (Result looked = lookAtEntry(entry, st); !looked)
        return looked;
    if (S_ISLNK(st.st_mode)) {
        struct stat named;
        if (calls.fstatat(entry.folder, entry.path.constData(), &named, 0) != 0 ||
            !S_ISREG(named.st_mode))
            return failed(Step::Kind, 0);
    } else if (!S_ISREG(st.st_mode)) {
        return failed(Step::Kind, S_ISDIR(st.st_mode) ? EISDIR : 0);
    } else if (modeDeniesWrite(st)) {
        return failed(Step::ReadOnly, EACCES);
    }
    return unlinkEntry(entry);
}

Result removeEntry(const EntryPath &entry)
{
    struct stat st;
    if (Result looked = lookAtEntry(entry, st); !looked)
        return looked;
    if (S_ISDIR(st.st_mode))
        return failed(Step::Kind, EISDIR);
    if (S_ISREG(st.st_mode) && modeDeniesWrite(st))
        return failed(Step::ReadOnly, EACCES);
    return unlinkEntry(entry);
}

} // namespace

bool isReadOnly(const QString &path)
{
    return isReadOnly(entryPathOf(path));
}

bool isReadOnly(const EntryPath &entry)
{
    struct stat st;
    return !entry.path.isEmpty() &&
           calls.fstatat(entry.folder, entry.path.constData(), &st, 0) == 0 && modeDeniesWrite(st);
}

UniqueFd openFolder(const QString &path)
{
    const QByteArray native = fs::toNative(path);
    return UniqueFd(native.isEmpty() ? -1
                                     : again(calls.openat, AT_FDCWD, native.constData(),
                                             O_RDONLY | O_DIRECTORY | O_CLOEXEC, mode_t(0)));
}

bool isRegularFile(const EntryPath &entry)
{
    struct stat st;
    return !entry.path.isEmpty() &&
           calls.fstatat(entry.folder, entry.path.constData(), &st, 0) == 0 && S_ISREG(st.st_mode);
}

Result copyFile(const EntryPath &source, const EntryPath &target)
{
    return logged(copyInto(source, target), "copy", source.path, target.path);
}

Result copyFile(const QString &source, const QString &target)
{
    return copyFile(entryPathOf(source), entryPathOf(target));
}

Result renameNoReplace(const EntryPath &from, const EntryPath &to)
{
    return logged(renameEntry(from, to), "rename", from.path, to.path);
}

Result renameNoReplace(const QString &from, const QString &to)
{
    return renameNoReplace(entryPathOf(from), entryPathOf(to));
}

Result removeFile(const EntryPath &entry)
{
    return logged(removeEntry(entry), "delete", entry.path);
}

Result removeFile(const QString &path)
{
    return removeFile(entryPathOf(path));
}

Result removeRegularFile(const EntryPath &entry)
{
    return logged(removeRegularEntry(entry), "delete", entry.path);
}

Expected<FileStamp> renameFile(const EntryPath &from, const EntryPath &to,
                               const FileStamp *expected)
{
    Expected<FileStamp> renamed = renameBatchEntry(from, to, expected);
    if (!renamed)
        static_cast<void>(logged(renamed.error(), "rename", from.path, to.path));
    return renamed;
}

Expected<MadeCopy> copyFileStamped(const EntryPath &source, const EntryPath &target)
{
    MadeCopy made;
    if (Result copied = logged(copyInto(source, target, &made), "copy", source.path, target.path);
        !copied)
        return copied;
    return made;
}

Result removeUnchanged(const EntryPath &entry, const FileStamp &expected)
{
    return logged(removeUnchangedEntry(entry, expected), "delete", entry.path);
}

Result writeFile(const QString &path, QByteArrayView bytes, bool durable)
{
    bool given = false;
    return writeFile(path,
                     Pieces{[&]() -> QByteArrayView {
                                // One piece; the writes cut it to their own size.
                                return std::exchange(given, true) ? QByteArrayView() : bytes;
                            },
                            [&] { return qint64(bytes.size()); }},
                     durable);
}

Result writeFile(const QString &path, const Pieces &pieces, bool durable)
{
    const Content content(
        0,
        [&pieces](int out, bool) -> Expected<off_t> {
            if (calls.lseek(out, 0, SEEK_SET) < 0)
                return failed(Step::Seek);
            off_t written = 0;
            for (QByteArrayView piece = pieces.next(); !piece.isEmpty(); piece = pieces.next()) {
                if (Result w = writeAll(out, piece.data(), size_t(piece.size())); !w)
                    return w;
                written += off_t(piece.size());
            }
            return written;
        },
        [&pieces] { return off_t(pieces.size()); });
    const EntryPath entry = entryPathOf(path);
    return logged(replaceContent(entry, content, 0666 & ~creationMask(), durable, nullptr), "save",
                  entry.path);
}

} // namespace core::fs
