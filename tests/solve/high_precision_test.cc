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
    // Appended piece by piece: GCC 12 warns (-Wrestrict) on "literal" + std::string&&.
    text += a < 0 ? '-' : '+';
    text += std::to_string(a < 0 ? -a : a);
    text += "*x^";
    text += std::to_string(e);
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
      // Double's refinement leaves the roots 1e-6 or so off the integers.
      EXPECT_LT(std::abs(x - k), 1e-4) << seed << " " << x;
      if (k >= 1 && k <= d) ++hits[static_cast<int>(k)];
    }
    for (int k = 1; k <= d; ++k) EXPECT_EQ(hits[k], 1) << seed << " root " << k;
  }
}

}  // namespace
}  // namespace zormix
