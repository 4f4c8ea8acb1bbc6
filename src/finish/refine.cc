#include "finish/refine.h"

#include <cmath>
#include <limits>

#include "base/linear_algebra.h"
#include "base/newton.h"
#include "model/equation_scale.h"

namespace zormix {
namespace {

constexpr double kResidualLimit = 1e-4;
constexpr double kNearDrift = 0.5;      // allowed drift while max|x0| <= kLargePoint
constexpr double kRelativeDrift = 0.3;  // allowed drift / max|x0| beyond it
constexpr double kLargePoint = 5.0;
constexpr double kZeroShare = 1e-10;  // a coordinate below this share of the largest is zero

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

// Newton's rule of the refinement: on entry J and F are the values at x; each correction
// x := x - J^{-1} F consumes J, and the corrected point is evaluated at once. It goes on while
// each step more than halves the max-norm residual (NaN ends it), the last point that did kept
// as the best.
struct HalvingRule : NewtonRuleBase {
  const SystemView& system;
  std::span<const std::int32_t> maxDegree;
  ColMajorMatrix<Complex>& J;
  std::vector<Complex>& F;
  std::vector<Complex>& xBest;
  std::vector<Complex>& FBest;
  ColMajorMatrix<Complex>& JBest;
  double r0;
  double r1 = 0.0;
  std::vector<Complex> step;

  const Complex* Correction(std::span<Complex>) {
    step = F;
    SolveLinearComplex(system.n, J.data(), step.data());
    return step.data();
  }
  double Size(const Complex*, std::span<Complex>) const {
    double size = 0.0;
    for (const Complex& d : step) size = std::max(size, std::abs(d));
    return size;
  }
  NewtonVerdict AfterApplying(const NewtonCorrection<double>&, std::span<const Complex> x) {
    EvaluateSystem(system, maxDegree, x.data(), J, F);
    r1 = Residual(F);
    if (!(r1 < r0 / 2)) return NewtonVerdict::kConverged;
    xBest.assign(x.begin(), x.end());
    JBest = J;
    FBest = F;
    r0 = r1;
    return NewtonVerdict::kContinue;
  }
};

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

// max_i |F_i| / sum_j |J_ij| c_j with c_j = |x_j|, or M = max_k |x_k| for a coordinate below
// 1e-10 M (rounding noise around an exact zero): the residual against
// the first-order change of each equation over the point's own size, invariant under scaling of
// equations and variables. Unlike the backward error it stays small at a point where every term
// of an equation vanishes to first order, such as (a, 1e-17) on the line y = 0 of x y = 0.
double FirstOrderResidual(const ColMajorMatrix<Complex>& J, const std::vector<Complex>& F,
                          const std::vector<Complex>& x) {
  double M = 0.0;
  for (const Complex& v : x) M = std::max(M, std::abs(v));
  double worst = 0.0;
  for (std::size_t i = 0; i < F.size(); ++i) {
    double size = 0.0;
    for (std::size_t j = 0; j < x.size(); ++j)
      size += std::abs(J(i, j)) * (std::abs(x[j]) > kZeroShare * M ? std::abs(x[j]) : M);
    const double r = std::abs(F[i]) / size;
    if (!(r <= worst)) worst = r;  // NaN and infinity (size 0 with F != 0) propagate
  }
  return worst;
}

}  // namespace

bool RefineRoot(const SystemView& system, std::span<const std::int32_t> maxDegree,
                ColMajorMatrix<Complex>& J, std::vector<Complex>& F, std::vector<Complex>& x,
                bool keepRoundingLevelStart) {
  const std::size_t n = static_cast<std::size_t>(system.n);
  // A non-finite start never compares as far or as large, so it is refused outright.
  if (!AllFinite(x.data(), n) || !AllFinite(F.data(), n)) return false;
  if (keepRoundingLevelStart &&
      BackwardError(system, maxDegree, x.data(), F) <= kRoundingBackwardError)
    return true;
  const std::vector<Complex> x0 = x;
  std::vector<Complex> xBest = x;
  std::vector<Complex> FBest = F;
  ColMajorMatrix<Complex> JBest = J;
  std::vector<Complex> F0 = F;
  ColMajorMatrix<Complex> J0 = J;
  HalvingRule rule{{}, system, maxDegree, J, F, xBest, FBest, JBest, Residual(F), 0.0, {}};
  Newton(std::span<Complex>(x), std::numeric_limits<int>::max(), rule);
  const double r0 = rule.r0;
  const double r1 = rule.r1;

  if (!StaysNear(x0, xBest)) {
    // Newton ran away along a (near) null direction of a singular Jacobian, e.g. from a point on
    // one of two crossing lines towards the other; the end point itself stays a root when it
    // solves the system to rounding.
    if (!(FirstOrderResidual(J0, F0, x0) <= kRootBackwardErrorLimit)) return false;
    x = x0;
    J = std::move(J0);
    F = std::move(F0);
    return true;
  }
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
