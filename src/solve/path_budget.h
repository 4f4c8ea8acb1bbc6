// The memory and time a route's paths take, weighed before any of it is allocated: a system whose
// path count would not fit (x^1000000000 - 1 on the total-degree route: 10^9 paths) is refused at
// once with the figures, instead of growing until the kernel ends the process.
#ifndef ZORMIX_SOLVE_PATH_BUDGET_H_
#define ZORMIX_SOLVE_PATH_BUDGET_H_

#include <cstdint>
#include <optional>
#include <string>

namespace zormix {

struct PolySystem;

// What a route's paths will take: their number, the variables of each and the estimated wall time
// of tracking them all.
struct PathBudget {
  std::int64_t paths = 0;
  int n = 0;
  double trackingSeconds = 0.0;
};

// Seconds one path of `system` takes on one thread, from the cost of one evaluation of the
// homotopy (EvaluationCost) and constants measured once; an order of magnitude, not a promise.
double EstimatedSecondsPerPath(const PolySystem& system);

// Complex multiplications of one evaluation of the system and its Jacobian with the LU solve of
// a Newton step: termTotal (n + 2) for the terms and their partial derivatives, 4 per power in
// the long-double power tables (the sum of the variables' largest degrees), n^3 / 3 + n^2 for
// the linear solve.
double EvaluationCost(const PolySystem& system);

// The budget of `paths` paths of `system` tracked on `threads` threads.
PathBudget BudgetOf(const PolySystem& system, std::int64_t paths, int threads);

// "2.5 h", "40 min", "12 days": a duration to the precision an estimate has.
std::string RoughDuration(double seconds);

// Bytes a path of a system of n variables holds at most from its start to the finished result:
// six points of n complex coordinates and its records, statuses and per-root numbers.
std::int64_t BytesPerPath(int n);

// Memory this process may still take: the kernel's estimate of available memory, lowered by the
// control group's limit and the address-space limit (ulimit -v) where there are such; nullopt
// when none of them can be read.
std::optional<std::int64_t> AvailableMemory();

// Why the paths of `budget` cannot be tracked, or "" when they can: more paths than maxPaths when
// it is given; otherwise more memory than three quarters of `available` (unknown: no limit). The
// reason states the memory, the estimated time when there is one (trackingSeconds > 0), and the
// option that lifts the limit.
std::string PathBudgetRefusal(const PathBudget& budget, std::optional<std::int64_t> maxPaths,
                              std::optional<std::int64_t> available);

// Throws Error kOutOfMemoryId with PathBudgetRefusal's reason against this machine's memory.
void CheckPathBudget(const PathBudget& budget, std::optional<std::int64_t> maxPaths);

}  // namespace zormix

#endif  // ZORMIX_SOLVE_PATH_BUDGET_H_
