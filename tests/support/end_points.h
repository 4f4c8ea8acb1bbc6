// End points as a solve's result, for the tests of their classification.
#ifndef ZORMIX_TESTS_SUPPORT_END_POINTS_H_
#define ZORMIX_TESTS_SUPPORT_END_POINTS_H_

#include <algorithm>
#include <cstdint>
#include <vector>

#include "zormix/result.h"

namespace zormix::testing {

// The points as the columns of a result, each reached by one path with `windingNumber`, none
// flagged real, and no path without an end point.
inline SolveResult EndPointsAsResult(int n, const std::vector<std::vector<Complex>>& points,
                                     std::int32_t windingNumber = 0) {
  SolveResult r;
  r.n = n;
  r.roots.Assign(n, static_cast<std::int64_t>(points.size()));
  for (std::size_t k = 0; k < points.size(); ++k) {
    std::copy(points[k].begin(), points[k].end(), r.roots.col(static_cast<std::int64_t>(k)));
    r.isReal.push_back(0);
    PathRecord record;
    record.windingNumber = windingNumber;
    r.records.push_back(record);
  }
  r.rootCount = r.pathCount = static_cast<std::int64_t>(points.size());
  return r;
}

}  // namespace zormix::testing

#endif  // ZORMIX_TESTS_SUPPORT_END_POINTS_H_
