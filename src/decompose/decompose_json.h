// A decomposition as JSON (docs/decompose.schema.json), for the command, the Python module and the
// MEX function.
#ifndef ZORMIX_DECOMPOSE_DECOMPOSE_JSON_H_
#define ZORMIX_DECOMPOSE_DECOMPOSE_JSON_H_

#include <nlohmann/json.hpp>
#include <vector>

#include "zormix/decompose.h"

namespace zormix {

// Version of the layout described by docs/decompose.schema.json.
inline constexpr int kDecomposeSchemaVersion = 1;

// The decomposition as JSON; `membership` holds, per tested point of `points`, the indices of the
// components it lies on (no key when no points were tested).
nlohmann::ordered_json DecompositionToJson(const Decomposition& decomposition,
                                           const std::vector<std::vector<Complex>>& points,
                                           const std::vector<std::vector<int>>& membership);

}  // namespace zormix

#endif  // ZORMIX_DECOMPOSE_DECOMPOSE_JSON_H_
