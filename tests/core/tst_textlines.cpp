// SPDX-License-Identifier: GPL-3.0-or-later
// The text model of the multi-line box: the line index under edits, the three kinds of line
// break, the long-line pieces the view lays out, and the undo history.

#include "core/textlines.h"
#include "core/textmatch.h"

#include <QRandomGenerator>
#include <QTest>

using core::TextLines;

namespace {

// The index a fresh model builds, as (start, end) per line.
QList<std::pair<qsizetype, qsizetype>> lineTable(const TextLines &lines)
{
    QList<std::pair<qsizetype, qsizetype>> table;
    for (qsizetype i = 0; i < lines.lineCount(); ++i)
        table.append({lines.lineStart(i), lines.lineEnd(i)});
    return table;
}

QList<std::pair<qsizetype, qsizetype>> unitTable(const TextLines &lines)
{
    QList<std::pair<qsizetype, qsizetype>> table;
    for (qsizetype u = 0; u < lines.unitCount(); ++u)
        table.append(lines.unitRange(u));
    return table;
}

// A copy with a buffer of its own, so that holding it leaves the model's text unshared.
QString deep(const QString &text)
{
    return QString(text.constData(), text.size());
}

TextLines made(const QString &text)
{
    TextLines lines;
    lines.setText(text, true);
    return lines;
}

} // namespace

