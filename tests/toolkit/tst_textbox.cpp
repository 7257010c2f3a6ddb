// SPDX-License-Identifier: GPL-3.0-or-later
// The multi-line box where its keys, mouse and screen-reader reports carry logic of their own: line
// breaks of two characters, rows of wrapped lines, undo of whole-text changes, ranges reported.

#include "toolkit/textbox.h"
#include "toolkit/textbox_accessible.h"
#include "toolkit/textbox_layout.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalSpy>
#include <QTest>

#include <climits>

namespace {

// What the box told a screen reader of its text since "screen reader" in press(): each change as
// `told KIND POSITION-CURSOR "REMOVED" "INSERTED"`.
QStringList g_told;

void hear(QAccessibleEvent *event)
{
    const auto told = [](const char *kind, const QAccessibleTextCursorEvent *e, int position,
                         const QString &removed, const QString &inserted) {
        g_told << QStringLiteral("told %1 %2-%3 \"%4\" \"%5\"")
                      .arg(QLatin1String(kind))
                      .arg(position)
                      .arg(e->cursorPosition())
                      .arg(removed, inserted);
    };
    if (event->type() == QAccessible::TextInserted) {
        const auto *e = static_cast<QAccessibleTextInsertEvent *>(event);
        told("inserted", e, e->changePosition(), {}, e->textInserted());
    } else if (event->type() == QAccessible::TextRemoved) {
        const auto *e = static_cast<QAccessibleTextRemoveEvent *>(event);
        told("removed", e, e->changePosition(), e->textRemoved(), {});
    } else if (event->type() == QAccessible::TextUpdated) {
        const auto *e = static_cast<QAccessibleTextUpdateEvent *>(event);
        told("updated", e, e->changePosition(), e->textRemoved(), e->textInserted());
    }
}

// Presses each key of a list written as "Right", "Shift+Left", "Ctrl+End", or types the text after
// a '"', a character a key; the text after a '=' is set as setText sets it, after a '#' as
// setTextFresh does; "%old|new" replaces every match as Replace does. An input method composes the
// text after a '~' and commits the text after a '!', which may end in "|start|length" for the
// stretch around the caret it replaces. The mouse and the clipboard are written as tst_textbox_fuzz
// writes them: "click 5,20", "Shift+click 5,20", "drag 5,20 80,40", "double-click 5,20",
// "triple-click 5,20" (or "triple-click 5,20 80,40", dragged on), "clipboard TEXT". "read-only"
// makes the box read-only; "shortcut Ctrl+Z" gives its window a shortcut that appends "<Ctrl+Z>" to
// the text when it runs; "screen reader" listens to what the box tells one (g_told).
void press(tk::MultiLineBox &box, const QStringList &keys)
{
    for (const QString &key : keys) {
        if (key == QStringLiteral("read-only")) {
            box.setReadOnly(true);
            continue;
        }
        if (key == QStringLiteral("screen reader")) {
            tk::setScreenReaderListener(hear);
            continue;
        }
        if (key.startsWith(QStringLiteral("shortcut "))) {
            const QString name = key.mid(9);
            auto *shortcut = new QShortcut(QKeySequence(name), box.window());
            QObject::connect(shortcut, &QShortcut::activated, &box, [&box, name] {
                box.setText(QString(box.text() + u'<' + name + u'>'));
            });
            continue;
        }
        if (key.startsWith(u'"')) {
            // QTest::keyClicks sends Latin-1 only and splits surrogate pairs.
            for (const char32_t c : key.mid(1).toUcs4()) {
                const QString typed = QString::fromUcs4(&c, 1);
                QTest::sendKeyEvent(QTest::Click, &box, Qt::Key(QChar::toUpper(c)), typed, {});
            }
            continue;
        }
        if (key.startsWith(u'%')) { // "%old|new": a handler's replacement of every match
            const QStringList parts = key.mid(1).split(u'|');
            box.replaceAll(parts[0], parts[1]);
            continue;
        }
        if (key.startsWith(u'=') || key.startsWith(u'#')) {
            if (key.startsWith(u'='))
                box.setText(key.mid(1));
            else
                box.setTextFresh(key.mid(1));
            continue;
        }
        if (key.startsWith(u'~') || key.startsWith(u'!')) {
            const QStringList fields = key.mid(1).split(u'|');
            QInputMethodEvent event(key.startsWith(u'~') ? fields[0] : QString(), {});
            if (key.startsWith(u'!'))
                event.setCommitString(fields[0], fields.value(1).toInt(), fields.value(2).toInt());
            QApplication::sendEvent(&box, &event);
            continue;
        }
        const QStringList words = key.split(u' ');
        QList<QPoint> points;
        for (const QString &word : words.mid(1)) {
            const QStringList xy = word.split(u',');
            points << QPoint(xy[0].toInt(), xy.value(1).toInt());
        }
        QWidget *view = box.viewport();
        if (words[0].endsWith(QStringLiteral("click")) || words[0] == QStringLiteral("drag")) {
            if (words[0] == QStringLiteral("drag")) {
                QTest::mousePress(view, Qt::LeftButton, {}, points[0]);
                QTest::mouseMove(view, points[1]);
                QTest::mouseRelease(view, Qt::LeftButton, {}, points[1]);
                continue;
            }
            QTest::mouseClick(view, Qt::LeftButton,
                              words[0].startsWith(QStringLiteral("Shift+")) ? Qt::ShiftModifier
                                                                            : Qt::NoModifier,
                              points[0]);
            if (words[0] == QStringLiteral("double-click") ||
                words[0] == QStringLiteral("triple-click")) {
                QTest::mouseDClick(view, Qt::LeftButton, {}, points[0]);
                QTest::mouseRelease(view, Qt::LeftButton, {}, points[0]);
            }
            // A third press within the double-click time, dragged on to a second point if any.
            if (words[0] == QStringLiteral("triple-click")) {
                QTest::mousePress(view, Qt::LeftButton, {}, points[0]);
                if (points.size() > 1)
                    QTest::mouseMove(view, points[1]);
                QTest::mouseRelease(view, Qt::LeftButton, {}, points.back());
            }
            continue;
        }
        if (words[0] == QStringLiteral("clipboard")) {
            QGuiApplication::clipboard()->setText(key.mid(words[0].size() + 1));
            continue;
        }
        const QKeySequence sequence(key);
        QTest::keyClick(&box, sequence[0].key(), sequence[0].keyboardModifiers());
    }
}

} // namespace

