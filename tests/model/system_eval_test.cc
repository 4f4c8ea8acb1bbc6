#include "model/system_eval.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "support/systems.h"

namespace zormix {
namespace {

using testing::BuildSystem;
using testing::Equation;

struct Evaluated {
  ColMajorMatrix<Complex> J;
  std::vector<Complex> F;
};

Evaluated Evaluate(const PolySystem& s, const std::vector<Complex>& x) {
  const SystemView view{s.n, s.termCount, &s.exponents, s.coefficients};
  Evaluated out;
  EvaluateSystem(view, MaxDegrees(s.exponents), x.data(), out.J, out.F);
  return out;
}

TEST(EvaluateSystemTest, CircleAndLineValuesAndJacobianRows) {
  const Evaluated e = Evaluate(testing::CircleAndLine(), {1.0, 2.0});
  EXPECT_EQ(e.F[0], Complex(4.0));
  EXPECT_EQ(e.F[1], Complex(-1.0));
  EXPECT_EQ(e.J(0, 0), Complex(2.0));
  EXPECT_EQ(e.J(0, 1), Complex(4.0));
  EXPECT_EQ(e.J(1, 0), Complex(1.0));
  EXPECT_EQ(e.J(1, 1), Complex(-1.0));
}

// Prefix and suffix products give the derivatives without dividing by a coordinate, so zero
// coordinates and skipped (zero-exponent) variables must come out exactly.
TEST(EvaluateSystemTest, MonomialDerivativesIncludingZeroCoordinates) {
  Equation cubic = {{{3, 0, 2}, 1.0}};
  Equation product = {{{1, 1, 1}, 1.0}};
  Equation square = {{{2, 1, 0}, 1.0}};
  const PolySystem s = BuildSystem({cubic, product, square});
  Evaluated e = Evaluate(s, {2.0, 5.0, 3.0});
  EXPECT_EQ(e.F[0], Complex(72.0));
  EXPECT_EQ(e.J(0, 0), Complex(108.0));
  EXPECT_EQ(e.J(0, 1), Complex(0.0));
  EXPECT_EQ(e.J(0, 2), Complex(48.0));
  e = Evaluate(s, {0.0, 2.0, 3.0});
  EXPECT_EQ(e.F[1], Complex(0.0));
  EXPECT_EQ(e.J(1, 0), Complex(6.0));  // d(xyz)/dx = yz even at x = 0
  EXPECT_EQ(e.J(1, 1), Complex(0.0));
  EXPECT_EQ(e.J(2, 1), Complex(0.0));  // d(x^2 y)/dy = x^2 = 0
  EXPECT_FALSE(std::isnan(e.J(2, 0).real()));
}

TEST(EvaluateSystemTest, AtOriginValuesAreConstantsAndJacobianIsLinearPart) {
  Equation first = {{{2, 1}, 7.0}, {{1, 0}, Complex(2, 1)}, {{0, 0}, Complex(-3, 4)}};
  Equation second = {{{1, 1}, 5.0}, {{0, 1}, -6.0}, {{0, 0}, 0.5}};
  const Evaluated e = Evaluate(BuildSystem({first, second}), {0.0, 0.0});
  EXPECT_EQ(e.F[0], Complex(-3, 4));
  EXPECT_EQ(e.F[1], Complex(0.5));
  EXPECT_EQ(e.J(0, 0), Complex(2, 1));
  EXPECT_EQ(e.J(0, 1), Complex(0.0));
  EXPECT_EQ(e.J(1, 0), Complex(0.0));
  EXPECT_EQ(e.J(1, 1), Complex(-6.0));
}

// Holomorphic, so a central difference along the real axis gives dF_i/dx_k.
TEST(EvaluateSystemTest, JacobianMatchesFiniteDifferencesOnRandomSystems) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::uniform_int_distribution<int> power(0, 3);
  for (int n : {1, 3, 4, 2}) {  // sizes vary so reused scratch must be resized correctly
    std::vector<Equation> eqs(n);
    for (Equation& eq : eqs) {
      for (int t = 0; t < 5; ++t) {
        std::vector<std::int32_t> e(n);
        for (auto& v : e) v = power(gen);
        eq.push_back({e, Complex(unit(gen), unit(gen))});
      }
    }
    const PolySystem s = BuildSystem(eqs);
    std::vector<Complex> x(n);
    for (auto& v : x) v = Complex(unit(gen), unit(gen));
    const Evaluated at = Evaluate(s, x);
    const double h = 1e-6;
    for (int k = 0; k < n; ++k) {
      std::vector<Complex> plus = x, minus = x;
      plus[k] += h;
      minus[k] -= h;
      const Evaluated ep = Evaluate(s, plus), em = Evaluate(s, minus);
      for (int i = 0; i < n; ++i) {
        EXPECT_LT(std::abs((ep.F[i] - em.F[i]) / (2 * h) - at.J(i, k)), 1e-7)
            << "n=" << n << " i=" << i << " k=" << k;
      }
    }
    // The workspace overload is the same computation.
    EvaluationWorkspace workspace;
    ColMajorMatrix<Complex> J;
    std::vector<Complex> F;
    const SystemView view{s.n, s.termCount, &s.exponents, s.coefficients};
    EvaluateSystem(view, MaxDegrees(s.exponents), x.data(), J, F, workspace);
    EXPECT_EQ(J, at.J);
    EXPECT_EQ(F, at.F);
  }
}

// One workspace serves systems of different sizes and degrees in turn (the tracker keeps one per
// thread): the table stride must follow the current system, never a stale one.
TEST(EvaluateSystemTest, ReusedWorkspaceMatchesFreshAcrossShapes) {
  const std::vector<PolySystem> systems = {testing::Noon(3), testing::CircleAndLine(),
                                           testing::Cyclic(4), testing::Noon(3)};
  EvaluationWorkspace shared;
  for (const PolySystem& s : systems) {
    std::vector<Complex> x;
    for (int k = 0; k < s.n; ++k) x.emplace_back(0.3 * k - 0.4, 0.2 + 0.1 * k);
    const SystemView view{s.n, s.termCount, &s.exponents, s.coefficients};
    ColMajorMatrix<Complex> J;
    std::vector<Complex> F;
    EvaluateSystem(view, MaxDegrees(s.exponents), x.data(), J, F, shared);
    const Evaluated fresh = Evaluate(s, x);
    EXPECT_EQ(J, fresh.J) << "n=" << s.n;
    EXPECT_EQ(F, fresh.F) << "n=" << s.n;
  }
}

// Equations of different lengths that share monomials at different positions, at a point near
// 1e3 with integer coordinates: every value is an integer below 2^53, so the shared monomial
// values must give the exact sums of the terms, equation by equation.
TEST(EvaluateSystemTest, SharedMonomialsAcrossUnevenEquationsAreExact) {
  const std::vector<std::vector<std::int32_t>> mono = {{2, 1, 0}, {0, 0, 0}, {1, 1, 1}, {0, 3, 0}};
  Equation first = {{mono[0], 3.0}, {mono[1], -7.0}, {mono[2], 2.0}, {mono[3], 5.0}};
  Equation second = {{mono[2], -1.0}, {mono[0], 4.0}};
  Equation third = {{mono[3], 1.0}, {{1, 0, 0}, 6.0}, {mono[0], -2.0}};
  const PolySystem s = BuildSystem({first, second, third});
  const std::vector<double> x = {1021.0, -997.0, 1003.0};
  const std::vector<Complex> xc(x.begin(), x.end());
  const Evaluated e = Evaluate(s, xc);
  std::vector<double> F(3, 0.0);
  std::vector<std::vector<double>> J(3, std::vector<double>(3, 0.0));
  std::int64_t j = 0;
  for (int i = 0; i < 3; ++i) {
    for (std::int32_t t = 0; t < s.termCount[i]; ++t, ++j) {
      const std::int32_t* a = s.exponents.col(j);
      const double c = s.coefficients[j].real();
      F[i] += c * std::pow(x[0], a[0]) * std::pow(x[1], a[1]) * std::pow(x[2], a[2]);
      for (int k = 0; k < 3; ++k) {
        if (a[k] == 0) continue;
        double d = c * a[k];
        for (int r = 0; r < 3; ++r) d *= std::pow(x[r], r == k ? a[r] - 1 : a[r]);
        J[i][k] += d;
      }
    }
  }
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(e.F[i], Complex(F[i])) << "equation " << i;
    for (int k = 0; k < 3; ++k) EXPECT_EQ(e.J(i, k), Complex(J[i][k])) << i << "," << k;
  }
}

