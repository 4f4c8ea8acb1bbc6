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

const Parameter kSamePoint{{
    .name = "decompose.same_point",
    .value = 1e-6,
    .lowest = 1e-9,
    .highest = 1e-4,
    .decides =
        "an end point of a membership homotopy arrives at the tested point, and an end point "
        "of a monodromy loop is a given witness point",
    .reason = "regular end points are accurate to 1e-12 and singular ones (several witness points "
              "meeting at an embedded point) to 1e-8 by the end game; distinct witness points of a "
              "random slice are about 1 apart",
}};

const Parameter kTraceClosed{{
    .name = "decompose.trace_closed",
    .value = 1e-7,
    .lowest = 1e-10,
    .highest = 1e-4,
    .decides = "a group of witness points is a complete component: its linear trace is linear",
    .reason = "the second difference of the trace of a complete component is rounding (1e-13 "
              "relative to the traces); a proper subset leaves a second difference of the size of "
              "the points' motion",
}};

const Parameter kStableLoops{{
    .name = "decompose.stable_loops",
    .value = 5,
    .lowest = 2,
    .highest = 50,
    .decides = "monodromy loops in a row that join no groups before the grouping stops",
    .reason = "a random loop joins two groups of one component with probability far above one "
              "half for the components met in practice; five failures in a row leave the trace "
              "test to say what is incomplete",
}};

}  // namespace zormix
