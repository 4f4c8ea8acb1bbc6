#include "decompose/components.h"

#include <algorithm>
#include <span>
#include <utility>

#include "decompose/deflation.h"
#include "decompose/monodromy_breakup.h"
#include "decompose/witness_family.h"
#include "decompose/witness_parameters.h"
#include "local/units.h"

namespace zormix {
namespace {

// Deflation steps allowed at a point of multiplicity m: m - 1 suffice (each step lowers the
// multiplicity), at least one for a point only the loops found singular, and at most
// kMostDeflationSteps, beyond which the rows' degrees and counts make the loops too slow.
constexpr int kMostDeflationSteps = 4;

// Streams of the seed: the trace pencil's direction, and each batch's loops.
constexpr std::uint64_t kDirectionStream = 0x7472616365ull;
constexpr std::uint64_t kBatchStream = 0x6261746368ull;

// SplitMix64's finalizer: independent seeds from one.
std::uint64_t Mix(std::uint64_t z) {
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return z ^ (z >> 31);
}

ColMajorMatrix<Complex> Columns(const ColMajorMatrix<Complex>& points,
                                const std::vector<std::int64_t>& which) {
  ColMajorMatrix<Complex> out(points.rows(), static_cast<std::int64_t>(which.size()));
  for (std::size_t c = 0; c < which.size(); ++c)
    std::copy_n(points.col(which[c]), points.rows(), out.col(static_cast<std::int64_t>(c)));
  return out;
}

class Breaker {
 public:
  Breaker(const WitnessSet& set, const std::vector<std::string>& names, PointTracker& tracker)
      : set_(set), names_(names), tracker_(tracker) {
    RuntimeUniform draws(
        Mix(tracker.seed() ^ kDirectionStream ^ static_cast<std::uint64_t>(set.dimension)));
    draws.Reseed();
    for (std::size_t j = 0; j < set.constants.size(); ++j)
      direction_.push_back(RandomComplex(draws));
  }

  ComponentBreakup Run() {
    std::vector<std::int64_t> regular, singular;
    for (std::int64_t p = 0; p < set_.points.cols(); ++p)
      (set_.multiplicity[p] > 1 ? singular : regular).push_back(p);
    for (const std::int64_t p :
         Batch(set_.system, set_.rows, Columns(set_.points, regular), regular, 0, false))
      singular.push_back(p);
    std::sort(singular.begin(), singular.end());
    Deflate(singular);
    std::stable_sort(
        out_.components.begin(), out_.components.end(),
        [](const WitnessComponent& a, const WitnessComponent& b) { return a.degree > b.degree; });
    return std::move(out_);
  }

 private:
  MonodromyOptions Options() {
    MonodromyOptions options;
    options.seed = Mix(tracker_.seed() ^ kBatchStream ^
                       (static_cast<std::uint64_t>(set_.dimension) << 32) ^ batches_++);
    options.threads = tracker_.threads();
    options.interrupted = tracker_.interrupted();
    const std::int64_t before = out_.pathsTracked;
    options.progress = [this, before](const MonodromyProgress& p) {
      Progress paths;
      paths.pathsDone = before + p.pathsTracked;
      paths.pathsReached = paths.pathsDone;
      tracker_.ReportPaths(paths);
    };
    return options;
  }

  // The components among `points` (columns of the family's unknowns; given[c] the witness point
  // of column c); returns the given points the loops refused. A component of points that are
  // regular roots of the witness system without deflation has multiplicity 1, whatever number of
  // paths reached them (a path that jumped onto another's end); one whose points needed deflation
  // has at least 2, even when the paths of all but one failed.
  std::vector<std::int64_t> Batch(const ParametricSystem& family, const AffineFamily& rows,
                                  const ColMajorMatrix<Complex>& points,
                                  const std::vector<std::int64_t>& given, int tracedUnknowns,
                                  bool deflated) {
    if (given.empty()) return {};
    MonodromyOptions options = Options();
    const std::vector<double> sizes = NaturalSizes(rows.AtParameters(set_.constants, {}));
    options.admissible = [&](std::span<const Complex> z, std::span<const Complex> constants) {
      return SolvesRows(rows, sizes, z, constants);
    };
    const WitnessBreakup b =
        BreakWitnessSet(family, set_.constants, points, direction_, options, tracedUnknowns);
    out_.pathsTracked += b.monodromy.pathsTracked + b.pencil.pathsTracked;
    // Columns of b.monodromy.points: the given points it kept, in order, then the points found.
    std::vector<std::int64_t> refused, kept;
    std::size_t r = 0;
    for (std::size_t c = 0; c < given.size(); ++c) {
      if (r < b.monodromy.refused.size() &&
          b.monodromy.refused[r] == static_cast<std::int64_t>(c)) {
        refused.push_back(given[c]);
        ++r;
      } else {
        kept.push_back(given[c]);
      }
    }
    std::int64_t found = 0, strays = 0;
    for (std::size_t j = 0; j < b.components.size(); ++j) {
      WitnessComponent c = Start(b.trace[j].residual, b.trace[j].passed);
      if (deflated) c.multiplicity = 2;
      std::vector<const Complex*> columns;
      std::int64_t groupStrays = 0;
      for (const std::int64_t i : b.components[j]) {
        if (i < static_cast<std::int64_t>(kept.size())) {
          columns.push_back(set_.points.col(kept[i]));
          if (deflated) c.multiplicity = std::max(c.multiplicity, set_.multiplicity[kept[i]]);
        } else if (SolvesRows(rows, sizes,
                              std::span<const Complex>(b.monodromy.points.col(i),
                                                       static_cast<std::size_t>(rows.unknowns())),
                              set_.constants)) {
          columns.push_back(b.monodromy.points.col(i));  // x comes first among the unknowns
          ++found;
        } else {
          ++groupStrays;
        }
      }
      strays += groupStrays;
      if (columns.empty()) continue;
      // A group that took in roots off W has no proof for the rest.
      if (groupStrays > 0) c.traceTestPassed = false;
      Finish(c, columns);
    }
    if (strays > 0) {
      out_.warnings.push_back("dimension " + std::to_string(set_.dimension) + ": the loops met " +
                              std::to_string(strays) +
                              " roots of a deflated system off the witness system, left out");
    }
    if (found > 0) {
      out_.warnings.push_back("dimension " + std::to_string(set_.dimension) + ": the loops found " +
                              std::to_string(found) +
                              " witness points the cascade did not give (lost paths)");
    }
    return refused;
  }

