// How far apart the coefficient sizes of a system remain after its scaling.
#ifndef ZORMIX_MODEL_COEFFICIENT_RANGE_H_
#define ZORMIX_MODEL_COEFFICIENT_RANGE_H_

#include <string>
#include <vector>

#include "zormix/poly_system.h"

namespace zormix {

// Orders of magnitude log10(max |c| / min |c|) over the nonzero coefficients of each equation of
// `system` as it stands (after ComputeScaling: the scaled ones); the largest over the equations,
// 0 for equations with fewer than two nonzero coefficients.
double WidestCoefficientRange(const PolySystem& system);

// Coefficient ranges beyond this many orders of magnitude cannot be tracked in double precision:
// the small terms vanish in the rounding of the large ones along the whole path.
inline constexpr double kTrackableCoefficientRange = 30.0;

// The warnings of a solve about its system in normal form (empty when there are none).
std::vector<std::string> SystemWarnings(const PolySystem& system, bool scaled);

}  // namespace zormix

#endif  // ZORMIX_MODEL_COEFFICIENT_RANGE_H_
