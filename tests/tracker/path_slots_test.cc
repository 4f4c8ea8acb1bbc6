#include "tracker/routes/path_slots.h"

#include <gtest/gtest.h>

#include <utility>

#include "base/parallel.h"
#include "tracker/routes/path_units.h"
#include "tracker/routes/route_tracking.h"

namespace zormix {
namespace {

// A route of 10^8 paths takes no per-path memory before its paths are tracked; a write takes
// one chunk, and the units of chunks never written read as a fresh slot.
TEST(PathSlots, AHugeRouteTakesMemoryOnlyForTheUnitsWritten) {
  constexpr std::int64_t kPaths = 100000000;
  RouteTracking tracking(2, kPaths, /*withWaypoints=*/true);
  EXPECT_EQ(tracking.endPoints.allocatedChunks(), 0);
  EXPECT_EQ(tracking.outcomes.allocatedChunks(), 0);
  EXPECT_EQ(tracking.waypoints.allocatedChunks(), 0);
  EXPECT_EQ(tracking.hasWaypoint.allocatedChunks(), 0);

  const std::int64_t last = kPaths - 1;
  tracking.endPoints(1, last) = Complex(-2.5, 1e-300);
  tracking.outcomes[last].status = PathStatus::kDiverged;
  EXPECT_EQ(tracking.endPoints.allocatedChunks(), 1);
  EXPECT_EQ(tracking.outcomes.allocatedChunks(), 1);
  const RouteTracking& view = tracking;
  EXPECT_EQ(view.endPoints(1, last), Complex(-2.5, 1e-300));
  EXPECT_EQ(view.endPoints(0, last), Complex());
  EXPECT_EQ(view.outcomes[last].status, PathStatus::kDiverged);
  // Unwritten units, in the written chunk and in one never written, read as fresh slots.
  EXPECT_EQ(view.outcomes[last - 1].status, UnitOutcome().status);
  EXPECT_EQ(view.outcomes[kPaths / 2].status, UnitOutcome().status);
  EXPECT_EQ(view.endPoints(1, kPaths / 2), Complex());
  EXPECT_EQ(tracking.endPoints.allocatedChunks(), 1);
}

// Workers on several threads fill the slots of units that straddle chunk boundaries; collecting
// them keeps serial order, frees the end points' chunks, and a copy (the double-double rescue
// works on one) does not share the original's memory.
TEST(PathSlots, SlotsFilledInParallelAreCollectedInSerialOrder) {
  constexpr int kN = 2;
  constexpr std::int64_t kPaths = 3 * kUnitsPerChunk + 17;
  PointSlots endPoints(kN, kPaths);
  PathSlots<UnitOutcome> outcomes(1, kPaths);
  auto makeWorker = [&]() -> UnitFunction {
    return [&](std::int64_t u) {
      UnitOutcome& o = outcomes[u];
      o.startIndex = static_cast<std::int32_t>(u + 1);
      o.blowUps = 1;
      o.status = u % 3 == 0 ? PathStatus::kDiverged : PathStatus::kReached;
      if (o.recorded()) {
        endPoints(0, u) = Complex(static_cast<double>(u), 0.5);
        endPoints(1, u) = Complex(-1.0, static_cast<double>(u));
      }
    };
  };
  RunUnitsInParallel(kPaths, 3, makeWorker, [] {});
  EXPECT_EQ(endPoints.allocatedChunks(), 4);

  PointSlots copy = endPoints;
  copy(0, 1) = Complex(99.0, 0.0);
  EXPECT_EQ(std::as_const(endPoints)(0, 1), Complex(1.0, 0.5));

  const TrackingOutcome out = CollectOutcomes(std::move(endPoints), outcomes);
  const std::int64_t lost = (kPaths + 2) / 3;
  ASSERT_EQ(out.counts.endPoints, kPaths - lost);
  ASSERT_EQ(out.solutions.cols(), kPaths - lost);
  ASSERT_EQ(static_cast<std::int64_t>(out.lostPaths.size()), lost);
  EXPECT_EQ(out.counts.blowUps, kPaths);
  for (std::int64_t r = 0; r < out.counts.endPoints; ++r) {
    const std::int64_t u = r + r / 2 + 1;  // units 1, 2, 4, 5, 7, ...
    ASSERT_EQ(out.records[r].startIndex, u + 1) << r;
    ASSERT_EQ(out.solutions(0, r), Complex(static_cast<double>(u), 0.5)) << r;
    ASSERT_EQ(out.solutions(1, r), Complex(-1.0, static_cast<double>(u))) << r;
  }
  EXPECT_EQ(out.lostPaths.back().startIndex, (kPaths - 1) / 3 * 3 + 1);  // in the short last chunk
  EXPECT_EQ(endPoints.allocatedChunks(), 0);
  EXPECT_EQ(copy.allocatedChunks(), 4);
}

}  // namespace
}  // namespace zormix
