// The decomposition: witness supersets by the cascade, junk removed by the membership test, the
// rest broken into irreducible components; the isolated points from the solve of dimension 0.
#include "zormix/decompose.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>

#include "base/random.h"
#include "decompose/cascade.h"
#include "decompose/components.h"
#include "decompose/decompose_with_runners.h"
#include "decompose/membership.h"
#include "decompose/witness_family.h"
#include "decompose/witness_parameters.h"
#include "decompose/witness_track.h"
#include "zormix/error.h"
#include "zormix/solve.h"

namespace zormix {
namespace {

// The generator of the decomposition's own random data (the slices, the weights, the
// combinations), apart from the streams of its homotopies.
RuntimeUniform DataDraws(std::uint64_t seed) {
  RuntimeUniform draws(seed ^ 0xdec0de5eedull);
  draws.Reseed();
  return draws;
}

int CheckedTop(const DecomposeOptions& options, int n, int lowest) {
  if (options.threads < 0 || options.threads > kMaxThreads) {
    throw Error(ErrorCode::kBadArgument, "threads must be 0 to " + std::to_string(kMaxThreads) +
                                             ", found " + std::to_string(options.threads));
  }
  const int top = options.topDimension.value_or(std::max(n - 1, lowest));
  if (top < lowest || top > std::max(n - 1, lowest)) {
    throw Error(ErrorCode::kBadArgument, "the top dimension must be " + std::to_string(lowest) +
                                             " to " + std::to_string(std::max(n - 1, lowest)) +
                                             " for this system, found " + std::to_string(top));
  }
  return top;
}

ColMajorMatrix<Complex> FirstRows(const ColMajorMatrix<Complex>& matrix, int rows) {
  ColMajorMatrix<Complex> first;
  first.Assign(rows, matrix.cols());
  for (std::int64_t l = 0; l < matrix.cols(); ++l)
    for (int j = 0; j < rows; ++j) first(j, l) = matrix(j, l);
  return first;
}

// The candidates of one level as distinct points with the paths that reach each. Paths that end
// at one singular point are sometimes left apart by the end game's grouping (one of a double
// point's two paths stops a little earlier); witness points of a random slice lie far apart, so
// candidates within decompose.membership_distance of an earlier one are that point, and their
// paths add to its multiplicity.
std::vector<std::pair<std::int64_t, std::int32_t>> DistinctCandidates(
    const WitnessCandidates& level) {
  const std::int64_t n = level.points.rows();
  std::vector<std::pair<std::int64_t, std::int32_t>> distinct;
  for (std::int64_t p = 0; p < level.points.cols(); ++p) {
    const std::span<const Complex> x(level.points.col(p), static_cast<std::size_t>(n));
    const auto same = std::find_if(distinct.begin(), distinct.end(), [&](const auto& d) {
      const std::span<const Complex> y(level.points.col(d.first), static_cast<std::size_t>(n));
      return RelativeDistance(x, y) <= kMembershipDistance.value();
    });
    if (same != distinct.end()) {
      same->second += level.multiplicity[p];
    } else {
      distinct.emplace_back(p, level.multiplicity[p]);
    }
  }
  return distinct;
}

// The candidates of one dimension without junk: the witness set of that dimension.
WitnessSet CleanWitnessSet(const WitnessCandidates& level, const Cascade& cascade,
                           const JunkTest& isJunk, RuntimeUniform& draws, DimensionReport& report) {
  const int k = level.dimension;
  const int n = cascade.equations.n;
  WitnessSet set;
  set.dimension = k;
  set.slice = FirstRows(cascade.embedding.slice, k);
  set.constants.assign(cascade.embedding.constants.begin(),
                       cascade.embedding.constants.begin() + k);
  set.rows = WitnessRows(cascade.equations, DrawMix(cascade.equations, k, draws), set.slice);
  set.system = set.rows.Build(cascade.equations.rows.variableNames, SliceConstantNames(k));
  std::vector<std::int64_t> kept;
  for (const auto& [p, m] : DistinctCandidates(level)) {
    const std::span<const Complex> x(level.points.col(p), n);
    // A regular root of g_k is isolated in the slice of the solution set: on no component of a
    // higher dimension, whose slice would be a set through it.
    const bool junk =
        SystemResidual(cascade.equations, x) > kOnSystem.value() || (m > 1 && isJunk(x, k));
    if (junk) {
      report.junk += m;
      continue;
    }
    kept.push_back(p);
    set.multiplicity.push_back(m);
  }
  set.points.Assign(n, static_cast<std::int64_t>(kept.size()));
  for (std::size_t c = 0; c < kept.size(); ++c)
    std::copy_n(level.points.col(kept[c]), n, set.points.col(static_cast<std::int64_t>(c)));
  return set;
}

// The isolated part: the roots of dimension 0 that are isolated solutions of the system.
IsolatedPart IsolatedPoints(Cascade& cascade, const JunkTest& isJunk) {
  IsolatedPart part;
  part.solve = std::move(cascade.dimensionZero);
  const SolveResult& s = part.solve;
  part.isolated.assign(static_cast<std::size_t>(s.rootCount), 0);
  part.atInfinity = s.classes.atInfinity;
  part.failed = s.classes.failed;
  std::vector<std::uint8_t> leaderIsolated(static_cast<std::size_t>(s.rootCount), 0);
  for (std::int64_t r = 0; r < s.rootCount; ++r) {
    const std::span<const Complex> x(s.roots.col(r), s.n);
    const RootStatus status = s.rootStatus[r];
    if (status == RootStatus::kPositiveDimensional) {
      ++part.positiveDimensional;
      continue;
    }
    const std::int64_t leader = s.groupLeader[r];
    if (leader != r) {
      part.isolated[r] = leaderIsolated[leader];
      if (leaderIsolated[leader]) ++part.singularEndPoints;
      continue;
    }
    if (cascade.equations.randomized && SystemResidual(cascade.equations, x) > kOnSystem.value()) {
      ++part.extraneous;
      continue;
    }
    if (status == RootStatus::kRegular) {
      part.isolated[r] = 1;
      ++part.regular;
      if (s.isReal[r]) ++part.realRegular;
      continue;
    }
    if (isJunk(x, 0)) {
      ++part.embedded;
      continue;
    }
    leaderIsolated[r] = 1;
    part.isolated[r] = 1;
    ++part.singular;
    ++part.singularEndPoints;
  }
  return part;
}

}  // namespace

Decomposition Decompose(const PolySystem& system, const DecomposeOptions& options) {
  return DecomposeWith(system, options, TrackingRunners());
}

Decomposition DecomposeWith(const PolySystem& system, const DecomposeOptions& options,
                            const TrackingRunners& runners) {
  Decomposition d;
  d.seed = options.seed ? *options.seed : FreshEntropySeed();
  RuntimeUniform draws = DataDraws(d.seed);
  const Equations equations = PrepareEquations(system, draws);
  const int lowest = std::max(0, equations.n - equations.given);
  d.topDimension = CheckedTop(options, equations.n, lowest);
  d.n = equations.n;
  d.equationCount = equations.given;
  d.randomized = equations.randomized;
  d.variableNames = equations.rows.variableNames;
  for (std::string& name : d.variableNames) name.erase(name.find_last_not_of(' ') + 1);
  PointTracker tracker(d.seed, options, runners);
  Cascade cascade =
      RunCascade(equations, DrawEmbedding(equations.n, d.topDimension, draws), tracker);
  d.warnings = cascade.warnings;
  std::vector<WitnessSet> found;
  const JunkTest isJunk = HomotopyJunkTest(found, tracker);
  for (const WitnessCandidates& level : cascade.levels) {
    const auto begin = std::chrono::steady_clock::now();
    DimensionReport report = level.report;
    tracker.SetDimension(level.dimension, "junk removal");
    WitnessSet set = CleanWitnessSet(level, cascade, isJunk, draws, report);
    tracker.SetDimension(level.dimension, "components");
    ComponentBreakup breakup = BreakIntoComponents(set, d.variableNames, tracker);
    d.warnings.insert(d.warnings.end(), breakup.warnings.begin(), breakup.warnings.end());
    for (WitnessComponent& c : breakup.components) {
      if (!c.traceTestPassed) {
        d.warnings.push_back("dimension " + std::to_string(c.dimension) + ": a group of " +
                             std::to_string(c.degree) +
                             " witness points whose trace test did not close");
      }
      d.components.push_back(std::move(c));
    }
    report.seconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    d.dimensions.push_back(report);
    found.push_back(std::move(set));
  }
  if (cascade.hasDimensionZero) {
    const auto begin = std::chrono::steady_clock::now();
    tracker.SetDimension(0, "junk removal");
    DimensionReport report = cascade.dimensionZeroReport;
    d.isolated = IsolatedPoints(cascade, isJunk);
    const IsolatedPart& part = d.isolated;
    report.witnessSuperset =
        part.regular + part.singularEndPoints + part.positiveDimensional + part.extraneous;
    report.junk = part.positiveDimensional + part.embedded;
    report.seconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    d.dimensions.push_back(report);
  } else {
    d.isolated.solve.n = equations.n;
  }
  return d;
}

std::vector<int> ComponentsContaining(const PolySystem& system, const Decomposition& decomposition,
                                      std::span<const Complex> point,
                                      const DecomposeOptions& options) {
  return ComponentsContainingWith(system, decomposition, point, options, TrackingRunners());
}

std::vector<int> ComponentsContainingWith(const PolySystem& system,
                                          const Decomposition& decomposition,
                                          std::span<const Complex> point,
                                          const DecomposeOptions& options,
                                          const TrackingRunners& runners) {
  if (static_cast<int>(point.size()) != decomposition.n) {
    throw Error(ErrorCode::kBadArgument, "the point has " + std::to_string(point.size()) +
                                             " coordinates, the system " +
                                             std::to_string(decomposition.n) + " unknowns");
  }
  const std::uint64_t seed = options.seed ? *options.seed : FreshEntropySeed();
  RuntimeUniform draws = DataDraws(seed ^ 0x6d656d62ull);
  const Equations equations = PrepareEquations(system, draws);
  PointTracker tracker(seed, options, runners);
  // The components on one slice are tracked together: where the point lies on two of them, both
  // paths arrive, and their end points form one singular root of the moved witness system.
  const auto& components = decomposition.components;
  std::vector<std::uint8_t> done(components.size(), 0);
  std::vector<int> containing;
  for (std::size_t first = 0; first < components.size(); ++first) {
    if (done[first]) continue;
    const WitnessComponent& lead = components[first];
    std::vector<std::size_t> together;
    for (std::size_t c = first; c < components.size(); ++c) {
      const WitnessComponent& other = components[c];
      if (done[c] || other.dimension != lead.dimension ||
          other.sliceConstants != lead.sliceConstants ||
          !std::equal(other.slice.data(),
                      other.slice.data() + other.slice.rows() * other.slice.cols(),
                      lead.slice.data())) {
        continue;
      }
      together.push_back(c);
      done[c] = 1;
    }
    WitnessSet set;
    set.dimension = lead.dimension;
    set.slice = lead.slice;
    set.constants = lead.sliceConstants;
    std::vector<std::size_t> owner;
    for (const std::size_t c : together) {
      owner.insert(owner.end(), static_cast<std::size_t>(components[c].degree), c);
      set.multiplicity.insert(set.multiplicity.end(),
                              static_cast<std::size_t>(components[c].degree),
                              components[c].multiplicity);
    }
    set.points.Assign(decomposition.n, static_cast<std::int64_t>(owner.size()));
    std::int64_t column = 0;
    for (const std::size_t c : together) {
      const ColMajorMatrix<Complex>& points = components[c].points;
      std::copy_n(points.data(), points.rows() * points.cols(), set.points.col(column));
      column += points.cols();
    }
    set.system = WitnessSystem(equations, DrawMix(equations, set.dimension, draws), set.slice);
    for (const std::int64_t p : ArrivingWitnessPoints(set, point, tracker))
      containing.push_back(static_cast<int>(owner[p]));
  }
  std::sort(containing.begin(), containing.end());
  containing.erase(std::unique(containing.begin(), containing.end()), containing.end());
  return containing;
}

}  // namespace zormix
