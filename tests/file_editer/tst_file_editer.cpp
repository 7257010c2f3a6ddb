// The File Editer's handlers on real files: what each operation does to the file system, which
// message it shows, and that a failure is silent and harmless.
#include "file_editer/file_editer_window.h"
#include "launcher/toolkit_testing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <memory>
#include <sys/stat.h>

namespace {
const QString kTitle = QStringLiteral("tarnwick's File Editer");

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void makeReadOnly(const QString &path)
{
    QVERIFY(chmod(QFile::encodeName(path).constData(), 0444) == 0);
}

// Prompts of the boxes shown, in order.
QStringList prompts(const tk::testing::ScriptedBoxes &boxes)
{
    QStringList list;
    for (const auto &box : boxes.shown())
        list << box.prompt;
    return list;
}

// Names in a folder, hidden ones included, sorted.
QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}
} // namespace

class TestFileEditer : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_window = std::make_unique<FileEditer>();
        m_boxes = std::make_unique<tk::testing::ScriptedBoxes>();
    }
    void cleanup()
    {
        m_boxes.reset();
        m_window.reset();
        // Read-only files and folders must not keep the temporary folder from going.
        QDir(m_dir->path()).removeRecursively();
        m_dir.reset();
    }

    void requiredFields_data();
    void requiredFields();
    void copySucceeds_data();
    void copySucceeds();
    void copyNeverOntoItsSource_data();
    void copyNeverOntoItsSource();
    void copyFailsAndKeepsTarget_data();
    void copyFailsAndKeepsTarget();
    void rename_data();
    void rename();
    void renameNeverReplaces();
    void deleteFiles_data();
    void deleteFiles();
    void deleteTwice();
    void browse();
    void fieldMenus_data();
    void fieldMenus();
    void drops_data();
    void drops();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    FileEditer &w() { return *m_window; }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FileEditer> m_window;
    std::unique_ptr<tk::testing::ScriptedBoxes> m_boxes;
};

// The one refusal before any file is touched; blanks fill a field.
void TestFileEditer::requiredFields_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QString>("text2");
    QTest::addColumn<bool>("refused");

    // clang-format off
    for (const char *op : {"copy", "rename"}) {
        QTest::addRow("%s both empty", op) << op << "" << "" << true;
        QTest::addRow("%s file 2 empty", op) << op << "a" << "" << true;
        QTest::addRow("%s file 1 empty", op) << op << "" << "b" << true;
        QTest::addRow("%s blanks", op) << op << " " << "  " << false;
    }
    QTest::newRow("delete empty") << "delete" << "" << "b" << true;
    QTest::newRow("delete blanks") << "delete" << "  " << "" << false;
    // clang-format on
}

void TestFileEditer::requiredFields()
{
    QFETCH(QString, operation);
    QFETCH(QString, text1);
    QFETCH(QString, text2);
    QFETCH(bool, refused);

    // Real files behind the filled field, so that a missing refusal would do something.
    writeFile(path("a"), "A");
    writeFile(path("b"), "B");
    QDir::setCurrent(m_dir->path());
    w().Text1->setText(text1);
    w().Text2->setText(text2);
    if (operation == u"copy")
        w().copyFile();
    else if (operation == u"rename")
        w().renameFile();
    else
        w().deleteFile();

    if (refused) {
        QCOMPARE(m_boxes->shown().size(), size_t(1));
        const tk::MessageBoxRequest &box = m_boxes->shown().front();
        QCOMPARE(box.prompt, QStringLiteral("Gerekli yerleri doldur"));
        QCOMPARE(box.title, QStringLiteral("Hata"));
        QCOMPARE(box.buttons, tk::Buttons::Ok);
        QCOMPARE(box.icon, tk::Icon::None);
    } else {
        // Blank paths name nothing: a silent failure.
        QCOMPARE(m_boxes->shown().size(), size_t(0));
    }
    QCOMPARE(entries(m_dir->path()), QStringList({"a", "b"}));
    QCOMPARE(readFile(path("a")), QByteArray("A"));
    QCOMPARE(readFile(path("b")), QByteArray("B"));
    QCOMPARE(w().Text1->text(), text1);
    QCOMPARE(w().Text2->text(), text2);
}

