// SPDX-License-Identifier: GPL-3.0-or-later
// Text files that are not UTF-8, loaded and saved unchanged by the Text Editer's loader and
// saver: an old Turkish file in Windows-1254 and random bytes must come back byte for byte (with
// the line end a save adds), timed against cp doing the same copy.

#include "bench/bench.h"

#include "text_editer/file_loader.h"
#include "text_editer/file_saver.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <random>

namespace {

constexpr qsizetype kBytes = 20 * 1000 * 1000;

QByteArray turkishCodePageText()
{
    // "Türkçe şarkı söylüyor, ığdır çiçeği ÖĞÜŞİÇ" and a line end, in Windows-1254.
    const QByteArray line("T\xFCrk\xE7"
                          "e \xFE"
                          "ark\xFD s\xF6yl\xFCyor, \xFD\xF0"
                          "d\xFDr "
                          "\xE7i\xE7"
                          "e\xF0i \xD6\xD0\xDC\xDE\xDD\xC7\r\n");
    QByteArray text;
    text.reserve(kBytes + line.size());
    while (text.size() < kBytes)
        text += line;
    return text;
}

QByteArray randomBytes()
{
    std::mt19937 random(20261207);
    QByteArray bytes(kBytes, Qt::Uninitialized);
    for (char &b : bytes)
        b = char(random() & 0xFF);
    // The loader trims blanks at both ends; the round trip is about every other byte.
    bytes.front() = 'x';
    bytes.back() = 'x';
    return bytes;
}

int roundTrip(const QTemporaryDir &tmp, const char *what, const QByteArray &bytes)
{
    const QString in = tmp.filePath(QStringLiteral("in"));
    const QString out = tmp.filePath(QStringLiteral("out"));
    QFile file(in);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return 1;
    file.close();
    core::TextEncoding encoding = core::TextEncoding::Utf8;
    const double ours = bench::seconds([&] {
        const QString text = text_editer::loadTextFile(in, &encoding);
        bench::require(text_editer::saveTextFile(out, text, encoding), "save");
    });
    const double cp = bench::commandSeconds(
        QStringLiteral("cp %1 %2").arg(bench::quoted(in), bench::quoted(out + ".cp")));
    bench::report(what, ours, "cp", cp);
    QFile saved(out);
    // The save adds a line end only where the text does not end with one.
    const QByteArray expected =
        bytes.endsWith('\n') || bytes.endsWith('\r') ? bytes : QByteArray(bytes + "\r\n");
    const bool same = saved.open(QIODevice::ReadOnly) && saved.readAll() == expected;
    std::printf("  %-42s %s\n", "saved bytes = loaded bytes (+ CR LF)", same ? "yes" : "NO");
    return same ? 0 : 1;
}

} // namespace

int runEncodingBench()
{
    QTemporaryDir tmp;
    if (!tmp.isValid())
        return 1;
    std::printf("Text files that are not UTF-8, %lld bytes each\n", qint64(kBytes));
    int rc = roundTrip(tmp, "Windows-1254 file, load and save", turkishCodePageText());
    rc |= roundTrip(tmp, "random bytes, load and save", randomBytes());
    return rc;
}
