#include "tracker/jumps/path_jumping.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "base/condition_estimate.h"
#include "model/equation_scale.h"
#include "tracker/dd/dd_rescue.h"
#include "tracker/jumps/simple_root.h"
#include "tracker/tracking.h"

namespace zormix {
namespace {

// Buckets up to this size are compared pairwise; larger ones are split by the second coordinate.
constexpr std::size_t kMaxPairwiseBucket = 1000;
// Two end points are candidates when their projections differ by less than this.
constexpr double kProjectionTolerance = 1e-7;
// Relative distance (to the max modulus of the first point) at which two end points are apart.
constexpr double kApartTolerance = 1e-7;
// A common point is nonsingular when kMinSigmaMax < smax < kMaxCondition * smin. Regular roots
// of application systems reach condition 1e6 on the scaled target (a root of the Pieri
// pole-placement system pole27sys, reached by two paths, has 3.4e5); double roots computed to
// the end game's accuracy stay near 1e8 and above.
constexpr double kMinSigmaMax = 1e-12;
constexpr double kMaxCondition = 1e7;
constexpr double kConditionTolerance = 1e-5;
// Re-track levels: 1 and 2 the stricter attempts (correction limits 0.01 and 0.001), then the
// careful re-tracker (with correction limit 0.001) for a pair at a simple root.
constexpr int kCarefulLevel = 3;
// Backward error above which an end point that tracking accepted is far from converged: Newton's
// method at the target leaves 1e-12 or less, and the paths of pole27sys (seed 3) that stopped 1e-2
// short of roots other paths hold have 3e-6.
constexpr double kFarFromConverged = 1e-9;
// Rounds of comparisons after the first pass, for end points that re-tracking moved.
constexpr int kFollowUpRounds = 5;

// A recorded path whose re-track failed or went to infinity: its end point is not reported.
bool DroppedByRetrack(PathStatus status) {
  return status == PathStatus::kRetrackFailed || status == PathStatus::kDiverged;
}

// Largest modulus of a - b; NaN propagates so that a broken point never counts as apart.
double MaxDistance(const std::vector<Complex>& a, const std::vector<Complex>& b) {
  double d = 0.0;
  for (std::size_t j = 0; j < a.size(); ++j) {
    const double dj = std::abs(a[j] - b[j]);
    if (!(dj <= d)) d = dj;
  }
  return d;
}

double MaxModulus(const std::vector<Complex>& a) {
  double d = 0.0;
  for (const Complex& v : a) {
    const double dv = std::abs(v);
    if (!(dv <= d)) d = dv;
  }
  return d;
}

struct PairChecker {
  PairChecker(const SystemView& target, ColMajorMatrix<Complex>& points,
              std::vector<PathRecord>& pathRecords, const RetrackFunction& retrackPath,
              const RetrackFunction& carefulRetrackPath, RuntimeUniform& uniform)
      : scaledTarget(target),
        solutions(points),
        records(pathRecords),
        retrack(retrackPath),
        carefulRetrack(carefulRetrackPath),
        runtime(uniform) {}

  const SystemView& scaledTarget;
  ColMajorMatrix<Complex>& solutions;
  std::vector<PathRecord>& records;
  const RetrackFunction& retrack;
  const RetrackFunction& carefulRetrack;
  RuntimeUniform& runtime;
  std::vector<std::int32_t> maxDegree;
  std::vector<Complex> proj;
  PathCounts stats;
  ColMajorMatrix<Complex> jacobian;
  std::vector<Complex> values;
  std::vector<double> direction;  // r of proj = sum_j r_j y_j
  // A re-track may end on the end point of a third path that was compared before, or in another
  // bucket: when that path jumped too, the two stay together. So the end points that separating
  // pairs moved are compared again, in follow-up rounds limited to pairs with such a member.
  bool followUp = false;
  std::vector<std::uint8_t> moved;     // moved by the previous round (compared in this one)
  std::vector<std::uint8_t> movedNow;  // moved by the current round
  std::vector<std::uint8_t> levels;    // strictest re-track level of each path so far (0: none)

