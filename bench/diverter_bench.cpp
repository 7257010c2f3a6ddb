// SPDX-License-Identifier: GPL-3.0-or-later
// The Diverter on a folder of 100,000 files: the listing transfer, a keystroke in the filter box,
// and the batch rename, create and delete, each timed against a standard tool doing the same job.

#include "bench/bench.h"

#include "diverter/batch_history.h"
#include "diverter/batch_preview.h"
#include "diverter/diverter_window.h"
#include "diverter/file_batch.h"
#include "diverter/listing.h"
#include "tests/support/stand_ins.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

constexpr int kListed = 100000;

bool makeFiles(const QString &folder, const char *stem, int count)
{
    QByteArray content(200, 'x');
    for (int i = 0; i < count; ++i) {
        const QByteArray path = QFile::encodeName(folder) + '/' + stem + QByteArray::number(i) +
                                (i % 3 == 0 ? ".txt" : ".dat");
        const int fd = open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        const bool ok = write(fd, content.constData(), size_t(i % 200)) == i % 200;
        close(fd);
        if (!ok)
            return false;
    }
    return true;
}

constexpr int kUndone = 50000;

// The undo of a batch rename against the rename itself, each timed on the same 50,000 files, and
// the memory a 100,000-file batch keeps in the history.
void undoSection(const QString &tmp, const QString &listed)
{
    const QString folder = tmp + QStringLiteral("/undo");
    bench::require(QDir().mkpath(folder) && makeFiles(folder, "IMG_", kUndone), "undo folder");
    const diverter::folders::FolderIdentity id = diverter::folders::identityOf(folder);
    const QStringList names = diverter::folders::fileNames(folder, QStringLiteral("*"));
    diverter::BatchHistory history;
    double rename = 1e9, undo = 1e9;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer timer;
        timer.start();
        history.add(diverter::runBatch(
            diverter::planBatch(diverter::Batch::Rename, names, QStringLiteral("IMG_"),
                                QStringLiteral("Tatil_2026_")),
            folder, id));
        rename = std::min(rename, double(timer.nsecsElapsed()) / 1e9);
        timer.restart();
        const diverter::HistoryOutcome outcome = history.undo();
        undo = std::min(undo, double(timer.nsecsElapsed()) / 1e9);
        bench::require(outcome.done == kUndone, "undo of the batch rename");
    }
    bench::report("undo of a batch rename, 50,000 files", undo, "the rename itself", rename);
    bench::goal("undo against the rename", undo, rename, 1.2);

    const QStringList all = diverter::folders::fileNames(listed, QStringLiteral("*"));
    diverter::BatchHistory kept;
    const size_t before = mallinfo2().uordblks;
    kept.add(diverter::runBatch(diverter::planBatch(diverter::Batch::Rename, all,
                                                    QStringLiteral("file"),
                                                    QStringLiteral("Tatil_2026_")),
                                listed, diverter::folders::identityOf(listed)));
    const double mib = double(mallinfo2().uordblks - before) / (1 << 20);
    std::printf("%-44s %8.1f MiB  (goal: at most 40 MB) %s\n",
                "history of a 100,000-file batch rename", mib,
                mib * (1 << 20) <= 40e6 ? "met" : "NOT MET");
    bench::require(kept.undo().done == all.size(), "undo of the 100,000-file rename");
}

// The files of `folder` whose names start with `stem`.
int countFiles(const QString &folder, const char *stem)
{
    return int(QDir(folder).entryList({QLatin1String(stem) + u'*'}, QDir::Files).size());
}

// One way of doing a job: what it needs before each run, the run, and the check that it did the
// job; only the run is timed.
struct Contender {
    std::function<void()> setUp;
    std::function<void()> work;
    std::function<void()> check;
};

// The best of five runs of each way, taken by turns, so that a busy moment of the machine falls
// on all of them alike rather than on whichever ran then.
std::vector<double> byTurns(const std::vector<Contender> &contenders)
{
    std::vector<double> best(contenders.size(), 1e300);
    for (int run = 0; run < 5; ++run) {
        for (size_t i = 0; i < contenders.size(); ++i) {
            const Contender &c = contenders[i];
            best[i] = std::min(best[i], bench::timed(c.setUp, c.work, 1));
            c.check();
        }
    }
    return best;
}

