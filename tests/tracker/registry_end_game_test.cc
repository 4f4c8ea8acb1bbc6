// The Cauchy end game's thresholds, each from a path whose outcome turns on it: moved to either
// end of its range (scripts/planted_faults.py), the threshold fails a test here.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "model/system_eval.h"
#include "support/one_unknown_homotopy.h"
#include "support/systems.h"
#include "support/track_path.h"
#include "tracker/endgame/end_game.h"
#include "tracker/tracking.h"

namespace zormix {
namespace {

// y - 1 = c w with w^m = d, d = -s: a cycle of m sheets around the root 1 that lie
// 2 c |d|^(1/m) sin(pi / m) apart.
class CycleHomotopy : public testing::OneUnknownHomotopy {
 public:
  CycleHomotopy(int m, double c) : m_(m), c_(c) {}
  void EvaluateComplex(const Complex* y, Complex s, ColMajorMatrix<Complex>& J, Complex* H,
                       Complex* Hs) override {
    const Complex w = (y[0] - 1.0) / c_;
    const Complex power = std::pow(w, m_ - 1);
    H[0] = power * w + s;
    J(0, 0) = static_cast<double>(m_) * power / c_;
    Hs[0] = 1.0;
  }

 private:
  int m_;
  double c_;
};

// Runs the Cauchy end game from the path's point at d = 1e-3; the end point is in st.y.
PathState EndGameOnCycle(int m, double c) {
  CycleHomotopy homotopy(m, c);
  const testing::UnitRootTarget unitRoot;
  PathContext ctx = unitRoot.Context(homotopy);
  const double d = 1e-3;
  PathState st(1);
  st.endGameStart = {Complex(1.0 + c * std::pow(d, 1.0 / m), 0.0)};
  st.endGameStartAt = -d;
  st.hasEndGameStart = true;
  st.y = st.endGameStart;
  EXPECT_TRUE(RunCauchyEndGame(st, ctx)) << "m " << m << " c " << c;
  return st;
}

// tracker.loop_closure: four sheets 1.4e-7 apart at d = 1e-4 (c = 1e-6) are told apart, so a
// loop closes only after all four, and Cauchy's mean over them is the root to rounding.
// Closing loops at 1e-5 takes the first loop for the whole cycle: winding number 1 and an end
// point 1e-8 off.
TEST(RegistryEndGame, SheetsCloserThanASliceOfTheRadiusAreStillOneCycle) {
  const PathState st = EndGameOnCycle(4, 1e-6);
  EXPECT_EQ(st.windingNumber, 4);
  EXPECT_LT(std::abs(st.y[0] - 1.0), 1e-14);
}

// A cycle of three sheets with c = 1e-6 (8e-8 apart at d = 1e-4) closes after one loop at the
// end game's radii (they lie within tracker.loop_closure), so the mean of one loop is off the root
// by about c r^(1/3), less at each radius: the end game goes on down the radii
// (tracker.radius_count) until two estimates agree within tracker.estimate_agreement, which leaves
// the end point within 4e-9 of the root. Agreement asked only to 1e-7, or four radii, stop it 8e-9
// off.
TEST(RegistryEndGame, EstimatesOfALoopThatClosedTooSoonAreFollowedDownTheRadii) {
  const PathState st = EndGameOnCycle(3, 1e-6);
  EXPECT_LT(std::abs(st.y[0] - 1.0), 4e-9);
}

}  // namespace
}  // namespace zormix
