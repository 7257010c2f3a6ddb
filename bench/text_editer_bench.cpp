#include "bench/bench.h"

int runTextEditerBench()
{
    return 0;
}
