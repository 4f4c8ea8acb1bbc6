// Deflation of singular witness points (Leykin, Verschelde and Zhao, Newton's method with
// deflation for isolated singularities of polynomial systems, Theoret. Comput. Sci. 359, 2006).
//
// A witness point x* of a non-reduced component Z (x^2 = y = 0: the z-axis twice) is a singular
// root of the witness system W(x; c) for every slice constant c: no path tracker follows it, and
// Newton's method converges to it only linearly. One deflation step at a root of a system G(z)
// (N rows, N' unknowns) whose Jacobian has rank r < N' at it adds r + 1 unknowns mu and the rows
//   G(z) = 0,   JG(z) B mu = 0,   h . mu = 1,
// with B (N' x (r + 1)) and h random: JG(z*) B has a kernel of dimension one, so mu* is unique,
// and the multiplicity of (z*, mu*) is below that of z*. Steps repeat until the Jacobian has full
// column rank (fewer steps than the multiplicity). The rows are then made square: the slice rows
// (the only ones that move with c) and the rows h . mu = 1 are kept, the others are combined at
// random, which keeps the Jacobian regular.
//
// Why the points of Z stay regular roots for every c: the rank of JW is the same at every generic
// point of Z (the rows' derivatives do not depend on c), so the deflated rows vanish at the point
// of Z on every slice with its own mu, and the random choices keep it regular at generic c. So
// monodromy and the trace test run on the deflated system as on a reduced component, with the
// trace taken over x alone (mu is no linear function of x). Points whose ranks differ at some step
// lie on different components; points with the same ranks share one deflated system.
#ifndef ZORMIX_DECOMPOSE_DEFLATION_H_
#define ZORMIX_DECOMPOSE_DEFLATION_H_

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "decompose/affine_family.h"
#include "zormix/col_major_matrix.h"
#include "zormix/parametric.h"

namespace zormix {

// Points that share one deflated system.
struct DeflatedClass {
  std::vector<int> ranks;           // the Jacobian's rank at each step
  AffineFamily rows{0, 0, 0};       // the deflated rows before they were made square
  ParametricSystem family;          // square: the x unknowns first, then the multipliers
  ColMajorMatrix<Complex> points;   // family.n x count: the given points and their multipliers
  std::vector<std::int64_t> given;  // per column: the index of the given point
};

struct Deflation {
  std::vector<DeflatedClass> classes;  // in the order of their first given point
  // Given points whose Jacobian did not reach full rank within the steps allowed.
  std::vector<std::int64_t> failed;
};

// Deflates the witness system `witness` (n unknowns, the slice constants its parameters) at each
// column of `points` (roots at the parameters `base`), with at most maxSteps[k] steps for column
// k. `names` are the n unknowns' names. Deterministic for the seed.
Deflation DeflateWitnessPoints(const AffineFamily& witness, std::span<const Complex> base,
                               const ColMajorMatrix<Complex>& points, std::span<const int> maxSteps,
                               const std::vector<std::string>& names, std::uint64_t seed);

}  // namespace zormix

#endif  // ZORMIX_DECOMPOSE_DEFLATION_H_
