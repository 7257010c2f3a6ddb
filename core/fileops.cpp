// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/fileops.h"

#include "core/filenames.h"
#include "core/handles.h"
#include "core/syscalls.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace core::fs {

namespace {

using sys::again;
using sys::calls;

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

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The process's file creation mask, read without changing it: setting it to read it back would
// give a file that another thread creates meanwhile (the listing reads sizes in one) the wrong
// mode. Read once, since the program never changes it.
mode_t readCreationMask()
{
    char text[4096];
    ssize_t size = -1;
    if (const int fd = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC); fd >= 0) {
        size = ::read(fd, text, sizeof text - 1);
        ::close(fd);
    }
    if (size > 0) {
        text[size] = '\0';
        if (const char *line = std::strstr(text, "\nUmask:"))
            return mode_t(std::strtoul(line + 7, nullptr, 8)) & 0777;
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

// A new, hidden temporary file beside `target`, so that the final rename stays within one file
// system. Returns its descriptor, or -1 with errno set.
int makeTempBeside(const Place &target, QByteArray &tempPath)
{
    QByteArray folder = folderOf(target.path);
    if (!folder.endsWith('/'))
        folder += '/';
    const QByteArray stem = folder + '.' + nameOf(target.path).left(200) + ".tmp-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = stem + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        const int fd = again(calls.openat, target.folder, tempPath.constData(),
                             O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// Opens a regular file (a link followed) for reading. The type is read before the open, so a
// device is never opened, and again after it, since the entry may have changed in between;
// O_NONBLOCK keeps a FIFO that took the file's place from blocking the open.
int openRegular(const Place &place, struct stat &st)
{
    if (calls.fstatat(place.folder, place.path.constData(), &st, 0) != 0 || !S_ISREG(st.st_mode))
        return -1;
    UniqueFd fd(again(calls.openat, place.folder, place.path.constData(),
                      O_RDONLY | O_NONBLOCK | O_CLOEXEC, 0));
    if (!fd.valid() || calls.fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return fd.release();
}

bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = calls.write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

std::vector<char> &copyBuffer()
{
    static thread_local std::vector<char> buffer(1 << 20);
    return buffer;
}

// Copies bytes [offset, offset + length) of `in` to the same offsets of `out`, by the kernel where
// it can. Fails where `in` ends sooner: it shrank since its size was read, and the bytes it no
// longer has must not become zeros in a copy that looks whole.
bool copyRange(int in, int out, off_t offset, off_t length)
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
                return false;
            // Nothing copied is the end of the file, or a file system whose files the kernel
            // cannot copy (some report a size yet copy nothing); plain reads tell which.
            kernel = false;
        }
        std::vector<char> &buffer = copyBuffer();
        const ssize_t n = calls.pread(in, buffer.data(), std::min(want, buffer.size()), inAt);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = calls.pwrite(out, buffer.data() + done, size_t(n - done), outAt);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return false;
            done += w;
            outAt += w;
        }
        inAt += n;
    }
    return true;
}

// Copies everything `in` reads from its start into `out` from its start, with plain reads: for a
// file whose size says nothing of its content (those of /proc read as empty to the kernel copy).
// Returns the bytes copied, or -1.
off_t copyStream(int in, int out)
{
    if (calls.lseek(in, 0, SEEK_SET) < 0 || calls.lseek(out, 0, SEEK_SET) < 0)
        return -1;
    std::vector<char> &buffer = copyBuffer();
    off_t total = 0;
    for (;;) {
        const ssize_t n = calls.read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            return total;
        if (!writeAll(out, buffer.data(), size_t(n)))
            return -1;
        total += n;
    }
}

// Copies the `size` bytes of `in` into the empty file `out`, leaving the holes of a sparse file
// as holes.
bool copySparse(int in, int out, off_t size)
{
    off_t at = 0;
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
        if (!copyRange(in, out, data, hole - data))
            return false;
        at = hole;
    }
    return again(calls.ftruncate, out, size) == 0;
}

// The content of a file to be: its size (a hint where the source cannot tell), and how to write it.
// `fresh` says that `out` is a new, empty file, where holes may stay holes; otherwise every byte
// is written from the start. Returns the bytes written, or -1.
struct Content {
    off_t size = 0;
    std::function<off_t(int out, bool fresh)> writeTo;
};