void TestFileEditer::copySucceeds_data()
{
    QTest::addColumn<bool>("targetExists");
    QTest::newRow("new target") << false;
    QTest::newRow("existing target replaced") << true;
}

void TestFileEditer::copySucceeds()
{
    QFETCH(bool, targetExists);
    writeFile(path("source.txt"), QByteArray("new content\r\n\0x", 16));
    QDir().mkdir(path("sub"));
    if (targetExists)
        writeFile(path("sub/target.txt"), "an older and longer content");
    w().Text1->setText(path("source.txt"));
    w().Text2->setText(path("sub/target.txt"));

    w().Command1->click();

    QCOMPARE(prompts(*m_boxes), QStringList{"Basariyla Kopyalandi!"});
    QCOMPARE(m_boxes->shown().front().title, kTitle);
    QCOMPARE(m_boxes->shown().front().icon, tk::Icon::None);
    QCOMPARE(readFile(path("sub/target.txt")), QByteArray("new content\r\n\0x", 16));
    QCOMPARE(readFile(path("source.txt")), QByteArray("new content\r\n\0x", 16));
    QCOMPARE(entries(path("sub")), QStringList{"target.txt"});
    QCOMPARE(w().Text1->text(), path("source.txt"));
    QCOMPARE(w().Text2->text(), path("sub/target.txt"));
}

void TestFileEditer::copyNeverOntoItsSource_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("same path") << "dir/a";
    QTest::newRow("other spelling") << "dir/../dir/./a";
    QTest::newRow("symbolic link") << "link";
    QTest::newRow("hard link") << "hard";
}

void TestFileEditer::copyNeverOntoItsSource()
{
    QFETCH(QString, target);
    QDir().mkdir(path("dir"));
    const QByteArray content(100000, 'z');
    writeFile(path("dir/a"), content);
    QVERIFY(QFile::link(path("dir/a"), path("link")));
    QVERIFY(::link(QFile::encodeName(path("dir/a")).constData(),
                   QFile::encodeName(path("hard")).constData()) == 0);
    w().Text1->setText(path("dir/a"));
    w().Text2->setText(path(target));

    w().kopyala->trigger();

    QCOMPARE(m_boxes->shown().size(), size_t(0));
    QCOMPARE(readFile(path("dir/a")), content);
    QCOMPARE(entries(path("dir")), QStringList{"a"});
}

void TestFileEditer::copyFailsAndKeepsTarget_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");
    QTest::newRow("target a folder") << "src"
                                     << "folder";
    QTest::newRow("read-only target") << "src"
                                      << "readonly";
    QTest::newRow("missing source") << "nothing"
                                    << "target";
    QTest::newRow("source a folder") << "folder"
                                     << "target";
    QTest::newRow("folder of target missing") << "src"
                                              << "nowhere/target";
    // Reading fails after the copy has begun: the process's own memory at address 0.
    QTest::newRow("read error half way") << "/proc/self/mem"
                                         << "target";
}

void TestFileEditer::copyFailsAndKeepsTarget()
{
    QFETCH(QString, source);
    QFETCH(QString, target);
    writeFile(path("src"), "source");
    writeFile(path("target"), "old target");
    writeFile(path("readonly"), "protected");
    makeReadOnly(path("readonly"));
    QDir().mkdir(path("folder"));
    writeFile(path("folder/inside"), "inside");
    const QStringList before = entries(m_dir->path());

    w().Text1->setText(source.startsWith(u'/') ? source : path(source));
    w().Text2->setText(path(target));
    w().copyFile();

    QCOMPARE(m_boxes->shown().size(), size_t(0));
    // No temporary file is left behind either.
    QCOMPARE(entries(m_dir->path()), before);
    QCOMPARE(readFile(path("src")), QByteArray("source"));
    QCOMPARE(readFile(path("target")), QByteArray("old target"));
    QCOMPARE(readFile(path("readonly")), QByteArray("protected"));
    QCOMPARE(entries(path("folder")), QStringList{"inside"});
    QCOMPARE(w().Text1->text(), source.startsWith(u'/') ? source : path(source));
}

