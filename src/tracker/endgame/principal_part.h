// The principal part of a path's Puiseux series, read off the loops of the Cauchy end game.
//
// Close to the target a path is a convergent Laurent series in s = d^{1/m} (m its winding number),
//   y_j(s) = sum_{q >= -Q} a_{j,q} s^q,
// analytic in a punctured disc around s = 0. A loop of radius r around the target winds m times
// to close; its N m samples at the angles tau_k = 2 pi k / N of d = r e^{i tau} are equally
// spaced on the circle |s| = rho = r^{1/m}, s_k = rho e^{i tau_k / m}, so the trapezoidal rule
//   a_{j,-p} rho^{-p} = (1 / (N m)) sum_k y_j(s_k) e^{i p tau_k / m}
// gives every coefficient exactly up to the aliased terms a_{j,-p + kNm} rho^{kNm} and the error
// of the samples. A coefficient of a negative power that is the same on two loops of different
// radii (the coefficients do not depend on the radius; the aliasing and rounding do, by powers of
// rho) is a true coefficient, and a nonzero one makes y_j unbounded as s -> 0: the path goes to
// infinity with valuation -p/m, p the largest such power. Unlike estimates of d y'/y along the
// real radius, which approach the valuation only like d^{1/m}, the coefficients are exact at any
// radius where the series converges and the loops are well conditioned. Where they are not (paths
// that run close to a solution set, as cohn3's along the curve z = t = 0, y (x + 72) = -1728,
// whose loops close after 7 turns at one radius and 10 at the next) nothing is proved.
#ifndef ZORMIX_TRACKER_ENDGAME_PRINCIPAL_PART_H_
#define ZORMIX_TRACKER_ENDGAME_PRINCIPAL_PART_H_

#include <vector>

#include "zormix/complex.h"

namespace zormix {

// The samples of one closed set of loops: `winding` loops of `perLoop` samples each, sample k
// (at tau_k = 2 pi k / perLoop) holding coordinates n k .. n k + n - 1.
struct LoopSamples {
  double radius = 0.0;
  int winding = 0;
  int perLoop = 0;
  int n = 0;
  std::vector<Complex> values;

  int count() const { return winding * perLoop; }
};

// a_{j,-p} of coordinate j, p >= 1, from the samples (exact up to aliasing and their errors).
Complex PrincipalCoefficient(const LoopSamples& loop, int j, int p);

// The valuation -p/m of a pole that two loops of one winding number m and different radii prove,
// or 0: p is the largest power (up to half the samples of a loop set) whose coefficient a_{j,-p}
// agrees on both loops within kEndGame.principalAgreement (relative) for some coordinate j, with
// its term |a_{j,-p}| rho^{-p} on the inner loop at least kEndGame.principalDominance of
// max(1, max |y|) there. The term must be a sizable part of the path's values: a singularity of
// the path that the loops enclose leaves a long principal part of small terms in the series of
// the annulus (for 1 / (d + e), the terms e^{p-1} / d^p), which says nothing of the limit. Not the
// dominant term, though: on a slow divergence lower powers can outweigh the leading one far into
// the end game (u^-2 + 3 u^-1 with u = d^{1/12}, up to d = 1.9e-6).
double ProvenPoleValuation(const LoopSamples& outer, const LoopSamples& inner);

// The valuation that loops at three radii in a row, the outermost first, prove: both pairs of
// neighbouring radii must prove the same one (else 0). A winding number that changes from one
// radius to the next, or loops that slip onto a neighbouring sheet where sheets crowd (near a
// solution set), leave coefficients that agree on one pair by chance.
double ProvenPoleValuation(const LoopSamples& outermost, const LoopSamples& outer,
                           const LoopSamples& inner);

}  // namespace zormix

#endif  // ZORMIX_TRACKER_ENDGAME_PRINCIPAL_PART_H_
