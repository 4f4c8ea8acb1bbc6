#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <mutex>
#include <set>

#include "tracker/route_tracking.h"

namespace zormix {
namespace {

constexpr int kN = 2;

// Six paths: 0 recorded, 1 underflow far out (a blow-up), 2 step limit far out, 3 diverged in
// the end game, 4 refused at the target, 5 underflow close to the target.
void Fill(RouteTracking& tracking) {
  const PathStatus statuses[] = {PathStatus::kReached,         PathStatus::kStepUnderflow,
                                 PathStatus::kStepLimit,       PathStatus::kDiverged,
                                 PathStatus::kRefusedAtTarget, PathStatus::kStepUnderflow};
  for (std::int64_t u = 0; u < 6; ++u) {
    UnitOutcome& o = tracking.outcomes[u];
    o.startIndex = static_cast<std::int32_t>(u + 1);
    o.steps = 100;
    o.status = statuses[u];
  }
  tracking.outcomes[1].blowUps = 1;
  tracking.outcomes[2].blowUps = 1;  // far out: worth the last rescue (path 6 is not)
  for (int i = 0; i < kN; ++i) tracking.endPoints(i, 0) = Complex(7.0, 0.0);
}

using CallsByPurpose = std::map<RetrackPurpose, std::set<std::int32_t>>;

// Re-tracker whose end point encodes the start index; start index 6 ends at NaN although the
// tracker says accepted (in every re-track), start index 3 fails the rescue and succeeds in the
// last rescue.
RetrackFactory FakeRetrack(CallsByPurpose* called, std::mutex* m) {
  return [called, m](RetrackPurpose purpose) -> RetrackFunction {
    EXPECT_NE(purpose, RetrackPurpose::kPathJumping);
    return [called, m, purpose](const PathRecord& record, double correctionLimit) {
      EXPECT_EQ(correctionLimit, kRescueCorrectionLimit);
      {
        std::lock_guard<std::mutex> lock(*m);
        (*called)[purpose].insert(record.startIndex);
      }
      RetrackResult r;
      r.steps = 40;
      r.y.assign(kN, Complex(record.startIndex, 1.0));
      if (record.startIndex == 6) r.y[1] = Complex(std::numeric_limits<double>::quiet_NaN(), 0.0);
      r.failed = record.startIndex == 3 && purpose == RetrackPurpose::kRescue;
      return r;
    };
  };
}

TEST(Rescue, OnlyStepFailuresAreRetrackedAndOnlyFiniteAcceptedPointsRecorded) {
  for (int threads : {1, 3}) {
    RouteTracking tracking(kN, 6);
    Fill(tracking);
    CallsByPurpose called;
    std::mutex m;
    PathCounts stats;
    RescueFailedPaths(tracking, FakeRetrack(&called, &m), threads, stats);
    // Paths 2, 3 and 6 (1-based) failed by underflow or the step limit; the end game's verdict,
    // the refusal at the target and the recorded path stand. Of the two the rescue did not bring
    // home, the one lost far out gets the last rescue, which brings it home.
    EXPECT_EQ(called[RetrackPurpose::kRescue], (std::set<std::int32_t>{2, 3, 6}));
    EXPECT_EQ(called[RetrackPurpose::kLastRescue], (std::set<std::int32_t>{3}));
    EXPECT_EQ(stats.rescueAttempts, 3);
    EXPECT_EQ(stats.rescued, 2);
    EXPECT_EQ(tracking.outcomes[2].status, PathStatus::kRescued);
    EXPECT_EQ(tracking.endPoints(0, 2), Complex(3.0, 1.0));
    const UnitOutcome& rescued = tracking.outcomes[1];
    EXPECT_EQ(rescued.status, PathStatus::kRescued);
    EXPECT_EQ(rescued.steps, 140);
    EXPECT_EQ(rescued.blowUps, 0);  // a rescued path did not finally blow up
    EXPECT_EQ(tracking.endPoints(0, 1), Complex(2.0, 1.0));
    EXPECT_EQ(tracking.endPoints(0, 0), Complex(7.0, 0.0));
    for (std::int64_t u : {3, 4, 5}) {
      EXPECT_FALSE(tracking.outcomes[u].recorded()) << u;
      EXPECT_EQ(tracking.outcomes[u].steps, 100) << u;
    }
  }
}

TEST(Rescue, RescuedPathsAreCollectedInSerialOrderWithoutTheirBlowUp) {
  RouteTracking tracking(kN, 6);
  Fill(tracking);
  CallsByPurpose called;
  std::mutex m;
  PathCounts stats;
  RescueFailedPaths(tracking, FakeRetrack(&called, &m), 2, stats);
  const TrackingOutcome out = CollectOutcomes(std::move(tracking.endPoints), tracking.outcomes);
  ASSERT_EQ(out.counts.endPoints, 3);
  EXPECT_EQ(out.records[0].startIndex, 1);
  EXPECT_EQ(out.records[1].startIndex, 2);
  EXPECT_EQ(out.records[2].startIndex, 3);
  EXPECT_EQ(out.counts.blowUps, 0);
  EXPECT_EQ(out.solutions(1, 1), Complex(2.0, 1.0));
  // The paths without an end point keep their final status, in serial order.
  ASSERT_EQ(out.lostPaths.size(), 3u);
  EXPECT_EQ(out.lostPaths[0].status, PathStatus::kDiverged);
  EXPECT_EQ(out.lostPaths[1].status, PathStatus::kRefusedAtTarget);
  EXPECT_EQ(out.lostPaths[2].status, PathStatus::kStepUnderflow);
}

}  // namespace
}  // namespace zormix
