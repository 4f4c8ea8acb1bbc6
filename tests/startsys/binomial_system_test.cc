#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "startsys/start_systems.h"
#include "zormix/error.h"
#include "zormix/solve.h"

namespace zormix {
namespace {

constexpr double kPi = 3.141592653589793;

void ExpectColumns(const ColMajorMatrix<Complex>& x,
                   const std::vector<std::vector<Complex>>& cols) {
  ASSERT_EQ(x.cols(), static_cast<std::int64_t>(cols.size()));
  for (std::size_t s = 0; s < cols.size(); ++s) {
    for (std::size_t i = 0; i < cols[s].size(); ++i) {
      EXPECT_NEAR(std::abs(x(i, s) - cols[s][i]), 0.0, 1e-12) << "solution " << s << ", x" << i;
    }
  }
}

TEST(SolveBinomialSystemTest, SolutionsComeInBranchOrderWithRowZeroSlowest) {
  IntMatrix a(2, 2);
  a(0, 0) = 2, a(1, 1) = 3;
  std::vector<Complex> b = {4.0, -8.0};
  ColMajorMatrix<Complex> x;
  EXPECT_EQ(SolveBinomialSystem(a, b, x), 6);
  const double r3 = std::sqrt(3.0);
  ExpectColumns(x, {{-2.0, -2.0},
                    {-2.0, {1.0, -r3}},
                    {-2.0, {1.0, r3}},
                    {2.0, -2.0},
                    {2.0, {1.0, -r3}},
                    {2.0, {1.0, r3}}});
  EXPECT_NEAR(std::abs(b[0]), 1.0, 1e-15);  // b comes back normalised
  EXPECT_NEAR(std::abs(b[1]), 1.0, 1e-15);
}

// One variable: x = |b|^(1/d) exp(i (theta + 2 pi k) / d), k = 1..|d|, with the signed d.
TEST(SolveBinomialSystemTest, SingleVariableUsesBranchesFromOneAndSignedExponent) {
  for (std::int64_t d : {1, 4, -3}) {
    IntMatrix a(1, 1, d);
    const Complex b0 = std::polar(5.0, 0.7);
    std::vector<Complex> b = {b0};
    ColMajorMatrix<Complex> x;
    ASSERT_EQ(SolveBinomialSystem(a, b, x), d < 0 ? -d : d);
    for (std::int64_t k = 1; k <= (d < 0 ? -d : d); ++k) {
      const Complex expected =
          std::polar(std::pow(5.0, 1.0 / static_cast<double>(d)),
                     (0.7 + 2 * kPi * static_cast<double>(k)) / static_cast<double>(d));
      EXPECT_NEAR(std::abs(x(0, k - 1) - expected), 0.0, 1e-12) << "d = " << d << ", k = " << k;
    }
  }
}

TEST(SolveBinomialSystemTest, SingularMatrixGivesNoSolutions) {
  for (IntMatrix a : {IntMatrix(2, 2, 1), IntMatrix(3, 3, 0)}) {
    std::vector<Complex> b(a.rows(), Complex(2.0, 1.0));
    ColMajorMatrix<Complex> x(1, 1);
    EXPECT_EQ(SolveBinomialSystem(a, b, x), 0);
    EXPECT_EQ(x.cols(), 0);
  }
}

TEST(SolveBinomialSystemTest, TooManySolutionsToStoreIsAnErrorNotACrash) {
  IntMatrix a(2, 2);
  a(0, 0) = 1 << 16, a(1, 1) = 1 << 16;
  std::vector<Complex> b = {1.0, 1.0};
  ColMajorMatrix<Complex> x;
  EXPECT_THROW(SolveBinomialSystem(a, b, x), Error);
}

// Relative residual |x^A(i,.) / b_i - 1| over all equations, evaluated through logarithms since
// single coordinates may be far too large or small for the powers to be formed directly.
double BinomialResidual(const IntMatrix& a, const std::vector<Complex>& b,
                        const ColMajorMatrix<Complex>& x, std::int64_t s) {
  double worst = 0.0;
  for (std::int64_t i = 0; i < a.rows(); ++i) {
    double logModulus = -std::log(std::abs(b[i])), angle = -std::arg(b[i]);
    for (std::int64_t j = 0; j < a.cols(); ++j) {
      logModulus += static_cast<double>(a(i, j)) * std::log(std::abs(x(j, s)));
      angle += static_cast<double>(a(i, j)) * std::arg(x(j, s));
    }
    angle = std::remainder(angle, 2 * kPi);
    worst = std::max(worst, std::abs(std::exp(Complex(logModulus, angle)) - 1.0));
  }
  return worst;
}

// Smallest distance between two solutions, coordinate by coordinate relative to the modulus (all
// solutions share |x_i|, which may be far from 1).
double MinPairwiseDistance(const ColMajorMatrix<Complex>& x) {
  double best = INFINITY;
  for (std::int64_t s = 0; s < x.cols(); ++s) {
    for (std::int64_t t = s + 1; t < x.cols(); ++t) {
      double d = 0.0;
      for (std::int64_t i = 0; i < x.rows(); ++i)
        d = std::max(d, std::abs(x(i, s) - x(i, t)) / std::abs(x(i, s)));
      best = std::min(best, d);
    }
  }
  return best;
}

// Random nonsingular A (entries in -bound..bound, at most maxCount solutions) and random nonzero
// b: every column solves the system and the columns are pairwise distinct.
void CheckRandomSystems(std::uint64_t seed, int trials, int maxN, std::int64_t bound,
                        std::int64_t maxCount) {
  std::mt19937_64 rng(seed);
  std::uniform_int_distribution<std::int64_t> entry(-bound, bound);
  std::uniform_real_distribution<double> logModulus(-2.0, 2.0), angle(-kPi, kPi);
  for (int trial = 0; trial < trials; ++trial) {
    const std::int64_t n = 1 + trial % maxN;
    IntMatrix a(n, n);
    std::int64_t count = 0;
    while (count == 0 || count > maxCount) {
      for (auto& v : a.storage()) v = entry(rng);
      count = AbsDeterminantByReduction(a);
    }
    std::vector<Complex> b(n);
    for (auto& v : b) v = std::polar(std::exp(logModulus(rng)), angle(rng));
    const std::vector<Complex> bIn = b;
    IntMatrix reduced = a;
    ColMajorMatrix<Complex> x;
    ASSERT_EQ(SolveBinomialSystem(reduced, b, x), count);
    ASSERT_EQ(x.rows(), n);
    ASSERT_EQ(x.cols(), count);
    for (std::int64_t s = 0; s < count; ++s) {
      ASSERT_LT(BinomialResidual(a, bIn, x, s), 1e-9) << "trial " << trial << ", solution " << s;
    }
    ASSERT_GT(MinPairwiseDistance(x), 1e-6) << "trial " << trial;
  }
}

TEST(SolveBinomialSystemTest, RandomSystemsAreSolvedByDistinctRoots) {
  CheckRandomSystems(21, 3000, 5, 3, 200);
}

TEST(SolveBinomialSystemTest, HeavyRandomSystemsWithManyRoots) {
  CheckRandomSystems(22, 40, 6, 6, 2000);
}

// One cell with more start solutions than the traditional fixed capacity of 4,000,000 columns.
TEST(SolveBinomialSystemTest, HeavyMoreSolutionsThanAnyFixedCapacity) {
  IntMatrix a(2, 2);
  a(0, 0) = 2003, a(1, 1) = 2011, a(1, 0) = 7;
  std::vector<Complex> b = {Complex(0.3, 1.1), Complex(-2.0, 0.5)};
  const std::vector<Complex> bIn = b;
  IntMatrix reduced = a;
  ColMajorMatrix<Complex> x;
  ASSERT_EQ(SolveBinomialSystem(reduced, b, x), 2003 * 2011);
  for (std::int64_t s : {std::int64_t{0}, std::int64_t{2011}, x.cols() - 1}) {
    EXPECT_LT(BinomialResidual(a, bIn, x, s), 1e-8);
  }
}

}  // namespace
}  // namespace zormix
