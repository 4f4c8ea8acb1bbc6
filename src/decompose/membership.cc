#include "decompose/membership.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "decompose/witness_parameters.h"

namespace zormix {
namespace {

// Constants of the slice through `point` (C y + c' = 0), moved by `offset` times the point's size
// along fixed unit phases e^{i (j + 1) 2.39996} (the golden angle: no two alike).
std::vector<Complex> SliceThrough(const WitnessSet& set, std::span<const Complex> point,
                                  double offset) {
  double size = 1.0;
  for (const Complex& value : point) size = std::max(size, std::abs(value));
  std::vector<Complex> through(set.constants.size());
  for (std::size_t j = 0; j < through.size(); ++j) {
    Complex value(0.0, 0.0);
    for (std::size_t l = 0; l < point.size(); ++l)
      value += set.slice(static_cast<std::int64_t>(j), static_cast<std::int64_t>(l)) * point[l];
    through[j] = -value + offset * size * std::polar(1.0, 2.39996 * static_cast<double>(j + 1));
  }
  return through;
}

// The witness points `which` moved to the slice `through`: their end points, empty where a path
// failed.
std::vector<std::optional<std::vector<Complex>>> Moved(const WitnessSet& set,
                                                       const std::vector<std::int64_t>& which,
                                                       std::span<const Complex> through,
                                                       PointTracker& tracker) {
  ColMajorMatrix<Complex> starts(set.points.rows(), static_cast<std::int64_t>(which.size()));
  std::vector<std::int32_t> multiplicity;
  for (std::size_t c = 0; c < which.size(); ++c) {
    std::copy_n(set.points.col(which[c]), set.points.rows(),
                starts.col(static_cast<std::int64_t>(c)));
    multiplicity.push_back(set.multiplicity[which[c]]);
  }
  const MemberResult moved =
      tracker.Track(set.system, set.constants, through, starts, multiplicity);
  return EndOfEachStart(moved, multiplicity, starts.cols());
}

}  // namespace

std::vector<std::int64_t> ArrivingWitnessPoints(const WitnessSet& set,
                                                std::span<const Complex> point,
                                                PointTracker& tracker) {
  std::vector<std::int64_t> arriving, failed;
  if (set.points.cols() == 0) return arriving;
  std::vector<std::int64_t> all(static_cast<std::size_t>(set.points.cols()));
  for (std::int64_t k = 0; k < set.points.cols(); ++k) all[k] = k;
  const auto ends = Moved(set, all, SliceThrough(set, point, 0.0), tracker);
  for (const std::int64_t k : all) {
    if (!ends[k]) {
      failed.push_back(k);
    } else if (RelativeDistance(*ends[k], point) <= kMembershipDistance.value()) {
      arriving.push_back(k);
    }
  }
  if (failed.empty()) return arriving;
  // Where the component meets another one (an embedded point, a crossing), the slice through the
  // point passes through a singular root of W, and a path that ends there can fail whatever its
  // gamma: a failed path is no verdict. A parallel slice offset by delta
  // (decompose.membership_offset) meets a component through the point within about delta of it
  // (delta / the slice's sine against the component), where W is regular enough to track; the
  // other witness points of that slice lie about 1 away. So the failed ones go again to that slice,
  // and arrive when they end within sqrt(delta).
  const double offset = kMembershipOffset.value();
  const auto near = Moved(set, failed, SliceThrough(set, point, offset), tracker);
  for (std::size_t c = 0; c < failed.size(); ++c)
    if (near[c] && RelativeDistance(*near[c], point) <= std::sqrt(offset))
      arriving.push_back(failed[c]);
  std::sort(arriving.begin(), arriving.end());
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
