// The units of the local analysis at a point: the sizes its coordinates and equations are
// measured in, chosen so that every decision follows a rescaling of the variables and equations.
#ifndef ZORMIX_LOCAL_UNITS_H_
#define ZORMIX_LOCAL_UNITS_H_

#include <cstdint>
#include <vector>

#include "zormix/col_major_matrix.h"
#include "zormix/poly_system.h"

namespace zormix {

// The units of the local coordinates and of the equations at a point x:
//   column c_j = max(|x_j|, v_j), v_j the natural size of coordinate j (NaturalSizes), or v_j
//   where the coordinate is zero at the point: a coordinate that is 0 at the root has no size of
//   its own, and the error of an end point puts it anywhere below that error;
//   row s_i = the largest modulus of a Taylor coefficient of f_i in the local coordinates
//   t_j = (y_j - x_j) / c_j, of the degrees the analysis uses (RowUnits).
// Every quantity computed in these units (the dual space, its singular values, the deflated
// system) is unchanged when an equation is multiplied by a constant or a variable rescaled, x and
// v with it: no decision compares one coordinate with another.
struct LocalUnits {
  std::vector<double> column;  // c_j
  std::vector<double> row;     // s_i
  // sum_t |a_t| c^e_t: the size of f_i's terms at x, and within one unit of x in the zero
  // coordinates (where the terms of x^2 vanish with x, the equation keeps a size): |f_i(x)| is
  // rounding when it is a few units eps of it.
  std::vector<double> evaluation;
};

// The natural sizes of the coordinates: v_j = e^(s_j), s the minimal-norm least-squares solution
// of sum_k e_tk s_k + r_i = -ln |a_t| over the terms a_t x^e_t of every equation i, which
// balances the terms of each equation; r (each equation's scale) is eliminated by centring the
// rows of each equation, so that scaling an equation changes nothing. A variable rescaled
// (x_j = a y_j) moves the solutions by exactly -ln a in s_j; where the fit leaves a direction
// free, the system is quasi-homogeneous in it (x_k -> e^(s_k) x_k scales each equation as a
// whole), and every solution gives the same analysis of the correspondingly moved point.
// The free directions are fixed by `pinned` (per coordinate, 0 for none): rows of weight
// kPinWeight ask s_k = ln pinned_k, which moves with a rescaled variable as the fit does, so that
// the sizes follow every rescaling exactly; without it they are 1 in the free directions (the
// minimal norm), and a variable in which every equation is homogeneous gets 1: nothing else gives
// it a size.
std::vector<double> NaturalSizes(const PolySystem& system, const std::vector<double>& pinned = {});
// The share of its natural size below which a coordinate is zero whatever else is known: fewer
// than half of its digits would stand above the rounding of a point of that size.
double DefaultZeroShare();

// The units at x: columns, the evaluation scale and the rows for expansions up to `rowDegree`.
// Coordinate j is zero at the point when |x_j| <= max(zeroBelow_j, DefaultZeroShare() v_j):
// zeroBelow (may be empty) holds what the caller knows of each coordinate's error. A coordinate
// that is not zero is measured in the larger of |x_j| and v_j: a coordinate of 7e-3 in a system
// whose variables vary on a scale of 2 (a change of coordinates moved the root there) keeps the
// scale of 2, or its Taylor coefficients of order k would shrink by (7e-3 / 2)^k and mimic a null
// space.
LocalUnits UnitsAt(const PolySystem& system, const Complex* x, const std::vector<double>& natural,
                   const std::vector<double>& zeroBelow, int rowDegree);

// The row units at x for the given columns: s_i = the largest modulus of a Taylor coefficient of
// f_i of degree 1..`degree` that stands above its rounding bound, or sum_t |a_t| c^e_t where
// none does. All those degrees count, however far one expansion goes, so that expansions to
// other orders agree: near the 12-fold root of (x - 1/2)^12 the coefficient of order 9 is 3e-6
// of that of order 12, not 1. Coefficients within their rounding are none: there the low orders
// of the expanded power are cancellation alone. Degrees beyond those the analysis uses do not
// count: x^101 at x = 1 has a coefficient C(101, 50) of order 50.
std::vector<double> RowUnits(const PolySystem& system, const Complex* x,
                             const std::vector<double>& column, int degree);

// The Jacobian `jacobian` of `system` at x in the units at x (UnitsAt with the system's natural
// sizes, rows for expansions up to `rowDegree`): J_ij c_j / s_i, the first-order Taylor
// coefficients in the local coordinates over each row's unit. Its singular values relative to the
// largest do not change when a variable is rescaled or an equation multiplied by a constant, so a
// numerical rank decided on it does not either. `rowDegree` >= 2 at a singular point: the row
// x^2 at x = e has a linear coefficient 2e, which as the row's unit would make it look regular.
ColMajorMatrix<Complex> JacobianInUnits(const PolySystem& system, const Complex* x,
                                        const ColMajorMatrix<Complex>& jacobian, int rowDegree);

// A bound on the rounding of one Taylor coefficient, relative to the sum of the moduli of its
// products: each product and sum rounds once per factor.
double CoefficientRounding(int degree, std::int32_t terms);

}  // namespace zormix

#endif  // ZORMIX_LOCAL_UNITS_H_
