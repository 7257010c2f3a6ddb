// SPDX-License-Identifier: GPL-3.0-or-later
// The shared text helpers: the matching rule, file name patterns, decoding in blocks, and the
// paths of dropped URLs and of names chosen in Qt's file dialog.

#include "core/filenames.h"
#include "core/textcodec.h"
#include "core/textmatch.h"
#include "core/wildcard.h"
#include "tests/test_files.h"

#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <algorithm>

class TextHelpers : public QObject {
    Q_OBJECT
private slots:
    void matchingRule_data();
    void matchingRule();
    void wildcards_data();
    void wildcards();
    void decodingAcrossBlocks_data();
    void decodingAcrossBlocks();
    void encodingRoundTrip();
    void bytesKeptThroughText_data();
    void bytesKeptThroughText();
    void localPathOfUrl_data();
    void localPathOfUrl();
    void shownPathResolved_data();
    void shownPathResolved();
};

void TextHelpers::matchingRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("replaced");
    QTest::addColumn<QString>("removed");

    // clang-format off
    QTest::newRow("no overlap, even") << "aaaa" << "aa" << "b" << 2 << "bb" << "";
    QTest::newRow("no overlap, odd") << "aaa" << "aa" << "b" << 1 << "ba" << "a";
    QTest::newRow("case differs") << "ali" << "Ali" << "x" << 0 << "ali" << "ali";
    QTest::newRow("replacement not rescanned") << "aa" << "a" << "aa" << 2 << "aaaa" << "";
    QTest::newRow("remove inner") << "abcb" << "b" << "" << 2 << "ac" << "ac";
    QTest::newRow("every occurrence") << "banana" << "a" << "b" << 3 << "bbnbnb" << "bnn";
    QTest::newRow("empty pattern matches nothing") << "abc" << "" << "x" << 0 << "abc" << "abc";
    QTest::newRow("pattern longer than text") << "ab" << "abc" << "x" << 0 << "ab" << "ab";
    QTest::newRow("empty text") << "" << "a" << "x" << 0 << "" << "";
    QTest::newRow("line break in pattern") << "a\r\nb a\nb" << "a\r\nb" << "#" << 1 << "# a\nb" << " a\nb";
    QTest::newRow("whole text") << "word" << "word" << "" << 1 << "" << "";
    QTest::newRow("non-ASCII exact") << "çÇç" << "ç" << "c" << 2 << "cÇc" << "Ç";
    // A match never begins or ends between the halves of a pair: a lone half matches a lone
    // half only, and a whole pair matches.
    const QString pair = QStringLiteral("\U0001F600"), high(QChar(0xD83D)), low(QChar(0xDE00));
    QTest::newRow("high half of a pair") << QString(pair + u'a') << high << "x" << 0 << QString(pair + u'a') << QString(pair + u'a');
    QTest::newRow("low half of a pair, then a lone one") << QString(pair + low) << low << "x" << 1 << QString(pair + u'x') << pair;
    QTest::newRow("lone high half, then a pair") << QString(high + u'a' + pair) << high << "x" << 1 << QString(u"xa" + pair) << QString(u'a' + pair);
    QTest::newRow("pattern ending in a high half") << QString(u'a' + pair) << QString(u'a' + high) << "x" << 0 << QString(u'a' + pair) << QString(u'a' + pair);
    QTest::newRow("pattern beginning with a low half") << QString(pair + u'b') << QString(low + u'b') << "x" << 0 << QString(pair + u'b') << QString(pair + u'b');
    QTest::newRow("whole pairs") << QString(pair + pair + u'a') << pair << "x" << 2 << "xxa" << "a";
    // clang-format on
}

void TextHelpers::matchingRule()
{
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QFETCH(QString, replacement);
    QFETCH(int, count);
    QCOMPARE(core::match::count(text, pattern), qsizetype(count));
    QTEST(core::match::replaceAll(text, pattern, replacement), "replaced");
    QTEST(core::match::removeAll(text, pattern), "removed");
}

