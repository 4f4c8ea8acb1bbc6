// What the path loop hands to classification when a path ends without a root, and the underflow
// proof of the end game fed sample by sample.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <optional>
#include <vector>

#include "support/one_unknown_homotopy.h"
#include "support/systems.h"
#include "support/track_path.h"
#include "tracker/endgame/end_game.h"
#include "tracker/path/path_state.h"
#include "tracker/path/tracker_parameters.h"

namespace zormix {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// y = g(d) on the polyhedral route (d = -s): H = y - g(d), H_s = g'(d). The homotopy cannot be
// evaluated off the real axis (NaN there), so the end game's loops never close, nor at distances
// below `wall` (the corrector fails there, and the step underflows just above it).
//   wobbling: g = 0.5 + d (2 + sin(K ln d)), K = pi / (2 ln 10): converges to 0.5, but its points
//             at the radii 1e-5 ... 1e-8 do not approach it geometrically (2, 1, 2, 3 times d);
//   rising:   g = 0.5 + sqrt(1e-10 / d): grows near the target with estimates
//             -z / (2 (0.5 + z)), z = sqrt(1e-10 / d), below -0.05 from d = 3e-8 on, that drift too
//             much to prove a divergence before d = 1e-9.
class RealAxisHomotopy : public testing::OneUnknownHomotopy {
 public:
  RealAxisHomotopy(bool rising, double wall) : rising_(rising), wall_(wall) {}
  void EvaluateComplex(const Complex* y, Complex s, ColMajorMatrix<Complex>& J, Complex* H,
                       Complex* Hs) override {
    const double d = -s.real();
    J(0, 0) = 1.0;
    if (s.imag() != 0.0 || d < wall_) {
      H[0] = Hs[0] = kNaN;
      return;
    }
    double g = 0.5, slope = 2.0;
    if (rising_ && d > 0.0) {
      g += std::sqrt(1e-10 / d);
      slope = -0.5 * std::sqrt(1e-10 / d) / d;
    } else if (!rising_ && d > 0.0) {
      const double k = std::numbers::pi / (2.0 * std::log(10.0));
      g += d * (2.0 + std::sin(k * std::log(d)));
      slope = 2.0 + std::sin(k * std::log(d)) + k * std::cos(k * std::log(d));
    }
    H[0] = y[0] - g;
    Hs[0] = slope;
  }

