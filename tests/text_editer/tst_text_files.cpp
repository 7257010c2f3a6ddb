// The editor's file loader, saver and word search, on real files and without a window.

#include "text_editer/file_loader.h"
#include "text_editer/file_saver.h"
#include "text_editer/text_search.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace texteditor;

namespace {
QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// Bytes that differ from record to record, so a lost or repeated record shows.
QByteArray numbered(int size)
{
    QByteArray bytes;
    for (int i = 0; bytes.size() < size; ++i)
        bytes += QByteArray::number(i) + ',';
    bytes.truncate(size);
    return bytes;
}
} // namespace

class TextFilesTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void loadsRecords_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("exactly one record") << numbered(10000) << QString(numbered(10000));
        QTest::newRow("two records and a half") << numbered(25000) << QString(numbered(25000));
        QTest::newRow("exactly two records") << numbered(20000) << QString(numbered(20000));
        QTest::newRow("blanks trimmed, final line break kept")
            << QByteArray("   first line \r\nlast  \r\n")
            << QStringLiteral("first line \r\nlast  \r\n");
        QTest::newRow("only blanks go") << QByteArray("\t a b \t") << QStringLiteral("\t a b \t");
        QTest::newRow("blanks only") << QByteArray("     ") << QString();
        QTest::newRow("bare LF kept") << QByteArray("a\nb\n") << QStringLiteral("a\nb\n");
        QTest::newRow("character across byte 10000")
            << QByteArray(9999, 'a') + "\xC3\xA7z" << QString(9999, u'a') + QStringLiteral("çz");
        QTest::newRow("byte-order mark kept")
            << QByteArray("\xEF\xBB\xBFhi") << QStringLiteral("\uFEFFhi");
        QTest::newRow("cut character at the end")
            << QByteArray("ab\xC3") << QStringLiteral("ab\uFFFD");
    }
    void loadsRecords()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        writeFile(path("in.txt"), bytes);
        QCOMPARE(loadTextFile(path("in.txt")), text);
        QCOMPARE(readAll(path("in.txt")), bytes);
    }

    void recordCountRule()
    {
        QCOMPARE(recordCount(0), 1);
        QCOMPARE(recordCount(9999), 1);
        QCOMPARE(recordCount(10000), 2);
        QCOMPARE(recordCount(25000), 3);
    }

    void missingFileIsCreatedEmpty()
    {
        const QString name = path("new.txt");
        QCOMPARE(loadTextFile(name), QString());
        QVERIFY(QFileInfo(name).isFile());
        QCOMPARE(QFileInfo(name).size(), 0);
        // Nothing to create it in: still an empty result and no error.
        QCOMPARE(loadTextFile(path("no/such/folder.txt")), QString());
        QVERIFY(!QFileInfo::exists(path("no")));
    }

    void readOnlyFileLoads()
    {
        const QString name = path("ro.txt");
        writeFile(name, "kept");
        QVERIFY(chmod(QFile::encodeName(name).constData(), 0444) == 0);
        QCOMPARE(loadTextFile(name), QStringLiteral("kept"));
    }

    void unreadableGivesEmpty()
    {
        // A folder opens but cannot be read, even by root.
        QCOMPARE(loadTextFile(m_dir.path()), QString());
        if (geteuid() != 0) {
            writeFile(path("secret.txt"), "x");
            QVERIFY(chmod(QFile::encodeName(path("secret.txt")).constData(), 0) == 0);
            QCOMPARE(loadTextFile(path("secret.txt")), QString());
        }
    }

    void fifoDoesNotHang()
    {
        const QString name = path("pipe");
        QVERIFY(mkfifo(QFile::encodeName(name).constData(), 0600) == 0);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(loadTextFile(name), QString());
        QVERIFY(timer.elapsed() < 5000);
    }

    void savesTextAndLineEnd_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("abc") << QStringLiteral("abc") << QByteArray("abc\r\n");
        QTest::newRow("empty") << QString() << QByteArray("\r\n");
        QTest::newRow("non-ASCII") << QStringLiteral("çğ") << QByteArray("\xC3\xA7\xC4\x9F\r\n");
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QByteArray("\xEF\xBF\xBD\r\n");
        // A surrogate pair on the boundary of the first chunk of 1 << 20 characters.
        const QString big = QString((1 << 20) - 1, u'x') + QStringLiteral("\U0001F600") + u'y';
        QTest::newRow("pair across chunks") << big << big.toUtf8() + "\r\n";
    }
    void savesTextAndLineEnd()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        const QString name = path("out.txt");
        writeFile(name, "old content that is longer");
        QVERIFY(saveTextFile(name, text));
        QCOMPARE(readAll(name), bytes);
    }

    void saveRefusesUnwritable()
    {
        writeFile(path("locked.txt"), "old");
        QVERIFY(chmod(QFile::encodeName(path("locked.txt")).constData(), 0444) == 0);
        QDir(m_dir.path()).mkdir(QStringLiteral("folder"));
        for (const QString &target :
             {path("locked.txt"), path("folder"), path("none/x.txt"), QString()})
            QVERIFY2(!saveTextFile(target, u"new"), qPrintable(target));
        QCOMPARE(readAll(path("locked.txt")), QByteArray("old"));
        QVERIFY(QFileInfo(path("folder")).isDir());
    }

    void saveKeepsLinkAndPermissions()
    {
        const QString target = path("target.txt");
        writeFile(target, "old");
        QVERIFY(chmod(QFile::encodeName(target).constData(), 0640) == 0);
        QVERIFY(QFile::link(target, path("link.txt")));
        QVERIFY(saveTextFile(path("link.txt"), u"new"));
        QVERIFY(QFileInfo(path("link.txt")).isSymLink());
        QCOMPARE(readAll(target), QByteArray("new\r\n"));
        QCOMPARE(QFileInfo(target).permissions() & 0x0fff,
                 QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup);
    }

    void failedWriteKeepsOldFile()
    {
        // A file size limit makes the write fail half way, as a full disk would.
        QTemporaryDir dir;
        const QString name = dir.filePath("keep.txt");
        writeFile(name, "the old file");
        const QString big(200000, u'n');
        auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 50000;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        const bool saved = saveTextFile(name, big);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!saved);
        QCOMPARE(readAll(name), QByteArray("the old file"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("keep.txt")});
    }

    void countsWords_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("count");
        QTest::newRow("case differs") << "ali"
                                      << "Ali"
                                      << "yok"
                                      << "0";
        QTest::newRow("no overlap, even") << "aaaa"
                                          << "aa"
                                          << "evet"
                                          << "2";
        QTest::newRow("no overlap, odd") << "aaa"
                                         << "aa"
                                         << "evet"
                                         << "1";
        QTest::newRow("longer than text") << "ab"
                                          << "abc"
                                          << "yok"
                                          << "0";
        QTest::newRow("empty text") << ""
                                    << "a"
                                    << "yok"
                                    << "0";
        QTest::newRow("blanks are a word") << "a  b  c"
                                           << "  "
                                           << "evet"
                                           << "2";
        QTest::newRow("line break in word") << "ab\r\ncd\r\nb c"
                                            << "b\r\nc"
                                            << "evet"
                                            << "1";
    }
    void countsWords()
    {
        QFETCH(QString, text);
        QFETCH(QString, word);
        const SearchAnswer answer = searchWord(text, word);
        QTEST(answer.found, "found");
        QTEST(answer.count, "count");
    }
};

QTEST_GUILESS_MAIN(TextFilesTest)
#include "tst_text_files.moc"
