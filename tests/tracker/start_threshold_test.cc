// The correction of a start point from both sides of its limits: a start point off its root by a
// few times tracker.start_residual is corrected onto it, and Newton's method at a start point of
// high multiplicity (linear convergence at rate 49/50) runs as long as the cap allows and no
// longer: within it from nearby, not from far away.
#include <gtest/gtest.h>

#include <cmath>

#include "tracker/path/path_state.h"
#include "tracker/tracking.h"

namespace zormix {
namespace {

// H(y, s) = h(y), one unknown, whatever s; counts evaluations.
class StartHomotopy : public Homotopy {
 public:
  using Fn = Complex (*)(Complex);
  StartHomotopy(Fn h, Fn hy) : h_(h), hy_(hy) {}
  int n() const override { return 1; }
  void Evaluate(const Complex* y, double, ColMajorMatrix<Complex>& J, Complex* H,
                Complex* Hp) override {
    ++evaluations;
    H[0] = h_(y[0]);
    J(0, 0) = hy_(y[0]);
    Hp[0] = 0.0;
  }
  void EvaluateComplex(const Complex* y, Complex p, ColMajorMatrix<Complex>& J, Complex* H,
                       Complex* Hp) override {
    Evaluate(y, p.real(), J, H, Hp);
  }
  int evaluations = 0;

 private:
  Fn h_, hy_;
};

Complex CorrectFrom(StartHomotopy& h, Complex start) {
  PathContext ctx;
  ctx.homotopy = &h;
  ctx.route = &kPolyhedralRoute;
  PathState st(1);
  st.y[0] = start;
  CorrectStartPoint(st, ctx);
  return st.y[0];
}

// y - 3 from 3 + 3e-7 (a start point given to seven digits): one Newton step puts it on the root.
TEST(StartCorrection, StartPointGivenToSevenDigitsIsCorrectedOntoItsRoot) {
  StartHomotopy linear([](Complex y) { return y - 3.0; }, [](Complex) { return Complex(1.0); });
  EXPECT_LT(std::abs(CorrectFrom(linear, 3.0 + 3e-7) - 3.0), 1e-15);
}

// y^50: each step shrinks y by 49/50 and the residual by e^-1. From 1.5 (residual 6e8) the
// residual reaches rounding in about 36 steps; from 10 (residual 1e50) it would take 130, which the
// cap cuts short: the point is left far from the root after about a hundred evaluations.
TEST(StartCorrection, SlowNewtonRunsWithinTheCapOnly) {
  const auto h = [](Complex y) { return std::pow(y, 50); };
  const auto hy = [](Complex y) { return 50.0 * std::pow(y, 49); };
  StartHomotopy near(h, hy);
  EXPECT_LT(std::pow(std::abs(CorrectFrom(near, 1.5)), 50), 1e-7);
  StartHomotopy far(h, hy);
  EXPECT_GT(std::abs(CorrectFrom(far, 10.0)), 1.0);
  EXPECT_LE(far.evaluations, 110);
}

}  // namespace
}  // namespace zormix
