// SPDX-License-Identifier: GPL-3.0-or-later
// The Diverter on a folder of 100,000 files: the listing transfer, a keystroke in the filter box,
// and the batch rename and create, each timed against a standard tool doing the same job.

#include "bench/bench.h"

#include "diverter/batch_history.h"
#include "diverter/batch_preview.h"
#include "diverter/diverter_window.h"
#include "diverter/file_batch.h"
#include "diverter/listing.h"

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

namespace {

constexpr int kListed = 100000;
constexpr int kBatch = 10000;

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

// A Perl loop over the folder's files (read once), renaming or copying each by the substitution.
QString perlLoop(const QString &folder, const char *from, const char *to, bool copy)
{
    return QStringLiteral("perl -MFile::Copy -e 'opendir D, $ARGV[0]; "
                          "@n = grep { !/^\\./ } readdir D; "
                          "for (@n) { ($m = $_) =~ s/%1/%2/g; next if $m eq $_; "
                          "%3(\"$ARGV[0]/$_\", \"$ARGV[0]/$m\") }' %4")
        .arg(QLatin1String(from), QLatin1String(to),
             copy ? QStringLiteral("copy") : QStringLiteral("rename"), bench::quoted(folder));
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

} // namespace

int runDiverterBench()
{
    QTemporaryDir tmp;
    const QString big = tmp.path() + QStringLiteral("/big");
    const QString batch = tmp.path() + QStringLiteral("/batch");
    if (!tmp.isValid() || !QDir().mkpath(big) || !QDir().mkpath(batch) ||
        !makeFiles(big, "file", kListed) || !makeFiles(batch, "file", kBatch)) {
        std::fprintf(stderr, "diverter bench: cannot make the test folders\n");
        return 1;
    }
    std::printf("Diverter: %d files listed, %d files renamed and copied\n", kListed, kBatch);

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

    // Batch rename and create over 10,000 files, each run starting from the same folder.
    w.folderPathBox->setText(batch);
    w.goToTypedFolder();
    // Each run renames the files from the stem they carry to the other one.
    bool named = true; // the files are named "file..." (else "item...")
    const auto stems = [&] {
        return named ? std::pair{"file", "item"} : std::pair{"item", "file"};
    };
    const double rename = bench::timed(
        [&] {
            w.oldTextBox->setText(QLatin1String(stems().first));
            w.newTextBox->setText(QLatin1String(stems().second));
            w.refreshFiles();
        },
        [&] {
            w.renameAll();
            named = !named;
        });
    const double perlRename =
        bench::timed([] {},
                     [&] {
                         bench::runShell(perlLoop(batch, stems().first, stems().second, false));
                         named = !named;
                     });
    bench::report("batch rename, 10,000 files", rename, "perl loop, rename", perlRename);

    // Both loops start from the files named "file..." and copy them to "copy...".
    const QString dropCopies =
        QStringLiteral("find %1 -name 'copy*' -delete").arg(bench::quoted(batch));
    if (!named)
        bench::runShell(perlLoop(batch, "item", "file", false));
    w.refreshFiles();
    w.oldTextBox->setText(QStringLiteral("file"));
    w.newTextBox->setText(QStringLiteral("copy"));
    w.filterBox->setText(QStringLiteral("file*"));
    const double create =
        bench::timed([&] { bench::runShell(dropCopies); }, [&] { w.createAll(); });
    const double perlCreate =
        bench::timed([&] { bench::runShell(dropCopies); },
                     [&] { bench::runShell(perlLoop(batch, "file", "copy", true)); });
    bench::report("batch create, 10,000 files", create, "perl loop, File::Copy copy", perlCreate);
    undoSection(tmp.path(), big);
    std::printf("peak memory %.0f MiB\n", bench::peakMemoryMiB());
    return 0;
}
