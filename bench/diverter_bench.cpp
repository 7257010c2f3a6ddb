#include "bench/bench.h"

int runDiverterBench()
{
    return 0;
}