void TestFileEditer::rename_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QStringList>("after"); // what the temporary folder holds afterwards
    QTest::addColumn<bool>("succeeds");

    const QStringList unchanged = {"a.txt", "dir", "dir/in", "other"};
    // clang-format off
    QTest::newRow("same folder")
        << "a.txt" << "b.txt" << QStringList{"b.txt", "dir", "dir/in", "other"} << true;
    QTest::newRow("another folder")
        << "a.txt" << "other/a.doc" << QStringList{"dir", "dir/in", "other", "other/a.doc"} << true;
    QTest::newRow("folder path")
        << "dir" << "renamed" << QStringList{"a.txt", "other", "renamed", "renamed/in"} << true;
    QTest::newRow("onto itself") << "a.txt" << "./a.txt" << unchanged << true;
    QTest::newRow("missing source") << "none" << "b.txt" << unchanged << false;
    QTest::newRow("folder of target missing") << "a.txt" << "nowhere/b" << unchanged << false;
    QTest::newRow("wildcards are names, not patterns") << "*.txt" << "b.txt" << unchanged << false;
    // clang-format on
}

void TestFileEditer::rename()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QStringList, after);
    QFETCH(bool, succeeds);
    writeFile(path("a.txt"), "content");
    QDir().mkdir(path("dir"));
    writeFile(path("dir/in"), "in");
    QDir().mkdir(path("other"));
    w().Text1->setText(path(from));
    w().Text2->setText(path(to));

    w().Command4->click();

    QCOMPARE(prompts(*m_boxes),
             succeeds ? QStringList{"Basariyla Yeniden Adlandirildi!"} : QStringList{});
    QStringList found = entries(m_dir->path());
    for (const char *folder : {"dir", "other", "renamed"}) {
        for (const QString &name : entries(path(folder)))
            found << QLatin1String(folder) + u'/' + name;
    }
    found.sort();
    QCOMPARE(found, after);
    for (const QString &name : after) {
        if (name.endsWith(u".txt") || name.endsWith(u".doc"))
            QCOMPARE(readFile(path(name)), QByteArray("content"));
    }
    QCOMPARE(w().Text1->text(), path(from));
}

// Nothing is ever replaced: not a file, not a folder, not by a folder.
void TestFileEditer::renameNeverReplaces()
{
    writeFile(path("a"), "A");
    writeFile(path("b"), "B");
    QDir().mkdir(path("d"));
    const QList<QPair<QString, QString>> pairs = {{"a", "b"}, {"a", "d"}, {"d", "b"}};
    for (const auto &[from, to] : pairs) {
        w().Text1->setText(path(from));
        w().Text2->setText(path(to));
        w().yeniden->trigger();
    }
    QCOMPARE(m_boxes->shown().size(), size_t(0));
    QCOMPARE(entries(m_dir->path()), QStringList({"a", "b", "d"}));
    QCOMPARE(readFile(path("a")), QByteArray("A"));
    QCOMPARE(readFile(path("b")), QByteArray("B"));
    QVERIFY(QFileInfo(path("d")).isDir());
}

