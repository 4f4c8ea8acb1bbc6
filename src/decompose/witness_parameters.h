// The thresholds of the decomposition's witness sets (parameter_registry.h): when an end point
// counts as on the slice, on the system, or at a given point, and the numerical rank of deflation.
// Monodromy and the trace test have theirs in monodromy_parameters.h.
#ifndef ZORMIX_DECOMPOSE_WITNESS_PARAMETERS_H_
#define ZORMIX_DECOMPOSE_WITNESS_PARAMETERS_H_

#include "base/parameter_registry.h"

namespace zormix {

// |slice(x) + constants| relative to the size of its terms, below which an end point of a level
// lies on the slice (its slack is zero): a witness point, not a start of the next level.
extern const Parameter kOnSlice;
// ||f(x)|| relative to the size of f's terms at x, below which a point solves the system as given
// (an overdetermined system's randomisation has roots that do not).
extern const Parameter kOnSystem;
// Distance, relative to the point's size, within which an end point of the membership homotopy
// arrives at the tested point, and two witness candidates of one level are one point.
extern const Parameter kMembershipDistance;
// Offset, relative to the tested point, of the slice of a second membership homotopy when a path
// to the slice through the point failed.
extern const Parameter kMembershipOffset;
// Singular values at most this times the largest are zero in the rank of a deflation step.
extern const Parameter kDeflationRank;

}  // namespace zormix

#endif  // ZORMIX_DECOMPOSE_WITNESS_PARAMETERS_H_
