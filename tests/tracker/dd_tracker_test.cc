#include "tracker/dd/dd_tracker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "tracker/dd/dd_rescue.h"

namespace zormix {
namespace {

// Wilkinson's polynomial prod_{k=1..d} (x - k), expanded, in y = x / 8 (roots k / 8), divided by
// a power of two that brings its coefficients below 1: all exact for d <= 16.
struct Wilkinson {
  explicit Wilkinson(int d) : exponents(1, d + 1) {
    std::vector<double> c{1.0};  // ascending powers, exact while they fit 53 bits
    for (int k = 1; k <= d; ++k) {
      std::vector<double> next(c.size() + 1, 0.0);
      for (std::size_t i = 0; i < c.size(); ++i) {
        next[i + 1] += c[i];
        next[i] -= k * c[i];
      }
      c = next;
    }
    for (std::size_t e = 0; e < c.size(); ++e) c[e] = std::ldexp(c[e], 3 * static_cast<int>(e));
    // Divided by the power of two that brings the largest coefficient below 1 (exact).
    double largest = 0.0;
    for (double a : c) largest = std::max(largest, std::fabs(a));
    const double unit = std::ldexp(1.0, std::ilogb(largest) + 1);
    for (int e = d; e >= 0; --e) {
      exponents(0, d - e) = e;
      coefficients.push_back(c[static_cast<std::size_t>(e)] / unit);
    }
    termCount = {d + 1};
    maxDegree = {d};
    degree = {d};
  }
  MonomialLayout Layout() const { return {1, termCount, &exponents, maxDegree}; }
  SystemView View() const { return {1, termCount, &exponents, coefficients}; }

  ColMajorMatrix<std::int32_t> exponents;
  std::vector<Complex> coefficients;
  std::vector<std::int32_t> termCount, maxDegree, degree;
};

// The d-th roots of -q1 / q0: the start solutions of q0 y^d + q1.
ColMajorMatrix<Complex> StartSolutions(Complex q0, Complex q1, int d) {
  ColMajorMatrix<Complex> X(1, d);
  const Complex base = std::pow(-q1 / q0, 1.0 / d);
  for (int k = 0; k < d; ++k) X(0, k) = base * std::polar(1.0, 2.0 * std::numbers::pi * k / d);
  return X;
}

// Partial pivoting swaps rows at later columns too (here at every column): the solve must apply
// the swaps of all columns before the forward substitution, as the factors hold them.
TEST(DoubleDoubleLu, SolvesWithRowSwapsAtEveryColumn) {
  const int n = 4;
  const double entries[n][n] = {
      {1.0, 2.0, 3.0, 4.0}, {2.0, 1.0, 7.0, 1.0}, {4.0, 3.0, 1.0, 9.0}, {3.0, 8.0, 2.0, 1.0}};
  std::vector<DdComplex> J(n * n), saved;
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c) J[r + c * n] = DdComplex(Complex(entries[r][c], 0.5 * (r - c)));
  saved = J;
  const std::vector<Complex> x{Complex(1.0, -2.0), Complex(-3.0, 0.5), Complex(0.25, 4.0),
                               Complex(2.0, 1.0)};
  std::vector<DdComplex> b(n);
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c) b[r] += saved[r + c * n] * DdComplex(x[c]);
  DdLu lu;
  ASSERT_TRUE(lu.Factor(n, J));
  lu.Solve(b.data());
  for (int c = 0; c < n; ++c) EXPECT_LT(AbsDouble(b[c] - DdComplex(x[c])), 1e-28) << c;
}

TEST(DoubleDoubleTracker, FollowsEveryPathToWilkinsonsRootsOfDegreeSixteen) {
  const int d = 16;
  const Wilkinson w(d);
  const std::vector<Complex> q{Complex(0.83, 0.41), Complex(-0.37, 0.91)};
  const ColMajorMatrix<Complex> X = StartSolutions(q[0], q[1], d);
  DdTotalDegreeHomotopy homotopy(w.Layout(), w.coefficients, q, w.degree);
  std::vector<int> hits(d + 1, 0);
  for (int k = 0; k < d; ++k) {
    const DdTrackResult r = TrackDoubleDouble(homotopy, X.col(k), 0.0, 1.0);
    ASSERT_TRUE(r.reached) << k << " " << r.y[0] << " " << r.steps;
    const double nearest = std::round(8.0 * r.y[0].real());
    EXPECT_LT(std::abs(8.0 * r.y[0] - nearest), 1e-12) << r.y[0];
    if (nearest >= 1 && nearest <= d) ++hits[static_cast<int>(nearest)];
  }
  EXPECT_EQ(std::count(hits.begin() + 1, hits.end(), 1), d);
}

