// Every verdict "at infinity" of a solve is one the system allows.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/wilkinson.h"
#include "zormix/io.h"
#include "zormix/solve.h"

namespace zormix {
namespace {

SolveOptions Seeded(std::uint64_t seed, Route route) {
  SolveOptions options;
  options.seed = seed;
  options.route = route;
  options.reportPath = "";
  return options;
}

// Its roots have conditions up to 1e12: on seeds 2 and 3 a path near them grew like a pole's and
// was called at infinity, which one unknown with a nonzero leading coefficient never allows;
// re-tracked, it reaches its root. On seed 1 double leaves a root off the real axis that
// double-double puts on it: every root counts real.
TEST(AtInfinityVerdict, HeavyNoPathOfOneUnknownAtInfinity) {
  const std::string text = testing::WilkinsonText(18);
  const PolySystem system = ParsePolynomialText(text, "wilkinson18");
  for (std::uint64_t seed : {1, 2, 3}) {
    const SolveResult result = SolveSystem(system, Seeded(seed, Route::kPolyhedral));
    EXPECT_EQ(result.classes.atInfinity, 0) << seed;
    EXPECT_EQ(result.classes.regular, 18) << seed;
    EXPECT_EQ(result.classes.realRegular, 18) << seed;
  }
}

// x - y + 1 = 0, x^2 - y^2 - 3 = 0: (x - y)(x + y) = 3 leaves one root, (-2, -1); the total-degree
// route's second path goes to infinity along x ~ y and must keep that verdict.
TEST(AtInfinityVerdict, GenuineDivergenceKeepsItsVerdict) {
  const PolySystem system = ParsePolynomialText("x - y + 1; x^2 - y^2 - 3;", "lines");
  for (std::uint64_t seed : {1, 2}) {
    const SolveResult result = SolveSystem(system, Seeded(seed, Route::kTotalDegree));
    EXPECT_EQ(result.classes.regular, 1) << seed;
    EXPECT_EQ(result.classes.atInfinity, 1) << seed;
    EXPECT_EQ(result.classes.failed, 0) << seed;
  }
}

}  // namespace
}  // namespace zormix
