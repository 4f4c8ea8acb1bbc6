#include "zormix/stages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "support/systems.h"
#include "zormix/solve.h"

namespace zormix {
namespace {

using testing::BuildSystem;
using testing::Equation;

SolveOptions Seeded(Route route, std::uint64_t seed = 3) {
  SolveOptions options;
  options.route = route;
  options.seed = seed;
  return options;
}

// x^2 + y^2 + c = 0, x - k y = 0: roots y = +-sqrt(-c / (k^2 + 1)), x = k y. One support for every
// c and k, so one start system serves them all.
PolySystem CircleAndLine(double c, double k) {
  Equation circle = {{{2, 0}, 1.0}, {{0, 2}, 1.0}, {{0, 0}, c}};
  Equation line = {{{1, 0}, 1.0}, {{0, 1}, -k}};
  return BuildSystem({circle, line}, {"x", "y"});
}

// Each expected root within a relative distance of one accepted root, and no other root.
void ExpectRoots(const SolveResult& result, const std::vector<std::vector<Complex>>& expected) {
  ASSERT_EQ(result.rootCount, static_cast<std::int64_t>(expected.size()));
  for (const std::vector<Complex>& root : expected) {
    bool found = false;
    for (std::int64_t r = 0; r < result.rootCount && !found; ++r) {
      found = std::abs(result.roots(0, r) - root[0]) <= 1e-9 * std::abs(root[0]) &&
              std::abs(result.roots(1, r) - root[1]) <= 1e-9 * std::abs(root[1]);
    }
    EXPECT_TRUE(found) << root[0] << ", " << root[1];
  }
}

std::vector<std::vector<Complex>> CircleAndLineRoots(double c, double k) {
  const Complex y = std::sqrt(Complex(-c / (k * k + 1.0), 0.0));
  return {{k * y, y}, {-k * y, -y}};
}

void ExpectSameRoots(const SolveResult& a, const SolveResult& b) {
  EXPECT_EQ(a.pathCount, b.pathCount);
  EXPECT_EQ(a.rootCount, b.rootCount);
  EXPECT_EQ(a.roots, b.roots);  // bit for bit
  EXPECT_EQ(a.residuals, b.residuals);
  EXPECT_EQ(a.conditionNumbers, b.conditionNumbers);
}

TEST(StagesTest, ComposedStagesAreTheSolveBitForBit) {
  const PolySystem cyclic = testing::Cyclic(5);
  for (Route route : {Route::kPolyhedral, Route::kTotalDegree}) {
    const SolveOptions options = Seeded(route);
    const Problem problem(cyclic);
    const StartSystem start = MakeStartSystem(problem, options);
    EXPECT_EQ(start.pathCount(), route == Route::kPolyhedral ? 70 : 120);
    const SolveResult staged = Finish(Track(start, problem, options), options);
    ExpectSameRoots(staged, SolveSystem(cyclic, options));
    EXPECT_EQ(staged.seed, 3u);
  }
}

// The start is made for one member of a family and tracked to others far from it: real roots of
// size 1e3, non-real roots, and the start's own system again.
TEST(StagesTest, HeldStartTracksTargetsWithTheSameSupports) {
  for (Route route : {Route::kPolyhedral, Route::kTotalDegree}) {
    const SolveOptions options = Seeded(route);
    const StartSystem start = MakeStartSystem(Problem(CircleAndLine(-1.0, 1.0)), options);
    for (const auto& [c, k] : {std::pair{-1e6, 0.5}, std::pair{25.0, -3.0}, std::pair{-1.0, 1.0}}) {
      const Problem target(CircleAndLine(c, k));
      const SolveResult result = Finish(Track(start, target, options), options);
      ExpectRoots(result, CircleAndLineRoots(c, k));
      // Every Track starts from the same copy of the start's generator: repeatable.
      ExpectSameRoots(result, Finish(Track(start, target, options), options));
    }
  }
}

TEST(StagesTest, TrackRefusesWhatItCannotTrack) {
  const SolveOptions options = Seeded(Route::kPolyhedral);
  const StartSystem start = MakeStartSystem(Problem(CircleAndLine(-1.0, 1.0)), options);
  Equation circle = {{{2, 0}, 1.0}, {{0, 2}, 1.0}, {{1, 1}, 1.0}, {{0, 0}, -1.0}};
  Equation line = {{{1, 0}, 1.0}, {{0, 1}, -1.0}};
  const Problem otherSupports(BuildSystem({circle, line}, {"x", "y"}));
  try {
    Track(start, otherSupports, options);
    FAIL() << "tracked to other supports";
  } catch (const Error& error) {
    EXPECT_EQ(error.code(), ErrorCode::kBadArgument);
  }
  SolveOptions countOnly = options;
  countOnly.mixedVolumeOnly = true;
  const Problem problem(CircleAndLine(-1.0, 1.0));
  const StartSystem counted = MakeStartSystem(problem, countOnly);
  EXPECT_EQ(counted.pathCount(), 2);
  EXPECT_FALSE(counted.trackable());
  EXPECT_THROW(Track(counted, problem, options), Error);
}

// A stage object moved from, or paths that Finish has taken, throw kBadArgument when used again,
// instead of reading freed memory.
TEST(StagesTest, MovedFromObjectsThrowBadArgument) {
  const SolveOptions options = Seeded(Route::kPolyhedral);
  Problem problem(CircleAndLine(-2.0, 1.0));
  const StartSystem start = MakeStartSystem(problem, options);
  TrackedPaths paths = Track(start, problem, options);
  const SolveResult result = Finish(std::move(paths), options);
  EXPECT_EQ(result.rootCount, 2);
  const auto expectBadArgument = [](auto&& use, const char* what) {
    try {
      use();
      ADD_FAILURE() << what << " was used";
    } catch (const Error& error) {
      EXPECT_EQ(error.code(), ErrorCode::kBadArgument) << what;
    }
  };
  expectBadArgument([&] { Finish(std::move(paths), options); }, "Finish twice");
  expectBadArgument([&] { return paths.pathCount(); }, "pathCount after Finish");
  TrackedPaths tracked = Track(start, problem, options);
  TrackedPaths moved = std::move(tracked);
  EXPECT_EQ(moved.pathCount(), 2);
  expectBadArgument([&] { return tracked.pathCount(); }, "pathCount after a move");
  const Problem kept = std::move(problem);
  expectBadArgument([&] { return problem.n(); }, "a moved-from problem");
  expectBadArgument([&] { return Track(start, problem, options); }, "tracking to it");
  StartSystem startCopy = start;
  const StartSystem startMoved = std::move(startCopy);
  expectBadArgument([&] { return startCopy.pathCount(); }, "a moved-from start");
  EXPECT_EQ(kept.n(), 2);
}

}  // namespace
}  // namespace zormix
