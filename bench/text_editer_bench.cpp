// The Text Editer on a 50 MB text file: the loader, the count, the replacement and the save, each
// timed against a standard tool doing the same job, and whole clicks in the window against the
// text box taking the text alone.

#include "bench/bench.h"

#include "text_editer/file_loader.h"
#include "text_editer/file_saver.h"
#include "text_editer/text_editer_window.h"
#include "text_editer/text_search.h"
#include "toolkit/textmatch.h"
#include "toolkit/toolkit_testing.h"

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr qint64 kFileBytes = 50 * 1000 * 1000;

// A log-like text: lines of words, a third of them with Turkish letters (or none of them, for the
// ASCII file), "ERROR" on about one line in two.
bool makeLog(const QString &path, bool ascii = false)
{
    static const char *const turkish[] = {"kayit",  "dosya",     "okundu",    "yazildi", "ERROR",
                                          "sistem", "çalışıyor", "bağlantı",  "tamam",   "istek",
                                          "yanıt",  "süre",      "kullanıcı", "INFO",    "12345"};
    static const char *const plain[] = {"kayit",  "dosya",     "okundu",    "yazildi", "ERROR",
                                        "sistem", "calisiyor", "baglanti",  "tamam",   "istek",
                                        "yanit",  "sure",      "kullanici", "INFO",    "12345"};
    const char *const *words = ascii ? plain : turkish;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray chunk;
    quint32 seed = 12345;
    qint64 written = 0;
    while (written < kFileBytes) {
        chunk.clear();
        while (chunk.size() < (1 << 20)) {
            const int lineWords = 6 + int(seed % 7);
            for (int i = 0; i < lineWords; ++i) {
                seed = seed * 1664525u + 1013904223u;
                chunk += words[(seed >> 16) % std::size(plain)];
                chunk += i + 1 < lineWords ? ' ' : '\n';
            }
        }
        chunk.truncate(qsizetype(std::min<qint64>(chunk.size(), kFileBytes - written)));
        if (file.write(chunk) != chunk.size())
            return false;
        written += chunk.size();
    }
    return true;
}

void goal(const char *what, double ours, double theirs, double limit)
{
    std::printf("  %-42s ratio %5.2f  (goal: within %.1fx) %s\n", what, ours / theirs, limit,
                ours <= theirs * limit ? "met" : "NOT MET");
}

} // namespace