// Batch rename, create and delete of `count` files through the window, each against standard
// tools on the same files in the same run. On tmpfs, where no disk hides the system calls: that
// is where a batch loop meets its floor.
void batchSection(diverter::DiverterWindow &w, const QString &folder, int count)
{
    bench::require(QDir().mkpath(folder) && makeFiles(folder, "file", count), "batch folder");
    const QByteArray each =
        QByteArray::number(count / 1000) + ",000 files"; // the counts are whole thousands
    const QString at = QStringLiteral("cd %1 && ").arg(bench::quoted(folder));
    w.folderPathBox->setText(folder);
    w.goToTypedFolder();
    w.filterBox->setText(QStringLiteral("*"));
    const auto listed = [&](const char *stem) {
        w.refreshFiles();
        bench::require(w.fileList->count() == count && countFiles(folder, stem) == count,
                       "listing the batch folder");
    };

    // Each run renames the files from the stem they carry to the other one.
    bool named = true; // the files are named "file..." (else "item...")
    const auto from = [&] { return named ? "file" : "item"; };
    const auto to = [&] { return named ? "item" : "file"; };
    const auto renamed = [&] {
        named = !named;
        bench::require(countFiles(folder, from()) == count, "the rename");
    };
    const auto renaming = [&](const QString &command) {
        return Contender{[] {},
                         [&, command] {
                             bench::runShell(at + command.arg(QLatin1String(from()),
                                                              QLatin1String(to())));
                         },
                         renamed};
    };
    const std::vector<double> rename = byTurns(
        {{[&] {
              w.oldTextBox->setText(QLatin1String(from()));
              w.newTextBox->setText(QLatin1String(to()));
              listed(from());
          },
          [&] { w.renameAll(); }, renamed},
         renaming(QStringLiteral("mmv '%1*' '%2#1'")),
         renaming(QStringLiteral("file-rename 's/%1/%2/g' %1*"))});
    bench::report(QByteArray("batch rename, " + each).constData(), rename[0], "mmv", rename[1]);
    bench::report(QByteArray("batch rename, " + each).constData(), rename[0],
                  "file-rename (perl rename)", rename[2]);
    bench::goal("batch rename against mmv", rename[0], rename[1], 1.0);
    if (!named)
        bench::runShell(at + QStringLiteral("mmv 'item*' 'file#1'"));

    // Each copies the files named "file...": the window and mmv -c beside them as "copy...",
    // cp -r into a folder of its own, the least that any copy of them takes.
    const QString copies = folder + QStringLiteral(".copies");
    const auto dropCopies = [&] {
        bench::runShell(QStringLiteral("rm -rf %1; %2rm -f copy*").arg(bench::quoted(copies), at));
    };
    w.oldTextBox->setText(QStringLiteral("file"));
    w.newTextBox->setText(QStringLiteral("copy"));
    const std::vector<double> create = byTurns(
        {{[&] {
              dropCopies();
              listed("file");
          },
          [&] { w.createAll(); },
          [&] { bench::require(countFiles(folder, "copy") == count, "the batch create"); }},
         {dropCopies,
          [&] {
              bench::runShell(
                  QStringLiteral("cp -r %1 %2").arg(bench::quoted(folder), bench::quoted(copies)));
          },
          [&] { bench::require(countFiles(copies, "file") == count, "cp -r"); }},
         {dropCopies, [&] { bench::runShell(at + QStringLiteral("mmv -c 'file*' 'copy#1'")); },
          [&] { bench::require(countFiles(folder, "copy") == count, "mmv -c"); }}});
    dropCopies();
    bench::report(QByteArray("batch create, " + each).constData(), create[0], "cp -r", create[1]);
    bench::report(QByteArray("batch create, " + each).constData(), create[0], "mmv -c",
                  create[2]);
    bench::goal("batch create against cp -r", create[0], create[1], 1.2);

    // The window asks twice before it deletes; both are answered yes.
    tk::testing::ScriptedBoxes boxes;
    const auto remade = [&] {
        bench::require(makeFiles(folder, "file", count), "remaking the batch folder");
    };
    const auto gone = [&] { bench::require(countFiles(folder, "file") == 0, "the delete"); };
    const std::vector<double> remove = byTurns(
        {{[&] {
              remade();
              listed("file");
              boxes.answer(tk::Answer::Yes);
              boxes.answer(tk::Answer::Yes);
          },
          [&] { w.deleteAll(); }, gone},
         {remade, [&] { bench::runShell(at + QStringLiteral("rm -f -- file*")); }, gone}});
    bench::report(QByteArray("bulk delete, " + each).constData(), remove[0], "rm", remove[1]);
    bench::goal("bulk delete against rm", remove[0], remove[1], 1.0);
}

} // namespace

