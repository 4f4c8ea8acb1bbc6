// The decomposition and the membership test with the paths of their homotopies tracked by the
// caller's runners: every process of a cluster job runs the same decomposition, and the processes
// share out the paths of each solve and each parameter homotopy.
#ifndef ZORMIX_DECOMPOSE_DECOMPOSE_WITH_RUNNERS_H_
#define ZORMIX_DECOMPOSE_DECOMPOSE_WITH_RUNNERS_H_

#include <span>
#include <vector>

#include "decompose/witness_track.h"
#include "zormix/decompose.h"

namespace zormix {

// Decompose, with every tracking run by `runners`; the same result bit for bit.
Decomposition DecomposeWith(const PolySystem& system, const DecomposeOptions& options,
                            const TrackingRunners& runners);

// ComponentsContaining, with every tracking run by `runners`; the same result.
std::vector<int> ComponentsContainingWith(const PolySystem& system,
                                          const Decomposition& decomposition,
                                          std::span<const Complex> point,
                                          const DecomposeOptions& options,
                                          const TrackingRunners& runners);

}  // namespace zormix

#endif  // ZORMIX_DECOMPOSE_DECOMPOSE_WITH_RUNNERS_H_
