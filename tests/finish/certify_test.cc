// Krawczyk certificates and the scale-invariant condition number on systems whose roots are known,
// at scales far from 1.
#include "finish/certify.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "base/singular_values.h"
#include "finish/classify.h"
#include "finish/point_measures.h"
#include "model/normal_form.h"
#include "support/systems.h"

namespace zormix {
namespace {

using testing::BuildSystem;

// x^4 - 1e16 = 0, y - 2x = 0: roots x = 1e4 i^k, y = 2x; two real, two not.
NormalForm QuarticAt1e4() {
  return BringToNormalForm(
      BuildSystem({{{{4, 0}, 1.0}, {{0, 0}, -1e16}}, {{{0, 1}, 1.0}, {{1, 0}, -2.0}}}));
}

TEST(Krawczyk, CertifiesBoxesHoldingTheRootAndNeverBoxesWithout) {
  const NormalForm s = QuarticAt1e4();
  const std::vector<Complex> root{1e4, 2e4};
  const double r = 1e-6;  // 1e-10 relative to the root
  EXPECT_GE(KrawczykTest(s, root, r), 0.0);
  EXPECT_LE(KrawczykTest(s, root, r), r);
  // Centers displaced by three radii: the root is outside the box, which must not certify.
  for (const std::vector<Complex>& off : {std::vector<Complex>{1e4 + 3 * r, 2e4},
                                          std::vector<Complex>{1e4, 2e4 + Complex(0, 3 * r)}}) {
    EXPECT_LT(KrawczykTest(s, off, r), 0.0);
  }
}

TEST(Krawczyk, CertifiedBoxHoldsTheRootAndTellsRealFromComplex) {
  const NormalForm s = QuarticAt1e4();
  const std::vector<Complex> perturbedReal{Complex(1e4 * (1 + 1e-9), 1e-7), 2e4};
  const Certificate real = CertifyPoint(s, perturbedReal.data(), true);
  ASSERT_TRUE(real.certified);
  EXPECT_TRUE(real.real);
  EXPECT_LE(std::abs(real.center[0] - 1e4), real.radius);
  EXPECT_LE(std::abs(real.center[1] - 2e4), real.radius);
  EXPECT_LT(real.radius, 1e-8);

  const std::vector<Complex> imaginary{Complex(1e-7, 1e4), Complex(0, 2e4)};
  const Certificate c = CertifyPoint(s, imaginary.data(), true);
  ASSERT_TRUE(c.certified);
  EXPECT_FALSE(c.real);
  EXPECT_LE(std::abs(c.center[0] - Complex(0, 1e4)), 2 * c.radius);
}

TEST(Krawczyk, PointFarFromAnyRootOrAtADoubleRootDoesNotCertify) {
  const NormalForm s = QuarticAt1e4();
  const std::vector<Complex> between{Complex(7e3, 7e3), Complex(1.4e4, 1.4e4)};
  EXPECT_FALSE(CertifyPoint(s, between.data(), false).certified);
  // (x - 1)^2 = 0, y = 2: the Jacobian is singular at the root, no box can be certified.
  const NormalForm d = BringToNormalForm(BuildSystem(
      {{{{2, 0}, 1.0}, {{1, 0}, -2.0}, {{0, 0}, 1.0}}, {{{0, 1}, 1.0}, {{0, 0}, -2.0}}}));
  const std::vector<Complex> nearDouble{1.0 + 1e-9, 2.0};
  EXPECT_FALSE(CertifyPoint(d, nearDouble.data(), true).certified);
}

// x^2 + y^2 - 5 = 0, x - 2y = 0 at (2, 1), and the same system with x = 1e4 X, y = 1e-3 Y and the
// equations multiplied by 1e-6 and 1e5: the scaled condition number must not change, while the
// plain Jacobian's condition number changes by many orders.
TEST(ScaledCondition, IgnoresScalingOfEquationsAndVariables) {
  const NormalForm plain = BringToNormalForm(BuildSystem(
      {{{{2, 0}, 1.0}, {{0, 2}, 1.0}, {{0, 0}, -5.0}}, {{{1, 0}, 1.0}, {{0, 1}, -2.0}}}));
  const NormalForm scaled =
      BringToNormalForm(BuildSystem({{{{2, 0}, 1e-6 * 1e8}, {{0, 2}, 1e-6 * 1e-6}, {{0, 0}, -5e-6}},
                                     {{{1, 0}, 1e5 * 1e4}, {{0, 1}, -2e5 * 1e-3}}}));
  const std::vector<Complex> x{2.0, 1.0}, X{2e-4, 1e3};
  const PointMeasures a = MeasurePoint(plain, x.data());
  const PointMeasures b = MeasurePoint(scaled, X.data());
  EXPECT_NEAR(b.scaledCondition / a.scaledCondition, 1.0, 1e-9);
  EXPECT_LT(a.scaledCondition, 10.0);
  EXPECT_LT(b.relativeStep, 1e-14);
}

// Two columns at one root, both (wrongly) called regular: each box is certified, the boxes
// overlap, and the count of proven distinct roots is one. The boxes hold the root and are small:
// at most 1e-12 of it. A third root far away is a second distinct one.
TEST(Certification, OverlappingBoxesAreOneDistinctRoot) {
  const NormalForm s = QuarticAt1e4();
  SolveResult r;
  r.n = 2;
  r.roots.Assign(2, 3);
  const Complex points[3][2] = {{1e4 * (1 + 1e-15), 2e4}, {1e4, 2e4 * (1 - 1e-15)}, {-1e4, -2e4}};
  for (int k = 0; k < 3; ++k) {
    r.roots(0, k) = points[k][0];
    r.roots(1, k) = points[k][1];
  }
  r.rootStatus.assign(3, RootStatus::kRegular);
  r.isReal.assign(3, 1);
  const Certification c = CertifyRoots(s, r);
  EXPECT_EQ(c.counts.certified, 3);
  EXPECT_EQ(c.counts.real, 3);
  EXPECT_EQ(c.counts.distinct, 2);
  for (int k = 0; k < 3; ++k) {
    EXPECT_GT(c.boxRadii[k], 0.0);
    EXPECT_LE(c.boxRadii[k], 1e-12 * 2e4);
    const Complex root[2] = {k < 2 ? 1e4 : -1e4, k < 2 ? 2e4 : -2e4};
    for (int j = 0; j < 2; ++j) EXPECT_LE(std::abs(c.boxCenters(j, k) - root[j]), c.boxRadii[k]);
  }
}

// sigma of diag(3, 1e-9, 0) rotated by a unitary matrix: the values and the numerical corank.
TEST(SingularValuesTest, SmallValuesAndCorank) {
  ColMajorMatrix<Complex> A;
  A.Assign(3, 3);
  const double c = std::cos(0.4), sn = std::sin(0.4);
  // A = U diag(3, 1e-9, 0) with U a complex rotation in the first two coordinates.
  A(0, 0) = 3.0 * c;
  A(1, 0) = Complex(0, 3.0 * sn);
  A(0, 1) = Complex(0, 1e-9 * sn);
  A(1, 1) = 1e-9 * c;
  const SingularValues svd = ComputeSingularValues(A);
  ASSERT_EQ(svd.sigma.size(), 3u);
  EXPECT_NEAR(svd.sigma[0], 3.0, 1e-14);
  EXPECT_NEAR(svd.sigma[1], 1e-9, 1e-22);
  EXPECT_EQ(svd.sigma[2], 0.0);
  EXPECT_EQ(NumericalCorank(svd, 1e-6), 2);
  EXPECT_EQ(NumericalCorank(svd, 1e-12), 1);
}

// Columns of a random unitary rows x rows matrix (Gram-Schmidt of Gaussian columns).
ColMajorMatrix<Complex> RandomUnitary(int rows, std::mt19937_64& generator) {
  std::normal_distribution<double> normal;
  ColMajorMatrix<Complex> Q;
  Q.Assign(rows, rows);
  for (int j = 0; j < rows; ++j) {
    for (int i = 0; i < rows; ++i) Q(i, j) = Complex(normal(generator), normal(generator));
    for (int l = 0; l < j; ++l) {
      Complex dot = 0.0;
      for (int i = 0; i < rows; ++i) dot += std::conj(Q(i, l)) * Q(i, j);
      for (int i = 0; i < rows; ++i) Q(i, j) -= dot * Q(i, l);
    }
    double size = 0.0;
    for (int i = 0; i < rows; ++i) size += std::norm(Q(i, j));
    for (int i = 0; i < rows; ++i) Q(i, j) /= std::sqrt(size);
  }
  return Q;
}

// B = scale U diag(sigma) V^H (7 x 6), sigma log-spaced from sigma_max / spread to sigma_max, and
// g = B x + a residual orthogonal to B's range. Full rank is claimed exactly where the spread is
// far below 1 / tolerance, and then the least-squares solution is x; never for a spread beyond
// 1 / tolerance, at any scale.
TEST(SingularValuesTest, FullRankLeastSquaresOnlyWhereTheRankIsBeyondDoubt) {
  constexpr int n = 6, rows = 7;
  constexpr double tolerance = 1e-8;
  std::mt19937_64 generator(7);
  std::normal_distribution<double> normal;
  for (const double scale : {1e-8, 1.0, 1e8}) {
    for (const double spread : {1e2, 1e4, 1e7, 1e10, 1e16}) {
      const ColMajorMatrix<Complex> U = RandomUnitary(rows, generator);
      const ColMajorMatrix<Complex> V = RandomUnitary(n, generator);
      ColMajorMatrix<Complex> B;
      B.Assign(rows, n);
      std::vector<Complex> x(n), g(rows);
      for (Complex& z : x) z = Complex(normal(generator), normal(generator));
      for (int k = 0; k < n; ++k) {
        const double sigma = scale * 1e4 * std::pow(spread, -k / (n - 1.0));
        for (int j = 0; j < n; ++j) {
          for (int i = 0; i < rows; ++i) B(i, j) += U(i, k) * sigma * std::conj(V(j, k));
        }
      }
      for (int i = 0; i < rows; ++i) {
        g[i] = 0.5 * scale * U(i, n);
        for (int j = 0; j < n; ++j) g[i] += B(i, j) * x[j];
      }
      std::vector<Complex> u;
      const bool full = FullRankLeastSquares(B, g, tolerance, u);
      SCOPED_TRACE(::testing::Message() << "scale " << scale << " spread " << spread);
      EXPECT_EQ(full, spread <= 1e4);
      const SingularValues svd = ComputeSingularValues(B);
      EXPECT_EQ(NumericalCorank(svd, tolerance) > 0, spread > 1e8);
      // The largest and (where resolved) the smallest value, and the same bits without V.
      const double largest = scale * 1e4;
      EXPECT_NEAR(svd.sigma[0], largest, 1e-13 * largest);
      if (spread <= 1e7) {
        EXPECT_NEAR(svd.sigma[n - 1], largest / spread, 1e-9 * largest / spread);
      }
      EXPECT_EQ(SingularValueList(B), svd.sigma);
      if (!full) continue;
      for (int j = 0; j < n; ++j) EXPECT_LE(std::abs(u[j] - x[j]), 1e-11 * spread);
    }
  }
}

}  // namespace
}  // namespace zormix
