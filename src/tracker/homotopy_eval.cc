#include "tracker/homotopy_eval.h"

namespace zormix {

Complex IntegerPower(Complex z, std::int32_t k) {
  std::uint64_t e = k < 0 ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(k))
                          : static_cast<std::uint64_t>(k);
  Complex result(1.0, 0.0);
  Complex base = z;
  while (e != 0) {
    if (e & 1u) result *= base;
    e >>= 1;
    if (e != 0) base *= base;
  }
  return k < 0 ? Complex(1.0, 0.0) / result : result;
}

}  // namespace zormix