void TextHelpers::wildcards_data()
{
    QTest::addColumn<QString>("patterns");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("matches");

    // clang-format off
    QTest::newRow("all files") << "*.*" << "a.txt" << true;
    QTest::newRow("all files, dotless name") << "*.*" << "README" << true;
    QTest::newRow("star alone") << "*" << "README" << true;
    QTest::newRow("dotless pattern") << "*." << "Makefile" << true;
    QTest::newRow("dotless pattern, dotted name") << "*." << "a.txt" << false;
    QTest::newRow("extension") << "*.txt" << "notes.txt" << true;
    QTest::newRow("extension, case counts") << "*.txt" << "NOTES.TXT" << false;
    QTest::newRow("question mark is one character") << "a?.txt" << "ab.txt" << true;
    QTest::newRow("question mark needs a character") << "a?.txt" << "a.txt" << false;
    QTest::newRow("list") << "*.txt;*.doc" << "x.doc" << true;
    QTest::newRow("list with blanks") << "*.txt; *.doc" << "x.doc" << true;
    QTest::newRow("list, neither") << "*.txt;*.doc" << "x.pdf" << false;
    QTest::newRow("backtracking star") << "a*b*c" << "aXbYbZc" << true;
    QTest::newRow("star then literal tail") << "*ab" << "aab" << true;
    QTest::newRow("empty pattern") << "" << "a.txt" << false;
    QTest::newRow("exact name") << "report.txt" << "report.txt" << true;
    // clang-format on
}

void TextHelpers::wildcards()
{
    QFETCH(QString, patterns);
    QFETCH(QString, name);
    QTEST(core::WildcardFilter(patterns).matches(name), "matches");
}

void TextHelpers::decodingAcrossBlocks_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("error"); // so the loader does not take the file as clean UTF-8
    // clang-format off
    const QByteArray two = QByteArray(9999, 'a') + "\xC3\xA7son", three = QByteArray(9998, 'b') + "\xE2\x82\xAC";
    QTest::newRow("two-byte character cut at 10000") << two << (QString(9999, u'a') + QStringLiteral("çson")) << false;
    QTest::newRow("three-byte character cut at 10000") << three << (QString(9998, u'b') + QStringLiteral("€")) << false;
    QTest::newRow("byte-order mark kept") << QByteArray("\xEF\xBB\xBFmetin") << QStringLiteral("\uFEFFmetin") << false;
    // An incomplete character at the very end becomes one replacement character.
    QTest::newRow("cut at the very end") << QByteArray("ab\xC3") << QStringLiteral("ab\uFFFD") << true;
    // clang-format on
}

void TextHelpers::decodingAcrossBlocks()
{
    QFETCH(QByteArray, bytes);
    core::TextDecoder decoder;
    QString text;
    for (qsizetype at = 0; at < bytes.size(); at += 10000)
        text += decoder.decode(
            QByteArrayView(bytes).sliced(at, qMin<qsizetype>(10000, bytes.size() - at)));
    text += decoder.finish();
    QTEST(text, "expected");
    QTEST(decoder.hasError(), "error");
}

void TextHelpers::encodingRoundTrip()
{
    const QString text = QStringLiteral("\uFEFFçöü ĞŞİ\r\nend");
    QCOMPARE(core::encodeKeepingBytes(text), text.toUtf8());
    // A character the encoding cannot hold (a surrogate that stands for no byte) is replaced,
    // never dropped silently with what follows it.
    bool clean = true;
    QCOMPARE(core::encodeKeepingBytes(QString(QChar(0xD800)).append(u'x'), &clean),
             QByteArray("\xEF\xBF\xBDx"));
    QVERIFY(!clean);
}

void TextHelpers::bytesKeptThroughText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("standIns"); // 0: valid UTF-8
    // clang-format off
    QTest::newRow("ascii") << QByteArray("plain name.txt") << 0;
    QTest::newRow("turkish utf-8") << QByteArray("T\xC3\xBCrk\xC3\xA7" "e \xC5\x9F" "ark\xC4\xB1") << 0;
    QTest::newRow("four-byte character") << QByteArray("a\xF0\x9F\x98\x80" "b") << 0;
    // U+07FF, U+0800, U+FFFF and U+10000: the last code point of each length and the first of the
    // next, where an encoder that picks its length by the wrong bound writes a wrong sequence.
    QTest::newRow("lengths at their bounds") << QByteArray("\xDF\xBF\xE0\xA0\x80" "\xEF\xBF\xBF\xF0\x90\x80\x80") << 0;
    QTest::newRow("replacement character itself") << QByteArray("caf\xEF\xBF\xBD") << 0;
    QTest::newRow("windows-1254") << QByteArray("T\xFCrk\xE7" "e \xFE" "ark\xFD") << 4;
    QTest::newRow("cut four-byte character") << QByteArray("x\xF0\x9F\x98") << 3;
    QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << 2;
    QTest::newRow("overlong three-byte slash") << QByteArray("\xE0\x80\xAF") << 3;
    QTest::newRow("encoded surrogate") << QByteArray("\xED\xA0\x80") << 3;
    QTest::newRow("past U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << 4;
    // clang-format on
    QByteArray every;
    for (int b = 255; b >= 1; --b)
        every += char(b);
    QTest::newRow("every byte") << every << 128;
}

