// The path loop: start correction, first step, then predict, correct, end game, step control.
#include <algorithm>
#include <cmath>

#include "tracker/endgame/divergence_check.h"
#include "tracker/endgame/end_game.h"
#include "tracker/jumps/path_waypoint.h"
#include "tracker/path/end_polish.h"
#include "tracker/path/path_state.h"
#include "tracker/path/path_steps.h"
#include "tracker/tracking.h"

namespace zormix {

using namespace path_steps;

namespace {

// The exponent of the growth of max |y_j| from `from` to `to`: log(|y_to| / |y_from|) /
// log(d_to / d_from).
double SizeExponent(const ValuationSample& from, const ValuationSample& to) {
  return std::log(to.norm / from.norm) / std::log(to.distance / from.distance);
}

// Whether the sizes of a path in a run of negative estimates grew faster over its last span than
// over the span before, beyond kEndGame.growthAgreement. Where the path approaches a point, or a
// set it creeps along, the exponents keep their rate or shrink towards 0 (|y| - |y*| ~ c d^{1/m});
// a path that turns towards infinity speeds up (|y| ~ 0.5 + d^{-1/2}: -0.12, then -0.17).
bool SizesGrowFaster(const ValuationHistory& h) {
  const bool latestBeyond = h.latest.distance > 0.0 && h.latest.distance < h.reference.distance;
  const ValuationSample& first = latestBeyond ? h.earlier : h.oldest;
  const ValuationSample& middle = latestBeyond ? h.reference : h.earlier;
  const ValuationSample& last = latestBeyond ? h.latest : h.reference;
  if (!(first.distance > 0.0 && middle.distance > 0.0 && last.distance > 0.0)) return false;
  const double before = SizeExponent(first, middle);
  return SizeExponent(middle, last) < before - kEndGame.growthAgreement * std::abs(before);
}

// Whether a path whose step underflowed within tracker.hand_over_distance of the target may be
// handed over as approaching a set. Without a run of negative estimates it may. With one, only
// while its sizes neither prove a divergence (growth_record.h: one coordinate grew and another
// shrank steadily over the last decades, cyclic-8's paths to infinity by total degree with
// exponents -0.12 to -0.2, refused as end points) nor speed up their growth. redcyc8's paths that
// creep along its sets by total degree grow at one rate, d^-0.05 to d^-0.1, and prove nothing;
// handed over, their last points lie on the sets (residues below 1e-5).
bool UnderflowApproachesSet(const PathState& st) {
  if (st.valuations.runStart.distance == 0.0) return true;
  return !(st.growth.ProvenExponent() < 0.0) && !SizesGrowFaster(st.valuations);
}

// A path given up as tending to zero with a fractional power (some coordinates ~ d^p, 0 < p < 1,
// others converging), whose end game found no closing loops (winding numbers beyond its bound, or
// loops too ill-conditioned near a positive-dimensional set) and whose polish found no new root:
// its last accepted point, within tracker.hand_over_distance of the target, is handed over as its
// end point (winding number 0, unknown). It lies near the set in the coordinate subspace that the
// path approaches, and the classification decides what it is (finish/local_dimension.h); the path
// is no longer counted failed for want of a verdict.
bool HandOverApproach(PathState& st, const PathContext& ctx) {
  // A step underflow as close to the target, with no coordinate heading to infinity, is such a path
  // too: its last steps were refused where the set makes the corrector ill-conditioned.
  const bool nearSet = st.failure == PathFailure::kStepUnderflow &&
                       Distance(st, *ctx.route) <= tracker::kHandOverDistance &&
                       UnderflowApproachesSet(st);
  if (!ctx.limits.cauchyEndGame || (st.failure != PathFailure::kSingularEnd && !nearSet) ||
      st.hasPolished || !AllFinite(st.yCur))
    return false;
  st.y = st.yCur;
  st.windingNumber = 0;
  st.reachedByEndGame = true;
  return true;
}

// A path whose step underflowed, whose end game found neither an end point nor a proof, and whose
// polish found no root, yet whose sizes grew steadily over the last decades of the distance, goes
// to infinity (tracker/endgame/growth_record.h): its verdict, with the exponent of the latest span.
void ProveGrowthToInfinity(PathState& st) {
  if (st.failure != PathFailure::kStepUnderflow || st.hasPolished) return;
  const double exponent = st.growth.ProvenExponent();
  if (!(exponent < 0.0)) return;
  SetVerdict(st, PathFailure::kDiverged, exponent);
}

// An accepted end point whose Jacobian looks singular is replaced by the Cauchy end game's when
// the path winds around the target (a root of multiplicity m >= 2, where Newton's method converges
// only linearly and stops far from the root); a regular end keeps Newton's point.
// Without the end game (a re-track) a singular end keeps winding number 0, unknown: 1 would say
// an ordinary end point, and contradict the cycle of the root's other paths (3, 3, 1 at a triple
// root).
void RefineSingularEnd(PathState& st, const PathContext& ctx) {
  st.windingNumber = 1;
  if (!LooksSingular(st.jacobian, st.scratch.jacobianCopy)) return;
  const std::vector<Complex> accepted = st.y;
  // Pivots alone misjudge a regular root whose coordinates are of very different sizes; Newton
  // converging to full accuracy in a few steps shows it regular (a singular root converges only
  // linearly from the point the path arrived at).
  if (NewtonConvergesQuickly(st, ctx)) {
    st.y = accepted;
    return;
  }
  st.y = accepted;
  st.windingNumber = 0;
  if (!ctx.limits.cauchyEndGame) return;
  // Newton's point stays where the end game found no loops either (winding number 0 or 1).
  if (RunCauchyEndGame(st, ctx) && st.windingNumber <= 1) st.y = accepted;
}

// Keeps the valuations of a failed path at its last accepted point (yCur at st.s: a rejected
// step has taken s back there, an accepted one has moved yCur to it), from a fresh tangent: the
// verdicts are made from estimates of the smallest coordinate alone, or from sizes.
void NoteFailureDirection(PathState& st, const PathContext& ctx) {
  st.failureDirection.clear();
  const double d = Distance(st, *ctx.route);
  if (!(d > 0.0) || !AllFinite(st.yCur)) return;
  ColMajorMatrix<Complex> jacobian(st.n, st.n);
  std::vector<Complex> residual(st.n), tangent(st.n);
  ctx.homotopy->Evaluate(st.yCur.data(), st.s, jacobian, residual.data(), tangent.data());
  SolveLinearComplex(jacobian, tangent.data());
  for (Complex& entry : tangent) entry = -entry;  // dy/dp = -J^{-1} dH/dp
  st.failureDirection = ValuationDirection(st.yCur, tangent, d);
}

// A verdict "tends to infinity" in a direction where some equation has a single dominant term is
// impossible (divergence_check.h): the tracker lost the path there (near a root of condition
// 1e16, dy/dp grows as a pole's does), and it is counted as such, for a re-track.
void RefuteImpossibleDivergence(PathState& st, const PathContext& ctx) {
  if (st.failure != PathFailure::kDiverged || st.failureDirection.empty()) return;
  if (DivergenceDirectionPossible(ctx.target, ctx.startDegrees, st.failureDirection)) return;
  SetVerdict(st, PathFailure::kStepUnderflow, 0.0);
}

bool TrackPathOnce(PathState& st, const PathContext& ctx, const Complex* start, double s0,
                   std::int64_t& blowUpCount) {
  const RouteConstants& route = *ctx.route;
  ctx.homotopy->UseExtendedResidual(ctx.limits.extendedResidual);
  st.Reset(start, s0, ctx.limits);
  CorrectStartPoint(st, ctx);
  FirstStep(st, ctx);
  if (ctx.StopRequested()) return false;
  if (route.limitAfterFirstStep)
    st.stepSize = std::min(st.stepSize, Distance(st, route) / ctx.limits.firstStepDivisor);
  if (!st.failed()) st.tolerance = ToleranceAt(st.jacobian, st.y);
  while (!st.failed() && !st.atEnd) {
    if (st.finalStep) st.atEnd = true;
    PredictHermite(st, *ctx.homotopy, ctx.limits.tangentPredictorBelow);
    st.correctionLimit = ctx.limits.correctionLimit;
    CorrectNewton(st, ctx, blowUpCount);
    const double d = Distance(st, route);
    if (!st.rejected && d != 0.0 && d < kTrackerParameters.endGameZone) CheckEndGame(st, route);
    if (!st.rejected && !st.atEnd) {
      ControlStep(st, route);
      RecordWaypoint(st, ctx);
      WatchEndGame(st, ctx);
      st.growth.Observe(Distance(st, route), st.y);
    }
    if (st.steps > ctx.limits.stepLimit) Fail(st, PathFailure::kStepLimit);
    // Abandoned after any step, the last one too (what follows it costs a few evaluations more):
    // the caller discards the path (StopRequest).
    if (ctx.StopRequested()) return false;
  }
  if (st.failed()) NoteFailureDirection(st, ctx);
  if (st.failure == PathFailure::kStepUnderflow) {
    if (const std::optional<DivergenceProof> proof = ProveDivergenceAfterUnderflow(st.valuations))
      SetVerdict(st, PathFailure::kDiverged, proof->exponent);
  }
  // A verdict of the size tests (CheckEndGame) carries the latest estimate too.
  if (st.failure == PathFailure::kDiverged && st.valuation == 0.0 &&
      st.valuations.latest.distance > 0.0)
    SetVerdict(st, PathFailure::kDiverged, st.valuations.latest.value);
  // The verdict stands whatever came after it: the path yields at most a new polished root. A
  // divergence proved beyond the bound later on outranks an earlier "tends to zero", which the
  // coordinates that shrink as others grow can show (fbremb2's paths to infinity by total degree).
  if (st.divergenceDeferred && st.failure != PathFailure::kDiverged) {
    // A path that arrived at the target is polished from there: a root reached only at the very
    // end (1 - t ~ 1e-12 for |x| = 1e3 and valuation -1/4) is still far from the last point before.
    if (!st.failed() && st.atEnd) st.yCur = st.y;
    SetVerdict(st, st.deferredVerdict, st.valuation);
  }
  RefuteImpossibleDivergence(st, ctx);
  if (st.failed() || !st.atEnd) {
    if (ctx.limits.cauchyEndGame && st.failure != PathFailure::kDiverged &&
        RunCauchyEndGame(st, ctx)) {
      st.reachedByEndGame = true;
      return true;
    }
    PolishNearTarget(st, ctx);
    if (HandOverApproach(st, ctx)) return true;
    ProveGrowthToInfinity(st);
    return false;
  }
  // A point that left the finite numbers is never recorded, whatever the residual test says.
  if (ctx.limits.refuseBeyondDivergenceBound && MaxNorm(st.y) > route.divergenceFactor * st.n)
    return false;
  const bool accepted = AcceptAtTarget(st, ctx) && AllFinite(st.y);
  if (ctx.StopRequested()) return false;
  if (!accepted) {
    if (!ctx.limits.cauchyEndGame) return false;
    // The point the path arrived with: a refused Newton's method leaves st.y at its last iterate,
    // which went the wrong way (its residual did not halve).
    const std::vector<Complex> arrival = st.scratch.arrival;
    if (RunCauchyEndGame(st, ctx)) return st.reachedByEndGame = true;
    // Arrived, but no root and no loops: a point near a solution set (fourbar: 0.2 from the
    // plane X2 = -i X1, Y2 = -i Y1). Handed over with winding number 0, unknown: classification
    // finds the set, or finishing refuses the point as before.
    if (!AllFinite(arrival)) return false;
    st.y = arrival;
    st.windingNumber = 0;
    return st.reachedByEndGame = true;
  }
  RefineSingularEnd(st, ctx);
  return true;
}

}  // namespace

bool TrackPath(PathState& st, const PathContext& ctx, const Complex* start, double s0,
               std::int64_t& blowUpCount) {
  const bool accepted = TrackPathOnce(st, ctx, start, s0, blowUpCount);
  // The end game's loops may prove a pole after the check above: every verdict passes it.
  if (!accepted) RefuteImpossibleDivergence(st, ctx);
  return accepted;
}

}  // namespace zormix
