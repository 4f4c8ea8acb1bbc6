// The end game: what becomes of a path close to the target.
//
// Diverging paths are recognised by the valuations of their coordinates. Near the target a path is
// a Puiseux series y_j(d) = c_j d^{v_j} (1 + O(d^{1/m})) in the distance d to the target, so
//   v_j(d) = Re(d y_j'(d) / y_j) = Re(d (J^{-1} dH/dp)_j / y_j)
// tends to the valuation v_j, and one linear solve with the Jacobian the corrector left gives it.
// A coordinate whose estimate stays below -divergingValuation over a span of distances while |y|
// is beyond any root's size heads to infinity: stewgou40's 1,496 such paths show v = -1.00 +- 0.01
// from d = 1e-2 on, where the step size used to underflow only near d = 1e-5, with |y| ~ 3e5.
// Tracking in a projective patch would bring those paths to finite points at infinity too, but it
// would change the evaluation of every path; the valuations cost one solve per step close to the
// target and leave every path that reaches a regular root bit for bit as it was.
//
// End points that are not regular are computed by the Cauchy end game. Around the target the
// path's values y(d e^{i theta}) for theta in [0, 2 pi m) return to their start after m loops
// (m the winding number), and by Cauchy's integral formula in s = d^{1/m} their mean over the m
// loops is y(0). With N equally spaced samples per loop the trapezoidal mean is exact up to the
// terms s^{kNm} of the series, so the error is that of the sampled points alone. The estimate
// is accepted when two radii a decade apart agree.
#ifndef ZORMIX_TRACKER_ENDGAME_END_GAME_H_
#define ZORMIX_TRACKER_ENDGAME_END_GAME_H_

#include <cstdint>

#include "tracker/path/path_state.h"

