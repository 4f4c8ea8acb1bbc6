// The linear trace test: witness points followed along a pencil of parallel slices.
#include "decompose/trace_test.h"

#include <cmath>
#include <limits>
#include <numbers>

#include "decompose/monodromy_parameters.h"
#include "decompose/monodromy_points.h"
#include "decompose/monodromy_track.h"
#include "solve/family_layout.h"
#include "zormix/error.h"

namespace zormix {
namespace {

// The stream of the pencil's draws, apart from the streams 1, 2, ... of monodromy's loops.
constexpr std::int64_t kPencilStream = std::int64_t{1} << 40;
constexpr int kSamples = 3;

Complex UnitDraw(RuntimeUniform& draws) {
  return std::polar(1.0, 2.0 * std::numbers::pi * draws.Next());
}

// The trace's defect at one point: v(t2) - v(0) - r (v(t1) - v(0)), r = t2 / t1, which is zero
// summed over a complete set.
Complex Ratio(const TracePencil& pencil) { return pencil.times[2] / pencil.times[1]; }

}  // namespace

TracePencilTracker::TracePencilTracker(const ParametricSystem& family,
                                       std::span<const Complex> base,
                                       std::span<const Complex> direction,
                                       const TraceOptions& options)
    : family_(family), base_(base.begin(), base.end()), options_(options) {
  if (static_cast<int>(base.size()) != family.parameterCount() || direction.size() != base.size())
    throw Error(ErrorCode::kInvalidInput, "trace test: the parameters do not fit the family");
  RuntimeUniform draws = StreamOf(options.seed, kPencilStream);
  for (int k = 0; k < family.n; ++k) lambda_.push_back(UnitDraw(draws));
  const Complex t1 = UnitDraw(draws);
  times_ = {0.0, t1, -t1};
  for (int s = 0; s < kSamples; ++s) {
    std::vector<Complex> p = base_;
    for (std::size_t l = 0; l < p.size(); ++l) p[l] += times_[s] * direction[l];
    at_.push_back(MakeSegmentTarget(family, p));
    gamma_.push_back(s == 0 ? Complex(1.0) : UnitDraw(draws));
  }
  draws_ = draws;
}

TracePencil TracePencilTracker::Track(const ColMajorMatrix<Complex>& points) {
  const int n = family_.n;
  if (points.rows() != n)
    throw Error(ErrorCode::kInvalidInput, "trace test: the points do not fit the family");
  TracePencil pencil;
  pencil.times = times_;
  const std::int64_t count = points.cols();
  pencil.values.Assign(count, kSamples);
  pencil.size.assign(static_cast<std::size_t>(count), 0.0);
  pencil.error.assign(static_cast<std::size_t>(count), 0.0);
  pencil.tracked.assign(static_cast<std::size_t>(count), 1);
  std::vector<double> sampleError(static_cast<std::size_t>(count * kSamples), 0.0);
  const std::span<const double> baseScale =
      std::span<const double>(at_[0]->layout.system.scaleExponents)
          .first(static_cast<std::size_t>(n));
  // lambda on the base member's scaled coordinates: a linear function of x that weighs every
  // unknown in its own units.
  const auto record = [&](const MonodromyPoints& at, std::int64_t index, std::int64_t point,
                          int sample) {
    const std::vector<Complex>& y = at.Scaled(index);
    const std::span<const double> scale = at.ScaleExponents();
    Complex value = 0.0;
    double size = 0.0, error = 0.0;
    for (int k = 0; k < n; ++k) {
      const double factor = std::exp(scale[k] - baseScale[k]);
      value += lambda_[k] * y[k] * factor;
      size += std::abs(y[k]) * factor;
      error += at.ErrorOf(index) * factor;
    }
    pencil.values(point, sample) = value;
    pencil.size[static_cast<std::size_t>(point)] =
        std::max(pencil.size[static_cast<std::size_t>(point)], size);
    sampleError[static_cast<std::size_t>(point * kSamples + sample)] = error;
  };
  // Two columns at one point, at the base or after a pencil move, make both untracked: a
  // duplicate given point, or a path that jumped.
  const auto place = [&](MonodromyPoints& at, std::span<const Complex> x, std::int64_t point,
                         int sample, std::vector<std::int64_t>& owner) {
    const MonodromyPoints::Placement placed = at.Place(x);
    if (placed.verdict == MonodromyPoints::Verdict::kNotRegular) {
      pencil.tracked[static_cast<std::size_t>(point)] = 0;
      return;
    }
    if (placed.verdict == MonodromyPoints::Verdict::kKnown) {
      pencil.tracked[static_cast<std::size_t>(point)] = 0;
      pencil.tracked[static_cast<std::size_t>(owner[static_cast<std::size_t>(placed.index)])] = 0;
      return;
    }
    owner.push_back(point);
    record(at, placed.index, point, sample);
  };
  MonodromyPoints atBase(at_[0]->layout.system, kTraceConditionLimit);
  std::vector<std::int64_t> baseOwner;
  for (std::int64_t c = 0; c < count; ++c)
    place(atBase, std::span<const Complex>(points.col(c), static_cast<std::size_t>(n)), c, 0,
          baseOwner);

  const SegmentOptions segment{std::max(1, options_.threads), options_.interrupted};
  for (int s = 1; s < kSamples; ++s) {
    const SegmentEnds ends =
        TrackSegment(family_, base_, *at_[s], gamma_[s], points, draws_, segment);
    pencil.pathsTracked += count;
    MonodromyPoints atTarget(at_[s]->layout.system, kTraceConditionLimit);
    std::vector<std::int64_t> owner;
    for (std::int64_t c = 0; c < count; ++c) {
      if (!ends.reached[static_cast<std::size_t>(c)]) {
        pencil.tracked[static_cast<std::size_t>(c)] = 0;
        continue;
      }
      place(atTarget, std::span<const Complex>(ends.points.col(c), static_cast<std::size_t>(n)), c,
            s, owner);
    }
  }
  const Complex r = Ratio(pencil);
  for (std::int64_t c = 0; c < count; ++c) {
    const double* e = &sampleError[static_cast<std::size_t>(c * kSamples)];
    pencil.error[static_cast<std::size_t>(c)] =
        e[0] * std::abs(1.0 - r) + e[1] * std::abs(r) + e[2];
  }
  return pencil;
}

TracePencil TrackTracePencil(const ParametricSystem& family, std::span<const Complex> base,
                             std::span<const Complex> direction,
                             const ColMajorMatrix<Complex>& points, const TraceOptions& options) {
  TracePencilTracker tracker(family, base, direction, options);
  return tracker.Track(points);
}

void AppendPencil(TracePencil& pencil, const TracePencil& more) {
  if (pencil.times.empty()) {
    pencil = more;
    return;
  }
  const std::int64_t old = pencil.values.rows();
  ColMajorMatrix<Complex> values(old + more.values.rows(), pencil.values.cols());
  for (std::int64_t s = 0; s < values.cols(); ++s) {
    for (std::int64_t i = 0; i < old; ++i) values(i, s) = pencil.values(i, s);
    for (std::int64_t i = 0; i < more.values.rows(); ++i) values(old + i, s) = more.values(i, s);
  }
  pencil.values = std::move(values);
  pencil.size.insert(pencil.size.end(), more.size.begin(), more.size.end());
  pencil.error.insert(pencil.error.end(), more.error.begin(), more.error.end());
  pencil.tracked.insert(pencil.tracked.end(), more.tracked.begin(), more.tracked.end());
  pencil.pathsTracked += more.pathsTracked;
}

TraceTestResult TraceTest(const TracePencil& pencil, std::span<const std::int64_t> members) {
  TraceTestResult result;
  const Complex r = Ratio(pencil);
  Complex defect = 0.0;
  double size = 0.0, error = 0.0;
  bool allTracked = !members.empty();
  for (const std::int64_t i : members) {
    if (!pencil.tracked[static_cast<std::size_t>(i)]) allTracked = false;
    defect +=
        pencil.values(i, 2) - pencil.values(i, 0) - r * (pencil.values(i, 1) - pencil.values(i, 0));
    size += pencil.size[static_cast<std::size_t>(i)];
    error += pencil.error[static_cast<std::size_t>(i)];
  }
  result.threshold =
      size > 0.0 ? std::max(kTraceFloor.value(), kTraceSafety * error / size) : kTraceFloor.value();
  result.residual =
      allTracked && size > 0.0 ? std::abs(defect) / size : std::numeric_limits<double>::infinity();
  result.passed = result.residual <= result.threshold && result.threshold <= kTraceCeiling;
  return result;
}

}  // namespace zormix
