// Newton's method in double-double, for roots whose conditioning long double cannot resolve.
#ifndef ZORMIX_FINISH_DD_NEWTON_H_
#define ZORMIX_FINISH_DD_NEWTON_H_

#include <optional>
#include <span>
#include <vector>

#include "model/normal_form.h"
#include "model/system_eval.h"

namespace zormix {

// Condition beyond which double-double leaves no correct digit to converge in (u = 4.9e-32).
inline constexpr double kResolvableInDoubleDouble = 1e28;

struct DoubleDoubleNewton {
  bool quadratic = false;     // converged quadratically to a regular root
  std::vector<Complex> root;  // the last iterate rounded to double (when quadratic)
  // ||A^-1||_inf at the start and at the root, A = diag(1/s) J diag(c) in the point's units
  // (c_j = |x_j|, floored at 1e-10 max_k |x_k|; s_i = the size of equation i's terms and of
  // their first-order change). Since ||A||_inf <= 1 it bounds the scaled condition number, and
  // u ||A^-1|| is the relative error the rounding of the evaluation leaves in a Newton step:
  // for one variable the scaled condition is 1, while this is the root's condition with respect
  // to its coefficients (5e13 for the root 15 of Wilkinson's polynomial of degree 20).
  double startCondition = 0.0;
  double rootCondition = 0.0;
};

// Newton's method in double-double from x on `system` (its coefficients as given). Quadratic
// convergence: within 10 steps a step (relative, in the point's units) falls below the accuracy
// the root allows, 10 u kappa (kappa = startCondition), every step above it is at most a quarter
// of the one before, and when kappa > 1e6 not already the first. At a singular root each step is
// at least half the one before. A
// point near a positive-dimensional set converges quadratically too, onto the set, where the
// Jacobian is singular: so the root's condition must also stay below kResolvableInDoubleDouble
// and within a factor 1000 of the start's, as it does at a regular root, whose Jacobian is
// invertible and varies little over the distance Newton moves.
DoubleDoubleNewton NewtonInDoubleDouble(const SystemView& system,
                                        std::span<const std::int32_t> maxDegree, const Complex* x);
DoubleDoubleNewton NewtonInDoubleDouble(const NormalForm& system, const Complex* x);

// Whether Newton's method converges quadratically in double-double from x (the classification of
// a point long double cannot decide); on success `value` receives the root rounded to double.
bool ConvergesInDoubleDouble(const NormalForm& system, const Complex* x,
                             std::vector<Complex>* value);

// One unknown: Newton's steps in double-double from x while none is above twice the one before,
// at most 12 and moving at most 4 first steps in all, until the next step is below 1e-3 of the
// point; the point then (from where ConvergesInDoubleDouble sees the quadratic contraction), or
// none (also when x is that close already). It brings an end point that double tracking left well
// off an ill-conditioned root (Wilkinson's polynomial of degree 24 in double: 0.2 to 0.6 away,
// first steps 0.2 to 0.7) into the region where the quadratic test applies. Roots in `avoid` are
// deflated away (Maehly): a second end point drawn to a root another one holds goes on to one of
// its own.
std::optional<Complex> SearchRootInDoubleDouble(const NormalForm& system, Complex x,
                                                std::span<const Complex> avoid = {});

}  // namespace zormix

#endif  // ZORMIX_FINISH_DD_NEWTON_H_
