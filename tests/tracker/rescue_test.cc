#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <mutex>
#include <numbers>
#include <set>

#include "support/one_unknown_homotopy.h"
#include "support/systems.h"
#include "tracker/homotopy/homotopy.h"
#include "tracker/routes/route_tracking.h"

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
      EXPECT_EQ(correctionLimit, tracker::kRescueCorrectionLimit.value());
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

// A path that blew up on the way but was recorded in the end (the end game found its end point)
// carries no blow-up: only paths given up count one, and a checkpoint refuses any other record.
TEST(Rescue, ARecordedPathCarriesNoBlowUp) {
  RouteTracking tracking(kN, 2);
  PathState state(kN);
  state.y.assign(kN, Complex(1.0));
  for (std::int64_t unit : {0, 1}) {
    tracking.outcomes[static_cast<std::size_t>(unit)].blowUps = 1;
    state.failure = unit == 0 ? PathFailure::kNone : PathFailure::kStepUnderflow;
    tracking.Record(unit, unit == 0, state);
  }
  EXPECT_EQ(tracking.outcomes[0].blowUps, 0);
  EXPECT_EQ(tracking.outcomes[1].blowUps, 1);
  EXPECT_EQ(tracking.outcomes[1].status, PathStatus::kStepUnderflow);
}

// A re-track the end game proves diverging gives the lost path that verdict, with its valuation,
// and the last rescue leaves it alone; a re-track that fails otherwise leaves the path lost.
TEST(Rescue, ARetrackProvedDivergingGivesThePathItsVerdict) {
  RouteTracking tracking(kN, 6);
  Fill(tracking);
  std::set<std::int32_t> lastRescued;
  std::mutex m;
  RetrackFactory factory = [&](RetrackPurpose purpose) -> RetrackFunction {
    return [&, purpose](const PathRecord& record, double) {
      if (purpose == RetrackPurpose::kLastRescue) {
        std::lock_guard<std::mutex> lock(m);
        lastRescued.insert(record.startIndex);
      }
      RetrackResult r;
      r.steps = 40;
      r.y.assign(kN, Complex(1e5, 0.0));
      r.failed = true;
      r.diverged = record.startIndex == 2 || record.startIndex == 6;
      r.valuation = r.diverged ? -0.5 : 0.0;
      return r;
    };
  };
  PathCounts stats;
  RescueFailedPaths(tracking, factory, 2, stats);
  for (std::int64_t u : {1, 5}) {
    EXPECT_EQ(tracking.outcomes[u].status, PathStatus::kDiverged) << u;
    EXPECT_EQ(tracking.outcomes[u].valuation, -0.5) << u;
    EXPECT_EQ(tracking.outcomes[u].steps, 140) << u;
  }
  EXPECT_EQ(lastRescued, (std::set<std::int32_t>{3}));
  EXPECT_EQ(tracking.outcomes[2].status, PathStatus::kStepLimit);
  EXPECT_EQ(stats.rescued, 0);
}

// The re-track's outcome carries the divergence verdict only for a path that failed for it.
TEST(Rescue, RetrackOutcomeCarriesOnlyADivergenceVerdict) {
  PathState st(kN);
  st.valuation = -0.5;
  st.failure = PathFailure::kDiverged;
  RetrackResult r = RetrackOutcome(st, false);
  EXPECT_TRUE(r.failed);
  EXPECT_TRUE(r.diverged);
  EXPECT_EQ(r.valuation, -0.5);
  for (PathFailure other : {PathFailure::kStepUnderflow, PathFailure::kSingularEnd}) {
    st.failure = other;
    r = RetrackOutcome(st, false);
    EXPECT_FALSE(r.diverged);
    EXPECT_EQ(r.valuation, 0.0);
  }
  st.failure = PathFailure::kDiverged;  // accepted after all: a root, not a divergence
  EXPECT_FALSE(RetrackOutcome(st, true).diverged);
}

// 1e-4 (x^2 + y^2 - 4) = 0, 1e-4 (x y - 1) = 0 (four regular roots) on the total-degree route:
// a target whose terms are far smaller than the start system's.
struct CircleAndHyperbola {
  std::vector<std::int32_t> termCount{3, 2};
  ColMajorMatrix<std::int32_t> E{2, 5};
  std::vector<std::int32_t> maxDegree{2, 2};
  std::vector<Complex> P{1e-4, 1e-4, -4e-4, 1e-4, -1e-4};
  std::vector<std::int32_t> degree{2, 2};
  std::vector<Complex> q{{0.6, 0.8}, {-0.28, 0.96}, {-0.8, 0.6}, {0.96, 0.28}};
  MonomialLayout layout;