  void Project() {
    const int n = static_cast<int>(solutions.rows());
    for (std::size_t k = 0; k < proj.size(); ++k) {
      proj[k] = Complex(0.0);
      for (int j = 0; j < n; ++j) proj[k] += direction[j] * solutions(j, k);
    }
  }

  std::vector<Complex> Column(std::int64_t r) const {
    const Complex* y = solutions.col(r);
    return std::vector<Complex>(y, y + solutions.rows());
  }

  // Common point i nonsingular on the scaled target: 1e-12 < smax < 1e5 smin (false for NaN).
  bool IsWellConditioned(std::int64_t i) {
    EvaluateSystem(scaledTarget, maxDegree, solutions.col(i), jacobian, values);
    const SingularValueEstimate s = EstimateCondition(jacobian, kConditionTolerance, runtime);
    return kMinSigmaMax < s.sigmaMax && s.sigmaMax < kMaxCondition * s.sigmaMin;
  }

  // Re-tracks the path of record r into y and books its steps and outcome on the record. A result
  // of the wrong length counts as failed and leaves y as it was.
  void RetrackPath(std::int64_t r, double correctionLimit, std::vector<Complex>& y) {
    RetrackPathWith(retrack, r, correctionLimit, y);
  }
  void RetrackPathWith(const RetrackFunction& with, std::int64_t r, double correctionLimit,
                       std::vector<Complex>& y) {
    PathRecord& record = records[static_cast<std::size_t>(r)];
    RetrackResult result = with(record, correctionLimit);
    ++stats.retracked;
    record.steps += result.steps;
    record.retrackCount += 1;
    if (result.y.size() != y.size()) result.failed = true;
    if (result.failed && result.diverged) {
      // A re-track that the end game proved diverging is a verdict, not a failure: the first
      // tracking's end point was another path's root, reached by a jump off a path to infinity.
      record.status = PathStatus::kDiverged;
      record.valuation = result.valuation;
      y = std::move(result.y);
    } else if (result.failed) {
      // The point where a failed re-track stopped is no end point: y keeps the path's end point,
      // so that the pair stays together and the next, stricter, level is tried.
      if (record.status != PathStatus::kDiverged) record.status = PathStatus::kRetrackFailed;
      record.valuation = record.status == PathStatus::kDiverged ? record.valuation : 0.0;
    } else if (record.status != PathStatus::kDiverged) {
      // A stricter re-track that arrives outranks an earlier one that failed.
      y = std::move(result.y);
      record.status = PathStatus::kJumped;
      record.windingNumber = result.windingNumber;
    }
  }

  // Apart means max_j |ya_j - yb_j| >= 1e-7 max_j |ya_j|. The distance must also be positive: two
  // identical points at the origin would otherwise pass as apart (0 >= 0) and never be re-tracked.
  static bool Apart(const std::vector<Complex>& ya, const std::vector<Complex>& yb) {
    const double d = MaxDistance(ya, yb);
    return d > 0.0 && d >= kApartTolerance * MaxModulus(ya);
  }

  // A record whose re-track failed is not reported, so its end point is no longer compared.
  void MarkMoved(std::int64_t r) {
    if (!DroppedByRetrack(records[static_cast<std::size_t>(r)].status)) movedNow[r] = 1;
  }

