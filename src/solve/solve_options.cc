// The rules on SolveOptions and SweepOptions, one each, checked by every solve and every front end.
#include <string>
#include <string_view>

#include "zormix/solve.h"
#include "zormix/sweep.h"

namespace zormix {
namespace {

bool Broken(std::string* why, const std::string& reason) {
  if (why) *why = reason;
  return false;
}

bool IsRoute(Route route) { return route == Route::kPolyhedral || route == Route::kTotalDegree; }

std::string ThreadRange(int threads) {
  return "threads = " + std::to_string(threads) + ": expected 0 (one thread per core) to " +
         std::to_string(kMaxThreads);
}

std::string MaxPathsRule(std::int64_t maxPaths) {
  return "maxPaths = " + std::to_string(maxPaths) +
         ": expected a positive number of paths (unset: as many as the memory holds)";
}

// A file name the solve opens: "-" is no file (standard output is the front ends' to name), and a
// NUL would cut the name the system sees short of the one given.
bool FileNameRule(std::string_view name, const char* option, std::string* why) {
  if (name == "-")
    return Broken(why, std::string(option) +
                           " '-': a file name, not standard input or output (the front ends write "
                           "'-' themselves)");
  if (name.find('\0') != std::string_view::npos)
    return Broken(why, std::string(option) + " holds a NUL character: not a file name");
  return true;
}

}  // namespace

bool SolveOptions::Validate(std::string* why) const {
  if (threads < 0 || threads > kMaxThreads) return Broken(why, ThreadRange(threads));
  if (!IsRoute(route))
    return Broken(why, "route " + std::to_string(static_cast<int>(route)) +
                           ": expected Route::kPolyhedral or Route::kTotalDegree");
  if (maxPaths && *maxPaths < 1) return Broken(why, MaxPathsRule(*maxPaths));
  if (!reportPath.empty() && !FileNameRule(reportPath, "reportPath", why)) return false;
  if (!checkpointPath.empty() && !FileNameRule(checkpointPath, "checkpointPath", why)) return false;
  if (mixedVolumeOnly && route != Route::kPolyhedral) {
    return Broken(why, "the mixed volume (mixedVolumeOnly) needs the polyhedral route");
  }
  if (mixedVolumeOnly && !reportPath.empty()) {
    return Broken(why,
                  "mixedVolumeOnly tracks no path and writes no report: leave reportPath "
                  "empty");
  }
  if (mixedVolumeOnly && certify)
    return Broken(why, "mixedVolumeOnly finds no root to certify: leave certify false");
  if (mixedVolumeOnly && !checkpointPath.empty())
    return Broken(why, "mixedVolumeOnly tracks no path to keep: leave checkpointPath empty");
  if (!reportPath.empty() && reportPath == checkpointPath) {
    return Broken(why, "the report and the checkpoint would be the same file '" + reportPath + "'");
  }
  return true;
}

bool SweepOptions::Validate(std::string* why) const {
  if (threads < 0 || threads > kMaxThreads) return Broken(why, ThreadRange(threads));
  if (!IsRoute(startRoute))
    return Broken(why, "startRoute " + std::to_string(static_cast<int>(startRoute)) +
                           ": expected Route::kPolyhedral or Route::kTotalDegree");
  if (maxPaths && *maxPaths < 1) return Broken(why, MaxPathsRule(*maxPaths));
  return true;
}

}  // namespace zormix
