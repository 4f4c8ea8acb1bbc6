// The numerical irreducible decomposition of the solution set of a polynomial system of any shape:
// one witness set per irreducible component of every dimension, and the isolated points.
//
//   PolySystem f = ParseEquationsText(text, "f");     // zormix/io.h: any number of equations
//   Decomposition d = Decompose(f, options);
//   for (const WitnessComponent& c : d.components) ... c.dimension, c.degree, c.points
//
// A component Z of dimension k is represented by its witness set: the deg Z points where Z meets
// a random affine plane of codimension k (`slice` x + `sliceConstants` = 0). docs/decompose.md
// describes the method, the verdicts and the limits.
#ifndef ZORMIX_DECOMPOSE_H_
#define ZORMIX_DECOMPOSE_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "zormix/col_major_matrix.h"
#include "zormix/poly_system.h"
#include "zormix/result.h"
#include "zormix/types.h"

namespace zormix {

// Where a decomposition is, for progress displays.
struct DecomposeProgress {
  int dimension = 0;  // the dimension being computed
  // "witness points", "junk removal", "components"
  std::string step;
  Progress paths;  // the paths of the tracking under way, when there is one
};

struct DecomposeOptions {
  // Seed of every random draw. Unset: fresh entropy (reported in Decomposition::seed). Set: the
  // decomposition is identical bit for bit whatever the thread count.
  std::optional<std::uint64_t> seed;
  // Threads that track paths; 0 means one per hardware core. Results never depend on it.
  int threads = 1;
  // The highest dimension examined; unset: n - 1 (every dimension a nonzero system can have).
  // A lower value saves the levels above it, and misses components above it.
  std::optional<int> topDimension;
  // Called from the calling thread between units of work.
  std::function<void(const DecomposeProgress&)> progress;
  // Polled from the calling thread; true stops with Error kInterruptedId.
  std::function<bool()> interrupted;
};

// One irreducible component of positive dimension.
struct WitnessComponent {
  int dimension = 0;
  int degree = 0;  // witness points: the points where the component meets the slice
  // 1 for a reduced component; m when each witness point is a root of multiplicity m of the
  // witness system (a non-reduced component, such as a double line).
  int multiplicity = 1;
  ColMajorMatrix<Complex> points;  // n x degree, in the order of the input's variables
  // The slicing plane: slice * x + sliceConstants = 0, dimension x n and dimension values.
  ColMajorMatrix<Complex> slice;
  std::vector<Complex> sliceConstants;
  // The linear trace test: |trace second difference| relative to the size of the traces; a
  // complete component has 0 up to rounding.
  double traceResidual = 0.0;
  bool traceTestPassed = false;
};

// What the computation of one dimension did.
struct DimensionReport {
  int dimension = 0;
  // "solve": the level's system solved afresh (polyhedral); "cascade": its paths continued from
  // the level above, a slack switched off by a parameter homotopy.
  std::string method;
  std::int64_t pathCount = 0;
  std::int64_t witnessSuperset =
      0;                          // end points on the system and on the slice (with multiplicity)
  std::int64_t junk = 0;          // of those, on components of higher dimension
  std::int64_t nonsolutions = 0;  // end points off the slice: the starts of the next level
  std::int64_t atInfinity = 0;
  std::int64_t failed = 0;
  double seconds = 0.0;
};

// The isolated solutions (dimension 0), counted as a solve counts them.
struct IsolatedPart {
  // The solve of the system (or of its randomisation to n equations): every path and verdict.
  SolveResult solve;
  // Per root of `solve`: true when it is an isolated solution of the system; false for end points
  // on positive-dimensional sets, embedded points (singular points on a component) and, for an
  // overdetermined system, points of the randomisation that the system does not vanish at.
  std::vector<std::uint8_t> isolated;
  std::int64_t regular = 0;
  std::int64_t realRegular = 0;
  std::int64_t singular = 0;           // distinct isolated singular roots
  std::int64_t singularEndPoints = 0;  // their multiplicities summed
  std::int64_t embedded = 0;  // singular roots of the solve that lie on a component (groups)
  std::int64_t positiveDimensional = 0;  // end points on sets of dimension >= 1
  std::int64_t extraneous = 0;  // roots of the randomisation that are not solutions of the system
  std::int64_t atInfinity = 0;
  std::int64_t failed = 0;
};

struct Decomposition {
  int n = 0;                // unknowns
  int equationCount = 0;    // equations as given
  bool randomized = false;  // more equations than unknowns: combined at random to n
  int topDimension = 0;     // the highest dimension examined
  std::uint64_t seed = 0;
  std::vector<std::string> variableNames;
  std::vector<WitnessComponent> components;  // by dimension, highest first; then by degree
  IsolatedPart isolated;
  std::vector<DimensionReport> dimensions;  // highest first, dimension 0 last
  // Doubts about completeness, one sentence each (lost paths, a trace test that did not close).
  std::vector<std::string> warnings;
};

// The decomposition of the solution set of `system`, whose termCount may have any length (one
// entry per equation). Throws Error for input it cannot take and when interrupted; lost paths are
// counted and reported as warnings.
Decomposition Decompose(const PolySystem& system, const DecomposeOptions& options);

// One line for people, e.g. "dimension 2: 1 component of degree 2 · dimension 1: 3 components,
// degrees 3, 2, 1 · dimension 0: 1 regular point"; every dimension with something on it, and
// dimension 0 always when the system can have isolated points.
std::string DecompositionSummary(const Decomposition& decomposition);

// The homotopy membership test: the components of `decomposition` (indices into its
// `components`) on which `point` lies, found by moving each component's slice to pass through the
// point and seeing whether a witness point arrives there. Deterministic for the options' seed.
std::vector<int> ComponentsContaining(const PolySystem& system, const Decomposition& decomposition,
                                      std::span<const Complex> point,
                                      const DecomposeOptions& options);

}  // namespace zormix

#endif  // ZORMIX_DECOMPOSE_H_
