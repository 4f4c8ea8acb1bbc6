// Independent tasks on a few threads, on the solver's one thread pool (base/parallel.h): each task
// index is taken once, in increasing order, by whichever thread is free; the calling thread works
// too. The first exception is rethrown.
#ifndef ZORMIX_MIXEDCELL_PARALLEL_FOR_H_
#define ZORMIX_MIXEDCELL_PARALLEL_FOR_H_

#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/parallel.h"

namespace zormix {

// makeWorker() is called once per thread and returns the callable run(index) of that thread (so
// that each thread can keep its own scratch state).
template <class MakeWorker>
void ParallelFor(std::size_t count, int threads, MakeWorker makeWorker) {
  RunUnitsInParallel(
      static_cast<std::int64_t>(count), threads,
      [&makeWorker]() -> UnitFunction {
        auto run = std::make_shared<decltype(makeWorker())>(makeWorker());
        return [run](std::int64_t unit) { (*run)(static_cast<std::size_t>(unit)); };
      },
      [] {});
}

}  // namespace zormix

#endif  // ZORMIX_MIXEDCELL_PARALLEL_FOR_H_