// A reused workspace is re-prepared when only the split of the same terms into equations changes.
TEST(EvaluateSystemTest, ReusedWorkspaceFollowsTheSplitIntoEquations) {
  PolySystem a = BuildSystem({{{{1, 0}, 1.0}, {{0, 1}, 2.0}}, {{{1, 1}, 3.0}, {{0, 0}, 4.0}}});
  PolySystem b = a;
  b.termCount = {1, 3};
  const std::vector<Complex> x = {{2.0, 0.0}, {5.0, 0.0}};
  const std::vector<std::vector<Complex>> expected = {{12.0, 34.0}, {2.0, 44.0}};
  EvaluationWorkspace shared;
  for (int round = 0; round < 2; ++round) {
    for (int which = 0; which < 2; ++which) {
      const PolySystem& s = which == 0 ? a : b;
      const SystemView view{s.n, s.termCount, &s.exponents, s.coefficients};
      ColMajorMatrix<Complex> J;
      std::vector<Complex> F;
      EvaluateSystem(view, MaxDegrees(s.exponents), x.data(), J, F, shared);
      EXPECT_EQ(F, expected[which]) << "system " << which;
    }
  }
}

// With a second coefficient set B, G is exactly the value of the system with coefficients B, and
// F and J are unaffected by B; null outputs are skipped.
TEST(EvaluateMonomialsTest, SecondCoefficientSetGivesThatSystemsValues) {
  const PolySystem s = testing::Cyclic(4);
  const std::vector<std::int32_t> maxDegree = MaxDegrees(s.exponents);
  const MonomialLayout layout{s.n, s.termCount, &s.exponents, maxDegree};
  std::vector<Complex> B;
  for (std::size_t j = 0; j < s.coefficients.size(); ++j)
    B.emplace_back(0.5 - 0.1 * static_cast<double>(j), 0.05 * static_cast<double>(j));
  PolySystem withB = s;
  withB.coefficients = B;
  const std::vector<Complex> x = {{0.7, -0.1}, {0.0, 0.0}, {-1.2, 0.4}, {0.3, 0.9}};
  EvaluationWorkspace workspace;
  workspace.Prepare(layout);
  ColMajorMatrix<Complex> J(4, 4);
  std::vector<Complex> F(4), G(4);
  EvaluateMonomials(layout, s.coefficients.data(), B.data(), x.data(), J, F.data(), G.data(),
                    workspace);
  const Evaluated a = Evaluate(s, x), b = Evaluate(withB, x);
  EXPECT_EQ(F, a.F);
  EXPECT_EQ(G, b.F);
  EXPECT_EQ(J, a.J);
  ColMajorMatrix<Complex> jacobianOnly(4, 4);
  EvaluateMonomials(layout, s.coefficients.data(), nullptr, x.data(), jacobianOnly, nullptr,
                    nullptr, workspace);
  EXPECT_EQ(jacobianOnly, a.J);
}

