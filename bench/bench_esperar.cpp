// Processor time spent by the timed wait. The exchange waits 4 to 5 seconds per answer; a wait
// that spins burns a core for all of it, one that sleeps costs next to nothing. The "cpu" column
// against the "real" column is the figure to read (process CPU time, user + system).
#include <benchmark/benchmark.h>

#include "bridge/esperar.h"

static void BM_Esperar(benchmark::State& state) {
    EsperadorReal esperador;
    const auto ms = static_cast<std::int32_t>(state.range(0));
    for (auto _ : state) esperador.Esperar(ms);
}
BENCHMARK(BM_Esperar)
    ->Arg(1000)
    ->Arg(2000)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

BENCHMARK_MAIN();
