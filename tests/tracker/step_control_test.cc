#include <gtest/gtest.h>

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