void TestFileEditer::deleteFiles_data()
{
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<bool>("succeeds");

    // The folder holds: a.txt, b.txt, c.doc, README, .hidden.txt, ro.txt (read-only),
    // sub.txt/ (a folder), link.txt -> c.doc.
    const QStringList all = {".hidden.txt", "README",   "a.txt",  "b.txt",
                             "c.doc",       "link.txt", "ro.txt", "sub.txt"};
    auto without = [&](const QStringList &gone) {
        QStringList rest = all;
        for (const QString &g : gone)
            rest.removeAll(g);
        return rest;
    };
    QTest::newRow("one file") << "a.txt" << without({"a.txt"}) << true;
    QTest::newRow("pattern") << "?.txt" << without({"a.txt", "b.txt"}) << true;
    QTest::newRow("pattern without a dot matches dotless names")
        << "*.*" << QStringList{".hidden.txt", "ro.txt", "sub.txt"} << false;
    QTest::newRow("pattern matching nothing") << "*.xls" << all << false;
    QTest::newRow("pattern matching a folder only") << "sub.t?t" << all << false;
    QTest::newRow("pattern with read-only match deletes the others")
        << "*.txt" << QStringList{".hidden.txt", "README", "c.doc", "ro.txt", "sub.txt"} << false;
    QTest::newRow("hidden files need a dot") << ".*.txt" << without({".hidden.txt"}) << true;
    QTest::newRow("folder path") << "sub.txt" << all << false;
    QTest::newRow("read-only file") << "ro.txt" << all << false;
    QTest::newRow("symbolic link goes, its target stays")
        << "link.txt" << without({"link.txt"}) << true;
    QTest::newRow("missing file") << "none" << all << false;
    QTest::newRow("blanks") << " " << all << false;
}

void TestFileEditer::deleteFiles()
{
    QFETCH(QString, text1);
    QFETCH(QStringList, left);
    QFETCH(bool, succeeds);
    for (const char *name : {"a.txt", "b.txt", "c.doc", "README", ".hidden.txt", "ro.txt"})
        writeFile(path(name), name);
    makeReadOnly(path("ro.txt"));
    QDir().mkdir(path("sub.txt"));
    writeFile(path("sub.txt/x.txt"), "x");
    QVERIFY(QFile::link(path("c.doc"), path("link.txt")));
    w().Text1->setText(text1 == u" " ? text1 : path(text1));
    w().Text2->clear(); // plays no part

    w().Command5->click();

    QCOMPARE(prompts(*m_boxes), succeeds ? QStringList{"Basariyla Silindi!"} : QStringList{});
    if (succeeds)
        QCOMPARE(m_boxes->shown().front().title, kTitle);
    QCOMPARE(entries(m_dir->path()), left);
    QCOMPARE(entries(path("sub.txt")), QStringList{"x.txt"});
    if (left.contains("c.doc"))
        QCOMPARE(readFile(path("c.doc")), QByteArray("c.doc"));
}

// The field still names the deleted file, so the second press finds nothing; the same for a
// pattern whose files are gone.
void TestFileEditer::deleteTwice()
{
    writeFile(path("a.log"), "a");
    writeFile(path("b.log"), "b");
    for (const QString &text : {path("a.log"), path("*.log")}) {
        m_boxes->clear();
        w().Text1->setText(text);
        w().sil->trigger();
        w().sil->trigger();
        QCOMPARE(prompts(*m_boxes), QStringList{"Basariyla Silindi!"});
        QCOMPARE(w().Text1->text(), text);
    }
    QCOMPARE(entries(m_dir->path()), QStringList{});
}

// Both buttons share one dialog object, whose remembered name the field takes even on a cancel.
void TestFileEditer::browse()
{
    tk::testing::ScriptedFileDialogs dialogs;
    w().Text1->setText("typed");
    dialogs.cancel();
    w().Command2->click();
    QCOMPARE(w().Text1->text(), QString());

    const QString chosen = path("new file.txt"); // need not exist
    dialogs.choose(chosen);
    w().Command2->click();
    QCOMPARE(w().Text1->text(), chosen);

    w().Text1->setText("typed again");
    dialogs.cancel();
    w().Command3->click();
    QCOMPARE(w().Text2->text(), chosen);
    QCOMPARE(w().Text1->text(), QStringLiteral("typed again"));

    QCOMPARE(dialogs.shown().size(), size_t(3));
    for (const tk::FileDialogRequest &request : dialogs.shown()) {
        QCOMPARE(request.mode, tk::DialogMode::Open);
        QCOMPARE(request.title, QString());
        QCOMPARE(request.fileTypeCaption, QString());
    }
    QCOMPARE(dialogs.shown()[0].proposedName, QString());
    QCOMPARE(dialogs.shown()[2].proposedName, chosen);
    QCOMPARE(m_boxes->shown().size(), size_t(0));

    // A window opened anew remembers nothing.
    FileEditer fresh;
    fresh.Text2->setText("typed");
    dialogs.cancel();
    fresh.Command3->click();
    QCOMPARE(fresh.Text2->text(), QString());
}

