// The Text Editer window driven through its handlers, on real files, with every box and dialog
// answered by the toolkit's stand-ins.

#include "launcher/toolkit_testing.h"
#include "text_editer/text_editer_window.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <sys/stat.h>

using tk::testing::ScriptedBoxes;
using tk::testing::ScriptedFileDialogs;

namespace {
QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// Types into a box as a user would; "\n" presses Enter.
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

void drop(QWidget *target, QMimeData *data)
{
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent dropEvent(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropEvent);
}
} // namespace

class TextEditerTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void look()
    {
        TextEditer w;
        w.show();
        QCOMPARE(w.windowTitle(), QStringLiteral("tarnwick's Text Editer"));
        QCOMPARE(w.client()->size(), QSize(379, 399));
        const QRect area = w.client()->rect();
        for (QWidget *child : w.client()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            QVERIFY2(area.contains(child->geometry()), qPrintable(child->objectName()));
            QString caption = child->property("text").toString();
            caption.remove(u'&');
            if (!qobject_cast<QAbstractButton *>(child) && !qobject_cast<QLabel *>(child))
                continue;
            // Room for the caption, plus a button's frame.
            const int frame = qobject_cast<QAbstractButton *>(child) ? 12 : 0;
            const QFontMetrics fm = child->fontMetrics();
            QVERIFY2(fm.horizontalAdvance(caption) + frame <= child->width(), qPrintable(caption));
            QVERIFY2(fm.height() <= child->height(), qPrintable(caption));
        }
        QVERIFY(!w.Text3->isEnabled() && !w.Text4->isEnabled());
        QCOMPARE(w.Text2->accessibleName(), QStringLiteral("aranacak text"));
        QCOMPARE(w.Text4->accessibleName(), QStringLiteral("kaç tane?"));

        // Tab order from the big box through every box and button, and round again.
        const QList<QWidget *> order = {w.Text1,     w.Text2,    w.Text5,    w.Text6,
                                        w.Command1,  w.Command4, w.Command3, w.Command5,
                                        w.Command6,  w.Command2, w.Command9, w.Command10,
                                        w.Command11, w.Command7, w.Command8, w.Text1};
        auto nextStop = [](QWidget *from) {
            QWidget *next = from->nextInFocusChain();
            while (!(next->focusPolicy() & Qt::TabFocus) || !next->isEnabled())
                next = next->nextInFocusChain();
            return next;
        };
        for (qsizetype i = 1; i < order.size(); ++i)
            QCOMPARE(nextStop(order[i - 1]), order[i]);
    }

    void openFile()
    {
        writeFile(path("a.txt"), "  first\nsecond  ");
        TextEditer w;
        ScriptedFileDialogs dialogs;
        dialogs.choose(path("a.txt"));
        w.openFile();
        QCOMPARE(w.Text1->text(), QStringLiteral("first\nsecond"));
        const tk::FileDialogRequest &request = dialogs.shown().at(0);
        QCOMPARE(request.mode, tk::DialogMode::Open);
        QCOMPARE(request.title, QStringLiteral("tarnwick"));
        QCOMPARE(request.fileTypeCaption, QStringLiteral("Text(*.txt;*.doc)"));
        QCOMPARE(request.filePatterns, (QStringList{"*.txt", "*.doc"}));
        QCOMPARE(request.proposedName, QString());

        // A cancel keeps the text; the save dialog proposes the name chosen for opening.
        dialogs.cancel();
        w.openFile();
        QCOMPARE(w.Text1->text(), QStringLiteral("first\nsecond"));
        dialogs.cancel();
        w.save();
        QCOMPARE(dialogs.shown().at(2).mode, tk::DialogMode::Save);
        QCOMPARE(dialogs.shown().at(2).proposedName, path("a.txt"));

        // A typed name of a missing file creates it and empties the box.
        dialogs.choose(path("typed.txt"));
        w.openFile();
        QCOMPARE(w.Text1->text(), QString());
        QCOMPARE(readAll(path("typed.txt")), QByteArray());

        // A file that cannot be read empties the box too.
        w.Text1->setText(QStringLiteral("old"));
        dialogs.choose(m_dir.path());
        w.openFile();
        QCOMPARE(w.Text1->text(), QString());

        // A read-only file loads.
        writeFile(path("ro.txt"), "read only");
        QVERIFY(chmod(QFile::encodeName(path("ro.txt")).constData(), 0444) == 0);
        dialogs.choose(path("ro.txt"));
        w.openFile();
        QCOMPARE(w.Text1->text(), QStringLiteral("read only"));
    }

    void dropFiles()
    {
        writeFile(path("one.txt"), "one");
        writeFile(path("two.txt"), "two");
        TextEditer w;
        w.show();
        QWidget *viewport = w.Text1->viewport();

        auto *files = new QMimeData;
        files->setUrls(
            {QUrl::fromLocalFile(path("one.txt")), QUrl::fromLocalFile(path("two.txt"))});
        drop(viewport, files);
        QCOMPARE(w.Text1->text(), QStringLiteral("one"));

        // Dragged text carries no file: the box keeps its text and takes none of the drag.
        auto *text = new QMimeData;
        text->setText(QStringLiteral("stray"));
        drop(viewport, text);
        QCOMPARE(w.Text1->text(), QStringLiteral("one"));
        w.dropFiles({});
        QCOMPARE(w.Text1->text(), QStringLiteral("one"));

        // A folder is a path and loads as nothing.
        w.dropFiles({m_dir.path()});
        QCOMPARE(w.Text1->text(), QString());
        delete files;
        delete text;
    }

    void showLength()
    {
        TextEditer w;
        w.show();
        ScriptedBoxes boxes;
        w.showLength();
        type(w.Text1, QStringLiteral("ab\nc"));
        QTest::mouseDClick(w.Label1, Qt::LeftButton);
        QCOMPARE(boxes.shown().size(), 2u);
        QCOMPARE(boxes.shown().at(0).prompt, QStringLiteral("Dosya uzunlugu: 0"));
        const tk::MessageBoxRequest &box = boxes.shown().at(1);
        QCOMPARE(box.prompt, QStringLiteral("Dosya uzunlugu: 5"));
        QCOMPARE(box.title, QStringLiteral("Text Editer"));
        QCOMPARE(box.buttons, tk::Buttons::Ok);
        QCOMPARE(box.icon, tk::Icon::None);
    }

    void closing()
    {
        TextEditer w;
        w.show();
        w.Text1->setText(QStringLiteral("unsaved"));
        ScriptedBoxes boxes;
        tk::testing::EndProgramSpy endProgram;

        boxes.answer(tk::Answer::No);
        w.closeProgram();
        boxes.answer(tk::Answer::No);
        QVERIFY(!w.close());
        QVERIFY(w.isVisible());
        QCOMPARE(w.Text1->text(), QStringLiteral("unsaved"));
        QCOMPARE(endProgram.count(), 0);
        for (const tk::MessageBoxRequest &box : boxes.shown()) {
            QCOMPARE(box.prompt, QStringLiteral("Emin misiniz?"));
            QCOMPARE(box.title, QStringLiteral("Kapamak..."));
            QCOMPARE(box.buttons, tk::Buttons::YesNo);
            QCOMPARE(box.icon, tk::Icon::Question);
        }

        // Yes on "Kapat" ends the program with no second question.
        boxes.clear();
        boxes.answer(tk::Answer::Yes);
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        QCOMPARE(endProgram.count(), 1);
        QCOMPARE(boxes.shown().size(), 1u);

        boxes.answer(tk::Answer::Yes);
        QVERIFY(w.close());
        QVERIFY(!w.isVisible());
    }

    void search()
    {
        TextEditer w;
        ScriptedBoxes boxes;
        w.Text1->setText(QStringLiteral("aaaa"));
        w.Text3->setText(QStringLiteral("before"));
        w.Text4->setText(QStringLiteral("7"));
        w.search();
        QCOMPARE(boxes.shown().size(), 1u);
        QCOMPARE(boxes.shown().at(0).prompt, QStringLiteral("Aranacak kelime girin"));
        QCOMPARE(boxes.shown().at(0).title, tk::kProgramTitle);
        QCOMPARE(boxes.shown().at(0).icon, tk::Icon::None);
        QCOMPARE(w.Text3->text(), QStringLiteral("before"));
        QCOMPARE(w.Text4->text(), QStringLiteral("7"));

        w.Text2->setText(QStringLiteral("aa"));
        w.search();
        QCOMPARE(w.Text3->text(), QStringLiteral("evet"));
        QCOMPARE(w.Text4->text(), QStringLiteral("2"));
        QCOMPARE(w.Text1->text(), QStringLiteral("aaaa"));
    }

    // A line break typed into a small box is CR LF; it finds the line breaks of the file text
    // whichever form they have.
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
        TextEditer w;
        w.show();
        w.dropFiles({path("lines.txt")});
        type(w.Text2, QStringLiteral("b\nc"));
        w.search();
        QCOMPARE(w.Text3->text(), QStringLiteral("evet"));
        QCOMPARE(w.Text4->text(), QStringLiteral("2"));

        type(w.Text5, QStringLiteral("b\nc"));
        type(w.Text6, QStringLiteral("B\nC"));
        w.replaceOldText();
        QByteArray expected = file;
        expected.replace("b\r\nc", "B\r\nC").replace("b\nc", "B\nC");
        QCOMPARE(w.Text1->text(), QString::fromUtf8(expected));
    }

    void removeAndReplace_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("oldText");
        QTest::addColumn<QString>("newText");
        QTest::addColumn<QString>("removed");
        QTest::addColumn<QString>("replaced");
        QTest::newRow("b") << "abcb"
                           << "b"
                           << "x"
                           << "ac"
                           << "axcx";
        QTest::newRow("not rescanned") << "aa"
                                       << "a"
                                       << "aa"
                                       << ""
                                       << "aaaa";
        QTest::newRow("empty old") << "abc"
                                   << ""
                                   << "x"
                                   << "abc"
                                   << "abc";
        QTest::newRow("empty new") << "abcb"
                                   << "b"
                                   << ""
                                   << "ac"
                                   << "ac";
        QTest::newRow("case differs") << "Ali ali"
                                      << "ali"
                                      << "Veli"
                                      << "Ali "
                                      << "Ali Veli";
    }
    void removeAndReplace()
    {
        QFETCH(QString, text);
        QFETCH(QString, oldText);
        QFETCH(QString, newText);
        TextEditer w;
        w.Text1->setText(text);
        w.Text5->setText(oldText);
        w.Text6->setText(newText);
        w.removeOldText();
        QTEST(w.Text1->text(), "removed");
        w.Text1->setText(text);
        w.replaceOldText();
        QTEST(w.Text1->text(), "replaced");
    }

    void clears()
    {
        TextEditer w;
        const QList<MultiLineBox *> boxes = {w.Text2, w.Text5, w.Text6};
        auto fill = [&] {
            w.Text1->setText(QStringLiteral("1"));
            for (MultiLineBox *box : boxes)
                box->setText(QStringLiteral("x"));
            w.Text3->setText(QStringLiteral("evet"));
            w.Text4->setText(QStringLiteral("3"));
        };
        fill();
        w.clearFileText();
        QCOMPARE(w.Text1->text(), QString());
        for (MultiLineBox *box : boxes)
            QCOMPARE(box->text(), QStringLiteral("x"));
        QCOMPARE(w.Text4->text(), QStringLiteral("3"));
        w.clearAll();
        for (MultiLineBox *box : boxes + QList<MultiLineBox *>{w.Text1})
            QCOMPARE(box->text(), QString());
        QVERIFY(w.Text3->text().isEmpty() && w.Text4->text().isEmpty());
    }

    void save()
    {
        TextEditer w;
        ScriptedFileDialogs dialogs;
        ScriptedBoxes boxes;
        const QString out = path("saved.txt");
        writeFile(out, "an older and longer file");
        w.Text1->setText(QStringLiteral("abc"));
        dialogs.choose(out);
        w.save();
        QCOMPARE(readAll(out), QByteArray("abc\r\n"));
        QCOMPARE(dialogs.shown().at(0).title, QStringLiteral("tarnwick"));

        w.Text1->setText({});
        dialogs.cancel();
        w.save();
        QCOMPARE(readAll(out), QByteArray("abc\r\n"));
        dialogs.choose(out);
        w.save();
        QCOMPARE(readAll(out), QByteArray("\r\n"));

        // Unwritable targets: nothing said, nothing changed.
        writeFile(path("locked.txt"), "locked");
        QVERIFY(chmod(QFile::encodeName(path("locked.txt")).constData(), 0444) == 0);
        w.Text1->setText(QStringLiteral("keep"));
        for (const QString &target : {path("locked.txt"), m_dir.path(), path("none/x.txt")}) {
            dialogs.choose(target);
            w.save();
        }
        QCOMPARE(readAll(path("locked.txt")), QByteArray("locked"));
        QVERIFY(!QFileInfo::exists(path("none")));
        QCOMPARE(w.Text1->text(), QStringLiteral("keep"));
        QVERIFY(boxes.shown().empty());
    }

    // Loading keeps a file's line breaks; each save adds one CR LF.
    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("LF") << QByteArray("one\ntwo \n");
        QTest::newRow("CR LF") << QByteArray("one\r\ntwo \r\n");
        QTest::newRow("non-ASCII") << QByteArray("\xEF\xBB\xBFşey\r\n");
    }
    void roundTrip()
    {
        QFETCH(QByteArray, file);
        writeFile(path("trip.txt"), file);
        TextEditer w;
        ScriptedFileDialogs dialogs;
        dialogs.choose(path("trip.txt"));
        w.openFile();
        dialogs.choose(path("trip.txt"));
        w.save();
        QCOMPARE(readAll(path("trip.txt")), file + "\r\n");
    }

    void clipboard()
    {
        TextEditer w;
        w.Text1->setText(QStringLiteral("line\r\nnext"));
        w.cutText();
        QCOMPARE(w.Text1->text(), QString());
        w.pasteText();
        QCOMPARE(w.Text1->text(), QStringLiteral("line\r\nnext"));

        // Copying an empty box drops whatever the clipboard held.
        auto *rich = new QMimeData;
        rich->setHtml(QStringLiteral("<b>x</b>"));
        rich->setImageData(QImage(2, 2, QImage::Format_RGB32));
        QGuiApplication::clipboard()->setMimeData(rich);
        w.Text1->setText({});
        w.copyText();
        QVERIFY(!QGuiApplication::clipboard()->mimeData()->hasImage());
        QVERIFY(!QGuiApplication::clipboard()->mimeData()->hasHtml());
        w.Text1->setText(QStringLiteral("old"));
        w.pasteText();
        QCOMPARE(w.Text1->text(), QString());

        // A picture alone is no text.
        QGuiApplication::clipboard()->setImage(QImage(2, 2, QImage::Format_RGB32));
        w.Text1->setText(QStringLiteral("old"));
        w.pasteText();
        QCOMPARE(w.Text1->text(), QString());
    }
};

QTEST_MAIN(TextEditerTest)
#include "tst_text_editer.moc"