int runTextEditerBench()
{
    QTemporaryDir tmp;
    const QString log = tmp.filePath(QStringLiteral("big.log"));
    const QString out = tmp.filePath(QStringLiteral("saved.log"));
    if (!tmp.isValid() || !makeLog(log)) {
        std::fprintf(stderr, "text bench: cannot write the test file\n");
        return 1;
    }
    std::printf("Text Editer: a generated text file of %lld bytes\n", qint64(kFileBytes));
    const QString file = bench::quoted(log);

    // Warm the page cache so every reader starts from the same place.
    bench::commandSeconds(QStringLiteral("cat %1 >/dev/null").arg(file), 1);
    QString text;
    const double load = bench::seconds([&] { text = texteditor::loadTextFile(log); });
    const double cat = bench::commandSeconds(QStringLiteral("cat %1 >/dev/null").arg(file));
    bench::report("load (10000-byte records, decode, trim)", load, "cat FILE >/dev/null", cat);
    {
        const QString asciiLog = tmp.filePath(QStringLiteral("ascii.log"));
        const QString asciiFile = bench::quoted(asciiLog);
        if (makeLog(asciiLog, true)) {
            bench::commandSeconds(QStringLiteral("cat %1 >/dev/null").arg(asciiFile), 1);
            const double asciiLoad = bench::seconds([&] { texteditor::loadTextFile(asciiLog); });
            const double asciiCat =
                bench::commandSeconds(QStringLiteral("cat %1 >/dev/null").arg(asciiFile));
            bench::report("  the same, ASCII-only file", asciiLoad, "cat FILE >/dev/null",
                          asciiCat);
            // The floor for any loader that hands the box a QString: the bytes, already in
            // memory, only widened into a new string of 100 MB.
            QFile in(asciiLog);
            const QByteArray bytes = in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
            const double widen = bench::seconds([&] { QString::fromLatin1(bytes); });
            bench::report("  floor: widen bytes in memory to QString", widen, "cat FILE >/dev/null",
                          asciiCat);
            QFile::remove(asciiLog);
        }
    }

    texteditor::SearchAnswer answer;
    const double count = bench::seconds([&] { answer = texteditor::searchWord(text, u"ERROR"); });
    const QString grepCommand = QStringLiteral("grep -o ERROR %1 | wc -l").arg(file);
    const double grep = bench::commandSeconds(grepCommand);
    bench::report("count ERROR", count, "grep -o ERROR FILE | wc -l", grep);
    std::printf("  %s occurrences\n", qPrintable(answer.count));

    QString replaced;
    const double replace =
        bench::seconds([&] { replaced = match::replaceAll(text, u"ERROR", u"WARN"); });
    const double sed =
        bench::commandSeconds(QStringLiteral("sed 's/ERROR/WARN/g' %1 >/dev/null").arg(file));
    bench::report("replace ERROR by WARN (in memory)", replace, "sed 's/ERROR/WARN/g' FILE", sed);
    replaced.clear();

    const double save = bench::seconds([&] { texteditor::saveTextFile(out, text); });
    const double cp =
        bench::commandSeconds(QStringLiteral("cp %1 %2").arg(file, bench::quoted(out + u'2')));
    bench::report("save (encode, temporary file, rename)", save, "cp FILE COPY", cp);

    const double pipeline = bench::seconds([&] {
        texteditor::saveTextFile(
            out, match::replaceAll(texteditor::loadTextFile(log), u"ERROR", u"WARN"));
    });
    const double sedToFile = bench::commandSeconds(
        QStringLiteral("sed 's/ERROR/WARN/g' %1 >%2").arg(file, bench::quoted(out + u'3')));
    bench::report("load + replace + save", pipeline, "sed 's/ERROR/WARN/g' FILE >OUT", sedToFile);
    goal("load against cat", load, cat, 1.5);
    goal("count against grep -o | wc -l", count, grep, 1.5);
    goal("replace against sed", replace, sed, 1.5);

    // The window, offscreen: whole clicks against the box taking the same text alone.
    TextEditer w;
    w.show();
    QApplication::processEvents();
    tk::testing::ScriptedFileDialogs dialogs;
    // The reference: Qt's own editor, the size of the file text box, taking the same text.
    QPlainTextEdit reference;
    reference.setLineWrapMode(QPlainTextEdit::WidgetWidth);
    reference.resize(w.fileTextBox->size());
    reference.show();
    const auto emptyReference = [&] {
        reference.setPlainText(QString());
        QApplication::processEvents();
    };
    const auto emptyBox = [&] {
        w.fileTextBox->setTextFresh(QString());
        QApplication::processEvents();
    };
    const auto fullBox = [&] {
        w.fileTextBox->setText(text);
        QApplication::processEvents();
    };
    const double intoEmpty = bench::timed(emptyReference, [&] {
        reference.setPlainText(text);
        QApplication::processEvents();
    });
    const double open = bench::timed(
        [&] {
            emptyBox();
            dialogs.choose(log);
        },
        [&] {
            w.openFile();
            QApplication::processEvents();
        });
    bench::report("Open file click (openButton)", open, "setPlainText alone", intoEmpty);
    if (w.fileTextBox->text() != text) {
        std::fprintf(stderr, "text bench: the box does not hold the file's text\n");
        return 1;
    }

    const double overFull = bench::timed(
        [&] {
            reference.setPlainText(text);
            QApplication::processEvents();
        },
        [&] {
            reference.setPlainText(text);
            QApplication::processEvents();
        });
    w.oldTextBox->setText(QStringLiteral("ERROR"));
    w.newTextBox->setText(QStringLiteral("WARN"));
    const double replaceClick = bench::timed(fullBox, [&] {
        w.replaceOldText();
        QApplication::processEvents();
    });
    bench::report("Replace click (replaceButton)", replaceClick, "setPlainText over the old text",
                  overFull);
    goal("Open file click against setPlainText", open, intoEmpty, 1.3);
    goal("Replace click against setPlainText", replaceClick, overFull, 1.3);

    const double peak = bench::peakMemoryMiB();
    std::printf("peak memory %.0f MiB = %.1fx the file (goal: under 10x)\n", peak,
                peak * 1024 * 1024 / double(kFileBytes));
    return 0;
}
