// The divergence verdict of the end game on paths with known Puiseux exponents.
#include "tracker/end_game.h"

#include <gtest/gtest.h>

#include <cmath>

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

// Tracks y = d^{-1/k} from d = 1 and returns the state it stopped in.
PathState TrackPole(int k) {
  PoleHomotopy homotopy(k);
  PathContext ctx;
  ctx.homotopy = &homotopy;
  ctx.route = &kPolyhedralRoute;
  ctx.limits = FirstTrackingLimits();
  PathState st(1);
  const Complex start(1.0, 0.0);
  std::int64_t blowUps = 0;
  EXPECT_FALSE(TrackPath(st, ctx, &start, -1.0, blowUps));
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
