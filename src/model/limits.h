// Sizes the solver accepts, checked by every reader and by the solve.
#ifndef ZORMIX_MODEL_LIMITS_H_
#define ZORMIX_MODEL_LIMITS_H_

#include <cstdint>

namespace zormix {

// Largest problems the solver accepts; beyond them the arrays of a solve cannot be allocated.
inline constexpr int kMaxVariables = 100000;
inline constexpr std::int64_t kMaxTerms = 50000000;
// n x m exponent entries (4 bytes each): 2 GB.
inline constexpr std::int64_t kMaxExponentEntries = 500000000;

}  // namespace zormix

#endif  // ZORMIX_MODEL_LIMITS_H_
