// The square systems of the decomposition, built from the system's equations, random slices and
// random weights: the levels of the cascade, the homotopy that switches one slack off, and the
// witness system of one dimension whose slice moves.
//
// With F the system's equations (each scaled to coefficients of size at most 1; combined at
// random down to n when there are more than n: F = f_1..n + B f_n+1..N), L_j(x) = C_j x + c_j
// the random affine slices (j = 1..D) and A random weights, the level of dimension k is
//   g_k(x) = F(x) - sum_{j <= k} A_j L_j(x)                                   (n equations)
// (the embedding of Sommese and Verschelde with its slacks z_j = -L_j(x) eliminated): its roots
// with L_1..k = 0 are the points of the solution set of F on the slice, the others are the
// starts of level k - 1. With fewer equations than unknowns, the rows past N hold only the slack
// terms. The cascade step from k to k - 1 is the family
//   g(x; s) = F(x) - sum_{j < k} A_j L_j(x) - s A_k L_k(x),   s from 1 to 0.
// The witness system of dimension k tracks witness points as the slice moves: n - k random
// combinations of the rows of F and the k slices, whose constants are the parameters,
//   W(x; c) = [ Lambda F(x) ; C x + c ].
#ifndef ZORMIX_DECOMPOSE_WITNESS_FAMILY_H_
#define ZORMIX_DECOMPOSE_WITNESS_FAMILY_H_

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/random.h"
#include "decompose/affine_family.h"
#include "zormix/col_major_matrix.h"
#include "zormix/parametric.h"
#include "zormix/poly_system.h"

namespace zormix {

// The system's equations as the decomposition uses them.
struct Equations {
  int n = 0;
  int given = 0;            // equations as given
  bool randomized = false;  // given > n: combined at random to n
  // One polynomial per row (min(given, n) rows), each scaled to coefficients of size at most 1.
  PolySystem rows;
  // The equations as given, each scaled like its row (for the residual of a root).
  PolySystem original;
  PolySystem asGiven;  // unscaled: a square system's dimension 0 is its solve
};

// Throws Error for a system whose arrays do not fit together, with a coefficient that is not
// finite, or an equation without a nonzero term.
Equations PrepareEquations(const PolySystem& system, RuntimeUniform& draws);

// The random data of every level: slices and weights for dimensions 1..top.
struct Embedding {
  int top = 0;
  ColMajorMatrix<Complex> weights;  // n x top: A
  ColMajorMatrix<Complex> slice;    // top x n: C
  std::vector<Complex> constants;   // top: c
};
Embedding DrawEmbedding(int n, int top, RuntimeUniform& draws);

// g_k as a system (0 <= k <= top).
PolySystem LevelSystem(const Equations& equations, const Embedding& embedding, int k);
// g(x; s) from level k (s = 1) to level k - 1 (s = 0), one parameter "s".
ParametricSystem CascadeStep(const Equations& equations, const Embedding& embedding, int k);

// L_j(x) for j = 1..k relative to the size of its terms, the largest: 0 on the slice.
double SliceResidual(const Embedding& embedding, int k, std::span<const Complex> x);
// max_i |f_i(x)| over the equations as given, relative to the size their terms can reach at the
// point's radius r = max(1, |x|): sum_t |c_t| r^deg(t). A point whose terms all vanish (a
// coordinate 0) measures as small as its residual, not as 1.
double SystemResidual(const Equations& equations, std::span<const Complex> x);

// The rows of W(x; c) of dimension k with the slice C (k x n) and random combinations `mix`
// ((n - k) x rows): the n - k combinations of F first, then the k slices, whose constants are the
// parameters c1..ck.
AffineFamily WitnessRows(const Equations& equations, const ColMajorMatrix<Complex>& mix,
                         const ColMajorMatrix<Complex>& slice);
std::vector<std::string> SliceConstantNames(int k);
// W(x; c) as a family.
ParametricSystem WitnessSystem(const Equations& equations, const ColMajorMatrix<Complex>& mix,
                               const ColMajorMatrix<Complex>& slice);
// Random combinations for the witness system of dimension k.
ColMajorMatrix<Complex> DrawMix(const Equations& equations, int k, RuntimeUniform& draws);

// A random complex number, real and imaginary parts uniform in [-1, 1].
Complex RandomComplex(RuntimeUniform& draws);

}  // namespace zormix

#endif  // ZORMIX_DECOMPOSE_WITNESS_FAMILY_H_