int runDiverterBench()
{
    QTemporaryDir tmp;
    const QString big = tmp.path() + QStringLiteral("/big");
    if (!tmp.isValid() || !QDir().mkpath(big) || !makeFiles(big, "file", kListed)) {
        std::fprintf(stderr, "diverter bench: cannot make the test folders\n");
        return 1;
    }
    std::printf("Diverter: %d files listed; batches of 10,000 and 50,000 files on tmpfs\n",
                kListed);

    diverter::DiverterWindow w;
    w.show();
    QApplication::processEvents();
    // Under a desktop session with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 the screen-reader bridge
    // listens (it connects within a moment) and every change to the listing box goes out to it.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 500)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    std::printf("screen-reader bridge active: %s\n", QAccessible::isActive() ? "yes" : "no");
    const QString find =
        QStringLiteral("find %1 -maxdepth 1 -type f -printf '%%f %%s\\n' >/dev/null")
            .arg(bench::quoted(big));
    const double findTime = bench::commandSeconds(find);

    // Going to the folder reads it once and shows every entry.
    const double enter = bench::seconds([&] {
        w.folderPathBox->setText(big);
        w.goToTypedFolder();
        QApplication::processEvents();
    });
    bench::report("go to the folder (Enter in folderPathBox)", enter, "find -printf '%f %s\\n'",
                  findTime);
    if (w.fileList->count() != kListed) {
        std::fprintf(stderr, "diverter bench: %d files listed\n", w.fileList->count());
        return 1;
    }

    // "Önizle…" over every listed file: planned, asked of the disk and shown.
    w.oldTextBox->setText(QStringLiteral("file"));
    w.newTextBox->setText(QStringLiteral("Tatil_2026_"));
    const double preview = bench::seconds([&] {
        w.previewBatch(diverter::Batch::Rename);
        QApplication::processEvents();
    });
    std::printf("%-44s ours %8.3f s   (goal: under 1 s) %s\n", "preview of a rename, 100,000 files",
                preview, preview < 1.0 ? "met" : "NOT MET");
    if (w.previewDialog)
        w.previewDialog->close();
    w.oldTextBox->clear();
    w.newTextBox->clear();

    w.nameSeparatorBox->setText(QStringLiteral("\r\n"));
    w.sizesCheck->setChecked(false);
    // Each transfer starts from an empty box, so that every run changes the whole text (and a
    // listening screen reader is told of all of it).
    const auto emptyListing = [&] {
        w.listingBox->setText({});
        QApplication::processEvents();
    };
    const auto transfer = [&] {
        w.transferListing();
        QApplication::processEvents();
    };
    const double plain = bench::timed(emptyListing, transfer);
    bench::report("listing transfer, names only", plain, "find -printf '%f %s\\n'", findTime);
    w.sizesCheck->setChecked(true);
    const double sized = bench::timed(emptyListing, transfer);
    bench::report("listing transfer with sizes", sized, "find -printf '%f %s\\n'", findTime);
    // The same run without the box: the text build alone, the rest is the text box taking it.
    const double textOnly = bench::seconds([&] {
        diverter::listingPieces(big, w.fileList->items(), QStringLiteral("\r\n"), true,
                                QStringLiteral(" "));
    });
    bench::report("  of which the text, sizes read", textOnly, "find -printf '%f %s\\n'", findTime);
    bench::goal("listing with sizes against find -printf", sized, findTime, 1.5);
    {
        // Qt's own editor taking the same listing, names only, one a line.
        const QString listing =
            diverter::listingPieces(big, w.fileList->items(), QStringLiteral("\r\n"), false, {});
        QPlainTextEdit reference;
        reference.resize(w.listingBox->size());
        reference.show();
        bench::reference("setPlainText of the names-only listing",
                         bench::timed(
                             [&] {
                                 reference.setPlainText({});
                                 QApplication::processEvents();
                             },
                             [&] {
                                 reference.setPlainText(listing);
                                 QApplication::processEvents();
                             }));
    }
    // The default separator is empty: every name on one line of over a million characters.
    w.sizesCheck->setChecked(false);
    w.nameSeparatorBox->setText({});
    const double oneLine = bench::timed(emptyListing, transfer);
    bench::report("listing transfer, empty separator", oneLine, "the same, line-break separator",
                  plain);
    std::printf("  one line of %lld characters\n", qint64(w.listingBox->text().size()));
    bench::goal("empty separator against line breaks", oneLine, plain, 2.0);
    w.listingBox->setText({});

    // One keystroke: the list re-reads the folder with the new pattern and is repainted.
    for (const auto &[before, typed] : {std::pair{"*.tx", "t"}, std::pair{"*.", "*"}}) {
        const double key = bench::timed([&] { w.filterBox->setText(QLatin1String(before)); },
                                        [&] {
                                            w.filterBox->insert(QLatin1String(typed));
                                            QApplication::processEvents();
                                        });
        const QByteArray what = "one keystroke in filterBox, " +
                                QByteArray::number(w.fileList->count()) + " entries shown";
        std::printf("%-44s ours %8.3f s   (goal: under 0.1 s)\n", what.constData(), key);
    }
    w.filterBox->setText(QStringLiteral("*.*"));

    QTemporaryDir shm(QStringLiteral("/dev/shm/tarnwick-bench-XXXXXX"));
    bench::require(shm.isValid(), "a folder on tmpfs");
    for (const int count : {10000, 50000})
        batchSection(w, shm.filePath(QStringLiteral("batch-%1").arg(count)), count);
    undoSection(tmp.path(), big);
    std::printf("peak memory %.0f MiB\n", bench::peakMemoryMiB());
    return 0;
}