namespace zormix {

struct EndGameParameters {
  double valuationZone = 1e-2;       // distance to the target from which valuations are estimated
  double divergingValuation = 0.05;  // an estimate below -this says "to infinity"
  double valuationAgreement = 0.05;  // relative agreement of estimates a span apart
  double valuationSpan = 4.0;        // ratio of the distances of the two estimates compared
  double infinityNorm = 1e4;         // |y| (scaled variables) beyond which no root is expected
  double tightValuationAgreement = 0.02;  // relative agreement of a slow divergence's estimates
  int tightValuationSpans = 4;            // ... over this many spans in a row
  double extrapolationRatio =
      0.9;                         // estimates converging slower than this a span: not extrapolated
  double growthAgreement = 0.1;    // total degree: |y| must grow like d^v to this relative accuracy
  double steadyGrowthZone = 1e-6;  // steady growth over two spans proves divergence within it
  double steadyGrowthNorm = 1e2;   // ... and beyond this |y| (scaled variables)
  double underflowSpan =
      2.0;  // ratio of distances over which an underflowed path's estimates agree
  int underflowTightSpans = 2;  // ... or spans in a row over which its extrapolated limit kept
  double cauchyRadius = 1e-3;   // radius of the first loops
  double radiusRatio = 0.1;     // each further radius is this times the last
  int radiusCount = 6;          // radii tried
  int samplesPerLoop = 16;
  int maxWindingNumber = 16;         // (x-1)^5; (y-2)^3 needs 15 loops
  int firstRadiusLoops = 4;          // loops tried at the first radius
  double convergenceRatio = 0.95;    // radial steps shrinking slower than this a radius: no limit
  double ratioAgreement = 0.1;       // relative agreement of the shrink ratios of two radii
  double convergedTail = 1e-3;       // the extrapolated rest of the path relative to max(1, |y|)
  double loopClosure = 1e-7;         // relative distance at which a loop is back at its start
  double estimateAgreement = 1e-9;   // relative agreement of the estimates of two radii
  double fallbackAgreement = 1e-8;   // the loosest agreement accepted after all radii
  double principalAgreement = 1e-3;  // relative agreement of a Laurent coefficient at two radii
  double principalDominance = 0.1;   // its term on the inner loop relative to max(1, |y|)
  double walkAccuracy = 1e-13;       // Newton on a loop point stops below this relative correction
  double minWalkStep = 1e-9;         // relative to the length of the arc walked
  std::int32_t stepBudget = 1500;    // corrected steps of one end game, all radii together
  double rootResidual = 1e-8;  // residual of an end point relative to its terms floored at |y| = 1
  double singularPivotRatio = 1e8;
  int quickNewtonSteps = 3;
  double quickNewtonAccuracy =
      1e-13;  // max |R_ii| / min |R_ii| beyond which an end point is refined
};
inline constexpr EndGameParameters kEndGame{};

// After an accepted step within kEndGame.valuationZone: estimates the valuations, keeps the point
// as the end game's start while the distance is above kEndGame.cauchyRadius (and the first one
// below), and gives the path up as diverging (st.valuation set) once the estimates prove it.
void WatchEndGame(PathState& st, const PathContext& ctx);

// Forgets the estimates of the run: the path's estimates turned non-negative, or a path begins.
void ResetValuationRun(PathState& st);

// Whether the valuation estimates of a path whose step underflowed prove it diverging: the latest
// estimate agrees within kEndGame.tightValuationAgreement with an earlier one of its run of
// negative estimates taken at least kEndGame.underflowSpan times farther from the target, and
// max |y_j| grew like d^v in between; or the extrapolated limit of the estimates kept over
// kEndGame.underflowTightSpans spans in a row and max |y_j| grew like d^v over the last two; or
// max |y_j| grew over the last two spans with agreeing exponents, the latest estimate's; or the
// last two spans' estimates agree so (the latest one, taken where the step then collapsed, may
// be off by the Jacobian's condition times the unit roundoff); or max |y_j| grew at one rate
// over the last three spans and on to the latest point, within kEndGame.steadyGrowthZone.
// Such paths lose the step because the terms of the equations (|y|^degree) have outgrown what
// double precision resolves, not because the path is lost. The exponent that proved it goes to
// *valuation (when given): the agreeing estimate, the extrapolated limit, or the rate at which
// the sizes grew.
bool ValuationsProveDivergence(const PathState& st, double* valuation = nullptr);

// The Cauchy end game from the start point kept by WatchEndGame. On success st.y is the end point
// (scaled variables), st.windingNumber its winding number, and true is returned; st.y is left as
// it was otherwise. Needs the target's evaluation in ctx for the final residual test.
// When no loop closes (winding numbers beyond the bound, or an end point on a solution set, where
// the loops are ill-conditioned) but the path's points at the radii r, r/10, ... converge, the
// extrapolated limit of those points is the end point, with st.windingNumber 0 (unknown): the
// classification of end points decides what it is.
// A path given up before (st.failed) whose loops at three radii in a row close with one winding
// number and show a stable coefficient of a negative power in its Puiseux series
// (principal_part.h) goes to infinity: st.failure becomes PathFailure::kDiverged with st.valuation
// the valuation proved, st.y is left as it was, and false is returned.
bool RunCauchyEndGame(PathState& st, const PathContext& ctx);

// Whether Newton's method on the target from st.y reaches a correction below
// kEndGame.quickNewtonAccuracy relative to the point within kEndGame.quickNewtonSteps steps
// (st.y is moved).
bool NewtonConvergesQuickly(PathState& st, const PathContext& ctx);

// Whether the target's Jacobian J at an accepted end point is so ill-conditioned (by the pivots
// of its QR factorisation, max(1, max |R_ii|) > singularPivotRatio min |R_ii|) that the point is
// taken for a singular one.
bool LooksSingular(const ColMajorMatrix<Complex>& J, ColMajorMatrix<Complex>& work);

}  // namespace zormix

#endif  // ZORMIX_TRACKER_ENDGAME_END_GAME_H_
