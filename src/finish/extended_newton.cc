#include "finish/extended_newton.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <vector>

#include "base/newton.h"
#include "finish/parameters.h"
#include "finish/scaled_jacobian.h"
#include "model/system_eval.h"

namespace zormix {
namespace {

constexpr int kMaxSteps = 8;
constexpr double kQuadraticRatio = 0.25;  // a step at most this share of the one before
constexpr double kFloorUlps = 10.0;       // accuracy allowed: kFloorUlps u kappa
constexpr double kShownByOneStep = 1e6;   // kappa up to which a first step at the floor suffices
// The probe start's distance in floors: far enough that its first step is watched above the
// floor, near enough that a regular root's quadratic reach holds it; the probe's limit may lie
// kReturnFloors floors from the point (both are within a floor or two of the root).
constexpr long double kProbeFloors = 100.0L;
constexpr long double kReturnFloors = 10.0L;
constexpr long double kProbeAngle = 2.399963229728653L;  // the golden angle: directions apart

SystemView UnscaledView(const NormalForm& s) {
  return SystemView{s.scaled.n, s.scaled.termCount, &s.scaled.exponents, s.rawCoefficients};
}

// F(x) and J(x) (n x n, column-major) in long double over the unscaled terms.
void EvaluateWide(const NormalForm& s, const Wide* x, std::vector<Wide>& F, std::vector<Wide>& J) {
  EvaluateSystemWide(UnscaledView(s), x, F, J);
}

// F(x) alone.
void EvaluateWideValues(const NormalForm& s, const Wide* x, std::vector<Wide>& F) {
  EvaluateSystemWideValues(UnscaledView(s), x, F);
}

// J = P L U by Gaussian elimination with partial pivoting, in place: U on and above the diagonal,
// the multipliers of L below it, pivot[col] the row swapped into row col. False on a zero pivot.
// Pivots are chosen by |J|^2: long double's exponent range keeps the squares of doubles exact.
bool FactorWide(int n, std::vector<Wide>& J, std::vector<int>& pivot) {
  pivot.resize(static_cast<std::size_t>(n));
  for (int col = 0; col < n; ++col) {
    int best = col;
    for (int row = col + 1; row < n; ++row) {
      if (std::norm(J[row + col * n]) > std::norm(J[best + col * n])) best = row;
    }
    pivot[col] = best;
    if (J[best + col * n] == Wide(0.0L)) return false;
    // The multipliers of earlier columns stay where they were made: SolveFactoredWide applies each
    // swap after the eliminations before it, as the elimination did.
    if (best != col) {
      for (int k = col; k < n; ++k) std::swap(J[col + k * n], J[best + k * n]);
    }
    for (int row = col + 1; row < n; ++row) {
      const Wide factor = J[row + col * n] / J[col + col * n];
      for (int k = col + 1; k < n; ++k) J[row + k * n] -= factor * J[col + k * n];
      J[row + col * n] = factor;
    }
  }
  return true;
}

// F := U^-1 L^-1 P F, with the factors of FactorWide: the row operations in the order the
// elimination made them.
void SolveFactoredWide(int n, const std::vector<Wide>& J, const std::vector<int>& pivot,
                       std::vector<Wide>& F) {
  for (int col = 0; col < n; ++col) {
    if (pivot[col] != col) std::swap(F[col], F[pivot[col]]);
    for (int row = col + 1; row < n; ++row) F[row] -= J[row + col * n] * F[col];
  }
  for (int row = n - 1; row >= 0; --row) {
    for (int k = row + 1; k < n; ++k) F[row] -= J[row + k * n] * F[k];
    F[row] /= J[row + row * n];
  }
}

// How Newton's iteration from w ended: w holds the last iterate.
enum class Outcome { kConverged, kFirstStepAtFloor, kNotQuadratic };

// Newton's rule of the quadratic test: every step above the floor at most kQuadraticRatio of the
// one before, the first one at the floor told apart. With `chord` a step after the first is tried
// with the first Jacobian (the chord method: at a quarter of the cost of evaluating the Jacobian,
// and no factorisation) and kept when it passes the test; at a regular root x* from an error e it
// differs from Newton's step by a share of about kappa gamma e of itself (gamma = ||J^-1 F''|| /
// 2), far below what the test tells apart. A chord step that fails the test (next to a singular
// root, on a set, or where gamma e is not small in the point's units) proves nothing: Newton's step
// from the same point decides, as without the chord.
struct QuadraticRule : NewtonRuleBase {
  const NormalForm& system;
  const PointUnits& units;
  long double floor;
  bool chord;
  std::vector<Wide> F, J;
  std::vector<int> pivot;
  bool factored = false;
  long double lastSize = 0.0L;  // of the last step returned

