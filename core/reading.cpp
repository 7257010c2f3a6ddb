// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/reading.h"

#include "core/fileops.h"
#include "core/syscalls.h"

#include <QDir>

#include <climits>
#include <sys/stat.h>

namespace core::fs {

using sys::again;
using sys::calls;

Expected<ReadableFile> openForReading(const QString &path, bool createMissing)
{
    const QByteArray native = toNative(path);
    if (native.isEmpty())
        return Error{Step::Path, 0};
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
    int fd = again(calls.openat, AT_FDCWD, native.constData(), flags, mode_t(0));
    // O_EXCL: a file that appeared since is opened by nobody's leave but its own, never emptied.
    if (fd < 0 && errno == ENOENT && createMissing)
        fd = again(calls.openat, AT_FDCWD, native.constData(), flags | O_CREAT | O_EXCL,
                   mode_t(0666));
    if (fd < 0)
        return Error{Step::Open, errno};
    ReadableFile file{UniqueFd(fd), 0};
    struct stat st;
    if (calls.fstat(fd, &st) != 0)
        return Error{Step::Inspect, errno};
    if (!S_ISREG(st.st_mode))
        return Error{Step::Kind, 0};
    file.size = qint64(st.st_size);
    return file;
}

Result readRecord(int fd, char *buffer, qint64 size, qint64 &got)
{
    got = 0;
    while (got < size) {
        const ssize_t n = calls.read(fd, buffer + got, size_t(size - got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return Result::failure(Step::Read);
        }
        if (n == 0)
            break;
        got += n;
    }
    return {};
}

Result seekToStart(int fd)
{
    const off_t at = calls.lseek(fd, 0, SEEK_SET);
    if (at == 0)
        return {};
    // A seek that lands elsewhere leaves no errno of its own.
    return Result::failure(Step::Seek, at < 0 ? errno : 0);
}

Expected<QByteArray> readSmallFile(const QByteArray &native)
{
    if (native.isEmpty())
        return Error{Step::Path, 0};
    const UniqueFd file(again(calls.openat, AT_FDCWD, native.constData(),
                              O_RDONLY | O_CLOEXEC | O_NONBLOCK, mode_t(0)));
    if (!file.valid())
        return Error{Step::Open, errno};
    constexpr qint64 kChunk = 64 * 1024;
    QByteArray bytes;
    for (;;) {
        const qsizetype at = bytes.size();
        bytes.resize(at + kChunk);
        qint64 got = 0;
        const Result read = readRecord(file.get(), bytes.data() + at, kChunk, got);
        bytes.truncate(at + qsizetype(got));
        if (!read)
            return read.error();
        if (got < kChunk)
            return bytes;
    }
}

QByteArray resolvedLink(const QByteArray &native)
{
    // As many links as the system itself follows before it gives up with ELOOP.
    constexpr int kMostLinks = 40;
    QByteArray path = native;
    char target[PATH_MAX];
    for (int hop = 0; hop < kMostLinks && !path.isEmpty(); ++hop) {
        const ssize_t n = calls.readlinkat(AT_FDCWD, path.constData(), target, sizeof target);
        if (n < 0)
            return errno == EINVAL ? path : QByteArray(); // EINVAL: there, and no link
        if (size_t(n) == sizeof target)
            return {};
        QByteArray next(target, qsizetype(n));
        if (!next.startsWith('/'))
            next.prepend(path.left(path.lastIndexOf('/') + 1));
        path = toNative(QDir::cleanPath(fromNative(next)));
    }
    return {};
}

QList<FolderLink> linksIn(const QByteArray &native)
{
    QList<FolderLink> links;
    DirStream dir(native.isEmpty() ? nullptr : native.constData());
    while (const dirent *entry = dir.next()) {
        if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
            continue;
        const QByteArray name(entry->d_name);
        const QByteArray path = native + '/' + name;
        const QByteArray target = resolvedLink(path);
        if (!target.isEmpty() && target != path)
            links.push_back({name, target});
    }
    return links;
}

FolderIdentity folderIdentity(const QString &path)
{
    const QByteArray native = toNative(path);
    struct stat st;
    if (native.isEmpty() || calls.fstatat(AT_FDCWD, native.constData(), &st, 0) != 0 ||
        !S_ISDIR(st.st_mode))
        return {};
    return {st.st_dev, st.st_ino};
}

EntryType entryType(int folder, const QByteArray &path)
{
    struct stat st;
    if (path.isEmpty())
        return EntryType::Missing;
    if (calls.fstatat(folder, path.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT || errno == ENOTDIR ? EntryType::Missing : EntryType::Unreadable;
    if (S_ISREG(st.st_mode))
        return EntryType::Regular;
    if (S_ISLNK(st.st_mode))
        return EntryType::Link;
    return S_ISDIR(st.st_mode) ? EntryType::Folder : EntryType::Other;
}

FolderIdentity folderIdentity(int folderFd)
{
    struct stat st;
    if (calls.fstat(folderFd, &st) != 0 || !S_ISDIR(st.st_mode))
        return {};
    return {st.st_dev, st.st_ino};
}

UniqueFd openSameFolder(const QString &path, const FolderIdentity &identity)
{
    if (identity == FolderIdentity{})
        return UniqueFd();
    UniqueFd fd = openFolder(path);
    if (fd.valid() && folderIdentity(fd.get()) != identity)
        fd.reset();
    return fd;
}

bool isFolder(int folder, const char *path)
{
    struct stat st;
    return path && *path && calls.fstatat(folder, path, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

bool isFolder(const QString &path)
{
    const QByteArray native = toNative(path);
    return !native.isEmpty() && isFolder(AT_FDCWD, native.constData());
}

bool canOpenFolder(const QByteArray &native)
{
    return !native.isEmpty() && DirStream(native.constData()).isOpen();
}

EntryKind kindOf(int folderFd, const char *name, unsigned char type)
{
    if (type == DT_REG)
        return EntryKind::File;
    if (type == DT_DIR)
        return EntryKind::Folder;
    if (type != DT_LNK && type != DT_UNKNOWN)
        return EntryKind::Other;
    struct stat st;
    if (calls.fstatat(folderFd, name, &st, 0) != 0)
        return errno == ENOENT || errno == ENOTDIR || errno == ELOOP || errno == EACCES
                   ? EntryKind::Other
                   : EntryKind::Unknown;
    return S_ISREG(st.st_mode)   ? EntryKind::File
           : S_ISDIR(st.st_mode) ? EntryKind::Folder
                                 : EntryKind::Other;
}

qint64 sizeOf(int folderFd, const char *name)
{
    struct stat st;
    if (!name || !*name || calls.fstatat(folderFd, name, &st, 0) != 0)
        return -1;
    return qint64(st.st_size);
}

} // namespace core::fs