// Degrees above kLargestTabulatedDegree take their powers by repeated squaring, with no table:
// x^5000 y^3 - 2 and x y^3001 + 3 y - 1 against std::pow, at a point of modulus near 1 (so that
// x^5000 stays finite) and with a zero coordinate, whose exponent-1 derivative is exact.
TEST(EvaluateSystemTest, HugeDegreesNeedNoPowerTable) {
  Equation first = {{{5000, 3}, 1.0}, {{0, 0}, -2.0}};
  Equation second = {{{1, 3001}, 1.0}, {{0, 1}, 3.0}, {{0, 0}, -1.0}};
  const PolySystem s = BuildSystem({first, second});
  const SystemView view{s.n, s.termCount, &s.exponents, s.coefficients};
  const std::vector<std::int32_t> maxDegree = MaxDegrees(s.exponents);
  EvaluationWorkspace workspace;
  ColMajorMatrix<Complex> J;
  std::vector<Complex> F;
  const Complex x(0.9996, 0.0123), y(-0.3, 0.9539);
  const std::vector<Complex> at = {x, y};
  EvaluateSystem(view, maxDegree, at.data(), J, F, workspace);
  EXPECT_FALSE(workspace.tabulated);
  EXPECT_TRUE(workspace.powers.empty());
  auto close = [](Complex a, Complex b) { return std::abs(a - b) <= 1e-11 * std::abs(b); };
  const Complex x4999 = std::pow(x, 4999), y3000 = std::pow(y, 3000);
  EXPECT_PRED2(close, F[0], x4999 * x * std::pow(y, 3) - 2.0);
  EXPECT_PRED2(close, J(0, 0), 5000.0 * x4999 * std::pow(y, 3));
  EXPECT_PRED2(close, J(0, 1), 3.0 * x4999 * x * y * y);
  EXPECT_PRED2(close, F[1], x * y3000 * y + 3.0 * y - 1.0);
  EXPECT_PRED2(close, J(1, 0), y3000 * y);
  EXPECT_PRED2(close, J(1, 1), 3001.0 * x * y3000 + 3.0);
  const std::vector<Complex> onAxis = {0.0, y};
  EvaluateSystem(view, maxDegree, onAxis.data(), J, F, workspace);
  EXPECT_EQ(F[0], Complex(-2.0));
  EXPECT_EQ(J(0, 0), Complex(0.0));
  EXPECT_PRED2(close, J(1, 0), y3000 * y);
  EXPECT_EQ(J(1, 1), Complex(3.0));
}

