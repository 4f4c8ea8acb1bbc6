// Wilkinson's polynomial as text, for the tests of ill-conditioned roots.
#ifndef ZORMIX_TESTS_SUPPORT_WILKINSON_H_
#define ZORMIX_TESTS_SUPPORT_WILKINSON_H_

#include <cmath>
#include <string>
#include <vector>

namespace zormix::testing {

// Wilkinson's polynomial prod_{k=1..d} (x - k), expanded, as polynomial text.
inline std::string WilkinsonText(int d) {
  std::vector<long double> c{1.0L};  // ascending powers; exact in 64 bits up to d = 20
  for (int k = 1; k <= d; ++k) {
    std::vector<long double> next(c.size() + 1, 0.0L);
    for (std::size_t i = 0; i < c.size(); ++i) {
      next[i + 1] += c[i];
      next[i] -= k * c[i];
    }
    c = next;
  }
  std::string text;
  for (std::size_t e = 0; e < c.size(); ++e) {
    // Appended piece by piece: GCC 12 warns (-Wrestrict) on "literal" + std::string&&. The
    // moduli reach 1.4e19 at d = 20, beyond long long.
    text += c[e] < 0 ? '-' : '+';
    text += std::to_string(static_cast<unsigned long long>(std::fabs(c[e])));
    text += "*x^";
    text += std::to_string(e);
  }
  return text + ";";
}

}  // namespace zormix::testing

#endif  // ZORMIX_TESTS_SUPPORT_WILKINSON_H_
