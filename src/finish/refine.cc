#include "finish/refine.h"

#include <cmath>
#include <limits>

#include "base/linear_algebra.h"
#include "model/equation_scale.h"

namespace zormix {
namespace {

constexpr double kResidualLimit = 1e-4;
constexpr double kNearDrift = 0.5;      // allowed drift while max|x0| <= kLargePoint
constexpr double kRelativeDrift = 0.3;  // allowed drift / max|x0| beyond it
constexpr double kLargePoint = 5.0;

// Max-norm residual; NaN when any entry is NaN (a plain running maximum would skip it).
double Residual(const std::vector<Complex>& F) {
  double largest = -std::numeric_limits<double>::max();
  for (const Complex& f : F) {
    const double a = std::abs(f);
    if (std::isnan(a)) return a;
    if (a > largest) largest = a;
  }
  return largest;
}

bool AllFinite(const Complex* v, std::size_t count) {
  for (std::size_t j = 0; j < count; ++j) {
    if (!std::isfinite(v[j].real()) || !std::isfinite(v[j].imag())) return false;
  }
  return true;
}

// x := x - J^{-1} F, then F and J at the new x. J is consumed by the solve before re-evaluation.
void NewtonStep(const SystemView& system, std::span<const std::int32_t> maxDegree,
                ColMajorMatrix<Complex>& J, std::vector<Complex>& F, std::vector<Complex>& x,
                std::vector<Complex>& step) {
  step = F;
  SolveLinearComplex(system.n, J.data(), step.data());
  for (int k = 0; k < system.n; ++k) x[k] -= step[k];
  EvaluateSystem(system, maxDegree, x.data(), J, F);
}

// Rejects a point that moved more than 0.5 (or 0.3 * max|x0| for a point of modulus > 5).
bool StaysNear(const std::vector<Complex>& x0, const std::vector<Complex>& xBest) {
  double M0 = -std::numeric_limits<double>::max();
  double dist = -std::numeric_limits<double>::max();
  for (std::size_t j = 0; j < x0.size(); ++j) {
    M0 = std::max(M0, std::abs(x0[j]));
    dist = std::max(dist, std::abs(x0[j] - xBest[j]));
  }
  const double limit = M0 <= kLargePoint ? kNearDrift : kRelativeDrift * M0;
  return dist <= limit;
}

}  // namespace

bool RefineRoot(const SystemView& system, std::span<const std::int32_t> maxDegree,
                ColMajorMatrix<Complex>& J, std::vector<Complex>& F, std::vector<Complex>& x) {
  const std::size_t n = static_cast<std::size_t>(system.n);
  // A non-finite start never compares as far or as large, so it is refused outright.
  if (!AllFinite(x.data(), n) || !AllFinite(F.data(), n)) return false;
  double r0 = Residual(F);
  const std::vector<Complex> x0 = x;
  std::vector<Complex> xBest = x;
  std::vector<Complex> FBest = F;
  ColMajorMatrix<Complex> JBest = J;
  std::vector<Complex> step;

  NewtonStep(system, maxDegree, J, F, x, step);
  double r1 = Residual(F);
  // Continue while each step more than halves the residual; NaN ends the loop.
  while (r1 < r0 / 2) {
    xBest = x;
    JBest = J;
    FBest = F;
    r0 = r1;
    NewtonStep(system, maxDegree, J, F, x, step);
    r1 = Residual(F);
  }

  if (!StaysNear(x0, xBest)) return false;
  if (!AllFinite(xBest.data(), n) || !AllFinite(FBest.data(), n) ||
      !AllFinite(JBest.data(), JBest.storage().size())) {
    return false;
  }
  // One of the two residuals must be within the limit (a NaN r1 counts as above it), or the best
  // point must be a root of coefficients within kRootBackwardErrorLimit of the given ones.
  const bool smallResidual = r0 <= kResidualLimit || r1 <= kResidualLimit;
  if (!smallResidual &&
      !(BackwardError(system, maxDegree, xBest.data(), FBest) <= kRootBackwardErrorLimit)) {
    return false;
  }
  x = std::move(xBest);
  J = std::move(JBest);
  F = std::move(FBest);
  return true;
}

}  // namespace zormix