namespace tk {

char *toString(const BoxLayout::Row &row)
{
    return QTest::toString(QStringLiteral("unit %1 row %2").arg(row.unit).arg(row.row));
}

} // namespace tk

class TextBoxTest : public QObject {
    Q_OBJECT
private slots:
    void init() { QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9)); }

    void keys_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("anchorAfter");
        QTest::addColumn<int>("caretAfter");
        const QString crlf = QStringLiteral("ab\r\ncd");
        // clang-format off
        QTest::newRow("Right steps over CR LF at once") << crlf << 2 << QStringList{"Right"} << crlf << 4 << 4;
        QTest::newRow("Left steps back over it") << crlf << 4 << QStringList{"Left"} << crlf << 2 << 2;
        QTest::newRow("Backspace at a line start takes the whole break") << crlf << 4 << QStringList{"Backspace"} << QStringLiteral("abcd") << 2 << 2;
        QTest::newRow("Delete before a break takes it whole") << crlf << 2 << QStringList{"Del"} << QStringLiteral("abcd") << 2 << 2;
        QTest::newRow("lone CR is a break too") << QStringLiteral("ab\rcd") << 3 << QStringList{"Backspace"} << QStringLiteral("abcd") << 2 << 2;
        QTest::newRow("Shift+Right selects, typing replaces the selection") << crlf << 1 << QStringList{"Shift+Right", "Shift+Right", "\"X"} << QStringLiteral("aXcd") << 2 << 2;
        QTest::newRow("Left with a selection goes to its start") << crlf << 0 << QStringList{"Shift+Right", "Shift+Right", "Left"} << crlf << 0 << 0;
        QTest::newRow("Ctrl+Right goes to the next word") << QStringLiteral("one two") << 0 << QStringList{"Ctrl+Right"} << QStringLiteral("one two") << 4 << 4;
        QTest::newRow("Down keeps the column over a shorter line") << QStringLiteral("abcdef\r\nab\r\nabcdef") << 5 << QStringList{"Down", "Down"} << QStringLiteral("abcdef\r\nab\r\nabcdef") << 17 << 17;
        QTest::newRow("Down on the last line goes to the end") << crlf << 4 << QStringList{"Down"} << crlf << 6 << 6;
        QTest::newRow("Ctrl+Shift+Home selects to the start") << crlf << 5 << QStringList{"Ctrl+Shift+Home"} << crlf << 5 << 0;
        QTest::newRow("End then Home on a line") << crlf << 4 << QStringList{"End", "Shift+Home"} << crlf << 6 << 4;
        QTest::newRow("Enter types CR LF") << QStringLiteral("ab") << 1 << QStringList{"Return"} << QStringLiteral("a\r\nb") << 3 << 3;
        QTest::newRow("Ctrl+Backspace takes the word") << QStringLiteral("one two") << 7 << QStringList{"Ctrl+Backspace"} << QStringLiteral("one ") << 4 << 4;
        QTest::newRow("typing is one undo step") << crlf << 6 << QStringList{"\"xyz", "Ctrl+Z"} << crlf << 6 << 6;
        QTest::newRow("undo after a caret move keeps the first typing") << crlf << 6 << QStringList{"\"x", "Left", "Right", "\"y", "Ctrl+Z"} << QStringLiteral("ab\r\ncdx") << 7 << 7;
        QTest::newRow("redo") << crlf << 6 << QStringList{"\"x", "Ctrl+Z", "Ctrl+Y"} << QStringLiteral("ab\r\ncdx") << 7 << 7;
        QTest::newRow("Ctrl+A, Ctrl+X") << crlf << 0 << QStringList{"Ctrl+A", "Ctrl+X"} << QString() << 0 << 0;
        QTest::newRow("Ctrl+Left goes to the word's start") << QStringLiteral("one two") << 7 << QStringList{"Ctrl+Left"} << QStringLiteral("one two") << 4 << 4;
        QTest::newRow("a caret set inside CR LF goes before it") << crlf << 3 << QStringList{} << crlf << 2 << 2;
        QTest::newRow("a caret set inside a surrogate pair goes before it") << QStringLiteral("a\U0001F600") << 2 << QStringList{} << QStringLiteral("a\U0001F600") << 1 << 1;
        QTest::newRow("undo brings back the LF line break with the text") << QStringLiteral("a\nb") << 0 << QStringList{"Ctrl+A", "Backspace", "=c", "Ctrl+Z", "Ctrl+Z", "Return"} << QStringLiteral("a\nb\n") << 4 << 4;
        QTest::newRow("an emoji key types the emoji") << QStringLiteral("ab") << 2 << QStringList{"\"\U0001F600"} << QStringLiteral("ab\U0001F600") << 4 << 4;
        // A line of more than 2,000 characters is laid out in pieces; the first piece's last row
        // wraps on into the next piece, as a wrapped row does into the next row.
        QTest::newRow("End on a row that wraps on goes to the row's end") << QString(2100, u'a') << 1999 << QStringList{"End"} << QString(2100, u'a') << 2000 << 2000;
        // A deletion that brings a lone CR before a LF keeps both lines; the CR becomes a CR LF
        // of its own, and the caret never stands inside it.
        const QString crThenLf = QStringLiteral("a\rb\nc");
        const QString keptApart = QStringLiteral("a\r\n\nc");
        QTest::newRow("Backspace between a lone CR and a LF") << crThenLf << 3 << QStringList{"Backspace"} << keptApart << 3 << 3;
        QTest::newRow("Delete between a lone CR and a LF") << crThenLf << 2 << QStringList{"Del"} << keptApart << 3 << 3;
        QTest::newRow("Ctrl+Backspace between a lone CR and a LF") << crThenLf << 3 << QStringList{"Ctrl+Backspace"} << keptApart << 3 << 3;
        QTest::newRow("Ctrl+Delete between a lone CR and a LF") << crThenLf << 2 << QStringList{"Ctrl+Del"} << keptApart << 3 << 3;
        QTest::newRow("Backspace of a CR LF between a lone CR and a LF takes one line") << QStringLiteral("a\r\r\n\nb") << 4 << QStringList{"Backspace"} << QStringLiteral("a\r\n\nb") << 3 << 3;
        QTest::newRow("Enter after a lone CR in a LF box adds a line") << crThenLf << 2 << QStringList{"Return"} << QStringLiteral("a\r\n\nb\nc") << 4 << 4;
        // A pending pre-edit is no part of the text: a key move commits or clears it first.
        QTest::newRow("a key move ends the pre-edit") << QStringLiteral("ab") << 0 << QStringList{"End", "~\u00B8", "Home", "Ctrl+Right"} << QStringLiteral("ab") << 2 << 2;
        QTest::newRow("an input method replaces a whole surrogate pair") << QStringLiteral("a\U0001F600") << 3 << QStringList{"!x|-1|1"} << QStringLiteral("ax") << 2 << 2;
        QTest::newRow("an input method replaces a whole CR LF") << crlf << 4 << QStringList{"!|-1|1"} << QStringLiteral("abcd") << 2 << 2;
        // Undoing a whole-text change (a handler's setText) brings back the caret and the
        // selection as they stood before it; redoing it, as they stood when it was undone.
        QTest::newRow("undoing a whole-text change brings back the selection") << QStringLiteral("one two") << 0 << QStringList{"End", "Shift+Left", "Shift+Left", "=new text", "Ctrl+Z"} << QStringLiteral("one two") << 7 << 5;
        QTest::newRow("redoing it brings back the caret as it stood after it") << QStringLiteral("one two") << 0 << QStringList{"=new text", "End", "Ctrl+Z", "Ctrl+Y"} << QStringLiteral("new text") << 8 << 8;
        QTest::newRow("undoing a replacement brings back the selection") << QStringLiteral("one two") << 0 << QStringList{"End", "Shift+Left", "Shift+Left", "%o|0", "Ctrl+Z"} << QStringLiteral("one two") << 7 << 5;
        QTest::newRow("redoing a replacement that changed the length brings back the caret") << QStringLiteral("one two") << 0 << QStringList{"%one|1", "End", "Ctrl+Z", "Ctrl+Y"} << QStringLiteral("1 two") << 5 << 5;
        QTest::newRow("the caret before a whole-text change outlasts the typing after it") << QStringLiteral("one two") << 3 << QStringList{"=new", "End", "\"x", "=newer", "Ctrl+Z", "Ctrl+Z", "Ctrl+Z"} << QStringLiteral("one two") << 3 << 3;
        // A triple click takes the whole line, wrapped or not, with its line break; a drag from
        // it goes on by whole lines.
        const int row = QFontMetrics(QFont(QStringLiteral("DejaVu Sans"), 9)).height();
        const QString firstRow = QStringLiteral("triple-click 12,%1").arg(4 + row / 2);
        const QString secondRow = QStringLiteral("triple-click 12,%1").arg(4 + row + row / 2);
        const QString twoLines = QStringLiteral("one two\r\nthree four");
        QTest::newRow("a triple click selects the line with its line break") << twoLines << 0 << QStringList{firstRow} << twoLines << 0 << 9;
        QTest::newRow("a triple click on the last line selects to the end") << twoLines << 0 << QStringList{secondRow} << twoLines << 9 << 19;
        const QString wrapped = QString(QStringLiteral("word ").repeated(100) + u'\n' + u'x');
        QTest::newRow("a triple click selects the whole of a wrapped line") << wrapped << 0 << QStringList{secondRow} << wrapped << 0 << 501;
        const QString threeLines = QStringLiteral("a1\r\nb2\r\nc3");
        QTest::newRow("a drag up from a triple click selects whole lines") << threeLines << 0 << QStringList{QString(secondRow + QStringLiteral(" 30,%1").arg(4 + row / 2))} << threeLines << 8 << 0;
        // The box sits in a window whose button "&Arat" appends "<Arat>" when it runs. A key
        // that a window's accelerator or shortcut claims is never typed; an editable box keeps
        // what it types without Alt, Ctrl or Meta, a read-only box claims no editing key.
        QTest::newRow("Alt+A runs the button, types nothing") << QStringLiteral("ab") << 2 << QStringList{"Alt+A"} << QStringLiteral("ab<Arat>") << 0 << 0;
        QPlainTextEdit plain(QStringLiteral("ab"));
        plain.moveCursor(QTextCursor::End);
        QTest::keyClick(&plain, Qt::Key_Q, Qt::AltModifier);
        QTest::newRow("Alt+Q that nothing claims does what QPlainTextEdit does") << QStringLiteral("ab") << 2 << QStringList{"Alt+Q"} << plain.toPlainText() << int(plain.textCursor().anchor()) << int(plain.textCursor().position());
        QTest::newRow("an editable box types a letter a window shortcut has") << QStringLiteral("ab") << 2 << QStringList{"shortcut A", "\"a"} << QStringLiteral("aba") << 3 << 3;
        // Tab moves the focus (tabMovesFocus); Ctrl+Tab types a tab, before a window's shortcut.
        QTest::newRow("Ctrl+Tab types a tab") << QStringLiteral("ab") << 1 << QStringList{"shortcut Ctrl+Tab", "Ctrl+Tab"} << QStringLiteral("a\tb") << 2 << 2;
        // clang-format on
        for (const char *name : {"Return", "Ctrl+V", "Ctrl+Z", "A", "Backspace", "Ctrl+Tab"}) {
            const QString shortcut = QLatin1String(name);
            const QString key = shortcut == QStringLiteral("A") ? QStringLiteral("\"a") : shortcut;
            QTest::addRow("a read-only box leaves %s to a window shortcut", name)
                << QStringLiteral("ab") << 2
                << QStringList{"clipboard x", "=ab", "read-only", "shortcut " + shortcut, key}
                << QString(QStringLiteral("ab<") + shortcut + u'>') << 0 << 0;
        }
    }
    void keys()
    {
        QFETCH(QString, text);
        QFETCH(int, caret);
        QFETCH(QStringList, keys);
        QWidget window;
        window.resize(300, 240);
        tk::MultiLineBox box(&window);
        box.setGeometry(0, 0, 300, 200);
        QPushButton arat(QStringLiteral("&Arat"), &window);
        arat.setGeometry(0, 210, 80, 24);
        connect(&arat, &QPushButton::clicked, &box,
                [&box] { box.setText(QString(box.text() + QStringLiteral("<Arat>"))); });
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        box.setFocus();
        box.setTextFresh(text);
        box.setSelection(caret, caret);
        QSignalSpy clicked(&arat, &QPushButton::clicked);
        press(box, keys);
        // A button run by its accelerator shows itself pressed a moment first.
        if (arat.isDown())
            QVERIFY(clicked.wait());
        QTEST(box.text(), "after");
        QTEST(int(box.anchorPosition()), "anchorAfter");
        QTEST(int(box.cursorPosition()), "caretAfter");
    }

    // What a window connected to the box hears: each signal once for each change of its state; and
    // what a screen reader is told of the text: a change short enough to speak with its text, a
    // longer one by where it stands alone.
    void signalsOnChange_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QStringList>("signalled");
        const QString text = QStringLiteral("ab");
        // clang-format off
        QTest::newRow("typing: the text and the caret each time, undo once") << text << 2 << QStringList{"\"xy"} << QStringList{"textChanged", "textChanged", "cursorPositionChanged", "cursorPositionChanged", "undoAvailable true"};
        QTest::newRow("Delete leaves the caret where it is") << text << 0 << QStringList{"Del"} << QStringList{"textChanged", "undoAvailable true"};
        QTest::newRow("Shift+Right selects, Left takes the selection away") << text << 0 << QStringList{"Shift+Right", "Left"} << QStringList{"cursorPositionChanged", "cursorPositionChanged", "selectionChanged", "selectionChanged"};
        QTest::newRow("undo and redo turn each other on and off") << text << 2 << QStringList{"\"x", "Ctrl+Z", "Ctrl+Y"} << QStringList{ "textChanged",           "textChanged",           "textChanged", "cursorPositionChanged", "cursorPositionChanged", "cursorPositionChanged", "undoAvailable true",    "undoAvailable false",   "undoAvailable true", "redoAvailable true",    "redoAvailable false"};
        QTest::newRow("setText: the text, the caret to the start, undo") << text << 2 << QStringList{"=cd"} << QStringList{"textChanged", "cursorPositionChanged", "undoAvailable true"};
        QTest::newRow("setTextFresh takes undo away") << text << 0 << QStringList{"\"x", "#cd"} << QStringList{"textChanged",           "textChanged",        "cursorPositionChanged", "cursorPositionChanged", "undoAvailable true", "undoAvailable false"};
        QTest::newRow("typing over a selection ends it") << text << 0 << QStringList{"Ctrl+A", "\"x"} << QStringList{"textChanged",      "cursorPositionChanged", "cursorPositionChanged", "selectionChanged", "selectionChanged",      "undoAvailable true"};
        QTest::newRow("a screen reader is told a typed letter") << text << 1 << QStringList{"screen reader", "\"x"} << QStringList{"textChanged", "cursorPositionChanged", "undoAvailable true", "told inserted 1-2 \"\" \"x\""};
        QTest::newRow("a long replacement is told by its range alone") << text << 0 << QStringList{"screen reader", QString(u"%b|" + QString(5000, u'x'))} << QStringList{"textChanged", "undoAvailable true", "told updated 1-5001 \"\" \"\""};
        // clang-format on
    }
    void signalsOnChange()
    {
        QFETCH(QString, text);
        QFETCH(int, caret);
        QFETCH(QStringList, keys);
        tk::MultiLineBox box;
        box.setTextFresh(text);
        box.setSelection(caret, caret);
        QSignalSpy texts(&box, &tk::MultiLineBox::textChanged);
        QSignalSpy carets(&box, &tk::MultiLineBox::cursorPositionChanged);
        QSignalSpy selections(&box, &tk::MultiLineBox::selectionChanged);
        QSignalSpy undos(&box, &tk::MultiLineBox::undoAvailable);
        QSignalSpy redos(&box, &tk::MultiLineBox::redoAvailable);
        g_told.clear();
        press(box, keys);
        tk::setScreenReaderListener(nullptr);
        QStringList signalled;
        for (const auto &[spy, name] : {std::pair{&texts, "textChanged"},
                                        {&carets, "cursorPositionChanged"},
                                        {&selections, "selectionChanged"},
                                        {&undos, "undoAvailable"},
                                        {&redos, "redoAvailable"}}) {
            for (const QList<QVariant> &arguments : *spy) {
                const QString args = arguments.isEmpty()     ? QString()
                                     : arguments[0].toBool() ? QStringLiteral(" true")
                                                             : QStringLiteral(" false");
                signalled << QLatin1String(name) + args;
            }
        }
        QTEST(QStringList(signalled + g_told), "signalled");
    }

    void readOnlyRefusesEdits()
    {
        tk::MultiLineBox box;
        box.setTextFresh(QStringLiteral("ab\r\ncd"));
        box.setText(QStringLiteral("ab\r\ncd"));
        QVERIFY(box.setProperty("readOnly", true));
        QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));
        press(box, {"\"x", "Backspace", "Return", "Ctrl+V", "Ctrl+Z", "Shift+Right"});
        QCOMPARE(box.text(), QStringLiteral("ab\r\ncd"));
        QCOMPARE(box.selectedText(), QStringLiteral("a"));
        QVERIFY(box.canUndo());
    }

    // Dead keys and compose arrive as commit strings; a commit may also replace text before the
    // caret, as some input methods do when they correct what was typed.
    void inputMethodCommits()
    {
        tk::MultiLineBox box;
        box.setTextFresh(QStringLiteral("arki"));
        QInputMethodEvent compose(QStringLiteral("\u00B8"), {});
        QApplication::sendEvent(&box, &compose);
        QCOMPARE(box.text(), QStringLiteral("arki")); // only shown while composing
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("\u015F"));
        QApplication::sendEvent(&box, &commit);
        QCOMPARE(box.text(), QStringLiteral("\u015Farki"));
        box.setSelection(5, 5);
        QInputMethodEvent correct;
        correct.setCommitString(QStringLiteral("\u0131"), -1, 1);
        QApplication::sendEvent(&box, &correct);
        QCOMPARE(box.text(), QStringLiteral("\u015Fark\u0131"));
        QCOMPARE(box.cursorPosition(), 5);

        // Losing the focus drops what is still being composed, and the caret shows where it is.
        const QRect caret = box.inputMethodQuery(Qt::ImCursorRectangle).toRect();
        QApplication::sendEvent(&box, &compose);
        QVERIFY(box.inputMethodQuery(Qt::ImCursorRectangle).toRect() != caret);
        QFocusEvent focusOut(QEvent::FocusOut);
        QApplication::sendEvent(&box, &focusOut);
        QCOMPARE(box.inputMethodQuery(Qt::ImCursorRectangle).toRect(), caret);
    }

    // The text being composed is drawn underlined, in the input method's own formats where it
    // gives them, with its cursor where it puts it, or none when it hides it.
    void preeditLooks()
    {
        core::TextLines lines;
        lines.setText(QStringLiteral("ab"), true);
        tk::BoxLayout layout(lines);
        layout.setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
        layout.setViewSize(QSize(300, 200));
        layout.setCaret(1);
        const auto underlines = [&] {
            QList<std::tuple<int, int, int>> found;
            for (const QTextLayout::FormatRange &r : layout.layout(0).layout.formats())
                found.append({r.start, r.length, int(r.format.underlineStyle())});
            return found;
        };

        layout.setPreedit(QInputMethodEvent(QStringLiteral("xyz"), {}));
        QCOMPARE(underlines(),
                 (QList<std::tuple<int, int, int>>{{1, 3, int(QTextCharFormat::SingleUnderline)}}));
        QVERIFY(layout.preeditCursorShown());

        QTextCharFormat wavy;
        wavy.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        using A = QInputMethodEvent::Attribute;
        layout.setPreedit(
            QInputMethodEvent(QStringLiteral("xyz"), {A(QInputMethodEvent::TextFormat, 1, 2, wavy),
                                                      A(QInputMethodEvent::Cursor, 1, 0)}));
        QCOMPARE(underlines(),
                 (QList<std::tuple<int, int, int>>{{2, 2, int(QTextCharFormat::WaveUnderline)}}));
        QCOMPARE(layout.preeditCursor(), 1);
        QVERIFY(!layout.preeditCursorShown());
    }

    void tabMovesFocus()
    {
        QWidget window;
        auto *first = new tk::MultiLineBox(&window);
        auto *second = new tk::MultiLineBox(&window);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        first->setFocus();
        QTest::keyClick(first, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), second);
        QTest::keyClick(second, Qt::Key_Tab);
        QCOMPARE(first->text() + second->text(), QString());
    }

    void wholeTextChangeIsOneUndoStep()
    {
        tk::MultiLineBox box;
        box.setTextFresh(QStringLiteral("old\ntext"));
        box.setText(QStringLiteral("new\r\ntext"));
        QCOMPARE(box.lineBreak(), QStringLiteral("\r\n"));
        QTest::keyClick(&box, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(box.text(), QStringLiteral("old\ntext"));
        // The old text's line break comes back with it.
        QCOMPARE(box.lineBreak(), QStringLiteral("\n"));
        QVERIFY(!box.canUndo());
    }

    void pasteTakesTheBoxLineBreak()
    {
        tk::MultiLineBox box;
        box.setTextFresh(QStringLiteral("a\nb"));
        QGuiApplication::clipboard()->setText(QStringLiteral("1\r\n2\r3"));
        QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(box.text(), QStringLiteral("1\n2\n3a\nb"));
    }

    // Pages move the caret and the view together; Ctrl+End shows the last line.
    void pagesAndEnd()
    {
        tk::MultiLineBox box(nullptr, tk::MultiLineBox::ScrollBar::Vertical);
        box.resize(200, 120);
        box.show();
        QStringList lines;
        for (int i = 0; i < 300; ++i)
            lines << QStringLiteral("line %1").arg(i);
        box.setTextFresh(lines.join(QStringLiteral("\r\n")));
        QCOMPARE(box.verticalScrollBar()->value(), 0);
        QTest::keyClick(&box, Qt::Key_PageDown);
        const qsizetype afterPage = box.cursorPosition();
        QVERIFY(afterPage > 0);
        QVERIFY(box.verticalScrollBar()->value() > 0);
        QTest::keyClick(&box, Qt::Key_PageUp);
        QCOMPARE(box.cursorPosition(), 0);
        QCOMPARE(box.verticalScrollBar()->value(), 0);
        QTest::keyClick(&box, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(box.verticalScrollBar()->value(), box.verticalScrollBar()->maximum());

        // Undoing a whole-text change shows the rows that were on screen before it, even with
        // the caret out of sight; redoing it, those on screen when it was undone.
        QScrollBar *bar = box.verticalScrollBar();
        const int before = bar->maximum() / 2 / bar->singleStep() * bar->singleStep(); // a row's
        bar->setValue(before);
        lines.replaceInStrings(QStringLiteral("line"), QStringLiteral("row"));
        box.setText(lines.join(QStringLiteral("\r\n")));
        QTest::keyClick(&box, Qt::Key_PageDown);
        QTest::keyClick(&box, Qt::Key_PageDown);
        const int after = box.verticalScrollBar()->value();
        QVERIFY(after > 0);
        QTest::keyClick(&box, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(box.verticalScrollBar()->value(), before);
        QCOMPARE(box.cursorPosition(), box.text().size());
        QTest::keyClick(&box, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(box.verticalScrollBar()->value(), after);
    }

    // The rows and the scroll bar without a box: the bar reaches every row down to the lowest
    // top, and showing the end of the text takes the view there, with the last row whole.
    void scrolling_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QSize>("view");
        QTest::addColumn<int>("lastTopUnitAtLeast");
        QTest::addColumn<bool>("scrolls");
        QStringList lines;
        for (int i = 0; i < 300; ++i)
            lines << QStringLiteral("line %1").arg(i);
        // clang-format off
        QTest::newRow("300 short lines") << lines.join(QStringLiteral("\r\n")) << QSize(200, 120) << 250 << true;
        QTest::newRow("one line wrapped taller than the box") << QStringLiteral("word ").repeated(200) << QSize(200, 120) << 0 << true;
        QTest::newRow("a line of 5000 characters, laid out in three pieces") << QStringLiteral("abcd ").repeated(1000) << QSize(600, 120) << 2 << true;
        QTest::newRow("text that fits") << QStringLiteral("a\r\nb\nc") << QSize(200, 120) << 0 << false;
        QTest::newRow("no text") << QString() << QSize(200, 120) << 0 << false;
        // clang-format on
    }
    void scrolling()
    {
        QFETCH(QString, text);
        QFETCH(QSize, view);
        QFETCH(int, lastTopUnitAtLeast);
        QFETCH(bool, scrolls);
        using Row = tk::BoxLayout::Row;
        core::TextLines lines;
        lines.setText(text, true);
        tk::BoxLayout layout(lines);
        layout.setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
        layout.setViewSize(view);

        Row reached;
        for (int value = 0; value <= layout.scrollMaximum(); ++value) {
            const Row row = layout.rowOfScrollValue(value);
            if (row != reached)
                QVERIFY(layout.nextRow(reached));
            QCOMPARE(row, reached);
        }
        // The bar's maximum reads back as the last top, even inside a unit of several rows.
        QCOMPARE(reached, layout.lastTop());
        QVERIFY(layout.lastTop().unit >= lastTopUnitAtLeast);
        QCOMPARE(layout.lastTop() != Row{}, scrolls);

        const std::optional<Row> showingEnd = layout.topShowing(lines.size());
        QCOMPARE(showingEnd.has_value(), scrolls);
        layout.setTop({lines.unitCount() - 1, INT_MAX});
        QCOMPARE(layout.top(), layout.lastTop());
        if (showingEnd)
            QCOMPARE(*showingEnd, layout.lastTop());
        const Row last = layout.rowAt(lines.size());
        QVERIFY(layout.rowTop(last) + layout.rowHeight(last) <=
                view.height() - tk::BoxLayout::kMargin);
    }

    // A click in the second row lands after the line break; a double-click takes the word; a
    // Shift+click stretches the selection.
    void mouse()
    {
        tk::MultiLineBox box;
        box.resize(300, 200);
        box.show();
        box.setTextFresh(QStringLiteral("one two\r\nthree four"));
        const int row = box.fontMetrics().height();
        QWidget *view = box.viewport();
        QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(5, 4 + row + row / 2));
        QCOMPARE(box.cursorPosition(), 9);
        QTest::mouseDClick(view, Qt::LeftButton, {}, QPoint(12, 4 + row + row / 2));
        QCOMPARE(box.selectedText(), QStringLiteral("three"));
        QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(5, 4 + row / 2));
        QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, QPoint(250, 4 + row / 2));
        QCOMPARE(box.selectedText(), QStringLiteral("one two"));
    }

    // A screen reader reading on reads the next or previous line or word, the blanks between
    // words being no word.
    void screenReaderReadsOn_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("boundary");
        QTest::addColumn<bool>("after");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("start");
        const QString lines = QStringLiteral("a.txt\r\nB.txt\nc.txt");
        const QString words = QStringLiteral("one  two three");
        const int line = QAccessible::LineBoundary;
        const int word = QAccessible::WordBoundary;
        QTest::newRow("line before") << lines << 9 << line << false << "a.txt\r\n" << 0;
        QTest::newRow("line after") << lines << 9 << line << true << "c.txt" << 13;
        QTest::newRow("nothing before the first line") << lines << 2 << line << false << "" << 0;
        QTest::newRow("word before") << words << 6 << word << false << "one" << 0;
        QTest::newRow("word after") << words << 6 << word << true << "three" << 9;
        QTest::newRow("word before, from the blanks") << words << 4 << word << false << "one" << 0;
        QTest::newRow("word after, on the next line") << lines << 3 << word << true << "B" << 7;
        QTest::newRow("word after, from the blanks") << words << 3 << word << true << "two" << 5;
    }
    void screenReaderReadsOn()
    {
        QFETCH(QString, text);
        QFETCH(int, offset);
        QFETCH(int, boundary);
        QFETCH(bool, after);
        tk::MultiLineBox box;
        box.resize(300, 200);
        box.setTextFresh(text);
        QAccessibleTextInterface *reader =
            QAccessible::queryAccessibleInterface(&box)->textInterface();
        const auto type = QAccessible::TextBoundaryType(boundary);
        int start = -1;
        int end = -1;
        const QString read = after ? reader->textAfterOffset(offset, type, &start, &end)
                                   : reader->textBeforeOffset(offset, type, &start, &end);
        QTEST(read, "expected");
        QTEST(start, "start");
        QCOMPARE(end, start + read.size());
    }

    // A screen reader reads by character and by row, and may edit.
    void screenReaderInterface()
    {
        tk::MultiLineBox box;
        box.setTextFresh(QStringLiteral("a.txt\r\nB.txt\r\nc.txt"));
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&box);
        QCOMPARE(iface->role(), QAccessible::EditableText);
        QVERIFY(iface->state().multiLine);
        QAccessibleTextInterface *text = iface->textInterface();
        QVERIFY(text);
        int start = -1;
        int end = -1;
        QCOMPARE(text->textAtOffset(9, QAccessible::LineBoundary, &start, &end),
                 QStringLiteral("B.txt\r\n"));
        QCOMPARE(start, 7);
        QCOMPARE(text->textAfterOffset(1, QAccessible::CharBoundary, &start, &end),
                 QStringLiteral("t"));
        QCOMPARE(text->characterCount(), 19);
        // The caret a screen reader sets never stands inside a CR LF.
        text->setCursorPosition(6);
        QCOMPARE(box.cursorPosition(), 5);
        text->setSelection(0, 1, 13);
        QCOMPARE(box.selectedText(), QStringLiteral(".txt\r\nB.txt"));
        iface->editableTextInterface()->replaceText(7, 8, QStringLiteral("b"));
        QCOMPARE(box.text(), QStringLiteral("a.txt\r\nb.txt\r\nc.txt"));
        box.setReadOnly(true);
        QVERIFY(!iface->editableTextInterface());
    }
};

QTEST_MAIN(TextBoxTest)
#include "tst_textbox.moc"