  // The common point of a pair is a well-conditioned root that a path reached. When neither
  // re-track comes back to it and one of them is dropped (went to infinity or failed), that record
  // keeps the common point: the root is reported once, never lost to a pair whose paths both
  // jumped onto it (fbremb2 by total degree: one re-track to another root, the other to infinity).
  void KeepCommonRoot(std::int64_t i, std::int64_t k, const std::vector<Complex>& common,
                      std::vector<Complex>& ya, std::vector<Complex>& yb) {
    const bool dropI = DroppedByRetrack(records[static_cast<std::size_t>(i)].status);
    const bool dropK = DroppedByRetrack(records[static_cast<std::size_t>(k)].status);
    if (!dropI && !dropK) return;
    // Only a path that is still reported holds the root (a failed re-track leaves its path's end
    // point as it was, and the path is dropped all the same).
    if ((!dropI && !Apart(common, ya)) || (!dropK && !Apart(common, yb))) return;
    PathRecord& record = records[static_cast<std::size_t>(dropI ? i : k)];
    record.status = PathStatus::kJumped;
    record.valuation = 0.0;
    record.windingNumber = 1;
    (dropI ? ya : yb) = common;
  }

  bool EitherDiverged(std::int64_t i, std::int64_t k) const {
    return records[static_cast<std::size_t>(i)].status == PathStatus::kDiverged ||
           records[static_cast<std::size_t>(k)].status == PathStatus::kDiverged;
  }

  // Whether y is a simple root (Kantorovich's test, simple_root.h), not merely near one.
  bool AtSimpleRoot(const std::vector<Complex>& y) {
    const SimpleRootTest test = TestSimpleRoot(scaledTarget, maxDegree, y.data());
    return test.simple && !Apart(test.root, y);
  }

  // Re-tracks path r at `level` (1: the re-tracker with correction limit 0.01, 2: with 0.001,
  // kCarefulLevel: the careful re-tracker) unless it was re-tracked at that level or a stricter
  // one before: its end point is that re-track's already, and a looser re-track would undo the
  // separation the stricter one made (pole27sys, seed 3: a path separated at 0.001 went back onto
  // its partner's root when the next pair re-tracked it at 0.01, round after round).
  bool RetrackAtLevel(std::int64_t r, int level, std::vector<Complex>& y) {
    std::uint8_t& done = levels[static_cast<std::size_t>(r)];
    if (done >= level) return false;
    done = static_cast<std::uint8_t>(level);
    if (level == kCarefulLevel) {
      RetrackPathWith(carefulRetrack, r, kCarefulCorrectionLimit, y);
    } else {
      RetrackPath(r, level == 1 ? 0.01 : 0.001, y);
    }
    return true;
  }

  // Two paths that the stricter attempts left at one point. At a multiple root they belong there
  // together; at a simple root one of them jumped, and when even the careful re-track leaves both
  // there, the later path is given up (kRetrackFailed): a simple root holds one path, and which
  // of the two jumped is not known.
  void GiveUpAtSimpleRoot(std::int64_t k, const std::vector<Complex>& ya,
                          const std::vector<Complex>& yb, bool simple) {
    if (!simple || Apart(ya, yb)) return;
    PathRecord& record = records[static_cast<std::size_t>(k)];
    if (DroppedByRetrack(record.status)) return;
    record.status = PathStatus::kRetrackFailed;
    record.valuation = 0.0;
  }

  // Whether end point r has a backward error above kFarFromConverged, in double (cheap, and
  // rounded far below that level) and then in double-double.
  bool FarFromConverged(std::int64_t r) {
    const Complex* y = solutions.col(r);
    EvaluateSystem(scaledTarget, maxDegree, y, jacobian, values);
    return BackwardError(scaledTarget, maxDegree, y, values) > kFarFromConverged &&
           DoubleDoubleBackwardError(scaledTarget, maxDegree, y) > kFarFromConverged;
  }

  // The first other end point not apart from y, or -1.
  std::int64_t HolderOf(const std::vector<Complex>& y, std::int64_t self, std::int64_t rootCount) {
    for (std::int64_t k = 0; k < rootCount; ++k) {
      if (k == self || DroppedByRetrack(records[static_cast<std::size_t>(k)].status)) continue;
      if (!Apart(y, Column(k))) return k;
    }
    return -1;
  }

