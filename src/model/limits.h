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
// and so is an expansion that takes more steps than kMaxExpansionWork in one text, a step being a
// product of two terms or one exponent they hold: (x+y+z)^200 takes 2.1e7, (x+y+z)^300 6.8e7.
// The fuzzing build lowers the budget (ZORMIX_MAX_EXPANSION_WORK) so that every input is quick.
// 256 levels: more than any system written by hand or generated needs, and a recursion that
// stays within 4 MB of stack even under AddressSanitizer (about 13 KB per level there).
inline constexpr int kMaxNesting = 256;
// The mixed-cell search keeps a table with an entry for every pair of support points (m x m bytes)
// and its first support's pair records beside it: past 10^8 pairs (100 MB for the table alone)
// a small text such as (x+y+z)^200 - 1 would take gigabytes before the search starts.
inline constexpr std::int64_t kMaxSupportPairs = 100'000'000;
// The coefficient scaling fits one least-squares row per term and per pair of terms of an
// equation (2n columns of doubles): past 10^8 entries (800 MB) the fit is refused before it is
// built.
inline constexpr std::int64_t kMaxScalingEntries = 100'000'000;
#ifdef ZORMIX_MAX_EXPANSION_WORK
inline constexpr std::int64_t kMaxExpansionWork = ZORMIX_MAX_EXPANSION_WORK;
#else
inline constexpr std::int64_t kMaxExpansionWork = 50'000'000;
#endif

}  // namespace zormix

#endif  // ZORMIX_MODEL_LIMITS_H_
