// One segment of a loop, tracked by the sweep's parameter homotopy.
#include "decompose/monodromy_track.h"

#include <cmath>

#include "tracker/routes/parameter_homotopy.h"
#include "tracker/tracking.h"
#include "zormix/types.h"

namespace zormix {

std::shared_ptr<const SegmentTarget> MakeSegmentTarget(const ParametricSystem& family,
                                                       std::span<const Complex> parameters) {
  auto target = std::make_shared<SegmentTarget>();
  target->parameters.assign(parameters.begin(), parameters.end());
  target->layout = LayoutAt(family, parameters);
  return target;
}

SegmentEnds TrackSegment(const ParametricSystem& family, std::span<const Complex> from,
                         const SegmentTarget& to, Complex gamma,
                         const ColMajorMatrix<Complex>& points, RuntimeUniform& draws,
                         const SegmentOptions& options) {
  const NormalForm& system = to.layout.system;
  const int n = system.scaled.n;
  SegmentEnds ends;
  ends.points.Assign(n, points.cols());
  ends.reached.assign(static_cast<std::size_t>(points.cols()), 0);
  if (points.cols() == 0) return ends;
  const ParameterPath path{
      &family, from, to.parameters, gamma, to.layout.termOfFamily, to.layout.termScale, {}};
  TrackingOptions tracking;
  tracking.threads = options.threads;
  tracking.interrupted = options.interrupted;
  const TrackingOutcome tracked = TrackParameterHomotopy(
      system.scaled, path, ScaledPoints(points, system), {}, draws, tracking);
  for (std::size_t r = 0; r < tracked.records.size(); ++r) {
    const PathRecord& record = tracked.records[r];
    if (!IsSuccess(record.status)) continue;
    const std::int64_t start = record.startIndex - 1;
    const std::int64_t column = static_cast<std::int64_t>(r);
    for (int k = 0; k < n; ++k)
      ends.points(k, start) = tracked.solutions(k, column) * std::exp(system.scaleExponents[k]);
    ends.reached[static_cast<std::size_t>(start)] = 1;
  }
  return ends;
}

}  // namespace zormix
