// SPDX-License-Identifier: GPL-3.0-or-later
// The File Editer driven as a user drives it: buttons, menu items, keys, drops and the painted
// window, on real files; boxes and the dialog are answered by the toolkit's stand-ins.
#include "core/filenames.h"
#include "file_editer/file_editer_window.h"
#include "tests/support/stand_ins.h"
#include "tests/test_files.h"

#include <QMenuBar>
#include <QMimeData>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include <functional>
#include <map>

namespace {
const QString kRefused = QStringLiteral("Gerekli yerleri doldur");

// Every entry below `folder`, hidden ones and leftover temporary files included, with its content
// or its link target: "a.txt=A d/ ln->a.txt".
QStringList state(const QString &folder, const QString &prefix = {})
{
    QStringList out;
    const QDir dir(folder);
    for (const QFileInfo &e : dir.entryInfoList(
             QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString name = prefix + e.fileName();
        if (e.isSymLink()) {
            out << name + "->" + QFileInfo(e.symLinkTarget()).fileName();
        } else if (e.isDir()) {
            out << name + u'/' << state(e.filePath(), name + u'/');
        } else if (!e.isFile()) {
            out << name + u'|'; // a FIFO: never opened, since that would wait for a writer
        } else {
            out << name + u'=' + testfiles::readAll(e.filePath());
        }
    }
    return out;
}

} // namespace

class TestFileEditer : public QObject {
    Q_OBJECT
private slots:
    void fileOperations_data();
    void fileOperations();
    void browse();
    void drops();
    void droppedNamesKeepTheirBytes();
    void keys_data();
    void keys();
    void look();
};

void TestFileEditer::fileOperations_data()
{
    QTest::addColumn<QString>("control"); // a button or its menu twin
    QTest::addColumn<int>("presses");
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QString>("text2");
    QTest::addColumn<QString>("prompt");  // empty: no box at all
    QTest::addColumn<QString>("changes"); // "-name" gone, "+name=content" new or replaced

    const QString copied = "Basariyla Kopyalandi!", renamed = "Basariyla Yeniden Adlandirildi!",
                  deleted = "Basariyla Silindi!";
    // clang-format off
    QTest::newRow("copy both empty") << "copyButton" << 1 << "" << "" << kRefused << "";
    QTest::newRow("copy file 2 empty") << "copyAction" << 1 << "a.txt" << "" << kRefused << "";
    QTest::newRow("rename file 1 empty") << "renameButton" << 1 << "" << "b.txt" << kRefused << "";
    QTest::newRow("rename blanks fill fields") << "renameAction" << 1 << " " << "  " << "" << "";
    QTest::newRow("delete empty") << "deleteButton" << 1 << "" << "b.txt" << kRefused << "";
    QTest::newRow("delete blanks") << "deleteAction" << 1 << " " << "" << "" << "";

    QTest::newRow("copy new target") << "copyButton" << 1 << "a.txt" << "d/c" << copied << "+d/c=A";
    QTest::newRow("copy over a file") << "copyAction" << 1 << "a.txt" << "b.txt" << copied << "+b.txt=A";
    QTest::newRow("copy onto itself") << "copyButton" << 1 << "a.txt" << "d/../a.txt" << "" << "";
    QTest::newRow("copy onto a folder") << "copyButton" << 1 << "a.txt" << "d" << "" << "";

    QTest::newRow("rename same folder") << "renameButton" << 1 << "a.txt" << "c" << renamed << "-a.txt +c=A";
    QTest::newRow("rename other folder") << "renameAction" << 1 << "a.txt" << "d/a" << renamed << "-a.txt +d/a=A";
    QTest::newRow("rename a folder") << "renameButton" << 1 << "d" << "e" << renamed << "-d/ -d/in=I +e/ +e/in=I";
    QTest::newRow("rename onto a file") << "renameButton" << 1 << "a.txt" << "b.txt" << "" << "";
    QTest::newRow("rename onto itself") << "renameButton" << 1 << "a.txt" << "./a.txt" << renamed << "";
    QTest::newRow("rename takes * literally") << "renameButton" << 1 << "*.txt" << "c" << "" << "";

    QTest::newRow("delete a file") << "deleteButton" << 1 << "a.txt" << "" << deleted << "-a.txt";
    QTest::newRow("delete pressed twice") << "deleteAction" << 2 << "a.txt" << "" << deleted << "-a.txt";
    QTest::newRow("delete pattern") << "deleteButton" << 2 << "?.txt" << "" << deleted << "-a.txt -b.txt";
    QTest::newRow("delete nothing matches") << "deleteButton" << 1 << "*.xls" << "" << "" << "";
    QTest::newRow("delete a folder") << "deleteButton" << 1 << "d" << "" << "" << "";
    QTest::newRow("delete read-only") << "deleteButton" << 1 << "ro.txt" << "" << "" << "";
    QTest::newRow("delete link, not target") << "deleteButton" << 1 << "ln" << "" << deleted << "-ln";
    // *.* takes dotless names; a read-only match withholds the message, not the other deletes.
    QTest::newRow("delete *.* with read-only") << "deleteButton" << 1 << "*.*" << "" << "" << "-a.txt -b.txt -ln";
    QTest::newRow("delete hidden needs a dot") << "deleteButton" << 1 << ".*" << "" << deleted << "-.h.txt";
    // A name that holds a wildcard is that file alone while it exists; only then a pattern. A
    // FIFO that matches is no file to delete.
    QTest::newRow("delete a file named q?") << "deleteButton" << 1 << "q/Soru?.txt" << "" << deleted << "-q/Soru?.txt";
    QTest::newRow("delete pattern skips a FIFO") << "deleteButton" << 1 << "q/*" << "" << deleted << "-q/Soru?.txt -q/Soru1.txt";
    // clang-format on
}

void TestFileEditer::fileOperations()
{
    QFETCH(QString, control);
    QFETCH(int, presses);
    QFETCH(QString, text1);
    QFETCH(QString, text2);
    QFETCH(QString, prompt);
    QFETCH(QString, changes);

    QTemporaryDir tmp;
    const QString root = tmp.path();
    testfiles::writeFile(root + "/a.txt", "A");
    testfiles::writeFile(root + "/b.txt", "B");
    testfiles::writeFile(root + "/.h.txt", "H");
    testfiles::writeFile(root + "/ro.txt", "R");
    testfiles::makeReadOnly(root + "/ro.txt");
    QVERIFY(QDir(root).mkdir("d"));
    testfiles::writeFile(root + "/d/in", "I");
    QVERIFY(QFile::link("a.txt", root + "/ln"));
    QVERIFY(QDir(root).mkdir("q"));
    testfiles::writeFile(root + "/q/Soru?.txt", "?");
    testfiles::writeFile(root + "/q/Soru1.txt", "1");
    QCOMPARE(mkfifo(QFile::encodeName(root + "/q/fifo").constData(), 0644), 0);
    QStringList expected = state(root);
    for (const QString &change : changes.split(u' ', Qt::SkipEmptyParts)) {
        static const QRegularExpression end(QStringLiteral("=|->"));
        const QString name = change.mid(1).section(end, 0, 0);
        expected.removeIf([&](const QString &e) { return e.section(end, 0, 0) == name; });
        if (change.startsWith(u'+'))
            expected << change.mid(1);
    }
    expected.sort();

    tk::testing::ScriptedBoxes boxes;
    file_editer::FileEditerWindow w;
    // Relative names in the table live in the temporary folder; blanks stay blanks.
    auto field = [&](const QString &t) {
        return t.trimmed().isEmpty() || t.startsWith(u'/') ? t : root + u'/' + t;
    };
    w.sourceBox->setText(field(text1));
    w.targetBox->setText(field(text2));
    const std::map<QString, std::function<void()>> press = {
        {"copyButton", [&] { w.copyButton->click(); }},
        {"copyAction", [&] { w.copyAction->trigger(); }},
        {"renameButton", [&] { w.renameButton->click(); }},
        {"renameAction", [&] { w.renameAction->trigger(); }},
        {"deleteButton", [&] { w.deleteButton->click(); }},
        {"deleteAction", [&] { w.deleteAction->trigger(); }}};
    for (int i = 0; i < presses; ++i)
        press.at(control)();

    QCOMPARE(boxes.shown().size(), size_t(prompt.isEmpty() ? 0 : 1));
    if (!prompt.isEmpty()) {
        QCOMPARE(boxes.shown()[0].prompt, prompt);
        QCOMPARE(boxes.shown()[0].title, prompt == kRefused ? "Hata" : "tarnwick's File Editer");
        QCOMPARE(boxes.shown()[0].icon, tk::Icon::None);
    }
    QStringList after = state(root);
    after.sort();
    QCOMPARE(after, expected);
    QCOMPARE(w.sourceBox->text(), field(text1));
    QCOMPARE(w.targetBox->text(), field(text2));
    QDir(root).removeRecursively();
}

// Both buttons share one dialog object; the field takes its remembered name even on a cancel.
void TestFileEditer::browse()
{
    tk::testing::ScriptedFileDialogs dialogs;
    file_editer::FileEditerWindow w, fresh;
    w.sourceBox->setText("typed");
    dialogs.cancel();
    w.browseSourceButton->click();
    QCOMPARE(w.sourceBox->text(), "");
    dialogs.choose("/nowhere/new.txt");
    w.browseSourceButton->click();
    dialogs.cancel();
    w.browseTargetButton->click();
    QCOMPARE(w.sourceBox->text(), "/nowhere/new.txt");
    QCOMPARE(w.targetBox->text(), "/nowhere/new.txt");
    QCOMPARE(dialogs.shown()[2].proposedName, "/nowhere/new.txt");
    for (const tk::FileDialogRequest &r : dialogs.shown())
        QVERIFY(r.mode == tk::DialogMode::Open && r.title.isEmpty() && r.fileTypeCaption.isEmpty());

    fresh.targetBox->setText("typed");
    dialogs.cancel();
    fresh.browseTargetButton->click();
    QCOMPARE(fresh.targetBox->text(), ""); // a new window remembers nothing

    // The dialog shows caf\xE9.txt as "caf\uFFFD.txt": alone, that file is chosen by its bytes;
    // beside caf\xEF\xBF\xBD.txt, which shows alike, the choice is refused as a cancel, with a box.
    QTemporaryDir tmp;
    const QByteArray folder = QFile::encodeName(tmp.path());
    testfiles::writeNative(folder + "/caf\xE9.txt", "latin");
    tk::testing::ScriptedBoxes boxes;
    const QString shown = tmp.filePath(QStringLiteral("caf\uFFFD.txt"));
    dialogs.choose(shown);
    fresh.browseSourceButton->click();
    QCOMPARE(fresh.sourceBox->text(), core::fs::fromNative(QByteArray(folder + "/caf\xE9.txt")));
    testfiles::writeNative(folder + "/caf\xEF\xBF\xBD.txt", "replacement");
    dialogs.choose(shown);
    fresh.browseTargetButton->click();
    QCOMPARE(boxes.shown().size(), size_t(1));
    QCOMPARE(fresh.targetBox->text(), fresh.sourceBox->text());
    fresh.deleteButton->click();
    QCOMPARE(testfiles::entries(tmp.path()), QStringList{QStringLiteral("caf\uFFFD.txt")});
    QCOMPARE(testfiles::readAll(shown), QByteArray("replacement"));
}

// The first dropped path replaces the field's text; the other field is left alone.
void TestFileEditer::drops()
{
    file_editer::FileEditerWindow w;
    w.sourceBox->setText("other");
    w.targetBox->setText("old");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/tmp"), QUrl::fromLocalFile("/t/a b"), QUrl("file:///t/c")});
    tk::testing::dropOn(w.targetBox, &data);
    QCOMPARE(w.targetBox->text(), "/tmp");
    QCOMPARE(w.sourceBox->text(), "other");
}

// A dropped name whose bytes are not UTF-8 names that very file, beside the one a lossy decoding
// would give; a dropped path with a NUL in it names nothing.
void TestFileEditer::droppedNamesKeepTheirBytes()
{
    QTemporaryDir tmp;
    const QByteArray folder = QFile::encodeName(tmp.path());
    testfiles::writeNative(folder + "/caf\xE9.txt", "latin");
    testfiles::writeNative(folder + "/caf\xEF\xBF\xBD.txt", "replacement");
    testfiles::writeNative(folder + "/keep.txt", "keep");
    tk::testing::ScriptedBoxes boxes;
    file_editer::FileEditerWindow w;
    const auto dropOnSource = [&](const QByteArray &encodedUrl) {
        QMimeData data;
        data.setUrls({QUrl::fromEncoded("file://" + folder + encodedUrl)});
        tk::testing::dropOn(w.sourceBox, &data);
    };
    const auto exists = [&](const QByteArray &name) { return testfiles::existsNative(folder, name); };

    dropOnSource("/caf%E9.txt");
    w.deleteButton->click();
    QCOMPARE(boxes.shown().size(), size_t(1));
    QCOMPARE(boxes.shown().back().prompt, QStringLiteral("Basariyla Silindi!"));
    QVERIFY(!exists("caf\xE9.txt"));
    QVERIFY(exists("caf\xEF\xBF\xBD.txt"));

    dropOnSource("/keep.txt%00.bak");
    w.deleteButton->click();
    QCOMPARE(boxes.shown().size(), size_t(1));
    QCOMPARE(testfiles::readAll(tmp.path() + "/keep.txt"), QByteArray("keep"));
}

void TestFileEditer::keys_data()
{
    QTest::addColumn<QKeyCombination>("key");
    QTest::addColumn<QString>("after"); // sourceBox "|" targetBox, from "abc|x"
    QTest::addColumn<int>("refusals");
    // sourceBox has the focus with its cursor at the start, where its own Ctrl+K (delete to the
    // end) or Ctrl+Y (redo) would act instead of the menu. targetBox is "" for the refusals.
    // clang-format off
    QTest::newRow("Ctrl+K copy") << (Qt::CTRL | Qt::Key_K) << "abc|" << 1;
    QTest::newRow("Ctrl+Y rename") << (Qt::CTRL | Qt::Key_Y) << "abc|" << 1;
    QTest::newRow("Ctrl+S delete") << (Qt::CTRL | Qt::Key_S) << "abc|x" << 0; // "abc" is no file
    QTest::newRow("Shift+F1 copySourceToTargetAction") << (Qt::SHIFT | Qt::Key_F1) << "abc|abc" << 0;
    QTest::newRow("Shift+F2 copyTargetToSourceAction") << (Qt::SHIFT | Qt::Key_F2) << "x|x" << 0;
    QTest::newRow("Shift+F3 swap") << (Qt::SHIFT | Qt::Key_F3) << "x|abc" << 0;
    QTest::newRow("Shift+F4 clearSourceAction") << (Qt::SHIFT | Qt::Key_F4) << "|x" << 0;
    QTest::newRow("Shift+F5 clearTargetAction") << (Qt::SHIFT | Qt::Key_F5) << "abc|" << 0;
    QTest::newRow("Shift+F6 clearAllAction") << (Qt::SHIFT | Qt::Key_F6) << "|" << 0;
    // clang-format on
}

void TestFileEditer::keys()
{
    QFETCH(QKeyCombination, key);
    QFETCH(QString, after);
    QFETCH(int, refusals);
    tk::testing::ScriptedBoxes boxes;
    file_editer::FileEditerWindow w;
    w.show();
    w.activateWindow(); // a bare X server has no window manager to do it
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QCOMPARE(QApplication::focusWidget(), w.sourceBox);
    w.sourceBox->setText("abc");
    w.targetBox->setText(refusals ? "" : "x");
    w.sourceBox->setCursorPosition(0);
    QTest::keyClick(w.sourceBox, key.key(), key.keyboardModifiers());
    QCOMPARE(w.sourceBox->text() + u'|' + w.targetBox->text(), after);
    QCOMPARE(int(boxes.shown().size()), refusals);

    // The tab order runs through the fields, the browse buttons, then the row of buttons.
    for (QWidget *next : std::initializer_list<QWidget *>{
             w.targetBox, w.browseSourceButton, w.browseTargetButton, w.copyButton, w.renameButton,
             w.deleteButton, w.sourceBox}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
}

void TestFileEditer::look()
{
    file_editer::FileEditerWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QImage image = w.grab().toImage();
    QCOMPARE(w.client()->size(), QSize(407, 149));
    QCOMPARE(w.client()->y(), w.menuBar()->geometry().bottom() + 1);
    const QPoint origin = w.client()->pos();
    auto count = [&](QWidget *control, const QColor &colour, int inset = 0) {
        const QRect r =
            control->geometry().translated(origin).adjusted(inset, inset, -inset, -inset);
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                n += image.pixelColor(x, y) == colour;
        return n;
    };
    for (QLabel *label : {w.sourceLabel, w.targetLabel, (QLabel *)w.siteLabel}) {
        QVERIFY(count(label, tk::kDarkGreen) > 10); // the text, in dark green
        QVERIFY(count(label, Qt::black) > label->width() * label->height() / 2);
    }
    for (QLineEdit *box : {w.sourceBox, w.targetBox}) {
        const QRect inner = box->rect().adjusted(4, 4, -4, -4);
        QCOMPARE(count(box, tk::kDarkGreen, 4), inner.width() * inner.height());
        QCOMPARE(box->palette().color(QPalette::Text), Qt::black);
    }
    QCOMPARE(w.targetBox->accessibleName(), "Dosya 2:");
}

QTEST_MAIN(TestFileEditer)
#include "tst_file_editer.moc"
