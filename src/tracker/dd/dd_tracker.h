// A path tracker in double-double arithmetic, for the paths double precision loses.
//
// Near a root of condition kappa a residual evaluated in double is rounded at about
// 1e-16 kappa relative to the point, so once kappa passes 1e10 or so the corrector cannot tell
// neighbouring paths apart and the step size underflows (Wilkinson's polynomial of degree 20,
// expanded, has roots of condition 1e13). The same homotopy evaluated in double-double from the
// same double coefficients (which are exact there) is rounded 1e16 times finer. The tracker is
// deliberately plain: a fourth-order Runge-Kutta predictor along dy/dp = -H_y^-1 H_p, Newton's
// corrector with a contraction test, step halving on failure and doubling after two successes,
// and Newton's method at the target. It is some twenty times slower than the double tracker, so
// only paths the double tracker lost or left at a point that solves nothing get it.
#ifndef ZORMIX_TRACKER_DD_DD_TRACKER_H_
#define ZORMIX_TRACKER_DD_DD_TRACKER_H_

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "model/dd_system.h"
#include "startsys/start_systems.h"
#include "tracker/homotopy/cell_setup.h"
#include "tracker/jumps/path_jumping.h"

namespace zormix {

// H(y, p), dH/dp and dH/dy at a real parameter value, in double-double.
class DdHomotopy {
 public:
  virtual ~DdHomotopy() = default;
  virtual int n() const = 0;
  virtual void Evaluate(const DdComplex* y, double p, std::vector<DdComplex>& J, DdComplex* H,
                        DdComplex* Hp, double* termSize) = 0;
};

// (1 - t) Q + t P with Q_i = q[2i] y_i^d_i + q[2i+1], as on the total-degree route.
class DdTotalDegreeHomotopy : public DdHomotopy {
 public:
  DdTotalDegreeHomotopy(const MonomialLayout& layout, std::span<const Complex> target,
                        std::span<const Complex> q, std::span<const std::int32_t> degree);
  int n() const override { return layout_.n; }
  void Evaluate(const DdComplex* y, double t, std::vector<DdComplex>& J, DdComplex* H,
                DdComplex* Ht, double* termSize) override;

 private:
  MonomialLayout layout_;
  std::vector<DdComplex> target_;
  std::span<const Complex> q_;
  std::span<const std::int32_t> degree_;
  DdScratch scratch_;
  std::vector<DdComplex> values_;
};

// The polyhedral homotopy in s = ln t: A_j = ((1 - e^s) start_j + e^s target_j) e^{beta_j s},
// which is exactly the target at s = 0 (the double route's start + (target - start) rounds).
class DdPolyhedralHomotopy : public DdHomotopy {
 public:
  DdPolyhedralHomotopy(const MonomialLayout& layout, std::span<const Complex> start,
                       std::span<const Complex> target);
  void SetPowers(std::span<const double> beta) { beta_ = beta; }
  int n() const override { return layout_.n; }
  void Evaluate(const DdComplex* y, double s, std::vector<DdComplex>& J, DdComplex* H,
                DdComplex* Hs, double* termSize) override;

