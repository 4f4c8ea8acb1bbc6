// Floating-point facts every numerical stage shares.
#ifndef ZORMIX_BASE_NUMERIC_H_
#define ZORMIX_BASE_NUMERIC_H_

#include <limits>

namespace zormix {

// Machine epsilon of double, 2^-52: the gap between 1 and the next double.
inline constexpr double kMachineEpsilon = std::numeric_limits<double>::epsilon();

// Euler's number e, the base of the natural logarithm.
inline constexpr double kE = 2.718281828459045;

}  // namespace zormix

#endif  // ZORMIX_BASE_NUMERIC_H_
