// Degrees and Bezout number of the total-degree route, in checked 64-bit arithmetic: they size the
// arrays of the paths, which the 32-bit path records index.
#include "model/total_degree.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "model/limits.h"
#include "zormix/error.h"

namespace zormix {

namespace {
constexpr std::int64_t kMaxPaths = std::numeric_limits<std::int32_t>::max();
}  // namespace

std::vector<std::int32_t> TotalDegrees(const PolySystem& system) {
  std::vector<std::int32_t> degrees(static_cast<std::size_t>(system.n), 0);
  std::int64_t first = 0;
  for (int i = 0; i < system.n; ++i) {
    std::int64_t degree = 0;
    for (std::int64_t p = first; p < first + system.termCount[i]; ++p) {
      std::int64_t sum = 0;  // n <= 100000 exponents below 2^31: no overflow in 64 bits
      for (int k = 0; k < system.n; ++k) sum += system.exponents(k, p);
      degree = std::max(degree, sum);
    }
    if (degree > kMaxPaths) {
      throw Error(ErrorCode::kInvalidInput, "equation " + std::to_string(i + 1) +
                                                " has total degree " + std::to_string(degree) +
                                                ", which exceeds the 2147483647 paths the solver " +
                                                "can track");
    }
    degrees[i] = static_cast<std::int32_t>(degree);
    first += system.termCount[i];
  }
  return degrees;
}

std::int64_t BezoutNumber(const std::vector<std::int32_t>& degrees) {
  std::int64_t product = 1;
  for (std::int32_t d : degrees) {
    if (d == 0) return 0;
  }
  for (std::int32_t d : degrees) {
    // product <= 2^31 - 1 and d < 2^31 keep the product within 64 bits.
    product *= d;
    if (product > kMaxPaths) {
      std::string list;
      for (std::int32_t e : degrees) list += (list.empty() ? "" : " x ") + std::to_string(e);
      if (list.size() > 200) list = list.substr(0, 200) + "...";
      throw Error(
          ErrorCode::kInvalidInput,
          "the Bezout number " + list + " exceeds the 2147483647 paths the solver " + "can track");
    }
  }
  return product;
}

}  // namespace zormix
