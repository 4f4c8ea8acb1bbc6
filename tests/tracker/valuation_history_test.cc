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

}  // namespace
}  // namespace zormix
