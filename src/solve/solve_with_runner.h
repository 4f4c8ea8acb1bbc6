// The solve with its spreadable stages run by the caller's code: the processes of a cluster job
// share out the mixed-cell search's branches and the first tracking's units instead of running all
// of them here.
#ifndef ZORMIX_SOLVE_SOLVE_WITH_RUNNER_H_
#define ZORMIX_SOLVE_SOLVE_WITH_RUNNER_H_

#include <cstdint>
#include <functional>

#include "mixedcell/mixed_cell_search.h"
#include "solve/checkpoint.h"
#include "tracker/tracking.h"
#include "zormix/solve.h"

namespace zormix {

// Who runs what. An empty runner leaves its stage to this process's threads.
struct SolveRunners {
  BranchRunner cellBranches;  // the branches of the mixed-cell search (polyhedral route)
  UnitRunner units;           // the units of the first tracking
};

// Makes the runners from the solve's open checkpoint (null without one) and its thread count.
using RunnerFactory = std::function<SolveRunners(Checkpoint* checkpoint, int threads)>;

// SolveSystem with its stages run by makeRunners' runners.
SolveResult SolveSystemWith(const PolySystem& system, const SolveOptions& options,
                            const RunnerFactory& makeRunners);

}  // namespace zormix

#endif  // ZORMIX_SOLVE_SOLVE_WITH_RUNNER_H_
