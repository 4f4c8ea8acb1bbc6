// The divergence verdict of the end game on paths with known Puiseux exponents.
#include "tracker/end_game.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/systems.h"

namespace zormix {
namespace {

// y^k d - 1 = 0 with d = -s the distance to the target s = 0: the path y = d^{-1/k} goes to
// infinity with valuation -1/k.
class PoleHomotopy : public Homotopy {
 public:
  explicit PoleHomotopy(int k) : k_(k) {}
  int n() const override { return 1; }
  void Evaluate(const Complex* y, double s, ColMajorMatrix<Complex>& J, Complex* H,
                Complex* Hs) override {
    EvaluateComplex(y, Complex(s, 0.0), J, H, Hs);
  }
  void EvaluateComplex(const Complex* y, Complex s, ColMajorMatrix<Complex>& J, Complex* H,
                       Complex* Hs) override {
    const Complex power = std::pow(y[0], k_ - 1);
    H[0] = power * y[0] * -s - 1.0;
    J(0, 0) = static_cast<double>(k_) * power * -s;
    Hs[0] = -power * y[0];
  }

 private:
  int k_;
};

// The same path on the total-degree route, whose parameter is t = 1 - d.
class TotalDegreePoleHomotopy : public PoleHomotopy {
 public:
  using PoleHomotopy::PoleHomotopy;
  void EvaluateComplex(const Complex* y, Complex t, ColMajorMatrix<Complex>& J, Complex* H,
                       Complex* Ht) override {
    PoleHomotopy::EvaluateComplex(y, t - 1.0, J, H, Ht);
  }
};

// Tracks y = d^{-1/k} from d = 1 and returns the state it stopped in.
PathState TrackPole(int k, const RouteConstants& route = kPolyhedralRoute) {
  PoleHomotopy polyhedral(k);
  TotalDegreePoleHomotopy totalDegree(k);
  // The target 0 y^k - 1 = 0 has no root: a path stopped close to it polishes in vain.
  const PolySystem target = testing::BuildSystem({{{{k}, Complex(0.0)}, {{0}, Complex(-1.0)}}});
  const std::vector<std::int32_t> maxDegree = MaxDegrees(target.exponents);
  PathContext ctx;
  ctx.target = {target.n, target.termCount, &target.exponents, target.coefficients};
  ctx.maxDegree = maxDegree;
  ctx.homotopy = &route == &kPolyhedralRoute ? static_cast<Homotopy*>(&polyhedral) : &totalDegree;
  ctx.route = &route;
  ctx.limits = FirstTrackingLimits();
  PathState st(1);
  const Complex start(1.0, 0.0);
  std::int64_t blowUps = 0;
  EXPECT_FALSE(TrackPath(st, ctx, &start, route.target - 1.0, blowUps));
  return st;
}

// A pole (|y| = 1/d passes 1e4 at d = 1e-4) and a slow divergence that stays below 1e4 until
// d = 1e-20 are both given up as diverging, with the valuation that proved it and long before
// the step size could underflow.
TEST(EndGameValuation, PolesAndSlowDivergencesAreRecognisedWithTheirValuation) {
  for (int k : {1, 5}) {
    const PathState st = TrackPole(k);
    EXPECT_EQ(st.failure, PathFailure::kDiverged) << "k = " << k;
    EXPECT_NEAR(st.valuation, -1.0 / k, 0.01) << "k = " << k;
    EXPECT_GT(-st.s, 1e-9) << "k = " << k;
    EXPECT_EQ(StatusOfUnrecorded(st.failure), PathStatus::kDiverged);
  }
}

// On the total-degree route a pole is given up once beyond the route's divergence bound, long
// before the step could underflow; a slow divergence, which stays below the bound, keeps the
// verdict its valuations proved (it is tracked on, in case it turns to a root near the target).
TEST(EndGameValuation, TotalDegreePathsToInfinityEndWithTheirValuation) {
  for (int k : {1, 5}) {
    const PathState st = TrackPole(k, kTotalDegreeRoute);
    EXPECT_EQ(StatusOfUnrecorded(st.failure), PathStatus::kDiverged) << "k = " << k;
    EXPECT_NEAR(st.valuation, -1.0 / k, 0.02) << "k = " << k;
    if (k == 1) {
      EXPECT_GT(1.0 - st.s, 1e-6);
    } else {
      EXPECT_TRUE(st.divergenceDeferred);  // |y| = d^{-1/5} stays below the bound 1e4
    }
  }
}

// A path whose step underflowed is diverging when its estimates agree to 2 % over a factor 2 in
// the distance and max |y| grew like d^v in between (v = -1/4 here, so the growth test is
// relative).
TEST(EndGameValuation, UnderflowIsDivergenceOnlyWhenEstimatesAndSizesAgree) {
  auto verdict = [](ValuationSample runStart, ValuationSample latest,
                    ValuationSample reference = {}) {
    PathState st(1);
    st.valuationRunStart = runStart;
    st.latestValuation = latest;
    st.valuationReference = reference;
    return ValuationsProveDivergence(st);
  };
  const double v = -0.25;
  const ValuationSample start{1e-2, v, 10.0};
  auto at = [v](double d, double exponent, double value) {
    return ValuationSample{d, value, 10.0 * std::pow(d / 1e-2, exponent)};
  };
  EXPECT_TRUE(verdict(start, at(1e-3, v, v)));
  EXPECT_FALSE(verdict(start, at(1e-3, -0.3, v)));      // sizes grow 20 % faster than d^v
  EXPECT_FALSE(verdict(start, at(1e-3, v, 1.05 * v)));  // estimates 5 % apart
  EXPECT_FALSE(verdict(start, at(0.7e-2, v, v)));       // too close to the first estimate
  EXPECT_FALSE(verdict({}, at(1e-3, v, v)));            // no run of negative estimates
  // The last span's estimate, converged further than the run's first one, is compared with.
  const ValuationSample early{1e-2, -0.3, 10.0};
  EXPECT_TRUE(verdict(early, at(1e-3, v, v), at(4e-3, v, v)));
  EXPECT_FALSE(verdict(early, at(1e-3, v, v), at(1.5e-3, v, v)));
}

// The singularity test scales with the system (coefficients near 1), not with the Jacobian alone.
TEST(EndGameValuation, PivotTestSeesSmallAndUnbalancedJacobians) {
  ColMajorMatrix<Complex> J(2, 2), work(2, 2);
  J(0, 0) = 1e-9;
  J(1, 1) = 2e-9;  // (x-1)^5 and (y-2)^3 near their root: all derivatives tiny
  EXPECT_TRUE(LooksSingular(J, work));
  J(0, 0) = 1e4;
  J(1, 1) = 1e-5;  // cond 1e9
  EXPECT_TRUE(LooksSingular(J, work));
  J(1, 1) = 1e-3;  // cond 1e7
  EXPECT_FALSE(LooksSingular(J, work));
  J(0, 0) = 0.5;
  J(1, 1) = 3e-8;  // cond 1.7e7
  EXPECT_FALSE(LooksSingular(J, work));
}

}  // namespace
}  // namespace zormix
