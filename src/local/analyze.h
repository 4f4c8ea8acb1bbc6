// The local analysis of a point where paths ended: refined, isolated or on a set, its
// multiplicity and Hilbert function, deflated to full accuracy and certified. The one entry point
// the classification of end points calls.
#ifndef ZORMIX_LOCAL_ANALYZE_H_
#define ZORMIX_LOCAL_ANALYZE_H_

#include <vector>

#include "local/deflation_certificate.h"
#include "model/normal_form.h"

namespace zormix {

// The verdict, decided in AnalyzeSingularPoint alone.
enum class PointVerdict {
  kIsolatedRoot,         // an isolated root of the computed multiplicity (1: a regular root)
  kPositiveDimensional,  // a point of a solution set of the computed local dimension
  kNotARoot,             // refinement within reach ends with a residual above rounding
  kUndecided,            // no verdict: a set of dimension beyond the slices, or a failed step
};

struct PointAnalysis {
  PointVerdict verdict = PointVerdict::kUndecided;
  std::vector<Complex> point;  // the refined point (the deflated root for an isolated one)
  // Isolated roots: the dimension of the dual space, its Hilbert function h(0..depth) (h(1) the
  // breadth), and how clearly its ranks were decided (DualSpace::gap).
  int multiplicity = 0;
  std::vector<int> hilbert;
  int breadth = 0;
  int depth = 0;
  double gap = 0.0;
  int localDimension = 0;  // kPositiveDimensional: the dimension of the set at the point
  // The point's estimated error, max_j |x_j - root_j| / c_j in its units (taylor.h): for a
  // deflated root its last Newton correction, else the spread of the end points or the Newton
  // steps of the refinement.
  double accuracy = 0.0;
  bool deflated = false;             // Newton on the deflated system converged
  DeflationCertificate certificate;  // Krawczyk on the deflated system (deflation_certificate.h)
};

// `endPoints`: the end points of the paths that reached the point (at least one; their centroid
// is the start: the mean of the m roots a multiple root splits into is far more accurate than any
// one of them); `pathsReaching`: the bound on the multiplicity (local_dimension.h), at least the
// number of end points; a root whose multiplicity exceeds it is not told from a point of a curve,
// so failed paths that may have ended there count. `naturalSize` (optional, per coordinate): the
// size a coordinate is measured in where it is 0 or small (taylor.h); by default NaturalSizes,
// its free directions fixed by the end points' spread.
//
// Steps:
//   1. Units at the centroid (taylor.h): a coordinate within ten spreads of 0 is 0.
//   2. Refinement (refine.h) within local.end_point_reach (units) plus ten spreads; a point whose
//      residual is then above local.root_residual rounding units is kNotARoot, never a set.
//   3. The dual space at accuracies from rounding up to the point's own error (the spread, or
//      the multiplicity bound times the last refinement step), sharpest first; the first that
//      deflation confirms decides: Newton on the deflated system (deflation.h) converges within
//      the reach, and the dual space at the deflated root, at the accuracy of its last
//      correction, has the same dimension. That root, its multiplicity and Hilbert function, and
//      Krawczyk's certificate on the deflated system (a simple root: the test on f itself).
//   4. Otherwise the local dimension test at the point's own error: a set gives
//      kPositiveDimensional with its dimension; an isolated point whose structure deflation
//      cannot confirm (its deflated system beyond kLargestDeflation, or Newton there not
//      converging) is kIsolatedRoot, uncertified; a test that cannot decide (a set of dimension
//      beyond the bound's reach, an expansion beyond kLargestMonomialTable) kUndecided.
//
// Every decision is made in units that follow a rescaling of the variables and the equations
// (taylor.h), so verdicts do not depend on them, nor on the seed. Deterministic; draws from no
// shared stream. Works on the system as given (unscaled). Cost: a few milliseconds for a double
// or triple root in a few unknowns, tens for the 4-fold roots of cyclic-9; the dual space grows
// with the multiplicity times the unknowns, its expansion with the depth.
PointAnalysis AnalyzeSingularPoint(const PolySystem& system,
                                   const std::vector<std::vector<Complex>>& endPoints,
                                   int pathsReaching, const std::vector<double>& naturalSize = {});
// The same for a normal form: on its unscaled coefficients (the natural sizes are the local
// analysis's own, which the normal form's scaling, fixed before any point is known, is not).
PointAnalysis AnalyzeSingularPoint(const NormalForm& system,
                                   const std::vector<std::vector<Complex>>& endPoints,
                                   int pathsReaching);

// Steps 1, 2 and 4 alone, for points that need only be told isolated or on a set: the verdict
// kNotARoot, kPositiveDimensional with the local dimension, kIsolatedRoot with the dual space's
// multiplicity and Hilbert function (neither deflated nor certified), or kUndecided. The
// accuracies below the point's own error, and deflation, are left to AnalyzeSingularPoint.
// Without `dimension` the slices are not cut: whether the point is isolated (its dual space
// stabilising within the bound) and, for a set, kPositiveDimensional with localDimension 0.
PointAnalysis LocalDimensionOfPoint(const NormalForm& system,
                                    const std::vector<std::vector<Complex>>& endPoints,
                                    int pathsReaching, bool dimension = true);

}  // namespace zormix

#endif  // ZORMIX_LOCAL_ANALYZE_H_
