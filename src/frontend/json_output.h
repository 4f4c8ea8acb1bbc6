// The result of a solve as JSON, for programs that read it.
#ifndef ZORMIX_FRONTEND_JSON_OUTPUT_H_
#define ZORMIX_FRONTEND_JSON_OUTPUT_H_

#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "zormix/solve.h"

namespace zormix::frontend {

// Version of the layout described by docs/result.schema.json; raised when a field is added, changes
// meaning or goes away. 2: positive-dimensional roots, local dimensions and winding numbers, the
// one-line summary, paths at infinity apart from the failed ones in lost_paths. 3: the valuation of
// each path at infinity. 4: a root's "real" and real_count mean real regular roots, as the
// summary's; "real_point" is a root's own real flag, whatever its status.
inline constexpr int kSchemaVersion = 4;

// Counts, route, seed, variable names, version, and per root its values as [re, im] pairs, residue,
// condition number, real flag and the path that produced it; the classification of every root and
// path, and the certificates and stage timings when certification was asked for. Doubles keep
// every digit.
//
// Written piece by piece to `write`, one root or lost path at a time, so that the memory it takes
// does not grow with the number of roots. The text is ResultToJson(...).dump(2) followed by a
// newline, byte for byte.
void WriteResultJson(const SolveResult& result, bool mixedVolumeOnly,
                     const std::function<void(std::string_view)>& write);

// The same document whole, in memory (a few hundred bytes per root and variable).
nlohmann::ordered_json ResultToJson(const SolveResult& result, bool mixedVolumeOnly);

// What the JSON line of a sweep's member says besides its solve (a MemberResult without its
// result).
struct MemberFields {
  std::int64_t instance = 0;
  std::vector<Complex> parameters;
  bool solved = false;
  std::string error;
  bool flagged = false;
  int gammaAttempts = 1;
};

// The line `zormix sweep --json` writes for a member: instance, parameters, solved (and the error
// when it was not), then the keys of the solve's JSON with the route "parameter", the guard's flag
// and the detours tried; newline-terminated.
std::string MemberJsonLine(const MemberFields& member, const SolveResult& result);

}  // namespace zormix::frontend

#endif  // ZORMIX_FRONTEND_JSON_OUTPUT_H_
