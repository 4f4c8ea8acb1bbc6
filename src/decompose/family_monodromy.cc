// A family solved by monodromy: a first root, loops, and the trace test on the incidence variety.
#include <algorithm>
#include <chrono>
#include <numbers>
#include <thread>

#include "decompose/family_monodromy_systems.h"
#include "decompose/monodromy.h"
#include "decompose/monodromy_parameters.h"
#include "decompose/monodromy_points.h"
#include "decompose/monodromy_track.h"
#include "decompose/trace_test.h"
#include "model/parametric_eval.h"
#include "model/system_eval.h"
#include "solve/family_layout.h"
#include "zormix/error.h"
#include "zormix/monodromy.h"
#include "zormix/sweep.h"

namespace zormix {
namespace {

// Streams of the seed (solve/family_layout.h): 0 draws p0 as a start solve does; the loops use
// 1, 2, ...; these are far from both.
constexpr std::int64_t kFirstRootStream = std::int64_t{1} << 41;
constexpr std::int64_t kIncidenceStream = std::int64_t{1} << 42;
// Paths tried for a first root before giving up: each reaches a root of the member at p0 with
// the probability (roots of the family) / (roots of the offset family).
constexpr int kFirstRootAttempts = 50;
// How far the random slice of the incidence variety, and the pencil through it, move from the
// fibre's slice (each coefficient by up to this much in its real and imaginary parts): any
// slice off a proper algebraic subset will do, and one near the fibre keeps V's points near the
// roots, where they are as well conditioned as the roots are. A random slice far from the fibre
// has points of size 1e3 with quartic terms of 1e12 (Stewart-Gough): condition numbers of 1e12.
constexpr double kSliceMove = 0.25;
// Slices and pencils tried when a point is lost on the way.
constexpr int kTraceAttempts = 3;

Complex UnitDraw(RuntimeUniform& draws) {
  return std::polar(1.0, 2.0 * std::numbers::pi * draws.Next());
}

Complex BoxDraw(RuntimeUniform& draws) {
  const double re = 2.0 * draws.Next() - 1.0;
  return {re, 2.0 * draws.Next() - 1.0};
}

int ThreadCount(int threads) {
  return threads > 0 ? threads : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

// F(x0; p) for every equation.
std::vector<Complex> ValuesAt(const ParametricSystem& family, std::span<const Complex> p,
                              std::span<const Complex> x0) {
  const PolySystem member = EvaluateAllTerms(family, p);
  const SystemView view{member.n, member.termCount, &member.exponents, member.coefficients};
  ColMajorMatrix<Complex> J;
  std::vector<Complex> F;
  EvaluateSystem(view, MaxDegrees(member.exponents), x0.data(), J, F);
  return F;
}

struct FirstRoot {
  std::vector<Complex> x;
  int attempts = 0;
};

// One path of the offset family from (p, F(x0; p)), which has the root x0, to (p0, 0).
FirstRoot FindFirstRoot(const ParametricSystem& family, std::span<const Complex> p0,
                        std::uint64_t seed, const SegmentOptions& segment,
                        std::int64_t& pathsTracked) {
  const ParametricSystem offset = OffsetFamily(family);
  std::vector<Complex> target(p0.begin(), p0.end());
  target.resize(static_cast<std::size_t>(offset.parameterCount()), 0.0);
  const std::shared_ptr<const SegmentTarget> to = MakeSegmentTarget(offset, target);
  MonodromyPoints atP0(LayoutAt(family, p0).system, kMonodromyConditionLimit);
  FirstRoot found;
  for (int attempt = 1; attempt <= kFirstRootAttempts; ++attempt) {
    RuntimeUniform draws = StreamOf(seed, kFirstRootStream + attempt);
    ColMajorMatrix<Complex> x0(family.n, 1);
    for (int k = 0; k < family.n; ++k) x0(k, 0) = BoxDraw(draws);
    std::vector<Complex> from;
    for (int l = 0; l < family.parameterCount(); ++l) from.push_back(BoxDraw(draws));
    const std::vector<Complex> offsets = ValuesAt(
        family, from, std::span<const Complex>(x0.col(0), static_cast<std::size_t>(family.n)));
    from.insert(from.end(), offsets.begin(), offsets.end());
    const Complex gamma = UnitDraw(draws);
    ++pathsTracked;
    const SegmentEnds ends = TrackSegment(offset, from, *to, gamma, x0, draws, segment);
    found.attempts = attempt;
    if (!ends.reached[0]) continue;
    const MonodromyPoints::Placement placed = atP0.Place(
        std::span<const Complex>(ends.points.col(0), static_cast<std::size_t>(family.n)));
    if (placed.verdict != MonodromyPoints::Verdict::kNew) continue;
    found.x = atP0.Point(placed.index);
    return found;
  }
  throw Error(ErrorCode::kInvalidInput,
              "monodromy: none of " + std::to_string(kFirstRootAttempts) +
                  " paths from random points reached a regular root of the family at random "
                  "parameters (does a generic member have isolated regular roots?)");
}

// The trace test of the family on its incidence variety, kept up to date as roots come in: each
// new root is lifted to the fibre slice, carried to a random slice of V and along the pencil once.
class IncidenceTrace {
 public:
  IncidenceTrace(const ParametricSystem& family, std::span<const Complex> p0, std::uint64_t seed,
                 const SegmentOptions& segment)
      : family_(family),
        linear_(LinearParameters(family)),
        p0_(p0.begin(), p0.end()),
        seed_(seed),
        segment_(segment) {}

  bool applicable() const { return !linear_.empty(); }
  int linearCount() const { return static_cast<int>(linear_.size()); }

  // Takes the roots beyond those seen so far; returns the test of all of them.
  TraceTestResult Test(const ColMajorMatrix<Complex>& roots, std::int64_t& pathsTracked) {
    if (!pencilTracker_) {  // made when first asked: a run with a count asks never
      incidence_ = MakeIncidenceFamily(family_, linear_, p0_);
      fibre_ = incidence_.FibreSlice(p0_);
      Draw();
    }
    const int n = incidence_.n;
    const std::int64_t seen = pencil_.values.rows();
    const std::int64_t added = roots.cols() - seen;
    if (added > 0) {
      ColMajorMatrix<Complex> lifted(incidence_.witness.n, added);
      for (std::int64_t c = 0; c < added; ++c) {
        const std::vector<Complex> point = incidence_.Lift(
            std::span<const Complex>(roots.col(seen + c), static_cast<std::size_t>(n)), p0_);
        std::copy(point.begin(), point.end(), lifted.col(c));
      }
      pathsTracked += added;
      const SegmentEnds moved =
          TrackSegment(incidence_.witness, fibre_, *sliceTarget_, gamma_, lifted, draws_, segment_);
      TracePencil more = pencilTracker_->Track(moved.points);
      pathsTracked += more.pathsTracked;
      for (std::int64_t c = 0; c < added; ++c)
        if (!moved.reached[static_cast<std::size_t>(c)])
          more.tracked[static_cast<std::size_t>(c)] = 0;
      AppendPencil(pencil_, more);
    }
    std::vector<std::int64_t> all(static_cast<std::size_t>(pencil_.values.rows()));
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<std::int64_t>(i);
    const TraceTestResult test = TraceTest(pencil_, all);
    const bool lost =
        std::find(pencil_.tracked.begin(), pencil_.tracked.end(), 0) != pencil_.tracked.end();
    if (!lost || attempt_ + 1 >= kTraceAttempts) return test;
    // A point lost on the way (a path failed, or a point too ill-conditioned on the random
    // slice): another slice and pencil for all of them.
    ++attempt_;
    Draw();
    return Test(roots, pathsTracked);
  }

 private:
  // The random slice of V near the fibre's, the pencil through it, the gamma of the way there;
  // attempt k draws from its own stream.
  void Draw() {
    RuntimeUniform draws = StreamOf(seed_, kIncidenceStream + attempt_);
    slice_.clear();
    for (const Complex& f : fibre_) slice_.push_back(f + kSliceMove * BoxDraw(draws));
    direction_.assign(fibre_.size(), 0.0);
    for (std::size_t k = static_cast<std::size_t>(incidence_.ConstantsBegin()); k < fibre_.size();
         ++k)
      direction_[k] = kSliceMove * BoxDraw(draws);
    gamma_ = UnitDraw(draws);
    draws_ = draws;
    sliceTarget_ = MakeSegmentTarget(incidence_.witness, slice_);
    pencilTracker_ = std::make_unique<TracePencilTracker>(
        incidence_.witness, slice_, direction_,
        TraceOptions{seed_ + static_cast<std::uint64_t>(attempt_), segment_.threads,
                     segment_.interrupted});
    pencil_ = TracePencil{};
  }

  const ParametricSystem& family_;
  std::vector<int> linear_;
  std::vector<Complex> p0_;
  std::uint64_t seed_;
  SegmentOptions segment_;
  int attempt_ = 0;
  IncidenceFamily incidence_;
  std::vector<Complex> fibre_, slice_, direction_;
  Complex gamma_;
  RuntimeUniform draws_{0};
  std::shared_ptr<const SegmentTarget> sliceTarget_;
  std::unique_ptr<TracePencilTracker> pencilTracker_;
  TracePencil pencil_;
};

}  // namespace

const char* MonodromyStopName(MonodromyStop stop) {
  switch (stop) {
    case MonodromyStop::kTargetCount:
      return "count";
    case MonodromyStop::kComplete:
      return "trace test";
    case MonodromyStop::kStable:
      return "stable";
    case MonodromyStop::kLoopLimit:
      return "loop limit";
  }
  return "?";
}

const char* FamilyTraceVerdictName(FamilyTraceVerdict verdict) {
  switch (verdict) {
    case FamilyTraceVerdict::kPassed:
      return "passed";
    case FamilyTraceVerdict::kNotPassed:
      return "not passed";
    case FamilyTraceVerdict::kNotRun:
      return "not run";
    case FamilyTraceVerdict::kNotApplicable:
      return "not applicable";
  }
  return "?";
}

FamilyMonodromyResult SolveFamilyByMonodromy(const ParametricSystem& family,
                                             const FamilyMonodromyOptions& options) {
  const auto begin = std::chrono::steady_clock::now();
  CheckFamilyShape(family, "family");
  if (options.count && *options.count < 1)
    throw Error(ErrorCode::kBadArgument, "monodromy: the count of roots must be at least 1");
  FamilyMonodromyResult out;
  FamilyStart& start = out.start;
  start.seed = options.seed ? *options.seed : FreshEntropySeed();
  start.systemHash = FamilyHash(family);
  start.parameterNames = family.parameterNames;
  start.parameters = StartParameters(family, start.seed);
  const SegmentOptions segment{ThreadCount(options.threads), options.interrupted};

  std::int64_t paths = 0;
  const FirstRoot first = FindFirstRoot(family, start.parameters, start.seed, segment, paths);
  out.firstRootAttempts = first.attempts;

  IncidenceTrace trace(family, start.parameters, start.seed, segment);
  out.linearParameters = trace.linearCount();
  out.trace = options.count        ? FamilyTraceVerdict::kNotRun
              : trace.applicable() ? FamilyTraceVerdict::kNotPassed
                                   : FamilyTraceVerdict::kNotApplicable;
  std::int64_t tracePaths = 0;
  MonodromyOptions loops;
  loops.seed = start.seed;
  loops.threads = segment.threads;
  loops.stableLoops = options.stableLoops;
  loops.maxLoops = options.maxLoops;
  loops.targetCount = options.count;
  loops.symmetries = options.symmetries;
  loops.interrupted = options.interrupted;
  if (options.progress) {
    loops.progress = [&](const MonodromyProgress& p) {
      options.progress(FamilyMonodromyProgress{
          p.loops, p.points, paths + tracePaths + p.pathsTracked, p.loopsWithoutProgress});
    };
  }
  if (out.trace == FamilyTraceVerdict::kNotPassed) {
    // Each root is followed to the random slice and along the pencil once, however often the
    // test is asked: asked after every root that comes, it stops the loops with the last one.
    loops.askCompleteOnGain = true;
    loops.complete = [&](const MonodromyResult& sofar) {
      const TraceTestResult test = trace.Test(sofar.points, tracePaths);
      out.traceResidual = test.residual;
      out.traceThreshold = test.threshold;
      if (test.passed) out.trace = FamilyTraceVerdict::kPassed;
      return test.passed;
    };
  }
  ColMajorMatrix<Complex> firstPoint(family.n, 1);
  std::copy(first.x.begin(), first.x.end(), firstPoint.col(0));
  const MonodromyResult found = RunMonodromy(family, start.parameters, firstPoint, loops);

  start.roots = found.points;
  start.multiplicity.assign(static_cast<std::size_t>(found.points.cols()), 1);
  out.loops = found.loops;
  out.stop = found.stop;
  out.pathsTracked = paths + tracePaths + found.pathsTracked;
  out.pathsFailed = found.pathsFailed;
  start.pathCount = out.pathsTracked;
  start.method = FamilyStart::Method::kMonodromy;
  out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  return out;
}

}  // namespace zormix
