// The re-tracks of a finish. Forced: tracked end points are changed before the finish so that one
// path ends at another path's root (a jump), and the finish must find the path that jumped, track
// it again and count every root. Chosen: which paths a finish's result sends to be re-tracked.
#include "solve/finish_retracks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "finish/parameters.h"
#include "solve/stage_data.h"
#include "zormix/io.h"
#include "zormix/stages.h"

namespace zormix {
namespace {

SolveOptions Seeded(Route route, std::uint64_t seed, int threads = 1) {
  SolveOptions options;
  options.route = route;
  options.seed = seed;
  options.threads = threads;
  options.reportPath = "";
  return options;
}

// The solve of `text` whose tracked end point `to` is replaced by end point `from` before the
// finish: path `to` seems to have jumped onto the root of path `from`.
SolveResult FinishWithJump(const std::string& text, const SolveOptions& options, std::int64_t from,
                           std::int64_t to) {
  const Problem problem(ParsePolynomialText(text, "test"));
  TrackedPaths paths = Track(MakeStartSystem(problem, options), problem, options);
  TrackingOutcome& tracking = paths.data().tracking;
  EXPECT_EQ(tracking.counts.endPoints, paths.pathCount());
  const int n = problem.n();
  std::copy(tracking.solutions.col(from), tracking.solutions.col(from) + n,
            tracking.solutions.col(to));
  return Finish(std::move(paths), options);
}

std::int64_t Jumped(const SolveResult& r) {
  return std::count_if(r.records.begin(), r.records.end(),
                       [](const PathRecord& p) { return p.status == PathStatus::kJumped; });
}

// Two simple roots 2e3 apart. Whichever of the two paths at the one root the finish keeps, the
// other root is found again: when the kept one is the copy (the earlier column), the re-track of
// the given-up path lands on the same root, and its partner is the path that jumped.
TEST(FinishRetracksTest, PathAtASimpleRootReachedTwiceIsFoundWhicheverTheFinishKeeps) {
  const std::string system = "x^2 + y^2 - 1e6; x - 3*y";
  for (Route route : {Route::kTotalDegree, Route::kPolyhedral}) {
    for (const auto& [from, to] : {std::pair{0, 1}, std::pair{1, 0}}) {
      SCOPED_TRACE(::testing::Message()
                   << "route " << static_cast<int>(route) << " copy " << from << " to " << to);
      const SolveResult r = FinishWithJump(system, Seeded(route, 5), from, to);
      EXPECT_EQ(r.classes.regular, 2);
      EXPECT_EQ(r.classes.failed, 0);
      EXPECT_EQ(Jumped(r), 1);
      ASSERT_EQ(r.rootCount, 2);
      EXPECT_NEAR(std::abs(r.roots(0, 0) + r.roots(0, 1)), 0.0, 1e-9);  // +-(948.7, 316.2)
      EXPECT_NEAR(std::abs(r.roots(0, 0)), 948.683298, 1e-5);
      // The same finish on two threads: bit for bit.
      const SolveResult two = FinishWithJump(system, Seeded(route, 5, 2), from, to);
      EXPECT_EQ(two.roots, r.roots);
      EXPECT_EQ(two.counts.retracked, r.counts.retracked);
    }
  }
}

// Two double roots, (0, 1) and (0, -1): a path of one copied onto the other leaves three end
// points at one (its dual space says 2) and one at the other. The surplus path, or its partner
// when the surplus path lands on the same root again, goes back to the root it left.
TEST(FinishRetracksTest, SurplusPathAtADoubleRootGoesBackToTheRootItLeft) {
  const std::string system = "x^2; y^2 + x - 1";
  for (Route route : {Route::kTotalDegree, Route::kPolyhedral}) {
    for (const auto& [from, to] : {std::pair{1, 0}, std::pair{0, 1}}) {
      SCOPED_TRACE(::testing::Message()
                   << "route " << static_cast<int>(route) << " copy " << from << " to " << to);
      const SolveResult r = FinishWithJump(system, Seeded(route, 5), from, to);
      EXPECT_EQ(r.classes.singular, 2);
      EXPECT_EQ(r.classes.singularEndPoints, 4);
      EXPECT_EQ(r.classes.failed, 0);
      EXPECT_EQ(Jumped(r), 1);
      for (std::int64_t k = 0; k < r.rootCount; ++k) EXPECT_EQ(r.multiplicity[k], 2);
      EXPECT_TRUE(r.warnings.empty()) << (r.warnings.empty() ? "" : r.warnings.front());
    }
  }
}

// A finish's result over four tracked paths in one unknown pair: columns 0 and 1 kept at the
// simple root (1, 1) (one group), column 2 given up there, column 3 refused at (5, 5).
struct ChoiceCase {
  NormalForm system;
  SolveResult result;
  TrackingOutcome tracking;

