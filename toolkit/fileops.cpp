#include "toolkit/fileops.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace fsops {

namespace {

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

bool modeDeniesWrite(const struct stat &st)
{
    const uid_t uid = geteuid();
    if (st.st_uid == uid)
        return !(st.st_mode & S_IWUSR);
    bool inGroup = st.st_gid == getegid();
    if (!inGroup) {
        const int n = getgroups(0, nullptr);
        std::vector<gid_t> groups(n > 0 ? n : 0);
        if (n > 0 && getgroups(n, groups.data()) == n) {
            for (gid_t g : groups)
                inGroup = inGroup || g == st.st_gid;
        }
    }
    return inGroup ? !(st.st_mode & S_IWGRP) : !(st.st_mode & S_IWOTH);
}

mode_t creationMask()
{
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArray(".");
    return slash == 0 ? QByteArray("/") : path.left(slash);
}

QByteArray nameOf(const QByteArray &path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

// A hidden temporary file beside `path`, so that the final rename stays within one file system.
int makeTemp(const QByteArray &path, QByteArray &tempPath)
{
    QByteArray folder = folderOf(path);
    if (!folder.endsWith('/'))
        folder += '/';
    tempPath = folder + '.' + nameOf(path).left(200) + ".tmp-XXXXXX";
    return mkostemp(tempPath.data(), O_CLOEXEC);
}

bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

bool copyContent(int in, int out)
{
    // The kernel copies without a trip through user space where it can; otherwise a plain loop.
    // Some files (those of /proc, for one) read as empty through the kernel copy, so a kernel
    // copy that ends before its first byte hands over to the plain loop.
    bool kernelCopy = true;
    bool kernelCopied = false;
    for (;;) {
        if (kernelCopy) {
            const ssize_t n = copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
            if (n > 0) {
                kernelCopied = true;
                continue;
            }
            if (n == 0 && kernelCopied)
                return true;
            if (n == 0) {
                kernelCopy = false;
                continue;
            }
            if (errno == EINTR)
                continue;
            if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP &&
                errno != EPERM)
                return false;
            kernelCopy = false;
        }
        static thread_local std::vector<char> buffer(1 << 20);
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (!writeAll(out, buffer.data(), size_t(n)))
            return false;
    }
}

// Renames without ever replacing. Where the file system lacks the no-replace flag, a hard link
// gives the same guarantee for files; a last resort tests and then renames.
bool placeNoReplace(const QByteArray &from, const QByteArray &to)
{
    if (renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return false;
    struct stat st;
    if (lstat(from.constData(), &st) != 0)
        return false;
    if (!S_ISDIR(st.st_mode)) {
        if (link(from.constData(), to.constData()) == 0) {
            if (unlink(from.constData()) == 0)
                return true;
            unlink(to.constData());
            return false;
        }
        if (errno == EEXIST)
            return false;
    }
    struct stat existing;
    if (lstat(to.constData(), &existing) == 0 || errno != ENOENT)
        return false;
    return rename(from.constData(), to.constData()) == 0;
}

// Moves a file or a link to another file system: the new copy is complete before the old one
// goes, and if the old one cannot be removed the copy is taken back.
bool moveAcrossFileSystems(const QByteArray &from, const QByteArray &to, const struct stat &st)
{
    if (S_ISLNK(st.st_mode)) {
        std::vector<char> target(size_t(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
        const ssize_t n = readlink(from.constData(), target.data(), target.size() - 1);
        if (n < 0)
            return false;
        target[size_t(n)] = '\0';
        if (symlink(target.data(), to.constData()) != 0) // refuses an existing `to`
            return false;
    } else if (S_ISREG(st.st_mode)) {
        const int in = open(from.constData(), O_RDONLY | O_CLOEXEC);
        if (in < 0)
            return false;
        QByteArray temp;
        const int out = makeTemp(to, temp);
        bool ok = out >= 0 && copyContent(in, out) && fchmod(out, st.st_mode & 07777) == 0;
        if (out >= 0)
            ok = (close(out) == 0) && ok;
        close(in);
        ok = ok && placeNoReplace(temp, to);
        if (!ok) {
            if (out >= 0)
                unlink(temp.constData());
            return false;
        }
    } else {
        return false;
    }
    if (unlink(from.constData()) == 0)
        return true;
    unlink(to.constData());
    return false;
}

// Both paths name one directory entry: the same name in the same folder.
bool sameEntry(const QString &a, const QString &b)
{
    const QFileInfo fa(a), fb(b);
    if (fa.fileName() != fb.fileName())
        return false;
    const QString da = fa.absoluteDir().canonicalPath();
    return !da.isEmpty() && da == fb.absoluteDir().canonicalPath();
}

} // namespace

bool isReadOnly(const QString &path)
{
    struct stat st;
    return stat(native(path).constData(), &st) == 0 && modeDeniesWrite(st);
}

bool copyFile(const QString &source, const QString &target)
{
    const QByteArray src = native(source);
    QByteArray dst = native(target);
    if (src.isEmpty() || dst.isEmpty())
        return false;
    const int in = open(src.constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    struct stat srcSt;
    if (fstat(in, &srcSt) != 0 || !S_ISREG(srcSt.st_mode)) {
        close(in);
        return false;
    }
    // A link as target is written through to the file it names, as a plain copy would.
    struct stat dstSt;
    if (lstat(dst.constData(), &dstSt) == 0 && S_ISLNK(dstSt.st_mode)) {
        const QString resolved = QFileInfo(target).canonicalFilePath();
        if (!resolved.isEmpty())
            dst = native(resolved);
    }
    if (stat(dst.constData(), &dstSt) == 0) {
        // The same inode covers other spellings, links and hard links of the source.
        if (S_ISDIR(dstSt.st_mode) || modeDeniesWrite(dstSt) ||
            (dstSt.st_dev == srcSt.st_dev && dstSt.st_ino == srcSt.st_ino)) {
            close(in);
            return false;
        }
    }
    QByteArray temp;
    const int out = makeTemp(dst, temp);
    if (out < 0) {
        close(in);
        return false;
    }
    bool ok = copyContent(in, out) && fchmod(out, srcSt.st_mode & 0777) == 0;
    ok = (close(out) == 0) && ok;
    close(in);
    ok = ok && rename(temp.constData(), dst.constData()) == 0;
    if (!ok)
        unlink(temp.constData());
    return ok;
}

bool renameNoReplace(const QString &from, const QString &to)
{
    const QByteArray src = native(from);
    const QByteArray dst = native(to);
    struct stat st;
    if (src.isEmpty() || dst.isEmpty() || lstat(src.constData(), &st) != 0)
        return false;
    if (sameEntry(from, to))
        return true;
    if (placeNoReplace(src, dst))
        return true;
    if (errno != EXDEV)
        return false;
    return moveAcrossFileSystems(src, dst, st);
}

bool removeFile(const QString &path)
{
    const QByteArray p = native(path);
    struct stat st;
    if (p.isEmpty() || lstat(p.constData(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    if (S_ISREG(st.st_mode) && modeDeniesWrite(st))
        return false;
    return unlink(p.constData()) == 0;
}

AtomicWriter::AtomicWriter(const QString &target) : m_target(target) {}

AtomicWriter::~AtomicWriter()
{
    if (m_fd >= 0) {
        close(m_fd);
        unlink(m_tempPath.constData());
    }
}

bool AtomicWriter::open()
{
    m_finalPath = native(m_target);
    if (m_finalPath.isEmpty())
        return false;
    struct stat st;
    if (lstat(m_finalPath.constData(), &st) == 0 && S_ISLNK(st.st_mode)) {
        const QString resolved = QFileInfo(m_target).canonicalFilePath();
        if (!resolved.isEmpty())
            m_finalPath = native(resolved);
    }
    mode_t mode = 0666 & ~creationMask();
    if (stat(m_finalPath.constData(), &st) == 0) {
        if (!S_ISREG(st.st_mode) || modeDeniesWrite(st))
            return false;
        mode = st.st_mode & 07777;
    }
    m_fd = makeTemp(m_finalPath, m_tempPath);
    if (m_fd < 0)
        return false;
    if (fchmod(m_fd, mode) != 0)
        m_failed = true;
    return !m_failed;
}

bool AtomicWriter::write(QByteArrayView bytes)
{
    if (m_fd < 0 || m_failed)
        return false;
    if (!writeAll(m_fd, bytes.data(), size_t(bytes.size())))
        m_failed = true;
    return !m_failed;
}

bool AtomicWriter::commit()
{
    if (m_fd < 0 || m_failed)
        return false;
    const int fd = m_fd;
    m_fd = -1;
    if (close(fd) != 0 || rename(m_tempPath.constData(), m_finalPath.constData()) != 0) {
        unlink(m_tempPath.constData());
        return false;
    }
    return true;
}

} // namespace fsops
