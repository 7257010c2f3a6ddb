// SPDX-License-Identifier: GPL-3.0-or-later
// The Diverter driven through its handlers, on real files in a temporary folder, with every
// message box answered by the stand-in.

#include "diverter/diverter_window.h"
#include "tests/support/stand_ins.h"
#include "tests/test_files.h"
#include "toolkit/toolkit.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sys/stat.h>

using namespace testfiles;

namespace {

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

class TestDiverterWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_tmp;
    std::unique_ptr<diverter::DiverterWindow> m_w;
    QString t; // the temporary folder

    // Goes to `folder` as a user would: typing its path and pressing Enter.
    void enter(const QString &folder)
    {
        m_w->folderPathBox->setText(folder);
        QTest::keyClick(m_w->folderPathBox, Qt::Key_Return);
    }

private slots:
    void init()
    {
        m_tmp = std::make_unique<QTemporaryDir>();
        t = m_tmp->path();
        writeFile(t + "/a.txt", "0123456789");
        writeFile(t + "/B.doc", QByteArray(2048, 'b'));
        m_w = std::make_unique<diverter::DiverterWindow>();
        enter(t);
        QCOMPARE(m_w->folderList->path(), t);
    }
    void cleanup()
    {
        m_w.reset();
        m_tmp.reset();
    }

    void initialState()
    {
        diverter::DiverterWindow fresh;
        QCOMPARE(fresh.folderPathBox->text(), QDir::currentPath());
        QCOMPARE(fresh.folderList->path(), QDir::currentPath());
        QCOMPARE(fresh.fileList->path(), QDir::currentPath());
        QCOMPARE(fresh.sizeSeparatorBox->text(), QStringLiteral(" "));
        QCOMPARE(fresh.filterBox->text(), QStringLiteral("*.*"));
        QVERIFY(!fresh.sizesCheck->isChecked());
        QVERIFY(fresh.listingBox->text().isEmpty() && fresh.nameSeparatorBox->text().isEmpty());
        QCOMPARE(fresh.folderPathBox->accessibleName(), QStringLiteral("Aktif Klasör:"));
        QCOMPARE(fresh.sizeSeparatorBox->accessibleDescription(),
                 QStringLiteral("Dosya boyutlari için Ayraç"));
    }

    void navigation()
    {
        tk::testing::ScriptedBoxes boxes;
        QVERIFY(QDir(t).mkpath("sub/deeper"));
        QVERIFY(QDir(t).mkdir(".hidden"));
        writeFile(t + "/sub/in-sub.txt", "s");

        // An existing folder, typed untidily: the lists follow and folderPathBox shows the clean
        // path.
        enter(t + "/sub/deeper/..//");
        QCOMPARE(m_w->folderList->path(), t + "/sub");
        QCOMPARE(m_w->folderPathBox->text(), t + "/sub");
        QCOMPARE(m_w->fileList->items(), QStringList({"in-sub.txt"}));
        QCOMPARE(m_w->folderList->rowPaths().last(), t + "/sub/deeper");

        // A missing folder: nothing moves and the typed text stays.
        enter(t + "/nowhere");
        QCOMPARE(m_w->folderList->path(), t + "/sub");
        QCOMPARE(m_w->folderPathBox->text(), t + "/nowhere");
        QCOMPARE(m_w->fileList->items(), QStringList({"in-sub.txt"}));

        // Keys other than Enter are typing.
        m_w->folderPathBox->setText(t);
        QTest::keyClick(m_w->folderPathBox, Qt::Key_A);
        QCOMPARE(m_w->folderList->path(), t + "/sub");

        // A double-click on the parent in the chain, hidden folders not offered.
        m_w->folderList->openRow(int(m_w->folderList->rowPaths().indexOf(t)));
        QCOMPARE(m_w->folderPathBox->text(), t);
        QCOMPARE(m_w->fileList->items(), QStringList({"a.txt", "B.doc"}));
        QVERIFY(!m_w->folderList->rowPaths().contains(t + "/.hidden"));

        enter("/");
        QCOMPARE(m_w->folderList->path(), QStringLiteral("/"));
        QCOMPARE(m_w->folderPathBox->text(), QStringLiteral("/"));
        QCOMPARE(m_w->driveList->drive(), QStringLiteral("/"));
        QVERIFY(boxes.shown().empty());
    }

