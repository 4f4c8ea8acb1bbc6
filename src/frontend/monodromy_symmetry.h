// A symmetry of a family's roots as the front ends write it.
#ifndef ZORMIX_FRONTEND_MONODROMY_SYMMETRY_H_
#define ZORMIX_FRONTEND_MONODROMY_SYMMETRY_H_

#include <string>

#include "zormix/monodromy.h"
#include "zormix/parametric.h"

namespace zormix::frontend {

// "y, x, -z": the image of each unknown in order, each an unknown's name with an optional factor
// ("-", "i*", "-i*", or a real number and "*"): the root (x, y, z) maps to (y, x, -z). Throws
// Error naming the entry that is not of this form, and when the names are not a permutation.
MonodromySymmetry ParseSymmetry(const std::string& text, const ParametricSystem& family);

}  // namespace zormix::frontend

#endif  // ZORMIX_FRONTEND_MONODROMY_SYMMETRY_H_
