// The result of a solve as JSON, for programs that read it.
#ifndef ZORMIX_CLI_JSON_OUTPUT_H_
#define ZORMIX_CLI_JSON_OUTPUT_H_

#include <nlohmann/json.hpp>

#include "zormix/solve.h"

namespace zormix::cli {

// Version of the layout described by docs/result.schema.json; raised when a field changes meaning
// or goes away (new fields keep it).
inline constexpr int kSchemaVersion = 1;

// Counts, route, seed, variable names, version, and per root its values as [re, im] pairs, residue,
// condition number, real flag and the path that produced it; the classification of every root and
// path, and the certificates and stage timings when certification was asked for. Doubles keep
// every digit.
nlohmann::ordered_json ResultToJson(const SolveResult& result, bool mixedVolumeOnly);

}  // namespace zormix::cli

#endif  // ZORMIX_CLI_JSON_OUTPUT_H_
