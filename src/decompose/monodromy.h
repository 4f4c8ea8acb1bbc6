// Monodromy: points of a family F(x; p) = 0 known at base parameters p are carried around loops in
// parameter space, p -> p1 -> p2 -> p with random complex p1, p2, by the parameter homotopy of a
// sweep (tracker/parameter_homotopy.h: the gamma trick, the end game, rescue and the path-jumping
// check). A loop maps the roots at p to roots at p, a permutation of the fibre: end points that
// are new roots are added, and the permutation is recorded.
//
// Why loops find every root: over the parameters outside a proper algebraic subset D (where roots
// meet or go to infinity) the roots form a finite covering; a loop in the complement of D permutes
// the fibre, and the permutations of all loops form the monodromy group. The roots on one
// irreducible component of the incidence variety {(x, p) : F(x; p) = 0} form one orbit of that
// group; random loops avoid D with probability one (D has real codimension 2) and generate the
// group (a random complex line through p meets D in finitely many points, and loops in it already
// generate the group by the Lefschetz-Zariski theorem). So from one root, loops reach every root
// of its component, and the roots joined by the recorded permutations lie on one component.
//
// Witness sets are the case where the parameters are the constants of the slicing planes: for a
// witness system [randomised F (n - k equations); C x + c] with c the parameters, loops in c break
// a witness set into the witness points of the irreducible components (the orbits).
#ifndef ZORMIX_DECOMPOSE_MONODROMY_H_
#define ZORMIX_DECOMPOSE_MONODROMY_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "base/random.h"
#include "zormix/col_major_matrix.h"
#include "zormix/complex.h"
#include "zormix/monodromy.h"
#include "zormix/parametric.h"

namespace zormix {

using PointSymmetry = MonodromySymmetry;

// Where a run is, for progress displays (from the calling thread).
struct MonodromyProgress {
  int loop = 0;             // loops made so far
  std::int64_t points = 0;  // distinct points known
  std::int64_t pathsTracked = 0;
  int loopsWithoutNewPoint = 0;
};

struct MonodromyOptions {
  // Every random draw (intermediate parameters, gammas, the tracker's checks) comes from streams
  // derived from this seed and the loop's number: results are the same bit for bit whatever the
  // thread count.
  std::uint64_t seed = 0;
  int threads = 1;  // threads tracking the paths of one segment of a loop (>= 1)
  // Stop after this many loops in a row without a new point (0: the registry's
  // decompose.monodromy_stable_loops).
  int stableLoops = 0;
  // At most this many loops (0: the registry's decompose.monodromy_max_loops).
  int maxLoops = 0;
  // Stop as soon as this many points are known.
  std::optional<std::int64_t> targetCount;
  // Asked each time every known point has been carried around every loop made so far, with the
  // points and the permutations: true stops the run (kComplete). A trace test goes here.
  std::function<bool(const struct MonodromyResult& sofar)> complete;
  // Intermediate parameters p1, p2 of a loop; empty: base_l + max(1, |base_l|) (u + i v) with u, v
  // uniform in [-1, 1] for every parameter l. A witness set's loops move only its constants.
  std::function<std::vector<Complex>(std::span<const Complex> base, RuntimeUniform& draws)>
      drawParameters;
  std::vector<PointSymmetry> symmetries;
  // Polled between segments and while paths are tracked: true stops with Error kInterruptedId.
  std::function<bool()> interrupted;
  std::function<void(const MonodromyProgress&)> progress;
};

// One loop and the permutation it induced on the points known when it was made (and on the
// points added later, as they were carried around it).
struct MonodromyLoop {
  std::vector<Complex> first, second;  // p1, p2
  // image[i]: the point that point i ended at after the loop, -1 when its path failed (lost,
  // at infinity or singular: no verdict on it) or was not yet carried around this loop.
  std::vector<std::int64_t> image;
};

struct MonodromyResult {
  // The points at the base parameters: the given ones first (in their order), then the new ones
  // in the order they were found. Regular roots, distinct (monodromy_points.h says how).
  ColMajorMatrix<Complex> points;
  std::vector<MonodromyLoop> loops;
  // Per point: the number of its group (0, 1, ...; in order of the groups' first point). Points
  // joined by a loop's permutation share a group: each group lies on one irreducible component.
  std::vector<std::int32_t> group;
  int groupCount = 0;
  std::int64_t pathsTracked = 0;  // paths followed, all segments of all loops
  std::int64_t pathsFailed = 0;   // of those, the ones that reached no regular root
  // Given points that were not regular roots at the base, or duplicates of another given point:
  // left out of `points` (their indices in the input).
  std::vector<std::int64_t> refused;
  // Images of points under the symmetries that were no regular roots (the symmetry is not one of
  // the family's): not added.
  std::int64_t symmetryImagesRefused = 0;
  MonodromyStop stop = MonodromyStop::kLoopLimit;
  double seconds = 0.0;
};

// Runs loops from `points` (n x count, roots of family at `base`). Throws Error when the family
// and the arrays do not fit, and kInterruptedId when interrupted.
MonodromyResult RunMonodromy(const ParametricSystem& family, std::span<const Complex> base,
                             const ColMajorMatrix<Complex>& points,
                             const MonodromyOptions& options);

// The groups of points joined by the loops' permutations (union-find over every image).
std::vector<std::int32_t> GroupsOfLoops(std::int64_t pointCount,
                                        const std::vector<MonodromyLoop>& loops, int& groupCount);

}  // namespace zormix

#endif  // ZORMIX_DECOMPOSE_MONODROMY_H_
