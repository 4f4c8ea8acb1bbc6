// The one check of a system's shape and values, used by every reader, writer and the solve.
#ifndef ZORMIX_MODEL_CHECK_SYSTEM_H_
#define ZORMIX_MODEL_CHECK_SYSTEM_H_

#include <string>

#include "zormix/poly_system.h"

namespace zormix {

// Throws Error unless `system` is a well-formed system as read: n in [1, kMaxVariables], one
// term count >= 1 per equation, an n x m exponent matrix of nonnegative entries, m finite
// coefficients and n variable names. `where` starts every message (a file name or "system").
void ValidateSystem(const PolySystem& system, const std::string& where);

}  // namespace zormix

#endif  // ZORMIX_MODEL_CHECK_SYSTEM_H_
