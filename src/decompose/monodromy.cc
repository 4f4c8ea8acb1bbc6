// Monodromy loops: the points known at the base parameters carried around random loops, new roots
// collected, the permutations recorded.
#include "decompose/monodromy.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <numbers>
#include <utility>

#include "decompose/monodromy_parameters.h"
#include "decompose/monodromy_points.h"
#include "decompose/monodromy_track.h"
#include "finish/disjoint_sets.h"
#include "solve/family_layout.h"
#include "zormix/error.h"

namespace zormix {
namespace {

// The segments of a loop: base -> first -> second -> base.
constexpr int kSegments = 3;

Complex UnitDraw(RuntimeUniform& draws) {
  return std::polar(1.0, 2.0 * std::numbers::pi * draws.Next());
}

std::vector<Complex> DefaultDraw(std::span<const Complex> base, RuntimeUniform& draws) {
  std::vector<Complex> p;
  for (const Complex& b : base) {
    const double re = 2.0 * draws.Next() - 1.0;
    const double im = 2.0 * draws.Next() - 1.0;
    p.push_back(b + std::max(1.0, std::abs(b)) * Complex(re, im));
  }
  return p;
}

struct LoopState {
  MonodromyLoop record;
  std::shared_ptr<const SegmentTarget> first, second;
  Complex gamma[kSegments];
  RuntimeUniform draws{0};             // the tracker's checks, continued batch after batch
  std::vector<std::int64_t> preimage;  // per point: the point that went to it, -1 none yet
};

class Engine {
 public:
  Engine(const ParametricSystem& family, std::span<const Complex> base,
         const MonodromyOptions& options)
      : family_(family),
        base_(base.begin(), base.end()),
        options_(options),
        known_(family, base, kMonodromyConditionLimit),
        baseTarget_(MakeSegmentTarget(family, base)) {
    stableLoops_ = options.stableLoops > 0 ? options.stableLoops
                                           : static_cast<int>(kMonodromyStableLoops.value());
    maxLoops_ =
        options.maxLoops > 0 ? options.maxLoops : static_cast<int>(kMonodromyMaxLoops.value());
    segment_.threads = std::max(1, options.threads);
    segment_.interrupted = options.interrupted;
  }

  MonodromyResult Run(const ColMajorMatrix<Complex>& given) {
    const auto begin = std::chrono::steady_clock::now();
    PlaceGiven(given);
    int stale = 0;
    std::int64_t countBefore = 0;
    int groupsBefore = 0;
    for (;;) {
      if (CloseOverLoops()) {
        result_.stop = MonodromyStop::kTargetCount;
        break;
      }
      RefreshGroups();
      if (!loops_.empty()) {
        const bool progress = known_.count() != countBefore || result_.groupCount != groupsBefore;
        stale = progress ? 0 : stale + 1;
      }
      Report(stale);
      if (options_.complete && options_.complete(Snapshot())) {
        result_.stop = MonodromyStop::kComplete;
        break;
      }
      if (stale >= stableLoops_) {
        result_.stop = MonodromyStop::kStable;
        break;
      }
      if (static_cast<int>(loops_.size()) >= maxLoops_) {
        result_.stop = MonodromyStop::kLoopLimit;
        break;
      }
      countBefore = known_.count();
      groupsBefore = result_.groupCount;
      AddLoop();
    }
    MonodromyResult out = Snapshot();
    out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    return out;
  }

 private:
  bool TargetReached() const {
    return options_.targetCount && known_.count() >= *options_.targetCount;
  }

  void PlaceGiven(const ColMajorMatrix<Complex>& given) {
    for (std::int64_t c = 0; c < given.cols(); ++c) {
      const MonodromyPoints::Placement placed =
          known_.Place(std::span<const Complex>(given.col(c), static_cast<std::size_t>(family_.n)));
      if (placed.verdict == MonodromyPoints::Verdict::kNew) {
        AddPoint(true);
        ExpandOrbit(placed.index);
      } else {
        result_.refused.push_back(c);
      }
    }
    if (known_.count() == 0)
      throw Error(ErrorCode::kInvalidInput,
                  "monodromy: no given point is a regular root at the base parameters");
  }

  // A new point: its slot in every loop.
  void AddPoint(bool representative) {
    representative_.push_back(representative ? 1 : 0);
    for (std::size_t l = 0; l < loops_.size(); ++l) {
      loops_[l].record.image.push_back(-1);
      loops_[l].preimage.push_back(-1);
      carried_[l].push_back(representative ? 0 : 1);
    }
  }

