// The consistency check of every "at infinity" verdict: a path can only tend to infinity in a
// direction where the dominant terms of every equation cancel.
#ifndef ZORMIX_TRACKER_ENDGAME_DIVERGENCE_CHECK_H_
#define ZORMIX_TRACKER_ENDGAME_DIVERGENCE_CHECK_H_

#include <span>
#include <vector>

#include "model/system_eval.h"
#include "zormix/complex.h"

namespace zormix {

// Estimates above this (a coordinate that is exactly 0, or shrinks very fast) are taken as this:
// such a coordinate only makes the terms that hold it smaller, and a finite value keeps <a, w>
// finite for every term.
inline constexpr double kLargestValuation = 1e3;

// w_j = Re(d (dy_j/dd) / y_j) from the path's tangent dy/dp = -dy/dd at a point y at distance d
// from the target: the exponent of y_j ~ c_j d^{w_j} (1 + O(d^{1/m})). kLargestValuation where
// y_j = 0.
std::vector<double> ValuationDirection(std::span<const Complex> y, std::span<const Complex> dyDp,
                                       double d);

// Whether a path may tend to infinity with valuations w, each known within `error`. Close to the
// target the homotopy's coefficients tend to the target's nonzero constants, so with
// y_j ~ c_j d^{w_j} a term c_a y^a has the order d^{<a, w>}: the terms of smallest <a, w> dominate
// and must cancel, so that this minimum is attained at least twice in every equation (the
// tropical necessary condition). The check allows the error: with |w - w*| <= error for the true
// w* whose minimum is attained at a and b, the argmin a* of the estimate has a partner
// b' in {a, b} with <b' - a*, w> <= <b' - a*, w*> + |b' - a*|_1 error <= |b' - a*|_1 error; so the
// verdict is refuted only when some equation has no term b with
// <b, w> - <a*, w> <= |b - a*|_1 error. With `startDegrees` (the total-degree route, whose start
// system y_i^{D_i} - q_i enters with the factor d) equation i also holds the terms y_i^{D_i} and 1
// at order one more. An equation with a coefficient exactly 0 is not checked: that term's
// coefficient in the homotopy vanishes at the target to an order the check does not know (0 y - 1
// = 0 sends its path to infinity).
bool DivergencePossible(const SystemView& target, std::span<const std::int32_t> startDegrees,
                        std::span<const double> w, double error);

// DivergencePossible with the error tracker.valuation_error_share |min_j w_j|. The verdicts of the
// end game accept estimates that agree with each other and with the growth of |y| within 10 to
// 20 % of their smallest one (end_game.h, dd_tracker.h); the other coordinates, converging or
// shrinking, are estimated from the same tangent to the same order d^(1/m). Half the rate is well
// beyond that, and still refutes every divergence in one unknown (where the check needs the error
// below |w| itself).
bool DivergenceDirectionPossible(const SystemView& target,
                                 std::span<const std::int32_t> startDegrees,
                                 std::span<const double> w);

}  // namespace zormix

#endif  // ZORMIX_TRACKER_ENDGAME_DIVERGENCE_CHECK_H_
