// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the folder list and the file list show, read from the file system at once (the lists are
// synchronous: a handler that points a list at a folder reads its entries on the next line).

#include "core/reading.h"

#include <QString>
#include <QStringList>

namespace diverter::folders {

// Which folder a listing was read from: by the time the listed files are acted on, the same
// path may name another folder (one swapped for a link, say).
using FolderIdentity = core::fs::FolderIdentity;
// Which folder `path` names now (a link followed); zeros when none.
FolderIdentity identityOf(const QString &path);

// The folder list's form of a typed path: made absolute against `workingFolder`, with "." and
// ".." and doubled separators taken out and no trailing separator ("/" for the root). Empty
// when the path names no existing folder.
QString resolveFolder(const QString &typed, const QString &workingFolder);

// The folders from the root down to `folder`, each as a full path: "/", "/a", "/a/b".
QStringList chainOf(const QString &folder);

// Names of the folders inside `folder` (links to folders count), hidden ones left out, sorted
// by name ignoring letter case.
QStringList subfolderNames(const QString &folder);

// Names of the ordinary files in `folder` that `pattern` (a `;` list of wildcards) lets through:
// regular files and links to regular files, no hidden dot files, sorted by name ignoring case.
// The folder is read once; an unreadable folder has no files. `identity`, when given, receives
// which folder was read (zeros when none could be).
QStringList fileNames(const QString &folder, const QString &pattern,
                      FolderIdentity *identity = nullptr);

// Sorts by name ignoring letter case; names that differ only in case keep a fixed order.
void sortIgnoringCase(QStringList &names);

} // namespace diverter::folders
