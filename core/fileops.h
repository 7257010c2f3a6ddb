// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// File operations that never lose or damage a user's file. They are shared by the File Editer,
// the Diverter and the Text Editer's save. Each answers a core::fs::Result: success, or the step
// that failed and the system's errno for it (a check that fails gives its step with 0, or the
// errno that fits: EEXIST, EISDIR, EACCES for a read-only file). The windows still say only
// whether it worked; each operation writes why it failed, once, to the log category
// "tarnwick.files".
//
// - Only regular files are read or replaced. A source is opened so that a FIFO cannot block and
//   must be a regular file; a target that exists must be a regular file or a link to one (a link
//   is written through to its file; a dangling one is refused).
// - The replace rule: new content goes to a temporary file beside the target, which takes the
//   target's place only when it is complete, so a failure half way leaves the old target whole.
//   For a target where nothing stands, that file is an unnamed one, linked under the name when
//   whole (linkat never replaces; a name taken meanwhile sends the content the replacing way);
//   where the file system makes no unnamed files, a hidden named one serves.
//   What is replaced keeps its owner and group (also where the folder would give a new file its
//   own group), its mode, its ACL and its extended attributes. An attribute that this writer may
//   not set or the file system does not take is passed over; one that would lose an ACL fails
//   the operation, and the old file stays.
// - In place: a target with other hard links, one whose owner this user cannot give to a new
//   file, or one in a folder that takes no new file, is written in place instead. Its whole old
//   content is kept aside first (in memory, or for a big file in an unnamed temporary file
//   outside the user's folders, so nothing stays behind even after a crash), and its space is
//   reserved where the file system can, so that a full disk fails before a byte changes. Any
//   failure after that (a write, the truncation, the sync, the close) puts the old bytes, size
//   and times back, so the file is old or new; where even that fails the answer is Step::Restore
//   and a warning says the file may be damaged. Where nothing can be kept aside, the target is
//   not touched (Step::KeepAside).
// - A copy never writes onto its own source, under any spelling or link, and keeps the holes of
//   a sparse file. It fails when the source changes while it is copied (it ends early, or its
//   size or modification time moved), so no copy holds a state its source never had. A new copy
//   gets the source's permission bits less the umask, as cp gives them, and none of its
//   extended attributes.
// - A rename never replaces an existing file (POSIX rename() would).
// - A file whose mode gives the user no write permission counts as read-only: it is neither
//   replaced nor deleted. This is read from the mode bits, so it holds for root too.
//
// Paths are the system's bytes (fs::toNative); a path that cannot be encoded, such as one
// holding U+0000, makes the operation fail (Step::Path).

#include "core/fsresult.h"
#include "core/handles.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <fcntl.h>
#include <sys/types.h>

#include <ctime>
#include <functional>

namespace core::fs {

// A path as the system calls take it: relative to an open folder, or to the working folder when
// `folder` is AT_FDCWD (and then possibly absolute).
struct EntryPath {
    int folder = AT_FDCWD;
    QByteArray path;
};

// The folder at `path` (a link followed), opened for the *at() calls on its entries; not valid
// when it cannot be opened as a folder.
UniqueFd openFolder(const QString &path);

// The file (a link followed) exists and its mode gives this user no write permission.
bool isReadOnly(const QString &path);
bool isReadOnly(const EntryPath &entry);

// A regular file, or a link to one.
bool isRegularFile(const EntryPath &entry);

// Copies the regular file `source` to the full path `target` by the replace rule; onto its own
// source it fails with Step::SameFile.
[[nodiscard]] Result copyFile(const EntryPath &source, const EntryPath &target);
[[nodiscard]] Result copyFile(const QString &source, const QString &target);

// Gives a file or folder a new path; fails when anything exists at `to` (Step::Exists). A file
// (or a link) may move to another file system, as mv moves it: a file keeps its mode, owner,
// times and, where the other file system takes them, its extended attributes and ACL; a link is
// made again with its whole target and its own owner and times. The old one is removed only
// once the new one is whole. A folder moves only within its file system (across, EXDEV). A path
// renamed onto itself succeeds and changes nothing.
[[nodiscard]] Result renameNoReplace(const EntryPath &from, const EntryPath &to);
[[nodiscard]] Result renameNoReplace(const QString &from, const QString &to);

// Deletes a file, or a link as a link. Fails on folders and read-only files.
[[nodiscard]] Result removeFile(const EntryPath &entry);
[[nodiscard]] Result removeFile(const QString &path);
// removeFile of a regular file or a link to one (which goes as a link); anything else, a
// dangling link among them, fails with Step::Kind.
[[nodiscard]] Result removeRegularFile(const EntryPath &entry);

// ---- For batches that can be taken back ----------------------------------------------------

// What a batch remembers of a file it acted on, read from the entry itself (a link not
// followed), so that an undo can tell whether the entry is still that file. Device, inode, size
// and modification time are those of the file under its name; the change time may be an earlier
// one (see renameFile and copyFileStamped), so no check rests on it.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};
    // The same file: device and inode.
    bool sameFile(const FileStamp &other) const
    {
        return device == other.device && inode == other.inode;
    }
    // The same file, with the size and modification time it had: nobody wrote to it since.
    bool sameContent(const FileStamp &other) const
    {
        return sameFile(other) && size == other.size &&
               modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec;
    }
};

// renameNoReplace of a file a batch acts on: `from` must be a regular file or a link to one and,
// where `expected` is given, still the file it describes (device and inode; Step::Changed
// otherwise). Answers the stamp of the entry under its new name; within one file system it is
// read before the rename, which leaves all of it but the change time as it was.
[[nodiscard]] Expected<FileStamp> renameFile(const EntryPath &from, const EntryPath &to,
                                             const FileStamp *expected = nullptr);

// copyFile, also telling what it made: the stamp of a new file, or that the copy replaced an
// existing one (which no undo can bring back, so it has no stamp worth keeping). An unnamed new
// file is stamped just before its link, so its change time is the one before the link.
struct MadeCopy {
    FileStamp stamp;
    bool replaced = false;
};
[[nodiscard]] Expected<MadeCopy> copyFileStamped(const EntryPath &source, const EntryPath &target);

// removeFile of a file that is still exactly `expected` (sameContent; Step::Changed otherwise).
[[nodiscard]] Result removeUnchanged(const EntryPath &entry, const FileStamp &expected);

// Makes `bytes` the whole content of the file at `path` by the replace rule; a new file gets the
// usual mode for new files. `durable` makes the data reach the disk before the file takes the
// target's place, and the new name reach it after.
[[nodiscard]] Result writeFile(const QString &path, QByteArrayView bytes, bool durable);

// A content made while it is written, a piece at a time, so that no copy of the whole of it need
// exist (a saved text is encoded piece by piece). One write asks for its pieces once, in order.
struct Pieces {
    // The next piece, empty once all is given; valid until the next call.
    std::function<QByteArrayView()> next;
    // The bytes the pieces come to. Asked, before the first piece, only where a file written in
    // place has its space reserved, so a size that takes counting costs nothing elsewhere.
    std::function<qint64()> size;
};
// writeFile of the pieces, every rule above kept: a failure after some pieces leaves the old
// file whole.
[[nodiscard]] Result writeFile(const QString &path, const Pieces &content, bool durable);

} // namespace core::fs
