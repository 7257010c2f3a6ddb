// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/bench.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace bench {

void require(bool worked, const char *what)
{
    if (!worked) {
        std::fprintf(stderr, "benchmark: %s failed\n", what);
        std::exit(1);
    }
}

double seconds(const std::function<void()> &work, int runs)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e9);
    }
    return best;
}

double timed(const std::function<void()> &setUp, const std::function<void()> &work, int runs)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        setUp();
        best = std::min(best, seconds(work, 1));
    }
    return best;
}

void runShell(const QString &shellCommand)
{
    QProcess p;
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), shellCommand});
    p.waitForFinished(-1);
}

QString quoted(const QString &path)
{
    QString q = path;
    q.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + q + u'\'';
}

double commandSeconds(const QString &shellCommand, int runs)
{
    return seconds([&] { runShell(shellCommand); }, runs);
}

void report(const char *what, double ours, const char *tool, double theirs)
{
    std::printf("%-44s ours %8.3f s   %-34s %8.3f s   ratio %5.2f\n", what, ours, tool, theirs,
                theirs > 0 ? ours / theirs : 0.0);
    std::fflush(stdout);
}

void goal(const char *what, double ours, double theirs, double limit)
{
    std::printf("  %-42s ratio %5.2f  (goal: within %.2fx) %s\n", what, ours / theirs, limit,
                ours <= theirs * limit ? "met" : "NOT MET");
    std::fflush(stdout);
}

void ratioOnly(const char *what, double ours, double theirs, const char *why)
{
    std::printf("  %-42s ratio %5.2f  (no goal: %s)\n", what, ours / theirs, why);
    std::fflush(stdout);
}

void reference(const char *what, double seconds)
{
    std::printf("reference: %-33s      %8.3f s\n", what, seconds);
    std::fflush(stdout);
}

double peakMemoryMiB()
{
    // VmHWM, not getrusage: a process started by this one would inherit this one's peak through
    // fork and keep it across exec.
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

} // namespace bench