// The target sum_e c[e] y^e (ascending powers) tracked from q0 y^2 + q1 by total degree.
struct Quadratic {
  explicit Quadratic(std::vector<Complex> ascending) : exponents(1, 3) {
    for (int e = 2; e >= 0; --e) {
      exponents(0, 2 - e) = e;
      coefficients.push_back(ascending[static_cast<std::size_t>(e)]);
    }
  }
  MonomialLayout Layout() const { return {1, termCount, &exponents, maxDegree}; }
  // The two points of the homotopy (1 - t) (q0 y^2 + q1) + t F at t.
  std::vector<Complex> PointsAt(double t) const {
    const Complex a = (1.0 - t) * q[0] + t * coefficients[0];
    const Complex b = t * coefficients[1];
    const Complex c = (1.0 - t) * q[1] + t * coefficients[2];
    const Complex root = std::sqrt(b * b - 4.0 * a * c);
    return {(-b + root) / (2.0 * a), (-b - root) / (2.0 * a)};
  }

  ColMajorMatrix<std::int32_t> exponents;
  std::vector<Complex> coefficients;
  std::vector<std::int32_t> termCount{3}, maxDegree{2}, degree{2};
  std::vector<Complex> q{Complex(0.83, 0.41), Complex(-0.37, 0.91)};
};

// y - 1 by a quadratic start system: one path to the root, one to infinity like 1 / (1 - t), whose
// estimates prove it at valuation -1; waiting for a bound beyond every point leaves it undecided
// by its estimates (only its size, beyond 1e12 before the end, says infinity, with valuation 0).
TEST(DoubleDoubleContinuation, ReachesTheRootAndProvesThePoleWithItsValuation) {
  const Quadratic line({Complex(-1.0, 0.0), Complex(1.0, 0.0), Complex(0.0, 0.0)});
  DdTotalDegreeHomotopy homotopy(line.Layout(), line.coefficients, line.q, line.degree);
  const double t = 1.0 - 1e-3;
  int reached = 0, diverged = 0;
  for (const Complex& y : line.PointsAt(t)) {
    const DdContinuation c = ContinueInDoubleDouble(homotopy, &y, t, 1.0, 0.0);
    if (c.end == DdEnd::kReached) {
      ++reached;
      EXPECT_LT(std::abs(c.y[0] - 1.0), 1e-14);
    } else {
      ASSERT_EQ(c.end, DdEnd::kDiverged);
      ++diverged;
      EXPECT_NEAR(c.valuation, -1.0, 0.02);
      EXPECT_LT(c.steps, 60);
      const DdContinuation waiting = ContinueInDoubleDouble(homotopy, &y, t, 1.0, 1e30);
      EXPECT_EQ(waiting.end, DdEnd::kDiverged);
      EXPECT_EQ(waiting.valuation, 0.0);
    }
  }
  EXPECT_EQ(reached, 1);
  EXPECT_EQ(diverged, 1);
}

// (y - 1)^2: both paths converge to the double root, where Newton's method only halves its error;
// the last point, close to it, is handed over.
TEST(DoubleDoubleContinuation, HandsOverThePointNearADoubleRoot) {
  const Quadratic square({Complex(1.0, 0.0), Complex(-2.0, 0.0), Complex(1.0, 0.0)});
  DdTotalDegreeHomotopy homotopy(square.Layout(), square.coefficients, square.q, square.degree);
  const double t = 1.0 - 1e-3;
  for (const Complex& y : square.PointsAt(t)) {
    const DdContinuation c = ContinueInDoubleDouble(homotopy, &y, t, 1.0, 0.0);
    EXPECT_EQ(c.end, DdEnd::kApproached);
    EXPECT_LT(std::abs(c.y[0] - 1.0), 1e-6) << c.y[0];
  }
}

}  // namespace
}  // namespace zormix
