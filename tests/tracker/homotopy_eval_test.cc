#include "tracker/homotopy/homotopy_eval.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <random>

#include "model/system_eval.h"
#include "tracker/homotopy/homotopy.h"

namespace zormix {
namespace {

// Three equations in three variables with exponents 0, 1, 2 and 3, and a constant term in each.
struct SmallSystem {
  std::vector<std::int32_t> termCount{3, 2, 3};
  ColMajorMatrix<std::int32_t> E{3, 8};
  std::vector<std::int32_t> maxDegree;
  std::vector<Complex> A, B;
  MonomialLayout layout;

  SmallSystem() {
    const int exps[8][3] = {{2, 1, 0}, {0, 3, 1}, {0, 0, 0}, {1, 1, 1},
                            {0, 0, 0}, {3, 0, 2}, {0, 2, 0}, {0, 0, 0}};
    for (int j = 0; j < 8; ++j)
      for (int k = 0; k < 3; ++k) E(k, j) = exps[j][k];
    maxDegree = MaxDegrees(E);
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (int j = 0; j < 8; ++j) {
      A.emplace_back(u(gen), u(gen));
      B.emplace_back(u(gen), u(gen));
    }
    layout = {3, termCount, &E, maxDegree};
  }
};

// Central differences of F along coordinate k (complex-analytic, so a real step suffices).
std::vector<Complex> DifferenceColumn(const SmallSystem& s, std::vector<Complex> y, int k) {
  EvaluationScratch scratch;
  scratch.Prepare(s.layout);
  ColMajorMatrix<Complex> J(3, 3);
  std::vector<Complex> Fp(3), Fm(3);
  const double h = 1e-6;
  const Complex yk = y[k];
  y[k] = yk + h;
  EvaluateHomotopy(s.layout, s.A.data(), nullptr, y.data(), J, Fp.data(), nullptr, scratch);
  y[k] = yk - h;
  EvaluateHomotopy(s.layout, s.A.data(), nullptr, y.data(), J, Fm.data(), nullptr, scratch);
  std::vector<Complex> col(3);
  for (int i = 0; i < 3; ++i) col[i] = (Fp[i] - Fm[i]) / (2 * h);
  return col;
}

TEST(EvaluateHomotopy, JacobianMatchesFiniteDifferencesIncludingZeroCoordinates) {
  SmallSystem s;
  EvaluationScratch scratch;
  scratch.Prepare(s.layout);
  for (const std::vector<Complex>& y :
       {std::vector<Complex>{{0.3, -0.7}, {1.1, 0.2}, {-0.4, 0.5}},
        std::vector<Complex>{{0.0, 0.0}, {1.1, 0.2}, {-0.4, 0.5}},
        std::vector<Complex>{{0.3, -0.7}, {0.0, 0.0}, {0.0, 0.0}}}) {
    ColMajorMatrix<Complex> J(3, 3);
    std::vector<Complex> F(3), G(3);
    EvaluateHomotopy(s.layout, s.A.data(), s.B.data(), y.data(), J, F.data(), G.data(), scratch);
    for (int k = 0; k < 3; ++k) {
      const std::vector<Complex> col = DifferenceColumn(s, y, k);
      for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(std::isfinite(J(i, k).real()));
        EXPECT_NEAR(std::abs(J(i, k) - col[i]), 0.0, 1e-8) << "i=" << i << " k=" << k;
      }
    }
    // F and G are the same monomials with the two coefficient sets.
    for (int i = 0; i < 3; ++i) {
      Complex f(0, 0), g(0, 0);
      std::int64_t j0 = 0;
      for (int e = 0; e < i; ++e) j0 += s.termCount[e];
      for (std::int64_t j = j0; j < j0 + s.termCount[i]; ++j) {
        Complex mono(1, 0);
        for (int k = 0; k < 3; ++k) mono *= std::pow(y[k], s.E(k, j));
        f += s.A[j] * mono;
        g += s.B[j] * mono;
      }
      EXPECT_NEAR(std::abs(F[i] - f), 0.0, 1e-13);
      EXPECT_NEAR(std::abs(G[i] - g), 0.0, 1e-13);
    }
  }
  // Equation 2 depends on its second variable only through its square: at 0 the derivative is
  // exactly 0, with no division by the zero coordinate.
  std::vector<Complex> y{{0.3, -0.7}, {0.0, 0.0}, {0.2, 0.1}};
  ColMajorMatrix<Complex> J(3, 3);
  EvaluateMonomials(s.layout, s.A.data(), nullptr, y.data(), J, nullptr, nullptr, scratch);
  EXPECT_EQ(J(2, 1), Complex(0.0, 0.0));
}

TEST(EvaluateHomotopy, OneByOne) {
  std::vector<std::int32_t> termCount{2};
  ColMajorMatrix<std::int32_t> E(1, 2);
  E(0, 0) = 3;
  std::vector<std::int32_t> maxDegree{3};
  MonomialLayout layout{1, termCount, &E, maxDegree};
  EvaluationScratch scratch;
  scratch.Prepare(layout);
  std::vector<Complex> A{{2, 0}, {-1, 0}}, B{{1, 0}, {5, 0}};
  ColMajorMatrix<Complex> J(1, 1);
  Complex y(0.5, 0.0), F, G;
  EvaluateHomotopy(layout, A.data(), B.data(), &y, J, &F, &G, scratch);
  EXPECT_DOUBLE_EQ(F.real(), 2 * 0.125 - 1);
  EXPECT_DOUBLE_EQ(G.real(), 0.125 + 5);
  EXPECT_DOUBLE_EQ(J(0, 0).real(), 6 * 0.25);
}

TEST(IntegerPower, MatchesRepeatedMultiplication) {
  const Complex z(0.8, -0.6);
  Complex p(1, 0);
  for (int k = 0; k <= 9; ++k) {
    EXPECT_NEAR(std::abs(IntegerPower(z, k) - p), 0.0, 1e-14) << k;
    p *= z;
  }
  EXPECT_NEAR(std::abs(IntegerPower(z, -2) * z * z - 1.0), 0.0, 1e-14);
}

// dH/dp of both homotopies against central differences in the parameter, and J against y.
void ExpectDerivativesConsistent(Homotopy& homotopy, std::vector<Complex> y, double p) {
  const int n = homotopy.n();
  ColMajorMatrix<Complex> J(n, n), Jx(n, n);
  std::vector<Complex> H(n), Hp(n), Ha(n), Hb(n), scratch(n);
  homotopy.Evaluate(y.data(), p, J, H.data(), Hp.data());
  const double h = 1e-6;
  homotopy.Evaluate(y.data(), p + h, Jx, Ha.data(), scratch.data());
  homotopy.Evaluate(y.data(), p - h, Jx, Hb.data(), scratch.data());
  for (int i = 0; i < n; ++i) EXPECT_NEAR(std::abs(Hp[i] - (Ha[i] - Hb[i]) / (2 * h)), 0.0, 1e-7);
  for (int k = 0; k < n; ++k) {
    const Complex yk = y[k];
    y[k] = yk + h;
    homotopy.Evaluate(y.data(), p, Jx, Ha.data(), scratch.data());
    y[k] = yk - h;
    homotopy.Evaluate(y.data(), p, Jx, Hb.data(), scratch.data());
    y[k] = yk;
    for (int i = 0; i < n; ++i)
      EXPECT_NEAR(std::abs(J(i, k) - (Ha[i] - Hb[i]) / (2 * h)), 0.0, 1e-7);
  }
}

TEST(Homotopy, ParameterDerivativesOfBothRoutes) {
  SmallSystem s;
  std::vector<Complex> delta(8);
  for (int j = 0; j < 8; ++j) delta[j] = s.B[j] - s.A[j];
  std::vector<double> beta{0.0, 0.7, 1.3, 0.0, 2.1, 0.0, 0.4, 0.9};
  PolyhedralHomotopy polyhedral(s.layout, s.A, delta);
  polyhedral.SetPowers(beta);
  const std::vector<Complex> y{{0.3, -0.7}, {1.1, 0.2}, {-0.4, 0.5}};
  ExpectDerivativesConsistent(polyhedral, y, -0.8);
  // At s = 0 the polyhedral homotopy is the target (coefficients B).
  ColMajorMatrix<Complex> J(3, 3);
  std::vector<Complex> H(3), Hs(3), F(3);
  polyhedral.Evaluate(y.data(), 0.0, J, H.data(), Hs.data());
  EvaluationScratch scratch;
  scratch.Prepare(s.layout);
  EvaluateHomotopy(s.layout, s.B.data(), nullptr, y.data(), J, F.data(), nullptr, scratch);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(std::abs(H[i] - F[i]), 0.0, 1e-14);

  std::vector<std::int32_t> degree{3, 3, 5};
  std::vector<Complex> q{{0.6, 0.8}, {-1, 0.1}, {0, 1}, {0.3, 0.2}, {1, 0}, {0.5, -0.5}};
  TotalDegreeHomotopy linear(s.layout, s.B, q, degree);
  ExpectDerivativesConsistent(linear, y, 0.37);
  // At t = 0 it is the start system alone.
  linear.Evaluate(y.data(), 0.0, J, H.data(), Hs.data());
  for (int i = 0; i < 3; ++i)
    EXPECT_NEAR(std::abs(H[i] - (q[2 * i] * std::pow(y[i], degree[i]) + q[2 * i + 1])), 0.0, 1e-14);
}

// The extended residual is the same homotopy: at generic points it agrees with the double one to
// rounding. Where its terms cancel, (x - 1e6)^3 expanded, at x = 1e6 + 1, with terms near 1e18 and
// the value 1, the double evaluation is off by hundreds and the extended one by less than 1/2.
TEST(Homotopy, ExtendedResidualIsTheSameHomotopyWithoutTheCancellation) {
  SmallSystem s;
  std::vector<Complex> delta(8);
  for (int j = 0; j < 8; ++j) delta[j] = s.B[j] - s.A[j];
  std::vector<double> beta{0.0, 0.7, 1.3, 0.0, 2.1, 0.0, 0.4, 0.9};
  const std::vector<Complex> y{{0.3, -0.7}, {1.1, 0.2}, {-0.4, 0.5}};
  std::vector<std::int32_t> degree{3, 3, 5};
  std::vector<Complex> q{{0.6, 0.8}, {-1, 0.1}, {0, 1}, {0.3, 0.2}, {1, 0}, {0.5, -0.5}};
  PolyhedralHomotopy polyhedral(s.layout, s.A, delta);
  polyhedral.SetPowers(beta);
  TotalDegreeHomotopy linear(s.layout, s.B, q, degree);
  for (Homotopy* h : std::initializer_list<Homotopy*>{&polyhedral, &linear}) {
    ColMajorMatrix<Complex> J(3, 3);
    std::vector<Complex> plain(3), extended(3), Hp(3);
    h->Evaluate(y.data(), -0.3, J, plain.data(), Hp.data());
    h->UseExtendedResidual(true);
    h->Evaluate(y.data(), -0.3, J, extended.data(), Hp.data());
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(std::abs(plain[i] - extended[i]), 0.0, 1e-13);
  }

  std::vector<std::int32_t> termCount{4};
  ColMajorMatrix<std::int32_t> E(1, 4);
  for (int j = 0; j < 4; ++j) E(0, j) = 3 - j;
  std::vector<std::int32_t> maxDegree{3};
  MonomialLayout cubic{1, termCount, &E, maxDegree};
  const std::vector<Complex> target{1.0, -3e6, 3e12, -1e18}, zero(4);
  const std::vector<double> noPowers(4, 0.0);
  PolyhedralHomotopy atTarget(cubic, zero, target);  // s = 0: the target itself
  atTarget.SetPowers(noPowers);
  const std::vector<std::int32_t> cubicDegree{3};
  const std::vector<Complex> cubicStart{1.0, -1.0};
  TotalDegreeHomotopy atEnd(cubic, target, cubicStart, cubicDegree);  // t = 1: the target
  const Complex x(1e6 + 1.0, 0.0);
  ColMajorMatrix<Complex> J(1, 1);
  Complex H, Hp;
  atTarget.Evaluate(&x, 0.0, J, &H, &Hp);
  EXPECT_GT(std::abs(H - 1.0), 1.0);  // what double gives
  for (Homotopy* h : std::initializer_list<Homotopy*>{&atTarget, &atEnd}) {
    h->UseExtendedResidual(true);
    h->Evaluate(&x, h == &atTarget ? 0.0 : 1.0, J, &H, &Hp);
    EXPECT_LT(std::abs(H - 1.0), 0.5);
    // The rounding is relative to the terms' sizes, |x|^3 + 3e6 |x|^2 + 3e12 |x| + 1e18 = 8e18.
    EXPECT_NEAR(h->ExtendedTermSize() / 8e18, 1.0, 1e-5);
  }
  // Early on the total-degree route the start system's terms (1 - t)(|x|^3 + 1) dominate:
  // 0.001 * 8e18 + 0.999 * 1e18.
  atEnd.Evaluate(&x, 0.001, J, &H, &Hp);
  EXPECT_NEAR(atEnd.ExtendedTermSize() / 1.007e18, 1.0, 1e-5);
}

// A homotopy keeps its coefficients between evaluations at one s; new powers (the next cell) must
// not reuse them: the values after SetPowers equal those of a fresh homotopy.
TEST(Homotopy, NewPowersAtTheSameParameterGiveFreshValues) {
  SmallSystem s;
  std::vector<Complex> delta(8);
  for (int j = 0; j < 8; ++j) delta[j] = s.B[j] - s.A[j];
  const std::vector<double> first{0.0, 0.7, 1.3, 0.0, 2.1, 0.0, 0.4, 0.9};
  const std::vector<double> second{1.5, 0.0, 0.2, 0.8, 0.0, 1.1, 0.0, 0.3};
  const std::vector<Complex> y{{0.3, -0.7}, {1.1, 0.2}, {-0.4, 0.5}};
  const double sValue = -1.7;
  ColMajorMatrix<Complex> J(3, 3), Jfresh(3, 3);
  std::vector<Complex> H(3), Hs(3), Hfresh(3), HsFresh(3);

  PolyhedralHomotopy reused(s.layout, s.A, delta);
  reused.SetPowers(first);
  reused.Evaluate(y.data(), sValue, J, H.data(), Hs.data());
  reused.SetPowers(second);
  reused.Evaluate(y.data(), sValue, J, H.data(), Hs.data());
  PolyhedralHomotopy fresh(s.layout, s.A, delta);
  fresh.SetPowers(second);
  fresh.Evaluate(y.data(), sValue, Jfresh, Hfresh.data(), HsFresh.data());
  EXPECT_EQ(H, Hfresh);
  EXPECT_EQ(Hs, HsFresh);
  EXPECT_EQ(J, Jfresh);
}

}  // namespace
}  // namespace zormix
