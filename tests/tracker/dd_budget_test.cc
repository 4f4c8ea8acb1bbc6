// The budgets of tracking in double-double: Newton's iterations at a path's start and at the
// target, the size at which a path is taken to leave for infinity, and the paths of one unknown
// re-tracked in a solve.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "base/double_double.h"
#include "tracker/dd/dd_rescue.h"
#include "tracker/dd/dd_tracker.h"
#include "tracker/routes/route_tracking.h"

namespace zormix {
namespace {

// H(y, p) = y - (a + b p), whose path is y = a + b p, with the Jacobian reported as `slope`
// instead of 1 and terms of size `terms`. A slope of 1.1 makes Newton's method contract only
// elevenfold a step (e_{k+1} = e_k / 11), as a Jacobian a tenth off does; `terms` sets the
// rounding noise u |terms| / slope at which the corrector stops on the way (not at the target).
class LineHomotopy : public DdHomotopy {
 public:
  LineHomotopy(double a, double b, double slope, double terms)
      : a_(a), b_(b), slope_(slope), terms_(terms) {}
  int n() const override { return 1; }
  void Evaluate(const DdComplex* y, double p, std::vector<DdComplex>& J, DdComplex* H,
                DdComplex* Hp, double* termSize) override {
    const DoubleDouble at = DoubleDouble(a_) + DoubleDouble(b_) * DoubleDouble(p);
    J.assign(1, DdComplex(Complex(slope_, 0.0)));
    H[0] = y[0] - DdComplex(at);
    Hp[0] = DdComplex(Complex(-b_, 0.0));
    if (termSize != nullptr) termSize[0] = terms_;
  }

 private:
  double a_, b_, slope_, terms_;
};

// Newton's method at the target, from a point the corrector left at the noise level (terms of
// size 1e26: noise 4.5e-6, so the first correction at the start already stops), must reach the
// path tolerance at a regular root. From 1.2e-9 away its elevenfold contractions need five
// iterations, well within tracker.dd_polish_iterations; from 1.2e-5 away they need nine: a point
// whose corrections shrink this slowly is not a regular root Newton resolves, and is refused.
TEST(DoubleDoubleBudget, NewtonAtTheTargetRefusesCorrectionsThatContractSlowly) {
  LineHomotopy homotopy(1.0, 0.0, 1.1, 1e26);
  const Complex close(1.0 + 1.2e-9, 0.0);
  const DdTrackResult quick = TrackDoubleDouble(homotopy, &close, 1.0, 1.0);
  EXPECT_TRUE(quick.reached);
  EXPECT_LT(std::abs(quick.y[0] - 1.0), 1e-14);
  const Complex far(1.0 + 1.2e-5, 0.0);
  EXPECT_FALSE(TrackDoubleDouble(homotopy, &far, 1.0, 1.0).reached);
}

// A start point half its size away from the path, with corrections that contract elevenfold, is
// brought onto the path (fifteen iterations) and followed to the end.
TEST(DoubleDoubleBudget, AStartPointFarFromThePathIsCorrected) {
  LineHomotopy homotopy(1.0, 0.0, 1.1, 1.0);
  const Complex start(1.5, 0.0);
  const DdTrackResult r = TrackDoubleDouble(homotopy, &start, 0.0, 1.0);
  EXPECT_TRUE(r.reached);
  EXPECT_LT(std::abs(r.y[0] - 1.0), 1e-14);
}

// A path whose size passes 1e11 (y = 1e11 (1 + p)) is a path, not a divergence: it is followed to
// its root 2e11. Its double-double tracking stops only beyond tracker.dd_divergence_bound.
TEST(DoubleDoubleBudget, ALargePathIsFollowedToItsRoot) {
  LineHomotopy homotopy(1e11, 1e11, 1.0, 2e11);
  const Complex start(1e11, 0.0);
  const DdTrackResult r = TrackDoubleDouble(homotopy, &start, 0.0, 1.0);
  ASSERT_TRUE(r.reached);
  EXPECT_LT(std::abs(r.y[0] - 2e11), 1e-3);
}

// One unknown whose 24 paths double precision all lost (as the expanded Wilkinson polynomial of
// degree 20 loses most of its paths): each is re-tracked in double-double and comes home to its
// own root of y^24 = 1.
TEST(DoubleDoubleBudget, EveryLostPathOfOneUnknownIsRetracked) {
  constexpr int kPaths = 24;
  RouteTracking tracking(1, kPaths);
  for (std::int64_t u = 0; u < kPaths; ++u) {
    tracking.outcomes[u].startIndex = static_cast<std::int32_t>(u + 1);
    tracking.outcomes[u].status = PathStatus::kStepUnderflow;
  }
  const RetrackFactory factory = [](RetrackPurpose) -> RetrackFunction {
    return [](const PathRecord& record, double) {
      const double angle = 2.0 * std::numbers::pi * (record.startIndex - 1) / kPaths;
      return RetrackResult{{std::polar(1.0, angle)}, 10, false, 1};
    };
  };
  ColMajorMatrix<std::int32_t> exponents(1, 2);
  exponents(0, 0) = kPaths;
  const std::vector<std::int32_t> termCount{2};
  const std::vector<Complex> coefficients{1.0, -1.0};
  const SystemView target{1, termCount, &exponents, coefficients};
  PathCounts counts;
  RetrackInDoubleDouble(tracking, target, factory, 1, counts);
  EXPECT_EQ(counts.rescued, kPaths);
  for (std::int64_t u = 0; u < kPaths; ++u)
    EXPECT_EQ(tracking.outcomes[u].status, PathStatus::kRescued) << u;
}

}  // namespace
}  // namespace zormix
