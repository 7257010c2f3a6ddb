// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Real files for the tests: written, read back and locked in a temporary folder.

#include <QDir>
#include <QFile>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace testfiles {

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Writes `bytes`, then gives the file `mode` (0444 makes it read-only, as `chmod a-w` does).
inline void writeFile(const QString &path, const QByteArray &bytes, mode_t mode = 0644)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
    f.close();
    QCOMPARE(chmod(QFile::encodeName(path).constData(), mode), 0);
}

// Writes a file named by its raw bytes, which need not be UTF-8.
inline void writeNative(const QByteArray &path, const QByteArray &bytes)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    ::close(fd);
}

// Whether the entry `name` of `folder` exists, both given as the system's bytes, so a name that
// is not UTF-8 is asked for as it is.
inline bool existsNative(const QByteArray &folder, const QByteArray &name)
{
    return ::access(QByteArray(folder + '/' + name).constData(), F_OK) == 0;
}

inline void makeReadOnly(const QString &path)
{
    QCOMPARE(chmod(QFile::encodeName(path).constData(), 0444), 0);
}

// Every entry of a folder, hidden ones included.
inline QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

// Makes every write past `bytes` fail, as a full disk would, for as long as it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

} // namespace testfiles