  ChoiceCase() {
    system.scaled.n = 2;
    system.scaleExponents.assign(4, 0.0);
    const std::vector<std::vector<Complex>> points = {
        {1.0, 1.0}, {1.0, 1.0}, {1.0, 1.0 + 1e-9}, {5.0, 5.0}};
    tracking.solutions.Assign(2, 4);
    for (std::int32_t k = 0; k < 4; ++k) {
      tracking.records.push_back({.startIndex = k + 1});
      std::copy(points[k].begin(), points[k].end(), tracking.solutions.col(k));
    }
    result.records = {tracking.records[0], tracking.records[1]};
    result.rootStatus = {RootStatus::kSingular, RootStatus::kSingular};
    result.groupLeader = {0, 0};
    result.rootCount = 2;
    result.lostPaths = {tracking.records[2], tracking.records[3]};
    result.lostPaths[0].status = PathStatus::kSurplusAtRoot;
    result.lostPaths[1].status = PathStatus::kRefusedAtTarget;
  }

  std::vector<std::int64_t> Chosen(const std::vector<std::uint8_t>& retracked,
                                   const std::vector<RootShortOfPaths>& shortOfPaths = {}) {
    return ColumnsToRetrack(system, result, shortOfPaths, tracking, retracked);
  }
};

TEST(FinishRetracksTest, GivenUpPathFirstThenItsPartnersEachOnce) {
  ChoiceCase c;
  using Columns = std::vector<std::int64_t>;
  // The given-up path, not the refused one (no root misses a path).
  EXPECT_EQ(c.Chosen({0, 0, 0, 0}), Columns{2});
  // Once it is re-tracked and still given up there: the paths kept at its root.
  EXPECT_EQ(c.Chosen({0, 0, 1, 0}), (Columns{0, 1}));
  EXPECT_EQ(c.Chosen({1, 0, 1, 0}), Columns{1});
  EXPECT_EQ(c.Chosen({1, 1, 1, 0}), Columns{});
  // Given up far from every kept root (it moved since): no partner is near it.
  c.tracking.solutions(0, 2) = 2.0;
  EXPECT_EQ(c.Chosen({0, 0, 1, 0}), Columns{});
}

// A root short of paths takes the refused end points near it (within
// finish.max_singular_coincidence, relative to the scaled point, from either side) and no other.
TEST(FinishRetracksTest, RootShortOfPathsTakesTheRefusedEndPointsNearIt) {
  using Columns = std::vector<std::int64_t>;
  for (const double scale : {1.0, 1e4}) {
    ChoiceCase c;
    // Variables scaled by e^s: the root is given in the result's variables, e^s times the scaled.
    const double s = std::log(scale);
    c.system.scaleExponents = {s, s, 0.0, 0.0};
    const std::vector<std::uint8_t> done = {1, 1, 1, 0};
    const Complex near = 5.0 * (1.0 + 0.8 * finish::kMaxSingularCoincidence);
    const Complex far = 5.0 * (1.0 + 1.5 * finish::kMaxSingularCoincidence);
    EXPECT_EQ(c.Chosen(done, {{0, {scale * near, scale * 5.0}, 1}}), Columns{3});
    EXPECT_EQ(c.Chosen(done, {{0, {scale * far, scale * 5.0}, 1}}), Columns{});
    // Once re-tracked, never again.
    EXPECT_EQ(c.Chosen({1, 1, 1, 1}, {{0, {scale * near, scale * 5.0}, 1}}), Columns{});
  }
}

}  // namespace
}  // namespace zormix
