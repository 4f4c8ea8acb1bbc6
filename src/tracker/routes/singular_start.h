// The paths out of singular start points of a parameter homotopy. A start root of multiplicity m
// stands for m paths, as in the solve that found it. A singular point cannot start a path (Newton
// does not converge there, the tangent is not defined), so while the start has one, the homotopy
// carries a small random offset that vanishes at the target,
//   H(y, t) = F(y; p(t)) - (1 - t) delta v,
// and at t = 0 the m regular roots of F(y; p0) = delta v near the singular point start the m
// paths. Where every member keeps the singular root, the m paths meet again at t = 1, and the
// member's verdict is the solve's (one singular root of multiplicity m); where p0 was a special
// point at which m roots of the family meet, the m paths reach the m roots of the member.
#ifndef ZORMIX_TRACKER_ROUTES_SINGULAR_START_H_
#define ZORMIX_TRACKER_ROUTES_SINGULAR_START_H_

#include <cstdint>
#include <span>
#include <vector>

#include "base/random.h"
#include "tracker/homotopy/homotopy.h"
#include "tracker/tracking.h"
#include "zormix/poly_system.h"

namespace zormix {

// |delta v_i| in the scaled system (coefficients of size 1): the branches of a root of
// multiplicity m then lie about delta^(1/m) from it, far apart beyond Newton's accuracy.
inline constexpr double kSingularStartOffset = 1e-6;

// delta v on the constant term of every equation of `layout` (terms in its order, 0 elsewhere),
// each of modulus kSingularStartOffset with an angle drawn from `draws`.
std::vector<Complex> SingularStartOffset(const PolySystem& layout, RuntimeUniform& draws);

// The paths tracked for the start roots: column k of `points` stands for the `copies[k]` paths
// firstPath[k], firstPath[k] + 1, ... (0-based) of the member.
struct StartPaths {
  ColMajorMatrix<Complex> points;
  std::vector<std::int64_t> firstPath;
  std::vector<std::int32_t> copies;
  std::int64_t pathCount = 0;  // sum of the multiplicities
};

// For every start root (column of `points`, multiplicity[k] >= 1; empty: all 1): one path for a
// regular root; for a root of multiplicity m, when `offset` is set, the branches of H(., 0) = 0
// that Newton finds near it (from points around it drawn from `draws`), one path each, and one
// path from the root itself that stands for the branches not found.
StartPaths PlanStartPaths(Homotopy& homotopy, const ColMajorMatrix<Complex>& points,
                          std::span<const std::int32_t> multiplicity, bool offset,
                          RuntimeUniform& draws);

// Renumbers the tracked paths of `tracked` to the member's paths and repeats the outcome of a path
// that stands for several (its end point, or its lost record) once for each: every path of the
// member ends in exactly one record.
void CountPathCopies(const StartPaths& paths, TrackingOutcome& tracked);

}  // namespace zormix

#endif  // ZORMIX_TRACKER_ROUTES_SINGULAR_START_H_