  // An end point that tracking accepted off its root (FarFromConverged) is compared where Newton's
  // method takes it: when that is a simple root which another end point holds, its path went astray
  // near the target (pole27sys, seed 3: two paths stop 1e-2 short of roots other paths hold, with
  // residuals of 4e-6). The path is tracked again carefully; a re-track that ends at the other
  // path's root again, or fails, gives it up.
  void CheckUnconverged(std::int64_t rootCount) {
    for (std::int64_t r = 0; r < rootCount; ++r) {
      if (DroppedByRetrack(records[static_cast<std::size_t>(r)].status)) continue;
      if (!FarFromConverged(r)) continue;
      const SimpleRootTest test = TestSimpleRoot(scaledTarget, maxDegree, solutions.col(r));
      if (!test.simple) continue;
      const std::int64_t holder = HolderOf(test.root, r, rootCount);
      if (holder < 0) continue;
      std::vector<Complex> y = Column(r);
      RetrackAtLevel(r, carefulRetrack ? kCarefulLevel : 2, y);
      PathRecord& record = records[static_cast<std::size_t>(r)];
      if (DroppedByRetrack(record.status)) continue;
      if (!Apart(y, Column(holder))) {
        record.status = PathStatus::kRetrackFailed;
        continue;
      }
      std::copy(y.begin(), y.end(), solutions.col(r));
      MarkMoved(r);
    }
  }

  void ProcessPair(std::int64_t i, std::int64_t k) {
    const std::size_t ui = static_cast<std::size_t>(i), uk = static_cast<std::size_t>(k);
    if (followUp && (DroppedByRetrack(records[ui].status) || DroppedByRetrack(records[uk].status)))
      return;
    if (!(std::abs(proj[ui] - proj[uk]) < kProjectionTolerance)) return;
    if (!IsWellConditioned(i)) return;
    std::vector<Complex> ya = Column(i), yb = Column(k);
    const std::vector<Complex> common = ya;
    bool retracked = false, simple = false;
    for (int level = 1; level <= kCarefulLevel; ++level) {
      if (Apart(ya, yb)) break;
      // The careful re-track only where the common point is a simple root: one of the two paths
      // jumped there, and its own root is lost unless a re-track reaches it (a path whose
      // stricter re-tracks failed gets this one as well; cyclic-11, seed 1: a re-track at the
      // first level failed and the root of the path that jumped was lost).
      if (level == kCarefulLevel) {
        if (EitherDiverged(i, k)) break;
        simple = AtSimpleRoot(ya);
        if (!simple || !carefulRetrack) break;
      }
      retracked = RetrackAtLevel(i, level, ya) || retracked;
      retracked = RetrackAtLevel(k, level, yb) || retracked;
    }
    GiveUpAtSimpleRoot(k, ya, yb, simple);
    if (retracked) KeepCommonRoot(i, k, common, ya, yb);
    if (MaxDistance(ya, yb) > kApartTolerance * MaxModulus(ya)) {
      std::copy(ya.begin(), ya.end(), solutions.col(i));
      std::copy(yb.begin(), yb.end(), solutions.col(k));
      // A pair that an earlier separation had already moved apart (its projections are those of
      // the first pass) was not separated here.
      if (retracked) {
        ++stats.separatedPairs;
        MarkMoved(i);
        MarkMoved(k);
      }
    }
  }

  // Every pair of `members` in list order (the earlier member first); in a follow-up round only
  // the pairs with a member that the previous round moved.
  void ProcessAllPairs(const std::vector<std::int64_t>& members) {
    for (std::size_t a = 0; a + 1 < members.size(); ++a) {
      for (std::size_t b = a + 1; b < members.size(); ++b) {
        if (followUp && !moved[members[a]] && !moved[members[b]]) continue;
        ProcessPair(members[a], members[b]);
      }
    }
  }

