// SPDX-License-Identifier: GPL-3.0-or-later
// The Diverter's plain logic on real files: which mounts are drives, what the folder and file
// lists read, the listing text's sizes, and the batch loops at a folder path that already ends
// in a separator (as the root does, where the join gives "//name").

#include "core/filenames.h"
#include "core/syscalls.h"
#include "diverter/batch_history.h"
#include "diverter/drives.h"
#include "diverter/file_batch.h"
#include "diverter/folder_reading.h"
#include "diverter/listing.h"
#include "tests/test_files.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

using namespace testfiles;

namespace {

// Makes every new thread fail to start, as it does for a process at its limit, for as long as
// it lives: no stack as large as the default it sets can be mapped.
class NoNewThreads {
public:
    NoNewThreads()
    {
        pthread_getattr_default_np(&m_old);
        pthread_attr_t huge;
        pthread_attr_init(&huge);
        pthread_attr_setstacksize(&huge, size_t(1) << 62);
        pthread_setattr_default_np(&huge);
        pthread_attr_destroy(&huge);
    }
    ~NoNewThreads()
    {
        pthread_setattr_default_np(&m_old);
        pthread_attr_destroy(&m_old);
    }
    NoNewThreads(const NoNewThreads &) = delete;
    NoNewThreads &operator=(const NoNewThreads &) = delete;

private:
    pthread_attr_t m_old;
};

} // namespace

class TestDiverterLogic : public QObject {
    Q_OBJECT
private slots:
    void mountTable()
    {
        const QByteArray table = "22 27 0:21 / /proc rw - proc proc rw\n"
                                 "23 27 0:22 / /sys rw - sysfs sysfs rw\n"
                                 "24 27 0:6 / /dev rw - devtmpfs devtmpfs rw\n"
                                 "27 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw\n"
                                 "41 31 0:38 / /sys/fs/cgroup/unified rw - cgroup2 cgroup2 rw\n"
                                 "50 27 0:40 / /run/user/1000 rw - tmpfs tmpfs rw\n"
                                 "51 27 0:41 / /dev/shm rw - tmpfs tmpfs rw\n"
                                 "52 27 0:42 / /tmp rw - tmpfs tmpfs rw\n"
                                 "53 27 8:17 / /media/data rw - ext4 /dev/sdb1 rw\n"
                                 "54 27 7:0 / /snap/core/123 ro - squashfs /dev/loop0 ro\n"
                                 "55 27 8:33 / /run/media/u/STICK rw - vfat /dev/sdc1 rw\n"
                                 "56 27 8:49 / /mnt/my\\040disk rw - ext4 /dev/sdd1 rw\n"
                                 "57 27 8:50 / /mnt/over rw - ext4 /dev/sde1 rw\n"
                                 "58 57 8:51 / /mnt/over rw - ext4 /dev/sdf1 rw\n"
                                 "garbage line\n";
        // A device the table names by a link (a mapper name, say) gets the label of the device
        // the link leads to, through a chain of relative links.
        QTemporaryDir dev;
        writeFile(dev.path() + "/dm-0", "");
        QVERIFY(QDir(dev.path()).mkdir("mapper"));
        QVERIFY(QFile::link("../dm-1", dev.path() + "/mapper/vault"));
        QVERIFY(QFile::link("dm-0", dev.path() + "/dm-1"));
        const QByteArray mapped = "59 27 253:0 / /mnt/vault rw - ext4 " +
                                  QFile::encodeName(dev.path()) + "/mapper/vault rw\n";
        const QMap<QString, QString> labels{{QStringLiteral("/dev/sdb1"), QStringLiteral("DATA")},
                                            {QStringLiteral("/dev/sdf1"), QStringLiteral("TOP")},
                                            {dev.path() + "/dm-0", QStringLiteral("KASA")}};
        QStringList shown;
        for (const diverter::drives::Mount &m :
             diverter::drives::parseMountInfo(table + mapped, labels))
            shown << diverter::drives::displayName(m);
        QCOMPARE(shown, QStringList({"/", "/media/data [DATA]", "/mnt/my disk", "/mnt/over [TOP]",
                                     "/mnt/vault [KASA]", "/run/media/u/STICK", "/tmp"}));
    }

