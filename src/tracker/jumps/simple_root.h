// Whether a point is a simple root, decided against the size of the terms and not by a condition
// threshold: points 1e-8 off a double root of (x - 1)^2, (y - 1)^2 have a Jacobian of condition 1.
#ifndef ZORMIX_TRACKER_JUMPS_SIMPLE_ROOT_H_
#define ZORMIX_TRACKER_JUMPS_SIMPLE_ROOT_H_

#include <cstdint>
#include <span>
#include <vector>

#include "model/system_eval.h"

namespace zormix {

// Kantorovich's test in the point's own units, with Newton's method in double-double. In units
// where coordinate j counts in |x_j| (the largest modulus for an exact zero) and equation i in
// T_i = sum_t |a_t x^e_t|, the size of its terms, the Jacobian is A = diag(1/T) J diag(c), and a
// term of degree d changes A by at most d (d - 1) times a relative move of the point. With
// beta = ||A^-1||, eta the relative Newton step and K = max_i d_i (d_i - 1),
//   h = beta K eta
// below 1/2 proves a unique root within 2 eta where the Jacobian is invertible. The step is taken
// after Newton's method in double-double settled (at most 20 steps): at a regular root eta falls
// to 1e-32 beta, while at a distance r from a double root the step is r / 2 and beta at least
// 2 / (K r), so h stays at 1/2 or above however far Newton's method goes. The coefficients are
// rounded to double, which splits a double root into two simple roots 1e-8 apart: eta counts at
// least the move beta u that rounding (u = 2^-53) gives a root, and such a pair keeps h near K / 4.
// The bound K holds at the point, not over the ball, so the test asks h <= kSimpleRootBound.
inline constexpr double kSimpleRootBound = 0.25;

struct SimpleRootTest {
  bool simple = false;
  double h = 0.0;             // Kantorovich's number at the last point (infinite: no inverse)
  std::vector<Complex> root;  // Newton's last point, rounded to double
};

SimpleRootTest TestSimpleRoot(const SystemView& target, std::span<const std::int32_t> maxDegree,
                              const Complex* x);

}  // namespace zormix

#endif  // ZORMIX_TRACKER_JUMPS_SIMPLE_ROOT_H_