  void Deflate(const std::vector<std::int64_t>& singular) {
    if (singular.empty()) return;
    std::vector<int> steps;
    for (const std::int64_t p : singular)
      steps.push_back(std::clamp(set_.multiplicity[p] - 1, 1, kMostDeflationSteps));
    const Deflation deflation = DeflateWitnessPoints(
        set_.rows, set_.constants, Columns(set_.points, singular), steps, names_,
        Mix(tracker_.seed() ^ static_cast<std::uint64_t>(set_.dimension)));
    std::vector<std::int64_t> alone;
    for (const std::int64_t k : deflation.failed) alone.push_back(singular[k]);
    for (const DeflatedClass& batch : deflation.classes) {
      std::vector<std::int64_t> given;
      for (const std::int64_t k : batch.given) given.push_back(singular[k]);
      const int traced = static_cast<int>(set_.points.rows());
      for (const std::int64_t p :
           Batch(batch.family, batch.rows, batch.points, given, traced, !batch.ranks.empty()))
        alone.push_back(p);
    }
    std::sort(alone.begin(), alone.end());
    std::int64_t untested = 0;
    for (const std::int64_t p : alone) {
      if (Absorbed(p)) continue;
      WitnessComponent c = Start(0.0, false);
      c.multiplicity = set_.multiplicity[p];
      Finish(c, {set_.points.col(p)});
      ++untested;
    }
    if (untested > 0) {
      out_.warnings.push_back(
          "dimension " + std::to_string(set_.dimension) + ": " + std::to_string(untested) +
          " singular witness points that deflation did not make regular stand alone, untested");
    }
  }

  // Whether witness point p, which deflation did not make regular (the end game gives a singular
  // root far from the origin to a few 1e-8 only, where the rank test sees no deficiency), is a
  // witness point of a component found already (decompose.membership_distance): the loops of its
  // batch reached it from its twins. Its paths then count in that component's multiplicity.
  bool Absorbed(std::int64_t p) {
    const std::int64_t n = set_.points.rows();
    const std::span<const Complex> x(set_.points.col(p), static_cast<std::size_t>(n));
    for (WitnessComponent& c : out_.components) {
      for (std::int64_t q = 0; q < c.points.cols(); ++q) {
        const std::span<const Complex> y(c.points.col(q), static_cast<std::size_t>(n));
        if (RelativeDistance(x, y) > kMembershipDistance.value()) continue;
        c.multiplicity = std::max(c.multiplicity, set_.multiplicity[p]);
        return true;
      }
    }
    return false;
  }

  // Whether a point z solves `rows` at the slice constants (decompose.on_system), its vanishing
  // coordinates measured in the rows' natural sizes (local/units.h): W, or a
  // deflated system before its rows were combined, in all its unknowns. The loops refuse the
  // points that do not at every node; the points at the base are checked again here. A deflated
  // system made square by random combinations of its rows has roots where the combinations vanish
  // but W does not; a loop that jumps onto one carries it along. W alone does not tell them: near a
  // double component, W's residual is the square of the distance (1e-8 at 1e-4), while the
  // deflation's rows JW B mu are of the distance's size.
  static bool SolvesRows(const AffineFamily& rows, const std::vector<double>& sizes,
                         std::span<const Complex> z, std::span<const Complex> constants) {
    return rows.RelativeResidual(z.first(static_cast<std::size_t>(rows.unknowns())), constants,
                                 sizes) <= kOnSystem.value();
  }

  WitnessComponent Start(double residual, bool passed) const {
    WitnessComponent c;
    c.dimension = set_.dimension;
    c.slice = set_.slice;
    c.sliceConstants = set_.constants;
    c.traceResidual = residual;
    c.traceTestPassed = passed;
    return c;
  }

  void Finish(WitnessComponent& c, const std::vector<const Complex*>& columns) {
    const std::int64_t n = set_.points.rows();
    c.degree = static_cast<int>(columns.size());
    c.points.Assign(n, c.degree);
    for (int p = 0; p < c.degree; ++p) std::copy_n(columns[p], n, c.points.col(p));
    out_.components.push_back(std::move(c));
  }

  const WitnessSet& set_;
  const std::vector<std::string>& names_;
  PointTracker& tracker_;
  std::vector<Complex> direction_;
  std::uint64_t batches_ = 0;
  ComponentBreakup out_;
};

}  // namespace

ComponentBreakup BreakIntoComponents(const WitnessSet& set, const std::vector<std::string>& names,
                                     PointTracker& tracker) {
  return Breaker(set, names, tracker).Run();
}

}  // namespace zormix