  CircleAndHyperbola() {
    const int exps[5][2] = {{2, 0}, {0, 2}, {0, 0}, {1, 1}, {0, 0}};
    for (int j = 0; j < 5; ++j)
      for (int k = 0; k < 2; ++k) E(k, j) = exps[j][k];
    layout = {2, termCount, &E, maxDegree};
  }
  // The start point (-b_i / a_i)^(1/2), with the sign of each square root chosen by `signs`.
  std::vector<Complex> Start(int signs) const {
    std::vector<Complex> y(2);
    for (int i = 0; i < 2; ++i)
      y[i] = ((signs >> i) & 1 ? -1.0 : 1.0) * std::sqrt(-q[2 * i + 1] / q[2 * i]);
    return y;
  }
};

// Every purpose of a rescue re-track starts a total-degree path at t = 0 with the first step
// 0.001, as the route's re-tracker does, and brings it to a root at t = 1. The last rescue
// corrects down to the rounding level of the long-double residual: a level measured on the
// target's terms alone (t P near t = 0) lies a thousand times below what the start system's terms
// round to, and every one of its paths underflowed right after the first step.
TEST(Rescue, TotalDegreeRetracksOfEveryPurposeReachTheTarget) {
  const CircleAndHyperbola s;
  TotalDegreeHomotopy homotopy(s.layout, s.P, s.q, s.degree);
  for (RetrackPurpose purpose : {RetrackPurpose::kRescue, RetrackPurpose::kLastRescue}) {
    PathContext ctx;
    ctx.homotopy = &homotopy;
    ctx.route = &kTotalDegreeRoute;
    ctx.limits = RetrackLimits(purpose);
    ctx.limits.initialStep = 0.001;
    ctx.limits.correctionLimit = tracker::kRescueCorrectionLimit;
    ctx.target = {2, s.termCount, &s.E, s.P};
    ctx.maxDegree = s.maxDegree;
    for (int signs = 0; signs < 4; ++signs) {
      PathState st(2);
      std::int64_t blowUps = 0;
      const std::vector<Complex> start = s.Start(signs);
      ASSERT_TRUE(TrackPath(st, ctx, start.data(), 0.0, blowUps))
          << static_cast<int>(purpose) << " " << signs << " stopped at t = " << st.s;
      EXPECT_EQ(st.s, 1.0);
      EXPECT_NEAR(std::abs(st.y[0] * st.y[1] - 1.0), 0.0, 1e-12);
      EXPECT_NEAR(std::abs(st.y[0] * st.y[0] + st.y[1] * st.y[1] - 4.0), 0.0, 1e-12);
    }
  }
}

// One variable on the total-degree route: H(y, t) = y^k - target(t)^k.
using OnePathHomotopy = testing::OneUnknownHomotopy;

// Tracks the path from `start` at t = 0 as the rescue re-tracks a lost path: the rescue's limits,
// its first step 0.001 and its correction limit. The target is sum_k c_k y^k.
bool RetrackAsRescue(Homotopy& homotopy, const std::vector<Complex>& target, Complex start,
                     PathState& st) {
  testing::Equation equation;
  for (std::size_t k = 0; k < target.size(); ++k)
    testing::AddTerm(equation, {static_cast<std::int32_t>(k)}, target[k]);
  const PolySystem system = testing::BuildSystem({equation});
  const std::vector<std::int32_t> maxDegree = MaxDegrees(system.exponents);
  PathContext ctx;
  ctx.homotopy = &homotopy;
  ctx.route = &kTotalDegreeRoute;
  ctx.limits = RetrackLimits(RetrackPurpose::kRescue);
  ctx.limits.initialStep = 0.001;
  ctx.limits.correctionLimit = tracker::kRescueCorrectionLimit;
  ctx.target = {system.n, system.termCount, &system.exponents, system.coefficients};
  ctx.maxDegree = maxDegree;
  std::int64_t blowUps = 0;
  return TrackPath(st, ctx, &start, 0.0, blowUps);
}