    void otherDrives()
    {
        QVERIFY(QDir(t).mkpath("drive/sub"));
        QVERIFY(QDir(t).mkpath("gone"));
        const QString drive = t + "/drive", gone = t + "/gone";
        bool goneMounted = true;
        m_w->driveList->setMountSource([&] {
            QList<diverter::drives::Mount> list{{"/", {}}, {drive, "D"}};
            if (goneMounted)
                list << diverter::drives::Mount{gone, {}};
            return list;
        });

        // Enter in a folder on another drive: the folder list goes there first, then the drive
        // change takes it to that drive's current folder, its root (the working folder is not
        // on it).
        enter(drive + "/sub");
        QCOMPARE(m_w->driveList->drive(), drive);
        QCOMPARE(m_w->folderList->path(), drive);
        QCOMPARE(m_w->folderPathBox->text(), drive);

        // A drive that is no longer mounted is not ready: the lists stay, the choice shows.
        goneMounted = false;
        m_w->driveList->setCurrentIndex(2);
        QCOMPARE(m_w->driveList->drive(), gone);
        QCOMPARE(m_w->folderList->path(), drive);

        // The root drive as a bare drive: the working folder lies on it.
        m_w->driveList->setCurrentIndex(0);
        QCOMPARE(m_w->folderList->path(), QDir::currentPath());
        QCOMPARE(m_w->folderPathBox->text(), QDir::currentPath());
    }

    void filterFollowsEachKeystroke()
    {
        writeFile(t + "/c", "");
        m_w->filterBox->selectAll();
        QTest::keyClick(m_w->filterBox, Qt::Key_Backspace);
        QCOMPARE(m_w->fileList->count(), 0);
        const QList<QPair<char, QStringList>> steps{
            {'*', {"a.txt", "B.doc", "c"}}, {'.', {"c"}}, {'t', {}}, {'x', {}}, {'t', {"a.txt"}}};
        for (const auto &[key, expected] : steps) {
            QTest::keyClick(m_w->filterBox, key);
            QCOMPARE(m_w->fileList->items(), expected);
        }
        QCOMPARE(m_w->fileList->pattern(), QStringLiteral("*.txt"));
    }

    void refreshAndReset()
    {
        writeFile(t + "/new.txt", "");
        QCOMPARE(m_w->fileList->count(), 2);
        QTest::keyClick(m_w.get(), Qt::Key_F5); // only a caption
        QCOMPARE(m_w->fileList->count(), 2);
        m_w->refreshButton->click();
        QCOMPARE(m_w->fileList->count(), 3);

        m_w->listingBox->setText("big");
        m_w->filterBox->setText("*.doc");
        m_w->nameSeparatorBox->setText(",");
        m_w->folderPathBox->setText("typed");
        m_w->oldTextBox->setText("old");
        m_w->newTextBox->setText("new");
        m_w->sizeSeparatorBox->setText("=");
        m_w->sizesCheck->setChecked(true);
        QCOMPARE(m_w->fileList->count(), 1);
        m_w->resetButton->click();
        for (const QString &text : {m_w->listingBox->text(), m_w->nameSeparatorBox->text(),
                                    m_w->oldTextBox->text(), m_w->newTextBox->text()})
            QVERIFY(text.isEmpty());
        QCOMPARE(m_w->filterBox->text(), QStringLiteral("*.*"));
        QCOMPARE(m_w->fileList->count(), 3);
        QCOMPARE(m_w->folderPathBox->text(), t);
        QCOMPARE(m_w->sizeSeparatorBox->text(), QStringLiteral(" "));
        QVERIFY(m_w->sizesCheck->isChecked());
        QCOMPARE(m_w->folderList->path(), t);
    }