 private:
  MonomialLayout layout_;
  std::vector<DdComplex> start_;
  std::vector<DdComplex> delta_;  // target - start, exact in double-double
  std::span<const double> beta_;
  std::vector<DdComplex> A_, B_;
  DdScratch scratch_;
};

struct DdTrackResult {
  std::vector<Complex> y;  // the end point rounded to double (the last point when not reached)
  std::int32_t steps = 0;
  bool reached = false;  // tracked to the target and Newton's method converged there
};

// Tracks the path of `homotopy` from `start` (a solution at p0, corrected first) to pTarget.
DdTrackResult TrackDoubleDouble(DdHomotopy& homotopy, const Complex* start, double p0,
                                double pTarget);

// What became of a path continued in double-double from a point close to the target.
enum class DdEnd : std::uint8_t {
  kLost,        // nothing decided: the path was lost again, or its estimates proved nothing
  kReached,     // Newton's method converged at the target: a regular root
  kDiverged,    // its valuations proved it heading to infinity
  kApproached,  // no coordinate grows, and Newton's method does not converge at the target: the
                // last point, close to a singular root or a solution set, for classification
};

struct DdContinuation {
  DdEnd end = DdEnd::kLost;
  std::vector<Complex> y;  // the end point, or the last point reached
  double valuation = 0.0;  // kDiverged: the exponent that proved it (0: only its size)
  std::int32_t steps = 0;
  std::vector<double> direction;  // kDiverged: the latest estimates of all coordinates
};

// Continues the path of `homotopy` through (y, p), a point that tracking in double left close to
// the target, in double-double with steps of at most half the distance d = pTarget - p left.
// Close to the target y_j(d) = c_j d^{v_j} (1 + O(d^{1/m})), and the estimates of the valuations
//   v_j(d) = Re(d (dy_j/dd) / y_j)
// are taken every time d has shrunk by tracker.valuation_span. Whether they prove a divergence is
// decided as for tracking in double, by the same function of the valuation history
// (ObserveValuation, tracker/endgame/valuation_history.h: the smallest estimate and max |y| at
// each span, within tracker.valuation_zone). `divergenceBound` > 0 is the total-degree route's
// rule: the sizes must follow the estimates, and the verdict waits for max |y| beyond the bound
// (paths to large roots look like poles until late). Beyond tracker.dd_divergence_bound the path
// is at infinity whatever its estimates. Near a solution set the Jacobian's condition grows like
// a power of 1/d (cohn3: 1e11 at d = 3e-7, 7e13 at 1e-8, where double precision stops), and
// double-double goes on where double ends.
//
// What the verdict assumes. A path converging to a point y* has estimates that fall like
// d^{1/m} (m its winding number), which neither agree nor extrapolate to a negative limit. What
// passes besides a divergence is a path whose series converges only far closer to the target than
// the spans that prove it: a root reached past a pole of the path just beyond the target,
// y ~ y* + C / (d + e) with e << d, which grows like d^-1 until d ~ e. The caller checks every
// verdict against the tropical condition of the target in the direction of the estimates
// (divergence_check.h), which such a direction meets only by coincidence; the total-degree route
// waits for `divergenceBound` too.
//
// The prediction. Near a solution set the Jacobian's near null direction turns with d, and the
// field dy/dp off the path turns with it by the condition times the deviation: Runge-Kutta's
// inner stages, which take tangents at points off the path, failed there unless the step shrank
// with d (cohn3: a share 0.004 of d at d = 1e-9, 1500 to 3000 steps to the verdict). After its
// first step the continuation therefore predicts by the cubic Hermite interpolant in ln d through
// its last two accepted points and their tangents, all on the path (250 to 370 steps).
DdContinuation ContinueInDoubleDouble(DdHomotopy& homotopy, const Complex* y, double p,
                                      double pTarget, double divergenceBound);

// Re-trackers in double-double for the two routes, with the signature of the double ones (the
// correction limit is not used). Each call owns its homotopy and scratch. A system of one unknown
// is tracked whole in double-double; one of more is tracked in double with the limits of a rescue
// and, when that path is lost close to the target, continued by ContinueInDoubleDouble.
RetrackFunction MakeTotalDegreeDdRetrack(const MonomialLayout& layout,
                                         std::span<const Complex> target,
                                         std::span<const Complex> q,
                                         std::span<const std::int32_t> degree,
                                         const BinomialSolutions& startPoints);
RetrackFunction MakePolyhedralDdRetrack(const MonomialLayout& layout,
                                        std::span<const Complex> start,
                                        std::span<const Complex> target,
                                        std::function<CellSetup(std::int64_t)> prepareCell);

}  // namespace zormix

#endif  // ZORMIX_TRACKER_DD_DD_TRACKER_H_