// Writes `content` into the existing regular file `target` itself: for a file whose other hard
// links must stay its twins, or whose owner a new file could not get. Space is reserved first, so
// a full disk fails before the old content changes.
bool writeInPlace(const Place &target, const struct stat &expected, const Content &content,
                  bool durable)
{
    UniqueFd out(again(calls.openat, target.folder, target.path.constData(),
                       O_WRONLY | O_NONBLOCK | O_CLOEXEC, 0));
    struct stat st;
    if (!out.valid() || calls.fstat(out.get(), &st) != 0 || !sameFile(st, expected))
        return false;
    if (content.size > 0) {
        if (again(calls.fallocate, out.get(), FALLOC_FL_KEEP_SIZE, off_t(0), content.size) == 0) {
            // Reserving space changes no byte, so the file keeps its modification time until a
            // write does: a write that fails first leaves the file exactly as it was.
            const timespec times[2] = {{0, UTIME_OMIT}, expected.st_mtim};
            static_cast<void>(calls.futimens(out.get(), times));
        } else if (errno != EOPNOTSUPP && errno != ENOSYS) {
            return false;
        }
    }
    const off_t written = content.writeTo(out.get(), false);
    bool ok = written >= 0 && again(calls.ftruncate, out.get(), written) == 0;
    if (ok && durable)
        ok = again(calls.fsync, out.get()) == 0;
    return out.closeNow() && ok;
}

