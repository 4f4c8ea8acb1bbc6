// The rules on SolveOptions, one each, checked by every solve and every front end.
#include <string>

#include "zormix/solve.h"

namespace zormix {
namespace {

bool Broken(std::string* why, const std::string& reason) {
  if (why) *why = reason;
  return false;
}

}  // namespace

bool SolveOptions::Validate(std::string* why) const {
  if (threads < 0 || threads > kMaxThreads) {
    return Broken(why, "threads = " + std::to_string(threads) +
                           ": expected 0 (one thread per core) to " + std::to_string(kMaxThreads));
  }
  if (mixedVolumeOnly && route != Route::kPolyhedral) {
    return Broken(why, "the mixed volume (mixedVolumeOnly) needs the polyhedral route");
  }
  if (mixedVolumeOnly && !reportPath.empty()) {
    return Broken(why,
                  "mixedVolumeOnly tracks no path and writes no report: leave reportPath "
                  "empty");
  }
  if (!reportPath.empty() && reportPath == checkpointPath) {
    return Broken(why, "the report and the checkpoint would be the same file '" + reportPath + "'");
  }
  return true;
}

}  // namespace zormix
