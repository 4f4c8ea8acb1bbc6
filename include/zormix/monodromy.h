// Solving a family by monodromy: from one root of a random member, loops in parameter space
// collect the member's other roots; the result is a start for the sweep of the family (sweep.h),
// found with far fewer paths than a start solve when the family has far fewer roots than its
// start system has paths.
#ifndef ZORMIX_MONODROMY_H_
#define ZORMIX_MONODROMY_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "zormix/complex.h"
#include "zormix/parametric.h"
#include "zormix/sweep.h"

namespace zormix {

// A symmetry of the family acting on its roots: the root x of a member maps to the root y of the
// same member with y_i = factor[i] * x[source[i]] (a permutation of the unknowns, 0-based, with
// factors such as -1 or roots of unity). With symmetries, one root per orbit is carried around
// the loops and the orbit is filled in from it.
struct MonodromySymmetry {
  std::vector<int> source;
  std::vector<Complex> factor;
};

// Why the loops stopped.
enum class MonodromyStop {
  kTargetCount,  // the given count of roots was reached
  kComplete,     // the trace test passed
  kStable,       // the stable-loop count of loops in a row found no new root
  kLoopLimit,    // the loop limit was reached
};
// "count", "trace test", "stable", "loop limit".
const char* MonodromyStopName(MonodromyStop stop);

// The trace test of a family: on the incidence variety over the parameters that enter linearly
// (see SolveFamilyByMonodromy).
enum class FamilyTraceVerdict {
  kPassed,         // the roots are complete (with probability one)
  kNotPassed,      // no proof: the roots may be incomplete, or the incidence variety has more
                   // points on a slice than a member has roots (the test cannot pass then)
  kNotRun,         // a count was given: it decides
  kNotApplicable,  // no parameter enters linearly
};
// "passed", "not passed", "not run", "not applicable".
const char* FamilyTraceVerdictName(FamilyTraceVerdict verdict);

struct FamilyMonodromyProgress {
  int loops = 0;
  std::int64_t roots = 0;
  std::int64_t pathsTracked = 0;
  int loopsWithoutNewRoot = 0;
};

struct FamilyMonodromyOptions {
  // Seed of every draw (p0 as SolveFamilyStart draws it, the first root, the loops, the trace
  // test). Unset: fresh entropy, reported in the start. Set: results are identical bit for bit
  // whatever the thread count.
  std::optional<std::uint64_t> seed;
  int threads = 1;  // threads tracking the paths of a loop; 0: one per hardware core
  // The number of roots of a generic member, when known: the loops stop there, and the count, not
  // the trace test, says the start is complete.
  std::optional<std::int64_t> count;
  std::vector<MonodromySymmetry> symmetries;
  int stableLoops = 0;  // 0: decompose.monodromy_stable_loops
  int maxLoops = 0;     // 0: decompose.monodromy_max_loops
  // Polled while paths are tracked: true stops with Error kInterruptedId.
  std::function<bool()> interrupted;
  std::function<void(const FamilyMonodromyProgress&)> progress;  // from the calling thread
};

struct FamilyMonodromyResult {
  FamilyStart start;  // p0 and its roots (all regular); start.pathCount = pathsTracked
  int loops = 0;
  std::int64_t pathsTracked = 0;  // every path: the first root, the loops, the trace test
  std::int64_t pathsFailed = 0;   // paths that reached no regular root
  int firstRootAttempts = 0;      // paths tried until one reached a root of the member at p0
  MonodromyStop stop = MonodromyStop::kLoopLimit;
  FamilyTraceVerdict trace = FamilyTraceVerdict::kNotRun;
  double traceResidual = 0.0;  // of the last trace test (when run)
  double traceThreshold = 0.0;
  int linearParameters = 0;  // parameters of the incidence variety of the trace test
  double seconds = 0.0;
};

// Solves the family at random complex parameters p0 by monodromy.
//
// The first root: a random point x0 is a root of the member (p, F(x0; p)) of the family with a
// free constant per equation, F(x; p) - e, for random p; one path of that family from there to
// (p0, 0) gives a root of the member at p0 (a few tries when the path goes to infinity: the offset
// family may have more roots than the family). Then loops p0 -> p1 -> p2 -> p0 (decompose/
// monodromy.h) collect roots until the count is reached, the trace test passes, or no loop finds
// a new root for decompose.monodromy_stable_loops loops in a row.
//
// The trace test: the parameters S that enter linearly (affine in every coefficient) make the
// incidence variety V = {(x, q): F(x; q, p0 elsewhere) = 0} a variety of dimension |S| whose slice
// q = p0_S is the fibre over p0. The roots found, lifted to (x, p0_S), are carried to a random
// slice of V and the linear trace test (decompose/trace_test.h) is run on them there, each time
// the loops add a root: it passes exactly when they are a complete witness set of V's component
// (Sommese, Verschelde and Wampler 2002). A pass proves the roots complete: every root of the
// member lies on that component's slice at q = p0_S. The test can pass only when V has no more
// points on a random slice than a member has roots (no root escapes to infinity as q moves: true of
// the Stewart-Gough family, whose leg lengths enter linearly; the 6R family's incidence varieties
// have 80 or more points on a slice against 16 roots, so a count is given there).
//
// Throws Error for a family that does not fit, when no first root was found, and kInterruptedId.
FamilyMonodromyResult SolveFamilyByMonodromy(const ParametricSystem& family,
                                             const FamilyMonodromyOptions& options);

}  // namespace zormix

#endif  // ZORMIX_MONODROMY_H_
