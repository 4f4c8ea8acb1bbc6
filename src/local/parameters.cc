#include "local/parameters.h"

namespace zormix {

const Parameter kNullExponent{
    {.name = "local.null_exponent",
     .value = 0.5,
     .lowest = 0.3,
     .highest = 0.75,
     .decides =
         "a singular value of a dual-space or Jacobian matrix (in units) counts as zero when "
         "it is at most a^e, a the relative accuracy of the point and of its Taylor "
         "coefficients (at least the rounding unit) and e this exponent; refinement steps "
         "only along the singular values above it at rounding",
     .reason = "the zero singular values of a point a off the root are of size a, the others of "
               "the size of the Taylor coefficients (1 in units); the geometric mean of the two "
               "(e = 1/2) leaves both sides the same margin, half the digits: a simple root of "
               "condition 1e6 stays simple, the third functional of a triple root 1e-6 off "
               "still shows"}};

const Parameter kRootResidual{
    {.name = "local.root_residual",
     .value = 1e4,
     .lowest = 30.0,
     .highest = 1e7,
     .decides = "after refinement, a point is a root (or a point of a set) only when every "
                "|f_i(x)| is at most this many rounding units of sum_t |a_t x^e_t|, the size of "
                "its terms there",
     .reason = "evaluation rounds once per term and product, a few dozen units for the systems "
               "met; a point off a set by 1e-9 of its size keeps a residual of that size, far "
               "above the limit"}};

const Parameter kEndPointReach{
    {.name = "local.end_point_reach",
     .value = 1e-5,
     .lowest = 1e-7,
     .highest = 1e-3,
     .decides = "refinement may move a point by at most this (in its units) beyond ten times the "
                "spread of the end points it comes from; a point that must move farther to reach "
                "a root or a set is not one",
     .reason = "the end game leaves points of sets within 1e-8 of them and roots of "
               "multiplicity m within eps^(1/m) (their centroid far closer); a point 1e-3 from a "
               "set is a point beside it, not on it"}};

const Parameter kSliceMultiplicityLimit{
    {.name = "local.slice_multiplicity_limit",
     .value = 8,
     .lowest = 2,
     .highest = 40,
     .decides = "the multiplicity up to which a point cut by random hyperplanes through it is "
                "still tested for isolation (the bound of the local dimension test on the slices, "
                "when the paths reaching the point give a smaller one)",
     .reason = "a generic slice of a set of multiplicity k through one of its points has a root "
               "of multiplicity k or more there (a double line: 2, a triple line: 3); the test "
               "costs the dual space up to this order, and beyond about 30 orders the dual space "
               "of a curve through a point 1e-17 off it stops growing (its high-order conditions "
               "lose their digits), so a plane looks like a curve"}};

}  // namespace zormix
