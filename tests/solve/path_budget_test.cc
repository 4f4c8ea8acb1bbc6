// The memory a route's paths need, weighed before tracking.
#include "solve/path_budget.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "support/systems.h"
#include "zormix/solve.h"

namespace zormix {
namespace {

using ::testing::HasSubstr;

// A budget of `paths` paths of 3 variables, with an estimated time.
PathBudget ThreeVariables(std::int64_t paths) { return PathBudget{paths, 3, 7200.0}; }

TEST(PathBudgetTest, RefusesWhatDoesNotFitWithTheFiguresAndTheWayOut) {
  const std::int64_t perPath = BytesPerPath(3);
  EXPECT_GE(perPath, 5 * 3 * 16);
  // Exactly as many paths as fit in three quarters of the memory, then one more.
  EXPECT_EQ(PathBudgetRefusal(ThreeVariables(1000), std::nullopt, 4000 * perPath / 3 + 1), "");
  const std::string refusal =
      PathBudgetRefusal(ThreeVariables(1001), std::nullopt, 4000 * perPath / 3 + 1);
  EXPECT_THAT(refusal, HasSubstr("1001 paths of about " + std::to_string(perPath) + " bytes"));
  EXPECT_THAT(refusal, HasSubstr("an estimated 2.0 h of tracking"));
  EXPECT_THAT(refusal, HasSubstr("room for 1000 paths"));
  EXPECT_THAT(refusal, HasSubstr("--max-paths"));
  EXPECT_THAT(refusal, HasSubstr("'maxPaths'"));
  // A limit given replaces the memory estimate; an unknown amount of memory sets none.
  EXPECT_EQ(PathBudgetRefusal(ThreeVariables(1001), 1001, 0), "");
  const std::string beyondLimit = PathBudgetRefusal(ThreeVariables(1002), 1001, std::nullopt);
  EXPECT_THAT(beyondLimit, HasSubstr("1002 paths of about"));
  EXPECT_THAT(beyondLimit, HasSubstr("MB) and an estimated 2.0 h of tracking, more than the 1001"));
  EXPECT_EQ(PathBudgetRefusal(ThreeVariables(std::int64_t{1} << 62), std::nullopt, std::nullopt),
            "");
  // Products beyond 64 bits are refused, not wrapped.
  EXPECT_NE(PathBudgetRefusal(PathBudget{std::int64_t{1} << 62, 1000, 1.0}, std::nullopt, 1 << 30),
            "");
}

PolySystem PowerMinusOne(std::int32_t degree) {
  PolySystem system;
  system.n = 1;
  system.termCount = {2};
  system.exponents.Assign(1, 2);
  system.exponents(0, 0) = degree;
  system.coefficients = {Complex(1.0, 0.0), Complex(-1.0, 0.0)};
  system.variableNames = {"x"};
  return system;
}

// The estimate follows the work: paths, the cost of an evaluation (the power table up to its
// limit, repeated squaring beyond), and the threads sharing the paths. Measured: x^1000 - 1 takes
// 1.6 ms a path, x^4000 - 1 (no table) less.
TEST(PathBudgetTest, TheTimeEstimateScalesWithPathsDegreeAndThreads) {
  const PolySystem low = PowerMinusOne(1000), high = PowerMinusOne(4000);
  const double lowPath = BudgetOf(low, 1, 1).trackingSeconds;
  EXPECT_GT(lowPath, 1e-4);
  EXPECT_LT(lowPath, 1e-2);
  EXPECT_NEAR(BudgetOf(low, 2000, 1).trackingSeconds, 2 * BudgetOf(low, 1000, 1).trackingSeconds,
              1e-9);
  EXPECT_NEAR(BudgetOf(low, 1000, 2).trackingSeconds, BudgetOf(low, 1000, 1).trackingSeconds / 2,
              1e-9);
  const double ratio = BudgetOf(high, 1, 1).trackingSeconds / lowPath;
  EXPECT_GT(ratio, 0.5);
  EXPECT_LT(ratio, 1.0);
  EXPECT_EQ(RoughDuration(42), "42 s");
  EXPECT_EQ(RoughDuration(150), "2.5 min");
  EXPECT_EQ(RoughDuration(3 * 86400), "3.0 days");
  EXPECT_EQ(RoughDuration(1e10), "317 years");
}

// x^1000000000 - 1 on the total-degree route: 10^9 paths are refused before any is allocated.
TEST(PathBudgetTest, AHugeRouteIsRefusedAtOnce) {
  PolySystem system = PowerMinusOne(1000000000);
  SolveOptions options;
  options.route = Route::kTotalDegree;
  options.seed = 1;
  options.reportPath.clear();
  const auto start = std::chrono::steady_clock::now();
  try {
    SolveSystem(system, options);
    FAIL() << "10^9 paths were tracked";
  } catch (const Error& e) {
    EXPECT_EQ(e.id(), kOutOfMemoryId);
    EXPECT_THAT(e.what(), HasSubstr("1000000000 paths"));
    EXPECT_THAT(e.what(), HasSubstr("days of tracking"));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  // With a limit the user sets, a small route goes ahead and a larger one is refused.
  system.exponents(0, 0) = 20;
  options.maxPaths = 19;
  EXPECT_THROW(SolveSystem(system, options), Error);
  options.maxPaths = 20;
  EXPECT_EQ(SolveSystem(system, options).rootCount, 20);
}

}  // namespace
}  // namespace zormix