    void driveOfPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("drive");
        QTest::addColumn<QString>("currentFolder");
        // Drives: 0 "/", 1 "/mnt/a", 2 "/mnt/a/b"; the working folder is /mnt/a/work.
        QTest::newRow("root") << "/" << 0 << "/";
        QTest::newRow("mount itself") << "/mnt/a" << 1 << "/mnt/a/work";
        QTest::newRow("longest prefix") << "/mnt/a/b/c" << 2 << "/mnt/a/b";
        QTest::newRow("prefix by letters only") << "/mnt/ab" << 0 << "/";
        QTest::newRow("no drive") << "relative" << -1 << "";
    }
    void driveOfPath()
    {
        QFETCH(QString, path);
        QFETCH(int, drive);
        QFETCH(QString, currentFolder);
        const QList<diverter::drives::Mount> list{{"/", {}}, {"/mnt/a", {}}, {"/mnt/a/b", {}}};
        QCOMPARE(diverter::drives::driveIndexOf(list, path), drive);
        QCOMPARE(diverter::drives::currentFolderOf(list, drive, "/mnt/a/work"), currentFolder);
    }

    void driveReadiness()
    {
        QTemporaryDir tmp;
        const diverter::drives::Mount here{tmp.path(), {}};
        const diverter::drives::Mount gone{tmp.path() + "/gone", {}};
        QVERIFY(diverter::drives::isReady(here, {here}));
        QVERIFY(!diverter::drives::isReady(here, {})); // unmounted: its folder alone does not count
        QVERIFY(!diverter::drives::isReady(gone, {gone}));
    }

    // A mount whose call never returns, as a dead network mount's: not ready after the waiting
    // time, asked no second time while the first call hangs, and ready again once it returns.
    void silentDrive()
    {
        using namespace std::chrono_literals;
        namespace drives = diverter::drives;
        struct Gate {
            std::mutex mutex;
            std::condition_variable opened;
            bool open = false;
            int asked = 0;
        };
        // Shared with the worker, which returns only after this test has stopped waiting.
        const auto gate = std::make_shared<Gate>();
        const drives::Probe hangs = [gate](const QByteArray &) {
            std::unique_lock lock(gate->mutex);
            ++gate->asked;
            gate->opened.wait(lock, [&] { return gate->open; });
            return true;
        };
        const auto openGate = [gate] {
            {
                const std::lock_guard lock(gate->mutex);
                gate->open = true;
            }
            gate->opened.notify_all();
        };
        const auto openedAtLast = qScopeGuard(openGate);
        const QList<drives::Mount> answering =
            drives::mountedDrives([](const QByteArray &) { return true; }, 10s);
        QCOMPARE(drives::mountedDrives([](const QByteArray &) { return false; }, 10s),
                 QList<drives::Mount>({{QStringLiteral("/"), {}}}));

        QTemporaryDir tmp;
        const drives::Mount dead{tmp.path(), {}};
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!drives::isReady(dead, {dead}, hangs, 200ms));
        QVERIFY(clock.elapsed() >= 200);
        clock.restart();
        QVERIFY(!drives::isReady(dead, {dead}, hangs, 10s));
        QVERIFY(clock.elapsed() < 5000);
        {
            const std::lock_guard lock(gate->mutex);
            QCOMPARE(gate->asked, 1);
        }
        // The drive list keeps silent mounts: the user sees them, and they are not ready.
        QCOMPARE(drives::mountedDrives(hangs, 200ms), answering);
        openGate();
        QTRY_VERIFY(drives::isReady(dead, {dead}, hangs, 10s));
    }

    void folders()
    {
        QTemporaryDir tmp;
        const QString t = tmp.path();
        for (const char *name : {"beta", "Alpha", "gamma", ".hidden"})
            QVERIFY(QDir(t).mkdir(name));
        writeFile(t + "/file", "x");
        QVERIFY(QFile::link(t + "/gamma", t + "/delta-link"));
        QCOMPARE(diverter::folders::subfolderNames(t),
                 QStringList({"Alpha", "beta", "delta-link", "gamma"}));
        // Names equal but for case come in one order, whatever order the folder gives them in.
        for (QStringList names :
             {QStringList{"b", "B", "a", "A"}, QStringList{"A", "a", "B", "b"}}) {
            diverter::folders::sortIgnoringCase(names);
            QCOMPARE(names, QStringList({"A", "a", "B", "b"}));
        }

        QCOMPARE(diverter::folders::chainOf("/"), QStringList({"/"}));
        QCOMPARE(diverter::folders::chainOf("/a/b"), QStringList({"/", "/a", "/a/b"}));

        QCOMPARE(diverter::folders::resolveFolder("beta/../Alpha/", t), t + "/Alpha");
        QCOMPARE(diverter::folders::resolveFolder(t + "//beta", "/"), t + "/beta");
        QCOMPARE(diverter::folders::resolveFolder("/", t), QStringLiteral("/"));
        QCOMPARE(diverter::folders::resolveFolder("missing", t), QString());
        QCOMPARE(diverter::folders::resolveFolder("file", t), QString());
        QCOMPARE(diverter::folders::resolveFolder("", t), QString());
    }

    void fileNames_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("names");
        // The folder's entries come without their kind, as some file systems give them, so
        // every one is looked up.
        QTest::addColumn<bool>("kindsUnknown");
        const QStringList all{"a.txt", "B.doc", "b.txt", "c", "link.txt", "Z.TXT"};
        // clang-format off
        QTest::newRow("all files") << "*.*" << all << false;
        QTest::newRow("list with blanks") << "*.txt; *.doc" << QStringList({"a.txt", "B.doc", "b.txt", "link.txt"}) << false;
        QTest::newRow("case counts") << "*.TXT" << QStringList({"Z.TXT"}) << false;
        QTest::newRow("dotless name") << "*." << QStringList({"c"}) << false;
        QTest::newRow("empty pattern") << "" << QStringList() << false;
        QTest::newRow("all files, kinds unknown") << "*.*" << all << true;
        // clang-format on
    }
    void fileNames()
    {
        QFETCH(QString, pattern);
        QFETCH(QStringList, names);
        QFETCH(bool, kindsUnknown);
        QTemporaryDir tmp;
        const QString t = tmp.path();
        for (const char *name : {"b.txt", "Z.TXT", "a.txt", "B.doc", "c", ".hidden.txt"})
            writeFile(t + "/" + name, "x");
        QVERIFY(QDir(t).mkdir("folder.txt"));
        QVERIFY(QFile::link(t + "/a.txt", t + "/link.txt"));
        QVERIFY(QFile::link(t + "/folder.txt", t + "/dirlink.txt"));
        QVERIFY(QFile::link(t + "/nothing", t + "/dangling.txt"));
        QCOMPARE(mkfifo(QFile::encodeName(t + "/pipe.txt").constData(), 0600), 0);
        const core::sys::Calls saved = core::sys::calls;
        const auto restored = qScopeGuard([&] { core::sys::calls = saved; });
        if (kindsUnknown) {
            core::sys::calls.readdir = [](DIR *dir) {
                dirent *entry = core::sys::real.readdir(dir);
                if (entry)
                    entry->d_type = DT_UNKNOWN;
                return entry;
            };
        }
        QCOMPARE(diverter::folders::fileNames(t, pattern), names);
        QCOMPARE(diverter::folders::fileNames(t + "/missing", pattern), QStringList());
    }

    void sizes()
    {
        QTemporaryDir tmp;
        const QString t = tmp.path();
        // A sparse file of 3 GiB: a 32-bit size would wrap to a negative number.
        QFile big(t + "/big");
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(3LL << 30));
        big.close();
        QCOMPARE(diverter::sizeText(t + "/big"), QStringLiteral("3221225472"));
        QCOMPARE(diverter::sizeText(t + "/missing"), QString());
    }

    // A big folder's sizes are read by two threads, or by one when no second thread can start:
    // each entry still gets its own size (a link its target's), and one that has gone since the
    // listing gets none.
    void sizesOfABigFolder_data()
    {
        QTest::addColumn<bool>("threadsFail");
        QTest::newRow("two threads") << false;
        QTest::newRow("no thread starts") << true;
    }
    void sizesOfABigFolder()
    {
        QFETCH(bool, threadsFail);
        QTemporaryDir tmp;
        const QString t = tmp.path();
        QStringList names;
        QString expected;
        for (int i = 0; i < 5000; ++i) {
            const QString name = QStringLiteral("f%1").arg(i, 4, 10, QLatin1Char('0'));
            names << name;
            if (i == 4321) {
                expected += u',' + name + u'=';
                continue;
            }
            if (i == 1234) {
                QVERIFY(QFile::link("f0012", t + u'/' + name));
                expected += u',' + name + u"=12";
                continue;
            }
            writeFile(t + u'/' + name, QByteArray(i % 13, 'x'));
            expected += u',' + name + u'=' + QString::number(i % 13);
        }
        std::optional<NoNewThreads> noThreads;
        if (threadsFail) {
            noThreads.emplace();
            QVERIFY_THROWS_EXCEPTION(std::system_error, std::thread([] {}).detach());
        }
        QCOMPARE(diverter::listingPieces(t, names, ",", true, "="), expected);
    }

    // A folder path that ends in a separator, as the root's does: every path holds "//".
    void trailingSeparatorJoin()
    {
        QTemporaryDir tmp;
        const QString folder = tmp.path() + "/";
        writeFile(folder + "a1", "12345");
        writeFile(folder + "b1", "xy");
        QCOMPARE(diverter::listingPieces(folder, {"a1", "b1"}, ",", true, "="),
                 QStringLiteral(",a1=5,b1=2"));
        const diverter::folders::FolderIdentity listed = diverter::folders::identityOf(folder);
        QCOMPARE(diverter::copyAll(folder, listed, {"a1"}, "1", "2"), 1);
        QCOMPARE(diverter::renameAll(folder, listed, {"b1"}, "1", "3"), 1);
        QCOMPARE(readAll(folder + "a2"), QByteArray("12345"));
        QCOMPARE(readAll(folder + "b3"), QByteArray("xy"));
        QCOMPARE(diverter::deleteAll(folder, listed, {"a1", "a2", "b3"}), 3);
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList());
    }

    // What the preview foresees is what the run then does, entry by entry, and every listed
    // file's content ends up under the name the user asked for whatever the order of the list.
    // Files: "name" holds its name, "name/" is a folder, "name|" a FIFO, "name!" read-only,
    // "name>target" a link. Fates, one letter each in list order: Acts, Replaces, Unchanged,
    // target Exists, target Kept, Invalid name, no Subfolder, source Gone, Waits in vain, Folder
    // changed.
    void batchPlan_data()
    {
        QTest::addColumn<bool>("create");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("oldText");
        QTest::addColumn<QString>("newText");
        QTest::addColumn<QString>("fates");
        const QStringList chain{"ax", "axx", "axxx", "bx", "bxx"}; // bxx is not listed
        const QStringList chainListed{"ax", "axx", "axxx", "bx", "cx"}; // cx has gone since
        QTest::newRow("rename chain") << false << chain << chainListed << "x" << "xx" << "AAAEG";
        QTest::newRow("create chain") << true << chain << chainListed << "x" << "xx" << "RAARG";
        QTest::newRow("rename, unchanged names take no step")
            << false << QStringList{"a", "b", "c"} << QStringList{"a", "b", "c"} << "c" << "z"
            << "UUA";
        // An emptied name fails, so a copy that lands on its file waits for it in vain.
        QTest::newRow("rename onto an emptied name")
            << false << QStringList{"ab", "aabb"} << QStringList{"ab", "aabb"} << "ab" << ""
            << "IE";
        QTest::newRow("create onto an emptied name")
            << true << QStringList{"ab", "aabb"} << QStringList{"ab", "aabb"} << "ab" << ""
            << "IW";
        QTest::newRow("rename into subfolders")
            << false << QStringList{"a1", "a2", "d/"} << QStringList{"a1", "a2"} << "a"
            << "d/" << "AA";
        QTest::newRow("rename into a missing subfolder")
            << false << QStringList{"a1", "x/"} << QStringList{"a1"} << "a" << "none/" << "S";
        QTest::newRow("rename of what is no longer a file, or never was an entry")
            << false << QStringList{"f1|", "d1/", "g1", "k1>t", "t", "n1>none"}
            << QStringList{"f1", "d1", "g1", "k1", "n1", "../g1"} << "1" << "2" << "GGAAGI";
        QTest::newRow("create onto what a copy cannot replace")
            << true << QStringList{"a1", "a2", "a3", "b1/", "b2!", "b3|"}
            << QStringList{"a1", "a2", "a3"} << "a" << "b" << "KKK";
        QTest::newRow("create through a link onto its file")
            << true << QStringList{"a1", "t", "b1>t"} << QStringList{"a1"} << "a" << "b" << "R";
        QTest::newRow("folder changed")
            << false << QStringList{"a1", "a2"} << QStringList{"a1", "a2", "x"} << "a" << "b"
            << "FFU";
    }
    void batchPlan()
    {
        QFETCH(bool, create);
        QFETCH(QStringList, files);
        QFETCH(QStringList, listed);
        QFETCH(QString, oldText);
        QFETCH(QString, newText);
        QFETCH(QString, fates);
        QTemporaryDir tmp;
        const QString t = tmp.path();
        for (const QString &file : files) {
            const QString name = file.section(u'>', 0, 0).remove(QRegularExpression("[/|!]$"));
            const QString path = t + u'/' + name;
            if (file.contains(u'>'))
                QVERIFY(QFile::link(file.section(u'>', 1), path));
            else if (file.endsWith(u'/'))
                QVERIFY(QDir(t).mkdir(name));
            else if (file.endsWith(u'|'))
                QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            else
                writeFile(path, name.toUtf8());
            if (file.endsWith(u'!'))
                QCOMPARE(chmod(QFile::encodeName(path).constData(), 0444), 0);
        }
        const diverter::folders::FolderIdentity id =
            QTest::currentDataTag() == QByteArray("folder changed")
                ? diverter::folders::FolderIdentity{}
                : diverter::folders::identityOf(t);
        const diverter::Batch kind = create ? diverter::Batch::Create : diverter::Batch::Rename;
        const diverter::BatchPlan plan = diverter::planBatch(kind, listed, oldText, newText);
        const std::vector<diverter::Fate> foreseen = diverter::foreseeBatch(plan, t, id);
        QString letters;
        for (const diverter::Fate fate : foreseen)
            letters += QStringLiteral("ARUEKCISGWF").at(int(fate));
        QCOMPARE(letters, fates);
        const QStringList before = entries(t);
        QList<QByteArray> was;
        for (qsizetype i = 0; i < listed.size(); ++i)
            was << (diverter::acts(foreseen[size_t(i)]) ? readAll(t + u'/' + listed[i]) : "");
        const diverter::BatchRecord record = diverter::runBatch(plan, t, id);
        qsizetype acting = 0;
        for (qsizetype i = 0; i < listed.size(); ++i) {
            if (!diverter::acts(foreseen[size_t(i)]))
                continue;
            ++acting;
            QCOMPARE(readAll(t + u'/' + plan.newNames[i]), was[i]);
            // Along a chain, the next file takes the name a renamed one left.
            QCOMPARE(QFileInfo::exists(t + u'/' + listed[i]),
                     create || plan.newNames.contains(listed[i]));
        }
        QCOMPARE(qsizetype(record.steps.size()), acting);
        if (acting == 0)
            QCOMPARE(entries(t), before);
    }

    // A cycle of new names never acts; no text replacement makes one, but a rule that did must
    // not move a file onto another.
    void batchOrderRefusesCycles()
    {
        using Steps = std::vector<diverter::BatchStep>;
        QCOMPARE(diverter::batchOrder({"a", "b"}, {"b", "a"}),
                 Steps({{1, std::nullopt, true}, {0, std::nullopt, true}}));
    }

    // An undo takes back only what is still as the batch left it, and a redo does again what the
    // undo took back. `between` runs after the batch: a file renamed by hand (">"), a new file
    // under a name ("+"), one written to ("~"), one replaced by another under its name ("="), the
    // folder moved ("moved").
    void batchUndo_data()
    {
        QTest::addColumn<bool>("create");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("oldText");
        QTest::addColumn<QString>("newText");
        QTest::addColumn<QStringList>("between");
        QTest::addColumn<int>("stopAfter"); // İptal after this many files of the first undo
        QTest::addColumn<QString>("counts"); // done, changed, name taken, replaced kept
        QTest::addColumn<QStringList>("after"); // the folder after the undo
        const QStringList four{"a1", "a2", "a3", "a4"};
        QTest::newRow("rename") << false << four << "a" << "b" << QStringList{} << 0 << "4000"
                                << four;
        QTest::newRow("rename, one renamed by hand, a new file under an old name")
            << false << four << "a" << "b" << QStringList{">b1 hand", "+a2"} << 0 << "2110"
            << QStringList{"a2", "a3", "a4", "b2", "hand"};
        QTest::newRow("rename, written to since") << false << four << "a" << "b"
                                                  << QStringList{"~b1"} << 0 << "4000" << four;
        QTest::newRow("rename, replaced since")
            << false << four << "a" << "b" << QStringList{"=b1"} << 0 << "3100"
            << QStringList{"a2", "a3", "a4", "b1"};
        QTest::newRow("rename along a chain")
            << false << QStringList{"a.txt", "aa.txt", "aaa.txt"} << "a" << "aa" << QStringList{}
            << 0 << "3000" << QStringList{"a.txt", "aa.txt", "aaa.txt"};
        QTest::newRow("rename, cancelled half way")
            << false << four << "a" << "b" << QStringList{} << 2 << "2000"
            << QStringList{"a3", "a4", "b1", "b2"};
        QTest::newRow("rename, folder moved")
            << false << four << "a" << "b" << QStringList{"moved"} << 0 << "0000"
            << QStringList{"b1", "b2", "b3", "b4"};
        QTest::newRow("create, one replacing a file")
            << true << QStringList{"a1", "a2", "b2"} << "a" << "b" << QStringList{} << 0 << "1001"
            << QStringList{"a1", "a2", "b2"};
        QTest::newRow("create, written to or replaced since")
            << true << QStringList{"a1", "a2", "a3"} << "a" << "b" << QStringList{"~b1", "=b2"}
            << 0 << "1200" << QStringList{"a1", "a2", "a3", "b1", "b2"};
    }
    void batchUndo()
    {
        QFETCH(bool, create);
        QFETCH(QStringList, files);
        QFETCH(QString, oldText);
        QFETCH(QString, newText);
        QFETCH(QStringList, between);
        QFETCH(int, stopAfter);
        QFETCH(QString, counts);
        QFETCH(QStringList, after);
        QTemporaryDir tmp;
        const QString t = tmp.path() + "/f";
        QVERIFY(QDir().mkdir(t));
        for (const QString &name : files)
            writeFile(t + u'/' + name, name.toUtf8());
        const diverter::Batch kind = create ? diverter::Batch::Create : diverter::Batch::Rename;
        diverter::BatchHistory history;
        history.add(diverter::runBatch(diverter::planBatch(kind, files, oldText, newText), t,
                                       diverter::folders::identityOf(t)));
        const QStringList done = entries(t);
        for (const QString &change : between) {
            const QString path = t + u'/' + change.mid(1);
            if (change == "moved")
                QVERIFY(QDir().rename(t, t + "-moved"));
            else if (change.startsWith(u'>'))
                QVERIFY(QFile::rename(t + u'/' + change.section(u' ', 0, 0).mid(1),
                                      t + u'/' + change.section(u' ', 1)));
            else if (change.startsWith(u'+'))
                writeFile(path, "new");
            else if (change.startsWith(u'~'))
                writeFile(path, "written since, and longer");
            else if (change.startsWith(u'=')) {
                writeFile(path + ".new", "another");
                QCOMPARE(::rename(QFile::encodeName(path + ".new").constData(),
                                  QFile::encodeName(path).constData()),
                         0);
            }
        }
        const QString folderNow = between.contains("moved") ? t + "-moved" : t;
        const QStringList changed = entries(folderNow);

        class StopAfter : public core::Progress {
        public:
            explicit StopAfter(qint64 n) : m_n(n) {}
            void setTotal(qint64) override {}
            bool advance(qint64 done) override { return m_n == 0 || done < m_n; }

        private:
            qint64 m_n;
        } stop(stopAfter);
        const diverter::HistoryOutcome undone = history.undo(&stop);
        QCOMPARE(QStringLiteral("%1%2%3%4")
                     .arg(undone.done)
                     .arg(undone.changed)
                     .arg(undone.nameTaken)
                     .arg(undone.replacedKept),
                 counts);
        QCOMPARE(undone.folderMissing, between.contains("moved"));
        QCOMPARE(undone.cancelled, stopAfter > 0);
        QCOMPARE(entries(folderNow), after);
        for (const QString &name : after) {
            if (between.isEmpty() && !create && files.contains(name))
                QCOMPARE(readAll(folderNow + u'/' + name), name.toUtf8());
        }
        if (stopAfter > 0) {
            // The rest can still be taken back, and all of it done again.
            QCOMPARE(history.undo().done, files.size() - stopAfter);
            QCOMPARE(entries(t), files);
            QCOMPARE(history.redo().done, files.size());
            QCOMPARE(entries(t), done);
            return;
        }
        // What was taken back is done again; what was left stays as it was.
        const diverter::HistoryOutcome redone = history.redo();
        QCOMPARE(redone.done, undone.done);
        QCOMPARE(entries(folderNow), undone.done == 0 ? after : changed);
        QVERIFY(!history.redoOffer());
    }

    // A name whose bytes are not UTF-8 beside the name a lossy decoding would give it: each
    // operation touches only the file it was given.
    void batchNamesKeepTheirBytes()
    {
        QTemporaryDir tmp;
        const QByteArray folder = QFile::encodeName(tmp.path());
        for (const QByteArray &name :
             {QByteArray("caf\xE9.txt"), QByteArray("caf\xEF\xBF\xBD.txt")}) {
            writeNative(folder + '/' + name, name);
            QCOMPARE(::mkdir(QByteArray(folder + "/d" + name).constData(), 0755), 0);
        }
        const QString t = tmp.path();
        const QStringList files = diverter::folders::fileNames(t, "*.*");
        QCOMPARE(files.size(), 2);
        QCOMPARE(diverter::folders::subfolderNames(t).size(), 2);
        const QString folderName = core::fs::fromNative(QByteArray(folder + "/dcaf\xE9.txt"));
        QCOMPARE(diverter::folders::resolveFolder(folderName, "/"), folderName);
        const QString latin = core::fs::fromNative("caf\xE9.txt");
        QVERIFY(files.contains(latin));
        const auto exists = [&](const QByteArray &name) { return testfiles::existsNative(folder, name); };
        const diverter::folders::FolderIdentity id = diverter::folders::identityOf(t);

        QCOMPARE(diverter::copyAll(t, id, {latin}, ".txt", ".bak"), 1);
        QVERIFY(exists("caf\xE9.bak"));
        QCOMPARE(diverter::renameAll(t, id, {latin}, "caf", "kahve"), 1);
        QVERIFY(exists("kahve\xE9.txt") && !exists("caf\xE9.txt"));
        QCOMPARE(diverter::deleteAll(t, id, {core::fs::fromNative("kahve\xE9.txt")}), 1);
        QVERIFY(!exists("kahve\xE9.txt"));
        QCOMPARE(readAll(t + "/caf\uFFFD.txt"), QByteArray("caf\xEF\xBF\xBD.txt"));
    }

    // What was listed may have changed before the click: the loops act on nothing else.
    void batchActsOnWhatWasListed()
    {
        QTemporaryDir tmp;
        const QString t = tmp.path();
        QVERIFY(QDir(t).mkpath("listed"));
        QVERIFY(QDir(t).mkpath("other"));
        writeFile(t + "/listed/a.txt", "a");
        writeFile(t + "/other/a.txt", "other a");
        writeFile(t + "/other/b.txt", "other b");
        const QStringList listed = diverter::folders::fileNames(t + "/listed", "*.*");
        const diverter::folders::FolderIdentity id = diverter::folders::identityOf(t + "/listed");

        // The listed folder swapped for a link to another folder.
        QVERIFY(QDir(t).rename("listed", "moved"));
        QVERIFY(QFile::link(t + "/other", t + "/listed"));
        QCOMPARE(diverter::deleteAll(t + "/listed", id, {"a.txt", "b.txt"}), 0);
        QCOMPARE(diverter::renameAll(t + "/listed", id, {"a.txt"}, "a", "z"), 0);
        QCOMPARE(entries(t + "/other"), QStringList({"a.txt", "b.txt"}));
        // A listed name is an entry of the folder, never a path out of it.
        QCOMPARE(diverter::deleteAll(t + "/moved", id, {"../other/a.txt"}), 0);
        QCOMPARE(entries(t + "/other"), QStringList({"a.txt", "b.txt"}));

        // Listed files replaced by a folder and a FIFO: passed over, at once.
        QVERIFY(QFile::remove(t + "/listed"));
        QVERIFY(QDir(t).rename("moved", "listed"));
        QVERIFY(QFile::remove(t + "/listed/a.txt"));
        QVERIFY(QDir(t).mkdir("listed/a.txt"));
        QCOMPARE(mkfifo(QFile::encodeName(t + "/listed/f.txt").constData(), 0600), 0);
        writeFile(t + "/listed/g.txt", "g");
        QCOMPARE(
            diverter::renameAll(t + "/listed", id, {"a.txt", "f.txt", "g.txt"}, ".txt", ".new"), 1);
        QCOMPARE(diverter::copyAll(t + "/listed", id, {"a.txt", "f.txt"}, ".txt", ".cp"), 0);
        QCOMPARE(diverter::deleteAll(t + "/listed", id, {"a.txt", "f.txt"}), 0);
        QCOMPARE(entries(t + "/listed"), QStringList({"a.txt", "f.txt", "g.new"}));

        // A new name, unlike a listed one, is a path from the folder: "../" leads to its parent.
        QCOMPARE(diverter::renameAll(t + "/listed", id, {"g.new"}, "g", "../g"), 1);
        QCOMPARE(readAll(t + "/g.new"), QByteArray("g"));
    }
};

QTEST_GUILESS_MAIN(TestDiverterLogic)
#include "tst_diverter_logic.moc"
