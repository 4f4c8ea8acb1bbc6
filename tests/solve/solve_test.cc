#include "zormix/solve.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <time.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <optional>
#include <vector>

#include "frontend/front_end.h"
#include "support/systems.h"
#include "zormix/io.h"

namespace zormix {
namespace {

using testing::BuildSystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

SolveOptions Options(Route route, std::uint64_t seed = 7) {
  SolveOptions options;
  options.route = route;
  options.seed = seed;
  options.reportPath = "";
  return options;
}

// Every expected root appears among the accepted ones, and nothing else does.
void ExpectRoots(const SolveResult& result, const std::vector<std::vector<Complex>>& expected,
                 double tolerance = 1e-8) {
  ASSERT_EQ(result.rootCount, static_cast<std::int64_t>(expected.size()));
  ASSERT_EQ(result.roots.cols(), result.rootCount);
  for (const std::vector<Complex>& root : expected) {
    bool found = false;
    for (std::int64_t r = 0; r < result.rootCount && !found; ++r) {
      double distance = 0.0;
      for (int k = 0; k < result.n; ++k) {
        distance = std::max(distance, std::abs(result.roots(k, r) - root[k]));
      }
      found = distance < tolerance;
    }
    EXPECT_TRUE(found) << "missing root (" << root[0] << ", ...)";
  }
}

class BothRoutes : public ::testing::TestWithParam<Route> {};

TEST_P(BothRoutes, CircleAndLine) {
  const SolveResult result = SolveSystem(testing::CircleAndLine(), Options(GetParam()));
  EXPECT_EQ(result.pathCount, 2);
  const double h = 1.0 / std::sqrt(2.0);
  ExpectRoots(result, {{h, h}, {-h, -h}});
  EXPECT_EQ(result.realCount, 2);
  EXPECT_EQ(result.residuals.size(), 2u);
  EXPECT_THAT(result.variableNames, ElementsAre("x", "y"));
}

// Scaled to y - 1 = 0; undoing x = e^{-ln 1000} y must bring back 0.001.
TEST_P(BothRoutes, ScaledRootIsMappedBack) {
  const SolveResult result =
      SolveSystem(BuildSystem({{{{1}, 1000.0}, {{0}, -1.0}}}), Options(GetParam()));
  EXPECT_EQ(result.pathCount, 1);
  ExpectRoots(result, {{0.001}}, 1e-12);
}

// x^2 - x = 0, y^2 - y = 0: four roots, one at the origin.
TEST_P(BothRoutes, RootsOnTheCoordinateAxesAndAtTheOrigin) {
  const SolveResult result =
      SolveSystem(BuildSystem({{{{2, 0}, 1.0}, {{1, 0}, -1.0}}, {{{0, 2}, 1.0}, {{0, 1}, -1.0}}}),
                  Options(GetParam()));
  EXPECT_EQ(result.pathCount, 4);
  ExpectRoots(result, {{0.0, 0.0}, {0.0, 1.0}, {1.0, 0.0}, {1.0, 1.0}});
}

// 1000 x = 0 has a single term: no scaling; y - 2x - 5 = 0 then gives (0, 5).
TEST_P(BothRoutes, SingleTermEquationIsSolvedUnscaled) {
  const SolveResult result = SolveSystem(
      BuildSystem({{{{1, 0}, 1000.0}}, {{{0, 1}, 1.0}, {{1, 0}, -2.0}, {{0, 0}, -5.0}}}),
      Options(GetParam()));
  EXPECT_EQ(result.pathCount, 1);
  ExpectRoots(result, {{0.0, 5.0}});
}

INSTANTIATE_TEST_SUITE_P(SolveTest, BothRoutes,
                         ::testing::Values(Route::kPolyhedral, Route::kTotalDegree));

TEST(SolveTest, SameSeedGivesIdenticalRootsWhateverTheThreadCount) {
  const PolySystem system = testing::Cyclic(5);
  SolveOptions options = Options(Route::kPolyhedral, 12345);
  const SolveResult first = SolveSystem(system, options);
  const SolveResult again = SolveSystem(system, options);
  options.threads = 2;
  const SolveResult threaded = SolveSystem(system, options);
  EXPECT_EQ(first.pathCount, 70);
  EXPECT_EQ(first.rootCount, 70);
  EXPECT_EQ(first.seed, 12345u);
  for (const SolveResult* other : {&again, &threaded}) {
    EXPECT_EQ(first.roots, other->roots);  // bit for bit, same order
    EXPECT_EQ(first.residuals, other->residuals);
  }
}

TEST(SolveTest, MixedVolumeOnlyCountsPathsWithoutTracking) {
  SolveOptions options = Options(Route::kPolyhedral);
  options.mixedVolumeOnly = true;
  const SolveResult cyclic = SolveSystem(testing::Cyclic(6), options);
  EXPECT_EQ(cyclic.pathCount, 156);
  EXPECT_GT(cyclic.cellCount, 0);
  EXPECT_EQ(cyclic.rootCount, 0);
  EXPECT_EQ(cyclic.roots.cols(), 0);
  EXPECT_EQ(SolveSystem(testing::Noon(4), options).pathCount, 73);
}

TEST(SolveTest, ProgressReportsTheStagesInOrder) {
  std::vector<Stage> starts;
  SolveOptions options = Options(Route::kPolyhedral);
  options.progress = [&](const Progress& p) {
    if (starts.empty() || starts.back() != p.stage) starts.push_back(p.stage);
  };
  SolveSystem(testing::CircleAndLine(), options);
  EXPECT_THAT(starts,
              ElementsAre(Stage::kReading, Stage::kMixedCells, Stage::kTracking, Stage::kReport));
}

TEST(SolveTest, InvalidSystemsAndOversizedRoutesThrow) {
  PolySystem bad = testing::CircleAndLine();
  bad.termCount = {3, 3};
  EXPECT_THROW(SolveSystem(bad, Options(Route::kPolyhedral)), Error);
  bad = testing::CircleAndLine();
  bad.exponents(0, 0) = -2;
  EXPECT_THROW(SolveSystem(bad, Options(Route::kTotalDegree)), Error);
  bad = testing::CircleAndLine();
  bad.coefficients[1] = std::numeric_limits<double>::quiet_NaN();
  EXPECT_THROW(SolveSystem(bad, Options(Route::kPolyhedral)), Error);
  // x^65536 - 1, y^32768 - 1: 2^31 paths, one more than the path records can count.
  const PolySystem huge =
      BuildSystem({{{{65536, 0}, 1.0}, {{0, 0}, -1.0}}, {{{0, 32768}, 1.0}, {{0, 0}, -1.0}}});
  try {
    SolveSystem(huge, Options(Route::kTotalDegree));
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_THAT(e.what(), HasSubstr("exceeds the 2147483647 paths"));
  }
}

TEST(SolveTest, RouteFromModeTruncatesTowardZero) {
  EXPECT_EQ(RouteFromMode(2.0), Route::kTotalDegree);
  EXPECT_EQ(RouteFromMode(2.7), Route::kTotalDegree);
  for (double mode : {1.99, -2.0, -2.9, 0.0, 1.0, 3.0, std::numeric_limits<double>::quiet_NaN(),
                      std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(RouteFromMode(mode), Route::kPolyhedral) << mode;
  }
}

// x^2 + y - 1, x^2 + 2y - 3 has the roots (+-i, 2); on the total-degree route two of its four paths
// go to infinity. Every path is accounted for exactly once, with the status it ended in.
TEST(PathAccountingTest, EveryPathEndsInOneStatus) {
  const PolySystem s = BuildSystem({{{{2, 0}, 1.0}, {{0, 1}, 1.0}, {{0, 0}, -1.0}},
                                    {{{2, 0}, 1.0}, {{0, 1}, 2.0}, {{0, 0}, -3.0}}});
  for (int threads : {1, 3}) {
    SolveOptions options = Options(Route::kTotalDegree);
    options.threads = threads;
    const SolveResult result = SolveSystem(s, options);
    ASSERT_EQ(result.pathCount, 4);
    EXPECT_EQ(result.rootCount, 2);
    ASSERT_EQ(result.lostPaths.size(), 2u);
    for (const PathRecord& path : result.lostPaths) {
      EXPECT_FALSE(IsSuccess(path.status));
      EXPECT_EQ(path.status, PathStatus::kDiverged) << PathStatusName(path.status);
    }
    std::int64_t total = 0;
    for (std::int64_t count : result.counts.byStatus) total += count;
    EXPECT_EQ(total, result.pathCount);
    EXPECT_EQ(result.counts.of(PathStatus::kDiverged), 2);
    EXPECT_EQ(result.counts.of(PathStatus::kReached), 2);
  }
}

TEST(PathAccountingTest, InterruptStopsTheSolveWithItsIdentifier) {
  SolveOptions options = Options(Route::kPolyhedral);
  options.interrupted = [] { return true; };
  try {
    SolveSystem(testing::Cyclic(5), options);
    FAIL() << "the solve was not interrupted";
  } catch (const Error& e) {
    EXPECT_EQ(e.id(), kInterruptedId);
  }
}

// A stop asked once the tracking is done is heard by the finishing stage: the solve ends with the
// interrupted error and writes no report.
TEST(PathAccountingTest, InterruptInTheFinishWritesNoReport) {
  SolveOptions options = Options(Route::kPolyhedral);
  const std::filesystem::path report =
      std::filesystem::temp_directory_path() / "zormix_finish_interrupt.roots";
  std::filesystem::remove(report);
  options.reportPath = report.string();
  bool finishing = false;
  options.progress = [&](const Progress& p) { finishing = finishing || p.stage == Stage::kReport; };
  options.interrupted = [&] { return finishing; };
  try {
    SolveSystem(testing::Cyclic(5), options);
    FAIL() << "the solve was not interrupted";
  } catch (const Error& e) {
    EXPECT_EQ(e.id(), kInterruptedId);
  }
  EXPECT_TRUE(finishing);
  EXPECT_FALSE(std::filesystem::exists(report));
}

std::ptrdiff_t ThreadsOfThisProcess() {
  const std::filesystem::directory_iterator tasks("/proc/self/task");
  return std::distance(begin(tasks), end(tasks));
}

// CPU seconds of this process: unlike the time of the clock, hardly longer on a busy machine.
double ProcessSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// x^4000000 - 1 on the total-degree route: four million paths on two threads. A stop asked 0.3 CPU
// seconds into the tracking ends the solve within a second with the interrupted error, and no
// thread of it is left running (a stop in the middle of a path: TrackPath's tests).
TEST(PathAccountingTest, InterruptAbandonsThePathsBeingTracked) {
  SolveOptions options = Options(Route::kTotalDegree);
  options.threads = 2;
  options.maxPaths = 10000000;
  std::optional<double> stopFrom;
  options.progress = [&](const Progress& progress) {
    if (progress.stage == Stage::kTracking && !stopFrom) stopFrom = ProcessSeconds() + 0.3;
  };
  options.interrupted = [&] { return stopFrom && ProcessSeconds() >= *stopFrom; };
  const std::ptrdiff_t threadsBefore = ThreadsOfThisProcess();
  try {
    SolveSystem(ParsePolynomialText("x^4000000 - 1", "power"), options);
    FAIL() << "the solve was not interrupted";
  } catch (const Error& e) {
    EXPECT_EQ(e.id(), kInterruptedId);
  }
  ASSERT_TRUE(stopFrom.has_value());
  EXPECT_LT(ProcessSeconds() - *stopFrom, 1.0);
  EXPECT_EQ(ThreadsOfThisProcess(), threadsBefore);
}

// A 40-byte text expands to 20306 terms: the scaling's pairwise fit and the mixed-cell tables
// would take gigabytes, so the solve refuses it at once with the figure instead.
TEST(SizeLimitTest, HugeSupportsAreRefusedBeforeTheirTablesAreBuilt) {
  const PolySystem bomb = ParsePolynomialText("(x+y+z)^200 - 1; x - y; y - z;", "bomb");
  try {
    SolveSystem(bomb, Options(Route::kPolyhedral));
    FAIL() << "accepted";
  } catch (const Error& e) {
    EXPECT_THAT(e.what(), HasSubstr("least-squares rows"));
  }
}

}  // namespace
}  // namespace zormix
