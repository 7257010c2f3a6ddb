#pragma once
// The Diverter's work on the entries of its file list: the listing text, the batch rename and
// create, and the bulk delete. Each entry is addressed as joinPath(folder, name), joined as it
// stands (at the root that gives "//name", which the file system reads as "/name"). The loops
// skip a failing entry silently and go on; the counts they return are for tests and benchmarks,
// since the window reports nothing.

#include <QString>
#include <QStringList>

namespace diverter {

// A file's length in bytes (a link followed), as plain decimal digits; 64-bit, so files of
// 2 GiB and more show their true length. Empty when the length cannot be read.
QString sizeText(const QString &path);

// The listing pieces for `names`: the name separator before every name, and with sizes the size
// separator and the size after it. Nothing after the last entry.
QString listingPieces(const QString &folder, const QStringList &names, const QString &nameSeparator,
                      bool withSizes, const QString &sizeSeparator);

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
