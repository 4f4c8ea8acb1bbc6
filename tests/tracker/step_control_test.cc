#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <utility>

#include "tracker/path/path_state.h"

namespace zormix {
namespace {

PathState OneVariableState(double s, double h, int successCount) {
  PathState st(1);
  st.s = s;
  st.stepSize = h;
  st.successCount = successCount;
  st.jacobian(0, 0) = Complex(1.0, 0.0);
  st.y[0] = Complex(0.5, 0.0);
  return st;
}

TEST(ControlStep, PolyhedralDistanceZones) {
  // Third consecutive success doubles: min(2, 10/3) = 2.
  PathState st = OneVariableState(-10.0, 1.0, 2);
  ControlStep(st, kPolyhedralRoute);
  EXPECT_EQ(st.stepSize, 2.0);
  EXPECT_EQ(st.lastStep, 1.0);
  EXPECT_EQ(st.successCount, 0);
  EXPECT_EQ(st.steps, 1);
  EXPECT_EQ(st.finalStep, 0);
  // Doubling that would overshoot is cut to a third of the distance.
  st = OneVariableState(-1.0, 0.3, 2);
  ControlStep(st, kPolyhedralRoute);
  EXPECT_DOUBLE_EQ(st.stepSize, 1.0 / 3.0);
  // Between 0.15 and 0.05 from the target at most 0.05.
  st = OneVariableState(-0.1, 1.0, 0);
  ControlStep(st, kPolyhedralRoute);
  EXPECT_EQ(st.stepSize, 0.05);
  EXPECT_EQ(st.finalStep, 0);
  // Within 0.05 a candidate reaching the target ends the path exactly at s = 0.
  for (double h : {0.04, 0.05, 1.0}) {
    st = OneVariableState(-0.04, h, 0);
    ControlStep(st, kPolyhedralRoute);
    EXPECT_EQ(st.stepSize, 0.04);
    EXPECT_EQ(st.finalStep, 1);
    EXPECT_EQ(st.s + st.stepSize, 0.0);
  }
  st = OneVariableState(-0.04, 0.01, 0);
  ControlStep(st, kPolyhedralRoute);
  EXPECT_EQ(st.stepSize, 0.01);
  EXPECT_EQ(st.finalStep, 0);
}

TEST(ControlStep, ToleranceClampAndHistoryShift) {
  PathState st = OneVariableState(-0.2, 0.01, 0);
  st.jacobian(0, 0) = Complex(1e20, 0.0);
  st.yCur[0] = Complex(7.0, 0.0);
  ControlStep(st, kPolyhedralRoute);
  EXPECT_EQ(st.tolerance, 0.1);
  EXPECT_EQ(st.yPrev[0], Complex(7.0, 0.0));
  EXPECT_EQ(st.yCur[0], Complex(0.5, 0.0));
  st = OneVariableState(-0.1, 0.01, 0);
  st.jacobian(0, 0) = Complex(1e20, 0.0);
  ControlStep(st, kPolyhedralRoute);
  EXPECT_EQ(st.tolerance, 1e-4);
  // Small Jacobian and point: the unclamped 1e-7.
  st = OneVariableState(-5.0, 0.01, 0);
  ControlStep(st, kPolyhedralRoute);
  EXPECT_DOUBLE_EQ(st.tolerance, 1e-7);
  // Total-degree route: the clamp switches at t = 0.9.
  st = OneVariableState(0.89, 0.01, 0);
  st.jacobian(0, 0) = Complex(1e20, 0.0);
  ControlStep(st, kTotalDegreeRoute);
  EXPECT_EQ(st.tolerance, 0.1);
  st = OneVariableState(0.9, 0.01, 0);
  st.jacobian(0, 0) = Complex(1e20, 0.0);
  ControlStep(st, kTotalDegreeRoute);
  EXPECT_EQ(st.tolerance, 1e-4);
}

TEST(ControlStep, TotalDegreeHasNoZonesAndEndsAtOne) {
  PathState st = OneVariableState(0.5, 0.1, 2);
  ControlStep(st, kTotalDegreeRoute);
  EXPECT_EQ(st.stepSize, 0.2);  // far beyond what a distance zone would allow
  EXPECT_EQ(st.finalStep, 0);
  st = OneVariableState(0.95, 0.1, 1);
  ControlStep(st, kTotalDegreeRoute);
  EXPECT_EQ(st.finalStep, 1);
  EXPECT_EQ(st.successCount, 0);
  EXPECT_EQ(st.stepSize, 1.0 - 0.95);
  EXPECT_EQ(st.s + st.stepSize, 1.0);
}

// Walks a synthetic path |y(d)| towards the target with halving distances, calling CheckEndGame
// after each step as the path loop does; returns the distance at which the path failed (0: never).
double FailureDistance(const RouteConstants& route, const std::function<Complex(double)>& y,
                       PathState* out = nullptr) {
  PathState st(1);
  double dPrev = 4e-5, dCur = 2e-5;
  st.yPrev[0] = y(dPrev);
  st.yCur[0] = y(dCur);
  for (double d = 1e-5; d > 1e-13; d /= 2) {
    st.s = route.target - d;
    st.stepSize = dCur - d;
    st.lastStep = dPrev - dCur;
    st.y[0] = y(d);
    CheckEndGame(st, route);
    if (st.failed) return d;
    st.yPrev = st.yCur;
    st.yCur = st.y;
    dPrev = dCur;
    dCur = d;
  }
  if (out != nullptr) *out = st;
  return 0.0;
}

// On the total-degree route the verdict "tends to infinity" waits for a point beyond the
// divergence bound (1e4 n) in every tracking: a re-track, which defers nothing, goes on below it,
// where a large root reached late looks like a pole. Other verdicts and the polyhedral route do
// not wait; a first tracking defers instead.
TEST(DivergenceVerdict, TotalDegreeWaitsForThePointBeyondTheBound) {
  auto verdict = [](const RouteConstants& route, double norm, PathFailure cause, bool defer) {
    PathState st(1);
    st.y[0] = Complex(0.0, norm);
    st.deferDivergence = defer;
    DivergenceVerdict(st, route, cause);
    return std::pair{st.failed ? st.failure : PathFailure::kNone, st.divergenceDeferred};
  };
  using V = std::pair<PathFailure, bool>;
  const PathFailure diverged = PathFailure::kDiverged, singular = PathFailure::kSingularEnd;
  EXPECT_EQ(verdict(kTotalDegreeRoute, 9e3, diverged, false), V(PathFailure::kNone, false));
  EXPECT_EQ(verdict(kTotalDegreeRoute, 1.1e4, diverged, false), V(diverged, false));
  EXPECT_EQ(verdict(kTotalDegreeRoute, 9e3, singular, false), V(singular, false));
  EXPECT_EQ(verdict(kTotalDegreeRoute, 9e3, diverged, true), V(PathFailure::kNone, true));
  EXPECT_EQ(verdict(kPolyhedralRoute, 9e3, diverged, false), V(diverged, false));
}

TEST(CheckEndGame, SyntheticEndBehaviourOnBothRoutes) {
  for (const RouteConstants* route : {&kPolyhedralRoute, &kTotalDegreeRoute}) {
    // K/d with K small enough that the whole-point divergence test stays quiet: the exponent
    // test catches it on its first call below 1e-8.
    const double atInfinity =
        FailureDistance(*route, [](double d) { return Complex(1e-4 / d, 0); });
    EXPECT_LT(atInfinity, 1e-8);
    EXPECT_GT(atInfinity, 0.5e-8);
    // A fractional power: a singular end.
    const double singular = FailureDistance(*route, [](double d) { return Complex(std::sqrt(d)); });
    EXPECT_LT(singular, 1e-8);
    EXPECT_GT(singular, 0.0);
    // A nonzero limit only loses its watch flag; a simple zero (p = 1) is left alone.
    PathState st(1);
    EXPECT_EQ(FailureDistance(
                  *route, [](double d) { return Complex(2.0 + d, -1.0); }, &st),
              0.0);
    EXPECT_EQ(st.watched[0], 0);
    EXPECT_EQ(FailureDistance(
                  *route, [](double d) { return Complex(3.0 * d, 0.0); }, &st),
              0.0);
    EXPECT_EQ(st.watched[0], 1);
  }
}

// The verdict of CheckEndGame for a path of two coordinates y(d), walked as in FailureDistance:
// the cause it failed with, or kNone.
PathFailure VerdictOfTwo(const RouteConstants& route,
                         const std::function<std::array<Complex, 2>(double)>& y,
                         bool estimatesBelowZero = false) {
  PathState st(2);
  // A run of the end game's valuation estimates below -tracker.diverging_valuation under way.
  if (estimatesBelowZero) st.valuations.runStart = {1e-2, -0.12, 1.0};
  auto set = [&y](std::vector<Complex>& point, double d) {
    const std::array<Complex, 2> value = y(d);
    point.assign(value.begin(), value.end());
  };
  double dPrev = 4e-5, dCur = 2e-5;
  set(st.yPrev, dPrev);
  set(st.yCur, dCur);
  for (double d = 1e-5; d > 1e-13; d /= 2) {
    st.s = route.target - d;
    st.stepSize = dCur - d;
    st.lastStep = dPrev - dCur;
    set(st.y, d);
    CheckEndGame(st, route);
    if (st.failed) return st.failure;
    st.yPrev = st.yCur;
    st.yCur = st.y;
    dPrev = dCur;
    dCur = d;
  }
  return PathFailure::kNone;
}

// A path whose one coordinate shrinks with a fractional power while another grows heads to
// infinity, not to a singular end, in whichever order the coordinates come (cyclic-8's paths to
// infinity by total degree were handed over as end points near the target and refused). Growth
// too slow for the verdict at infinity (d^-0.12) rules out the singular end when the end game's
// estimates say so; a coordinate still converging with a high winding number, which grows
// slightly for a while, does not.
TEST(CheckEndGame, GrowingCoordinateRulesOutASingularEnd) {
  const PathFailure singular = PathFailure::kSingularEnd, diverged = PathFailure::kDiverged;
  auto shrinking = [](double d) { return Complex(std::sqrt(d), 0.0); };
  auto fast = [](double d) { return Complex(3e-3 * std::pow(d, -0.4), 0.0); };
  EXPECT_EQ(VerdictOfTwo(kPolyhedralRoute,
                         [&](double d) {
                           return std::array{shrinking(d), fast(d)};
                         }),
            diverged);
  EXPECT_EQ(VerdictOfTwo(kPolyhedralRoute,
                         [&](double d) {
                           return std::array{fast(d), shrinking(d)};
                         }),
            diverged);
  auto slow = [](double d) { return Complex(3.0 * std::pow(d, -0.12), 0.0); };
  EXPECT_EQ(VerdictOfTwo(
                kPolyhedralRoute,
                [&](double d) {
                  return std::array{shrinking(d), slow(d)};
                },
                true),
            PathFailure::kNone);
  // Converging: 0.1 - 0.3 d^(1/6) grows in modulus by about d^-0.02 near d = 1e-8.
  auto converging = [](double d) { return Complex(0.1 - 0.3 * std::pow(d, 1.0 / 6.0), 0.0); };
  for (const bool estimatesBelowZero : {false, true}) {
    const PathFailure expected = estimatesBelowZero ? PathFailure::kNone : singular;
    EXPECT_EQ(VerdictOfTwo(
                  kPolyhedralRoute,
                  [&](double d) {
                    return std::array{shrinking(d), converging(d)};
                  },
                  estimatesBelowZero),
              expected)
        << estimatesBelowZero;
  }
}

// A first tracking defers its verdicts below the divergence bound; a divergence noted after a
// singular end outranks it, and not the other way round.
TEST(DivergenceVerdict, DeferredDivergenceOutranksASingularEnd) {
  for (const bool divergenceFirst : {false, true}) {
    PathState st(1);
    st.y[0] = Complex(10.0, 0.0);
    st.deferDivergence = true;
    const PathFailure first = divergenceFirst ? PathFailure::kDiverged : PathFailure::kSingularEnd;
    const PathFailure second = divergenceFirst ? PathFailure::kSingularEnd : PathFailure::kDiverged;
    DivergenceVerdict(st, kTotalDegreeRoute, first);
    DivergenceVerdict(st, kTotalDegreeRoute, second);
    EXPECT_FALSE(st.failed);
    EXPECT_TRUE(st.divergenceDeferred);
    EXPECT_EQ(st.deferredVerdict, PathFailure::kDiverged) << divergenceFirst;
  }
}

TEST(CheckEndGame, WholePointDivergence) {
  // A point growing beyond 50000 n (polyhedral) fails long before the exponent test starts,
  const double polyhedral =
      FailureDistance(kPolyhedralRoute, [](double d) { return Complex(1.0 / d, 0); });
  EXPECT_GT(polyhedral, 1e-6);
  EXPECT_LT(polyhedral, 1.0 / 50000.0);
  // and beyond 10000 n on the total-degree route.
  const double linear =
      FailureDistance(kTotalDegreeRoute, [](double d) { return Complex(0.3 / d, 0); });
  EXPECT_GT(linear, 1e-6);
  EXPECT_LT(linear, 0.3 / 10000.0);
}

}  // namespace
}  // namespace zormix
