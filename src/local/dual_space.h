// The local dual space of a polynomial system at a point: the differential functionals that vanish
// on the ideal there, order by order, and the Hilbert function of the local ring they give.
#ifndef ZORMIX_LOCAL_DUAL_SPACE_H_
#define ZORMIX_LOCAL_DUAL_SPACE_H_

#include <vector>

#include "local/monomials.h"
#include "local/taylor.h"

namespace zormix {

// A functional L = sum_a l_a d^a acts on f by L(f) = sum_a l_a T_a(f), T_a the Taylor coefficient
// of t^a at the point (taylor.h, in units). The dual space D of the ideal I = (f_1, ..., f_N) at x
// is {L : L(g) = 0 for all g in I}; D_k its functionals of order <= k. x is an isolated root of
// multiplicity mu iff D is finite, of dimension mu (Dayton & Zeng 2005); h(k) = dim D_k -
// dim D_(k-1) is the Hilbert function of the local ring, h(1) its breadth (the corank of the
// Jacobian), the last k with h(k) > 0 its depth. Once h(k) = 0 it stays 0, so the first order at
// which no functional is new decides: D stabilised, x is isolated.
//
// Closedness (Zeng 2009; Mourrain's integration): with s_j the shift (s_j L)(f) = L(t_j f),
// L is in D iff L(f_i) = 0 for every i and s_j L is in D for every j. So a new functional of order
// k is L = sum_j d_j M_j|_(d_1 = ... = d_(j-1) = 0) with M_j = s_j L = sum_p mu_jp L_p in
// D_(k-1) (basis L_p), subject to the commutation s_i M_j = s_j M_i (i < j), written in the
// coordinates of D_(k-2) through the known shifts of the basis, and to L(f_i) = 0. The unknowns
// are n dim D_(k-1) numbers instead of the Macaulay matrix's monomials of degree <= k, and the rows
// C(n, 2) dim D_(k-2) + N: a root of multiplicity 131 in two unknowns costs matrices of at most
// 133 x 262 per order, not 17,000 x 8,600.
//
// Numerical rank: a singular value counts as zero when it is at most the null threshold
// (NullThreshold), which follows the accuracy of the data: a point delta off the root in units
// leaves the dual conditions violated by about delta, and their non-null singular values stay of
// the size of the Taylor coefficients.
struct DualSpace {
  std::vector<std::vector<Complex>> basis;  // over the table's monomials, orthonormal
  std::vector<int> order;                   // order of each functional counted
  // Functionals counted at the order where the space outgrew its bound, their coordinates not
  // computed (beyond the bound the space is no isolated root's: only its size is read).
  int uncomputed = 0;
  std::vector<int> hilbert;  // h(0) = 1, h(1), ..., up to the first 0 when stable
  bool stabilized = false;   // h reached 0: the point is isolated
  // The expansion the space needs exceeds kLargestMonomialTable (monomials.h): nothing decided.
  bool exceeded = false;
  // The smallest ratio, over the orders computed, of the least singular value counted non-zero to
  // the largest counted zero: how clearly the ranks were decided (1e300 when no ratio arose).
  double gap = 1e300;
  int dimension() const { return static_cast<int>(basis.size()) + uncomputed; }
  int breadth() const { return hilbert.size() > 1 ? hilbert[1] : 0; }
  int depth() const;  // the highest order of a basis functional
};

// Singular values at or below this count as zero, for data of relative accuracy `accuracy`
// (the point's error in units, at least the expansion's rounding noise).
double NullThreshold(double accuracy);

// D order by order until it stabilises, its dimension exceeds `bound`, or the order exceeds
// `bound` (then the point is not an isolated root of multiplicity <= bound: stabilized false).
// `expansion` must reach order bound + 1 or more (ComputeDualSpace stops where it ends).
DualSpace ComputeDualSpace(const TaylorSystem& expansion, const MonomialTable& table,
                           double accuracy, int bound);

}  // namespace zormix

#endif  // ZORMIX_LOCAL_DUAL_SPACE_H_
