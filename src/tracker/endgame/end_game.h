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

#include "tracker/parameters.h"
#include "tracker/path/path_state.h"

namespace zormix {

// The end game's thresholds, each a parameter of the registry (tracker/parameters.h; the comment
// gives its name). The most loops at a radius is no parameter: checkpoints store winding numbers
// up to maxRaisedWindingNumber.
struct EndGameParameters {
  const Parameter& valuationZone;            // tracker.valuation_zone
  const Parameter& divergingValuation;       // tracker.diverging_valuation
  const Parameter& valuationAgreement;       // tracker.valuation_agreement
  const Parameter& valuationSpan;            // tracker.valuation_span
  const Parameter& infinityNorm;             // tracker.infinity_norm
  const Parameter& tightValuationAgreement;  // tracker.tight_valuation_agreement
  const Parameter& tightValuationSpans;      // tracker.tight_valuation_spans
  const Parameter& extrapolationRatio;       // tracker.extrapolation_ratio
  const Parameter& growthAgreement;          // tracker.growth_agreement
  const Parameter& steadyGrowthZone;         // tracker.steady_growth_zone
  const Parameter& steadyGrowthNorm;         // tracker.steady_growth_norm
  const Parameter& underflowSpan;            // tracker.underflow_span
  const Parameter& underflowTightSpans;      // tracker.underflow_tight_spans
  const Parameter& cauchyRadius;             // tracker.cauchy_radius
  const Parameter& radiusRatio;              // tracker.radius_ratio
  const Parameter& radiusCount;              // tracker.radius_count
  const Parameter& samplesPerLoop;           // tracker.samples_per_loop
  const Parameter& firstRadiusLoops;         // tracker.first_radius_loops
  const Parameter& convergenceRatio;         // tracker.convergence_ratio
  const Parameter& ratioAgreement;           // tracker.ratio_agreement
  const Parameter& convergedTail;            // tracker.converged_tail
  const Parameter& loopClosure;              // tracker.loop_closure
  const Parameter& estimateAgreement;        // tracker.estimate_agreement
  const Parameter& fallbackAgreement;        // tracker.fallback_agreement
  const Parameter& principalAgreement;       // tracker.principal_agreement
  const Parameter& principalDominance;       // tracker.principal_dominance
  const Parameter& walkAccuracy;             // tracker.walk_accuracy
  const Parameter& minWalkStep;              // tracker.min_walk_step
  const Parameter& stepBudget;               // tracker.end_game_step_budget
  const Parameter& rootResidual;             // tracker.root_residual
  const Parameter& singularPivotRatio;       // tracker.singular_pivot_ratio
  const Parameter& quickNewtonSteps;         // tracker.quick_newton_steps
  const Parameter& quickNewtonAccuracy;      // tracker.quick_newton_accuracy
  int maxWindingNumber;                      // (x-1)^5; (y-2)^3 needs 15 loops
  // The most loops at a radius where the path's points at the radii before converge as slowly as
  // a cycle of more than maxWindingNumber loops (x^131 needs 131): the multiplicity of a root
  // that one unknown of degree 1000 can reach.
  int maxRaisedWindingNumber;
};
inline constexpr EndGameParameters kEndGame{tracker::kValuationZone,
                                            tracker::kDivergingValuation,
                                            tracker::kValuationAgreement,
                                            tracker::kValuationSpan,
                                            tracker::kInfinityNorm,
                                            tracker::kTightValuationAgreement,
                                            tracker::kTightValuationSpans,
                                            tracker::kExtrapolationRatio,
                                            tracker::kGrowthAgreement,
                                            tracker::kSteadyGrowthZone,
                                            tracker::kSteadyGrowthNorm,
                                            tracker::kUnderflowSpan,
                                            tracker::kUnderflowTightSpans,
                                            tracker::kCauchyRadius,
                                            tracker::kRadiusRatio,
                                            tracker::kRadiusCount,
                                            tracker::kSamplesPerLoop,
                                            tracker::kFirstRadiusLoops,
                                            tracker::kConvergenceRatio,
                                            tracker::kRatioAgreement,
                                            tracker::kConvergedTail,
                                            tracker::kLoopClosure,
                                            tracker::kEstimateAgreement,
                                            tracker::kFallbackAgreement,
                                            tracker::kPrincipalAgreement,
                                            tracker::kPrincipalDominance,
                                            tracker::kWalkAccuracy,
                                            tracker::kMinWalkStep,
                                            tracker::kEndGameStepBudget,
                                            tracker::kRootResidual,
                                            tracker::kSingularPivotRatio,
                                            tracker::kQuickNewtonSteps,
                                            tracker::kQuickNewtonAccuracy,
                                            16,
                                            1000};

// After an accepted step within tracker.valuation_zone: estimates the valuations, keeps the point
// as the end game's start while the distance is above tracker.cauchy_radius (and the first one
// below), and gives the path up as diverging (st.valuation set) once the estimates prove it
// (ObserveValuation, tracker/endgame/valuation_history.h).
void WatchEndGame(PathState& st, const PathContext& ctx);

// The Cauchy end game from the start point kept by WatchEndGame. On success st.y is the end point
// (scaled variables), st.windingNumber its winding number, and true is returned; st.y is left as
// it was otherwise. Needs the target's evaluation in ctx for the final residual test.
// When no loop closes (winding numbers beyond the bound, or an end point on a solution set, where
// the loops are ill-conditioned) but the path's points at the radii r, r/10, ... converge, the
// extrapolated limit of those points is the end point, with st.windingNumber 0 (unknown): the
// classification of end points decides what it is.
// A path given up before (st.failed()) whose loops at three radii in a row close with one winding
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
