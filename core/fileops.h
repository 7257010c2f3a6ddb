// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// File operations that never lose or damage a user's file. They are shared by the File Editer,
// the Diverter and the Text Editer's save; each answers only whether it worked, since every
// caller either stays silent on failure or shows one fixed message.
//
// - Only regular files are read or replaced. A source is opened so that a FIFO cannot block and
//   must be a regular file; a target that exists must be a regular file or a link to one (a link
//   is written through to its file; a dangling one is refused).
// - The replace rule: new content goes to a temporary file beside the target, which takes the
//   target's place only when it is complete, so a failure half way leaves the old target whole.
//   What is replaced keeps its owner, group and mode. A target with other hard links, one whose
//   owner this user cannot give to a new file, or one in a folder that takes no new file, is
//   written in place instead, after its space is reserved, so that a full disk fails before a
//   byte changes.
// - A copy never writes onto its own source, under any spelling or link, and keeps the holes of
//   a sparse file. It fails when the source changes while it is copied (it ends early, or its
//   size or modification time moved), so no copy holds a state its source never had. A new copy
//   gets the source's permission bits less the umask, as cp gives them.
// - A rename never replaces an existing file (POSIX rename() would).
// - A file whose mode gives the user no write permission counts as read-only: it is neither
//   replaced nor deleted. This is read from the mode bits, so it holds for root too.
//
// Paths are the system's bytes (fs::toNative); a path that cannot be encoded, such as one
// holding U+0000, makes the operation fail.

#include "core/handles.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <fcntl.h>

namespace core::fs {

// A path as the system calls take it: relative to an open folder, or to the working folder when
// `folder` is AT_FDCWD (and then possibly absolute).
struct Place {
    int folder = AT_FDCWD;
    QByteArray path;
};

// The folder at `path` (a link followed), opened for the *at() calls on its entries; not valid
// when it cannot be opened as a folder.
UniqueFd openFolder(const QString &path);

// The file (a link followed) exists and its mode gives this user no write permission.
bool isReadOnly(const QString &path);

// A regular file, or a link to one.
bool isRegularFile(const Place &place);

// Copies the regular file `source` to the full path `target` by the replace rule.
[[nodiscard]] bool copyFile(const Place &source, const Place &target);
[[nodiscard]] bool copyFile(const QString &source, const QString &target);

// Gives a file or folder a new path; fails when anything exists at `to`. A file (or a link) may
// move to another file system, keeping its mode, owner and times, removed from the old one only
// once the copy is whole; a folder moves only within its file system. A path renamed onto itself
// succeeds and changes nothing.
[[nodiscard]] bool renameNoReplace(const Place &from, const Place &to);
[[nodiscard]] bool renameNoReplace(const QString &from, const QString &to);

// Deletes a file, or a link as a link. Fails on folders and read-only files.
[[nodiscard]] bool removeFile(const Place &place);
[[nodiscard]] bool removeFile(const QString &path);

// Makes `bytes` the whole content of the file at `path` by the replace rule; a new file gets the
// usual mode for new files. `durable` makes the data reach the disk before the file takes the
// target's place, and the new name reach it after.
[[nodiscard]] bool writeFile(const QString &path, QByteArrayView bytes, bool durable);

} // namespace core::fs
