#pragma once
// File operations that never lose or damage a user's file. They are shared by the File Editer,
// the Diverter and the Text Editer's save; each answers only whether it worked, since every
// caller either stays silent on failure or shows one fixed message.
//
// - A copy or a save writes a temporary file beside the target and renames it over the target
//   only when it is complete, so a failure half way (full disk, read error) leaves the old
//   target whole; a copy never writes onto its own source, under any spelling or link.
// - A rename never replaces an existing file (POSIX rename() would).
// - A file whose mode gives the user no write permission counts as read-only: it is neither
//   replaced by a copy or a save nor deleted. This is read from the mode bits, so it holds for
//   root too, who may write anything.

#include <QByteArrayView>
#include <QString>

namespace fsops {

// The file (a link followed) exists and its mode gives this user no write permission.
bool isReadOnly(const QString &path);

// Copies the regular file `source` to the full path `target`, replacing a file there.
// Fails on a missing source, a target that is a folder, is read-only or is the source itself.
bool copyFile(const QString &source, const QString &target);

// Gives a file or folder a new path; fails when anything exists at `to`. A file (or a link) may
// move to another file system, removed from the old one only once the copy is whole; a folder
// moves only within its file system. A path renamed onto itself succeeds and changes nothing.
bool renameNoReplace(const QString &from, const QString &to);

// Deletes a file, or a symbolic link as a link. Fails on folders and read-only files.
bool removeFile(const QString &path);

// Streams a file's new content into a temporary file and puts it in place on commit(). A link
// is written through to its target; the target keeps its permissions. Dropped uncommitted, the
// temporary file is removed and the target is as it was.
class AtomicWriter {
public:
    explicit AtomicWriter(const QString &target);
    ~AtomicWriter();
    AtomicWriter(const AtomicWriter &) = delete;
    AtomicWriter &operator=(const AtomicWriter &) = delete;

    // Fails on a folder, a read-only file, or a folder that cannot take a new file.
    bool open();
    bool write(QByteArrayView bytes);
    bool commit();

private:
    QString m_target;
    QByteArray m_finalPath;
    QByteArray m_tempPath;
    int m_fd = -1;
    bool m_failed = false;
};

} // namespace fsops
