#pragma once
// The Diverter's batch work on the entries of its file list: the rename and create by text
// replacement, and the bulk delete. Each entry is addressed as joinPath(folder, name), joined as it
// stands (at the root that gives "//name", which the file system reads as "/name"). The loops
// skip a failing entry silently and go on; the counts they return are for tests and benchmarks,
// since the window reports nothing.

#include <QString>
#include <QStringList>

namespace diverter {

// The entry's name with every occurrence of `oldText` replaced by `newText` (the program's
// matching rule: exact, leftmost, no overlap; an empty old text matches nothing).
QString newNameOf(const QString &name, const QString &oldText, const QString &newText);

// Gives each listed file its new name; never replaces an existing file. Returns how many files
// got a name other than their own.
int renameAll(const QString &folder, const QStringList &names, const QString &oldText,
              const QString &newText);

// Copies each listed file under its new name, replacing an existing writable file there; a file
// whose new name is its own is left untouched. Returns how many copies were made.
int copyAll(const QString &folder, const QStringList &names, const QString &oldText,
            const QString &newText);

// Deletes each listed file for good; read-only files and folders stay, links go as links.
// Returns how many were deleted.
int deleteAll(const QString &folder, const QStringList &names);

} // namespace diverter
