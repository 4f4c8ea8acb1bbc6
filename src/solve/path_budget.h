// The memory a route's paths take, weighed before any of it is allocated: a system whose path
// count would not fit (x^1000000000 - 1 on the total-degree route: 10^9 paths) is refused at once
// with the figures, instead of growing until the kernel ends the process.
#ifndef ZORMIX_SOLVE_PATH_BUDGET_H_
#define ZORMIX_SOLVE_PATH_BUDGET_H_

#include <cstdint>
#include <optional>
#include <string>

namespace zormix {

// Bytes a path of a system of n variables holds at most from its start to the finished result:
// eight points of n complex coordinates and its records, statuses and per-root numbers.
std::int64_t BytesPerPath(int n);

// Memory this process may still take: the kernel's estimate of available memory, lowered by the
// control group's limit and the address-space limit (ulimit -v) where there are such; nullopt
// when none of them can be read.
std::optional<std::int64_t> AvailableMemory();

// Why `paths` paths of n variables cannot be tracked, or "" when they can: more paths than
// maxPaths when it is given; otherwise more memory than three quarters of `available` (unknown:
// no limit).
std::string PathBudgetRefusal(std::int64_t paths, int n, std::optional<std::int64_t> maxPaths,
                              std::optional<std::int64_t> available);

// Throws Error kOutOfMemoryId with PathBudgetRefusal's reason against this machine's memory.
void CheckPathBudget(std::int64_t paths, int n, std::optional<std::int64_t> maxPaths);

}  // namespace zormix

#endif  // ZORMIX_SOLVE_PATH_BUDGET_H_
