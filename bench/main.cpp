// SPDX-License-Identifier: GPL-3.0-or-later
// The benchmark program: each section times our code against a standard tool doing the same job
// in the same run and prints both with their ratio. Arguments name the sections to run
// ("diverter", "text"); none runs all.

#include "bench/bench.h"

#include <QApplication>

#include <cstring>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const auto wanted = [&](const char *name) {
        if (argc < 2)
            return true;
        for (int i = 1; i < argc; ++i) {
            if (std::strcmp(argv[i], name) == 0)
                return true;
        }
        return false;
    };
    if (argc == 3 && std::strcmp(argv[1], "open") == 0)
        return runOpenFile(QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && std::strcmp(argv[1], "replace") == 0)
        return runReplaceFile(QString::fromLocal8Bit(argv[2]));
    int rc = 0;
    if (wanted("diverter"))
        rc |= runDiverterBench();
    if (wanted("text")) {
        rc |= runTextEditerBench();
        rc |= runEncodingBench();
    }
    return rc;
}
