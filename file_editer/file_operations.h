#pragma once
// What the File Editer's three buttons do to the file system, without the window. Each answers
// only whether it worked: the window either shows its one success message or stays silent.

#include <QString>
#include <QStringList>

namespace fileediter {

// A field counts as empty only when it holds no character at all; blanks are a (strange) path.
bool fieldsFilled(const QStringList &fields);

// Copies the file `source` to the full path `target`, replacing a file there; the source is
// never damaged and a failing copy leaves an existing target whole.
bool copyFile(const QString &source, const QString &target);

// Gives the file or folder `from` the path `to`, never replacing anything.
bool renameFile(const QString &from, const QString &to);

// Deletes the file `path` names. `*` and `?` in its last component delete every matching file of
// that folder; folders are never deleted. True only when something matched and every match is
// gone: read-only files are left, the others still deleted.
bool deleteFiles(const QString &path);

// Whether a delete pattern takes a file name, by the file list's rules ("*.*" takes every name).
// A leading dot must be matched by a dot in the pattern, so "*" leaves hidden files alone as a
// shell would.
bool deletePatternMatches(QStringView pattern, QStringView name);

} // namespace fileediter
