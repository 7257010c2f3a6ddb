// The shared file operations, on real files: nothing is ever replaced by a rename, no copy or save
// damages its source or leaves a half-written target, and read-only files stay.

#include "tests/test_files.h"
#include "toolkit/fileops.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace testfiles;

class FileOps : public QObject {
    Q_OBJECT
private slots:
    void init();
    void copyOutcome_data();
    void copyOutcome();
    void copiesFilesThatReportNoSize();
    void failedCopyLeavesTargetWhole();
    void writeKeepsTargetSafe();
    void writeThroughLinksKeepingMode();
    void renameNeverReplaces();
    void renameMovesFoldersAndOntoItself();
    void renameAcrossFileSystems();
    void removeOnlyWhatMayGo();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString path(const QString &name) const { return m_dir->filePath(name); }
};

void FileOps::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    writeFile(path("a.txt"), "source bytes");
}

void FileOps::copyOutcome_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("copied");

    QTest::newRow("new file") << "b.txt"
                              << "" << true;
    QTest::newRow("over an existing file") << "b.txt"
                                           << "existing" << true;
    QTest::newRow("source under another spelling") << "sub/../a.txt"
                                                   << "subfolder" << false;
    QTest::newRow("source through a link") << "link.txt"
                                           << "symlink" << false;
    QTest::newRow("source through a hard link") << "hard.txt"
                                                << "hardlink" << false;
    QTest::newRow("target is a folder") << "sub"
                                        << "subfolder" << false;
    QTest::newRow("read-only target") << "b.txt"
                                      << "readonly" << false;
    QTest::newRow("target in a missing folder") << "none/b.txt"
                                                << "" << false;
}

void FileOps::copyOutcome()
{
    QFETCH(QString, target);
    QFETCH(QString, setup);
    QFETCH(bool, copied);
    if (setup == "existing" || setup == "readonly")
        writeFile(path("b.txt"), "old target, longer than the source");
    if (setup == "readonly")
        makeReadOnly(path("b.txt"));
    if (setup == "subfolder")
        QVERIFY(QDir(m_dir->path()).mkdir("sub"));
    if (setup == "symlink")
        QVERIFY(QFile::link(path("a.txt"), path("link.txt")));
    if (setup == "hardlink")
        QCOMPARE(::link(QFile::encodeName(path("a.txt")).constData(),
                        QFile::encodeName(path("hard.txt")).constData()),
                 0);
    const QByteArray before = readAll(path(target));

    QCOMPARE(fsops::copyFile(path("a.txt"), path(target)), copied);
    QCOMPARE(readAll(path("a.txt")), QByteArray("source bytes"));
    QCOMPARE(readAll(path(target)), copied ? QByteArray("source bytes") : before);
    for (const QString &name : entries(m_dir->path()))
        QVERIFY2(!name.contains(".tmp-"), qPrintable(name));
}

void FileOps::copiesFilesThatReportNoSize()
{
    // /proc files report a size of 0 and cannot be copied by the kernel's copy.
    QVERIFY(fsops::copyFile(QStringLiteral("/proc/self/status"), path("status.txt")));
    QVERIFY(readAll(path("status.txt")).startsWith("Name:"));
}

void FileOps::failedCopyLeavesTargetWhole()
{
    writeFile(path("big.bin"), QByteArray(256 * 1024, 'x'));
    writeFile(path("b.txt"), "old target");
    {
        FileSizeLimit full(64 * 1024);
        QVERIFY(!fsops::copyFile(path("big.bin"), path("b.txt")));
        QVERIFY(!fsops::copyFile(path("big.bin"), path("new.txt")));
    }
    QCOMPARE(readAll(path("b.txt")), QByteArray("old target"));
    QVERIFY(!QFile::exists(path("new.txt")));
    QCOMPARE(entries(m_dir->path()).size(), 3);
}

void FileOps::writeKeepsTargetSafe()
{
    writeFile(path("b.txt"), "old content");
    {
        FileSizeLimit full(1024);
        QVERIFY(!fsops::writeFile(path("b.txt"), QByteArray(4096, 'y'), true));
    }
    QCOMPARE(readAll(path("b.txt")), QByteArray("old content"));
    QCOMPARE(entries(m_dir->path()).size(), 2);

    makeReadOnly(path("b.txt"));
    QVERIFY(!fsops::writeFile(path("b.txt"), "new", false));
    QVERIFY(QDir(m_dir->path()).mkdir("sub"));
    QVERIFY(!fsops::writeFile(path("sub"), "new", false));
    QVERIFY(!fsops::writeFile(path("missing/b.txt"), "new", false));
}

