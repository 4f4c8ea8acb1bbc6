// The stages of a solve, for callers that hold one and reuse it:
//
//   Problem problem(system);                          // validated, normal form
//   StartSystem start = MakeStartSystem(problem, options);  // cells or total degree, start points
//   TrackedPaths paths = Track(start, problem, options);    // the paths to the target
//   SolveResult result = Finish(std::move(paths), options); // refine, classify, certify, report
//
// SolveSystem is exactly this composition. A start system holds everything its paths begin from
// (the mixed cells and their lifting, or the total-degree start solutions, the random start
// coefficients and the random generator after them), so it can be tracked to any target with the
// same supports: the same equations with other coefficients. Each Track of one start draws what
// it draws from a copy of the start's generator: tracking the same target twice gives the same
// result.
#ifndef ZORMIX_STAGES_H_
#define ZORMIX_STAGES_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zormix/poly_system.h"
#include "zormix/result.h"
#include "zormix/solve.h"
#include "zormix/types.h"

namespace zormix {

struct ProblemData;
struct StartData;
struct TrackedData;

// A square system checked and brought into normal form (equations and terms ordered, constant
// terms completed, coefficients scaled), ready for every stage. Cheap to copy (shared, immutable).
class Problem {
 public:
  // Throws Error kInvalidInput for a system the solver cannot take.
  explicit Problem(const PolySystem& system);

  int n() const;
  // Variable names in the order of the input, trailing blanks removed.
  const std::vector<std::string>& variableNames() const;
  // Conditions that put the completeness of the roots in doubt (SolveResult::warnings).
  const std::vector<std::string>& warnings() const;
  // True when `other` has the same supports: a start system made for one can track the other.
  bool SameSupports(const Problem& other) const;

  // Every accessor of a moved-from object throws Error kBadArgument instead of reading nothing.
  const ProblemData& data() const;

 private:
  std::shared_ptr<const ProblemData> data_;
};

// Where the paths of a route begin. Cheap to copy (shared, immutable).
class StartSystem {
 public:
  explicit StartSystem(std::shared_ptr<const StartData> data) : data_(std::move(data)) {}

  Route route() const;
  std::uint64_t seed() const;
  std::int64_t pathCount() const;  // mixed volume or Bezout number
  std::int64_t cellCount() const;  // mixed cells (polyhedral route)
  // False when the start was made with mixedVolumeOnly: it counts paths but cannot track them.
  bool trackable() const;

  const StartData& data() const;  // throws Error kBadArgument when moved from

 private:
  std::shared_ptr<const StartData> data_;
};

// The end points of every path of a start system tracked to one target, before refinement.
class TrackedPaths {
 public:
  explicit TrackedPaths(std::unique_ptr<TrackedData> data);
  TrackedPaths(TrackedPaths&&) noexcept;
  TrackedPaths& operator=(TrackedPaths&&) noexcept;
  ~TrackedPaths();

  std::int64_t pathCount() const;
  std::int64_t endPointCount() const;  // paths that reached the target

  // Throws Error kBadArgument when moved from, or once Finish has taken the paths.
  TrackedData& data();
  const TrackedData& data() const;

 private:
  std::unique_ptr<TrackedData> data_;
};

// The start system of options.route for `problem`: mixed cells of a random lifting and their
// start solutions (polyhedral), or the Bezout start points (total degree); with mixedVolumeOnly
// only the path count. Uses options.seed (or the checkpoint's, or fresh entropy), threads,
// progress, interrupted, console and carriedStream.
StartSystem MakeStartSystem(const Problem& problem, const SolveOptions& options);

// Tracks every path of `start` to `target`, which must have the supports of the problem the start
// was made for (Error kBadArgument otherwise), with the rescue of lost paths and the path-jumping
// check. Uses options.threads, progress, interrupted and checkpointPath.
TrackedPaths Track(const StartSystem& start, const Problem& target, const SolveOptions& options);

// Refines and accepts the end points, classifies the roots, certifies them when options.certify,
// and writes the report when options.reportPath is set. The paths are taken: `paths` is left
// empty, and a second Finish of it throws Error kBadArgument.
SolveResult Finish(TrackedPaths&& paths, const SolveOptions& options);

}  // namespace zormix

#endif  // ZORMIX_STAGES_H_
