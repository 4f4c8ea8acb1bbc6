// Systems and points shared by the tests of the local analysis.
#ifndef ZORMIX_TESTS_LOCAL_LOCAL_TEST_SUPPORT_H_
#define ZORMIX_TESTS_LOCAL_LOCAL_TEST_SUPPORT_H_

#include <string>
#include <vector>

#include "local/dual_space.h"
#include "local/taylor.h"
#include "zormix/io.h"

namespace zormix {

inline PolySystem Parse(const std::string& text) { return ParsePolynomialText(text, "test"); }

// The dual space of `system` at x, treated as accurate to `accuracy`, up to multiplicity bound.
inline DualSpace DualAt(const PolySystem& system, const std::vector<Complex>& x, int bound,
                        double accuracy = 1e-15) {
  const MonomialTable table(system.n, bound + 1);
  LocalUnits units = ColumnUnitsAt(system, x.data());
  const TaylorSystem f = ExpandAt(system, x.data(), units, table, bound + 1);
  return ComputeDualSpace(f, table, accuracy, bound);
}

}  // namespace zormix

#endif  // ZORMIX_TESTS_LOCAL_LOCAL_TEST_SUPPORT_H_
