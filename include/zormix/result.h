// What a solve returns.
#ifndef ZORMIX_RESULT_H_
#define ZORMIX_RESULT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "zormix/col_major_matrix.h"
#include "zormix/poly_system.h"
#include "zormix/types.h"

namespace zormix {

// What an accepted root is (values cross language boundaries: only ever appended).
enum class RootStatus : std::uint8_t {
  kRegular = 0,   // isolated and simple, proven by Newton's convergence (rule in finish/classify.h)
  kSingular = 1,  // isolated with a singular Jacobian, or shared by several end points
  kPositiveDimensional = 2,  // on a solution set of dimension localDimension >= 1
};

// Lower-case name of a root status as the JSON and the MATLAB results write it: "regular",
// "singular", "positive-dimensional".
const char* RootStatusName(RootStatus status);

// True for the statuses of paths found to diverge: at infinity. Every other path without an end
// point is failed: its verdict is unknown.
bool IsAtInfinity(PathStatus status);

// Every path of a route accounted for once:
//   regular + singularEndPoints + positiveDimensional + atInfinity + failed = pathCount.
// The classification's own tally; front ends read the counts of Summarize, which derives them
// from the per-path verdicts of the finished result.
struct RootClassCounts {
  std::int64_t regular = 0;              // regular roots (each one path)
  std::int64_t singular = 0;             // distinct isolated singular roots (group leaders)
  std::int64_t singularEndPoints = 0;    // end points at them: their multiplicities summed
  std::int64_t positiveDimensional = 0;  // end points on solution sets of dimension >= 1
  std::int64_t realRegular = 0;          // regular roots classed as real
  std::int64_t atInfinity = 0;           // paths whose status says they diverge
  std::int64_t failed = 0;   // every other path without an end point: its verdict is unknown
  std::int64_t rescued = 0;  // paths recorded after a re-track of a step failure
};

// Interval certification of the regular roots (SolveOptions::certify).
struct CertificationCounts {
  bool run = false;            // false: the certification was not asked for
  std::int64_t certified = 0;  // regular roots with a Krawczyk certificate
  std::int64_t distinct = 0;   // groups of overlapping certified boxes: proven distinct roots
  std::int64_t real = 0;       // certified roots proven real
};

// Wall-clock seconds of the stages of a solve.
struct StageTimings {
  double mixedCells = 0.0;
  double tracking = 0.0;
  double finishing = 0.0;
  double classification = 0.0;
  double certification = 0.0;
};

struct SolveResult {
  int n = 0;
  Route route = Route::kPolyhedral;
  std::uint64_t seed = 0;      // the seed that was used
  std::int64_t pathCount = 0;  // mixed volume or Bezout number
  std::int64_t cellCount = 0;  // mixed cells (polyhedral route)
  std::int64_t rootCount = 0;  // accepted end points (regular, singular, positive-dimensional)
  // Accepted end points at a real point, whatever their status: the report's "real roots". The
  // real roots of every front end are the real regular roots (Summary::realRegular).
  std::int64_t realCount = 0;
  PathCounts counts;  // what happened to the paths
  // Accepted roots, one per column, variables in the order of the input file (n x rootCount).
  ColMajorMatrix<Complex> roots;
  std::vector<double> residuals;           // per root: Euclidean norm of the system at the root
  std::vector<double> conditionNumbers;    // per root: sigma_max / sigma_min of the Jacobian
  std::vector<std::uint8_t> isReal;        // per root: 1 when the point is classed as real
  std::vector<std::uint8_t> zeroJacobian;  // per root: 1 when the Jacobian is numerically zero
  std::vector<PathRecord> records;         // per root: the path that produced it
  // The paths without an end point, in serial order: at infinity or failed (IsAtInfinity).
  std::vector<PathRecord> lostPaths;
  std::vector<std::string> variableNames;  // trailing blanks removed
  // Conditions of the system that put the completeness of the roots in doubt, one sentence each
  // (e.g. coefficients that still span more orders of magnitude after scaling than double
  // precision can follow). Empty for an ordinary system.
  std::vector<std::string> warnings;

