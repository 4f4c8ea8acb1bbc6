// The numerical local dimension test (Bates, Hauenstein, Peterson & Sommese 2009): whether a root
// is isolated, and otherwise the dimension of the solution set through it.
#ifndef ZORMIX_LOCAL_LOCAL_DIMENSION_H_
#define ZORMIX_LOCAL_LOCAL_DIMENSION_H_

#include "local/dual_space.h"

namespace zormix {

// Given a bound m on the multiplicity of x as an isolated root (the number of paths that reached
// it: an isolated root of multiplicity mu draws exactly mu of them), x is isolated iff its dual
// space stabilises by order m with dimension <= m; then `dual` is that space. Otherwise x lies on
// a set of positive dimension d, the least number of random hyperplanes through x (in its units)
// that make it isolated: a set of dimension d meets d generic hyperplanes through one of its
// points in an isolated point, d - 1 of them in a curve. The sliced points are tested with the
// bound max(m, local.slice_multiplicity_limit), since the paths said nothing about them. A point
// that is not isolated and whose dual space has breadth h(1) = 1 is on a curve without slices
// (the set's tangent cone lies in the Jacobian's kernel).
// Deterministic: the hyperplanes come from a generator of their own with a fixed seed.
// The dual space at x alone (the first step of LocalDimensionAt), up to `bound` (dual_space.h).
// The expansion is taken only as far as the space needs (its depth + 1): from a few orders,
// doubled while the space grows without stabilising, at most to bound + 1. A root of
// multiplicity 12 and depth 3 in 10 unknowns needs the 1,001 monomials of degree <= 4, not the
// 1.1 million of degree <= 13.
DualSpace DualSpaceAt(const PolySystem& system, const Complex* x, const LocalUnits& units,
                      double accuracy, int bound);

struct LocalDimension {
  int dimension = 0;  // 0: isolated
  DualSpace dual;     // of the point itself when isolated; of the sliced point otherwise
  // false: not isolated even with n hyperplanes (a bound too small), or an expansion beyond
  // kLargestMonomialTable
  bool decided = true;
};
LocalDimension LocalDimensionAt(const PolySystem& system, const Complex* x, const LocalUnits& units,
                                double accuracy, int bound);

}  // namespace zormix

#endif  // ZORMIX_LOCAL_LOCAL_DIMENSION_H_
