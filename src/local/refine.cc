#include "local/refine.h"

#include <algorithm>
#include <cmath>

#include "base/numeric.h"
#include "local/dense.h"
#include "local/dual_space.h"
#include "local/parameters.h"

namespace zormix {
namespace {

constexpr int kRefinementSteps = 40;
// A step of at most this many rounding units (in units) ends the refinement.
constexpr double kRoundingStep = 4.0;

}  // namespace

double ResidualUlps(const TaylorSystem& f, const LocalUnits& units) {
  double worst = 0.0;
  for (std::size_t i = 0; i < f.equations.size(); ++i) {
    const double value = std::abs(f.equations[i][0]) * units.row[i];
    const double scale = units.evaluation[i] > 0.0 ? units.evaluation[i] : units.row[i];
    worst = std::max(worst, value / (scale * kMachineEpsilon));
  }
  return worst;
}

Refined Refine(const PolySystem& system, const std::vector<Complex>& start, const LocalUnits& units,
               double reach) {
  const int n = system.n;
  const MonomialTable table(n, 1);
  Refined out;
  out.point = start;
  std::vector<Complex> x = start;
  double bestResidual = 1e300;
  double stepInto = 0.0;
  for (int step = 0; step <= kRefinementSteps; ++step) {
    const TaylorSystem f = ExpandAt(system, x.data(), units, table, 1);
    const double residual = ResidualUlps(f, units);
    if (!(residual < bestResidual)) break;
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
    const std::vector<Complex> d = TruncatedLeastSquares(J, minusF, NullThreshold(kMachineEpsilon));
    double size = 0.0, distance = 0.0;
    std::vector<Complex> next = x;
    for (int k = 0; k < n; ++k) {
      next[k] += units.column[k] * d[k];
      size = std::max(size, std::abs(d[k]));
      distance = std::max(distance, std::abs(next[k] - start[k]) / units.column[k]);
    }
    stepInto = size;
    if (distance > reach) {
      out.withinReach = residual <= kRootResidual.value();
      break;
    }
    if (size <= kRoundingStep * kMachineEpsilon) break;
    x = std::move(next);
  }
  out.moved.resize(n);
  for (int k = 0; k < n; ++k) out.moved[k] = std::abs(out.point[k] - start[k]);
  return out;
}

}  // namespace zormix
