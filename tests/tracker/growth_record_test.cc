// The winding-free proof of divergence from the sizes of a path's coordinates: paths that go to
// infinity along a curve, where the end game's estimates drift and its loops never close, and
// paths whose growth belongs to a finite end point.
#include "tracker/endgame/growth_record.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <vector>

#include "support/one_unknown_homotopy.h"
#include "support/systems.h"
#include "support/track_path.h"
#include "tracker/path/path_state.h"
#include "tracker/path/tracker_parameters.h"

namespace zormix {
namespace {

using Shape = std::function<std::vector<Complex>(double)>;

// 1 + a sin(K ln d) with a period of half a decade: scatters the end game's pointwise estimates
// of the valuation by +-5.5 a, as an ill-conditioned path's are.
double Wobble(double d, double a) {
  const double k = 2.0 * std::numbers::pi / std::log(std::sqrt(10.0));
  return 1.0 + a * std::sin(k * std::log(d));
}

// A coordinate that grows along a curve as cohn3's x does: d^{-1/7} (1 - 0.9 d^{1/7}), its growth
// exponent drifting from -0.2 to -0.15, wobbling.
double AlongCurve(double d) {
  const double root = std::pow(d, 1.0 / 7.0);
  return (1.0 - 0.9 * root) / root * Wobble(d, 0.01);
}

// The path y = g(d) sampled as the path loop does, one point per distance, from 1e-2 down to
// `last` in steps of ratio 1.3.
double ProvenExponent(const Shape& g, double last) {
  GrowthRecord record(static_cast<int>(g(1.0).size()));
  for (double d = 1e-2; d >= last; d /= 1.3) record.Observe(d, g(d));
  return record.ProvenExponent();
}

// Growth along a curve towards a coordinate subspace is a divergence; the same sizes without a
// shrinking coordinate, a finite end point approached as y* - c d^{1/3}, a large one whose growth
// slows down, and a span of growth too slow or too short prove nothing.
TEST(GrowthRecord, ProvesOnlySteadyGrowthTowardsASubspace) {
  const auto curve = [](double d) {
    return std::vector<Complex>{AlongCurve(d), 3.0 * std::pow(d, 0.3)};
  };
  const double exponent = ProvenExponent(curve, 1e-9);
  EXPECT_LT(exponent, -0.12);
  EXPECT_GT(exponent, -0.2);

  const auto noShrink = [](double d) { return std::vector<Complex>{AlongCurve(d), 2.0}; };
  EXPECT_EQ(ProvenExponent(noShrink, 1e-9), 0.0);

  // x* = 30 reached with winding number 3: the exponents shrink tenfold over three decades.
  const auto converging = [](double d) {
    return std::vector<Complex>{30.0 - 20.0 * std::cbrt(d / 1e-2), 3.0 * std::pow(d, 0.3)};
  };
  EXPECT_EQ(ProvenExponent(converging, 1e-9), 0.0);

  // A large point (6.6e6) that the path begins to settle at: exponents from -0.8 to -0.2.
  const auto settling = [](double d) {
    return std::vector<Complex>{std::pow(d + 3e-9, -0.8), 3.0 * std::pow(d, 0.3)};
  };
  EXPECT_EQ(ProvenExponent(settling, 1e-9), 0.0);

  const auto slow = [](double d) {
    return std::vector<Complex>{std::pow(d, -0.08), 3.0 * std::pow(d, 0.3)};
  };
  EXPECT_EQ(ProvenExponent(slow, 1e-9), 0.0);
  EXPECT_EQ(ProvenExponent(curve, 2e-5), 0.0);  // under three decades recorded
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// y = g(d) on the polyhedral route (d = -s): H = y - g(d), H_s = g'(d) by a central difference.
// Defined on the real axis only, so that the end game's loops never close, and only above `wall`,
// where the step underflows.
class RealPathHomotopy : public testing::ComplexParameterHomotopy {
 public:
  RealPathHomotopy(Shape g, double wall) : g_(std::move(g)), wall_(wall) {}
  int n() const override { return 2; }
  void EvaluateComplex(const Complex* y, Complex s, ColMajorMatrix<Complex>& J, Complex* H,
                       Complex* Hs) override {
    const double d = -s.real();
    J(0, 0) = J(1, 1) = 1.0;
    J(0, 1) = J(1, 0) = 0.0;
    if (s.imag() != 0.0 || d < wall_) {
      H[0] = H[1] = Hs[0] = Hs[1] = kNaN;
      return;
    }
    const std::vector<Complex> at = g_(d);
    const double h = 1e-6 * d;
    const std::vector<Complex> above = g_(d + h), below = g_(d - h);
    for (int j = 0; j < 2; ++j) {
      H[j] = y[j] - at[j];
      Hs[j] = (above[j] - below[j]) / (2.0 * h);
    }
  }

 private:
  Shape g_;
  double wall_;
};

// Tracks y = g(d) from d = 1 to the target y1^4 y2^3 - 1 = y1^8 y2^6 - 4 = 0, which has no root
// at all, while a path with y1 ~ d^-0.15, y2 ~ d^0.2 balances both its terms in every equation, as
// a verdict at infinity requires (divergence_check.h).
PathState TrackToWall(const Shape& g, double wall, bool* accepted = nullptr) {
  RealPathHomotopy homotopy(g, wall);
  const PolySystem target =
      testing::BuildSystem({{{{4, 3}, Complex(1.0)}, {{0, 0}, Complex(-1.0)}},
                            {{{8, 6}, Complex(1.0)}, {{0, 0}, Complex(-4.0)}}});
  PathState st(2);
  const std::vector<Complex> start = g(1.0);
  const bool reached =
      testing::TrackWithFirstLimits(homotopy, kPolyhedralRoute, target, start.data(), -1.0, st);
  if (accepted != nullptr)
    *accepted = reached;
  else
    EXPECT_FALSE(reached);
  return st;
}

// A path along a curve to infinity whose step underflows at d = 1e-9 (cohn3's, where the curve
// makes the corrector ill-conditioned) ends at infinity, with the exponent of its last span; a
// root reached late (one coordinate growing as 10 (1e-3 / (d + 1e-10))^0.15 towards 112 until the
// wall, wobbling, the other settled, like cohn3's root with t = 5581) is not at infinity: its sizes
// prove nothing, so its last point, within tracker.hand_over_distance, goes to classification.
TEST(GrowthRecord, UnderflowedPathAlongACurveEndsAtInfinity) {
  const PathState curve = TrackToWall(
      [](double d) {
        return std::vector<Complex>{AlongCurve(d), 3.0 * std::pow(d, 0.2)};
      },
      1e-9);
  EXPECT_EQ(curve.failure, PathFailure::kDiverged);
  EXPECT_LT(curve.valuation, -0.1);
  EXPECT_GT(curve.valuation, -0.2);

  bool handedOver = false;
  const PathState lateRoot = TrackToWall(
      [](double d) {
        return std::vector<Complex>{2.0,
                                    10.0 * std::pow(1e-3 / (d + 1e-10), 0.15) * Wobble(d, 0.005)};
      },
      1e-9, &handedOver);
  EXPECT_TRUE(handedOver);
  EXPECT_TRUE(lateRoot.reachedByEndGame);
  EXPECT_EQ(lateRoot.failure, PathFailure::kStepUnderflow);
  EXPECT_EQ(lateRoot.valuation, 0.0);
}

}  // namespace
}  // namespace zormix
