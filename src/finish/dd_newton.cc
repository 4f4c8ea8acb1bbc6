#include "finish/dd_newton.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "base/newton.h"
#include "finish/parameters.h"
#include "model/dd_system.h"

namespace zormix {
namespace {

constexpr int kMaxSteps = 10;
constexpr double kQuadraticRatio = 0.25;  // a step at most this share of the one before
constexpr double kFloorUlps = 10.0;       // accuracy allowed: kFloorUlps u kappa
constexpr double kShownByOneStep = 1e6;   // condition up to which a first step at the floor does
constexpr double kZeroShare = 1e-10;      // a coordinate below this share of the largest is 0
constexpr int kMaxSearchSteps = 12;       // Newton steps toward the quadratic region at most
constexpr double kSearchReach = 4.0;      // the search moves at most this many first steps
constexpr double kSearchClose = 1e-3;     // a relative step this small: the quadratic region
constexpr double kSearchGrowth = 2.0;     // a step at most this times the one before

// The point's column units c_j.
std::vector<double> ColumnUnits(const std::vector<DdComplex>& x) {
  const double M = MaxAbs(x);
  std::vector<double> c(x.size());
  for (std::size_t j = 0; j < x.size(); ++j)
    c[j] = M > 0.0 ? std::max(AbsDouble(x[j]), kZeroShare * M) : 1.0;
  return c;
}

// One evaluation and factorization at x: F, the LU of J, and ||A^-1||_inf.
struct Linearization {
  std::vector<DdComplex> F;
  DdLu lu;
  double condition = 0.0;
  bool ok = false;
};

Linearization Linearize(const MonomialLayout& layout, const std::vector<DdComplex>& A,
                        const DdComplex* x, const std::vector<double>& c, DdScratch& scratch) {
  const int n = layout.n;
  Linearization out;
  out.F.resize(static_cast<std::size_t>(n));
  std::vector<DdComplex> J;
  std::vector<double> size(static_cast<std::size_t>(n));
  EvaluateDoubleDouble(layout, A.data(), nullptr, x, J, out.F.data(), nullptr, scratch,
                       size.data());
  for (int i = 0; i < n; ++i) {
    double change = 0.0;
    for (int j = 0; j < n; ++j) change += AbsDouble(J[i + static_cast<std::size_t>(j) * n]) * c[j];
    size[i] = std::max(size[i], change);
  }
  if (!out.lu.Factor(n, J)) return out;
  // Row j of A^-1 = diag(1/c) J^-1 diag(s): column i is J^-1 (s_i e_i) / c.
  std::vector<double> rowSums(static_cast<std::size_t>(n), 0.0);
  std::vector<DdComplex> column(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    std::fill(column.begin(), column.end(), DdComplex());
    column[i] = DdComplex(size[i]);
    out.lu.Solve(column.data());
    for (int j = 0; j < n; ++j) rowSums[j] += AbsDouble(column[j]) / c[j];
  }
  out.condition = *std::max_element(rowSums.begin(), rowSums.end());
  out.ok = std::isfinite(out.condition);
  return out;
}

}  // namespace

namespace {

// Newton's rule of the quadratic test in double-double: every step above the floor at most
// kQuadraticRatio of the one before; a first step already at the floor, at a condition above
// kShownByOneStep, shows only that the point solves the system to the floor's (loose) accuracy.
// Each corrected point is linearized at once (for its condition), and the next correction is
// taken from that linearization.
struct QuadraticRule : NewtonRuleBase {
  const MonomialLayout& layout;
  const std::vector<DdComplex>& A;
  const std::vector<double>& c;
  DdScratch& scratch;
  Linearization at;
  double floor = 0.0;
  bool atFloorAtOnce = false;
  std::vector<DdComplex> delta;

