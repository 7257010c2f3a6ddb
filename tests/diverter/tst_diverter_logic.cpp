// SPDX-License-Identifier: GPL-3.0-or-later
// The Diverter's plain logic on real files: which mounts are drives, what the folder and file
// lists read, the listing text's sizes, and the batch loops at a folder path that already ends
// in a separator (as the root does, where the join gives "//name").

#include "core/filenames.h"
#include "core/syscalls.h"
#include "diverter/drives.h"
#include "diverter/file_batch.h"
#include "diverter/folder_reading.h"
#include "diverter/listing.h"
#include "tests/test_files.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
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

    // Every listed file's content ends up under the name the user asked for, whatever the
    // order of the list, and a failing entry stops neither the loop nor an independent entry.
    void batchChains_data()
    {
        QTest::addColumn<bool>("create");
        QTest::newRow("rename") << false;
        QTest::newRow("create") << true;
    }
    void batchChains()
    {
        QFETCH(bool, create);
        QTemporaryDir tmp;
        const QString t = tmp.path();
        for (const char *name : {"ax", "axx", "axxx", "bx"})
            writeFile(t + "/" + name, name);
        writeFile(t + "/bxx", "in the way"); // not listed: bx cannot take its name
        const QStringList listed{"ax", "axx", "axxx", "bx", "cx"}; // cx has gone since
        const diverter::folders::FolderIdentity id = diverter::folders::identityOf(t);
        const int done = create ? diverter::copyAll(t, id, listed, "x", "xx")
                                : diverter::renameAll(t, id, listed, "x", "xx");
        QCOMPARE(readAll(t + "/axx"), QByteArray("ax"));
        QCOMPARE(readAll(t + "/axxxx"), QByteArray("axx"));
        QCOMPARE(readAll(t + "/axxxxxx"), QByteArray("axxx"));
        if (create) {
            // Copies replace an unlisted file, as a copy does; the originals stay.
            QCOMPARE(done, 4);
            QCOMPARE(readAll(t + "/ax"), QByteArray("ax"));
            QCOMPARE(readAll(t + "/bxx"), QByteArray("bx"));
        } else {
            QCOMPARE(done, 3);
            QVERIFY(!QFile::exists(t + "/ax"));
            QCOMPARE(readAll(t + "/bx"), QByteArray("bx"));
            QCOMPARE(readAll(t + "/bxx"), QByteArray("in the way"));
        }
    }

    void batchOrderWaitsAndRefusesCycles()
    {
        using Steps = std::vector<diverter::BatchStep>;
        const auto order = diverter::batchOrder;
        // a -> b -> c, listed as a, b, c: c first, then b after c, then a after b.
        QCOMPARE(order({"a", "b", "c"}, {"b", "c", "d"}),
                 Steps({{2, std::nullopt}, {1, 2}, {0, 1}}));
        // Unchanged names take no step.
        QCOMPARE(order({"a", "b", "c"}, {"a", "b", "z"}), Steps({{2, std::nullopt}}));
        // An emptied name takes a step that fails, so a copy landing on its file waits for it.
        QCOMPARE(order({"ab", "aabb"}, {"", "ab"}), Steps({{0, std::nullopt}, {1, 0}}));
        // A cycle never acts.
        QCOMPARE(order({"a", "b"}, {"b", "a"}),
                 Steps({{1, std::nullopt, true}, {0, std::nullopt, true}}));
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
