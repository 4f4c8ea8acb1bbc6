// The auxiliary pieces of monodromy solving: the family with a free constant per equation (a
// member through any chosen point), and the parameters that enter linearly (along which the
// members make a pencil for the trace test of a family).
#ifndef ZORMIX_DECOMPOSE_FAMILY_MONODROMY_SYSTEMS_H_
#define ZORMIX_DECOMPOSE_FAMILY_MONODROMY_SYSTEMS_H_

#include <vector>

#include "zormix/parametric.h"

namespace zormix {

// F(x; p) - e: the family's parameters, then one new parameter e_i per equation, subtracted from
// its constant term. Its member (p, F(x0; p)) has the root x0, whatever x0.
ParametricSystem OffsetFamily(const ParametricSystem& family);

// A greedy largest set of parameters in which every coefficient is affine-linear: parameters in
// their order, each kept when no coefficient monomial then has degree above one in the kept
// ones. Empty when none enters linearly.
std::vector<int> LinearParameters(const ParametricSystem& family);

}  // namespace zormix

#endif  // ZORMIX_DECOMPOSE_FAMILY_MONODROMY_SYSTEMS_H_
