#include "solve/path_budget.h"

#include <sys/resource.h>

#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>
#include <vector>

#include "tracker/path_units.h"
#include "zormix/error.h"
#include "zormix/poly_system.h"
#include "zormix/types.h"

namespace zormix {
namespace {

// Points of n complex coordinates per path: the start point and the work of computing it, the end
// point, the point at the jump check, the collected end point, the finished root and its
// refinement. Measured peaks (x^100000000 - 1: above 165 bytes a path while tracking) lie below.
constexpr int kPointsPerPath = 8;
// Of the memory available, the share a solve plans to take: the rest is the system's, and the
// heap's, whose blocks are not all reused.
constexpr double kUsableShare = 0.75;
// Per root: residue, condition number, scaled condition number (8 bytes each), group leader (8),
// multiplicity (4), real, zero-Jacobian and status flags (1 each).
constexpr std::int64_t kPerRootBytes = 4 * 8 + 4 + 3;

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

std::string Gigabytes(double bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f GB", bytes / 1e9);
  return text;
}

}  // namespace

std::int64_t BytesPerPath(int n) {
  const std::int64_t fixed =
      sizeof(UnitOutcome) + sizeof(std::vector<Complex>) + 2 * sizeof(PathRecord) + kPerRootBytes;
  return kPointsPerPath * static_cast<std::int64_t>(n) *
             static_cast<std::int64_t>(sizeof(Complex)) +
         fixed;
}

std::optional<std::int64_t> AvailableMemory() {
  std::optional<std::int64_t> room;
  for (const std::optional<std::int64_t> bound :
       {MemAvailableFromProc(), ControlGroupRoom(), AddressSpaceLimit()}) {
    if (bound && (!room || *bound < *room)) room = bound;
  }
  return room;
}

std::string PathBudgetRefusal(std::int64_t paths, int n, std::optional<std::int64_t> maxPaths,
                              std::optional<std::int64_t> available) {
  const std::string count = std::to_string(paths) + " paths";
  if (maxPaths) {
    if (paths <= *maxPaths) return std::string();
    return "this solve has " + count + ", more than the " + std::to_string(*maxPaths) +
           " allowed; raise --max-paths (CLI) or 'maxPaths' (MATLAB/Octave) to solve it";
  }
  if (!available) return std::string();
  const std::int64_t perPath = BytesPerPath(n);
  const auto usable = static_cast<std::int64_t>(static_cast<double>(*available) * kUsableShare);
  // paths * perPath > available, without overflowing.
  if (paths <= usable / perPath) return std::string();
  return "this solve has " + count + " of about " + std::to_string(perPath) + " bytes each (" +
         Gigabytes(static_cast<double>(paths) * static_cast<double>(perPath)) +
         "), more than the " + Gigabytes(static_cast<double>(usable)) +
         " a solve may take of the memory available (room for " + std::to_string(usable / perPath) +
         " paths); on a machine with more memory, or to try anyway, give --max-paths (CLI) or "
         "'maxPaths' (MATLAB/Octave) at least " +
         std::to_string(paths);
}

void CheckPathBudget(std::int64_t paths, int n, std::optional<std::int64_t> maxPaths) {
  const std::string refusal = PathBudgetRefusal(paths, n, maxPaths, AvailableMemory());
  if (!refusal.empty()) throw Error(ErrorCode::kOutOfMemory, refusal);
}

}  // namespace zormix
