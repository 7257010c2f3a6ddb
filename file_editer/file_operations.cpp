// SPDX-License-Identifier: GPL-3.0-or-later
#include "file_editer/file_operations.h"

#include "core/fileops.h"
#include "core/handles.h"
#include "core/wildcard.h"

#include "core/filenames.h"

#include <dirent.h>
#include <sys/stat.h>

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
    if (!core::hasWildcard(pattern))
        return core::fs::removeFile(path).ok();

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
        // A link to a folder is a file entry of its own: it goes as a link, like any other link.
        struct stat st;
        if (fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(st.st_mode))
            continue;
        ++matched;
        // Every file that can go goes, whatever its place in the listing; a read-only one among
        // them only withholds the success.
        if (core::fs::removeFile({fd, name}))
            ++deleted;
    }
    // A folder that could not be read to its end may hold matches that are still there.
    return dir.error() == 0 && matched > 0 && deleted == matched;
}

} // namespace file_editer
