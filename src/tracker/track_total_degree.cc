// Total-degree route: one path of (1 - t) Q + t P per start solution, then the path-jumping check.
#include "tracker/start_point_route.h"
#include "tracker/tracking.h"

namespace zormix {

TrackingOutcome TrackTotalDegree(const PolySystem& system,
                                 const std::vector<std::int32_t>& totalDegree,
                                 const std::vector<Complex>& startCoefficients,
                                 const ColMajorMatrix<Complex>& startSolutions,
                                 RuntimeUniform& runtime, const TrackingOptions& options) {
  const std::vector<std::int32_t> maxDegree = MaxDegrees(system.exponents);
  const MonomialLayout layout{system.n, system.termCount, &system.exponents, maxDegree};
  const SystemView target{system.n, system.termCount, &system.exponents, system.coefficients};
  const std::function<TotalDegreeHomotopy()> makeHomotopy = [&] {
    return TotalDegreeHomotopy(layout, system.coefficients, startCoefficients, totalDegree);
  };
  return TrackFromStartPoints(makeHomotopy, startSolutions, kTotalDegreeRoute, target, maxDegree,
                              runtime, options);
}

}  // namespace zormix
