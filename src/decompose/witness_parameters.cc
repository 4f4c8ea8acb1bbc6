#include "decompose/witness_parameters.h"

namespace zormix {

const Parameter kOnSlice{{
    .name = "decompose.on_slice",
    .value = 1e-6,
    .lowest = 1e-9,
    .highest = 1e-4,
    .decides = "an end point of a cascade level is a witness point (its slack is zero), not a "
               "start of the next level",
    .reason = "witness points are computed to 1e-12 when regular and to 1e-8 by the end game when "
              "singular; the slacks of the other end points are of the size of the random slice "
              "constants, about 1",
}};

const Parameter kOnSystem{{
    .name = "decompose.on_system",
    .value = 1e-8,
    .lowest = 1e-11,
    .highest = 1e-5,
    .decides = "a root of the randomised system solves the system as given",
    .reason = "a root solves its randomisation to rounding (1e-14 relative to the terms); a root "
              "that only the randomisation has leaves the other equations at the size of their "
              "terms",
}};

const Parameter kMembershipDistance{{
    .name = "decompose.membership_distance",
    .value = 1e-6,
    .lowest = 1e-9,
    .highest = 1e-4,
    .decides = "an end point of a membership homotopy arrives at the tested point, and two "
               "witness candidates of one slice are one point reached by several paths",
    .reason = "regular end points are accurate to 1e-12 and singular ones (several witness points "
              "meeting at the tested point, where components cross) to 1e-8 by the end game; the "
              "other end points lie about 1 away on a random slice",
}};

const Parameter kMembershipOffset{{
    .name = "decompose.membership_offset",
    .value = 1e-8,
    .lowest = 1e-10,
    .highest = 1e-6,
    .decides = "how far, relative to the tested point, the slice of a membership homotopy whose "
               "path to the point failed is moved off it; a path arrives when it ends within the "
               "square root of that",
    .reason = "a component through the point meets the moved slice within the offset over the "
              "slice's sine against it (rarely below 1e-2 for random slices), and within its "
              "square root where the component itself has a double point; W's singular values "
              "there are of the offset's size, 1e8 times the unit roundoff, so that the end point "
              "is still good to 1e-8; witness points of other components lie about 1 away",
}};

const Parameter kDeflationRank{{
    .name = "decompose.deflation_rank",
    .value = 1e-6,
    .lowest = 1e-9,
    .highest = 1e-4,
    .decides = "a singular value of the Jacobian at a singular witness point counts as zero in "
               "the rank of a deflation step",
    .reason = "the end game gives singular witness points to 1e-8 or better, where the singular "
              "values of the deficient directions are of that size (a double root) or its "
              "square; the others are of the size of the rows, about 1 after their scaling, and "
              "a point whose smallest one lies near 1e-6 is regular enough for the loops",
}};

}  // namespace zormix