    void listing_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("nameSeparator");
        QTest::addColumn<bool>("sizes");
        QTest::addColumn<QString>("sizeSeparator");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("transferred");
        QTest::addColumn<QString>("appended");
        // clang-format off
        QTest::newRow("line breaks") << "x" << "\r\n" << false << " " << "*.*" << "\r\na.txt\r\nB.doc" << "x\r\na.txt\r\nB.doc";
        QTest::newRow("empty separator") << "" << "" << false << " " << "*.*" << "a.txtB.doc" << "a.txtB.doc";
        QTest::newRow("sizes, default separator") << "x" << "" << true << " " << "*.*" << "a.txt 10B.doc 2048" << "xa.txt 10B.doc 2048";
        QTest::newRow("sizes, line breaks") << "" << "\r\n" << true << " " << "*.*" << "\r\na.txt 10\r\nB.doc 2048" << "\r\na.txt 10\r\nB.doc 2048";
        QTest::newRow("long separators") << "x" << "; " << true << "\t=" << "*.*" << "; a.txt\t=10; B.doc\t=2048" << "x; a.txt\t=10; B.doc\t=2048";
        QTest::newRow("no entries") << "x" << "\r\n" << true << " " << "*.none" << "" << "x";
        // clang-format on
    }
    void listing()
    {
        QFETCH(QString, before);
        QFETCH(QString, nameSeparator);
        QFETCH(bool, sizes);
        QFETCH(QString, sizeSeparator);
        QFETCH(QString, pattern);
        QFETCH(QString, transferred);
        QFETCH(QString, appended);
        m_w->filterBox->setText(pattern);
        m_w->nameSeparatorBox->setText(nameSeparator);
        m_w->sizeSeparatorBox->setText(sizeSeparator);
        m_w->sizesCheck->setChecked(sizes);
        m_w->listingBox->setText(before);
        m_w->appendButton->click();
        QCOMPARE(m_w->listingBox->text(), appended);
        m_w->listingBox->setText(before);
        m_w->transferButton->click();
        QCOMPARE(m_w->listingBox->text(), transferred);
    }

    void listingAsTyped()
    {
        // Enter in the separator box types CR LF; text typed into the big box stays before an
        // appended listing.
        QTest::keyClick(m_w->nameSeparatorBox, Qt::Key_Return);
        QTest::keyClicks(m_w->listingBox, "notes");
        m_w->appendButton->click();
        QCOMPARE(m_w->listingBox->text(), QStringLiteral("notes\r\na.txt\r\nB.doc"));

        // A file removed since the list read the folder keeps its place with an empty size.
        writeFile(t + "/c.txt", "abc");
        m_w->refreshButton->click();
        QVERIFY(QFile::remove(t + "/B.doc"));
        m_w->sizesCheck->setChecked(true);
        m_w->transferButton->click();
        QCOMPARE(m_w->listingBox->text(), QStringLiteral("\r\na.txt 10\r\nB.doc \r\nc.txt 3"));

        tk::clipboardPut("old");
        m_w->copyButton->click();
        QCOMPARE(tk::clipboardText(), m_w->listingBox->text());
        m_w->listingBox->setText({});
        m_w->copyButton->click();
        QCOMPARE(tk::clipboardText(), QString());
    }

    void batch_data()
    {
        QTest::addColumn<bool>("copy");
        QTest::addColumn<QString>("oldText");
        QTest::addColumn<QString>("newText");
        QTest::addColumn<QStringList>("changes"); // files made or renamed: name=content
        QTest::addColumn<QStringList>("gone");
        // Files: a1.txt "one", a2.txt "two", b.TXT "upper", banana "fruit", and zaa1.dat,
        // which the filter "a*;b*" leaves out.
        // clang-format off
        QTest::newRow("rename onto an existing name") << false << "1" << "2" << QStringList() << QStringList();
        QTest::newRow("copy onto a later entry") << true << "1" << "2" << QStringList({"a2.txt=one"}) << QStringList();
        QTest::newRow("rename, empty old text") << false << "" << "x" << QStringList() << QStringList();
        QTest::newRow("copy, empty old text") << true << "" << "x" << QStringList() << QStringList();
        QTest::newRow("rename, empty new text") << false << "a" << "" << QStringList({"1.txt=one", "2.txt=two", "bnn=fruit"}) << QStringList({"a1.txt", "a2.txt", "banana"});
        QTest::newRow("rename, whole name removed") << false << "banana" << "" << QStringList() << QStringList();
        QTest::newRow("copy, whole name removed") << true << "banana" << "" << QStringList() << QStringList();
        QTest::newRow("letter case counts") << false << "TXT" << "doc" << QStringList({"b.doc=upper"}) << QStringList({"b.TXT"});
        QTest::newRow("rename, every occurrence") << false << "a" << "b" << QStringList({"b1.txt=one", "b2.txt=two", "bbnbnb=fruit"}) << QStringList({"a1.txt", "a2.txt", "banana"});
        QTest::newRow("copy, every occurrence") << true << "a" << "b" << QStringList({"b1.txt=one", "b2.txt=two", "bbnbnb=fruit"}) << QStringList();
        // A new text that holds "/" leads into a subfolder, as the system resolves the path; a
        // missing subfolder fails.
        QTest::newRow("rename, a slash in the new name") << false << "a1" << "sub/a1" << QStringList({"sub/a1.txt=one"}) << QStringList({"a1.txt"});
        QTest::newRow("copy, a slash in the new name") << true << "a" << "sub/" << QStringList({"sub/1.txt=one", "sub/2.txt=two"}) << QStringList();
        QTest::newRow("rename through a subfolder and back") << false << "a1" << "sub/../c1" << QStringList({"c1.txt=one"}) << QStringList({"a1.txt"});
        QTest::newRow("missing subfolder") << false << "a1" << "none/a1" << QStringList() << QStringList();
        // clang-format on
    }
    void batch()
    {
        QFETCH(bool, copy);
        QFETCH(QString, oldText);
        QFETCH(QString, newText);
        QFETCH(QStringList, changes);
        QFETCH(QStringList, gone);
        QVERIFY(QFile::remove(t + "/a.txt") && QFile::remove(t + "/B.doc"));
        QVERIFY(QDir(t).mkdir("sub"));
        writeFile(t + "/a1.txt", "one");
        writeFile(t + "/a2.txt", "two");
        writeFile(t + "/b.TXT", "upper");
        writeFile(t + "/banana", "fruit");
        writeFile(t + "/zaa1.dat", "z");
        m_w->filterBox->setText("a*;b*");
        const QStringList listed = m_w->fileList->items();
        QCOMPARE(listed, QStringList({"a1.txt", "a2.txt", "b.TXT", "banana"}));

        QMap<QString, QByteArray> expected;
        for (const QString &name : filesIn(t))
            expected[name] = readAll(t + "/" + name);
        for (const QString &name : gone)
            expected.remove(name);
        for (const QString &change : changes)
            expected[change.section('=', 0, 0)] = change.section('=', 1).toUtf8();

        m_w->oldTextBox->setText(oldText);
        m_w->newTextBox->setText(newText);
        (copy ? m_w->createButton : m_w->renameButton)->click();

        QMap<QString, QByteArray> actual;
        for (const QString &name : filesIn(t))
            actual[name] = readAll(t + "/" + name);
        for (const QString &name : filesIn(t + "/sub"))
            actual["sub/" + name] = readAll(t + "/sub/" + name);
        QCOMPARE(actual, expected);
        // The list is not refreshed by a run.
        QCOMPARE(m_w->fileList->items(), listed);
    }

    void batchOverStaleListAndReadOnlyTarget()
    {
        writeFile(t + "/a1.txt", "one");
        writeFile(t + "/a2.txt", "two");
        m_w->refreshButton->click();
        makeReadOnly(t + "/a2.txt");
        m_w->oldTextBox->setText("1");
        m_w->newTextBox->setText("2");
        m_w->createButton->click(); // a read-only target is not replaced
        QCOMPARE(readAll(t + "/a2.txt"), QByteArray("two"));

        m_w->oldTextBox->setText(".");
        m_w->newTextBox->setText("_");
        m_w->renameButton->click();
        QCOMPARE(filesIn(t), QStringList({"B_doc", "a1_txt", "a2_txt", "a_txt"}));
        // A second click works on the names shown before, which are gone.
        m_w->renameButton->click();
        QCOMPARE(filesIn(t), QStringList({"B_doc", "a1_txt", "a2_txt", "a_txt"}));
        m_w->refreshButton->click();
        QCOMPARE(m_w->fileList->items(), QStringList({"a1_txt", "a2_txt", "a_txt", "B_doc"}));
    }

    void bulkDelete_data()
    {
        QTest::addColumn<QList<tk::Answer>>("answers");
        QTest::addColumn<int>("questions");
        QTest::addColumn<bool>("deletes");
        // clang-format off
        QTest::newRow("no at the first") << QList<tk::Answer>{tk::Answer::No} << 1 << false;
        QTest::newRow("no at the second") << QList<tk::Answer>{tk::Answer::Yes, tk::Answer::No} << 2 << false;
        QTest::newRow("yes to both") << QList<tk::Answer>{} << 2 << true; // the defaults
        // clang-format on
    }
    void bulkDelete()
    {
        QFETCH(QList<tk::Answer>, answers);
        QFETCH(int, questions);
        QFETCH(bool, deletes);
        QTemporaryDir outside;
        writeFile(outside.path() + "/target", "kept");
        writeFile(t + "/m-readonly.txt", "ro");
        makeReadOnly(t + "/m-readonly.txt");
        writeFile(t + "/z.txt", "z");
        writeFile(t + "/.hidden", "h");
        writeFile(t + "/skip.dat", "filtered out");
        QVERIFY(QDir(t).mkdir("sub"));
        QVERIFY(QFile::link(outside.path() + "/target", t + "/link.txt"));
        m_w->filterBox->setText("*.txt;*.doc");
        const QStringList before = filesIn(t);

        tk::testing::ScriptedBoxes boxes;
        for (tk::Answer a : answers)
            boxes.answer(a);
        m_w->deleteButton->click();
        QCOMPARE(int(boxes.shown().size()), questions);
        const tk::MessageBoxRequest &first = boxes.shown()[0];
        QCOMPARE(first.prompt, QStringLiteral("Liste kutusundaki bütün dosyalari silmek "
                                              "istediginizden emin misiniz?"));
        QCOMPARE(first.title, QStringLiteral("Onay"));
        QCOMPARE(first.icon, tk::Icon::Question);
        QCOMPARE(first.buttons, tk::Buttons::YesNo);
        QCOMPARE(first.defaultButton, tk::Answer::Yes);
        if (questions == 2) {
            const tk::MessageBoxRequest &second = boxes.shown()[1];
            QCOMPARE(second.prompt, QStringLiteral("Bütün bu dosyalar silinir, telafisi yoktur, "
                                                   "yine de silmek istiyor musunuz?"));
            QCOMPARE(second.icon, tk::Icon::Exclamation);
            QCOMPARE(second.defaultButton, tk::Answer::Yes);
        }
        if (!deletes) {
            QCOMPARE(filesIn(t), before);
            return;
        }
        const QStringList left{".hidden", "m-readonly.txt", "skip.dat"};
        QCOMPARE(filesIn(t), left);
        QVERIFY(QFileInfo(t + "/sub").isDir());
        QCOMPARE(readAll(outside.path() + "/target"), QByteArray("kept"));
        QCOMPARE(m_w->fileList->count(), 5); // not refreshed

        // Again over the stale names: both questions, and nothing more goes.
        boxes.clear();
        m_w->deleteButton->click();
        QCOMPARE(int(boxes.shown().size()), 2);
        QCOMPARE(filesIn(t), left);
    }

    // The renames and creates are kept for Ctrl+Z and Ctrl+Y, and the two buttons' menus offer
    // them beside a preview. Each row starts from a.txt and B.doc, listed, with "." to "_".
    void historyKeysAndMenu_data()
    {
        QTest::addColumn<int>("before"); // 0: nothing done, 1: renamed, 2: renamed and taken back
        QTest::addColumn<QString>("focus");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QKeySequence>("keys"); // none: a right click
        QTest::addColumn<tk::Answer>("answer");
        QTest::addColumn<QStringList>("menu"); // [disabled]
        QTest::addColumn<int>("entry");        // the menu entry chosen, or -1
        QTest::addColumn<int>("boxes");
        QTest::addColumn<QString>("told"); // the last message, when it is checked
        QTest::addColumn<QStringList>("disk");
        QTest::addColumn<QString>("counts"); // the preview's, when one opens
        const QStringList listed{"B.doc", "a.txt"}, renamed{"B_doc", "a_txt"};
        const QKeySequence undo("Ctrl+Z"), redo("Ctrl+Y"), menuKey(Qt::Key_Menu);
        const auto yes = tk::Answer::Yes, no = tk::Answer::No;
        // clang-format off
        QTest::newRow("Ctrl+Z on the button") << 1 << "renameButton" << false << undo << yes << QStringList() << -1 << 2 << "2 dosya eski adına döndü." << listed << QString();
        QTest::newRow("Ctrl+Z answered no") << 1 << "createButton" << false << undo << no << QStringList() << -1 << 1 << QString() << renamed << QString();
        QTest::newRow("Ctrl+Z in the eski box") << 1 << "oldTextBox" << false << undo << yes << QStringList() << -1 << 0 << QString() << renamed << QString();
        QTest::newRow("Ctrl+Z in a read-only box") << 1 << "listingBox" << true << undo << yes << QStringList() << -1 << 2 << QString() << listed << QString();
        QTest::newRow("Ctrl+Y") << 2 << "renameButton" << false << redo << yes << QStringList() << -1 << 2 << "2 dosya yeniden yeni adını aldı." << renamed << QString();
        QTest::newRow("Ctrl+Shift+Z") << 2 << "folderList" << false << QKeySequence("Ctrl+Shift+Z") << yes << QStringList() << -1 << 2 << QString() << renamed << QString();
        QTest::newRow("Ctrl+Y in the yeni box") << 2 << "newTextBox" << false << redo << yes << QStringList() << -1 << 0 << QString() << listed << QString();
        QTest::newRow("Ctrl+Z with nothing done") << 0 << "renameButton" << false << undo << yes << QStringList() << -1 << 0 << QString() << listed << QString();
        QTest::newRow("right click, nothing done") << 0 << "renameButton" << false << QKeySequence() << yes << QStringList({"Önizle…", "[Geri al]", "[Yinele]"}) << -1 << 0 << QString() << listed << QString();
        QTest::newRow("menu key after a rename") << 1 << "createButton" << false << menuKey << yes << QStringList({"Önizle…", "Geri al: yeniden adlandırma (2 dosya)", "[Yinele]"}) << 1 << 2 << QString() << listed << QString();
        QTest::newRow("Shift+F10 after an undo") << 2 << "renameButton" << false << QKeySequence("Shift+F10") << yes << QStringList({"Önizle…", "[Geri al]", "Yinele: yeniden adlandırma (2 dosya)"}) << 2 << 2 << QString() << renamed << QString();
        QTest::newRow("preview of the rename") << 0 << "renameButton" << false << menuKey << yes << QStringList() << 0 << 0 << QString() << listed << "2 dosya yeniden adlandırılacak.";
        QTest::newRow("preview over a stale list") << 1 << "createButton" << false << menuKey << yes << QStringList() << 0 << 0 << QString() << renamed << "2 dosya oluşturulamayacak: dosya yok ya da artık sıradan bir dosya değil.";
        // clang-format on
    }
    void historyKeysAndMenu()
    {
        QFETCH(int, before);
        QFETCH(QString, focus);
        QFETCH(bool, readOnly);
        QFETCH(QKeySequence, keys);
        QFETCH(tk::Answer, answer);
        QFETCH(QStringList, menu);
        QFETCH(int, entry);
        QFETCH(int, boxes);
        QFETCH(QString, told);
        QFETCH(QStringList, disk);
        QFETCH(QString, counts);
        m_w->show();
        QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
        tk::testing::ScriptedBoxes shown;
        m_w->oldTextBox->setText(".");
        m_w->newTextBox->setText("_");
        if (before > 0)
            m_w->renameButton->click();
        if (before > 1) {
            shown.answer(tk::Answer::Yes);
            m_w->undoBatch();
        }
        shown.clear();

        auto *target = m_w->findChild<QWidget *>(focus);
        target->setProperty("readOnly", readOnly);
        target->setFocus();
        // Typed text the box itself takes back.
        auto *line = qobject_cast<QLineEdit *>(target);
        const QString typed = line ? line->text() : QString();
        if (line)
            QTest::keyClick(line, 'q');
        shown.answer(answer);
        if (keys.isEmpty()) {
            QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(2, 2),
                                    target->mapToGlobal(QPoint(2, 2)));
            QApplication::sendEvent(target, &click);
        } else {
            QTest::keyClick(target, keys[0].key(), keys[0].keyboardModifiers());
        }
        if (line)
            QCOMPARE(line->text(), keys == QKeySequence("Ctrl+Z") ? typed : typed + 'q');

        if (!menu.isEmpty() || entry >= 0) {
            QVERIFY(m_w->batchMenu && m_w->batchMenu->isVisible());
            QStringList entries;
            for (const QAction *action : m_w->batchMenu->actions())
                entries << (action->isEnabled() ? action->text() : '[' + action->text() + ']');
            if (!menu.isEmpty())
                QCOMPARE(entries, menu);
            if (entry >= 0)
                m_w->batchMenu->actions().at(entry)->trigger();
        }
        QCOMPARE(int(shown.shown().size()), boxes);
        if (boxes > 0) {
            QCOMPARE(shown.shown()[0].title, QStringLiteral("Onay"));
            QCOMPARE(shown.shown()[0].buttons, tk::Buttons::YesNo);
        }
        if (!told.isEmpty())
            QCOMPARE(shown.shown().back().prompt, told);
        QCOMPARE(filesIn(t), disk);
        QCOMPARE(bool(m_w->previewDialog), !counts.isEmpty());
        if (m_w->previewDialog) {
            QCOMPARE(m_w->previewDialog->countsLabel->text(), counts);
            QCOMPARE(m_w->previewDialog->table->model()->rowCount(), 2);
            QCOMPARE(m_w->previewDialog->windowTitle(), m_w->windowTitle());
        }
        // The list is not read again.
        QCOMPARE(m_w->fileList->items(), QStringList({"a.txt", "B.doc"}));
    }

    // Over 2,000 files a batch gets a progress window; its Cancel stops the loop after the file
    // at hand, and the files already handled stay handled.
    void bigBatchCancelled_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("files");
        QTest::addColumn<bool>("window");
        QTest::addColumn<int>("handled");
        QTest::addColumn<QString>("told"); // the last message, or nothing
        // clang-format off
        QTest::newRow("rename, 2001 files") << "rename" << 2001 << true << 5 << "5 / 2.001 dosya yeniden adlandırıldı; kalanlar iptal edildi.";
        QTest::newRow("create, 2001 files") << "create" << 2001 << true << 5 << "5 / 2.001 dosya oluşturuldu; kalanlar iptal edildi.";
        QTest::newRow("delete, 2001 files") << "delete" << 2001 << true << 5 << "5 / 2.001 dosya silindi; kalanlar iptal edildi.";
        QTest::newRow("rename, 2000 files") << "rename" << 2000 << false << 2000 << QString();
        QTest::newRow("undo, 2001 files") << "undo" << 2001 << true << 5 << "5 dosya eski adına döndü. İptal edildi: 5 / 2.001 dosya ele alındı, kalanlara dokunulmadı.";
        // clang-format on
    }
    void bigBatchCancelled()
    {
        QFETCH(QString, button);
        QFETCH(int, files);
        QFETCH(bool, window);
        QFETCH(int, handled);
        QFETCH(QString, told);
        for (int i = 0; i < files; ++i)
            writeNative(QFile::encodeName(t) + "/f" + QByteArray::number(i), {});
        m_w->filterBox->setText("f*");
        QCOMPARE(m_w->fileList->count(), files);
        m_w->oldTextBox->setText("f");
        m_w->newTextBox->setText("g");
        // An undo takes back a whole rename, and its İptal is told in its one message.
        const bool back = button == "undo";
        if (back)
            m_w->renameButton->click();

        tk::testing::ScriptedBoxes boxes;
        tk::testing::ScriptedProgress progress;
        progress.cancelAt(5);
        if (back)
            m_w->undoBatch();
        else
            (button == "rename"   ? m_w->renameButton
             : button == "create" ? m_w->createButton
                                  : m_w->deleteButton)
                ->click();

        QCOMPARE(progress.shown(), window ? std::vector<qint64>{files} : std::vector<qint64>{});
        const int f = int(QDir(t).entryList({"f*"}, QDir::Files).size());
        const int g = int(QDir(t).entryList({"g*"}, QDir::Files).size());
        QCOMPARE(back ? g : f, button == "create" ? files : files - handled);
        QCOMPARE(back ? f : g, button == "delete" ? 0 : handled);
        QCOMPARE(told.isEmpty() ? QString() : boxes.shown().back().prompt, told);
        QCOMPARE(boxes.shown().size(), size_t(button == "delete" ? 2 : back) + !told.isEmpty());
        QVERIFY(!QApplication::overrideCursor());
    }
};

QTEST_MAIN(TestDiverterWindow)
#include "tst_diverter_window.moc"
