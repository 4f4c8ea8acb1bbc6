#include "local/analyze.h"

#include <algorithm>
#include <cmath>

#include "base/numeric.h"
#include "local/deflation.h"
#include "local/local_dimension.h"
#include "local/parameters.h"
#include "local/refine.h"

namespace zormix {
namespace {

// The end points' spread counts this many times towards the distance refinement may go, and a
// coordinate within this many spreads (or refinement moves) of 0 is 0 at the root.
constexpr double kSpreadShare = 10.0;
// The accuracies tried for the dual space grow by this factor (AccuracyLadder).
constexpr double kLadderStep = 1e2;

std::vector<Complex> Centroid(const std::vector<std::vector<Complex>>& points) {
  std::vector<Complex> c(points.front().size());
  for (const auto& p : points)
    for (std::size_t k = 0; k < c.size(); ++k) c[k] += p[k];
  for (Complex& v : c) v /= static_cast<double>(points.size());
  return c;
}

// Per coordinate, the largest distance of an end point from the centroid.
std::vector<double> Spread(const std::vector<std::vector<Complex>>& points,
                           const std::vector<Complex>& c) {
  std::vector<double> spread(c.size(), 0.0);
  for (const auto& p : points)
    for (std::size_t k = 0; k < c.size(); ++k)
      spread[k] = std::max(spread[k], std::abs(p[k] - c[k]));
  return spread;
}

// max_k v_k / c_k: a per-coordinate size in units.
double InUnits(const std::vector<double>& v, const LocalUnits& units) {
  double worst = 0.0;
  for (std::size_t k = 0; k < v.size(); ++k) worst = std::max(worst, v[k] / units.column[k]);
  return worst;
}

double Distance(const std::vector<Complex>& a, const std::vector<Complex>& b,
                const LocalUnits& units) {
  double worst = 0.0;
  for (std::size_t k = 0; k < a.size(); ++k)
    worst = std::max(worst, std::abs(a[k] - b[k]) / units.column[k]);
  return worst;
}

// The least size a free direction is pinned to by a spread, per coordinate: its largest power in
// the system stays above 2^kSmallestPinnedPower. End points at rounding noise of a root at 0
// spread by 1e-16 and pin x to about 1e-8, where the terms of x^50 (1e-400) underflow to zero:
// the expansion vanishes and the dual space grows like a curve's.
constexpr double kSmallestPinnedPower = -500.0;

std::vector<double> SmallestPinnedSizes(const PolySystem& system) {
  std::vector<std::int32_t> degree(system.n, 1);
  for (std::int64_t t = 0; t < system.exponents.cols(); ++t)
    for (int k = 0; k < system.n; ++k) degree[k] = std::max(degree[k], system.exponents(k, t));
  std::vector<double> least(system.n);
  for (int k = 0; k < system.n; ++k) least[k] = std::exp2(kSmallestPinnedPower / degree[k]);
  return least;
}

// kSpreadShare times the larger of two per-coordinate errors: below it a coordinate is 0.
std::vector<double> ZeroBelow(const std::vector<double>& a, const std::vector<double>& b) {
  std::vector<double> out(a.size());
  for (std::size_t k = 0; k < a.size(); ++k) out[k] = kSpreadShare * std::max(a[k], b[k]);
  return out;
}

void TakeDual(const DualSpace& dual, PointAnalysis& out) {
  out.multiplicity = dual.dimension();
  out.hilbert.assign(dual.hilbert.begin(), dual.hilbert.end() - (dual.stabilized ? 1 : 0));
  out.breadth = dual.breadth();
  out.depth = dual.depth();
  out.gap = dual.gap;
}

// The accuracies at which the dual space is tried, sharpest first: from rounding up to the point's
// own error in steps of kLadderStep. Too sharp a threshold misses functionals whose conditions the
// point's error violates (a smaller space, which deflation cannot regularise); too coarse a one
// takes in spurious ones; deflation and the dual space at the deflated root tell which is right.
std::vector<double> AccuracyLadder(double honest) {
  std::vector<double> ladder;
  for (double a = kMachineEpsilon; a < honest; a *= kLadderStep) ladder.push_back(a);
  ladder.push_back(honest);
  return ladder;
}

// Deflation with `dual` (computed at x with `dualAccuracy`): confirmed when Newton on the deflated
// system converges within `reach` of x and the dual space at the deflated root, computed at the
// accuracy of its last correction, has the same dimension. Then `out` holds the isolated root,
// deflated and certified.
bool ConfirmByDeflation(const PolySystem& system, const std::vector<Complex>& x,
                        const LocalUnits& units, const DualSpace& dual, double dualAccuracy,
                        int bound, double reach, PointAnalysis& out) {
  const Deflation deflation = Deflate(system, x, units, dual);
  if (!deflation.converged || Distance(deflation.point, x, units) > reach) return false;
  const double accuracy = std::max(deflation.correction, kMachineEpsilon);
  // In the units of the point before deflation: a root at the origin deflated to 1e-40 is still
  // measured in the units it had. A point that deflation moved within the dual space's accuracy,
  // and made no more accurate, has the dual space it had.
  const DualSpace again =
      accuracy >= dualAccuracy && Distance(deflation.point, x, units) <= dualAccuracy
          ? dual
          : DualSpaceAt(system, deflation.point.data(), units, accuracy, bound);
  if (!again.stabilized || again.dimension() != dual.dimension()) return false;
  out.verdict = PointVerdict::kIsolatedRoot;
  out.point = deflation.point;
  out.accuracy = accuracy;
  out.deflated = true;
  TakeDual(again, out);
  out.certificate = CertifyDeflation(system, deflation, dual);
  return true;
}

}  // namespace

namespace {

// The point the end points stand for, refined, in its units, with its honest error; `refused`
// when refinement within reach ends off every root (steps 1 and 2 of AnalyzeSingularPoint).
struct PreparedPoint {
  bool refused = true;
  int bound = 0;
  std::vector<Complex> point;
  LocalUnits units;
  double reach = 0.0;
  double honest = 0.0;
};

PreparedPoint Prepare(const PolySystem& system, const std::vector<std::vector<Complex>>& endPoints,
                      int pathsReaching, const std::vector<double>& naturalSize) {
  PreparedPoint p;
  p.bound = std::max(pathsReaching, static_cast<int>(endPoints.size()));
  const std::vector<Complex> centroid = Centroid(endPoints);
  const std::vector<double> spread = Spread(endPoints, centroid);
  // Where the system leaves a size free, the end points fix it: the size at which their spread is
  // the zero share of it (taylor.h).
  std::vector<double> pinned = SmallestPinnedSizes(system);
  for (std::size_t k = 0; k < spread.size(); ++k)
    pinned[k] = spread[k] > 0.0 ? std::max(pinned[k], spread[k] / DefaultZeroShare()) : 0.0;
  const std::vector<double> natural =
      naturalSize.empty() ? NaturalSizes(system, pinned) : naturalSize;
  // Rows for the deepest expansion within the bound (units.h).
  const LocalUnits start =
      UnitsAt(system, centroid.data(), natural, ZeroBelow(spread, spread), p.bound + 1);
  p.reach = kEndPointReach.value() + kSpreadShare * InUnits(spread, start);
  const Refined refined = Refine(system, centroid, start, p.reach);
  p.point = refined.point;
  if (!refined.withinReach || refined.residualUlps > kRootResidual.value()) return p;
  p.refused = false;
  p.units = UnitsAt(system, p.point.data(), natural, ZeroBelow(spread, refined.moved), p.bound + 1);
  // What is known of the point's error: Newton's steps at a root of multiplicity m are 1/m of the
  // distance left; the end points' spread bounds the centroid's.
  p.honest = std::max({p.bound * refined.lastStep, InUnits(spread, p.units), kMachineEpsilon});
  return p;
}

// Step 4: the local dimension test at the point's own error; without `dimension`, only whether
// the point is isolated (a set's dimension left 0).
void TakeLocalDimension(const PolySystem& system, const PreparedPoint& p, PointAnalysis& out,
                        bool dimension = true) {
  if (!dimension) {
    const DualSpace dual = DualSpaceAt(system, p.point.data(), p.units, p.honest, p.bound);
    if (dual.exceeded) {
      out.verdict = PointVerdict::kUndecided;
    } else if (dual.stabilized) {
      out.verdict = PointVerdict::kIsolatedRoot;
      TakeDual(dual, out);
    } else {
      out.verdict = PointVerdict::kPositiveDimensional;
    }
    return;
  }
  const LocalDimension local = LocalDimensionAt(system, p.point.data(), p.units, p.honest, p.bound);
  if (!local.decided) {
    out.verdict = PointVerdict::kUndecided;
  } else if (local.dimension > 0) {
    out.verdict = PointVerdict::kPositiveDimensional;
    out.localDimension = local.dimension;
  } else {
    out.verdict = PointVerdict::kIsolatedRoot;
    TakeDual(local.dual, out);
  }
}

}  // namespace

PointAnalysis AnalyzeSingularPoint(const PolySystem& system,
                                   const std::vector<std::vector<Complex>>& endPoints,
                                   int pathsReaching, const std::vector<double>& naturalSize) {
  PointAnalysis out;
  if (endPoints.empty()) return out;
  const PreparedPoint p = Prepare(system, endPoints, pathsReaching, naturalSize);
  out.point = p.point;
  if (p.refused) {
    out.verdict = PointVerdict::kNotARoot;
    return out;
  }
  out.accuracy = p.honest;
  for (const double accuracy : AccuracyLadder(p.honest)) {
    const DualSpace dual = DualSpaceAt(system, out.point.data(), p.units, accuracy, p.bound);
    if (dual.exceeded || (dual.stabilized && !Deflatable(system.n, dual))) break;
    if (!dual.stabilized) continue;
    if (ConfirmByDeflation(system, out.point, p.units, dual, accuracy, p.bound, p.reach, out))
      return out;
  }
  // No structure that deflation confirms: the local dimension test at the point's own accuracy.
  TakeLocalDimension(system, p, out);
  return out;
}

PointAnalysis LocalDimensionOfPoint(const NormalForm& system,
                                    const std::vector<std::vector<Complex>>& endPoints,
                                    int pathsReaching, bool dimension) {
  PointAnalysis out;
  if (endPoints.empty()) return out;
  PolySystem raw = system.scaled;
  raw.coefficients = system.rawCoefficients;
  const PreparedPoint p = Prepare(raw, endPoints, pathsReaching, {});
  out.point = p.point;
  if (p.refused) {
    out.verdict = PointVerdict::kNotARoot;
    return out;
  }
  out.accuracy = p.honest;
  TakeLocalDimension(raw, p, out, dimension);
  return out;
}

PointAnalysis AnalyzeSingularPoint(const NormalForm& system,
                                   const std::vector<std::vector<Complex>>& endPoints,
                                   int pathsReaching) {
  PolySystem raw = system.scaled;
  raw.coefficients = system.rawCoefficients;
  return AnalyzeSingularPoint(raw, endPoints, pathsReaching);
}

}  // namespace zormix
