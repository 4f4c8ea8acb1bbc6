// The pairs of end points close enough to be compared, found without comparing all pairs.
#ifndef ZORMIX_FINISH_NEAR_PAIRS_H_
#define ZORMIX_FINISH_NEAR_PAIRS_H_

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "zormix/complex.h"

namespace zormix {

using NearPair = std::pair<std::int64_t, std::int64_t>;

// Every pair (a, b), a < b, of the points `members` (point(k): n coordinates) with
//   max_j |x_a,j - x_b,j| <= reach[a] + reach[b]
// and for which `accept(a, b)` holds, in ascending order. The points are projected on three
// directions v fixed once for all (sum_j |v_j| = 1, so that |<v, x_a - x_b>| is at most the
// max-norm distance): their projections Re <v, x> give an interval [p - reach, p + reach] per
// point, and only pairs whose intervals overlap on all three can be near. The intervals are swept
// in order of their left ends, each point meeting only the points whose left end lies in its
// interval, so the cost is O(N log N) plus the pairs whose intervals overlap: for distinct roots
// with reach far below their distances, about the pairs asked for. One coordinate would not do:
// symmetric systems give whole orbits of roots the same coordinate (cyclic-n's conjugate and
// reversed roots), and then its window holds thousands of points. A point with a non-finite
// coordinate or reach is in no pair. `accept` runs on `threads` threads (it must be safe to call
// concurrently); the result does not depend on their number. `poll` runs on the calling thread
// between units of work (RunUnitsInParallel).
std::vector<NearPair> NearPairs(int n, const std::function<const Complex*(std::int64_t)>& point,
                                const std::vector<std::int64_t>& members,
                                const std::vector<double>& reach,
                                const std::function<bool(std::int64_t, std::int64_t)>& accept,
                                int threads, const std::function<void()>& poll = {});

}  // namespace zormix

#endif  // ZORMIX_FINISH_NEAR_PAIRS_H_
