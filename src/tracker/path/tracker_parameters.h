// The numbers that steer a path: the tracker's tolerances and limits, where the two routes differ,
// and what differs between a first tracking and a re-track.
#ifndef ZORMIX_TRACKER_PATH_TRACKER_PARAMETERS_H_
#define ZORMIX_TRACKER_PATH_TRACKER_PARAMETERS_H_

#include <cstdint>

#include "tracker/parameters.h"

namespace zormix {

// The tolerances and limits shared by every path of both routes (tracker/parameters.h).
struct TrackerParameters {
  const Parameter& correctorToleranceFactor;  // tracker.corrector_tolerance_factor
  const Parameter& startResidual;             // tracker.start_residual
  const Parameter& startIterationCap;         // tracker.start_iteration_cap
  const Parameter& minFirstStep;              // tracker.min_first_step
  const Parameter& minStep;                   // tracker.min_step
  const Parameter& smallStep;                 // tracker.small_step
  const Parameter& endGameZone;               // tracker.end_game_zone
  const Parameter& exponentZone;              // tracker.exponent_zone
};
inline constexpr TrackerParameters kTrackerParameters{tracker::kCorrectorToleranceFactor,
                                                      tracker::kStartResidual,
                                                      tracker::kStartIterationCap,
                                                      tracker::kMinFirstStep,
                                                      tracker::kMinStep,
                                                      tracker::kSmallStep,
                                                      tracker::kEndGameZone,
                                                      tracker::kExponentZone};

// Where the two routes' trackers differ. The path loop measures the remaining distance as
// d = target - p (exactly -s on the polyhedral route, 1 - t on the total-degree route); thresholds
// that the routes state on the parameter itself are kept on p. Each threshold is a parameter of
// the route (tracker.polyhedral.<what>, tracker.total_degree.<what>).
struct RouteConstants {
  double target;                           // p at the end of the path
  bool firstStepFromDistance;              // FirstStep starts with h = d/3 (else the given step)
  const Parameter& firstStepLaterFactor;   // first_step_later_factor
  bool limitAfterFirstStep;                // h := min(h, d / divisor) after FirstStep
  const Parameter& raisedCorrectionLimit;  // raised_correction_limit
  const Parameter& raiseSwitch;            // raise_switch, on p
  const Parameter& raiseNormFactor;        // raise_norm_factor: small point |yPred| < it n
  const Parameter& blowUpBelow;            // blow_up_below, on p
  bool distanceZones;                      // step limits -s/3, 0.05, -s near the target
  const Parameter& looseToleranceBelow;    // loose_tolerance_below, on p
  const Parameter& divergenceFactor;       // divergence_factor: |yPrev| > it n in the end game
  const Parameter& zeroModulus;            // zero_modulus
  bool olderDistanceFromStepsFirst;        // (hl + h) + d, else (d + h) + hl
  // Within tracker.end_game_zone of the target a halved step underflows below this
  // (min_step_near_target) instead of tracker.min_step.
  const Parameter& minStepNearTarget;
  // Whether the verdict "tends to infinity" of every tracking, re-tracks too, waits for a point
  // beyond the divergence bound (divergenceFactor n); the path goes on meanwhile. A first tracking
  // defers it instead (PathLimits::polishNearTarget).
  bool divergenceNeedsBound;
};

inline constexpr RouteConstants kPolyhedralRoute{
    .target = 0.0,
    .firstStepFromDistance = true,
    .firstStepLaterFactor = tracker::kPolyhedralFirstStepLaterFactor,
    .limitAfterFirstStep = true,
    .raisedCorrectionLimit = tracker::kPolyhedralRaisedCorrectionLimit,
    .raiseSwitch = tracker::kPolyhedralRaiseSwitch,
    .raiseNormFactor = tracker::kPolyhedralRaiseNormFactor,
    .blowUpBelow = tracker::kPolyhedralBlowUpBelow,
    .distanceZones = true,
    .looseToleranceBelow = tracker::kPolyhedralLooseToleranceBelow,
    .divergenceFactor = tracker::kPolyhedralDivergenceFactor,
    .zeroModulus = tracker::kPolyhedralZeroModulus,
    .olderDistanceFromStepsFirst = true,
    .minStepNearTarget = tracker::kPolyhedralMinStepNearTarget,
    .divergenceNeedsBound = false,
};
// Some of the total-degree route's thresholds are the single-precision values (double{0.8f} =
// 0.800000011920929...) that its first implementation computed with; widened exactly, they keep
// every path, and so every output, bit for bit as before (tracker/parameters.cc).
inline constexpr RouteConstants kTotalDegreeRoute{
    .target = 1.0,
    .firstStepFromDistance = false,
    .firstStepLaterFactor = tracker::kTotalDegreeFirstStepLaterFactor,
    .limitAfterFirstStep = false,
    .raisedCorrectionLimit = tracker::kTotalDegreeRaisedCorrectionLimit,
    .raiseSwitch = tracker::kTotalDegreeRaiseSwitch,
    .raiseNormFactor = tracker::kTotalDegreeRaiseNormFactor,
    .blowUpBelow = tracker::kTotalDegreeBlowUpBelow,
    .distanceZones = false,
    .looseToleranceBelow = tracker::kTotalDegreeLooseToleranceBelow,
    .divergenceFactor = tracker::kTotalDegreeDivergenceFactor,
    .zeroModulus = tracker::kTotalDegreeZeroModulus,
    .olderDistanceFromStepsFirst = false,
    .minStepNearTarget = tracker::kTotalDegreeMinStepNearTarget,
    .divergenceNeedsBound = true,
};

// What differs between the first tracking of a path and a re-track of the path-jumping check.
struct PathLimits {
  // The most counted steps of a first tracking; no parameter, since checkpoints are checked
  // against it (the longest paths of cyclic-10 take about 1,500 steps).
  std::int32_t stepLimit = 10000;
  double firstStepDivisor = 3.0;  // h := min(h, d / divisor) after FirstStep (polyhedral route)
  double initialStep = double{0.01f};  // first step when not taken from the distance
  // Set before every corrector call: 0.1, or the caller's tighter one in a re-track. A raise by the
  // corrector applies to that call only. Were it kept for the rest of the path, a re-track would
  // after its first raise run at the raised limit, looser than the first tracking it checks.
  double correctionLimit = 0.1;
  // Whether the corrector raises the limit close to the target for points of moderate size. A
  // re-track goes without it: only pairs ending at a well-conditioned root are re-tracked, and the
  // path to such a root needs no large correction there. A path that diverges (on the
  // total-degree route most of them do) would otherwise take its last step onto that root, as in
  // the first tracking, and stay paired with the path that belongs to it.
  bool raiseNearTarget = true;
  // Whether the corrector raises the limit for steps below tracker.small_step far from the target.
  // The rescue of a lost path goes without it: where a path turns sharply its steps become tiny,
  // and a correction of up to the raised limit times the point then lets the corrector land on a
  // neighbouring path; the next predictions alternate between the two, and the step underflows
  // again.
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
