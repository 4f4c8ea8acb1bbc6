// The numbers that steer a path: the tracker's tolerances and limits, where the two routes differ,
// and what differs between a first tracking and a re-track.
#ifndef ZORMIX_TRACKER_PATH_TRACKER_PARAMETERS_H_
#define ZORMIX_TRACKER_PATH_TRACKER_PARAMETERS_H_

#include <cstdint>

#include "base/numeric.h"

namespace zormix {

// The tolerances and limits shared by every path of both routes.
struct TrackerParameters {
  double correctorToleranceFactor = 1e-7;  // tolerance 1e-7 sqrt(max(1, |J|_1) max(1, |y|))
  double startResidual = 1e-7;             // Newton at the start point stops below it
  int startIterationCap = 100;             // the residual of an exact start point can stay put
  double minFirstStep = 1e-16;             // FirstStep fails below this step
  double minStep = 1e-10;                  // a halved step below this underflows
  double smallStep = 1e-4;                 // below it the corrector allows more, slower iterations
  double endGameZone = 1e-4;               // distance to the target from which the end game watches
  double exponentZone = 1e-8;              // distance from which exponents of |y_j| are estimated
};
inline constexpr TrackerParameters kTrackerParameters{};

// Where the two routes' trackers differ. The path loop measures the remaining distance as
// d = target - p (exactly -s on the polyhedral route, 1 - t on the total-degree route); thresholds
// that the routes state on the parameter itself are kept on p.
struct RouteConstants {
  double target = 0.0;                 // p at the end of the path
  bool firstStepFromDistance = true;   // FirstStep starts with h = d/3 (else the given step)
  double firstStepLaterFactor = 10.0;  // decrease demanded of later FirstStep Newton iterations
  bool limitAfterFirstStep = true;     // h := min(h, d / divisor) after FirstStep
  double raisedCorrectionLimit = 1.0;
  double raiseSwitch = -1e-4;         // on p: below it small steps raise, from it small points do
  double raiseNormFactor = 500.0;     // small point: |yPred| < factor * n
  double blowUpBelow = -0.05;         // on p: a path given up below this is counted
  bool distanceZones = true;          // step limits -s/3, 0.05, -s near the target
  double looseToleranceBelow = -0.1;  // on p: eps clamp 0.1 below, 1e-4 from it
  double divergenceFactor = 50000.0;  // |yPrev| > factor * n in the end game
  double zeroModulus = 2.2204460492503133e-21;  // replaces 0 moduli in the exponent estimates
  bool olderDistanceFromStepsFirst = true;      // (hl + h) + d, else (d + h) + hl
  // Within kTrackerParameters.endGameZone of the target a halved step underflows below this
  // instead of kTrackerParameters.minStep. On the total-degree route a path to a large root looks
  // like a pole until 1 - t is of the order of |root|^-3: fbremb2's roots of size 1e4 (scaled
  // variables) turn only near 1 - t = 1e-12, where the paths to infinity look alike. t = 1 - d
  // is resolved to 1.1e-16 there, so steps down to 1e-14 (90 units) still move the path.
  double minStepNearTarget = 1e-10;
  // Whether the verdict "tends to infinity" of every tracking, re-tracks too, waits for a point
  // beyond the divergence bound (divergenceFactor n); the path goes on meanwhile. A first tracking
  // defers it instead (PathLimits::polishNearTarget).
  bool divergenceNeedsBound = false;
};

inline constexpr RouteConstants kPolyhedralRoute{};
// The total-degree route's thresholds 0.8, 0.9999 and 0.95, and PathLimits::initialStep 0.01, are
// the single-precision values (double{0.8f} = 0.800000011920929...) that its first implementation
// computed with; widened exactly, they keep every path, and so every output, bit for bit as before.
inline constexpr RouteConstants kTotalDegreeRoute{
    .target = 1.0,
    .firstStepFromDistance = false,
    .firstStepLaterFactor = 15.0,
    .limitAfterFirstStep = false,
    .raisedCorrectionLimit = double{0.8f},
    .raiseSwitch = double{0.9999f},
    .raiseNormFactor = 100.0,
    .blowUpBelow = double{0.95f},
    .distanceZones = false,
    .looseToleranceBelow = 0.9,
    .divergenceFactor = 10000.0,
    .zeroModulus = kMachineEpsilon,
    .olderDistanceFromStepsFirst = false,
    .minStepNearTarget = 1e-14,
    .divergenceNeedsBound = true,
};

// What differs between the first tracking of a path and a re-track of the path-jumping check.
struct PathLimits {
  std::int32_t stepLimit = 10000;
  double firstStepDivisor = 3.0;  // h := min(h, d / divisor) after FirstStep (polyhedral route)
  double initialStep = double{0.01f};  // first step when not taken from the distance
  // Set before every corrector call: 0.1, or the caller's 0.01 / 0.001 in a re-track. A raise by
  // the corrector applies to that call only. Were it kept for the rest of the path, a re-track
  // would after its first raise run at 0.8 or 1.0, looser than the first tracking it checks.
  double correctionLimit = 0.1;
  // Whether the corrector raises the limit close to the target for points of moderate size. A
  // re-track goes without it: only pairs ending at a well-conditioned root are re-tracked, and the
  // path to such a root needs no large correction there. A path that diverges (on the
  // total-degree route most of them do) would otherwise take its last step onto that root, as in
  // the first tracking, and stay paired with the path that belongs to it.
  bool raiseNearTarget = true;
  // Whether the corrector raises the limit for steps below 1e-4 far from the target. The rescue
  // of a lost path goes without it: where a path turns sharply its steps become tiny, and a
  // correction of up to 0.8 or 1.0 times the point then lets the corrector land on a neighbouring
  // path; the next predictions alternate between the two, and the step underflows again.
  bool raiseForTinySteps = true;
  // Whether the corrector tolerance is raised to the rounding level of the residual (see
  // RoundingFloorAt). Only the rescue of lost paths uses it: far out, the absolute tolerance can
  // lie below what any point can reach in double precision, and every step then underflows.
  bool roundingFloor = false;
  // Whether the corrector tolerance is the rounding level alone (RoundingFloorAt), however loose
  // the usual tolerance would be. The last rescue of a lost path uses it: where |y| is in the
  // thousands the usual tolerance 1e-7 sqrt(|J| |y|) accepts points whose Newton correction is a
  // percent of |y|, and a path near another one then alternates between the two.
  bool roundingLevelTolerance = false;
  // Whether the homotopy's residual is evaluated in long double (Homotopy::UseExtendedResidual);
  // the rounding level above is then that of long double. The last rescue uses it.
  bool extendedResidual = false;
  // Whether an end point beyond the divergence bound (|y| > divergenceFactor n, on the scaled
  // system, where roots are of moderate size) is refused. The last rescue refuses them: it runs
  // on paths lost far out, and its tight corrector can follow such a path into the huge,
  // ill-conditioned points near infinity that satisfy the equations to rounding.
  bool refuseBeyondDivergenceBound = false;
  // Below this step the predictor follows the tangent at the last accepted point instead of the
  // cubic through the last two (0: never). Once two accepted points close together in s lie on
  // either side of a sharp turn, the cubic through them extrapolates wildly however small the
  // step, every step is rejected and the step underflows; the tangent predicts the last point as
  // the step goes to 0, so a small enough step is always accepted.
  double tangentPredictorBelow = 0.0;
  // Path parameter at which the path's point is recorded for the jump check (see
  // tracker/jumps/path_waypoint.h); negative: none. Only first trackings of the total-degree route
  // record one: there every path is a distinct regular solution of H(y, t) = 0 for t < 1.
  double waypoint = -1.0;
  // Whether a path given up close to the target tries Newton on the target from its last point,
  // and the verdict "tends to infinity" waits for a point beyond the divergence bound (see
  // tracker/path/end_polish.h). First trackings only.
  bool polishNearTarget = false;
  // Whether a path that ends close to the target without an accepted regular end point gets the
  // Cauchy end game (tracker/endgame/end_game.h). First trackings only: a re-track that fails there
  // again would only repeat the same loops.
  bool cauchyEndGame = false;
};

// The limits of the first tracking of a path: polish near the target, and record the point at
// `waypoint` for the jump check (negative: none).
inline PathLimits FirstTrackingLimits(double waypoint = -1.0) {
  PathLimits limits;
  limits.waypoint = waypoint;
  limits.polishNearTarget = true;
  limits.cauchyEndGame = true;
  return limits;
}

}  // namespace zormix

#endif  // ZORMIX_TRACKER_PATH_TRACKER_PARAMETERS_H_