  // The images of a new point under the symmetries, as long as they give new roots. An image that
  // is no regular root means the symmetry is not one of this family: it is counted, not added.
  void ExpandOrbit(std::int64_t first) {
    if (options_.symmetries.empty()) return;
    std::vector<std::int64_t> queue{first};
    for (std::size_t q = 0; q < queue.size(); ++q) {
      const std::vector<Complex> x = known_.Point(queue[q]);
      for (const PointSymmetry& g : options_.symmetries) {
        std::vector<Complex> y(x.size());
        for (std::size_t i = 0; i < x.size(); ++i)
          y[i] = g.factor[i] * x[static_cast<std::size_t>(g.source[i])];
        const MonodromyPoints::Placement placed = known_.Place(y);
        if (placed.verdict == MonodromyPoints::Verdict::kNew) {
          AddPoint(false);
          queue.push_back(placed.index);
        } else if (placed.verdict == MonodromyPoints::Verdict::kNotRegular) {
          ++result_.symmetryImagesRefused;
        }
      }
    }
  }

  void AddLoop() {
    const std::int64_t number = static_cast<std::int64_t>(loops_.size());
    RuntimeUniform draws = StreamOf(options_.seed, number + 1);
    LoopState loop;
    const auto draw = [&] {
      return options_.drawParameters ? options_.drawParameters(base_, draws)
                                     : DefaultDraw(base_, draws);
    };
    loop.record.first = draw();
    loop.record.second = draw();
    if (loop.record.first.size() != base_.size() || loop.record.second.size() != base_.size())
      throw Error(ErrorCode::kInvalidInput, "monodromy: drawn parameters of the wrong count");
    for (Complex& g : loop.gamma) g = UnitDraw(draws);
    loop.draws = draws;
    loop.first = MakeSegmentTarget(family_, loop.record.first);
    loop.second = MakeSegmentTarget(family_, loop.record.second);
    loop.record.image.assign(static_cast<std::size_t>(known_.count()), -1);
    loop.preimage.assign(static_cast<std::size_t>(known_.count()), -1);
    std::vector<std::uint8_t> carried(static_cast<std::size_t>(known_.count()));
    for (std::size_t i = 0; i < carried.size(); ++i) carried[i] = representative_[i] ? 0 : 1;
    loops_.push_back(std::move(loop));
    carried_.push_back(std::move(carried));
  }

  // Carries every point around every loop it has not been around yet, until none is left; true
  // when the target count was reached on the way.
  bool CloseOverLoops() {
    for (bool again = true; again;) {
      again = false;
      for (std::size_t l = 0; l < loops_.size(); ++l) {
        std::vector<std::int64_t> pending;
        for (std::size_t i = 0; i < carried_[l].size(); ++i)
          if (!carried_[l][i]) pending.push_back(static_cast<std::int64_t>(i));
        if (pending.empty()) continue;
        again = true;
        CarryAround(l, pending);
        if (TargetReached()) return true;
      }
      if (TargetReached()) return true;
    }
    return false;
  }

  void CarryAround(std::size_t l, const std::vector<std::int64_t>& pending) {
    LoopState& loop = loops_[l];
    for (std::int64_t i : pending) carried_[l][static_cast<std::size_t>(i)] = 1;
    // Which pending point each column of the batch follows.
    std::vector<std::int64_t> owner = pending;
    ColMajorMatrix<Complex> batch(family_.n, static_cast<std::int64_t>(owner.size()));
    for (std::size_t c = 0; c < owner.size(); ++c) {
      const std::vector<Complex> x = known_.Point(owner[c]);
      std::copy(x.begin(), x.end(), batch.col(static_cast<std::int64_t>(c)));
    }
    const std::span<const Complex> from[kSegments] = {base_, loop.record.first, loop.record.second};
    const SegmentTarget* to[kSegments] = {loop.first.get(), loop.second.get(), baseTarget_.get()};
    for (int s = 0; s < kSegments; ++s) {
      result_.pathsTracked += batch.cols();
      SegmentEnds ends =
          TrackSegment(family_, from[s], *to[s], loop.gamma[s], batch, loop.draws, segment_);
      std::vector<std::int64_t> kept;
      for (std::size_t c = 0; c < owner.size(); ++c)
        if (ends.reached[c]) kept.push_back(static_cast<std::int64_t>(c));
      result_.pathsFailed += static_cast<std::int64_t>(owner.size() - kept.size());
      batch.Assign(family_.n, static_cast<std::int64_t>(kept.size()));
      std::vector<std::int64_t> keptOwner;
      for (std::size_t c = 0; c < kept.size(); ++c) {
        std::copy_n(ends.points.col(kept[c]), family_.n, batch.col(static_cast<std::int64_t>(c)));
        keptOwner.push_back(owner[static_cast<std::size_t>(kept[c])]);
      }
      owner = std::move(keptOwner);
      Report(-1);
    }
    for (std::size_t c = 0; c < owner.size(); ++c) {
      const MonodromyPoints::Placement placed = known_.Place(std::span<const Complex>(
          batch.col(static_cast<std::int64_t>(c)), static_cast<std::size_t>(family_.n)));
      if (placed.verdict == MonodromyPoints::Verdict::kNotRegular) {
        ++result_.pathsFailed;
        continue;
      }
      if (placed.verdict == MonodromyPoints::Verdict::kNew) {
        AddPoint(true);
        ExpandOrbit(placed.index);
      }
      RecordImage(loop, owner[c], placed.index);
    }
  }

