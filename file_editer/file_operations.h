// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the File Editer's buttons need beyond the shared file operations (copy and rename are
// core::fs::copyFile and core::fs::renameNoReplace as they stand), without the window. Each answers
// only whether it worked: the window either shows its one success message or stays silent.

#include <QString>
#include <QStringList>

namespace file_editer {

// A field counts as empty only when it holds no character at all; blanks are a (strange) path.
bool fieldsFilled(const QStringList &fields);

// Deletes the file `path` names. A path that names an existing entry means that entry alone, even
// when its name holds `*` or `?` (a file here may be named so); only a path that names nothing is a
// pattern, whose `*` and `?` in the last component delete every matching regular file and link of
// that folder (a FIFO, socket or device is left, as are folders). True only when something matched
// and every match is gone: read-only files are left, the others still deleted.
[[nodiscard]] bool deleteFiles(const QString &path);

// Whether a delete pattern takes a file name, by the file list's rules ("*.*" takes every name).
// A leading dot must be matched by a dot in the pattern, so "*" leaves hidden files alone as a
// shell would.
bool deletePatternMatches(QStringView pattern, QStringView name);

} // namespace file_editer