void FileOps::writeThroughLinksKeepingMode()
{
    writeFile(path("b.txt"), "old");
    QCOMPARE(chmod(QFile::encodeName(path("b.txt")).constData(), 0640), 0);
    QVERIFY(QFile::link(path("b.txt"), path("link.txt")));
    QVERIFY(fsops::writeFile(path("link.txt"), "new", true));
    QVERIFY(QFileInfo(path("link.txt")).isSymLink());
    QCOMPARE(readAll(path("b.txt")), QByteArray("new"));
    struct stat st;
    QCOMPARE(stat(QFile::encodeName(path("b.txt")).constData(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t(0640));
}

void FileOps::renameNeverReplaces()
{
    writeFile(path("b.txt"), "other");
    QVERIFY(!fsops::renameNoReplace(path("a.txt"), path("b.txt")));
    QCOMPARE(readAll(path("a.txt")), QByteArray("source bytes"));
    QCOMPARE(readAll(path("b.txt")), QByteArray("other"));
    QVERIFY(!fsops::renameNoReplace(path("missing.txt"), path("c.txt")));
    QVERIFY(!QFile::exists(path("c.txt")));
    QVERIFY(fsops::renameNoReplace(path("a.txt"), path("c.txt")));
    QCOMPARE(readAll(path("c.txt")), QByteArray("source bytes"));
    QVERIFY(!QFile::exists(path("a.txt")));
}

void FileOps::renameMovesFoldersAndOntoItself()
{
    QVERIFY(QDir(m_dir->path()).mkpath("old/inner"));
    QVERIFY(fsops::renameNoReplace(path("old"), path("new")));
    QVERIFY(QFileInfo(path("new/inner")).isDir());
    QVERIFY(fsops::renameNoReplace(path("a.txt"), path("a.txt")));
    QVERIFY(fsops::renameNoReplace(path("a.txt"), path("new/../a.txt")));
    QCOMPARE(readAll(path("a.txt")), QByteArray("source bytes"));
    QVERIFY(fsops::renameNoReplace(path("a.txt"), path("new/inner/a.txt")));
    QCOMPARE(readAll(path("new/inner/a.txt")), QByteArray("source bytes"));
}

void FileOps::renameAcrossFileSystems()
{
    struct stat here, shm;
    if (stat("/dev/shm", &shm) != 0 ||
        stat(QFile::encodeName(m_dir->path()).constData(), &here) != 0 || shm.st_dev == here.st_dev)
        QSKIP("no second file system at /dev/shm");
    QTemporaryDir other(QStringLiteral("/dev/shm/fileops-XXXXXX"));
    QVERIFY(other.isValid());
    writeFile(other.filePath("taken.txt"), "taken");
    QVERIFY(!fsops::renameNoReplace(path("a.txt"), other.filePath("taken.txt")));
    QCOMPARE(readAll(other.filePath("taken.txt")), QByteArray("taken"));
    QVERIFY(QFile::exists(path("a.txt")));

    QVERIFY(fsops::renameNoReplace(path("a.txt"), other.filePath("a.txt")));
    QCOMPARE(readAll(other.filePath("a.txt")), QByteArray("source bytes"));
    QVERIFY(!QFile::exists(path("a.txt")));

    QVERIFY(QDir(m_dir->path()).mkdir("folder"));
    QVERIFY(!fsops::renameNoReplace(path("folder"), other.filePath("folder")));
    QVERIFY(QFileInfo(path("folder")).isDir());
}

void FileOps::removeOnlyWhatMayGo()
{
    writeFile(path("ro.txt"), "keep");
    makeReadOnly(path("ro.txt"));
    QVERIFY(fsops::isReadOnly(path("ro.txt")));
    QVERIFY(!fsops::isReadOnly(path("a.txt")));
    QVERIFY(QFile::link(path("ro.txt"), path("link.txt")));
    QVERIFY(QDir(m_dir->path()).mkdir("sub"));

    QVERIFY(!fsops::removeFile(path("ro.txt")));
    QVERIFY(!fsops::removeFile(path("sub")));
    QVERIFY(!fsops::removeFile(path("missing.txt")));
    QVERIFY(fsops::removeFile(path("link.txt")));
    QVERIFY(!QFileInfo(path("link.txt")).isSymLink());
    QCOMPARE(readAll(path("ro.txt")), QByteArray("keep"));
    QVERIFY(QFileInfo(path("sub")).isDir());
    QVERIFY(fsops::removeFile(path("a.txt")));
    QVERIFY(!QFile::exists(path("a.txt")));
}

QTEST_GUILESS_MAIN(FileOps)
#include "tst_fileops.moc"