  const DdComplex* Correction(std::span<DdComplex>) {
    delta = at.F;
    at.lu.Solve(delta.data());
    return delta.data();
  }
  double Size(const DdComplex* step, std::span<DdComplex>) const {
    double size = 0.0;
    for (int j = 0; j < layout.n; ++j) size = std::max(size, AbsDouble(step[j]) / c[j]);
    return size;
  }
  NewtonVerdict AfterApplying(const NewtonCorrection<double>& step, std::span<const DdComplex> w) {
    if (!std::isfinite(step.size)) return NewtonVerdict::kRejected;
    const bool converged = step.size <= floor;
    if (!converged && step.size > kQuadraticRatio * step.previous) return NewtonVerdict::kRejected;
    if (converged && step.index == 0 && at.condition > kShownByOneStep) {
      atFloorAtOnce = true;
      return NewtonVerdict::kRejected;
    }
    at = Linearize(layout, A, w.data(), c, scratch);
    if (!at.ok) return NewtonVerdict::kRejected;
    return converged ? NewtonVerdict::kConverged : NewtonVerdict::kContinue;
  }
};

// Newton's method in double-double from w (see NewtonInDoubleDouble); `atFloorAtOnce` tells a
// first step already at the floor at a condition above kShownByOneStep, which shows nothing.
DoubleDoubleNewton NewtonFrom(const MonomialLayout& layout, const std::vector<DdComplex>& A,
                              std::vector<DdComplex> w, bool& atFloorAtOnce) {
  const std::vector<double> c = ColumnUnits(w);
  DdScratch scratch;
  DoubleDoubleNewton out;
  QuadraticRule rule{{},  layout, A, c, scratch, Linearize(layout, A, w.data(), c, scratch),
                     0.0, false,  {}};
  atFloorAtOnce = false;
  if (!rule.at.ok) return out;
  out.startCondition = rule.at.condition;
  rule.floor = kFloorUlps * kDoubleDoubleRoundoff * std::max(rule.at.condition, 1.0);
  const NewtonResult<double> newton = Newton(std::span<DdComplex>(w), kMaxSteps, rule);
  atFloorAtOnce = rule.atFloorAtOnce;
  if (!newton.converged()) return out;
  out.rootCondition = rule.at.condition;
  out.quadratic = rule.at.condition <= kResolvableInDoubleDouble &&
                  rule.at.condition <= finish::kConditionDrift * out.startCondition;
  if (out.quadratic)
    for (const DdComplex& z : w) out.root.push_back(static_cast<Complex>(z));
  return out;
}

}  // namespace

DoubleDoubleNewton NewtonInDoubleDouble(const SystemView& system,
                                        std::span<const std::int32_t> maxDegree, const Complex* x) {
  const int n = system.n;
  const MonomialLayout layout{n, system.termCount, system.exponents, maxDegree};
  const std::vector<DdComplex> A(system.coefficients.begin(), system.coefficients.end());
  std::vector<DdComplex> w(x, x + n);
  bool atFloorAtOnce = false;
  DoubleDoubleNewton out = NewtonFrom(layout, A, w, atFloorAtOnce);
  if (!atFloorAtOnce) return out;
  // A start already on the root to the floor (a root exact in double, as an integer root can be)
  // shows nothing by itself: moved off by delta in every coordinate's unit, Newton's method must
  // come back quadratically. With K <= D^2 (D the sum of the largest exponents) bounding the
  // curvature, the steps go delta, K kappa delta^2, ...: delta = sqrt(2.5 u) / D lies between the
  // floor 10 u kappa and the quadratic region's reach 0.25 / (K kappa) up to kappa ~ 1e13 / D.
  // At a singular root every step is still half the one before.
  double D = 0.0;
  for (const std::int32_t d : maxDegree) D += d;
  const double delta = std::sqrt(2.5 * kDoubleDoubleRoundoff) / std::max(D, 1.0);
  const std::vector<double> c = ColumnUnits(w);
  for (int j = 0; j < n; ++j) w[j] = w[j] + DdComplex(DoubleDouble(delta * c[j]));
  DoubleDoubleNewton moved = NewtonFrom(layout, A, std::move(w), atFloorAtOnce);
  moved.startCondition = out.startCondition;
  return moved;
}

DoubleDoubleNewton NewtonInDoubleDouble(const NormalForm& system, const Complex* x) {
  const std::vector<std::int32_t> maxDegree = MaxDegrees(system.scaled.exponents);
  const SystemView view{system.scaled.n, system.scaled.termCount, &system.scaled.exponents,
                        system.rawCoefficients};
  return NewtonInDoubleDouble(view, maxDegree, x);
}

bool ConvergesInDoubleDouble(const NormalForm& system, const Complex* x,
                             std::vector<Complex>* value) {
  DoubleDoubleNewton newton = NewtonInDoubleDouble(system, x);
  if (newton.quadratic && value != nullptr) *value = std::move(newton.root);
  return newton.quadratic;
}

namespace {

// Newton's rule of the search toward the quadratic region: a step at most kSearchGrowth times the
// one before, at most kSearchReach first steps from the start in all; it ends at the point
// before the first step below kSearchClose of it (not at the start itself).
struct SearchRule : NewtonRuleBase {
  const MonomialLayout& layout;
  const std::vector<DdComplex>& A;
  std::span<const Complex> avoid;
  Complex start;
  std::vector<DdComplex> J;
  DdComplex F, delta;
  DdScratch scratch;
  double first = 0.0;

