// Independent units of work on several threads, with results that do not depend on how many.
#ifndef ZORMIX_BASE_PARALLEL_H_
#define ZORMIX_BASE_PARALLEL_H_

#include <cstdint>
#include <functional>

namespace zormix {

using UnitFunction = std::function<void(std::int64_t unit)>;

// Runs the units 0..unitCount-1 on `threads` threads, the calling thread being one of them. Each
// thread first calls makeWorker, which returns that thread's unit function (owning its scratch);
// units are handed out through one shared atomic index. `poll` runs on the calling thread only:
// between its units, at most every 100 ms, and once at the end. The first exception of any
// thread stops the handing out and is rethrown here after all threads have joined.
void RunUnitsInParallel(std::int64_t unitCount, int threads,
                        const std::function<UnitFunction()>& makeWorker,
                        const std::function<void()>& poll);

}  // namespace zormix

#endif  // ZORMIX_BASE_PARALLEL_H_
