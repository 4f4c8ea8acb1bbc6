#include "solve/path_budget.h"

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>
#include <vector>

#include "model/system_eval.h"
#include "tracker/routes/path_units.h"
#include "zormix/error.h"
#include "zormix/poly_system.h"
#include "zormix/types.h"

namespace zormix {
namespace {

// Points of n complex coordinates per path at most: the end point, the point at the jump check and
// the double-double rescue's copy of the end point (those of the paths tracked so far), the
// collected end point, the finished root and its refinement. Start points are computed path by path
// and not kept. Measured peaks lie below: 13 quadrics on the total-degree route (8192 paths) peak
// 4.0 MB above 12 (4096 paths), about 1000 bytes a path, where this gives 1392 for n = 13.
constexpr int kPointsPerPath = 6;
// Of the memory available, the share a solve plans to take: the rest is the system's, and the
// heap's, whose blocks are not all reused.
constexpr double kUsableShare = 0.75;
// Per root: residue, condition number, scaled condition number (8 bytes each), group leader (8),
// multiplicity (4), real, zero-Jacobian and status flags (1 each).
constexpr std::int64_t kPerRootBytes = 4 * 8 + 4 + 3;

// A path's cost on one thread: fixed work (its few hundred steps' prediction, step control, end
// game and the finish of its root) plus its evaluations, which grow with EvaluationCost. Measured
// once with one thread (release build, x86-64 at about 3 GHz): x^1000 - 1 takes 1.6 ms a path and
// x^4000 - 1 with a table 5.2 ms (a slope of about 0.2 us per unit of cost), while
// small systems of 6 to 8 variables (katsura, noon, chandra, eco) take 2 to 6 ms a path whatever
// their route, hence 3 ms of fixed work. Paths that head to infinity cost up to five times more
// (cyclic6 on the total-degree route: 29 ms a path): the figure is an order of magnitude.
constexpr double kFixedSecondsPerPath = 3e-3;
constexpr double kSecondsPerCostUnit = 0.2e-6;

std::optional<std::int64_t> MemAvailableFromProc() {
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  std::int64_t kilobytes = 0;
  std::string unit;
  while (meminfo >> key >> kilobytes) {
    std::getline(meminfo, unit);
    if (key == "MemAvailable:") return kilobytes * 1024;
  }
  return std::nullopt;
}

// memory.max - memory.current of the process's control group (v2), when it has a limit.
std::optional<std::int64_t> ControlGroupRoom() {
  std::ifstream maxFile("/sys/fs/cgroup/memory.max"), currentFile("/sys/fs/cgroup/memory.current");
  std::int64_t max = 0, current = 0;
  if (!(maxFile >> max) || !(currentFile >> current)) return std::nullopt;  // "max": no limit
  return max > current ? max - current : 0;
}

std::optional<std::int64_t> AddressSpaceLimit() {
  struct rlimit limit {};
  if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
  return static_cast<std::int64_t>(
      std::min<rlim_t>(limit.rlim_cur, std::numeric_limits<std::int64_t>::max()));
}

std::string Rounded(double value, const char* unit) {
  char text[48];
  std::snprintf(text, sizeof text, value < 10 ? "%.1f %s" : "%.0f %s", value, unit);
  return text;
}

std::string Gigabytes(double bytes) {
  if (bytes < 1e8) return Rounded(bytes / 1e6, "MB");
  char text[32];
  std::snprintf(text, sizeof text, "%.1f GB", bytes / 1e9);
  return text;
}

}  // namespace

std::int64_t BytesPerPath(int n) {
  // The outcome and the jump-check flag of a path, its record twice (collected, then in the
  // result) and the numbers of its root.
  const std::int64_t fixed = sizeof(UnitOutcome) + 1 + 2 * sizeof(PathRecord) + kPerRootBytes;
  return kPointsPerPath * static_cast<std::int64_t>(n) *
             static_cast<std::int64_t>(sizeof(Complex)) +
         fixed;
}

double EvaluationCost(const PolySystem& system) {
  const double n = system.n;
  // The power table's products, or above its limit some 2 log2 d products of repeated squaring.
  double degreeSum = 0.0;
  for (const std::int32_t degree : MaxDegrees(system.exponents))
    degreeSum += degree <= kLargestTabulatedDegree ? degree : 2.0 * std::log2(degree);
  return static_cast<double>(system.termTotal()) * (n + 2.0) + 4.0 * degreeSum + n * n * n / 3.0 +
         n * n;
}

double EstimatedSecondsPerPath(const PolySystem& system) {
  return kFixedSecondsPerPath + kSecondsPerCostUnit * EvaluationCost(system);
}

PathBudget BudgetOf(const PolySystem& system, std::int64_t paths, int threads) {
  PathBudget budget;
  budget.paths = paths;
  budget.n = system.n;
  budget.trackingSeconds = static_cast<double>(paths) * EstimatedSecondsPerPath(system) /
                           static_cast<double>(std::max(1, threads));
  return budget;
}

std::string RoughDuration(double seconds) {
  if (seconds < 60) return Rounded(seconds, "s");
  if (seconds < 3600) return Rounded(seconds / 60, "min");
  if (seconds < 48 * 3600) return Rounded(seconds / 3600, "h");
  if (seconds < 2 * 365.25 * 86400) return Rounded(seconds / 86400, "days");
  return Rounded(seconds / (365.25 * 86400), "years");
}

std::optional<std::int64_t> AvailableMemory() {
  std::optional<std::int64_t> room;
  for (const std::optional<std::int64_t> bound :
       {MemAvailableFromProc(), ControlGroupRoom(), AddressSpaceLimit()}) {
    if (bound && (!room || *bound < *room)) room = bound;
  }
  return room;
}

std::string PathBudgetRefusal(const PathBudget& budget, std::optional<std::int64_t> maxPaths,
                              std::optional<std::int64_t> available) {
  const std::int64_t perPath = BytesPerPath(budget.n);
  const std::string figures =
      std::to_string(budget.paths) + " paths of about " + std::to_string(perPath) +
      " bytes each (" +
      Gigabytes(static_cast<double>(budget.paths) * static_cast<double>(perPath)) + ")" +
      (budget.trackingSeconds > 0.0
           ? " and an estimated " + RoughDuration(budget.trackingSeconds) + " of tracking"
           : std::string());
  if (maxPaths) {
    if (budget.paths <= *maxPaths) return std::string();
    return "this solve has " + figures + ", more than the " + std::to_string(*maxPaths) +
           " paths allowed; raise --max-paths (CLI) or 'maxPaths' (MATLAB/Octave) to solve it";
  }
  if (!available) return std::string();
  const auto usable = static_cast<std::int64_t>(static_cast<double>(*available) * kUsableShare);
  // paths * perPath > available, without overflowing.
  if (budget.paths <= usable / perPath) return std::string();
  return "this solve has " + figures + ", more than the " + Gigabytes(static_cast<double>(usable)) +
         " a solve may take of the memory available (room for " + std::to_string(usable / perPath) +
         " paths); on a machine with more memory, or to try anyway, give --max-paths (CLI) or "
         "'maxPaths' (MATLAB/Octave) at least " +
         std::to_string(budget.paths);
}

void CheckPathBudget(const PathBudget& budget, std::optional<std::int64_t> maxPaths) {
  const std::string refusal = PathBudgetRefusal(budget, maxPaths, AvailableMemory());
  if (!refusal.empty()) throw Error(ErrorCode::kOutOfMemory, refusal);
}

}  // namespace zormix