  // A loop's map is a permutation: two points sent to one point mean that a path jumped. Neither
  // image is kept then (a wrong join would merge components).
  void RecordImage(LoopState& loop, std::int64_t point, std::int64_t image) {
    std::int64_t& earlier = loop.preimage[static_cast<std::size_t>(image)];
    if (earlier >= 0 && earlier != point) {
      if (loop.record.image[static_cast<std::size_t>(earlier)] == image) {
        loop.record.image[static_cast<std::size_t>(earlier)] = -1;
        ++result_.pathsFailed;
      }
      ++result_.pathsFailed;
      return;
    }
    earlier = point;
    loop.record.image[static_cast<std::size_t>(point)] = image;
  }

  void RefreshGroups() {
    std::vector<MonodromyLoop> records;
    for (const LoopState& loop : loops_) records.push_back(loop.record);
    result_.group = GroupsOfLoops(known_.count(), records, result_.groupCount);
  }

  MonodromyResult Snapshot() {
    MonodromyResult out = result_;
    out.points = known_.Points();
    out.loops.clear();
    for (const LoopState& loop : loops_) out.loops.push_back(loop.record);
    out.group = GroupsOfLoops(known_.count(), out.loops, out.groupCount);
    return out;
  }

  void Report(int stale) {
    if (stale >= 0) stale_ = stale;
    if (!options_.progress) return;
    MonodromyProgress progress;
    progress.loop = static_cast<int>(loops_.size());
    progress.points = known_.count();
    progress.pathsTracked = result_.pathsTracked;
    progress.loopsWithoutNewPoint = stale_;
    options_.progress(progress);
  }

  const ParametricSystem& family_;
  std::vector<Complex> base_;
  const MonodromyOptions& options_;
  MonodromyPoints known_;
  std::shared_ptr<const SegmentTarget> baseTarget_;
  SegmentOptions segment_;
  int stableLoops_ = 0;
  int maxLoops_ = 0;
  int stale_ = 0;
  std::vector<LoopState> loops_;
  std::vector<std::vector<std::uint8_t>> carried_;  // per loop, per point: carried around it
  std::vector<std::uint8_t> representative_;        // per point: carried at all (orbit leaders)
  MonodromyResult result_;
};

}  // namespace

std::vector<std::int32_t> GroupsOfLoops(std::int64_t pointCount,
                                        const std::vector<MonodromyLoop>& loops, int& groupCount) {
  DisjointSets sets(pointCount);
  for (const MonodromyLoop& loop : loops)
    for (std::size_t i = 0; i < loop.image.size(); ++i)
      if (loop.image[i] >= 0) sets.Join(static_cast<std::int64_t>(i), loop.image[i]);
  std::vector<std::int32_t> group(static_cast<std::size_t>(pointCount), -1);
  std::vector<std::int32_t> groupOfRoot(static_cast<std::size_t>(pointCount), -1);
  groupCount = 0;
  for (std::int64_t i = 0; i < pointCount; ++i) {
    std::int32_t& g = groupOfRoot[static_cast<std::size_t>(sets.Find(i))];
    if (g < 0) g = groupCount++;
    group[static_cast<std::size_t>(i)] = g;
  }
  return group;
}

MonodromyResult RunMonodromy(const ParametricSystem& family, std::span<const Complex> base,
                             const ColMajorMatrix<Complex>& points,
                             const MonodromyOptions& options) {
  if (points.rows() != family.n)
    throw Error(ErrorCode::kInvalidInput,
                "monodromy: the points do not have " + std::to_string(family.n) + " rows");
  if (static_cast<int>(base.size()) != family.parameterCount())
    throw Error(ErrorCode::kInvalidInput, "monodromy: the base parameters do not fit the family");
  for (const PointSymmetry& g : options.symmetries) {
    std::vector<int> sorted = g.source;
    std::sort(sorted.begin(), sorted.end());
    bool permutation = static_cast<int>(sorted.size()) == family.n &&
                       g.factor.size() == static_cast<std::size_t>(family.n);
    for (int k = 0; permutation && k < family.n; ++k) permutation = sorted[k] == k;
    if (!permutation)
      throw Error(ErrorCode::kInvalidInput,
                  "monodromy: a symmetry is not a permutation of the unknowns with a factor each");
  }
  Engine engine(family, base, options);
  return engine.Run(points);
}

}  // namespace zormix
