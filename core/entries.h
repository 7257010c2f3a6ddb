// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a folder entry is, asked through core::sys like every other call on files, for the tools
// that decide what to act on by the kind of an entry.

#include "core/fileops.h"

#include <sys/types.h>

namespace core::fs {

// The entry itself, a link not followed. Unreadable means it could not be asked (it may exist).
enum class EntryType { Missing, Regular, Link, Folder, Other, Unreadable };
EntryType entryType(const Place &place);

// Which file an open descriptor is: its device and inode; both 0 when it cannot be asked.
struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    friend bool operator==(const FileId &, const FileId &) = default;
};
FileId fileIdOf(int fd);

} // namespace core::fs