  // Classification of the roots (rule in finish/classify.h); per root unless said otherwise.
  std::vector<RootStatus> rootStatus;
  std::vector<double> scaledConditionNumbers;  // condition number of diag(1/row size) J diag(|x|)
  std::vector<std::int32_t> multiplicity;      // end points in the root's group
  std::vector<std::int64_t> groupLeader;       // first column of the root's group (itself if 1st)
  std::vector<std::int32_t> localDimension;    // dimension of the solution set (0: isolated)
  RootClassCounts classes;
  // Certification (empty unless certify was asked for); per root.
  std::vector<std::uint8_t> certified;      // 1: a Krawczyk box holds exactly one root
  std::vector<std::uint8_t> certifiedReal;  // 1: and that root is real
  ColMajorMatrix<Complex> boxCenters;       // n x rootCount: center of the certified box
  std::vector<double> boxRadii;             // max-norm radius (real and imaginary parts); 0: none
  CertificationCounts certification;
  StageTimings timings;
  // Paths of the first tracking taken from the checkpoint instead of tracked.
  std::int64_t restoredPaths = 0;
};

// Everything known of one root (column k of a SolveResult), as the front ends read it.
struct RootRecord {
  std::vector<Complex> value;          // n values, in the order of the input's variables
  double residual = 0.0;               // Euclidean norm of the system at the root
  double conditionNumber = 0.0;        // sigma_max / sigma_min of the Jacobian
  double scaledConditionNumber = 0.0;  // of diag(1/row size) J diag(|x|)
  // A real root: regular, and real by the real-root rule (every imaginary part below 1e-7 of the
  // largest modulus). What "real roots" count in every front end.
  bool real = false;
  bool realPoint = false;  // real by that rule, whatever the status (the report's "real")
  bool zeroJacobian = false;
  RootStatus status = RootStatus::kRegular;
  std::int32_t multiplicity = 1;    // end points in the root's group
  std::int64_t group = 0;           // first column of the root's group (0-based)
  std::int32_t localDimension = 0;  // of the solution set through the root (0: isolated)
  bool certified = false;
  bool certifiedReal = false;
  std::vector<Complex> boxCenter;  // n values when certified, else empty
  double boxRadius = 0.0;          // max-norm radius of the certified box
  PathRecord path;                 // the path that produced it
};
RootRecord RootAt(const SolveResult& result, std::int64_t k);

// The counts of a solve, each derived from the verdicts of the paths (the status of each root's
// end point, the status of each path without one) by Summarize alone, so that every front end
// (summary line, JSON, Python, Octave) says the same. Every path is counted once:
//   regular + singularEndPoints + positiveDimensional + atInfinity + failed = paths.
// The words are defined in docs/cli.md.
struct Summary {
  std::int64_t paths = 0;
  std::int64_t regular = 0;              // regular roots, each the end point of one path
  std::int64_t realRegular = 0;          // of them the real ones: the "real roots"
  std::int64_t singular = 0;             // distinct isolated singular roots
  std::int64_t singularEndPoints = 0;    // their multiplicities summed
  std::int64_t positiveDimensional = 0;  // end points on solution sets of dimension >= 1
  std::int64_t atInfinity = 0;           // paths found to diverge (IsAtInfinity)
  std::int64_t failed = 0;               // paths whose verdict is unknown (the lost paths)
  std::int64_t rescued = 0;  // paths with an end point after a re-track of a step failure
  std::uint64_t seed = 0;
  CertificationCounts certification;
  // Singular roots (groups) whose deflated system Krawczyk's test proved, when certification ran.
  std::int64_t certifiedSingular = 0;

  // The left side of the accounting equation.
  std::int64_t accounted() const {
    return regular + singularEndPoints + positiveDimensional + atInfinity + failed;
  }
  // One line, genuine roots first, e.g. "1152 regular roots (64 real) · 608 singular roots from
  // 896 paths · 256 paths to infinity · 0 failed · 2560 paths · seed 1"; the singular and
  // positive-dimensional parts only when there are such end points, the certificates when asked.
  std::string BriefReport() const;
  // One counter a line ("regular roots: 1152", ...), every counter always present.
  std::string FullReport() const;
};
Summary Summarize(const SolveResult& result);

}  // namespace zormix

#endif  // ZORMIX_RESULT_H_
