// Roots whose conditioning double precision cannot resolve: found by tracking and Newton's method
// in double-double.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "zormix/io.h"
#include "zormix/solve.h"

namespace zormix {
namespace {

// Wilkinson's polynomial prod_{k=1..d} (x - k), expanded, as polynomial text.
std::string WilkinsonText(int d) {
  std::vector<long double> c{1.0L};  // ascending powers; exact in 64 bits up to d = 20
  for (int k = 1; k <= d; ++k) {
    std::vector<long double> next(c.size() + 1, 0.0L);
    for (std::size_t i = 0; i < c.size(); ++i) {
      next[i + 1] += c[i];
      next[i] -= k * c[i];
    }
    c = next;
  }
  std::string text;
  for (std::size_t e = 0; e < c.size(); ++e) {
    const long long a = static_cast<long long>(c[e]);
    text += (a < 0 ? "-" : "+") + std::to_string(a < 0 ? -a : a) + "*x^" + std::to_string(e);
  }
  return text + ";";
}

SolveOptions Seeded(std::uint64_t seed) {
  SolveOptions options;
  options.seed = seed;
  options.reportPath = "";
  return options;
}

TEST(HighPrecisionSolve, EveryRootOfWilkinsonsPolynomialOfDegreeSixteenIsRegular) {
  // The roots 10..13 have condition numbers near 5e10: double tracking loses or merges them.
  const int d = 16;
  const PolySystem system = ParsePolynomialText(WilkinsonText(d), "wilkinson16");
  for (std::uint64_t seed : {1u, 2u, 3u}) {
    const SolveResult result = SolveSystem(system, Seeded(seed));
    ASSERT_EQ(result.rootCount, d) << seed;
    EXPECT_EQ(result.classes.regular, d) << seed;
    EXPECT_EQ(result.classes.failed, 0) << seed;
    std::vector<int> hits(d + 1, 0);
    for (std::int64_t r = 0; r < result.rootCount; ++r) {
      const Complex x = result.roots(0, r);
      const double k = std::round(x.real());
      // The coefficients are exact in double, so the roots are the integers to double's accuracy.
      EXPECT_LT(std::abs(x - k), 1e-12) << seed << " " << x;
      if (k >= 1 && k <= d) ++hits[static_cast<int>(k)];
    }
    for (int k = 1; k <= d; ++k) EXPECT_EQ(hits[k], 1) << seed << " root " << k;
  }
}

TEST(HighPrecisionSolve, RootsOfConditionNearOneInTenTrillionAreRegularAndExact) {
  // x^2 + y - 2 = 0, x^2 + (1 + e) y - (2 + e) = 0, e = 2^-46: roots (+-1, 1) with a Jacobian of
  // determinant 2 x e. Double leaves its end points anywhere near the curve x^2 + y = 2, and they
  // were taken for points of a curve.
  const PolySystem system = ParsePolynomialText(
      "x^2 + y - 2; x^2 + 1.0000000000000142*y - 2.000000000000014;", "nearly dependent");
  for (std::uint64_t seed : {1u, 2u, 3u}) {
    const SolveResult result = SolveSystem(system, Seeded(seed));
    ASSERT_EQ(result.rootCount, 2) << seed;
    EXPECT_EQ(result.classes.regular, 2) << seed;
    EXPECT_GT(result.scaledConditionNumbers[0], 1e13);
    double sum = 0.0;
    for (std::int64_t r = 0; r < 2; ++r) {
      EXPECT_LT(std::abs(std::abs(result.roots(0, r)) - 1.0), 1e-15) << seed;
      EXPECT_LT(std::abs(result.roots(1, r) - Complex(1.0, 0.0)), 1e-15) << seed;
      sum += result.roots(0, r).real();
    }
    EXPECT_LT(std::abs(sum), 1e-15) << seed;  // one root at each of -1 and 1
  }
}

}  // namespace
}  // namespace zormix