// d(x^a)/dx_k and x^a of one monomial by its own prefix and suffix passes over its support (the
// powers x_k^e from `at(k, e)`, x_k^(e - 1) from `below(k, e)`), and F, J summed term by term:
// the computation the shared prefix and suffix products must reproduce bit for bit.
template <class At, class Below>
Evaluated EvaluateTermByTerm(const PolySystem& s, const std::vector<Complex>& x, At at,
                             Below below) {
  Evaluated out{ColMajorMatrix<Complex>(s.n, s.n), std::vector<Complex>(s.n)};
  std::int64_t j = 0;
  for (int i = 0; i < s.n; ++i) {
    for (std::int32_t t = 0; t < s.termCount[i]; ++t, ++j) {
      std::vector<int> var;
      for (int k = 0; k < s.n; ++k)
        if (s.exponents(k, j) != 0) var.push_back(k);
      std::vector<Complex> factor(var.size());
      Complex c(1.0, 0.0);
      for (std::size_t q = 0; q < var.size(); ++q) {
        const int k = var[q], e = s.exponents(k, j);
        factor[q] = e == 1 ? c : Times(static_cast<double>(e) * c, below(k, e));
        c = Times(c, e == 1 ? x[k] : at(k, e));
      }
      Complex v(1.0, 0.0);
      for (std::size_t q = var.size(); q-- > 0;) {
        out.J(i, var[q]) += Times(s.coefficients[j], Times(factor[q], v));
        if (q > 0) v = Times(v, at(var[q], s.exponents(var[q], j)));
      }
      out.F[i] += Times(s.coefficients[j], c);
    }
  }
  return out;
}

