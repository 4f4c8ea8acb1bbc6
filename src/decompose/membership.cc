#include "decompose/membership.h"

#include "decompose/witness_parameters.h"

namespace zormix {

std::vector<std::int64_t> ArrivingWitnessPoints(const WitnessSet& set,
                                                std::span<const Complex> point,
                                                PointTracker& tracker) {
  std::vector<std::int64_t> arriving;
  if (set.points.cols() == 0) return arriving;
  // The slice through the point: C y + c' = 0.
  std::vector<Complex> through(set.constants.size());
  for (std::size_t j = 0; j < through.size(); ++j) {
    Complex value(0.0, 0.0);
    for (std::size_t l = 0; l < point.size(); ++l)
      value += set.slice(static_cast<std::int64_t>(j), static_cast<std::int64_t>(l)) * point[l];
    through[j] = -value;
  }
  const MemberResult moved =
      tracker.Track(set.system, set.constants, through, set.points, set.multiplicity);
  const auto ends = EndOfEachStart(moved, set.multiplicity, set.points.cols());
  for (std::int64_t k = 0; k < set.points.cols(); ++k) {
    if (ends[k] && RelativeDistance(*ends[k], point) <= kMembershipDistance.value())
      arriving.push_back(k);
  }
  return arriving;
}

JunkTest HomotopyJunkTest(const std::vector<WitnessSet>& higher, PointTracker& tracker) {
  return [&higher, &tracker](std::span<const Complex> point, int dimension) {
    for (const WitnessSet& set : higher) {
      if (set.dimension <= dimension) continue;
      if (!ArrivingWitnessPoints(set, point, tracker).empty()) return true;
    }
    return false;
  };
}

}  // namespace zormix
