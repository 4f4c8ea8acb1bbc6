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
  // deflated root its last Newton correction, else the spread of the end points and the Newton
  // steps of the refinement.
  double accuracy = 0.0;
  bool deflated = false;             // Newton on the deflated system converged
  DeflationCertificate certificate;  // Krawczyk on the deflated system (deflation_certificate.h)
};

// `endPoints`: the end points of the paths that reached the point (at least one; their centroid
// is the start: the mean of the m roots a multiple root splits into is far more accurate than any
// one of them); `pathsReaching`: the bound on the multiplicity (local_dimension.h), at least the
// number of end points. `naturalSize` (optional, per coordinate): the size a coordinate that is 0
// at the point is measured in (taylor.h), e.g. the system's scaling.
//
// Steps: the centroid refined by Newton's method (minimal-norm least squares) while the residual
// falls, at most local.end_point_reach (units) plus ten times the end points' spread away; a
// point whose residual is then above local.root_residual rounding units is kNotARoot, never a
// set. Then the local dimension test with the bound: a set gives kPositiveDimensional with its
// dimension. An isolated point of multiplicity >= 2 is deflated (deflation.h) and its dual space
// computed again at the deflated root, whose accuracy sharpens the ranks; Krawczyk's test
// certifies the deflated root (a simple root: the test on f itself, the same system with depth 0).
//
// Deterministic; draws from no shared stream. Works on the system as given (unscaled).
PointAnalysis AnalyzeSingularPoint(const PolySystem& system,
                                   const std::vector<std::vector<Complex>>& endPoints,
                                   int pathsReaching, const std::vector<double>& naturalSize = {});
// The same for a normal form: on its unscaled coefficients, with the coordinates' natural sizes
// from its scaling.
PointAnalysis AnalyzeSingularPoint(const NormalForm& system,
                                   const std::vector<std::vector<Complex>>& endPoints,
                                   int pathsReaching);

}  // namespace zormix

#endif  // ZORMIX_LOCAL_ANALYZE_H_