class TextLinesTest : public QObject {
    Q_OBJECT
private slots:
    void lineBreaks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<qsizetype>>("starts");
        QTest::addColumn<QList<qsizetype>>("ends");
        QTest::addColumn<bool>("bareLf");
        // clang-format off
        QTest::newRow("empty") << QString() << QList<qsizetype>{0} << QList<qsizetype>{0} << false;
        QTest::newRow("all three kinds") << QStringLiteral("a\r\nb\nc\rd") << QList<qsizetype>{0, 3, 5, 7} << QList<qsizetype>{1, 4, 6, 8} << true;
        QTest::newRow("break at the end opens an empty line") << QStringLiteral("a\r\n") << QList<qsizetype>{0, 3} << QList<qsizetype>{1, 3} << false;
        QTest::newRow("LF CR is two breaks") << QStringLiteral("\n\r") << QList<qsizetype>{0, 1, 2} << QList<qsizetype>{0, 1, 2} << true;
        QTest::newRow("CR CR LF is two breaks") << QStringLiteral("x\r\r\ny") << QList<qsizetype>{0, 2, 4} << QList<qsizetype>{1, 2, 5} << false;
        // clang-format on
    }
    void lineBreaks()
    {
        QFETCH(QString, text);
        QFETCH(QList<qsizetype>, starts);
        QFETCH(QList<qsizetype>, ends);
        const TextLines lines = made(text);
        QCOMPARE(lines.text(), text);
        QList<qsizetype> gotStarts, gotEnds;
        for (const auto &[start, end] : lineTable(lines)) {
            gotStarts << start;
            gotEnds << end;
        }
        QCOMPARE(gotStarts, starts);
        QCOMPARE(gotEnds, ends);
        QTEST(lines.hadBareLf(), "bareLf");
        for (qsizetype i = 0; i < starts.size(); ++i)
            QCOMPARE(lines.lineOf(starts[i]), i);
    }

    // Random edits made of letters, blanks, CRs and LFs, sometimes a long run, against a model
    // built afresh from the same text: the kept index must agree line for line and unit for unit.
    void indexUnderEdits()
    {
        QRandomGenerator random(20261207);
        const auto piece = [&]() {
            static const char16_t alphabet[] = u"ab \r\n\r\n";
            QString s;
            const int length =
                random.bounded(100) < 3 ? 2500 + random.bounded(3000) : random.bounded(6);
            for (int i = 0; i < length; ++i)
                s += QChar(alphabet[random.bounded(int(std::size(alphabet)) - 1)]);
            if (length > 100)
                s.replace(u'\r', u'x').replace(u'\n', u'y');
            return s;
        };
        TextLines lines = made(QStringLiteral("one\r\ntwo\rthree\nfour"));
        for (int round = 0; round < 2000; ++round) {
            const qsizetype at = random.bounded(int(lines.size()) + 1);
            const qsizetype length = std::min<qsizetype>(random.bounded(8), lines.size() - at);
            lines.replace(at, length, piece());
            const TextLines fresh = made(lines.text());
            QCOMPARE(lineTable(lines), lineTable(fresh));
            QCOMPARE(unitTable(lines), unitTable(fresh));
            const qsizetype probe = random.bounded(int(lines.size()) + 1);
            QCOMPARE(lines.unitOf(probe), fresh.unitOf(probe));
        }
    }

    // A line of megabytes is laid out a piece at a time: the pieces follow each other, none is
    // longer than the limit, each position belongs to the piece that holds it, and a surrogate
    // pair is never cut. A cut moved back to a blank makes the piece before it shorter and the
    // one after it longer than kUnitChars.
    void longLinePieces_data()
    {
        QTest::addColumn<QString>("word");
        // clang-format off
        QTest::newRow("no blanks, surrogate pairs") << QStringLiteral("file.txt\U0001F600");
        QTest::newRow("a blank every 1,800 characters") << QString(1799, u'x') + QStringLiteral(" ");
        // clang-format on
    }

    void longLinePieces()
    {
        QFETCH(QString, word);
        QString line;
        while (line.size() < 3 * TextLines::kUnitChars)
            line += word;
        const TextLines lines = made(QStringLiteral("head\r\n") + line + QStringLiteral("\ntail"));
        QCOMPARE(lines.lineCount(), 3);
        const qsizetype units = lines.unitCount();
        QVERIFY(units >= 5);
        QCOMPARE(lines.firstUnitOfLine(2), units - 1);
        qsizetype expectedStart = 6;
        for (qsizetype u = 1; u < units - 1; ++u) {
            const auto [start, end] = lines.unitRange(u);
            QCOMPARE(start, expectedStart);
            QVERIFY(end - start <= TextLines::kMaxUnitChars);
            QVERIFY(!lines.text()[end].isLowSurrogate());
            QCOMPARE(lines.lineOfUnit(u), 1);
            for (qsizetype p = start; p < end; p += 97)
                QCOMPARE(lines.unitOf(p), u);
            expectedStart = end;
        }
        QCOMPARE(expectedStart, lines.lineEnd(1));
        QCOMPARE(lines.unitOf(lines.lineEnd(1)), units - 2);
    }

    void undo_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("expected");
        // Each step of a script: "t<c>" types c at the end, "b" Backspace at the end, "d" deletes
        // the first character, "c" closes the step, "s<text>" sets the whole text, "u" undo,
        // "r" redo, "a<pattern>=<with>" replaces every match; steps are separated by '|'.
        // clang-format off
        QTest::newRow("typing merges into one step") << "ta|tb|tc|u" << "start";
        QTest::newRow("a caret move closes the step") << "ta|tb|c|tc|u" << "startab";
        QTest::newRow("backspaces merge") << "b|b|b|u" << "start";
        QTest::newRow("deletes merge") << "d|d|u" << "start";
        QTest::newRow("typing then deleting are two steps") << "ta|b|u" << "starta";
        QTest::newRow("whole text is one step") << "ta|snew|u" << "starta";
        QTest::newRow("undo then redo") << "ta|snew|u|u|r|r" << "new";
        QTest::newRow("an edit after undo drops the redo") << "snew|u|tx|r" << "startx";
        QTest::newRow("nothing left to undo") << "u|u" << "start";
        // Past the cap of 64 M characters the oldest steps go, but never the newest, however big.
        const QString big(64 * 1024 * 1024 + 1, u'x');
        QTest::newRow("the history's cap keeps the newest step") << QString(u's' + big + u"|snew|u") << big;
        // A replacement's step counts its positions: 1,000 of them tip this history over the cap.
        const QString nearCap(64 * 1024 * 1024 - 1000, u'x');
        const QString as(1000, u'a');
        QTest::newRow("the cap counts a replacement's positions") << QString(u's' + nearCap + u"|s" + as + u"|aa=b|u|u") << as;
        // Steps an edit after undo dropped count no more: 40 M of them gone, 30 M fit.
        const QString dropped(40 * 1024 * 1024, u'd'), kept(30 * 1024 * 1024, u'k');
        QTest::newRow("redo steps dropped leave the cap") << QString(u's' + dropped + u"|u|tx|s" + kept + u"|sy|u|u|u") << "start";
        // clang-format on
    }
    void undo()
    {
        QFETCH(QString, script);
        TextLines lines = made(QStringLiteral("start"));
        QVERIFY(!lines.canUndo());
        for (const QString &step : script.split(u'|')) {
            const QString arg = step.mid(1);
            switch (step[0].unicode()) {
            case u't': lines.replace(lines.size(), 0, arg, TextLines::Merge::Typing); break;
            case u'b': lines.replace(lines.size() - 1, 1, {}, TextLines::Merge::Deleting); break;
            case u'd': lines.replace(0, 1, {}, TextLines::Merge::Deleting); break;
            case u'c': lines.closeStep(); break;
            case u's': lines.setText(arg); break;
            case u'u': lines.undo(); break;
            case u'r': lines.redo(); break;
            case u'a': lines.replaceAll(arg.section(u'=', 0, 0), arg.section(u'=', 1)); break;
            }
        }
        QTEST(lines.text(), "expected");
        QCOMPARE(lineTable(lines), lineTable(made(lines.text())));
    }

    // Each row replaces pattern by replacement in turn ("steps" alternates the two), then undoes
    // every step and redoes it, checking the text, its index and its line break exactly each
    // time. Once on a text nobody else holds (changed in place), with only the changed part's
    // sizes, and once on a shared one, with the change described for a screen reader.
    void replaceAll_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("results"); // none: as core::match::replaceAll gives them
        const QString high(QChar(0xD83D)), low(QChar(0xDE00)), pair = high + low;
        // clang-format off
        const QString halves = u'a' + high + u'b' + pair + u'z' + pair, joined = u"ac" + pair + u'z' + pair;
        QTest::newRow("longer, shorter, same length, removed") << "ab ab\r\nab" << QStringList{"ab", "abc", "abc", "x", "x", "y", "y", ""} << QStringList{};
        QTest::newRow("matches at both ends") << "abxab" << QStringList{"ab", "Q", "Q", "", "x", "xyz"} << QStringList{};
        QTest::newRow("adjacent matches, never rescanned") << "aaaaa" << QStringList{"aa", "a", "a", "aa", "aaa", "b"} << QStringList{};
        QTest::newRow("CR LF split, joined and made bare") << "a\r\nb\rc\nd\r" << QStringList{"\n", "", "\r", "\r\n", "\r\n", "\n", "b\n", "\r", "\r", "\n\r"} << QStringList{};
        // A lone CR that a match would bring before a LF gets a LF of its own, as in a typed
        // edit, so the line breaks stay as many as the kept text and the replacements hold.
        QTest::newRow("lone CR before a LF") << "x\r\n\ry\r" << QStringList{"\r\n", "\r", "y\r", "\n"} << QStringList{"x\r\ry\r", "x\r\r\n\n"};
        QTest::newRow("removed between a CR and a LF") << "a\rX\nb\rXX\nc" << QStringList{"X", ""} << QStringList{"a\r\n\nb\r\n\nc"};
        QTest::newRow("a replacement's CR before a LF, its LF after a CR") << "aX\nb\rYc" << QStringList{"X", "\r", "Y", "\n"} << QStringList{"a\r\n\nb\rYc", "a\r\n\nb\r\n\nc"};
        QTest::newRow("adjacent matches, each a CR") << "XX\n" << QStringList{"X", "\r"} << QStringList{"\r\r\n\n"};
        QTest::newRow("some matches grow, some shrink") << "XYZa\rXYZb\rXYZ\nc" << QStringList{"XYZ", "\n\r"} << QStringList{"\n\ra\r\n\n\rb\r\n\n\r\n\nc"};
        QTest::newRow("surrogate halves at match ends") << QString(u'a' + high + u'b' + pair + low + pair) << QStringList{low, "z", low + u'z', "q", high + u'b', "c", u'z' + high, "y", pair, ""} << QStringList{halves, halves, joined, joined, "acz"};
        QTest::newRow("nothing matches, nor an empty pattern") << "abc" << QStringList{"x", "y", "", "q", "c", "c"} << QStringList{};
        QTest::newRow("long lines cut and joined") << QString(QString(3000, u'w') + u' ' + QString(4500, u'v')) << QStringList{" ", "\n", "w", "ww", "\n", "", "v", ""} << QStringList{};
        // clang-format on
    }
    void replaceAll()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, steps);
        QFETCH(QStringList, results);
        for (const bool shared : {false, true}) {
            TextLines lines;
            lines.setText(shared ? text : deep(text), true);
            QList<QString> texts{shared ? lines.text() : deep(lines.text())};
            const auto check = [&](const TextLines::Change &change, const QString &from,
                                   const QString &to) {
                QCOMPARE(lines.text(), to);
                const TextLines fresh = made(to);
                QCOMPARE(lineTable(lines), lineTable(fresh));
                QCOMPARE(unitTable(lines), unitTable(fresh));
                QVERIFY(change.wholeText);
                QCOMPARE(from.size() - change.removedSize + change.insertedSize, to.size());
                if (shared) {
                    // The described part turns the old text into the new one.
                    QCOMPARE(QString(from.left(change.position) + change.inserted +
                                     from.mid(change.position + change.removed.size())),
                             to);
                }
            };
            QList<bool> bareLf{lines.hadBareLf()};
            for (qsizetype i = 0; i + 1 < steps.size(); i += 2) {
                const QString expected =
                    results.isEmpty()
                        ? core::match::replaceAll(texts.last(), steps[i], steps[i + 1])
                        : results[i / 2];
                const TextLines::Change change =
                    lines.replaceAll(steps[i], steps[i + 1], shared ? TextLines::kDescribeAll : 0);
                check(change, texts.last(), expected);
                texts.append(shared ? lines.text() : deep(expected));
                bareLf.append(lines.hadBareLf());
                QCOMPARE(lines.hadBareLf(), made(expected).hadBareLf());
            }
            for (qsizetype i = texts.size() - 1; i > 0; --i) {
                const auto change = lines.undo();
                QVERIFY(change);
                check(*change, texts[i], texts[i - 1]);
                QCOMPARE(lines.hadBareLf(), bareLf[i - 1]);
            }
            QVERIFY(!lines.canUndo());
            for (qsizetype i = 1; i < texts.size(); ++i) {
                const auto change = lines.redo();
                QVERIFY(change);
                check(*change, texts[i - 1], texts[i]);
                QCOMPARE(lines.hadBareLf(), bareLf[i]);
            }
            QVERIFY(!lines.canRedo());
        }
    }

    // A replacement keeps where its matches stand, not the old text, and changes the text in its
    // own buffer when nobody else holds it.
    void replaceAllKeepsOnlyTheMatches()
    {
        QString text;
        for (int i = 0; i < 10000; ++i)
            text += QString(99, QChar(u'a' + i % 26)) + u'\n';
        TextLines lines;
        lines.setText(deep(text), true);
        const QChar *buffer = lines.text().constData();
        lines.replaceAll(QStringLiteral("\n"), QString());
        QCOMPARE(lines.text().constData(), buffer);
        QCOMPARE(lines.size(), text.size() - 10000);
        QVERIFY(lines.historyChars() < text.size() / 10);
        lines.undo();
        QCOMPARE(lines.text(), text);
        QCOMPARE(lines.lineCount(), 10001);
        QVERIFY(lines.historyChars() < text.size() / 10);
    }

    void narrowedChange_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<qsizetype>("position");
        QTest::addColumn<QString>("removed");
        QTest::addColumn<QString>("inserted");
        QTest::addColumn<qsizetype>("describeUpTo");
        const qsizetype all = TextLines::kDescribeAll;
        // clang-format off
        QTest::newRow("appended") << "a\r\nb" << "a\r\nb\r\nc" << qsizetype(4) << "" << "\r\nc" << all;
        QTest::newRow("one letter changed") << "a.txt b.txt" << "a.txt B.txt" << qsizetype(6) << "b" << "B" << all;
        QTest::newRow("head and tail overlap") << "aa" << "aaa" << qsizetype(2) << "" << "a" << all;
        QTest::newRow("cleared") << "abc" << "" << qsizetype(0) << "abc" << "" << all;
        QTest::newRow("longer than told, only its sizes") << "a.txt" << "a.bak" << qsizetype(2) << "" << "" << qsizetype(2);
        // clang-format on
    }
    void narrowedChange()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        TextLines lines = made(before);
        QFETCH(qsizetype, describeUpTo);
        const TextLines::Change change = lines.setText(after);
        const TextLines::Change part = TextLines::narrowed(change, describeUpTo);
        const TextLines::Change told = TextLines::narrowed(change);
        QCOMPARE(part.removedSize, told.removed.size());
        QCOMPARE(part.insertedSize, told.inserted.size());
        QTEST(part.position, "position");
        QTEST(part.removed, "removed");
        QTEST(part.inserted, "inserted");
    }

    // Undoing a whole-text change hands back the old text itself, shared rather than copied, and
    // reports the change as whole-text so the view can go back to the top.
    void wholeTextUndoSharesTheOldText()
    {
        const QString old = QStringLiteral("a\nb\nc");
        TextLines lines = made(old);
        QVERIFY(lines.hadBareLf());
        lines.setText(QStringLiteral("x\r\ny"));
        QVERIFY(!lines.hadBareLf());
        const auto change = lines.undo();
        QVERIFY(change && change->wholeText);
        QCOMPARE(lines.text().constData(), old.constData());
        QVERIFY(lines.hadBareLf());
        QCOMPARE(lines.lineCount(), 3);

        lines.setText(QStringLiteral("loaded"), true);
        QVERIFY(!lines.canUndo());
        QVERIFY(!lines.canRedo());
    }
};

QTEST_APPLESS_MAIN(TextLinesTest)
#include "tst_textlines.moc"
