// Refinement of the point where paths ended: Newton's method on the well-conditioned part of the
// system, and the residual that says whether the result is a root at all.
#ifndef ZORMIX_LOCAL_REFINE_H_
#define ZORMIX_LOCAL_REFINE_H_

#include <vector>

#include "local/taylor.h"

namespace zormix {

// max_i |f_i(x)| / e_i in rounding units, e_i = sum_t |a_t| c^e_t the size of f_i's terms at x
// (LocalUnits::evaluation).
double ResidualUlps(const TaylorSystem& f, const LocalUnits& units);

struct Refined {
  std::vector<Complex> point;
  std::vector<double> moved;  // per coordinate, |point - start|
  double residualUlps = 0.0;  // at the point
  double lastStep = 0.0;      // in units: the step that led to the point (0: the start)
  bool withinReach = true;    // false: a root, if any, lies farther than the reach
};

// Newton's method from x in the units of x (fixed for all iterates) while the residual falls, no
// coordinate farther than `reach` (in its unit) from x. Its steps are least squares on the
// singular values of the Jacobian (in units) above the null threshold at rounding
// (NullThreshold(eps), dual_space.h): near a multiple root the others belong to the null space,
// and a step along them would move the point inside the cluster the root split into (the
// centroid of the end points is far more accurate than any one of them), while the regular
// directions converge quadratically. So at a multiple root the residual falls to the size of the
// null directions' error to the multiplicity's power: rounding, from end points within
// eps^(1/m).
Refined Refine(const PolySystem& system, const std::vector<Complex>& x, const LocalUnits& units,
               double reach);

}  // namespace zormix

#endif  // ZORMIX_LOCAL_REFINE_H_
