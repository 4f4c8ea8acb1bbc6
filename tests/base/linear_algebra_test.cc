// The pivot and maximum-modulus searches compare squared moduli where the squares are exact and
// the moduli elsewhere: same choices at every scale, NaN never hidden.
#include "base/linear_algebra.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace zormix {
namespace {

// A tiny leading entry above large ones: without pivoting on the largest modulus the elimination
// loses every digit. At scales far from 1 (the divisions by |pivot|^2 limit the solver to about
// 1e+-150; MaxNorm below covers the range where the squares leave the exact range).
TEST(LinearAlgebraTest, PivotsOnTheLargestModulusAtEveryScale) {
  for (const double scale : {1e-15, 1.0, 1e15}) {
    // Column 0: a tiny (1e-18), a real and an imaginary entry whose squares differ by 1 part in
    // 1e12 (the imaginary one larger, so it is the pivot).
    std::vector<Complex> A{scale * 1e-18,
                           scale * Complex(3.0, 0.0),
                           scale * Complex(0.0, 3.000000000003),
                           scale * Complex(1.0, 1.0),
                           scale * Complex(2.0, 0.0),
                           scale * 1.0,
                           scale * Complex(0.0, 1.0),
                           scale * Complex(1.0, -1.0),
                           scale * 4.0};
    const std::vector<Complex> x{Complex(1.0, 2.0), Complex(-3.0, 0.5), Complex(0.25, -1.0)};
    std::vector<Complex> b(3, 0.0);
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) b[i] += A[i + 3 * j] * x[j];
    }
    // The pair solve: the same bits for each right-hand side as a solve of its own.
    std::vector<Complex> pairA = A, sameA = A, pairB = b, second{Complex(2.0, -1.0), 0.5, -7.0};
    std::vector<Complex> alone = second;
    SolveLinearComplex(3, pairA.data(), pairB.data(), second.data());
    SolveLinearComplex(3, sameA.data(), alone.data());
    SolveLinearComplex(3, A.data(), b.data());
    for (int j = 0; j < 3; ++j) {
      EXPECT_NEAR(std::abs(b[j] - x[j]), 0.0, 1e-13) << scale;
      EXPECT_EQ(pairB[j], b[j]) << scale;
      EXPECT_EQ(second[j], alone[j]) << scale;
    }
  }
}

TEST(LinearAlgebraTest, NormsAtEveryScaleAndNaNAfterTheLargest) {
  for (const double scale : {1e-300, 1e-160, 1.0, 1e160, 1e300}) {
    const std::vector<Complex> v{scale * Complex(0.5, 0.0), scale * Complex(-3.0, 4.0),
                                 scale * Complex(0.0, -4.9)};
    EXPECT_DOUBLE_EQ(MaxNorm(3, v.data()), 5.0 * scale);
    // One column: 0.5 + 5 + 4.9.
    EXPECT_DOUBLE_EQ(MatrixNorm1(3, 1, v.data()), 10.4 * scale);
  }
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<Complex> withNaN{Complex(7.0, 0.0), Complex(nan, 1.0)};
  EXPECT_TRUE(std::isnan(MaxNorm(2, withNaN.data())));
  const std::vector<Complex> withInfinity{Complex(7.0, 0.0), Complex(nan, inf)};
  EXPECT_EQ(MaxNorm(2, withInfinity.data()), inf);  // |(NaN, inf)| = inf
  EXPECT_EQ(MaxNorm(0, withNaN.data()), 0.0);
}

}  // namespace
}  // namespace zormix
