// The one check of a system's shape and values, used by every reader, writer and the solve.
#ifndef ZORMIX_MODEL_CHECK_SYSTEM_H_
#define ZORMIX_MODEL_CHECK_SYSTEM_H_

#include <cstdint>
#include <string>

#include "zormix/poly_system.h"

namespace zormix {

// Throws Error unless n variables and m terms fit the limits of model/limits.h. Readers call it
// before they allocate anything of size n x m.
void CheckSystemSize(std::int64_t n, std::int64_t m, const std::string& where);

// Throws Error unless `system` is a well-formed system whose solutions can be isolated: n in
// [1, kMaxVariables], one term count >= 1 per equation, an n x m exponent matrix of nonnegative
// entries, m finite coefficients, no equation with only zero coefficients, every variable in
// some term with a nonzero coefficient, and n variable names without control characters.
// `where` starts every message (a file name or "system").
void ValidateSystem(const PolySystem& system, const std::string& where);

}  // namespace zormix

#endif  // ZORMIX_MODEL_CHECK_SYSTEM_H_
