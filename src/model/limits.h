// Sizes the solver accepts, checked by every reader and by the solve (CheckSystemSize).
#ifndef ZORMIX_MODEL_LIMITS_H_
#define ZORMIX_MODEL_LIMITS_H_

#include <cstdint>

namespace zormix {

// Largest problems the solver accepts. A term costs the solve about 100 bytes besides its
// exponents (coefficients, scaled copies, lifting values, evaluation tables), and the text parser
// about as much while expanding, so kMaxTerms keeps either within a few hundred MB; the dense
// n x m exponent matrix (4 bytes per entry) stays within 400 MB.
inline constexpr int kMaxVariables = 100'000;
inline constexpr std::int64_t kMaxTerms = 1'000'000;
inline constexpr std::int64_t kMaxExponentEntries = 100'000'000;

// Polynomial text: parentheses nested deeper than this are refused (the parser recurses on them),
// and so is an expansion that multiplies more term pairs than this in one text, e.g. (x+y+z)^5000.
inline constexpr int kMaxNesting = 1000;
inline constexpr std::int64_t kMaxExpansionWork = 10'000'000;

}  // namespace zormix

#endif  // ZORMIX_MODEL_LIMITS_H_
