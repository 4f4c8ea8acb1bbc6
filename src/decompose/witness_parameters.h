// The thresholds of the decomposition (parameter_registry.h): when an end point counts as on the
// slice, on the system, or at a given point, and when a trace closes.
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
// arrives at the tested point, and two witness points of a monodromy loop are the same.
extern const Parameter kSamePoint;
// Largest trace residual (relative to the size of the traces) of a complete component.
extern const Parameter kTraceClosed;
// Monodromy loops in a row that join no two groups before the grouping stops.
extern const Parameter kStableLoops;

}  // namespace zormix

#endif  // ZORMIX_DECOMPOSE_WITNESS_PARAMETERS_H_
