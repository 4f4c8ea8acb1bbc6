#include "tracker/jumps/simple_root.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "base/newton.h"
#include "model/dd_system.h"

namespace zormix {
namespace {

constexpr int kNewtonSteps = 20;
constexpr double kCoefficientRounding = 0x1p-53;
// Relative Newton step at which Newton's method in double-double has settled at a regular root.
constexpr double kSettledStep = 1e-26;
// From the third step on, a step above this share of the one before ends Newton's method: it
// converges linearly at a root of multiplicity m (step ratio 1 - 1/m), and stalls at rounding.
constexpr int kLinearFrom = 8;
constexpr double kLeastContraction = 0.25;

// K = max_i d_i (d_i - 1), d_i the largest total degree of equation i.
double CurvatureBound(const SystemView& target) {
  double bound = 0.0;
  std::int64_t term = 0;
  for (int i = 0; i < target.n; ++i) {
    for (std::int32_t t = 0; t < target.termCount[static_cast<std::size_t>(i)]; ++t, ++term) {
      double degree = 0.0;
      for (int j = 0; j < target.n; ++j) degree += (*target.exponents)(j, term);
      bound = std::max(bound, degree * (degree - 1.0));
    }
  }
  return bound;
}

// c_j = |x_j|, or max_k |x_k| for an exact zero (1 at the origin).
std::vector<double> ColumnUnits(std::span<const DdComplex> x) {
  const double largest = MaxAbs(x);
  std::vector<double> units(x.size());
  for (std::size_t j = 0; j < x.size(); ++j) {
    const double a = AbsDouble(x[j]);
    units[j] = a > 0.0 ? a : (largest > 0.0 ? largest : 1.0);
  }
  return units;
}

// max_j |delta_j| / c_j.
double RelativeSize(const std::vector<DdComplex>& delta, const std::vector<double>& units) {
  double largest = 0.0;
  for (std::size_t j = 0; j < delta.size(); ++j)
    largest = std::max(largest, AbsDouble(delta[j]) / units[j]);
  return largest;
}

// ||A^-1||_inf = max_j sum_i |(J^-1)_ji| T_i / c_j, column i of J^-1 from the factors.
double InverseNorm(const DdLu& lu, const std::vector<double>& termSize,
                   const std::vector<double>& units) {
  const std::size_t n = units.size();
  std::vector<double> rowSum(n, 0.0);
  std::vector<DdComplex> column(n);
  for (std::size_t i = 0; i < n; ++i) {
    std::fill(column.begin(), column.end(), DdComplex(0.0));
    column[i] = DdComplex(termSize[i]);
    lu.Solve(column.data());
    for (std::size_t j = 0; j < n; ++j) rowSum[j] += AbsDouble(column[j]) / units[j];
  }
  return *std::max_element(rowSum.begin(), rowSum.end());
}

// h = beta K max(eta, beta u): the coefficients are known to their rounding u = 2^-53 relative to
// the terms, which moves a simple root by beta u. A double root that the rounding split into two
// simple roots 1e-8 apart (beta near 1 / (2 sqrt(u))) has h near K / 4 however far Newton's method
// refines; a simple root of the exact system keeps beta, and h, far smaller.
double KantorovichNumber(double beta, double curvature, double eta) {
  return beta * curvature * std::max(eta, beta * kCoefficientRounding);
}

// Newton's rule of the test: Newton's method settles at the rounding of double-double, stops
// contracting (linearly at a multiple root) or grows; Kantorovich's number at the point where it
// settled decides.
struct SettleRule : NewtonRuleBase {
  const MonomialLayout& layout;
  const std::vector<DdComplex>& A;
  double curvature;
  double h = HUGE_VAL;
  std::vector<DdComplex> J, delta;
  std::vector<double> termSize, units;
  DdScratch scratch;
  DdLu lu;

  const DdComplex* Correction(std::span<DdComplex> w) {
    EvaluateDoubleDouble(layout, A.data(), nullptr, w.data(), J, delta.data(), nullptr, scratch,
                         termSize.data());
    if (!lu.Factor(layout.n, J)) return nullptr;
    lu.Solve(delta.data());
    return delta.data();
  }
  double Size(const DdComplex*, std::span<DdComplex> w) {
    units = ColumnUnits(w);
    return RelativeSize(delta, units);
  }
  NewtonVerdict BeforeApplying(const NewtonCorrection<double>& c, std::span<const DdComplex>) {
    const double eta = c.size;
    const bool settled = eta <= kSettledStep || c.index == kNewtonSteps || !(eta < c.previous) ||
                         (c.index >= kLinearFrom && eta > kLeastContraction * c.previous);
    if (!settled) return NewtonVerdict::kContinue;
    // A row without terms of any size has no unit: the point tells nothing there.
    if (std::isfinite(eta) && std::find(termSize.begin(), termSize.end(), 0.0) == termSize.end())
      h = KantorovichNumber(InverseNorm(lu, termSize, units), curvature, eta);
    return NewtonVerdict::kConverged;
  }
};

}  // namespace

SimpleRootTest TestSimpleRoot(const SystemView& target, std::span<const std::int32_t> maxDegree,
                              const Complex* x) {
  const int n = target.n;
  const MonomialLayout layout{n, target.termCount, target.exponents, maxDegree};
  const std::vector<DdComplex> A(target.coefficients.begin(), target.coefficients.end());
  std::vector<DdComplex> w(x, x + n);
  const std::size_t size = static_cast<std::size_t>(n);
  SettleRule rule{{},
                  layout,
                  A,
                  CurvatureBound(target),
                  HUGE_VAL,
                  {},
                  std::vector<DdComplex>(size),
                  std::vector<double>(size),
                  {},
                  {},
                  {}};
  Newton(std::span<DdComplex>(w), kNewtonSteps + 1, rule);
  SimpleRootTest test;
  test.h = rule.h;
  test.simple = test.h <= kSimpleRootBound;
  test.root.resize(size);
  for (int j = 0; j < n; ++j) test.root[j] = static_cast<Complex>(w[j]);
  return test;
}

}  // namespace zormix