  const Wide* Correction(std::span<Wide> w) {
    const int n = system.scaled.n;
    if (chord && factored) {
      EvaluateWideValues(system, w.data(), F);
      SolveFactoredWide(n, J, pivot, F);
      const long double size = Size(F.data(), w);
      if (size <= floor || size <= kQuadraticRatio * lastSize) {
        lastSize = size;
        return F.data();
      }
    }
    if (chord && !factored) {
      EvaluateWideValues(system, w.data(), F);
      JacobianInDouble(w);
    } else {
      EvaluateWide(system, w.data(), F, J);
    }
    factored = FactorWide(n, J, pivot);
    if (!factored) return nullptr;
    SolveFactoredWide(n, J, pivot, F);
    lastSize = Size(F.data(), w);
    return F.data();
  }
  // The chord's Jacobian in double: a step J^-1 F with F in long double and J rounded to double
  // differs from Newton's by a share of about kappa u of itself (u the unit roundoff of double),
  // which at kappa <= finish.well_conditioned leaves the test's steps as they were, at a small
  // share of the cost of the long double Jacobian.
  void JacobianInDouble(std::span<Wide> w) {
    const int n = system.scaled.n;
    std::vector<Complex> x(static_cast<std::size_t>(n));
    for (int j = 0; j < n; ++j)
      x[j] = Complex(static_cast<double>(w[j].real()), static_cast<double>(w[j].imag()));
    const std::vector<std::int32_t> degrees = MaxDegrees(system.scaled.exponents);
    ColMajorMatrix<Complex> jacobian;
    std::vector<Complex> values;
    EvaluateSystem(UnscaledView(system), degrees, x.data(), jacobian, values);
    J.resize(static_cast<std::size_t>(n) * n);
    for (int k = 0; k < n; ++k)
      for (int i = 0; i < n; ++i) J[i + k * n] = Wide(jacobian(i, k).real(), jacobian(i, k).imag());
  }
  long double Size(const Wide* delta, std::span<Wide>) const {
    long double size = 0.0L;
    for (int j = 0; j < system.scaled.n; ++j)
      // |delta_j| as sqrt(|delta_j|^2): long double's exponent range keeps the square of any double
      // exact, and hypotl costs several times as much.
      size = std::max(size,
                      std::sqrt(std::norm(delta[j])) / static_cast<long double>(units.column[j]));
    return size;
  }
  NewtonVerdict AfterApplying(const NewtonCorrection<long double>& c, std::span<const Wide>) {
    if (!std::isfinite(static_cast<double>(c.size)) ||
        (c.size > floor && c.size > kQuadraticRatio * c.previous))
      return NewtonVerdict::kRejected;
    return c.size <= floor ? NewtonVerdict::kConverged : NewtonVerdict::kContinue;
  }
};

Outcome Iterate(const NormalForm& system, const PointUnits& units, long double floor, bool chord,
                std::vector<Wide>& w) {
  QuadraticRule rule{{}, system, units, floor, chord, {}, {}, {}, false};
  const NewtonResult<long double> newton = Newton(std::span<Wide>(w), kMaxSteps, rule);
  if (!newton.converged()) return Outcome::kNotQuadratic;
  return newton.iterations == 1 ? Outcome::kFirstStepAtFloor : Outcome::kConverged;
}

std::vector<Wide> Widened(const Complex* x, int n) {
  std::vector<Wide> w(static_cast<std::size_t>(n));
  for (int j = 0; j < n; ++j) w[j] = Wide(x[j].real(), x[j].imag());
  return w;
}

// x moved by kProbeFloors floors in every coordinate, in fixed directions (no random draw).
std::vector<Wide> Displaced(const Complex* x, int n, const PointUnits& units, long double floor) {
  std::vector<Wide> w = Widened(x, n);
  for (int j = 0; j < n; ++j) {
    const long double angle = kProbeAngle * (j + 1);
    w[j] += std::polar(kProbeFloors * floor * static_cast<long double>(units.column[j]), angle);
  }
  return w;
}

// Every coordinate of w within `reach` units of x.
bool WithinFloor(const std::vector<Wide>& w, const Complex* x, const PointUnits& units,
                 long double reach) {
  for (std::size_t j = 0; j < w.size(); ++j) {
    const Wide d = w[j] - Wide(x[j].real(), x[j].imag());
    if (std::abs(d) > reach * static_cast<long double>(units.column[j])) return false;
  }
  return true;
}

}  // namespace

bool ConvergesQuadratically(const NormalForm& system, const Complex* x, double kappa,
                            double oneStepCondition, std::vector<Complex>* converged) {
  const int n = system.scaled.n;
  // The test measures steps in the point's column units alone: its row units are not evaluated.
  PointUnits units;
  units.column = ColumnUnitsAt(x, n);
  const long double floor = kFloorUlps * kWideUnitRoundoff * std::max(kappa, 1.0);
  std::vector<Wide> w = Widened(x, n);
  // The chord method only where the point is well conditioned (see QuadraticRule).
  const bool chord = kappa <= finish::kWellConditioned;
  Outcome outcome = Iterate(system, units, floor, chord, w);
  // A first step already at the floor shows no convergence, only that the point solves the system
  // to long-double accuracy: at a point near a singular root or on a set of solutions with kappa
  // beyond 1e6 that accuracy is as loose as the floor itself. Convergence is then watched from a
  // start kProbeFloors floors away: at a regular root Newton's method comes back quadratically to
  // within the floor of x; on a set it lands on another point of the set, next to a singular root
  // it converges linearly.
  if (outcome == Outcome::kFirstStepAtFloor && oneStepCondition > kShownByOneStep) {
    w = Displaced(x, n, units, floor);
    outcome = Iterate(system, units, floor, chord, w);
    if (outcome != Outcome::kConverged || !WithinFloor(w, x, units, kReturnFloors * floor))
      return false;
  }
  if (outcome == Outcome::kNotQuadratic) return false;
  if (converged != nullptr) {
    converged->resize(static_cast<std::size_t>(n));
    for (int j = 0; j < n; ++j)
      (*converged)[j] = Complex(static_cast<double>(w[j].real()), static_cast<double>(w[j].imag()));
  }
  return true;
}

}  // namespace zormix
