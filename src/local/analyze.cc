#include "local/analyze.h"

#include <algorithm>
#include <cmath>

#include "base/numeric.h"
#include "local/dense.h"
#include "local/local_dimension.h"
#include "local/parameters.h"

namespace zormix {
namespace {

constexpr int kRefinementSteps = 40;
// The end points' spread counts this many times towards the distance refinement may go.
constexpr double kSpreadShare = 10.0;

// max_i |f_i(x)| / sum_t |a_t x^e_t|, in rounding units.
double ResidualUlps(const TaylorSystem& f, const LocalUnits& units) {
  double worst = 0.0;
  for (std::size_t i = 0; i < f.equations.size(); ++i) {
    const double value = std::abs(f.equations[i][0]) * units.row[i];
    const double scale = units.evaluation[i] > 0.0 ? units.evaluation[i] : units.row[i];
    worst = std::max(worst, value / (scale * kMachineEpsilon));
  }
  return worst;
}

struct Refined {
  std::vector<Complex> point;
  double residualUlps = 0.0;
  double lastStep = 0.0;  // units: the step that led to the point (0 for the start)
  bool withinReach = true;
};

// Newton's method (minimal-norm least squares in the units of the start) while the residual
// falls, no farther than `reach` (units) from the start.
Refined Refine(const PolySystem& system, std::vector<Complex> x, const LocalUnits& start,
               double reach, double scale, double zeroShare) {
  const int n = system.n;
  const MonomialTable table(n, 1);
  Refined out;
  std::vector<Complex> origin = x;
  double bestResidual = 1e300;
  double stepInto = 0.0;
  for (int step = 0; step <= kRefinementSteps; ++step) {
    LocalUnits units = start;
    units.row.clear();
    const TaylorSystem f = ExpandAt(system, x.data(), units, table, 1);
    units.evaluation = ColumnUnitsAt(system, x.data(), {}, zeroShare).evaluation;
    const double residual = ResidualUlps(f, units);
    if (residual >= bestResidual) break;
    bestResidual = residual;
    out.point = x;
    out.residualUlps = residual;
    out.lastStep = stepInto;
    const int equations = static_cast<int>(f.equations.size());
    ColMajorMatrix<Complex> J(equations, n);
    std::vector<Complex> minusF(equations);
    for (int i = 0; i < equations; ++i) {
      minusF[i] = -f.equations[i][0];
      for (int k = 0; k < n; ++k) J(i, k) = f.equations[i][1 + k];
    }
    const std::vector<Complex> d = TruncatedLeastSquares(J, minusF, kMachineEpsilon);
    double size = 0.0, distance = 0.0;
    std::vector<Complex> next = x;
    for (int k = 0; k < n; ++k) {
      next[k] += start.column[k] * d[k];
      size = std::max(size, std::abs(d[k]));
      distance = std::max(distance, std::abs(next[k] - origin[k]) / scale);
    }
    stepInto = size;
    if (distance > reach) {
      out.withinReach = residual <= kRootResidual.value();
      break;
    }
    if (size <= 4.0 * kMachineEpsilon) break;
    x = std::move(next);
  }
  return out;
}

std::vector<Complex> Centroid(const std::vector<std::vector<Complex>>& points) {
  std::vector<Complex> c(points.front().size());
  for (const auto& p : points)
    for (std::size_t k = 0; k < c.size(); ++k) c[k] += p[k];
  for (Complex& v : c) v /= static_cast<double>(points.size());
  return c;
}

// The largest distance of an end point from the centroid, max-norm.
double Spread(const std::vector<std::vector<Complex>>& points, const std::vector<Complex>& c) {
  double spread = 0.0;
  for (const auto& p : points)
    for (std::size_t k = 0; k < c.size(); ++k) spread = std::max(spread, std::abs(p[k] - c[k]));
  return spread;
}

// The spread relative to the largest coordinate.
double SpreadShare(const std::vector<std::vector<Complex>>& points, const std::vector<Complex>& c) {
  double largest = 0.0, spread = 0.0;
  for (const Complex& v : c) largest = std::max(largest, std::abs(v));
  for (const auto& p : points)
    for (std::size_t k = 0; k < c.size(); ++k) spread = std::max(spread, std::abs(p[k] - c[k]));
  return largest > 0.0 ? spread / largest : 0.0;
}

void TakeDual(const DualSpace& dual, PointAnalysis& out) {
  out.multiplicity = dual.dimension();
  out.hilbert.assign(dual.hilbert.begin(), dual.hilbert.end() - (dual.stabilized ? 1 : 0));
  out.breadth = dual.breadth();
  out.depth = dual.depth();
  out.gap = dual.gap;
}

}  // namespace

PointAnalysis AnalyzeSingularPoint(const PolySystem& system,
                                   const std::vector<std::vector<Complex>>& endPoints,
                                   int pathsReaching, const std::vector<double>& naturalSize) {
  PointAnalysis out;
  if (endPoints.empty()) return out;
  const int bound = std::max(pathsReaching, static_cast<int>(endPoints.size()));
  const std::vector<Complex> centroid = Centroid(endPoints);
  // A coordinate within the end points' spread of 0 is 0 at the root.
  const double zeroShare =
      std::max(DefaultZeroShare(), kSpreadShare * SpreadShare(endPoints, centroid));
  const LocalUnits start = ColumnUnitsAt(system, centroid.data(), naturalSize, zeroShare);
  const double spread = Spread(endPoints, centroid);
  // Distances from the centroid relative to its largest coordinate (or its natural size at the
  // origin): a coordinate that tends to 0 has no unit of its own to move in.
  double size = 0.0;
  for (int k = 0; k < system.n; ++k) size = std::max(size, std::abs(centroid[k]));
  for (double v : naturalSize) size = std::max(size, v);
  if (size == 0.0) size = 1.0;
  const Refined refined =
      Refine(system, centroid, start, kEndPointReach.value() + kSpreadShare * spread / size, size,
             zeroShare);
  out.point = refined.point;
  if (!refined.withinReach || refined.residualUlps > kRootResidual.value()) {
    out.verdict = PointVerdict::kNotARoot;
    return out;
  }
  LocalUnits units = ColumnUnitsAt(system, out.point.data(), naturalSize, zeroShare);
  // Newton's steps at a root of multiplicity m are 1/m of the distance left; without a step, the
  // end points' spread.
  out.accuracy =
      std::max(refined.lastStep > 0.0 ? bound * refined.lastStep : spread / size, kMachineEpsilon);
  LocalDimension local = LocalDimensionAt(system, out.point.data(), units, out.accuracy, bound);
  if (local.dimension > 0) {
    // A cluster of roots that rounding split from one multiple root keeps small but non-zero
    // singular values: at the sharpest threshold its structure may still show, and deflation
    // decides. Points of sets keep their null singular values at rounding: a set stays a set.
    LocalUnits sharpest = units;
    LocalDimension retry =
        LocalDimensionAt(system, out.point.data(), sharpest, kMachineEpsilon, bound);
    if (retry.dimension == 0 && retry.dual.dimension() > 1) {
      const Deflation trial = Deflate(system, out.point, units, retry.dual);
      if (trial.converged) local = std::move(retry);
    }
  }
  if (local.dimension > 0) {
    out.verdict = local.decided ? PointVerdict::kPositiveDimensional : PointVerdict::kUndecided;
    out.localDimension = local.dimension;
    return out;
  }
  out.verdict = PointVerdict::kIsolatedRoot;
  TakeDual(local.dual, out);
  const Deflation deflation = Deflate(system, out.point, units, local.dual);
  if (!deflation.converged) return out;
  out.deflated = true;

  out.point = deflation.point;
  out.accuracy = std::max(deflation.correction, kMachineEpsilon);
  // The units of the point before deflation: a root at the origin deflated to 1e-40 is still
  // measured in the units it had.
  LocalUnits sharp = units;
  sharp.row.clear();
  const LocalDimension again =
      LocalDimensionAt(system, out.point.data(), sharp, out.accuracy, bound);
  if (again.dimension == 0) TakeDual(again.dual, out);
  out.certificate = CertifyDeflation(system, deflation, units, local.dual);
  return out;
}

PointAnalysis AnalyzeSingularPoint(const NormalForm& system,
                                   const std::vector<std::vector<Complex>>& endPoints,
                                   int pathsReaching) {
  PolySystem raw = system.scaled;
  raw.coefficients = system.rawCoefficients;
  const int n = raw.n;
  std::vector<double> natural(n, 1.0);
  for (int k = 0; k < n && k < static_cast<int>(system.scaleExponents.size()); ++k)
    natural[k] = std::exp(system.scaleExponents[k]);
  return AnalyzeSingularPoint(raw, endPoints, pathsReaching, natural);
}

}  // namespace zormix