void TextHelpers::bytesKeptThroughText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, standIns);
    const QString text = core::decodeKeepingBytes(bytes);
    QCOMPARE(core::encodeKeepingBytes(text), bytes);
    if (standIns == 0) {
        QCOMPARE(text, QString::fromUtf8(bytes));
        QCOMPARE(core::encodeKeepingBytes(QString::fromUtf8(bytes)), bytes);
    }
    QCOMPARE(std::count_if(text.cbegin(), text.cend(), core::isByteStandIn), standIns);
    // Cut at every place, as records of a file are, the text is the same.
    for (qsizetype cut = 0; cut <= bytes.size(); ++cut) {
        core::ByteKeepingDecoder decoder;
        QString pieces = decoder.decode(bytes.left(cut));
        pieces += decoder.decode(bytes.mid(cut));
        pieces += decoder.finish();
        QCOMPARE(pieces, text);
        QCOMPARE(decoder.keptInvalidBytes(), standIns > 0);
    }
}

// A dropped file arrives as a URL; its path is read from the URL's own bytes.
void TextHelpers::localPathOfUrl_data()
{
    QTest::addColumn<QByteArray>("url");
    QTest::addColumn<QString>("path");
    // clang-format off
    QTest::newRow("turkish utf-8") << QByteArray("file:///tmp/%C3%A7ay.txt") << QStringLiteral("/tmp/çay.txt");
    QTest::newRow("byte that is not utf-8") << QByteArray("file:///tmp/caf%E9.txt") << core::decodeKeepingBytes("/tmp/caf\xE9.txt");
    QTest::newRow("localhost") << QByteArray("file://localhost/tmp/a.txt") << "/tmp/a.txt";
    QTest::newRow("another machine") << QByteArray("file://server/tmp/a.txt") << QString();
    QTest::newRow("not a file") << QByteArray("https://example.org/tmp/a.txt") << QString();
    // clang-format on
}

void TextHelpers::localPathOfUrl()
{
    QFETCH(QByteArray, url);
    QTEST(core::fs::localPathOf(QUrl::fromEncoded(url)), "path");
}

// Qt's file dialog shows a name as QString::fromUtf8 reads its bytes; what it hands back is
// looked up among the folder's real entries.
void TextHelpers::shownPathResolved_data()
{
    QTest::addColumn<QList<QByteArray>>("entries"); // a name ending in '/' is a folder
    QTest::addColumn<QString>("shown");             // as the dialog hands it back
    QTest::addColumn<QByteArray>("resolved");       // "<several>": no path
    const QByteArray latin = "caf\xE9.txt", replacement = "caf\xEF\xBF\xBD.txt";
    const QString caf = QStringLiteral("caf\uFFFD.txt");
    // clang-format off
    QTest::newRow("one entry shows so") << QList{latin, QByteArray("cafe.txt")} << caf << latin;
    QTest::newRow("the replacement character's own bytes") << QList{replacement} << caf << replacement;
    QTest::newRow("two entries show so") << QList{latin, replacement} << caf << QByteArray("<several>");
    QTest::newRow("none: a new name as given") << QList<QByteArray>{} << caf << replacement;
    QTest::newRow("one character a byte") << QList<QByteArray>{"a\xE9.txt", "a\xE9\xE8.txt"} << QStringLiteral("a\uFFFD\uFFFD.txt") << QByteArray("a\xE9\xE8.txt");
    QTest::newRow("in a folder that shows alike") << QList<QByteArray>{"d\xE9/", "d\xE9/x.txt"} << QStringLiteral("d\uFFFD/x.txt") << QByteArray("d\xE9/x.txt");
    // clang-format on
}

void TextHelpers::shownPathResolved()
{
    QFETCH(QList<QByteArray>, entries);
    QFETCH(QString, shown);
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path()) + '/';
    for (const QByteArray &name : std::as_const(entries)) {
        const QByteArray path = folder + name;
        if (name.endsWith('/'))
            QCOMPARE(mkdir(path.constData(), 0755), 0);
        else
            testfiles::writeNative(path, name);
    }
    const std::optional<QString> path = core::fs::resolveShownPath(dir.path() + u'/' + shown);
    QTEST(path ? core::fs::toNative(*path).mid(folder.size()) : QByteArray("<several>"),
          "resolved");
    // Qt cannot remove names that are not UTF-8; the deepest go first.
    for (auto name = entries.crbegin(); name != entries.crend(); ++name)
        QCOMPARE(::remove(QByteArray(folder + *name).constData()), 0);
}

QTEST_GUILESS_MAIN(TextHelpers)
#include "tst_text_helpers.moc"