// Where a target's content goes: the file a link names, refused where it is no regular file.
// `exists` tells whether there is a file to replace, and `st` describes it.
bool resolveTarget(Place &target, struct stat &st, bool &exists)
{
    exists = false;
    if (target.path.isEmpty())
        return false;
    if (calls.fstatat(target.folder, target.path.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT;
    if (S_ISLNK(st.st_mode)) {
        // Written through to the file it names; a dangling link is refused, as cp refuses it.
        if (calls.fstatat(target.folder, target.path.constData(), &st, 0) != 0 ||
            !S_ISREG(st.st_mode))
            return false;
        QByteArray through = target.path;
        if (target.folder != AT_FDCWD && !through.startsWith('/'))
            through = "/proc/self/fd/" + QByteArray::number(target.folder) + '/' + through;
        char *real = realpath(through.constData(), nullptr);
        if (!real)
            return false;
        target = {AT_FDCWD, QByteArray(real)};
        std::free(real);
    } else if (!S_ISREG(st.st_mode)) {
        return false;
    }
    exists = true;
    return !modeDeniesWrite(st);
}

// Makes the entries of the folder that holds `place` reach the disk. A folder this user may not
// read cannot be opened to be synced, and a file system that cannot sync folders says EINVAL;
// neither is a failure of the write, which is done by then.
bool syncFolderOf(const Place &place)
{
    UniqueFd folder(again(calls.openat, place.folder, folderOf(place.path).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC, mode_t(0)));
    if (!folder.valid())
        return errno == EACCES;
    const bool ok = again(calls.fsync, folder.get()) == 0 || errno == EINVAL;
    return folder.closeNow() && ok;
}

// The replace rule (see the header). `source`, when given, is never written over.
bool replaceContent(Place target, const Content &content, mode_t newMode, bool durable,
                    const struct stat *source)
{
    struct stat st;
    bool exists = false;
    if (!resolveTarget(target, st, exists))
        return false;
    if (exists && source && sameFile(st, *source))
        return false;
    if (exists && st.st_nlink > 1)
        return writeInPlace(target, st, content, durable);

    QByteArray temp;
    UniqueFd out(makeTempBeside(target, temp));
    if (!out.valid())
        return exists && (errno == EACCES || errno == EPERM) &&
               writeInPlace(target, st, content, durable);
    const auto discard = [&] {
        out.reset(); // the copy is thrown away, so how its close went no longer matters
        calls.unlinkat(target.folder, temp.constData(), 0);
    };
    mode_t mode = newMode;
    if (exists) {
        mode = st.st_mode & 07777;
        if ((st.st_uid != geteuid() || st.st_gid != getegid()) &&
            calls.fchown(out.get(), st.st_uid, st.st_gid) != 0) {
            // Only an owner this user may not give sends the content into the file itself; any
            // other failure is the disk's, and the file is left alone.
            const bool mayNotGive = errno == EPERM || errno == EINVAL;
            discard();
            return mayNotGive && writeInPlace(target, st, content, durable);
        }
    }
    bool ok = calls.fchmod(out.get(), mode) == 0 && content.writeTo(out.get(), true) >= 0;
    if (ok && durable)
        ok = again(calls.fsync, out.get()) == 0;
    ok = out.closeNow() && ok;
    ok = ok && calls.renameat(target.folder, temp.constData(), target.folder,
                              target.path.constData()) == 0;
    if (!ok) {
        discard();
        return false;
    }
    // The new name is an entry of the folder, so it reaches the disk when the folder does.
    return !durable || syncFolderOf(target);
}

// The source still has the size and modification time it had when its copy began. A file that
// another program writes meanwhile would give a copy of a state it never had.
bool unchangedSince(int in, const struct stat &was)
{
    struct stat now;
    return calls.fstat(in, &now) == 0 && now.st_size == was.st_size &&
           now.st_mtim.tv_sec == was.st_mtim.tv_sec && now.st_mtim.tv_nsec == was.st_mtim.tv_nsec;
}

Content contentOf(int in, const struct stat &st)
{
    return {st.st_size, [in, st](int out, bool fresh) -> off_t {
                // A file that reports no size may still have content (those of /proc do).
                const off_t written = !fresh || st.st_size == 0         ? copyStream(in, out)
                                      : copySparse(in, out, st.st_size) ? st.st_size
                                                                        : -1;
                return written >= 0 && unchangedSince(in, st) ? written : -1;
            }};
}

// Renames without ever replacing. Where the file system lacks the no-replace flag, a hard link
// gives the same guarantee for files; a last resort tests and then renames.
bool placeNoReplace(const Place &from, const Place &to)
{
    const char *f = from.path.constData();
    const char *t = to.path.constData();
    if (calls.renameat2(from.folder, f, to.folder, t, RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return false;
    struct stat st;
    if (calls.fstatat(from.folder, f, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    if (!S_ISDIR(st.st_mode)) {
        if (calls.linkat(from.folder, f, to.folder, t, 0) == 0) {
            if (calls.unlinkat(from.folder, f, 0) == 0)
                return true;
            calls.unlinkat(to.folder, t, 0);
            return false;
        }
        if (errno == EEXIST)
            return false;
    }
    struct stat existing;
    if (calls.fstatat(to.folder, t, &existing, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT)
        return false;
    return calls.renameat(from.folder, f, to.folder, t) == 0;
}

// Moves a file or a link to another file system, as mv does: mode, owner and times kept, the new
// copy complete before the old one goes, and the copy taken back if the old one cannot go.
bool moveAcrossFileSystems(const Place &from, const Place &to, const struct stat &st)
{
    const timespec times[2] = {st.st_atim, st.st_mtim};
    if (S_ISLNK(st.st_mode)) {
        std::vector<char> target(size_t(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
        const ssize_t n =
            calls.readlinkat(from.folder, from.path.constData(), target.data(), target.size() - 1);
        if (n < 0)
            return false;
        target[size_t(n)] = '\0';
        // symlinkat refuses an existing `to`.
        if (calls.symlinkat(target.data(), to.folder, to.path.constData()) != 0)
            return false;
        // A link's owner and times are kept where the user may set them; a link that cannot take
        // them still points where it did, so the move goes on.
        calls.fchownat(to.folder, to.path.constData(), st.st_uid, st.st_gid, AT_SYMLINK_NOFOLLOW);
        calls.utimensat(to.folder, to.path.constData(), times, AT_SYMLINK_NOFOLLOW);
    } else if (S_ISREG(st.st_mode)) {
        struct stat now;
        UniqueFd in(openRegular(from, now));
        if (!in.valid() || !sameFile(now, st))
            return false;
        QByteArray temp;
        UniqueFd out(makeTempBeside(to, temp));
        if (!out.valid())
            return false;
        mode_t mode = st.st_mode & 07777;
        // An owner that an ordinary user may not give is left to the mover, without the set-id
        // bits that would otherwise pass to it; root may give any, so there a failure is the
        // disk's, and the move stops.
        if (calls.fchown(out.get(), st.st_uid, st.st_gid) != 0) {
            if (errno != EPERM || geteuid() == 0) {
                out.reset();
                calls.unlinkat(to.folder, temp.constData(), 0);
                return false;
            }
            mode &= ~mode_t(S_ISUID | S_ISGID);
        }
        bool ok = copySparse(in.get(), out.get(), st.st_size) && unchangedSince(in.get(), now) &&
                  calls.fchmod(out.get(), mode) == 0 && calls.futimens(out.get(), times) == 0;
        ok = out.closeNow() && ok;
        ok = ok && placeNoReplace({to.folder, temp}, to);
        if (!ok) {
            calls.unlinkat(to.folder, temp.constData(), 0);
            return false;
        }
    } else {
        return false;
    }
    if (calls.unlinkat(from.folder, from.path.constData(), 0) == 0)
        return true;
    calls.unlinkat(to.folder, to.path.constData(), 0);
    return false;
}

Place placeOf(const QString &path)
{
    return {AT_FDCWD, fs::toNative(path)};
}

// Both paths name one directory entry: the same name in the same folder.
bool sameEntry(const Place &a, const Place &b)
{
    if (nameOf(a.path) != nameOf(b.path))
        return false;
    struct stat fa, fb;
    return calls.fstatat(a.folder, folderOf(a.path).constData(), &fa, 0) == 0 &&
           calls.fstatat(b.folder, folderOf(b.path).constData(), &fb, 0) == 0 && sameFile(fa, fb);
}

} // namespace

bool isReadOnly(const QString &path)
{
    const QByteArray native = fs::toNative(path);
    struct stat st;
    return !native.isEmpty() && calls.fstatat(AT_FDCWD, native.constData(), &st, 0) == 0 &&
           modeDeniesWrite(st);
}

UniqueFd openFolder(const QString &path)
{
    const QByteArray native = fs::toNative(path);
    return UniqueFd(native.isEmpty() ? -1
                                     : again(calls.openat, AT_FDCWD, native.constData(),
                                             O_RDONLY | O_DIRECTORY | O_CLOEXEC, mode_t(0)));
}

bool isRegularFile(const Place &place)
{
    struct stat st;
    return !place.path.isEmpty() &&
           calls.fstatat(place.folder, place.path.constData(), &st, 0) == 0 && S_ISREG(st.st_mode);
}

bool copyFile(const Place &source, const Place &target)
{
    if (source.path.isEmpty() || target.path.isEmpty())
        return false;
    struct stat st;
    UniqueFd in(openRegular(source, st));
    if (!in.valid())
        return false;
    return replaceContent(target, contentOf(in.get(), st), st.st_mode & 0777 & ~creationMask(),
                          false, &st);
}

bool copyFile(const QString &source, const QString &target)
{
    return copyFile(placeOf(source), placeOf(target));
}

bool renameNoReplace(const Place &from, const Place &to)
{
    struct stat st;
    if (from.path.isEmpty() || to.path.isEmpty() ||
        calls.fstatat(from.folder, from.path.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    if (sameEntry(from, to))
        return true;
    if (placeNoReplace(from, to))
        return true;
    if (errno != EXDEV)
        return false;
    return moveAcrossFileSystems(from, to, st);
}

bool renameNoReplace(const QString &from, const QString &to)
{
    return renameNoReplace(placeOf(from), placeOf(to));
}

bool removeFile(const Place &place)
{
    struct stat st;
    if (place.path.isEmpty() ||
        calls.fstatat(place.folder, place.path.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        S_ISDIR(st.st_mode))
        return false;
    if (S_ISREG(st.st_mode) && modeDeniesWrite(st))
        return false;
    return calls.unlinkat(place.folder, place.path.constData(), 0) == 0;
}

bool removeFile(const QString &path)
{
    return removeFile(placeOf(path));
}

bool writeFile(const QString &path, QByteArrayView bytes, bool durable)
{
    const Content content{off_t(bytes.size()), [bytes](int out, bool) -> off_t {
                              if (calls.lseek(out, 0, SEEK_SET) < 0 ||
                                  !writeAll(out, bytes.data(), size_t(bytes.size())))
                                  return -1;
                              return off_t(bytes.size());
                          }};
    return replaceContent(placeOf(path), content, 0666 & ~creationMask(), durable, nullptr);
}

} // namespace core::fs
