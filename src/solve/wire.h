// The system and the options of a solve as bytes, for the ranks of a cluster job: one encoding of
// every field, checked at compile time to cover every field of SolveOptions.
#ifndef ZORMIX_SOLVE_WIRE_H_
#define ZORMIX_SOLVE_WIRE_H_

#include <string>

#include "zormix/poly_system.h"
#include "zormix/solve.h"

namespace zormix {

struct WireSolve {
  PolySystem system;
  // The data fields as sent; the callbacks and the carried stream are never sent (empty).
  SolveOptions options;
};

std::string EncodeSolve(const PolySystem& system, const SolveOptions& options);
// Throws Error kInternal for bytes that EncodeSolve did not write.
WireSolve DecodeSolve(const std::string& bytes);

}  // namespace zormix

#endif  // ZORMIX_SOLVE_WIRE_H_
