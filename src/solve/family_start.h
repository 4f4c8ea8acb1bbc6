// The start solve of a family with the solve of its member at p0 left to the caller: a cluster
// job's rank 0 solves it over the ranks as it solves any system.
#ifndef ZORMIX_SOLVE_FAMILY_START_H_
#define ZORMIX_SOLVE_FAMILY_START_H_

#include <functional>

#include "zormix/parametric.h"
#include "zormix/poly_system.h"
#include "zormix/result.h"
#include "zormix/solve.h"
#include "zormix/sweep.h"

namespace zormix {

// Solves one system as SolveSystem does (same options, same result bit for bit).
using StartMemberSolver =
    std::function<SolveResult(const PolySystem& member, const SolveOptions& options)>;

// SolveFamilyStart with the member at p0 solved by `solve`.
FamilyStart SolveFamilyStartWith(const ParametricSystem& family, const SweepOptions& options,
                                 const StartMemberSolver& solve);

}  // namespace zormix

#endif  // ZORMIX_SOLVE_FAMILY_START_H_