// Supports drawn from three variables of five and exponents from `degrees`, so that many
// monomials share their first or last entries with others but not their powers: every value
// and derivative must be that of the monomial computed alone, with the table of powers (degrees
// up to 7) and without it (degree 1500), at a generic point and at one with a zero coordinate.
TEST(EvaluateSystemTest, SharedPrefixAndSuffixProductsGiveTheBitsOfEachMonomial) {
  std::mt19937 gen(11);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  const int n = 5;
  for (const std::vector<std::int32_t>& degrees :
       {std::vector<std::int32_t>{1, 2, 3, 7}, std::vector<std::int32_t>{1, 2, 1500}}) {
    std::uniform_int_distribution<std::size_t> pick(0, degrees.size() - 1);
    std::vector<Equation> eqs(n);
    for (Equation& eq : eqs) {
      for (int t = 0; t < 12; ++t) {
        std::vector<std::int32_t> e(n, 0);
        for (int r = 0; r < 3; ++r) e[gen() % n] = degrees[pick(gen)];
        testing::AddTerm(eq, e, Complex(unit(gen), unit(gen)));
      }
      testing::AddTerm(eq, std::vector<std::int32_t>(n, 0), 0.5);
    }
    const PolySystem s = BuildSystem(eqs);
    const bool tabulated = degrees.back() <= kLargestTabulatedDegree;
    for (bool zero : {false, true}) {
      std::vector<Complex> x(n);
      for (auto& v : x) v = std::polar(1.0 + 1e-4 * unit(gen), 3.0 * unit(gen));
      if (zero) x[2] = 0.0;
      // With the table x_k^d = x_k^(d - 1) x_k from 1; without it, x_k^(e - 1) by squaring and
      // x_k^e one product more.
      auto below = [&](int k, std::int32_t e) {
        Complex p(1.0, 0.0);
        if (tabulated) {
          for (std::int32_t d = 1; d < e; ++d) p = Times(p, x[k]);
          return p;
        }
        Complex z = x[k];
        for (std::uint32_t rest = e - 1; rest != 0; rest >>= 1) {
          if ((rest & 1u) != 0) p *= z;
          if (rest > 1) z *= z;
        }
        return p;
      };
      auto at = [&](int k, std::int32_t e) {
        return tabulated ? Times(below(k, e), x[k]) : below(k, e) * x[k];
      };
      const Evaluated expected = EvaluateTermByTerm(s, x, at, below);
      const Evaluated shared = Evaluate(s, x);
      EXPECT_EQ(shared.F, expected.F) << "degree " << degrees.back() << " zero " << zero;
      EXPECT_EQ(shared.J, expected.J) << "degree " << degrees.back() << " zero " << zero;
    }
  }
}

// The long double evaluation is the double one with a finer rounding: on supports that skip
// variables (only their own powers multiply), with a zero coordinate, at a point of modulus near
// 3 so that a wrong power shows.
TEST(EvaluateSystemWideTest, AgreesWithDoubleEvaluationToItsRounding) {
  std::mt19937 gen(5);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::uniform_int_distribution<int> power(0, 4);
  const int n = 4;
  std::vector<Equation> eqs(n);
  for (Equation& eq : eqs) {
    for (int t = 0; t < 6; ++t) {
      std::vector<std::int32_t> e(n);
      for (auto& v : e) v = power(gen) % 3 == 0 ? 0 : power(gen);
      testing::AddTerm(eq, e, Complex(unit(gen), unit(gen)));
    }
  }
  const PolySystem s = BuildSystem(eqs);
  const SystemView view{s.n, s.termCount, &s.exponents, s.coefficients};
  for (bool zero : {false, true}) {
    std::vector<Complex> x(n);
    std::vector<std::complex<long double>> wide(n);
    for (int k = 0; k < n; ++k) {
      x[k] = zero && k == 1 ? Complex(0.0) : std::polar(3.0 + unit(gen), 3.0 * unit(gen));
      wide[k] = {x[k].real(), x[k].imag()};
    }
    const Evaluated plain = Evaluate(s, x);
    std::vector<std::complex<long double>> F, J;
    EvaluateSystemWide(view, wide.data(), F, J);
    auto near = [](std::complex<long double> a, Complex b) {
      return std::abs(Complex(static_cast<double>(a.real()), static_cast<double>(a.imag())) - b) <=
             1e-12 * std::max(1.0, std::abs(b));
    };
    for (int i = 0; i < n; ++i) {
      EXPECT_PRED2(near, F[i], plain.F[i]) << "zero " << zero << " i " << i;
      for (int k = 0; k < n; ++k)
        EXPECT_PRED2(near, J[i + k * n], plain.J(i, k)) << "zero " << zero << " " << i << k;
    }
  }
}

TEST(VectorNorm2Test, PlainScaledEmptyAndHuge) {
  const std::vector<Complex> small = {3.0, Complex(0, 4)};
  EXPECT_DOUBLE_EQ(VectorNorm2(2, small.data()), 5.0);
  const std::vector<Complex> large = {3e5, 4e5};
  EXPECT_DOUBLE_EQ(VectorNorm2(2, large.data()), 5e5);
  EXPECT_EQ(VectorNorm2(0, nullptr), 0.0);
  const std::vector<Complex> huge = {Complex(3e200, 0), Complex(0, 4e200)};
  EXPECT_DOUBLE_EQ(VectorNorm2(2, huge.data()), 5e200);
}

}  // namespace
}  // namespace zormix