void TestFileEditer::fieldMenus_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("times");
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QString>("text2");
    QTest::addColumn<QString>("after1");
    QTest::addColumn<QString>("after2");

    // clang-format off
    QTest::newRow("copy12") << "copy12" << 1 << " a b " << "x" << " a b " << " a b ";
    QTest::newRow("copy12 empty source") << "copy12" << 1 << "" << "x" << "" << "";
    QTest::newRow("copy21") << "copy21" << 1 << "a" << " x " << " x " << " x ";
    QTest::newRow("swap one empty") << "replacetexts" << 1 << "" << "x" << "x" << "";
    QTest::newRow("swap twice") << "replacetexts" << 2 << "a" << "x" << "a" << "x";
    QTest::newRow("clear1") << "clear1" << 1 << "a" << "x" << "" << "x";
    QTest::newRow("clear2") << "clear2" << 1 << "a" << "x" << "a" << "";
    QTest::newRow("clearall") << "clearall" << 1 << "a" << "x" << "" << "";
    // clang-format on
}

void TestFileEditer::fieldMenus()
{
    QFETCH(QString, action);
    QFETCH(int, times);
    QFETCH(QString, text1);
    QFETCH(QString, text2);
    QFETCH(QString, after1);
    QFETCH(QString, after2);
    QAction *item = w().findChild<QAction *>(action);
    QVERIFY(item);
    w().Text1->setText(text1);
    w().Text2->setText(text2);
    for (int i = 0; i < times; ++i)
        item->trigger();
    QCOMPARE(w().Text1->text(), after1);
    QCOMPARE(w().Text2->text(), after2);
    QCOMPARE(m_boxes->shown().size(), size_t(0));
}

void TestFileEditer::drops_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QStringList>("files"); // empty: dragged text
    QTest::addColumn<QString>("expected");

    QTest::newRow("one file on Text1") << 1 << QStringList{"a b.txt"} << "a b.txt";
    QTest::newRow("three files on Text2")
        << 2 << QStringList{"c.txt", "a b.txt", "folder"} << "c.txt";
    QTest::newRow("folder on Text1") << 1 << QStringList{"folder"} << "folder";
    QTest::newRow("dragged text on Text2") << 2 << QStringList{} << "";
}

void TestFileEditer::drops()
{
    QFETCH(int, field);
    QFETCH(QStringList, files);
    QFETCH(QString, expected);
    QDir().mkdir(path("folder"));
    QLineEdit *target = field == 1 ? w().Text1 : w().Text2;
    QLineEdit *other = field == 1 ? w().Text2 : w().Text1;
    target->setText("old text");
    other->setText("other text");

    QMimeData data;
    QList<QUrl> urls;
    for (const QString &file : files)
        urls << QUrl::fromLocalFile(path(file));
    if (urls.isEmpty())
        data.setText("dragged text");
    else
        data.setUrls(urls);
    const QPoint centre = target->rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QCOMPARE(enter.isAccepted(), !files.isEmpty());
    QDropEvent drop(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);

    QCOMPARE(target->text(), expected.isEmpty() ? QStringLiteral("old text") : path(expected));
    QCOMPARE(other->text(), QStringLiteral("other text"));
    QCOMPARE(m_boxes->shown().size(), size_t(0));
}

QTEST_MAIN(TestFileEditer)
#include "tst_file_editer.moc"
