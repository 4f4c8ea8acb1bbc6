// Solve options of the MEX module that do not travel through its arguments: they come from the
// environment, so that the module's calling convention stays two inputs and four results.
#ifndef ZORMIX_GATEWAY_GATEWAY_OPTIONS_H_
#define ZORMIX_GATEWAY_GATEWAY_OPTIONS_H_

#include <cstdint>
#include <optional>
#include <string>

namespace zormix {

// ZORMIX_SEED: a decimal integer in [0, 2^64 - 1]. Unset or empty: no seed (fresh entropy).
// Throws Error naming the variable and the value for anything else.
std::optional<std::uint64_t> SeedFromEnvironment();

// ZORMIX_THREADS: a decimal integer in [0, 4096]; 0 means one thread per core. Unset or empty: 1.
// Throws Error naming the variable and the value for anything else.
int ThreadsFromEnvironment();

// Parses text as a decimal unsigned integer no larger than limit; nullopt when it is not one
// (signs, blanks, other characters and overflow are all refused).
std::optional<std::uint64_t> ParseDecimal(const std::string& text, std::uint64_t limit);

}  // namespace zormix

#endif  // ZORMIX_GATEWAY_GATEWAY_OPTIONS_H_
