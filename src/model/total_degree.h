// Total degrees and the Bezout number of a system.
#ifndef ZORMIX_MODEL_TOTAL_DEGREE_H_
#define ZORMIX_MODEL_TOTAL_DEGREE_H_

#include <cstdint>
#include <vector>

#include "zormix/poly_system.h"

namespace zormix {

// Largest exponent sum among the terms of each equation. Throws Error when a sum leaves 32 bits.
std::vector<std::int32_t> TotalDegrees(const PolySystem& system);
// Product of the degrees, checked: throws Error when it exceeds the 2147483647 paths the solver
// can track.
std::int64_t BezoutNumber(const std::vector<std::int32_t>& degrees);

}  // namespace zormix

#endif  // ZORMIX_MODEL_TOTAL_DEGREE_H_
