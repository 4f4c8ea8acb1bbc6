// The witness set of one dimension broken into irreducible components by the monodromy engine
// and the linear trace test (monodromy_breakup.h).
//
// The regular witness points go to the engine on the witness system W(x; c) as they are. Singular
// ones (the witness points of non-reduced components, and any point the engine finds no regular
// root) are deflated (deflation.h): points that share a deflated system go to the engine on it,
// with the trace taken over x. Points of one component are all regular or all singular with the
// same ranks, so each batch is a union of whole components. A component's multiplicity is that of
// its witness points as roots of the cascade's level; the trace test and the degree count one
// point per cluster. A point that no deflation makes regular stands alone, with a failed trace
// test and a warning.
#ifndef ZORMIX_DECOMPOSE_COMPONENTS_H_
#define ZORMIX_DECOMPOSE_COMPONENTS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "decompose/membership.h"
#include "decompose/witness_track.h"
#include "zormix/decompose.h"

namespace zormix {

struct ComponentBreakup {
  std::vector<WitnessComponent> components;  // highest degree first, ties by first point
  std::vector<std::string> warnings;
  std::int64_t pathsTracked = 0;  // by the loops and the trace pencils
};

// `names`: the unknowns' names. Deterministic for the tracker's seed.
ComponentBreakup BreakIntoComponents(const WitnessSet& set, const std::vector<std::string>& names,
                                     PointTracker& tracker);

}  // namespace zormix

#endif  // ZORMIX_DECOMPOSE_COMPONENTS_H_
