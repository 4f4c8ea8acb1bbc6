// The solve with the first tracking's units run by the caller's code: the processes of a cluster
// job share them out instead of tracking all of them here.
#ifndef ZORMIX_SOLVE_SOLVE_WITH_RUNNER_H_
#define ZORMIX_SOLVE_SOLVE_WITH_RUNNER_H_

#include <cstdint>
#include <functional>

#include "solve/checkpoint.h"
#include "tracker/tracking.h"
#include "zormix/solve.h"

namespace zormix {

// Makes the runner of the first tracking from the solve's open checkpoint (null without one) and
// its thread count. An empty runner tracks every unit here.
using RunnerFactory = std::function<UnitRunner(Checkpoint* checkpoint, int threads)>;

// SolveSystem with the first tracking run by makeRunner's runner.
SolveResult SolveSystemWith(const PolySystem& system, const SolveOptions& options,
                            const RunnerFactory& makeRunner);

// The seed a solve uses: options.seed when set; else, with a checkpoint, the one stored in it;
// else fresh entropy.
std::uint64_t ChooseSeed(const SolveOptions& options);

}  // namespace zormix

#endif  // ZORMIX_SOLVE_SOLVE_WITH_RUNNER_H_
