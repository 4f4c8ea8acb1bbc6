// The auxiliary families of monodromy solving: the family with a free constant per equation (a
// member through any chosen point), and the witness system of the family's incidence variety
// over the parameters that enter linearly (the trace test of a family).
#ifndef ZORMIX_DECOMPOSE_FAMILY_MONODROMY_SYSTEMS_H_
#define ZORMIX_DECOMPOSE_FAMILY_MONODROMY_SYSTEMS_H_

#include <span>
#include <vector>

#include "zormix/complex.h"
#include "zormix/parametric.h"

namespace zormix {

// F(x; p) - e: the family's parameters, then one new parameter e_i per equation, subtracted from
// its constant term. Its member (p, F(x0; p)) has the root x0, whatever x0.
ParametricSystem OffsetFamily(const ParametricSystem& family);

// A greedy largest set of parameters in which every coefficient is affine-linear: parameters in
// their order, each kept when no coefficient monomial then has degree above one in the kept
// ones. Empty when none enters linearly.
std::vector<int> LinearParameters(const ParametricSystem& family);

// The incidence variety V = {(x, q) : F(x; q, p0 elsewhere) = 0} of the family over the linear
// parameters q = p_S (the others held at their values in p0), and its witness system: unknowns
// (x, q), equations F and |S| affine slices
//   sum_j A_lj x_j + sum_m B_lm q_m + c_l = 0,   l = 1..|S|,
// whose coefficients are the parameters: row l of [A B] for l = 1..|S|, then c. The fibre over p0
// is the slice A = 0, B = I, c = -p0_S; V cut by a random slice is a witness set of V. Since F is
// affine in q, dim V = |S| for a family with finitely many roots per member.
struct IncidenceFamily {
  ParametricSystem witness;
  std::vector<int> linear;  // S
  int n = 0;                // unknowns of the family
  // The slice parameters of the fibre over p0.
  std::vector<Complex> FibreSlice(std::span<const Complex> p0) const;
  // Points (x, q) of V from roots x of the member at p0.
  std::vector<Complex> Lift(std::span<const Complex> x, std::span<const Complex> p0) const;
  // The index of the first constant c_1 among the slice parameters.
  int ConstantsBegin() const;
};
IncidenceFamily MakeIncidenceFamily(const ParametricSystem& family, const std::vector<int>& linear,
                                    std::span<const Complex> p0);

}  // namespace zormix

#endif  // ZORMIX_DECOMPOSE_FAMILY_MONODROMY_SYSTEMS_H_
