#include "model/coefficient_range.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace zormix {

double WidestCoefficientRange(const PolySystem& system) {
  double widest = 0.0;
  std::size_t first = 0;
  for (int i = 0; i < system.n; ++i) {
    const std::size_t end = first + static_cast<std::size_t>(system.termCount[i]);
    double largest = 0.0;
    double smallest = INFINITY;
    for (std::size_t p = first; p < end; ++p) {
      const double size = std::abs(system.coefficients[p]);
      if (size == 0.0) continue;
      largest = std::max(largest, size);
      smallest = std::min(smallest, size);
    }
    if (largest > 0.0) widest = std::max(widest, std::log10(largest / smallest));
    first = end;
  }
  return widest;
}

std::vector<std::string> SystemWarnings(const PolySystem& system, bool scaled) {
  std::vector<std::string> warnings;
  const double range = WidestCoefficientRange(system);
  if (range > kTrackableCoefficientRange) {
    char text[320];
    std::snprintf(text, sizeof text,
                  "the coefficients of one equation span %.0f orders of magnitude%s; double "
                  "precision cannot follow the paths of such a system reliably, so roots may be "
                  "missing",
                  range, scaled ? " even after scaling" : " (the system could not be scaled)");
    warnings.emplace_back(text);
  }
  return warnings;
}

}  // namespace zormix
