// Monodromy: points of a family F(x; p) = 0 known at base parameters p are carried along paths
// between members of the family, by the parameter homotopy of a sweep (tracker/
// parameter_homotopy.h: the gamma trick, the end game, rescue and the path-jumping check), and
// back: every closed walk is a loop in parameter space, which permutes the roots at p. End points
// that are new roots are added, and which point went where is recorded.
//
// The walks: a graph whose nodes are members (node 0 the base, the others at random complex
// parameters) and whose edges are paths p_a -> p_b along the arc p_a + tau (p_b - p_a),
// tau = gamma t / ((1 - t) + gamma t), each pair of nodes joined both ways, the two arcs on
// either side of the segment between them (so a -> b -> a is a loop around it too). Every root
// known at a node is carried along every edge out of it once; the roots found at every node are
// kept. The graph starts as a triangle (three nodes, six edges: 4 independent loops); when every
// root went along every edge, a new node is joined both ways to two others (3 more independent
// loops). Compared with loops p -> p1 -> p2 -> p of three segments each, every path here serves
// several loops: d roots complete on a triangle after 6 d paths for 4 independent loops, against 12
// d for 4 triangle loops.
//
// Why loops find every root: over the parameters outside a proper algebraic subset D (where roots
// meet or go to infinity) the roots form a finite covering; a loop in the complement of D permutes
// the fibre, and the permutations of all loops form the monodromy group. The roots on one
// irreducible component of the incidence variety {(x, p) : F(x; p) = 0} form one orbit of that
// group; random paths avoid D with probability one (D has real codimension 2), and random loops
// generate the group. So from one root, the walks reach every root of its component, and points
// joined by paths (at any node) lie on one component.
//
// Witness sets are the case where the parameters are the constants of the slicing planes: for a
// witness system [randomised F (n - k equations); C x + c] with c the parameters, walks in c break
// a witness set into the witness points of the irreducible components.
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
  int loops = 0;            // independent loops of the graph so far (edges - nodes + 1)
  std::int64_t points = 0;  // distinct points known at the base
  std::int64_t pathsTracked = 0;
  int loopsWithoutProgress = 0;
};

struct MonodromyOptions {
  // Every random draw (node parameters, gammas, the tracker's checks) comes from streams derived
  // from this seed and the node's or edge's number: results are the same bit for bit whatever the
  // thread count.
  std::uint64_t seed = 0;
  int threads = 1;  // threads tracking the paths of one edge's batch (>= 1)
  // Stop once this many independent loops in a row added no point at the base and joined no
  // groups (0: the registry's decompose.monodromy_stable_loops); not with a target count, which
  // only the loop limit cuts short.
  int stableLoops = 0;
  // At most this many independent loops (0: the registry's decompose.monodromy_max_loops).
  int maxLoops = 0;
  // Stop as soon as this many points are known at the base.
  std::optional<std::int64_t> targetCount;
  // Asked each time every known point at every node has gone along every edge out of it, with the
  // results so far: true stops the run (kComplete). A trace test goes here.
  std::function<bool(const struct MonodromyResult& sofar)> complete;
  // Ask `complete` also after every batch of paths that added a point at the base, and stop as
  // soon as it returns true: for a test that costs little more when asked often (a trace test
  // whose pencil follows each point once) a complete set is then seen when its last point comes,
  // not after every point known at every node has gone along every edge.
  bool askCompleteOnGain = false;
  // Parameters of a new node; empty: base_l + spread max(1, |base_l|) (u + i v) with u, v uniform
  // in [-1, 1] for every parameter l. The spread is log-uniform in [S, 8 S], S = 1 doubling (up to
  // 64) after every round of the graph that found nothing, so that loops reach out to branch
  // points far from the base.
  std::function<std::vector<Complex>(std::span<const Complex> base, double spread,
                                     RuntimeUniform& draws)>
      drawParameters;
  std::vector<PointSymmetry> symmetries;
  // Whether an end point x at a node of parameters p may be kept (empty: every regular root); one
  // refused counts as a failed path, and a given point refused is left out. A square system made
  // from more rows by random combinations has roots where the combinations vanish and the rows do
  // not (deflated witness systems): a loop that lands on one would join it to a component.
  std::function<bool(std::span<const Complex> x, std::span<const Complex> p)> admissible;
  // Polled while paths are tracked: true stops with Error kInterruptedId.
  std::function<bool()> interrupted;
  std::function<void(const MonodromyProgress&)> progress;
};

// An edge of the graph and where it took the points of its source node.
struct MonodromyEdge {
  int from = 0, to = 0;  // nodes
  Complex gamma;
  // image[i]: the point of node `to` at which point i of node `from` ended, -1 when its path
  // reached no regular root (lost, at infinity, singular, or a jump) or was not carried yet.
  std::vector<std::int64_t> image;
};

struct MonodromyResult {
  // The points at the base parameters: the given ones first (in their order), then the new ones
  // in the order they were found. Regular roots, distinct (monodromy_points.h says how).
  ColMajorMatrix<Complex> points;
  // Per point at the base: the number of its group (0, 1, ...; in order of the groups' first
  // point). Points joined by paths through the graph share a group: each group lies on one
  // irreducible component.
  std::vector<std::int32_t> group;
  int groupCount = 0;
  std::vector<std::vector<Complex>> nodes;  // parameters of every node; nodes[0] = base
  std::vector<std::int64_t> nodePoints;     // points known at every node
  std::vector<MonodromyEdge> edges;
  int loops = 0;                  // independent loops: edges - nodes + 1
  std::int64_t pathsTracked = 0;  // paths followed along all edges
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

// Runs the walks from `points` (n x count, roots of family at `base`). Throws Error when the
// family and the arrays do not fit, and kInterruptedId when interrupted.
MonodromyResult RunMonodromy(const ParametricSystem& family, std::span<const Complex> base,
                             const ColMajorMatrix<Complex>& points,
                             const MonodromyOptions& options);

}  // namespace zormix

#endif  // ZORMIX_DECOMPOSE_MONODROMY_H_