  // Buckets by the first coordinate: small buckets pairwise, large ones split by the second.
  void ComparePairs(std::int64_t rootCount) {
    const SolutionBuckets first = BucketByFirstCoordinate(solutions, rootCount);
    for (const std::vector<std::int64_t>& members : first.list) {
      if (members.size() >= 2 && members.size() <= kMaxPairwiseBucket) ProcessAllPairs(members);
    }
    for (const std::vector<std::int64_t>& members : first.list) {
      if (members.size() <= kMaxPairwiseBucket) continue;
      const SolutionBuckets second = BucketBySecondCoordinate(solutions, members);
      for (const std::vector<std::int64_t>& subMembers : second.list) {
        if (subMembers.size() >= 2) ProcessAllPairs(subMembers);
      }
    }
  }
};

}  // namespace

int BucketKey(Complex z) {
  // fmod of the truncated value is exact and keeps the sign of the dividend, like the integer
  // remainder, but never converts an out-of-range double to an integer. Non-finite values go to
  // the bucket of q = 0.
  const double scaled = std::trunc(z.imag() * 10000.0);
  const int q = std::isfinite(scaled) ? static_cast<int>(std::fmod(scaled, 100.0)) : 0;
  return q >= 0 ? q + 100 : -q;
}

SolutionBuckets BucketByFirstCoordinate(const ColMajorMatrix<Complex>& solutions,
                                        std::int64_t rootCount) {
  SolutionBuckets buckets;
  if (solutions.rows() == 0) return buckets;
  for (std::int64_t r = 0; r < rootCount; ++r) {
    buckets.list[static_cast<std::size_t>(BucketKey(solutions(0, r)))].push_back(r);
  }
  return buckets;
}

// With a single variable there is no second coordinate: all members stay together in the bucket of
// q = 0, so a large bucket is compared pairwise. The pair test is cheap for n = 1, and the number
// of end points is bounded by the degree of the one equation.
SolutionBuckets BucketBySecondCoordinate(const ColMajorMatrix<Complex>& solutions,
                                         const std::vector<std::int64_t>& members) {
  SolutionBuckets buckets;
  for (std::int64_t r : members) {
    const int b = solutions.rows() >= 2 ? BucketKey(solutions(1, r)) : BucketKey(Complex(0.0));
    buckets.list[static_cast<std::size_t>(b)].push_back(r);
  }
  return buckets;
}

PathCounts CheckPathJumping(const SystemView& scaledTarget, ColMajorMatrix<Complex>& solutions,
                            std::int64_t rootCount, std::vector<PathRecord>& records,
                            const RetrackFunction& retrack, RuntimeUniform& runtime,
                            const RetrackFunction& carefulRetrack) {
  PairChecker checker(scaledTarget, solutions, records, retrack, carefulRetrack, runtime);
  const int n = static_cast<int>(solutions.rows());
  runtime.Reseed();
  checker.direction.resize(static_cast<std::size_t>(n));
  for (double& rj : checker.direction) rj = runtime.Next();
  checker.proj.assign(static_cast<std::size_t>(rootCount), Complex(0.0));
  checker.Project();
  for (PathRecord& record : records) {
    record.retrackCount = 0;
    if (record.status == PathStatus::kJumped || DroppedByRetrack(record.status)) {
      record.status = PathStatus::kReached;
      record.valuation = 0.0;
    }
  }
  if (rootCount < 2) return checker.stats;
  checker.maxDegree = MaxDegrees(*scaledTarget.exponents);
  const std::size_t count = static_cast<std::size_t>(rootCount);
  checker.movedNow.assign(count, 0);
  checker.levels.assign(count, 0);

  checker.CheckUnconverged(rootCount);
  checker.ComparePairs(rootCount);
  for (int round = 0; round < kFollowUpRounds; ++round) {
    if (std::find(checker.movedNow.begin(), checker.movedNow.end(), 1) == checker.movedNow.end())
      break;
    checker.followUp = true;
    checker.moved.swap(checker.movedNow);
    checker.movedNow.assign(count, 0);
    checker.Project();
    checker.ComparePairs(rootCount);
  }
  return checker.stats;
}

}  // namespace zormix
