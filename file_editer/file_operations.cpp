// SPDX-License-Identifier: GPL-3.0-or-later
#include "file_editer/file_operations.h"

#include "core/filenames.h"
#include "core/fileops.h"
#include "core/handles.h"
#include "core/reading.h"
#include "core/wildcard.h"

namespace file_editer {

bool fieldsFilled(const QStringList &fields)
{
    for (const QString &field : fields) {
        if (field.isEmpty())
            return false;
    }
    return true;
}

bool deletePatternMatches(QStringView pattern, QStringView name)
{
    if (name.startsWith(u'.') && !pattern.startsWith(u'.'))
        return false;
    // The whole field is one pattern: a ';' or a blank is part of a name here, not a separator.
    return core::fileNameMatches(pattern, name);
}

bool deleteFiles(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString pattern = path.mid(slash + 1);
    // Here a file may be named "Soru?.txt": a path that names an entry means that entry alone,
    // and only a path that names nothing is a pattern. An entry that cannot be asked about is
    // not taken for a pattern either, so its look-alikes are never deleted in its place.
    const core::fs::EntryType named = core::fs::entryType(AT_FDCWD, core::fs::toNative(path));
    if (!core::hasWildcard(pattern) || named != core::fs::EntryType::Missing)
        return bool(core::fs::removeFile(path));

    // A pattern without a folder works in the current folder, as a plain relative name does.
    // The folder is opened once and every match deleted by its own bytes within it.
    const QByteArray folder =
        slash < 0 ? QByteArray(".") : core::fs::toNative(path.left(slash + 1));
    if (folder.isEmpty())
        return false;
    core::fs::DirStream dir(folder.constData());
    if (!dir.isOpen())
        return false;
    const int fd = dir.fd();
    int matched = 0, deleted = 0;
    while (const dirent *entry = dir.next()) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == ".." ||
            !deletePatternMatches(pattern, core::fs::fromNative(name)))
            continue;
        // Files and links only, as the Diverter's delete: a FIFO, socket or device that happens
        // to match is no file of the user's to delete. A link to a folder is a file entry of its
        // own: it goes as a link, like any other link.
        const core::fs::EntryType type = core::fs::entryType(fd, name);
        if (type != core::fs::EntryType::Regular && type != core::fs::EntryType::Link &&
            type != core::fs::EntryType::Unreadable)
            continue;
        ++matched;
        // One that could not be asked about may be a file: it stays, and withholds the success.
        if (type == core::fs::EntryType::Unreadable)
            continue;
        // Every file that can go goes, whatever its place in the listing; a read-only one among
        // them only withholds the success.
        if (core::fs::removeFile({fd, name}))
            ++deleted;
    }
    // A folder that could not be read to its end may hold matches that are still there.
    return dir.error() == 0 && matched > 0 && deleted == matched;
}

} // namespace file_editer
