#include "tracker/endgame/valuation_history.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>

namespace zormix {
namespace {

// Feeds ObserveValuation the samples of a path whose estimate at distance d is v(d) and whose size
// is |y|(d), a span (4) apart from 1e-2 on, while the estimate stays below -0.05 as the end game
// does; returns the first proof and the distance at which it came.
struct Observed {
  std::optional<DivergenceProof> proof;
  double distance = 0.0;
};
Observed Observe(const std::function<double(double)>& v, const std::function<double(double)>& size,
                 bool polyhedral) {
  ValuationHistory history;
  for (double d = 1e-2; d > 1e-16; d /= 4.0) {
    if (!(v(d) < -0.05)) break;
    const std::optional<DivergenceProof> proof =
        ObserveValuation(history, {d, v(d), size(d)}, polyhedral);
    if (proof) return {proof, d};
  }
  return {};
}

// A slow divergence, v = -1/3 approached like d^(1/3) (reimer5's and stewgou40's paths): its
// estimates drift by several percent a span, their extrapolated limit stays put and proves it with
// that limit as the exponent, long before the sizes grow large.
TEST(ValuationHistory, SlowDivergenceIsProvedByItsExtrapolatedLimit) {
  auto v = [](double d) { return -1.0 / 3.0 + 0.5 * std::cbrt(d); };
  auto size = [](double d) { return 10.0 * std::pow(d / 1e-2, -1.0 / 3.0); };
  for (const bool polyhedral : {true, false}) {
    const Observed observed = Observe(v, size, polyhedral);
    ASSERT_TRUE(observed.proof) << polyhedral;
    EXPECT_EQ(observed.proof->rule, DivergenceRule::kSlowDivergence);
    EXPECT_NEAR(observed.proof->exponent, -1.0 / 3.0, 1e-3);
    EXPECT_GT(observed.distance, 1e-7);
  }
}

// Estimates that decay towards 0 (a path converging to a point, whose estimates are -c d^(1/m))
// prove nothing, however steadily they decay; nor, on the total-degree route, stable estimates
// whose sizes do not grow with them (a path turning towards a large root).
TEST(ValuationHistory, ConvergingEstimatesAndSizesThatDoNotFollowProveNothing) {
  auto decaying = [](double d) { return -0.3 * std::sqrt(d / 1e-2); };
  auto size = [](double d) { return 10.0 * std::pow(d / 1e-2, -0.2); };
  EXPECT_FALSE(Observe(decaying, size, true).proof);
  auto stable = [](double) { return -0.2; };
  auto constant = [](double) { return 40.0; };
  EXPECT_FALSE(Observe(stable, constant, false).proof);
  const Observed following = Observe(stable, size, false);
  ASSERT_TRUE(following.proof);
  EXPECT_NEAR(following.proof->exponent, -0.2, 1e-9);
}

// Beyond the size no root has, two estimates a span apart that agree prove the divergence with the
// latest estimate.
TEST(ValuationHistory, AgreeingEstimatesBeyondAnyRootProveTheDivergence) {
  auto v = [](double d) { return -1.0 + 0.02 * std::sqrt(d); };
  auto size = [](double d) { return 1e3 / d; };
  const Observed observed = Observe(v, size, true);
  ASSERT_TRUE(observed.proof);
  EXPECT_EQ(observed.proof->rule, DivergenceRule::kEstimatesAgree);
  EXPECT_EQ(observed.proof->exponent, v(1e-2 / 4.0));  // the latest estimate
  EXPECT_EQ(observed.distance, 1e-2 / 4.0);
  // The same estimates at sizes below 1e4 must keep agreeing over several spans.
  auto small = [](double d) { return 1e-4 / std::sqrt(d); };
  const Observed slow = Observe(v, small, true);
  ASSERT_TRUE(slow.proof);
  EXPECT_EQ(slow.proof->rule, DivergenceRule::kSlowDivergence);
  EXPECT_LT(slow.distance, observed.distance / 16.0);
}

// The history of a path given in closed form y(d), sampled as tracking does: a span apart from
// 1e-1 (outside tracker.valuation_zone) to 1e-15 through ObserveEstimate, with the estimate
// v(d) = d y'(d) / y(d) (y real and positive here) and the size y(d). Returns the first proof.
Observed ObserveClosedForm(const std::function<double(double)>& y,
                           const std::function<double(double)>& dy, bool polyhedral) {
  ValuationHistory history;
  for (double d = 1e-1; d > 1e-15; d /= 4.0) {
    const std::optional<DivergenceProof> proof =
        ObserveEstimate(history, {d, d * dy(d) / y(d), y(d)}, polyhedral);
    if (proof) return {proof, d};
  }
  return {};
}

// y = c d^v: below -tracker.diverging_valuation (v = -0.5, and -0.06 close to it) the divergence
// is proved on both routes with v itself, at sizes far from where it starts; above it (v = -0.03,
// a path still growing at d = 1e-15 but slower than any pole the rule accepts) never.
TEST(ValuationHistory, APowerOfTheDistanceIsProvedExactlyBelowTheDivergingValuation) {
  for (const bool polyhedral : {true, false}) {
    for (const double v : {-0.5, -0.06, -0.03}) {
      for (const double c : {1e-3, 1e3}) {
        auto y = [c, v](double d) { return c * std::pow(d, v); };
        auto dy = [c, v](double d) { return c * v * std::pow(d, v - 1.0); };
        const Observed observed = ObserveClosedForm(y, dy, polyhedral);
        if (v > -0.05) {
          EXPECT_FALSE(observed.proof) << v << " " << c << " " << polyhedral;
          continue;
        }
        ASSERT_TRUE(observed.proof) << v << " " << c << " " << polyhedral;
        EXPECT_NEAR(observed.proof->exponent, v, 1e-9 * std::abs(v));
        EXPECT_LT(observed.distance, 1e-2);
      }
    }
  }
}

// A pole just beyond the target, y = 1 + 1 / (d + e): while d >> e it grows like d^-1 and no
// rule of estimates and sizes can tell it from a divergence (the tropical check of the target,
// divergence_check.h, is what refutes it); with e = 1e-9 it is proved at -1 before d comes near e.
// With e = 1e-3 the estimates -d / ((d + e)^2 y) fall towards 0 from the first span in the zone
// on, and nothing is proved.
TEST(ValuationHistory, APoleBeyondTheTargetIsProvedOnlyWhileItLooksLikeOne) {
  for (const bool polyhedral : {true, false}) {
    for (const double e : {1e-9, 1e-3}) {
      auto y = [e](double d) { return 1.0 + 1.0 / (d + e); };
      auto dy = [e](double d) { return -1.0 / ((d + e) * (d + e)); };
      const Observed observed = ObserveClosedForm(y, dy, polyhedral);
      if (e > 1e-6) {
        EXPECT_FALSE(observed.proof) << polyhedral;
        continue;
      }
      ASSERT_TRUE(observed.proof) << polyhedral;
      EXPECT_NEAR(observed.proof->exponent, -1.0, 0.05);
      EXPECT_GT(observed.distance, 100.0 * e);
    }
  }
}

}  // namespace
}  // namespace zormix
