// Regular and singular roots, their multiplicities, and the accounting of every path.
#ifndef ZORMIX_REPORT_CLASSIFY_H_
#define ZORMIX_REPORT_CLASSIFY_H_

#include "model/normal_form.h"
#include "zormix/result.h"

namespace zormix {

// Scale-invariant condition number of the unscaled system at x:
//   kappa_s = ||A||_inf ||A^-1||_inf,  A = diag(1/s_i) J(x) diag(c_j),
// s_i = max(sum_t |a_t| |x^e_t|, sum_j |J|(i,j) c_j) with |J| the Jacobian of the system with
// coefficients |a_t| at |x| (the size of equation i's terms and of their first-order change: an
// equation whose terms all vanish at x keeps the scale of its derivatives), and
// c_j = |x_j|, or M = max_k |x_k| for a numerically zero coordinate (|x_j| <= 1e-10 M; 1 at the
// origin): such a coordinate is rounding noise around an exact zero and has no scale of its own
// (katsura-8 has regular roots with coordinates of 1e-18 and plain condition numbers of 100). It
// does not change when an equation is multiplied by a constant or a variable is rescaled, so a
// badly scaled system (coefficients over many orders of magnitude, roots near 1e4) keeps its
// regular roots well conditioned, while a point on a positive-dimensional component or a multiple
// root keeps a singular A. Also measured: the Newton step delta = J^-1 F = diag(c) A^-1 diag(1/s) F
// relative to the point, max_j |delta_j| / max(|x_j|, 1e-6 max_k |x_k|) (absolute at the
// origin): the error of a regular point.
struct PointMeasures {
  double scaledCondition = 0.0;  // 1e300 when A cannot be inverted
  double relativeStep = 0.0;     // 1 when A cannot be inverted
};
PointMeasures MeasurePoint(const NormalForm& system, const Complex* x);

// The rule. End points are grouped when they coincide: |x_j - y_j| <= tau * max(|x_j|, |y_j|,
// 1e-6 max_k max(|x_k|, |y_k|)) for every j, with
//   tau = min(1e-5, max(1e-10, 1e-14 kappa_s, 100 relativeStep))
// of either point: the distance allowed grows with the error a point carries (its Newton step,
// or kappa_s eps), up to the accuracy eps^(1/3) of a triple root. A root is singular when its group
// has more than one end point, its Jacobian is numerically zero, or kappa_s > 1e12. Otherwise it
// is regular when kappa_s <= 1e6, and between the two when Krawczyk's interval test (certify.h)
// proves a unique root near it, which makes it regular by proof: every Jacobian in the box is
// invertible. Evidence for the thresholds (seeds 1 and 2): the regular roots of cyclic-5..8,
// katsura-6..10, noon-5..7, eco-8..11 and of the badly scaled cohn3 (raw condition numbers up to
// 4e8) have kappa_s <= 3.5e4; the end points on the positive-dimensional components of cyclic-4
// and cyclic-8 have kappa_s >= 1.8e8, where Krawczyk's test fails. Between 1e6 and 1e12 the test
// decides, so the classification does not hinge on one number; it runs on those points only.
// Every column stays in `roots`; each group is one root whose leader is its first column and
// whose multiplicity is the group's size.
//
// Accounting: paths with status diverged are at infinity; every other path without an accepted
// end point (step underflow, step limit, refused at target, re-track failed, singular end: none
// of them left a point to classify) is failed. Then
//   regular + sum of the multiplicities of the singular roots + atInfinity + failed = pathCount.
//
// Fills rootStatus, scaledConditionNumbers, multiplicity, groupLeader and classes of `result`
// from its roots, zeroJacobian, isReal, counts and lostPaths. Deterministic; draws nothing.
void ClassifyRoots(const NormalForm& system, SolveResult& result);

}  // namespace zormix

#endif  // ZORMIX_REPORT_CLASSIFY_H_
