// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading files and folders, through the table of core::sys like every other call on files, so
// the tools above core make no system call of their own and a test can fail any step of a load
// or a listing. The writing half is fileops.h.

#include "core/filenames.h"
#include "core/fsresult.h"
#include "core/handles.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <dirent.h>
#include <sys/types.h>

namespace core::fs {

// ---- Files ---------------------------------------------------------------------------------

// A regular file open for reading, and its size when it was opened.
struct ReadableFile {
    UniqueFd fd;
    qint64 size = 0;
};

// Opens the file at `path` (a link followed) for reading only, so a read-only file opens too. A
// path that names nothing is created empty when `createMissing` says so, and never replaces
// anything that appeared meanwhile. The file is opened without blocking, so a FIFO with no
// writer cannot hang the caller, and only a regular file is answered: a FIFO, a device or a
// folder fails at Step::Kind.
Expected<ReadableFile> openForReading(const QString &path, bool createMissing);

// Reads up to `size` bytes into `buffer`, going on after an interrupted or short read, so `got`
// falls short of `size` only at the end of the file. `got` holds what came even on a failure.
Result readRecord(int fd, char *buffer, qint64 size, qint64 &got);

// Puts the file back at its first byte, for a second pass.
Result seekToStart(int fd);

// The whole content of a small file that may not know its size (a file of /proc says 0), read
// to its end.
Expected<QByteArray> readSmallFile(const QByteArray &native);

// The path `native` stands for once a link in its last part is followed to its end (a relative
// target taken against the link's folder, "." and ".." taken out as text): itself when it is no
// link. Empty when it names nothing, a link leads nowhere, or the links go round.
QByteArray resolvedLink(const QByteArray &native);

// ---- Folders -------------------------------------------------------------------------------

// Which folder a path named when it was looked at: by the time a listing is acted on, the same
// path may name another folder (one swapped for a link, say). Zeros stand for none.
struct FolderIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FolderIdentity &) const = default;
};

// The folder `path` names now (a link followed); zeros when it names none.
FolderIdentity folderIdentity(const QString &path);
// The folder open as `folderFd`; zeros when it cannot be asked.
FolderIdentity folderIdentity(int folderFd);

// The folder at `path` (a link followed), opened for the *at() calls on its entries only if it is
// still the folder `identity` describes; not valid otherwise, or for zeros.
UniqueFd openSameFolder(const QString &path, const FolderIdentity &identity);

// Whether `path` (relative to the open folder `folder`, or AT_FDCWD) names a folder, a link
// followed.
bool isFolder(int folder, const char *path);
bool isFolder(const QString &path);

// Whether the folder at the native path can be opened for reading its entries.
bool canOpenFolder(const QByteArray &native);

// The links of the folder at `native`, each by its name and the path it resolves to
// (resolvedLink); a link that leads nowhere is left out, as is an entry that is no link.
struct FolderLink {
    QByteArray name;
    QByteArray target;
};
QList<FolderLink> linksIn(const QByteArray &native);

// Unknown: the system could not say (an I/O error, say), which is not the same as an entry that
// leads nowhere: a dangling link, or one into a folder this user may not look into, is Other.
enum class EntryKind { File, Folder, Other, Unknown };

// The entry itself, a link not followed, for deciding what to delete: a link goes as a link.
// Unreadable means it could not be asked (it may exist).
enum class EntryType { Missing, Regular, Link, Folder, Other, Unreadable };
EntryType entryType(int folder, const QByteArray &path);

// What the entry `name` of the open folder `folderFd` is, a link followed. `type` is readdir's
// d_type, which answers without a call for all but links and file systems that leave it
// unknown; an entry that leads nowhere (a dangling link, a link into a folder this user may not
// enter, a loop of links) is Other.
EntryKind kindOf(int folderFd, const char *name, unsigned char type);

// The size in bytes of the entry `name` of the open folder `folderFd` (AT_FDCWD: a path), a
// link followed; -1 when it cannot be read.
qint64 sizeOf(int folderFd, const char *name);

// Calls `take(folderFd, entry)` for every entry of the folder at `path` (a link followed) but
// "." and "..", in the folder's own order; `identity`, when given, receives which folder was
// read (zeros when none could be). Fails at Step::Path or Step::Open when the folder cannot be
// opened, and at Step::Read when it could not be read to its end: the entries taken so far are
// then not the whole folder.
template <class Take> Result readEntries(DirStream &dir, Take take)
{
    if (!dir.isOpen())
        return Result::failure(Step::Open, dir.error());
    const int fd = dir.fd();
    while (const dirent *entry = dir.next()) {
        const char *name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        take(fd, entry);
    }
    if (dir.error())
        return Result::failure(Step::Read, dir.error());
    return {};
}

template <class Take>
Result readFolder(const QString &path, Take take, FolderIdentity *identity = nullptr)
{
    if (identity)
        *identity = {};
    const QByteArray native = toNative(path);
    if (native.isEmpty())
        return Result::failure(Step::Path, 0);
    DirStream dir(native.constData());
    if (identity && dir.isOpen())
        *identity = folderIdentity(dir.fd());
    return readEntries(dir, take);
}

// readFolder of the folder open as `folderFd`, from its first entry, so that what is read is that
// very folder whatever its path names by now.
template <class Take> Result readFolder(int folderFd, Take take)
{
    DirStream dir(folderFd, ".");
    return readEntries(dir, take);
}

} // namespace core::fs
