#include "file_editer/file_operations.h"

#include "toolkit/fileops.h"
#include "toolkit/wildcard.h"

#include <QDir>
#include <QFileInfo>

namespace fileediter {

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
    return fileNameMatches(pattern, name);
}

bool deleteFiles(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString pattern = path.mid(slash + 1);
    if (!hasWildcard(pattern))
        return fsops::removeFile(path);

    // A pattern without a folder works in the current folder, as a plain relative name does.
    // Each match is addressed by the field's own folder part, spelled as the user typed it.
    const QString prefix = path.left(slash + 1);
    const QDir dir(slash < 0 ? QStringLiteral(".") : prefix);
    const QStringList names =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    int matched = 0, deleted = 0;
    for (const QString &name : names) {
        if (!deletePatternMatches(pattern, name))
            continue;
        const QString entry = prefix + name;
        // A link to a folder is a file entry of its own: it goes as a link, like any other link.
        const QFileInfo info(entry);
        if (info.isDir() && !info.isSymLink())
            continue;
        ++matched;
        // Every file that can go goes, whatever its place in the listing; a read-only one among
        // them only withholds the success.
        if (fsops::removeFile(entry))
            ++deleted;
    }
    return matched > 0 && deleted == matched;
}

} // namespace fileediter
