// SPDX-License-Identifier: GPL-3.0-or-later
// The Text Editer on real files: the loader, saver and search alone, and the window driven
// through its handlers with every box and dialog answered by the toolkit's stand-ins.

#include "core/handles.h"
#include "core/syscalls.h"
#include "tests/support/stand_ins.h"
#include "tests/test_files.h"
#include "text_editer/file_loader.h"
#include "text_editer/file_saver.h"
#include "text_editer/text_editer_window.h"
#include "text_editer/text_search.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QImage>
#include <QMimeData>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

using tk::testing::ScriptedBoxes;
using tk::testing::ScriptedFileDialogs;

using namespace testfiles;

namespace {
// Bytes that differ from record to record, so a lost or repeated record shows.
QByteArray numbered(int size)
{
    QByteArray bytes;
    for (int i = 0; bytes.size() < size; ++i)
        bytes += QByteArray::number(i) + ',';
    return bytes.left(size);
}

// UTF-16 as Qt's own encoder writes it, in the byte order of `order`, with no mark added.
QByteArray utf16(QStringView text, core::TextEncoding order)
{
    QStringEncoder encoder(order == core::TextEncoding::Utf16Be ? QStringConverter::Utf16BE
                                                                : QStringConverter::Utf16LE);
    return encoder.encode(text);
}

// Types as a user would; "\n" presses Enter.
void type(QWidget *box, const QString &text)
{
    box->setFocus();
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClicks(box, lines[i]);
    }
}

// A fault the loader meets in its own system calls, injected through core::sys::calls.
enum class LoadFault {
    None,
    ReadFailsFirst,   // EIO from the first read
    ReadFailsSecond,  // EIO from the second read: the second record of a file read in whole records
    ReadFailsFifth,   // EIO from the fifth: the second record of the second pass over 3 records
    ReadsInterrupted, // every other read interrupted by a signal before it read anything
    ReadsShort,       // no read gives more than 4097 bytes
    SeekFails,        // EIO from every lseek
};

// Puts `fault` into the table for as long as it lives, and the calls back as they were after.
class InjectedLoadFault {
public:
    explicit InjectedLoadFault(LoadFault fault) : m_saved(core::sys::calls)
    {
        s_fault = fault;
        s_reads = 0;
        core::sys::calls.read = faultyRead;
        core::sys::calls.lseek = faultySeek;
    }
    ~InjectedLoadFault() { core::sys::calls = m_saved; }
    InjectedLoadFault(const InjectedLoadFault &) = delete;
    InjectedLoadFault &operator=(const InjectedLoadFault &) = delete;

private:
    static ssize_t faultyRead(int fd, void *buffer, size_t size)
    {
        const int n = ++s_reads;
        const auto fail = [](int code) {
            errno = code;
            return ssize_t(-1);
        };
        switch (s_fault) {
        case LoadFault::ReadFailsFirst:
            if (n == 1)
                return fail(EIO);
            break;
        case LoadFault::ReadFailsSecond:
            if (n == 2)
                return fail(EIO);
            break;
        case LoadFault::ReadFailsFifth:
            if (n == 5)
                return fail(EIO);
            break;
        case LoadFault::ReadsInterrupted:
            if (n % 2 == 1)
                return fail(EINTR);
            break;
        case LoadFault::ReadsShort: size = std::min<size_t>(size, 4097); break;
        case LoadFault::None:
        case LoadFault::SeekFails: break;
        }
        return core::sys::real.read(fd, buffer, size);
    }
    static off_t faultySeek(int fd, off_t offset, int whence)
    {
        if (s_fault == LoadFault::SeekFails) {
            errno = EIO;
            return -1;
        }
        return core::sys::real.lseek(fd, offset, whence);
    }

    static inline LoadFault s_fault = LoadFault::None;
    static inline int s_reads = 0;
    core::sys::Calls m_saved;
};
} // namespace

class TextEditerTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void loader_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        // clang-format off
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("one record exactly") << numbered(10000) << QString(numbered(10000));
        QTest::newRow("two and a half records") << numbered(25000) << QString(numbered(25000));
        QTest::newRow("blanks trimmed, line break kept") << QByteArray("  \tfirst \r\nlast  \r\n") << QStringLiteral("\tfirst \r\nlast  \r\n");
        QTest::newRow("blanks only") << QByteArray("     ") << QString();
        QTest::newRow("character across byte 10000") << QByteArray(9999, 'a') + "\xC3\xA7z" << QString(9999, u'a') + QStringLiteral("çz");
        QTest::newRow("byte-order mark kept") << QByteArray("\xEF\xBB\xBFhi") << QStringLiteral("\uFEFFhi");
        // clang-format on
    }
    void loader()
    {
        QFETCH(QByteArray, bytes);
        writeFile(path("in.txt"), bytes);
        QTEST(text_editer::loadTextFile(path("in.txt")), "text");
    }

    void loaderOddPaths()
    {
        // Nowhere to create a missing file: still an empty text.
        QCOMPARE(text_editer::loadTextFile(path("no/such.txt")), QString());
        QVERIFY(!QFileInfo::exists(path("no")));
        // A FIFO without a writer must not hang the window.
        QVERIFY(mkfifo(QFile::encodeName(path("pipe")).constData(), 0600) == 0);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(text_editer::loadTextFile(path("pipe")), QString());
        QVERIFY(timer.elapsed() < 5000);
    }

    void saver_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        // clang-format off
        QTest::newRow("abc") << QStringLiteral("abc") << QByteArray("abc\r\n");
        QTest::newRow("empty") << QString() << QByteArray("\r\n");
        // A text that already ends with a line break, of any kind, keeps it as its only line end.
        QTest::newRow("ends with LF") << QStringLiteral("x\ny\n") << QByteArray("x\ny\n");
        QTest::newRow("ends with CR") << QStringLiteral("x\r") << QByteArray("x\r");
        QTest::newRow("ends with CR LF") << QStringLiteral("x\r\n") << QByteArray("x\r\n");
        QTest::newRow("lone surrogate last") << QString(QChar(0xD800)) << QByteArray("\xEF\xBF\xBD\r\n");
        // A surrogate pair cut by the boundary of the first chunk of 1 << 20 characters.
        const QString big = QString((1 << 20) - 1, u'x') + QStringLiteral("\U0001F600");
        QTest::newRow("pair across chunks") << big << big.toUtf8() + "\r\n";
        // Written in pieces: however they fall on such a text, no piece ends within a pair.
        const QString pairs = QStringLiteral("ş\U0001F600").repeated(400000);
        QTest::newRow("pairs across pieces") << pairs << pairs.toUtf8() + "\r\n";
        // clang-format on
    }
    void saver()
    {
        QFETCH(QString, text);
        writeFile(path("out.txt"), "an old content that is longer");
        QVERIFY(text_editer::saveTextFile(path("out.txt"), text));
        QTEST(readAll(path("out.txt")), "bytes");
    }

    // Whatever the bytes, a load followed by a save that changed nothing writes them back, with
    // a CR LF added only where they did not end with a line break.
    void encodingsRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text"); // null: not compared
        QTest::addColumn<core::TextEncoding>("encoding");
        using enum core::TextEncoding;
        const QByteArray a9999(9999, 'a');
        // clang-format off
        QTest::newRow("utf-8, cut at 10000") << a9999 + "\xC5\x9F" << QString(a9999) + QStringLiteral("ş") << Utf8;
        QTest::newRow("windows-1254") << QByteArray("T\xFCrk\xE7" "e \xFE" "ark\xFD\r\n") << QStringLiteral("Türkçe şarkı\r\n") << Windows1254;
        QTest::newRow("windows-1254 beside byte 10000") << a9999 + "\xFE\xFD" << QString(a9999) + QStringLiteral("şı") << Windows1254;
        QTest::newRow("utf-8 cut off at 10000, then ascii") << a9999 + "\xC3(" << QString() << Windows1254;
        QTest::newRow("undefined in 1254") << QByteArray("abc\x81" "def") << QString() << Utf8;
        // Old DOS editors ended a file with 0x1A; DEL is a control character, not 1254 text.
        QTest::newRow("windows-1254 ending in 0x1A") << QByteArray("\xFE" "ark\xFD\x1A") << QStringLiteral("şarkı\x1A") << Windows1254;
        QTest::newRow("DEL is no windows-1254 text") << QByteArray("\xFE\x7F") << QString() << Utf8;
        // Not clean UTF-8: read as 1254, so the cut bytes are kept, not one U+FFFD.
        QTest::newRow("utf-8 cut at the very end") << QByteArray("\xC5\x9F\xE2\x82") << QStringLiteral("\u00C5\u0178\u00E2\u201A") << Windows1254;
        QTest::newRow("binary, invalid at 10000") << a9999 + QByteArray("\xF0\x9F\x00\x01\xFFz", 6) << QString() << Utf8;

        const QString turkish = QStringLiteral("\uFEFFçğıİöşü ÇĞIİÖŞÜ\r\nson");
        QTest::newRow("utf-16 le") << utf16(turkish, Utf16Le) << turkish << Utf16Le;
        QTest::newRow("utf-16 be") << utf16(turkish, Utf16Be) << turkish << Utf16Be;
        // The pair's first half ends the first record, its second half starts the next.
        const QString cut =
            QString(u'\uFEFF') + QString(4998, u'a') + QStringLiteral("\U0001F600ş");
        QTest::newRow("utf-16 le, pair cut at 10000") << utf16(cut, Utf16Le) << cut << Utf16Le;
        // Not UTF-16 after all: every byte is kept as for any other file that is not UTF-8.
        QTest::newRow("utf-16 le, odd length") << utf16(turkish, Utf16Le) + 'x' << QString() << Utf8;
        QTest::newRow("utf-16 be, unpaired surrogate") << utf16(QStringLiteral("\uFEFFa"), Utf16Be) + "\xD8\x3D" + utf16(u"b", Utf16Be) << QString() << Utf8;
        // clang-format on
    }
    void encodingsRoundTrip()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(core::TextEncoding, encoding);
        writeFile(path("in.txt"), bytes);
        core::TextEncoding loadedAs = core::TextEncoding::Windows1254;
        const QString loaded = text_editer::loadTextFile(path("in.txt"), &loadedAs);
        if (!text.isNull())
            QCOMPARE(loaded, text);
        QCOMPARE(loadedAs, encoding);
        QVERIFY(text_editer::saveTextFile(path("out.txt"), loaded, loadedAs));
        const QByteArray lineEnd =
            core::isUtf16(encoding) ? utf16(u"\r\n", encoding) : QByteArray("\r\n");
        QCOMPARE(readAll(path("out.txt")), bytes.endsWith('\n') ? bytes : bytes + lineEnd);
    }

    // A UTF-16 file stays UTF-16 whatever is put into it, led by its byte-order mark even once
    // the text lost it, so it opens as UTF-16 again.
    void utf16FileKeepsUtf16()
    {
        writeFile(path("u16.txt"), utf16(u"\uFEFFeski", core::TextEncoding::Utf16Be));
        text_editer::TextEditerWindow w;
        ScriptedFileDialogs dialogs;
        dialogs.choose(path("u16.txt"));
        w.openFile();
        QCOMPARE(w.fileTextBox->text(), QStringLiteral("\uFEFFeski"));
        QApplication::clipboard()->setText(QStringLiteral("çağ ə")); // the box's Paste replaces all
        w.pasteText();
        dialogs.choose(path("u16.txt"));
        w.save();
        QCOMPARE(readAll(path("u16.txt")), utf16(u"\uFEFFçağ ə\r\n", core::TextEncoding::Utf16Be));
    }

    // The loader tells its progress the bytes read, a second pass counted again, and stops
    // where it is asked to, returning nothing. A load is whole or nothing: a read that fails or
    // a second pass that cannot start gives no text, while a read interrupted or cut short goes
    // on to the end.
    void loaderStopsWhenAsked_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<LoadFault>("fault");
        QTest::addColumn<qint64>("stopAt"); // -1: never
        QTest::addColumn<QList<qint64>>("totals");
        QTest::addColumn<core::fs::Step>("failedAt"); // Step::None: loaded whole
        using enum LoadFault;
        using core::fs::Step;
        const QByteArray turkish = numbered(29999) + "\xFE"; // found not UTF-8 in its last record
        // clang-format off
        QTest::newRow("stopped in the first pass") << numbered(30000) << None << qint64(10000) << QList<qint64>{30000} << Step::Cancelled;
        QTest::newRow("stopped in the second pass") << turkish << None << qint64(30001) << QList<qint64>{30000, 60000} << Step::Cancelled;
        QTest::newRow("read to the end") << turkish << None << qint64(-1) << QList<qint64>{30000, 60000} << Step::None;
        QTest::newRow("read fails in the second record") << numbered(30000) << ReadFailsSecond << qint64(-1) << QList<qint64>{30000} << Step::Read;
        QTest::newRow("read fails in the second pass") << turkish << ReadFailsFifth << qint64(-1) << QList<qint64>{30000, 60000} << Step::Read;
        QTest::newRow("reads interrupted") << turkish << ReadsInterrupted << qint64(-1) << QList<qint64>{30000, 60000} << Step::None;
        QTest::newRow("reads cut short") << turkish << ReadsShort << qint64(-1) << QList<qint64>{30000, 60000} << Step::None;
        QTest::newRow("seek for the second pass fails") << turkish << SeekFails << qint64(-1) << QList<qint64>{30000, 60000} << Step::Seek;
        // clang-format on
    }
    void loaderStopsWhenAsked()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(LoadFault, fault);
        QFETCH(qint64, stopAt);
        QFETCH(QList<qint64>, totals);
        QFETCH(core::fs::Step, failedAt);
        struct Recorder : core::Progress {
            qint64 stopAt = -1;
            QList<qint64> totals;
            qint64 done = 0;
            void setTotal(qint64 total) override { totals << total; }
            bool advance(qint64 n) override
            {
                done = n;
                return stopAt < 0 || n < stopAt;
            }
        } progress;
        progress.stopAt = stopAt;
        writeFile(path("in.txt"), bytes);
        core::TextEncoding encoding = core::TextEncoding::Utf16Be;
        const core::fs::Expected<QString> text = [&] {
            const InjectedLoadFault injected(fault);
            return text_editer::loadTextFile(path("in.txt"), &encoding, progress);
        }();
        QCOMPARE(progress.totals, totals);
        QCOMPARE(text.error().step, failedAt);
        QCOMPARE(text.has_value(), failedAt == core::fs::Step::None);
        if (!text) {
            QCOMPARE(encoding, core::TextEncoding::Utf16Be);
            return;
        }
        QCOMPARE(progress.done, totals.last());
        core::TextEncoding unfaulted;
        QCOMPARE(*text, text_editer::loadTextFile(path("in.txt"), &unfaulted));
        QCOMPARE(encoding, unfaulted);
        QCOMPARE(encoding, core::TextEncoding::Windows1254);
    }

    void turkishFileTakesUtf8ForWhatItCannotHold()
    {
        QVERIFY(text_editer::saveTextFile(path("out.txt"), QStringLiteral("şarkı \U0001F600"),
                                          core::TextEncoding::Windows1254));
        QCOMPARE(readAll(path("out.txt")), QStringLiteral("şarkı \U0001F600\r\n").toUtf8());
    }

    void failedSaveKeepsOldFile()
    {
        // A file size limit makes the write fail half way, as a full disk would.
        QTemporaryDir dir;
        const QString name = dir.filePath("keep.txt");
        writeFile(name, "the old file");
        {
            FileSizeLimit full(50000);
            QVERIFY(!text_editer::saveTextFile(name, QString(200000, u'n')));
        }
        QCOMPARE(readAll(name), QByteArray("the old file"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.txt"});
    }


    void look()
    {
        text_editer::TextEditerWindow w;
        w.show();
        QCOMPARE(w.client()->size(), QSize(379, 399));
        // That every caption fits is asked of all four windows in the launcher's tests.
        const QList<QWidget *> order = {w.fileTextBox,         w.wordBox,        w.oldTextBox,
                                        w.newTextBox,          w.openButton,     w.searchButton,
                                        w.clearFileTextButton, w.clearAllButton, w.saveButton,
                                        w.closeProgramButton,  w.copyButton,     w.cutButton,
                                        w.pasteButton,         w.removeButton,   w.replaceButton,
                                        w.fileTextBox};
        for (qsizetype i = 1; i < order.size(); ++i) {
            QWidget *next = order[i - 1]->nextInFocusChain();
            while (!(next->focusPolicy() & Qt::TabFocus) || !next->isEnabled())
                next = next->nextInFocusChain();
            QCOMPARE(next, order[i]);
        }
    }

    void openFile()
    {
        writeFile(path("ro.txt"), "  read only\n", 0444);
        text_editer::TextEditerWindow w;
        ScriptedFileDialogs dialogs;
        dialogs.choose(path("ro.txt"));
        w.openFile();
        QCOMPARE(w.fileTextBox->text(), QStringLiteral("read only\n"));
        const tk::FileDialogRequest &request = dialogs.shown().at(0);
        QCOMPARE(request.title, QStringLiteral("tarnwick"));
        QCOMPARE(request.fileTypeCaption, QStringLiteral("Text(*.txt;*.doc)"));
        QCOMPARE(request.filePatterns, (QStringList{"*.txt", "*.doc"}));
        QCOMPARE(request.moreFileTypes.size(), 1);
        QCOMPARE(request.moreFileTypes[0].caption, QStringLiteral("Tüm dosyalar (*)"));
        QCOMPARE(request.moreFileTypes[0].patterns, QStringList{"*"});

        // A cancel keeps the text; Save proposes the name chosen for opening.
        dialogs.cancel();
        w.openFile();
        dialogs.cancel();
        w.save();
        QCOMPARE(w.fileTextBox->text(), QStringLiteral("read only\n"));
        QCOMPARE(dialogs.shown().at(2).proposedName, path("ro.txt"));

        // A typed missing name is created empty; a path that cannot be read keeps the box.
        dialogs.choose(path("typed.txt"));
        w.openFile();
        QCOMPARE(w.fileTextBox->text(), QString());
        QCOMPARE(readAll(path("typed.txt")), QByteArray());
        w.fileTextBox->setText(QStringLiteral("old"));
        dialogs.choose(m_dir.path());
        w.openFile();
        QCOMPARE(w.fileTextBox->text(), QStringLiteral("old"));

        // A name shown with a replacement character that no file in the folder shows as is a new
        // name, taken as it reads, and created empty as a typed one is.
        w.fileTextBox->setText(QStringLiteral("old"));
        dialogs.choose(path(QStringLiteral("caf\uFFFD.txt")));
        w.openFile();
        QCOMPARE(w.fileTextBox->text(), QString());
        QCOMPARE(readAll(path(QStringLiteral("caf\uFFFD.txt"))), QByteArray());
    }

    // Qt's dialog shows caf\xE9.txt and caf\xEF\xBF\xBD.txt alike, as "caf\uFFFD.txt". The name
    // chosen is the one file that shows so, a new name when none does, and when two do it is
    // refused with a box and touches neither.
    void namesShownAlike_data()
    {
        QTest::addColumn<QList<QByteArray>>("files"); // each holding its own name
        QTest::addColumn<bool>("saving");             // else opening
        QTest::addColumn<QByteArray>("acted");        // the file opened or written; empty: none
        QTest::addColumn<bool>("readFails");          // the folder cannot be read to its end
        const QByteArray latin = "caf\xE9.txt", replacement = "caf\xEF\xBF\xBD.txt";
        // clang-format off
        QTest::newRow("open, one shows so") << QList{latin, QByteArray("cafe.txt")} << false << latin << false;
        QTest::newRow("open, two show so") << QList{latin, replacement} << false << QByteArray() << false;
        QTest::newRow("save, one shows so") << QList{latin} << true << latin << false;
        QTest::newRow("save, two show so") << QList{replacement, latin} << true << QByteArray() << false;
        QTest::newRow("save, none shows so") << QList<QByteArray>{} << true << replacement << false;
        // A folder that could not be read to its end cannot tell that none shows so.
        QTest::newRow("open, folder read fails") << QList{latin} << false << QByteArray() << true;
        QTest::newRow("save, folder read fails") << QList{latin} << true << QByteArray() << true;
        // clang-format on
    }
    void namesShownAlike()
    {
        QFETCH(QList<QByteArray>, files);
        QFETCH(bool, saving);
        QFETCH(QByteArray, acted);
        QFETCH(bool, readFails);
        QTemporaryDir dir;
        const QByteArray folder = QFile::encodeName(dir.path()) + '/';
        for (const QByteArray &name : files)
            writeNative(folder + name, name);
        text_editer::TextEditerWindow w;
        ScriptedFileDialogs dialogs;
        ScriptedBoxes boxes;
        w.fileTextBox->setText(QStringLiteral("kept"));
        dialogs.choose(dir.filePath(QStringLiteral("caf\uFFFD.txt")));
        {
            const core::sys::Calls saved = core::sys::calls;
            if (readFails) {
                core::sys::calls.readdir = [](DIR *) -> dirent * {
                    errno = EIO;
                    return nullptr;
                };
            }
            saving ? w.save() : w.openFile();
            core::sys::calls = saved;
        }

        QCOMPARE(boxes.shown().size(), size_t(acted.isEmpty() ? 1 : 0));
        // caf\xE9.txt reads as Windows-1254, where E9 is é as in Latin-1.
        QCOMPARE(w.fileTextBox->text(),
                 acted.isEmpty() || saving ? QStringLiteral("kept") : QString::fromLatin1(acted));
        QList<QByteArray> expected;
        for (const QByteArray &name : files)
            expected << name + '=' + (saving && name == acted ? "kept\r\n" : name);
        if (saving && !acted.isEmpty() && !files.contains(acted))
            expected << acted + "=kept\r\n";
        // Each entry by its own bytes, which Qt cannot list or remove when they are not UTF-8.
        QList<QByteArray> found;
        core::fs::DirStream entries(folder.constData());
        while (const dirent *entry = entries.next()) {
            const QByteArray name(entry->d_name);
            if (name == "." || name == "..")
                continue;
            const core::fs::UniqueFd fd(::open(QByteArray(folder + name).constData(), O_RDONLY));
            QByteArray bytes(64, '\0');
            bytes.truncate(::read(fd.get(), bytes.data(), size_t(bytes.size())));
            found << name + '=' + bytes;
            ::unlink(QByteArray(folder + name).constData());
        }
        std::sort(expected.begin(), expected.end());
        std::sort(found.begin(), found.end());
        QCOMPARE(found, expected);
    }

    // A drop or a dialog answer that cannot be loaded leaves the window as it was: the text, its
    // undo history and the encoding a save writes. Nothing is said, and nothing is created.
    void unusablePathKeepsText_data()
    {
        QTest::addColumn<QString>("name"); // in a folder holding t.txt and the FIFO "pipe"
        QTest::addColumn<bool>("dropped"); // else chosen in the Open dialog
        QTest::addColumn<LoadFault>("fault");
        using enum LoadFault;
        const QString nul = QStringLiteral("t.txt").append(QChar(0)).append(u".bak");
        QTest::newRow("NUL, dropped") << nul << true << None;
        QTest::newRow("NUL, chosen") << nul << false << None;
        QTest::newRow("missing, dropped") << QStringLiteral("gone.txt") << true << None;
        QTest::newRow("FIFO, dropped") << QStringLiteral("pipe") << true << None;
        QTest::newRow("FIFO, chosen") << QStringLiteral("pipe") << false << None;
        QTest::newRow("folder, chosen") << QString() << false << None;
        QTest::newRow("not a folder, chosen") << QStringLiteral("t.txt/x") << false << None;
        QTest::newRow("missing folder, chosen") << QStringLiteral("none/x.txt") << false << None;
        // The same file again, which a read that fails would otherwise load as empty.
        QTest::newRow("read fails, dropped") << QStringLiteral("t.txt") << true << ReadFailsFirst;
        QTest::newRow("read fails, chosen") << QStringLiteral("t.txt") << false << ReadFailsFirst;
    }
    void unusablePathKeepsText()
    {
        QFETCH(QString, name);
        QFETCH(bool, dropped);
        QFETCH(LoadFault, fault);
        QTemporaryDir dir;
        writeFile(dir.filePath("t.txt"), "\xFE"
                                         "ark\xFD");
        QVERIFY(mkfifo(QFile::encodeName(dir.filePath("pipe")).constData(), 0600) == 0);
        text_editer::TextEditerWindow w;
        ScriptedFileDialogs dialogs;
        ScriptedBoxes boxes;
        w.dropFiles({dir.filePath("t.txt")});
        w.fileTextBox->setText(w.fileTextBox->text() + u'!');
        const QStringList before = entries(dir.path());

        const QString unusable = dir.path() + u'/' + name;
        {
            const InjectedLoadFault injected(fault);
            if (dropped) {
                w.dropFiles({unusable});
            } else {
                dialogs.choose(unusable);
                w.openFile();
            }
        }
        QCOMPARE(w.fileTextBox->text(), QStringLiteral("şarkı!"));
        QCOMPARE(entries(dir.path()), before);
        QVERIFY(boxes.shown().empty());
        w.fileTextBox->undo();
        QCOMPARE(w.fileTextBox->text(), QStringLiteral("şarkı"));
        dialogs.choose(dir.filePath("out.txt"));
        w.save();
        if (dropped) // a refused drop leaves the name Save proposes too
            QCOMPARE(dialogs.shown().back().proposedName, dir.filePath("t.txt"));
        QCOMPARE(readAll(dir.filePath("out.txt")), QByteArray("\xFE"
                                                              "ark\xFD\r\n"));
    }

    // A file over 20 MB gets a progress window, a smaller one none; a cancelled load leaves the
    // box, and the encoding a save writes, as they were.
    void bigLoadCancelled()
    {
        writeFile(path("small.txt"), "\xFE"
                                     "ark\xFD");
        QFile big(path("big.txt")); // sparse: nothing to write
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(20'000'001));
        big.close();
        text_editer::TextEditerWindow w;
        ScriptedFileDialogs dialogs;
        tk::testing::ScriptedBoxes boxes;
        tk::testing::ScriptedProgress progress;
        progress.cancelAt(1);
        dialogs.choose(path("small.txt"));
        w.openFile();
        QVERIFY(progress.shown().empty());
        w.dropFiles({path("big.txt")});
        QCOMPARE(progress.shown(), std::vector<qint64>{20'000'001});
        QCOMPARE(boxes.shown().size(), size_t(1));
        QCOMPARE(boxes.shown()[0].prompt,
                 QStringLiteral("0,0 / 19,1 MB okundu; yükleme iptal edildi, metin değişmedi."));
        QCOMPARE(w.fileTextBox->text(), QStringLiteral("şarkı"));
        dialogs.choose(path("out.txt"));
        w.save();
        QCOMPARE(dialogs.shown().back().proposedName, path("small.txt"));
        QCOMPARE(readAll(path("out.txt")), QByteArray("\xFE"
                                                      "ark\xFD\r\n"));
        QVERIFY(!QApplication::overrideCursor());
    }

    void dropFiles()
    {
        writeFile(path("one.txt"), "one");
        writeFile(path("opened.txt"), "opened");
        text_editer::TextEditerWindow w;
        w.show();
        // Save proposes the file dropped last once it loaded, not the one opened before it.
        ScriptedFileDialogs dialogs;
        dialogs.choose(path("opened.txt"));
        w.openFile();
        const auto proposed = [&] {
            dialogs.cancel();
            w.save();
            return dialogs.shown().back().proposedName;
        };
        auto drop = [&](QMimeData *data) {
            tk::testing::dropOn(w.fileTextBox->viewport(), data,
                                w.fileTextBox->viewport()->rect().center());
        };
        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(path("one.txt")), QUrl::fromLocalFile(path("x.txt"))});
        drop(&files);
        QCOMPARE(w.fileTextBox->text(), QStringLiteral("one"));
        QCOMPARE(proposed(), path("one.txt"));
        QVERIFY(!QFileInfo::exists(path("x.txt")));
        // A name that is not UTF-8 loads its own file and creates no neighbour.
        const QByteArray folder = QFile::encodeName(m_dir.path());
        writeNative(folder + "/caf\xE9.txt", "latin");
        const int before = int(entries(m_dir.path()).size());
        QMimeData latin;
        latin.setUrls({QUrl::fromEncoded("file://" + folder + "/caf%E9.txt")});
        drop(&latin);
        QCOMPARE(w.fileTextBox->text(), QStringLiteral("latin"));
        QCOMPARE(entries(m_dir.path()).size(), before);
        // Dragged text carries no file: the box keeps its text and takes none of the drag.
        QMimeData text;
        text.setText(QStringLiteral("stray"));
        drop(&text);
        QCOMPARE(w.fileTextBox->text(), QStringLiteral("latin"));
    }

    void boxes()
    {
        text_editer::TextEditerWindow w;
        w.show();
        ScriptedBoxes boxes;
        tk::testing::EndProgramSpy endProgram;
        type(w.fileTextBox, QStringLiteral("ab\nc"));
        QTest::mouseDClick(w.wordLabel, Qt::LeftButton);
        w.foundBox->setText(QStringLiteral("before"));
        w.search(); // with no word
        QCOMPARE(w.foundBox->text(), QStringLiteral("before"));

        boxes.answer(tk::Answer::No);
        w.closeProgram();
        boxes.answer(tk::Answer::No);
        QVERIFY(!w.close());
        QVERIFY(w.isVisible());
        QCOMPARE(endProgram.count(), 0);
        boxes.answer(tk::Answer::Yes);
        QTest::mouseClick(w.closeProgramButton, Qt::LeftButton);
        QCOMPARE(endProgram.count(), 1);

        using B = tk::Buttons;
        using I = tk::Icon;
        const QList<std::tuple<QString, QString, B, I>> expected = {
            {"Dosya uzunlugu: 5", "Text Editer", B::Ok, I::None},
            {"Aranacak kelime girin", tk::kProgramTitle, B::Ok, I::None},
            {"Emin misiniz?", "Kapamak...", B::YesNo, I::Question},
            {"Emin misiniz?", "Kapamak...", B::YesNo, I::Question},
            {"Emin misiniz?", "Kapamak...", B::YesNo, I::Question}}; // no second question
        QCOMPARE(boxes.shown().size(), size_t(expected.size()));
        for (qsizetype i = 0; i < expected.size(); ++i) {
            const tk::MessageBoxRequest &box = boxes.shown().at(size_t(i));
            QCOMPARE(std::tuple(box.prompt, box.title, box.buttons, box.icon), expected[i]);
        }
        boxes.answer(tk::Answer::Yes);
        QVERIFY(w.close());
    }

    // A line break typed into a small box finds the file's line breaks in either form.
    void typedLineBreaks_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("CR LF file") << QByteArray("xab\r\ncdab\r\nc");
        QTest::newRow("LF file") << QByteArray("xab\ncdab\nc");
    }
    void typedLineBreaks()
    {
        QFETCH(QByteArray, file);
        writeFile(path("lines.txt"), file);
        text_editer::TextEditerWindow w;
        w.show();
        w.dropFiles({path("lines.txt")});
        type(w.wordBox, QStringLiteral("b\nc"));
        w.search();
        QCOMPARE(w.foundBox->text() + w.countBox->text(), QStringLiteral("evet2"));
        type(w.oldTextBox, QStringLiteral("b\nc"));
        type(w.newTextBox, QStringLiteral("B\nC"));
        w.replaceOldText();
        file.replace("b\r\nc", "B\r\nC").replace("b\nc", "B\nC");
        QCOMPARE(w.fileTextBox->text(), QString::fromUtf8(file));
    }

    // One matching rule for Arat, Sil and Yerlestir: each row searches the text for the old
    // text (unless it is empty, which Arat refuses), removes it, and replaces it.
    void matching_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("oldText");
        QTest::addColumn<QString>("newText");
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("removed");
        QTest::addColumn<QString>("replaced");
        // clang-format off
        QTest::newRow("case differs") << "ali" << "Ali" << "x" << "yok" << "0" << "ali" << "ali";
        QTest::newRow("no overlap, even") << "aaaa" << "aa" << "x" << "evet" << "2" << "" << "xx";
        QTest::newRow("no overlap, odd") << "aaa" << "aa" << "x" << "evet" << "1" << "a" << "xa";
        QTest::newRow("longer than text") << "ab" << "abc" << "x" << "yok" << "0" << "ab" << "ab";
        QTest::newRow("line break in word") << "ab\r\ncd\r\nb c" << "b\r\nc" << "x" << "evet" << "1" << "ad\r\nb c" << "axd\r\nb c";
        QTest::newRow("b") << "abcb" << "b" << "x" << "evet" << "2" << "ac" << "axcx";
        QTest::newRow("not rescanned") << "aa" << "a" << "aa" << "evet" << "2" << "" << "aaaa";
        QTest::newRow("empty old") << "abc" << "" << "x" << "" << "" << "abc" << "abc";
        QTest::newRow("empty new") << "abcb" << "b" << "" << "evet" << "2" << "ac" << "ac";
        // clang-format on
    }
    void matching()
    {
        QFETCH(QString, text);
        QFETCH(QString, oldText);
        QFETCH(QString, newText);
        text_editer::TextEditerWindow w;
        w.fileTextBox->setText(text);
        if (!oldText.isEmpty()) {
            w.wordBox->setText(oldText);
            w.search();
            QTEST(w.foundBox->text(), "found");
            QTEST(w.countBox->text(), "count");
        }
        w.oldTextBox->setText(oldText);
        w.newTextBox->setText(newText);
        w.removeOldText();
        QTEST(w.fileTextBox->text(), "removed");
        w.fileTextBox->setText(text);
        w.replaceOldText();
        QTEST(w.fileTextBox->text(), "replaced");
    }

    void clears()
    {
        text_editer::TextEditerWindow w;
        for (tk::MultiLineBox *box : {w.fileTextBox, w.wordBox, w.oldTextBox, w.newTextBox})
            box->setText(QStringLiteral("x"));
        w.foundBox->setText(QStringLiteral("evet"));
        w.countBox->setText(QStringLiteral("3"));
        w.clearFileText();
        QCOMPARE(w.fileTextBox->text() + w.wordBox->text() + w.countBox->text() +
                     w.newTextBox->text(),
                 "x3x");
        w.clearAll();
        QCOMPARE(w.fileTextBox->text() + w.wordBox->text() + w.foundBox->text() +
                     w.countBox->text() + w.oldTextBox->text() + w.newTextBox->text(),
                 QString());
    }

    void save()
    {
        text_editer::TextEditerWindow w;
        ScriptedFileDialogs dialogs;
        ScriptedBoxes boxes;
        const QString out = path("saved.txt");
        writeFile(out, "an older and longer file");
        w.fileTextBox->setText(QStringLiteral("abc"));
        dialogs.choose(out);
        w.save();
        QCOMPARE(readAll(out), QByteArray("abc\r\n"));
        w.fileTextBox->setText(QStringLiteral("new"));
        dialogs.cancel();
        w.save();
        QCOMPARE(readAll(out), QByteArray("abc\r\n"));

        // Unwritable targets: nothing said, nothing changed.
        writeFile(path("locked.txt"), "locked", 0444);
        for (const QString &target : {path("locked.txt"), m_dir.path(), path("none/x.txt")}) {
            dialogs.choose(target);
            w.save();
        }
        QCOMPARE(readAll(path("locked.txt")), QByteArray("locked"));
        QVERIFY(!QFileInfo::exists(path("none")));
        QCOMPARE(w.fileTextBox->text(), QStringLiteral("new"));
        QVERIFY(boxes.shown().empty());
    }

    // Loading keeps a file's line breaks and byte-order mark; a file that ends with a line break
    // comes back as it was, however often it is opened and saved.
    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("LF") << QByteArray("one\ntwo \n");
        QTest::newRow("CR LF, BOM") << QByteArray("\xEF\xBB\xBFşey\r\ntwo \r\n");
    }
    void roundTrip()
    {
        QFETCH(QByteArray, file);
        writeFile(path("trip.txt"), file);
        text_editer::TextEditerWindow w;
        ScriptedFileDialogs dialogs;
        for (int trip = 0; trip < 2; ++trip) {
            dialogs.choose(path("trip.txt"));
            w.openFile();
            dialogs.choose(path("trip.txt"));
            w.save();
        }
        QCOMPARE(readAll(path("trip.txt")), file);
    }

    void clipboard()
    {
        text_editer::TextEditerWindow w;
        w.fileTextBox->setText(QStringLiteral("line\r\nnext"));
        w.cutText();
        QCOMPARE(w.fileTextBox->text(), QString());
        w.pasteText();
        QCOMPARE(w.fileTextBox->text(), QStringLiteral("line\r\nnext"));

        // Copying an empty box drops whatever the clipboard held; a picture alone is no text.
        QGuiApplication::clipboard()->setImage(QImage(2, 2, QImage::Format_RGB32));
        w.pasteText();
        QCOMPARE(w.fileTextBox->text(), QString());
        w.copyText();
        QVERIFY(!QGuiApplication::clipboard()->mimeData()->hasImage());
        w.fileTextBox->setText(QStringLiteral("old"));
        w.pasteText();
        QCOMPARE(w.fileTextBox->text(), QString());
    }
};

QTEST_MAIN(TextEditerTest)
#include "tst_text_editer.moc"
