// One segment of a loop: points of a family followed from parameters `from` to `to` by the
// parameter homotopy of a sweep (the gamma trick, the end game, rescue of lost paths and the
// path-jumping check), in the scaled variables of the member at `to`.
#ifndef ZORMIX_DECOMPOSE_MONODROMY_TRACK_H_
#define ZORMIX_DECOMPOSE_MONODROMY_TRACK_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "base/random.h"
#include "solve/family_layout.h"
#include "zormix/col_major_matrix.h"
#include "zormix/complex.h"
#include "zormix/parametric.h"

namespace zormix {

// A member of a family with its tracking layout, computed once and shared by every segment that
// ends there.
struct SegmentTarget {
  std::vector<Complex> parameters;
  MemberLayout layout;
};
std::shared_ptr<const SegmentTarget> MakeSegmentTarget(const ParametricSystem& family,
                                                       std::span<const Complex> parameters);

struct SegmentOptions {
  int threads = 1;
  std::function<bool()> interrupted;
};

// The end of every column's path, in the member's own (unscaled) variables; reached[k] = 0 when
// path k gave no end point (lost, at infinity, or given up near a singular end).
struct SegmentEnds {
  ColMajorMatrix<Complex> points;
  std::vector<std::uint8_t> reached;
};

// Follows the columns of `points` (roots of the member at `from`) to `to` along
// p(t) = from + tau(t) (to - from), tau(t) = gamma t / ((1 - t) + gamma t). `draws` feeds the
// tracker's random checks. Results do not depend on options.threads. Throws kInterruptedId.
SegmentEnds TrackSegment(const ParametricSystem& family, std::span<const Complex> from,
                         const SegmentTarget& to, Complex gamma,
                         const ColMajorMatrix<Complex>& points, RuntimeUniform& draws,
                         const SegmentOptions& options);

}  // namespace zormix

#endif  // ZORMIX_DECOMPOSE_MONODROMY_TRACK_H_
