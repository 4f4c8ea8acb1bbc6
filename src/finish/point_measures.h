// How well an end point is conditioned and how far Newton's step moves it, in units of its own.
#ifndef ZORMIX_FINISH_POINT_MEASURES_H_
#define ZORMIX_FINISH_POINT_MEASURES_H_

#include "finish/scaled_jacobian.h"
#include "model/normal_form.h"

namespace zormix {

// Scale-invariant condition number of the unscaled system at x:
//   kappa_s = ||A||_inf ||A^-1||_inf,  A = diag(1/s_i) J(x) diag(c_j)
// in the point's units (scaled_jacobian.h). It does not change when an equation is multiplied by
// a constant or a variable is rescaled, so a badly scaled system (coefficients over many orders of
// magnitude, roots near 1e4) keeps its regular roots well conditioned, while a point on a
// positive-dimensional component or a multiple root keeps a singular A (katsura-8 has regular
// roots with coordinates of 1e-18 and plain condition numbers of 100). Also measured: the Newton
// step delta = J^-1 F = diag(c) A^-1 diag(1/s) F relative to the point,
// max_j |delta_j| / max(|x_j|, floor max_k |x_k|) (absolute at the origin): the error of a regular
// point.
struct PointMeasures {
  double scaledCondition = 0.0;  // kUninvertible when A cannot be inverted
  double relativeStep = 0.0;     // 1 when A cannot be inverted
  // ||A^-1||: the condition against the size of the terms. Rows in units have 1-norm at most 1,
  // so it is at least kappa_s, and far above it where the whole Jacobian vanishes: at (1, 1) of
  // (x - 1)^2, (y - 1)^2, A = diag(2 (x - 1), 2 (y - 1)) / s has kappa_s near 1 while ||A^-1|| is
  // 1e15 at a point 1e-16 from the root.
  double termCondition = 0.0;  // kUninvertible when A cannot be inverted
};

// kappa_s of a matrix without an inverse.
inline constexpr double kUninvertible = 1e300;

// In the point's units (UnitsAt, floor finish.coordinate_floor); where that gives kappa_s above
// finish.well_conditioned and the point has coordinates that those units take for zeros, measured
// again with every nonzero coordinate as its own unit, which counts when Newton's step changes
// each coordinate by at most finish.resolved_step of itself (the coordinates are genuine, known to
// full relative accuracy: i1 has roots with coordinates from 3e-11 to 4e11, kappa_s 100 so
// measured, 1e14 with the small ones taken as zero; rounding noise around an exact zero moves by
// its own size).
PointMeasures MeasurePoint(const NormalForm& system, const Complex* x);
// The same with what the units derive from the system alone derived once (the end points of one
// solve): the same measures, bit for bit.
PointMeasures MeasurePoint(const UnitsEvaluation& evaluation, const Complex* x);

// The measures in the given units; a coordinate's step is measured against
// max(|x_j|, floor max_k |x_k|).
PointMeasures MeasureInUnits(const NormalForm& system, const PointUnits& units, const Complex* x,
                             double floor);
PointMeasures MeasureInUnits(const UnitsEvaluation& evaluation, const PointUnits& units,
                             const Complex* x, double floor);

}  // namespace zormix

#endif  // ZORMIX_FINISH_POINT_MEASURES_H_
