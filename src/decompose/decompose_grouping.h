// Witness points of one dimension broken into irreducible components: monodromy loops join the
// points that the slice's loops permute, and the linear trace test (Sommese, Verschelde and
// Wampler, 2002) proves a group complete. The trace of a set S of witness points along the pencil
// of parallel slices C x + c + t delta = 0 is tr_S(t) = sum_{p in S} lambda . x_p(t); it is
// linear in t exactly when S is a union of whole components. Each point's share of the second
// difference, d_p = lambda . (x_p(1) + x_p(-1) - 2 x_p(0)), is computed once, and a group closes
// when |sum_{p in S} d_p| is rounding against the size of the traces (decompose.trace_closed).
#ifndef ZORMIX_DECOMPOSE_DECOMPOSE_GROUPING_H_
#define ZORMIX_DECOMPOSE_DECOMPOSE_GROUPING_H_

#include <cstdint>
#include <vector>

#include "decompose/membership.h"
#include "decompose/witness_track.h"

namespace zormix {

struct ComponentGroups {
  std::vector<std::vector<std::int64_t>> groups;  // columns of the witness set, ascending
  std::vector<double> traceResidual;              // per group
  std::vector<std::uint8_t> tracePassed;          // per group
};

// Groups are ordered by their first point.
ComponentGroups GroupWitnessPoints(const WitnessSet& set, PointTracker& tracker);

}  // namespace zormix

#endif  // ZORMIX_DECOMPOSE_DECOMPOSE_GROUPING_H_
