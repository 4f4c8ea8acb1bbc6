#include <cmath>

#include "zormix/solve.h"

namespace zormix {

// Truncation toward zero: 2.9 selects the total-degree route, -2.9 (-> -2) and 1.99 do not. NaN
// and infinities truncate to no integer and take the default route.
Route RouteFromMode(double mode) {
  if (!std::isfinite(mode)) return Route::kPolyhedral;
  return std::trunc(mode) == 2.0 ? Route::kTotalDegree : Route::kPolyhedral;
}

}  // namespace zormix
