// SPDX-License-Identifier: GPL-3.0-or-later
// The toolkit layer where it departs from Qt's defaults: the real file dialog's filter and typed
// names, drops that carry no file, message boxes without a title, and the progress window.

#include "tests/support/stand_ins.h"
#include "tests/test_files.h"
#include "toolkit/textbox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

namespace {

// Runs `inspect` on the real file dialog once it is up; `inspect` closes it.
void whenDialogShows(const std::function<void(QFileDialog *)> &inspect)
{
    QTimer::singleShot(0, [inspect] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        inspect(dialog);
    });
}

void touch(const QString &path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
}

// What a tool deleting files would have its progress window say.
tk::ProgressTexts deletingFiles()
{
    const auto howFar = [](qint64 done, qint64 total) -> QString {
        return tk::turkishNumber(done) + QStringLiteral(" / ") + tk::turkishNumber(total) +
               QStringLiteral(" dosya");
    };
    return {QStringLiteral("Siliniyor…"),
            [howFar](qint64 done, qint64 total) -> QString {
                return QStringLiteral("Siliniyor… ") + howFar(done, total);
            },
            [howFar](qint64 done, qint64 total) -> QString {
                return howFar(done, total) + QStringLiteral(" silindi; kalanlar iptal edildi.");
            }};
}

} // namespace

class ToolkitLayer : public QObject {
    Q_OBJECT
private slots:
    void fileTypeListsEveryPattern_data();
    void fileTypeListsEveryPattern();
    void typedMissingNameIsAccepted();
    void cancelKeepsRememberedName();
    void dropsDeliverLocalPathsOnly();
    void untitledBoxShowsProgramTitle();
    void typedLineBreakCountsTwo();
    void textSetByCodeReadsBackAsSet_data();
    void textSetByCodeReadsBackAsSet();
    void editedTextKeepsItsLineBreakKind();
    void progressWindowDecidedByFirstTotal_data();
    void progressWindowDecidedByFirstTotal();
    void cancelledProgressKeepsStopping();
    void progressWindowOutlivedByItsParent();
};

// The first type is the one chosen when the dialog opens; the others list what it hides.
void ToolkitLayer::fileTypeListsEveryPattern_data()
{
    QTest::addColumn<int>("chosen");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("first type, as opened") << -1 << QStringList{"a.txt", "b.doc"};
    QTest::newRow("all files") << 1 << QStringList{"a.txt", "b.doc", "c.pdf"};
}

void ToolkitLayer::fileTypeListsEveryPattern()
{
    QFETCH(int, chosen);
    QFETCH(QStringList, listed);
    QTemporaryDir dir;
    for (const char *name : {"a.txt", "b.doc", "c.pdf"})
        touch(dir.filePath(name));
    tk::FileDialog files;
    files.setTitle(QStringLiteral("tarnwick"));
    files.setFileType(QStringLiteral("Text(*.txt;*.doc)"), {"*.txt", "*.doc"});
    files.addFileType(QStringLiteral("Tüm dosyalar (*)"), {"*"});

    QStringList shown, captions;
    QString caption, title;
    bool confirmsOverwrite = true;
    whenDialogShows([&](QFileDialog *dialog) {
        title = dialog->windowTitle();
        auto *types = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        caption = types->currentText();
        for (int i = 0; i < types->count(); ++i)
            captions << types->itemText(i);
        if (chosen >= 0) {
            types->setCurrentIndex(chosen);
            emit types->activated(chosen);
        }
        confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
        dialog->setDirectory(dir.path());
        auto *view = dialog->findChild<QAbstractItemView *>(QStringLiteral("listView"));
        QTRY_COMPARE(view->model()->rowCount(view->rootIndex()), listed.size());
        for (int row = 0; row < listed.size(); ++row)
            shown << view->model()->index(row, 0, view->rootIndex()).data().toString();
        dialog->reject();
    });
    QVERIFY(!files.show(nullptr, tk::DialogMode::Save));
    QCOMPARE(title, QStringLiteral("tarnwick"));
    QCOMPARE(caption, QStringLiteral("Text(*.txt;*.doc)"));
    QCOMPARE(captions, (QStringList{"Text(*.txt;*.doc)", QStringLiteral("Tüm dosyalar (*)")}));
    QVERIFY(!confirmsOverwrite);
    shown.sort();
    QCOMPARE(shown, listed);
}

