// Time of the mixed-cell computation on classic systems (origin appended to every equation), with
// the number of cells, the mixed volume and the peak resident memory as counters.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <functional>
#include <string>

#include "mixedcell/mixed_cells.h"
#include "mixedcell/mixed_volume_util.h"
#include "support/systems.h"

namespace zormix {
namespace {

double PeakRssMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in kilobytes on Linux
}

void BenchMixedCells(benchmark::State& state, const std::function<PolySystem(int)>& make,
                     int threads = 1) {
  const testing::Supports s = testing::WithOrigin(make(static_cast<int>(state.range(0))));
  std::int64_t cells = 0, volume = 0;
  CellSearchControl control;
  control.threads = threads;
  for (auto _ : state) {
    RuntimeUniform runtime(2024);
    MixedCellResult r = ComputeMixedCells(s.n, s.termCount, s.exponents, runtime, control);
    cells = r.cells.size();
    benchmark::DoNotOptimize(r);
    state.PauseTiming();
    volume = testing::MixedVolume(s.exponents, r.cells);
    state.ResumeTiming();
  }
  state.counters["cells"] = static_cast<double>(cells);
  state.counters["mixed_volume"] = static_cast<double>(volume);
  state.counters["peak_rss_MB"] = PeakRssMegabytes();
}

void Cyclic(benchmark::State& state) { BenchMixedCells(state, testing::Cyclic); }
void Katsura(benchmark::State& state) { BenchMixedCells(state, testing::Katsura); }
void Noon(benchmark::State& state) { BenchMixedCells(state, testing::Noon); }
// The same search on two threads (the first support's edges split between them).
void KatsuraTwoThreads(benchmark::State& state) { BenchMixedCells(state, testing::Katsura, 2); }
void CyclicTwoThreads(benchmark::State& state) { BenchMixedCells(state, testing::Cyclic, 2); }

BENCHMARK(Cyclic)->DenseRange(8, 11)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Katsura)->DenseRange(8, 11)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Noon)->DenseRange(6, 9)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(KatsuraTwoThreads)->DenseRange(10, 11)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(CyclicTwoThreads)->DenseRange(10, 11)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace zormix

BENCHMARK_MAIN();
