#include "startsys/extended_gcd.h"

#include <cstdint>
#include <string>

#include "startsys/start_systems.h"
#include "zormix/error.h"

namespace zormix {

GcdResult ExtendedGcd(std::int64_t a, std::int64_t b) {
  try {
    const GcdOf<std::int64_t> r = ExtendedGcdChecked(a, b);
    return {r.g, r.k, r.l};
  } catch (const IntegerOverflow&) {
    throw Error("integer overflow in the extended gcd of " + std::to_string(a) + " and " +
                std::to_string(b) + "; the values are too large");
  }
}

}  // namespace zormix