  const DdComplex* Correction(std::span<DdComplex> w) {
    EvaluateDoubleDouble(layout, A.data(), nullptr, w.data(), J, &F, nullptr, scratch, nullptr);
    // Maehly's deflation: Newton's step on p(x) / prod_k (x - a_k) is
    // p / (p' - p sum_k 1 / (x - a_k)), the step away from the roots already held.
    DdComplex slope = J[0];
    for (const Complex& a : avoid) slope -= F / (w[0] - DdComplex(a));
    if (AbsDouble(slope) == 0.0) return nullptr;
    delta = F / slope;
    return &delta;
  }
  double Size(const DdComplex* step, std::span<DdComplex>) const { return AbsDouble(*step); }
  NewtonVerdict BeforeApplying(const NewtonCorrection<double>& c, std::span<const DdComplex> w) {
    if (!std::isfinite(c.size) || c.size > kSearchGrowth * c.previous)
      return NewtonVerdict::kRejected;
    // This step is already in the quadratic region: the point before it is handed over, so the
    // quadratic test sees the contraction from there.
    if (c.size <= kSearchClose * std::abs(static_cast<Complex>(w[0])))
      return c.index == 0 ? NewtonVerdict::kRejected : NewtonVerdict::kConverged;
    if (c.index == 0) first = c.size;
    return NewtonVerdict::kContinue;
  }
  NewtonVerdict AfterApplying(const NewtonCorrection<double>&, std::span<const DdComplex> w) {
    return std::abs(static_cast<Complex>(w[0]) - start) > kSearchReach * first
               ? NewtonVerdict::kRejected
               : NewtonVerdict::kContinue;
  }
};

}  // namespace

std::optional<Complex> SearchRootInDoubleDouble(const NormalForm& system, Complex x,
                                                std::span<const Complex> avoid) {
  const std::vector<std::int32_t> maxDegree = MaxDegrees(system.scaled.exponents);
  const MonomialLayout layout{1, system.scaled.termCount, &system.scaled.exponents, maxDegree};
  const std::vector<DdComplex> A(system.rawCoefficients.begin(), system.rawCoefficients.end());
  std::vector<DdComplex> w{DdComplex(x)};
  SearchRule rule{{}, layout, A, avoid, x, {}, {}, {}, {}, 0.0};
  if (!Newton(std::span<DdComplex>(w), kMaxSearchSteps, rule).converged()) return std::nullopt;
  return static_cast<Complex>(w[0]);
}

}  // namespace zormix
