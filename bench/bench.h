// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Shared by the benchmark sections: wall-clock timing of our code and of a standard tool.

#include <QString>

#include <functional>

namespace bench {

// Seconds that `work` takes, the best of `runs` runs.
double seconds(const std::function<void()> &work, int runs = 3);
// Seconds that `work` takes, the best of `runs` runs, with `setUp` run untimed before each.
double timed(const std::function<void()> &setUp, const std::function<void()> &work, int runs = 3);
// Seconds that a shell command takes (run by /bin/sh -c), the best of `runs` runs.
double commandSeconds(const QString &shellCommand, int runs = 3);
// Runs a shell command (by /bin/sh -c) and waits for it.
void runShell(const QString &shellCommand);
// A path quoted for the shell.
QString quoted(const QString &path);
// Prints one line: what, our time, the tool's time and our time divided by the tool's.
void report(const char *what, double ours, const char *tool, double theirs);
// Prints one goal line: our time over theirs against the limit, and whether it is met.
void goal(const char *what, double ours, double theirs, double limit);
// Prints a ratio kept for reference, with no goal: the work compared does less than ours.
void ratioOnly(const char *what, double ours, double theirs, const char *why);
// Prints a reference figure: the same work done by Qt's own editor, in the same run.
void reference(const char *what, double seconds);
// Ends the run when work it times failed, since its time would measure nothing.
void require(bool worked, const char *what);
// Peak resident memory of this process so far, in MiB.
double peakMemoryMiB();

} // namespace bench

int runDiverterBench();
int runTextEditerBench();
int runEncodingBench();
// Opens one file in the Text Editer and prints the seconds, the peak and the empty window's peak
// memory in MiB; the text section runs it as a process of its own.
int runOpenFile(const QString &path);
// Opens one file, clicks Replace five times and prints the seconds of the five clicks, the peak
// and the empty window's peak memory in MiB, as runOpenFile does.
int runReplaceFile(const QString &path);
