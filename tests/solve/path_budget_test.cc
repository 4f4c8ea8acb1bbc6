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

TEST(PathBudgetTest, RefusesWhatDoesNotFitWithTheFiguresAndTheWayOut) {
  const std::int64_t perPath = BytesPerPath(3);
  EXPECT_GE(perPath, 5 * 3 * 16);
  // Exactly as many paths as fit in three quarters of the memory, then one more.
  EXPECT_EQ(PathBudgetRefusal(1000, 3, std::nullopt, 4000 * perPath / 3 + 1), "");
  const std::string refusal = PathBudgetRefusal(1001, 3, std::nullopt, 4000 * perPath / 3 + 1);
  EXPECT_THAT(refusal, HasSubstr("1001 paths of about " + std::to_string(perPath) + " bytes"));
  EXPECT_THAT(refusal, HasSubstr("room for 1000 paths"));
  EXPECT_THAT(refusal, HasSubstr("--max-paths"));
  EXPECT_THAT(refusal, HasSubstr("'maxPaths'"));
  // A limit given replaces the memory estimate; an unknown amount of memory sets none.
  EXPECT_EQ(PathBudgetRefusal(1001, 3, 1001, 0), "");
  EXPECT_THAT(PathBudgetRefusal(1002, 3, 1001, std::nullopt),
              HasSubstr("1002 paths, more than the 1001 allowed"));
  EXPECT_EQ(PathBudgetRefusal(std::int64_t{1} << 62, 3, std::nullopt, std::nullopt), "");
  // Products beyond 64 bits are refused, not wrapped.
  EXPECT_NE(PathBudgetRefusal(std::int64_t{1} << 62, 1000, std::nullopt, 1 << 30), "");
}

// x^1000000000 - 1 on the total-degree route: 10^9 paths are refused before any is allocated.
TEST(PathBudgetTest, AHugeRouteIsRefusedAtOnce) {
  PolySystem system;
  system.n = 1;
  system.termCount = {2};
  system.exponents.Assign(1, 2);
  system.exponents(0, 0) = 1000000000;
  system.coefficients = {Complex(1.0, 0.0), Complex(-1.0, 0.0)};
  system.variableNames = {"x"};
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