// y^5 = Y(t)^5 with Y = 1 + 1e4 i sin(pi t^m): the path y = Y swings out to |y| = 1e4 and comes
// back to 1. The two sides are evaluated differently (y^5 by products, Y^5 as exp(5 log Y)), as
// the terms of a real system round apart: no point brings the residual below the rounding of
// terms of 1e20, about 1e4, far above the tracker's tolerance of at most 0.1. The first tracking
// underflows there (t = 0.76 for m = 8); the rescue, whose tolerance is floored at the rounding
// level of the residual, brings the path home.
class FarOutHomotopy : public OnePathHomotopy {
 public:
  explicit FarOutHomotopy(double m) : m_(m) {}
  void EvaluateComplex(const Complex* y, Complex t, ColMajorMatrix<Complex>& J, Complex* H,
                       Complex* Ht) override {
    constexpr double kPi = std::numbers::pi;
    const Complex tm = std::pow(t, m_), i(0.0, 1.0);
    const Complex Y = 1.0 + 1e4 * i * std::sin(kPi * tm);
    const Complex dY = 1e4 * i * kPi * std::cos(kPi * tm) * m_ * std::pow(t, m_ - 1.0);
    const Complex y4 = y[0] * y[0] * y[0] * y[0];
    H[0] = y4 * y[0] - std::exp(5.0 * std::log(Y));
    J(0, 0) = 5.0 * y4;
    Ht[0] = -5.0 * std::pow(Y, 4) * dY;
  }

 private:
  double m_;
};

TEST(Rescue, RetrackCorrectsToTheRoundingLevelFarOut) {
  for (const double m : {8.0, 30.0}) {
    SCOPED_TRACE(m);
    FarOutHomotopy homotopy(m);
    PathState st(1);
    ASSERT_TRUE(RetrackAsRescue(homotopy, {-1.0, 0.0, 0.0, 0.0, 0.0, 1.0}, 1.0, st))
        << "stopped at t = " << st.s;
    EXPECT_EQ(st.s, 1.0);
    EXPECT_NEAR(std::abs(st.y[0] - 1.0), 0.0, 1e-9);
  }
}

// (y - a(t)) (y - b(t)) with a = 1 + w tanh(K (t - 1/2)) + i g and b = 2 - a: the two paths swap
// sides within dt ~ 1/K of t = 1/2, passing 2g apart. The path from a(0) must end at a(1). A
// first correction of up to 0.1 |y| lets the corrector land on b there (K = 100: g = 0.003 and
// 0.01); the rescue's stricter limit keeps the path its own.
class SwappingPathsHomotopy : public OnePathHomotopy {
 public:
  SwappingPathsHomotopy(double K, double g) : K_(K), g_(g) {}
  Complex A(Complex t) const { return 1.0 + 0.5 * std::tanh(K_ * (t - 0.5)) + Complex(0.0, g_); }
  void EvaluateComplex(const Complex* y, Complex t, ColMajorMatrix<Complex>& J, Complex* H,
                       Complex* Ht) override {
    const Complex a = A(t), b = 2.0 - a, c = std::cosh(K_ * (t - 0.5));
    const Complex da = 0.5 * K_ / (c * c);
    H[0] = (y[0] - a) * (y[0] - b);
    J(0, 0) = 2.0 * y[0] - a - b;
    Ht[0] = da * (b - a);  // d/dt of y^2 - 2y + a b, with b' = -a'
  }

 private:
  double K_, g_;
};

TEST(Rescue, RetrackKeepsToItsPathWhereTwoPathsPassClose) {
  for (const double K : {100.0, 300.0}) {
    for (const double g : {0.003, 0.01}) {
      SCOPED_TRACE(::testing::Message() << "K " << K << " g " << g);
      SwappingPathsHomotopy homotopy(K, g);
      const Complex a = homotopy.A(1.0), b = 2.0 - a;
      PathState st(1);
      ASSERT_TRUE(RetrackAsRescue(homotopy, {a * b, -2.0, 1.0}, homotopy.A(0.0), st));
      EXPECT_LT(std::abs(st.y[0] - a), 1e-8) << "ended at " << st.y[0];
    }
  }
}

}  // namespace
}  // namespace zormix