void ToolkitLayer::typedMissingNameIsAccepted()
{
    QTemporaryDir dir;
    const QString missing = dir.filePath("yeni.txt");
    tk::FileDialog files;
    whenDialogShows([&](QFileDialog *dialog) {
        dialog->setDirectory(dir.path());
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText("yeni.txt");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    QVERIFY(files.show(nullptr, tk::DialogMode::Open));
    QCOMPARE(files.fileName(), missing);
    QVERIFY(!QFile::exists(missing));
}

void ToolkitLayer::cancelKeepsRememberedName()
{
    tk::testing::ScriptedFileDialogs dialogs;
    tk::FileDialog files;
    dialogs.cancel();
    QVERIFY(!files.show(nullptr, tk::DialogMode::Open));
    QCOMPARE(files.fileName(), QString());
    dialogs.choose(QStringLiteral("/tmp/x.txt"));
    dialogs.cancel();
    QVERIFY(files.show(nullptr, tk::DialogMode::Open));
    QVERIFY(!files.show(nullptr, tk::DialogMode::Save));
    QCOMPARE(files.fileName(), QStringLiteral("/tmp/x.txt"));
    QCOMPARE(dialogs.shown().back().proposedName, QStringLiteral("/tmp/x.txt"));
    QCOMPARE(dialogs.shown().back().mode, tk::DialogMode::Save);

    // Two files the dialog shows alike: the choice is refused as a cancel, with a box that asks
    // for the path to be typed or the file dropped.
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    testfiles::writeNative(folder + "/caf\xE9.txt", "latin");
    testfiles::writeNative(folder + "/caf\xEF\xBF\xBD.txt", "replacement");
    tk::testing::ScriptedBoxes boxes;
    files.setTitle(QStringLiteral("tarnwick"));
    dialogs.choose(dir.filePath(QStringLiteral("caf\uFFFD.txt")));
    QVERIFY(!files.show(nullptr, tk::DialogMode::Open));
    QCOMPARE(files.fileName(), QStringLiteral("/tmp/x.txt"));
    QCOMPARE(boxes.shown().size(), size_t(1));
    QCOMPARE(boxes.shown()[0].title, QStringLiteral("tarnwick"));
    QCOMPARE(boxes.shown()[0].icon, tk::Icon::Exclamation);
    // Qt cannot remove a name that is not UTF-8.
    QCOMPARE(::unlink(QByteArray(folder + "/caf\xE9.txt").constData()), 0);
}

void ToolkitLayer::dropsDeliverLocalPathsOnly()
{
    tk::MultiLineBox box;
    box.setText(QStringLiteral("unsaved"));
    QList<QStringList> drops;
    tk::acceptFileDrops(&box, [&](const QStringList &paths) { drops << paths; });

    auto *files = new QMimeData;
    files->setUrls({QUrl::fromLocalFile("/tmp/b.txt"), QUrl::fromLocalFile("/tmp/a b.txt"),
                    QUrl(QStringLiteral("https://example.org/x"))});
    QVERIFY(tk::testing::dropOn(box.viewport(), files));
    QCOMPARE(drops, (QList<QStringList>{{"/tmp/b.txt", "/tmp/a b.txt"}}));

    auto *text = new QMimeData;
    text->setText(QStringLiteral("dragged text"));
    QVERIFY(!tk::testing::dropOn(box.viewport(), text));
    QCOMPARE(drops.size(), 1);
    QCOMPARE(box.text(), QStringLiteral("unsaved"));
    delete files;
    delete text;
}

void ToolkitLayer::untitledBoxShowsProgramTitle()
{
    tk::testing::ScriptedBoxes boxes;
    boxes.answer(tk::Answer::No);
    QCOMPARE(tk::messageBox(nullptr, QStringLiteral("?"), tk::Buttons::YesNo, tk::Icon::Question),
             tk::Answer::No);
    QCOMPARE(tk::messageBox(nullptr, QStringLiteral("!")), tk::Answer::Ok);
    QCOMPARE(boxes.shown().size(), size_t(2));
    QCOMPARE(boxes.shown()[0].title, QStringLiteral("tarnwick's Toolkit"));
    QCOMPARE(boxes.shown()[0].defaultButton, tk::Answer::Yes);
    QCOMPARE(boxes.shown()[1].buttons, tk::Buttons::Ok);
}

void ToolkitLayer::typedLineBreakCountsTwo()
{
    tk::MultiLineBox box;
    box.show();
    box.setFocus();
    QTest::keyClicks(&box, QStringLiteral("ab"));
    QTest::keyClick(&box, Qt::Key_Return);
    QTest::keyClicks(&box, QStringLiteral("c"));
    QCOMPARE(box.text(), QStringLiteral("ab\r\nc"));
    QCOMPARE(box.text().size(), 5);
}

void ToolkitLayer::textSetByCodeReadsBackAsSet_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("LF") << QStringLiteral("one\ntwo\n");
    QTest::newRow("CR LF") << QStringLiteral("one\r\ntwo\r\n");
    QTest::newRow("mixed, lone CR, no-break space") << QStringLiteral("a\rb\r\nc\nd\u00A0e");
    QTest::newRow("empty") << QString();
}

void ToolkitLayer::textSetByCodeReadsBackAsSet()
{
    QFETCH(QString, text);
    tk::MultiLineBox box;
    box.setText(text);
    QCOMPARE(box.text(), text);
}

void ToolkitLayer::editedTextKeepsItsLineBreakKind()
{
    tk::MultiLineBox box;
    box.show();
    box.setText(QStringLiteral("a\nb"));
    QTest::keyClick(&box, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(&box, Qt::Key_Return);
    QTest::keyClicks(&box, QStringLiteral("c\u00A0"));
    QCOMPARE(box.text(), QStringLiteral("a\nb\nc\u00A0"));

    box.setText(QStringLiteral("a\r\nb"));
    QTest::keyClick(&box, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(&box, Qt::Key_Return);
    QCOMPARE(box.text(), QStringLiteral("a\r\nb\r\n"));
}

void ToolkitLayer::progressWindowDecidedByFirstTotal_data()
{
    QTest::addColumn<QList<qint64>>("totals");
    QTest::addColumn<QList<qint64>>("shown");
    QTest::newRow("big, then bigger") << QList<qint64>{11, 50} << QList<qint64>{11};
    QTest::newRow("nothing, then big") << QList<qint64>{0, 50} << QList<qint64>{};
}

void ToolkitLayer::progressWindowDecidedByFirstTotal()
{
    QFETCH(QList<qint64>, totals);
    QFETCH(QList<qint64>, shown);
    tk::testing::ScriptedProgress windows;
    tk::ProgressWindow progress(nullptr, 10, deletingFiles());
    for (qint64 total : totals)
        progress.setTotal(total);
    QCOMPARE(QList<qint64>(windows.shown().begin(), windows.shown().end()), shown);
}

void ToolkitLayer::cancelledProgressKeepsStopping()
{
    QWidget parent;
    tk::ProgressWindow progress(&parent, 10, deletingFiles());
    progress.setTotal(100);
    auto *dialog = parent.findChild<QProgressDialog *>();
    QVERIFY(dialog);
    auto *cancel = dialog->findChild<QPushButton *>();
    QCOMPARE(cancel->text(), QStringLiteral("İptal"));
    QCOMPARE(dialog->findChild<QProgressBar *>()->accessibleName(), QStringLiteral("Siliniyor…"));
    QTest::qWait(30);
    QVERIFY(progress.advance(12));
    QCOMPARE(dialog->findChild<QLabel *>()->text(), QStringLiteral("Siliniyor… 12 / 100 dosya"));
    cancel->click();
    // The click is seen at the window's next update; from then on every answer is stop, those
    // between two updates too.
    QTest::qWait(30);
    QVERIFY(!progress.advance(13));
    QVERIFY(!progress.advance(14));
    QTest::qWait(30);
    QVERIFY(!progress.advance(15));
    tk::testing::ScriptedBoxes boxes;
    progress.tellIfCancelled();
    QCOMPARE(boxes.shown().size(), size_t(1));
    QCOMPARE(boxes.shown()[0].prompt,
             QStringLiteral("13 / 100 dosya silindi; kalanlar iptal edildi."));
}

void ToolkitLayer::progressWindowOutlivedByItsParent()
{
    auto *parent = new QWidget;
    tk::ProgressWindow progress(parent, 10, deletingFiles());
    progress.setTotal(100);
    QVERIFY(parent->findChild<QProgressDialog *>());
    delete parent; // takes the window with it; the progress must not delete it again
    QTest::qWait(30);
    QVERIFY(!progress.advance(1));
}

QTEST_MAIN(ToolkitLayer)
#include "tst_toolkit.moc"
