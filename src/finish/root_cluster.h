// How many roots of a polynomial in one unknown lie close to a point, decided from the Taylor
// coefficients there rather than from a Newton step (which a multiple root makes rounding noise).
#ifndef ZORMIX_FINISH_ROOT_CLUSTER_H_
#define ZORMIX_FINISH_ROOT_CLUSTER_H_

#include <cstdint>

#include "model/normal_form.h"

namespace zormix {

// A disk around the point that holds exactly `count` roots, counted with multiplicity.
struct RootCluster {
  std::int32_t count = 0;  // 0: no disk found
  double radius = 0.0;
  // For count >= 2: the multiple root, where Newton's method on p^(count - 1), whose root there
  // is simple, converged within the disk; else the point itself.
  Complex center;
};

// Pellet's theorem on the Taylor coefficients c_j = p^(j)(x) / j! of p at x: when for some r
//   (|c_m| - e_m) r^m > sum_{j != m} (|c_j| + e_j) r^j,
// p has exactly m roots in |t - x| < r (Rouche against the dominant term). e_j bounds the
// rounding error of c_j computed in long double: finish.roundings_per_degree (d + 1) u times c_j's
// terms at |x| (each term's share goes through at most d products by x, a product and a quotient,
// at most 6 roundings each, and the sum adds one per term). The smallest r of a geometric scan for
// which some m >= 1 dominates gives the disk: at a root of multiplicity m the lower coefficients
// are rounding noise or of size |x - root|^(m - j), so no r makes c_1 r dominate and m is found,
// while a simple root gives m = 1. A disk of m >= 2 roots wide beside its multiple root (radius
// above finish.widest_cluster_share of its modulus, or, for a root at 0,
// finish.widest_cluster_reach times its distance from x: x^m at x has its m roots in a disk of
// radius 6.7 |x|) is no cluster: the test says nothing there. The multiple root is where Newton's
// method on p^(m - 1) converges within finish.cluster_center_steps steps. One unknown only
// (system.scaled.n == 1).
RootCluster RootClusterAt(const NormalForm& system, Complex x);

}  // namespace zormix

#endif  // ZORMIX_FINISH_ROOT_CLUSTER_H_
