#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <limits>
#include <thread>

#include "tracker/path/path_state.h"
#include "tracker/tracking.h"

namespace zormix {
namespace {

// A one-variable homotopy given by its value H(y, p) and derivatives; counts evaluations.
class FakeHomotopy : public Homotopy {
 public:
  using Fn = Complex (*)(Complex, double);
  FakeHomotopy(Fn h, Fn hy, Fn hp) : h_(h), hy_(hy), hp_(hp) {}
  int n() const override { return 1; }
  void Evaluate(const Complex* y, double p, ColMajorMatrix<Complex>& J, Complex* H,
                Complex* Hp) override {
    ++evaluations;
    H[0] = h_(y[0], p);
    J(0, 0) = hy_(y[0], p);
    Hp[0] = hp_(y[0], p);
  }
  void EvaluateComplex(const Complex* y, Complex p, ColMajorMatrix<Complex>& J, Complex* H,
                       Complex* Hp) override {
    Evaluate(y, p.real(), J, H, Hp);
  }
  int evaluations = 0;

 private:
  Fn h_, hy_, hp_;
};

PathContext ContextFor(Homotopy& homotopy, const RouteConstants& route) {
  PathContext ctx;
  ctx.homotopy = &homotopy;
  ctx.route = &route;
  return ctx;
}

TEST(CorrectStartPoint, StopsWhenTheResidualStopsDecreasing) {
  // Constant residual: Newton moves y but never changes H. Must stop, back at the start point.
  FakeHomotopy constant([](Complex, double) { return Complex(1.0, 0.0); },
                        [](Complex, double) { return Complex(1.0, 0.0); },
                        [](Complex, double) { return Complex(0.0, 0.0); });
  PathState st(1);
  st.y[0] = Complex(2.0, 0.0);
  CorrectStartPoint(st, ContextFor(constant, kPolyhedralRoute));
  EXPECT_EQ(st.y[0], Complex(2.0, 0.0));
  EXPECT_LE(constant.evaluations, 3);
  // y^50: Newton converges with ratio 49/50, far too slowly; the iteration cap ends it.
  FakeHomotopy slow([](Complex y, double) { return std::pow(y, 50); },
                    [](Complex y, double) { return 50.0 * std::pow(y, 49); },
                    [](Complex, double) { return Complex(0.0, 0.0); });
  st.y[0] = Complex(1.0, 0.0);
  CorrectStartPoint(st, ContextFor(slow, kPolyhedralRoute));
  EXPECT_LE(slow.evaluations, 102);
  EXPECT_LT(std::abs(st.y[0]), 1.0);
  // A start point that already satisfies the homotopy is not touched.
  FakeHomotopy exact([](Complex y, double) { return y - 3.0; },
                     [](Complex, double) { return Complex(1.0, 0.0); },
                     [](Complex, double) { return Complex(0.0, 0.0); });
  st.y[0] = Complex(3.0, 1e-9);
  CorrectStartPoint(st, ContextFor(exact, kPolyhedralRoute));
  EXPECT_EQ(st.y[0], Complex(3.0, 1e-9));
  EXPECT_EQ(exact.evaluations, 1);
}

TEST(CorrectNewton, AcceptsAnExactPredictionUnchanged) {
  FakeHomotopy linear([](Complex y, double) { return y - 3.0; },
                      [](Complex, double) { return Complex(1.0, 0.0); },
                      [](Complex, double) { return Complex(0.0, 0.0); });
  PathState st(1);
  st.y[0] = Complex(3.0 + 1e-10, 0.0);
  st.s = -1.0;
  st.stepSize = 0.1;
  st.tolerance = 1e-7;
  linear.Evaluate(st.y.data(), st.s, st.jacobian, st.residual.data(),
                  st.parameterDerivative.data());
  std::int64_t blowUps = 0;
  CorrectNewton(st, ContextFor(linear, kPolyhedralRoute), blowUps);
  EXPECT_EQ(st.rejected, 0);
  EXPECT_EQ(st.y[0], Complex(3.0 + 1e-10, 0.0));
  EXPECT_EQ(linear.evaluations, 1);
}

// A corrector that always over-corrects (|d| ~ 1000 |yPred|) rejects; at the last halving the
// path fails, and is counted as a blow-up only far from the target.
std::int64_t BlowUpsWhenFailingAt(double s, const RouteConstants& route) {
  FakeHomotopy far([](Complex y, double) { return y - 1000.0; },
                   [](Complex, double) { return Complex(1.0, 0.0); },
                   [](Complex, double) { return Complex(0.0, 0.0); });
  PathState st(1);
  st.stepSize = 1.5e-10;
  st.s = s + st.stepSize;  // as left by the predictor
  st.y[0] = Complex(1.0, 0.0);
  st.tolerance = 1e-7;
  far.Evaluate(st.y.data(), st.s, st.jacobian, st.residual.data(), st.parameterDerivative.data());
  std::int64_t blowUps = 0;
  CorrectNewton(st, ContextFor(far, route), blowUps);
  EXPECT_EQ(st.rejected, 1);
  EXPECT_TRUE(st.failed());
  EXPECT_NEAR(st.s, s, 1e-15);
  return blowUps;
}

TEST(CorrectNewton, BlowUpCountedOnlyFarFromTheTarget) {
  EXPECT_EQ(BlowUpsWhenFailingAt(-1.0, kPolyhedralRoute), 1);
  EXPECT_EQ(BlowUpsWhenFailingAt(-0.01, kPolyhedralRoute), 0);
  EXPECT_EQ(BlowUpsWhenFailingAt(0.5, kTotalDegreeRoute), 1);
  EXPECT_EQ(BlowUpsWhenFailingAt(0.96, kTotalDegreeRoute), 0);
}

// At t = 1 a correction of 2/3 of the predicted point (root 5, prediction 3) passes only under
// the raised limit 0.8. A re-track does without the raise close to the target, so a path that
// would land on a root from afar there is rejected; far from the target tiny steps still raise.
TEST(CorrectNewton, RetrackRaisesTheLimitOnlyForTinyStepsFarFromTheTarget) {
  FakeHomotopy toFive([](Complex y, double) { return y - 5.0; },
                      [](Complex, double) { return Complex(1.0, 0.0); },
                      [](Complex, double) { return Complex(0.0, 0.0); });
  auto rejected = [&](double t, double h, const PathLimits& limits) {
    PathState st(1);
    st.y[0] = Complex(3.0, 0.0);
    st.s = t;
    st.stepSize = h;
    st.tolerance = 1e-7;
    st.correctionLimit = limits.correctionLimit;
    toFive.Evaluate(st.y.data(), st.s, st.jacobian, st.residual.data(),
                    st.parameterDerivative.data());
    PathContext ctx = ContextFor(toFive, kTotalDegreeRoute);
    ctx.limits = limits;
    std::int64_t blowUps = 0;
    CorrectNewton(st, ctx, blowUps);
    return st.rejected;
  };
  PathLimits first;
  PathLimits retrack;
  retrack.correctionLimit = 0.01;
  retrack.raiseNearTarget = false;
  EXPECT_FALSE(rejected(1.0, 1e-3, first));
  EXPECT_TRUE(rejected(1.0, 1e-3, retrack));
  EXPECT_TRUE(rejected(1.0, 5e-5, retrack));
  EXPECT_FALSE(rejected(0.5, 5e-5, retrack));
  EXPECT_TRUE(rejected(0.5, 1e-3, retrack));
}

TEST(TrackPath, NonFiniteValuesNeverGiveARecordedPoint) {
  // The homotopy breaks down (NaN) halfway along the path.
  FakeHomotopy broken(
      [](Complex y, double t) {
        return t > 0.5 ? Complex(std::numeric_limits<double>::quiet_NaN(), 0) : y - 1.0 - t;
      },
      [](Complex, double) { return Complex(1.0, 0.0); },
      [](Complex, double) { return Complex(-1.0, 0.0); });
  PathState st(1);
  PathContext ctx = ContextFor(broken, kTotalDegreeRoute);
  std::int64_t blowUps = 0;
  const Complex start(1.0, 0.0);
  EXPECT_FALSE(TrackPath(st, ctx, &start, 0.0, blowUps));
  EXPECT_LT(broken.evaluations, 100000);
  // Infinite coordinates from the start.
  FakeHomotopy infinite([](Complex, double) { return Complex(INFINITY, 0); },
                        [](Complex, double) { return Complex(1.0, 0.0); },
                        [](Complex, double) { return Complex(1.0, 0.0); });
  ctx = ContextFor(infinite, kPolyhedralRoute);
  EXPECT_FALSE(TrackPath(st, ctx, &start, -20.0, blowUps));
}

// A stop already requested (the solve's latch): the start correction of y^50, otherwise 100 slow
// Newton iterations, ends after its first evaluation and the path is abandoned before its first
// step; the acceptance on the target y^2, whose Newton steps quarter the residual down to
// the limits of double precision (70 steps from 1), ends after one step.
TEST(TrackPath, AStopEndsTheStartCorrectionAndTheAcceptance) {
  const std::function<bool()> interrupted = [] { return true; };
  StopRequest stop;
  stop.Watch(&interrupted);
  ASSERT_TRUE(stop.Ask());
  FakeHomotopy slow([](Complex y, double) { return std::pow(y, 50); },
                    [](Complex y, double) { return 50.0 * std::pow(y, 49); },
                    [](Complex, double) { return Complex(0.0, 0.0); });
  PathContext ctx = ContextFor(slow, kTotalDegreeRoute);
  ctx.stop = &stop;
  PathState st(1);
  st.y[0] = Complex(1.0, 0.0);
  CorrectStartPoint(st, ctx);
  EXPECT_EQ(slow.evaluations, 1);
  EXPECT_EQ(st.y[0], Complex(1.0, 0.0));
  std::int64_t blowUps = 0;
  const Complex start(1.0, 0.0);
  EXPECT_FALSE(TrackPath(st, ctx, &start, 0.0, blowUps));
  EXPECT_EQ(slow.evaluations, 2);

  const std::vector<std::int32_t> termCount{1};
  ColMajorMatrix<std::int32_t> exponents(1, 1);
  exponents(0, 0) = 2;
  const std::vector<Complex> coefficients{Complex(1.0, 0.0)};
  const std::vector<std::int32_t> maxDegree{2};
  ctx.target = {1, termCount, &exponents, coefficients};
  ctx.maxDegree = maxDegree;
  for (StopRequest* asked : {static_cast<StopRequest*>(nullptr), &stop}) {
    ctx.stop = asked;
    st.y[0] = Complex(1.0, 0.0);
    EvaluateSystem(ctx.target, maxDegree, st.y.data(), st.jacobian, st.acceptedResidual);
    AcceptAtTarget(st, ctx);
    if (asked == nullptr) {
      EXPECT_LT(std::abs(st.y[0]), 1e-10);
    } else {
      EXPECT_GE(std::abs(st.y[0]), 0.25);
    }
  }
}

// y = 1 + sin(40 t): a path of many steps, each evaluation taking 1 ms. The solving thread asks
// whether to stop once kStopPollInterval has passed (some 50 evaluations), and the path is
// abandoned at the step after the yes, long before its end (some 240 evaluations).
bool slowEvaluations = false;  // the test below counts the whole path at full speed first

TEST(TrackPath, AStopAbandonsThePathAtItsNextStep) {
  FakeHomotopy wavy(
      [](Complex y, double t) {
        if (slowEvaluations) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return y - 1.0 - std::sin(40.0 * t);
      },
      [](Complex, double) { return Complex(1.0, 0.0); },
      [](Complex, double t) { return Complex(-40.0 * std::cos(40.0 * t), 0.0); });
  PathContext ctx = ContextFor(wavy, kTotalDegreeRoute);
  const std::vector<std::int32_t> termCount{2};
  ColMajorMatrix<std::int32_t> exponents(1, 2);
  exponents(0, 0) = 1;
  const std::vector<Complex> coefficients{Complex(1.0, 0.0), Complex(-1.0 - std::sin(40.0), 0.0)};
  const std::vector<std::int32_t> maxDegree{1};
  ctx.target = {1, termCount, &exponents, coefficients};
  ctx.maxDegree = maxDegree;
  const Complex start(1.0, 0.0);
  PathState st(1);
  std::int64_t blowUps = 0;
  ASSERT_TRUE(TrackPath(st, ctx, &start, 0.0, blowUps));
  const int whole = wavy.evaluations;
  slowEvaluations = true;
  wavy.evaluations = 0;
  int asked = 0;
  const std::function<bool()> interrupted = [&] { return ++asked >= 1; };
  StopRequest stop;
  stop.Watch(&interrupted);
  ctx.stop = &stop;
  EXPECT_FALSE(TrackPath(st, ctx, &start, 0.0, blowUps));
  EXPECT_EQ(asked, 1);
  EXPECT_LT(wavy.evaluations, whole / 2) << "of " << whole;
}

// y^5 = a^5 + 1000 with a = 1 + 4e5 t (1 - t): the real path swings out to y = 1e5 at t = 1/2 and
// returns. There the terms are near 1e25, whose doubles lie 2e9 apart, so the residual is either
// 1000 or at least 1e9: no point meets the absolute tolerance 0.1 (nor its fallback 1000 x 0.1),
// and the step underflows. With the rounding floor the path gets through and ends at the root
// 1001^(1/5) of the target y^5 - 1001.
double Swing(double t) { return 1.0 + 4e5 * t * (1.0 - t); }

TEST(TrackPath, RoundingFloorCarriesAPathThroughLargePoints) {
  FakeHomotopy farOut(
      [](Complex y, double t) { return y * y * y * y * y - std::pow(Swing(t), 5) - 1000.0; },
      [](Complex y, double) { return 5.0 * y * y * y * y; },
      [](Complex, double t) {
        return Complex(-5.0 * std::pow(Swing(t), 4) * 4e5 * (1.0 - 2.0 * t), 0.0);
      });
  const std::vector<std::int32_t> termCount{2};
  ColMajorMatrix<std::int32_t> exponents(1, 2);
  exponents(0, 0) = 5;
  const std::vector<Complex> coefficients{Complex(1.0, 0.0), Complex(-1001.0, 0.0)};
  const std::vector<std::int32_t> maxDegree{5};
  PathContext ctx = ContextFor(farOut, kTotalDegreeRoute);
  ctx.target = {1, termCount, &exponents, coefficients};
  ctx.maxDegree = maxDegree;
  const Complex start(std::pow(1001.0, 0.2), 0.0);
  PathState st(1);
  std::int64_t blowUps = 0;
  EXPECT_FALSE(TrackPath(st, ctx, &start, 0.0, blowUps));
  EXPECT_EQ(st.failure, PathFailure::kStepUnderflow);
  EXPECT_LT(st.s, 0.6);
  ctx.limits.roundingFloor = true;
  ASSERT_TRUE(TrackPath(st, ctx, &start, 0.0, blowUps)) << "stopped at t = " << st.s;
  EXPECT_NEAR(std::abs(st.y[0] - start), 0.0, 1e-12);
}

}  // namespace
}  // namespace zormix
