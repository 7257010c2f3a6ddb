// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/entries.h"

#include "core/syscalls.h"

#include <sys/stat.h>

namespace core::fs {

EntryType entryType(const Place &place)
{
    struct stat st;
    if (place.path.isEmpty())
        return EntryType::Missing;
    if (sys::calls.fstatat(place.folder, place.path.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT || errno == ENOTDIR ? EntryType::Missing : EntryType::Unreadable;
    if (S_ISREG(st.st_mode))
        return EntryType::Regular;
    if (S_ISLNK(st.st_mode))
        return EntryType::Link;
    return S_ISDIR(st.st_mode) ? EntryType::Folder : EntryType::Other;
}

FileId fileIdOf(int fd)
{
    struct stat st;
    if (sys::calls.fstat(fd, &st) != 0)
        return {};
    return {st.st_dev, st.st_ino};
}

} // namespace core::fs