 private:
  bool rising_;
  double wall_;
};

// Tracks the path of `homotopy` from `start` at d = 1 with the first tracking's limits to the
// target `scale` (y^2 + 1).
bool Track(Homotopy& homotopy, Complex start, double scale, PathState& st) {
  const PolySystem target = testing::BuildSystem({{{{2}, Complex(scale)}, {{0}, Complex(scale)}}});
  return testing::TrackWithFirstLimits(homotopy, kPolyhedralRoute, target, &start, -1.0, st);
}

// The target y^2 + 1 has no root near 0.5, where these paths end.
bool Track(RealAxisHomotopy& homotopy, PathState& st) {
  return Track(homotopy, Complex(0.5 + 2.0, 0.0), 1.0, st);  // g(1)
}

// e (y^2 + 1) + d (y - 5 - d), e = 1e-12: a target so flat that the path arrives at 5 with a
// residual below every tolerance (the path bends away from 5 only below d = 1e-10), where Newton's
// method on the target halves its residual twice while it walks 4 away, towards 1: the arrival is
// refused. Not defined off the real axis: the end game's loops never close, and the points at
// its radii move away from 5 as e (y^2 + 1) / d grows.
class FlatTargetHomotopy : public testing::OneUnknownHomotopy {
 public:
  void EvaluateComplex(const Complex* y, Complex s, ColMajorMatrix<Complex>& J, Complex* H,
                       Complex* Hs) override {
    const double d = -s.real();
    if (s.imag() != 0.0) {
      H[0] = Hs[0] = J(0, 0) = kNaN;
      return;
    }
    H[0] = kFlatness * (y[0] * y[0] + 1.0) + d * (y[0] - 5.0 - d);
    J(0, 0) = 2.0 * kFlatness * y[0] + d;
    Hs[0] = -(y[0] - 5.0 - d) - d;
  }
  static constexpr double kFlatness = 1e-12;
};

// A path that arrives at the target, is refused there and whose loops never close (fourbar's
// paths 0.2 from the plane X2 = -i X1, Y2 = -i Y1) is handed to classification at the point it
// arrived at, with winding number 0: not at Newton's last iterate on the target, which walked off.
TEST(HandOver, RefusedArrivalIsHandedOverWhereItArrived) {
  FlatTargetHomotopy homotopy;
  PathState st(1);
  ASSERT_TRUE(Track(homotopy, Complex(6.0, 0.0), FlatTargetHomotopy::kFlatness, st));
  EXPECT_FALSE(st.failed());
  EXPECT_TRUE(st.reachedByEndGame);
  EXPECT_EQ(st.windingNumber, 0);
  // Arrived near 5 (the residual there passes without a correction); Newton's method stopped
  // near 1.
  EXPECT_LT(std::abs(st.y[0] - 5.0), 0.1) << st.y[0];
}

// A step that underflows within 1e-8 of the target with no coordinate growing is an approach: the
// last accepted point is handed over (redcyc8, seed 1). Farther out, or with a coordinate whose
// growth speeds up (a run of negative valuation estimates that proved nothing), the path stays
// failed.
TEST(HandOver, UnderflowCloseToTheTargetIsAnApproachOnlyWithoutGrowth) {
  RealAxisHomotopy close(false, 1e-9);
  PathState st(1);
  ASSERT_TRUE(Track(close, st));
  EXPECT_TRUE(st.reachedByEndGame);
  EXPECT_EQ(st.windingNumber, 0);
  EXPECT_LT(-st.s, 1e-8);
  EXPECT_LT(std::abs(st.y[0] - 0.5), 1e-8) << st.y[0];

  RealAxisHomotopy farOut(false, 1e-7);
  PathState far(1);
  EXPECT_FALSE(Track(farOut, far));
  EXPECT_EQ(far.failure, PathFailure::kStepUnderflow);
  EXPECT_GT(-far.s, 1e-8);

  RealAxisHomotopy rising(true, 1e-9);
  PathState growing(1);
  EXPECT_FALSE(Track(rising, growing));
  EXPECT_EQ(growing.failure, PathFailure::kStepUnderflow);
  EXPECT_LT(-growing.s, 1e-8);
  EXPECT_GT(growing.valuations.runStart.distance, 0.0);
}

// y_j = c_j d^{p_j} on the total-degree route (d = 1 - s), not defined off the real axis nor below
// d = 1e-10, where the step underflows. The smallest estimate, p_2, is not the exponent of the
// largest coordinate, p_1: neither the estimates nor the sizes following them prove a divergence.
class MonomialCurveHomotopy : public testing::ComplexParameterHomotopy {
 public:
  MonomialCurveHomotopy(std::array<double, 3> scale, std::array<double, 3> exponent)
      : scale_(scale), exponent_(exponent) {}
  int n() const override { return 3; }
  void EvaluateComplex(const Complex* y, Complex s, ColMajorMatrix<Complex>& J, Complex* H,
                       Complex* Hs) override {
    const double d = 1.0 - s.real();
    for (int j = 0; j < 3; ++j) {
      for (int k = 0; k < 3; ++k) J(j, k) = j == k ? 1.0 : 0.0;
      if (s.imag() != 0.0 || d < 1e-10) {
        H[j] = Hs[j] = kNaN;
        continue;
      }
      const double g = scale_[j] * std::pow(d, exponent_[j]);
      H[j] = y[j] - g;
      Hs[j] = exponent_[j] * g / d;  // dH/ds = g'(d)
    }
  }
  bool Track(PathState& st) {
    // y_j^2 + 1: no root where these paths end, nor one Newton's method reaches from real points.
    std::vector<testing::Equation> equations(3);
    for (int j = 0; j < 3; ++j) {
      std::vector<std::int32_t> square(3, 0);
      square[j] = 2;
      testing::AddTerm(equations[j], square, 1.0);
      testing::AddTerm(equations[j], std::vector<std::int32_t>(3, 0), 1.0);
    }
    const std::vector<Complex> start(scale_.begin(), scale_.end());
    return testing::TrackWithFirstLimits(*this, kTotalDegreeRoute, testing::BuildSystem(equations),
                                         start.data(), 0.0, st);
  }

 private:
  std::array<double, 3> scale_, exponent_;
};

// A step underflow within tracker.hand_over_distance during a run of negative estimates. Sizes
// that grow at one slow rate with no coordinate shrinking (redcyc8's paths creeping along its sets,
// d^-0.07) are handed over; with a coordinate shrinking as another grows steadily over the last
// decades (cyclic-8's paths to infinity) the growth record proves a divergence, and the path is not
// handed over.
TEST(HandOver, UnderflowInANegativeRunIsAnApproachOnlyWithoutProvenGrowth) {
  MonomialCurveHomotopy creeping({5.0, 0.1, 1.0}, {-0.07, -0.085, 0.0});
  PathState st(3);
  ASSERT_TRUE(creeping.Track(st));
  EXPECT_TRUE(st.reachedByEndGame);
  EXPECT_EQ(st.windingNumber, 0);
  EXPECT_GT(st.valuations.runStart.distance, 0.0);
  EXPECT_LT(1.0 - st.s, 1e-8);
  EXPECT_NEAR(std::abs(st.y[0]), 5.0 * std::pow(1.0 - st.s, -0.07), 1e-6);

  MonomialCurveHomotopy diverging({5.0, 0.1, 1.0}, {-0.12, -0.15, 0.2});
  PathState lost(3);
  EXPECT_FALSE(diverging.Track(lost));
  EXPECT_FALSE(lost.reachedByEndGame);
  EXPECT_LT(1.0 - lost.s, 1e-8);
  EXPECT_LT(lost.growth.ProvenExponent(), 0.0);
}

// |y| = 10 (d / 8e-8)^{-1/6} with estimates scattered by a few percent (cyclic-9's poles, where
// the step underflows at |y| ~ 85): the samples of the spans d = 8e-8, 2e-8, 5e-9 and the latest
// at 2e-9 prove the divergence only through sizes that grew at one rate over all three spans, so
// WatchEndGame must keep the oldest span as it shifts the estimates.
class ScriptedEstimateHomotopy : public testing::OneUnknownHomotopy {
 public:
  void EvaluateComplex(const Complex* y, Complex s, ColMajorMatrix<Complex>& J, Complex* H,
                       Complex* Hs) override {
    // The estimate d (J^{-1} H_s) / y is `estimate` wherever y is.
    J(0, 0) = 1.0;
    H[0] = 0.0;
    Hs[0] = estimate * y[0] / -s;
  }
  double estimate = 0.0;
};

TEST(HandOver, UnderflowProofUsesTheOldestSpanItKept) {
  ScriptedEstimateHomotopy homotopy;
  const testing::UnitRootTarget unitRoot;
  PathContext ctx = unitRoot.Context(homotopy);
  PathState st(1);
  st.endGameStartFixed = true;
  const double distance[4] = {8e-8, 2e-8, 5e-9, 2e-9};
  const double estimate[4] = {-0.1584, -0.1641, -0.1690, -0.1548};
  for (int k = 0; k < 4; ++k) {
    st.s = -distance[k];
    st.y[0] = Complex(10.0 * std::pow(distance[k] / 8e-8, -1.0 / 6.0), 0.0);
    homotopy.estimate = estimate[k];
    homotopy.Evaluate(st.y.data(), st.s, st.jacobian, st.residual.data(),
                      st.parameterDerivative.data());
    WatchEndGame(st, ctx);
    ASSERT_FALSE(st.failed()) << k;
  }
  EXPECT_EQ(st.valuations.oldest.distance, 8e-8);
  // The estimates scatter around -1/6; the sizes grew exactly like d^(-1/6), and that proved it.
  const std::optional<DivergenceProof> proof = ProveDivergenceAfterUnderflow(st.valuations);
  ASSERT_TRUE(proof);
  EXPECT_EQ(proof->rule, DivergenceRule::kGrowthAtOneRate);
  EXPECT_NEAR(proof->exponent, -1.0 / 6.0, 1e-3);
}

// |y| = d^p over halving distances from 1e-5 to 1e-13, CheckEndGame after each step as in the
// path loop: the verdict it reaches (kNone when none) and the valuation it left. The exponent test
// begins below 1e-8.
PathFailure ExponentVerdict(double p, double* valuation = nullptr) {
  PathState st(1);
  auto y = [p](double d) { return Complex(1e-2 * std::pow(d, p), 0.0); };
  double dPrev = 4e-5, dCur = 2e-5;
  st.yPrev[0] = y(dPrev);
  st.yCur[0] = y(dCur);
  for (double d = 1e-5; d > 1e-13 && !st.failed(); d /= 2) {
    st.s = -d;
    st.stepSize = dCur - d;
    st.lastStep = dPrev - dCur;
    st.y[0] = y(d);
    CheckEndGame(st, kPolyhedralRoute);
    st.yPrev = st.yCur;
    st.yCur = st.y;
    dPrev = dCur;
    dCur = d;
  }
  if (valuation != nullptr) *valuation = st.valuation;
  return st.failed() ? st.failure : PathFailure::kNone;
}

// The exponent bands of CheckEndGame, probed inside and outside each edge: a coordinate growing
// like d^p, p < -0.2, heads to infinity; one shrinking like d^p, 0.3 < p < 0.8, to a singular end
// (a root of multiplicity 2 or 3 in that coordinate); p = 1 is a simple zero and -0.15 too slow.
TEST(HandOver, ExponentBandsOfTheEndGameTest) {
  EXPECT_EQ(ExponentVerdict(-0.25), PathFailure::kDiverged);
  EXPECT_EQ(ExponentVerdict(-0.15), PathFailure::kNone);
  EXPECT_EQ(ExponentVerdict(0.35), PathFailure::kSingularEnd);
  EXPECT_EQ(ExponentVerdict(0.75), PathFailure::kSingularEnd);
  EXPECT_EQ(ExponentVerdict(0.25), PathFailure::kNone);
  EXPECT_EQ(ExponentVerdict(0.85), PathFailure::kNone);
  // A path at infinity carries the exponent that proved it.
  double valuation = 0.0;
  EXPECT_EQ(ExponentVerdict(-0.6, &valuation), PathFailure::kDiverged);
  EXPECT_NEAR(valuation, -0.6, 1e-9);
}

// After an underflow the latest estimate is compared with the last span's only when that lies at
// least twice as far out; closer, the run's first estimate (which agrees here) is the one.
TEST(HandOver, UnderflowProofSkipsASpanTooCloseToTheLatest) {
  const double v = -0.25;
  auto at = [v](double d) { return ValuationSample{d, v, 10.0 * std::pow(d / 1e-2, v)}; };
  ValuationHistory history;
  history.runStart = at(1e-2);
  history.reference = at(1.5e-3);
  history.latest = at(1e-3);
  EXPECT_TRUE(ProveDivergenceAfterUnderflow(history));
}

}  // namespace
}  // namespace zormix
