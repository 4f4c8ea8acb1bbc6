// Exact decisions on cells of the lifted supports: whether a tuple of pairs is a lower facet, and
// its volume. The liftings are doubles, i.e. dyadic rationals: scaled by one power of two they are
// integers, and every decision is made in integer arithmetic (128 bits with overflow checks, then
// unbounded integers when those overflow), so no tolerance decides a cell.
#ifndef ZORMIX_MIXEDCELL_EXACT_CELLS_H_
#define ZORMIX_MIXEDCELL_EXACT_CELLS_H_

#include <cstdint>
#include <vector>

#include "mixedcell/cell_list.h"
#include "mixedcell/sparse_exponents.h"
#include "mixedcell/supports.h"

namespace zormix {

enum class CellVerdict : std::int8_t {
  kCell,       // a mixed cell: every other point of each support lies strictly above
  kTied,       // a lower face, but some other point lies on it (the lifting is not generic)
  kSingular,   // the edge matrix is singular: volume 0, no start solutions
  kNotACell,   // some point lies strictly below, or the rows do not take one pair per support
  kUnchecked,  // the lifting has no common power-of-two scale within 62 bits
};

// The lifting of sup as integers W_p = w_p * 2^E, one E for all points; empty when some value
// needs more than 62 bits at the common scale (or is not finite).
std::vector<std::int64_t> ScaledLifting(const std::vector<double>& w);

struct ExactCell {
  CellVerdict verdict = CellVerdict::kUnchecked;
  std::int64_t volume = 0;  // |det| of the edge matrix (saturated at INT64_MAX)
};

// Decides cells (column numbers of sup, rows in any order, one pair per support): solves
// <q_r - p_r, y> = W_p_r - W_q_r exactly as x = D*y (D = det, fraction-free elimination) and
// compares every point a of each row's support: <a - p_r, x> + D*(W_a - W_p_r) must have the sign
// of D. One decider per thread (it holds scratch).
class CellDecider {
 public:
  // `scaled` is ScaledLifting(sup.w); when empty every cell is kUnchecked.
  CellDecider(const ReducedSupports& sup, std::vector<std::int64_t> scaled);
  ExactCell Decide(const CellList& cells, std::int64_t c);

 private:
  const ReducedSupports& sup_;
  std::vector<std::int64_t> scaled_;
  SparseExponents sparse_;       // per column
  std::vector<int> supportOf_;   // per column
  std::vector<int> supportRow_;  // per support: the row that takes it in the cell at hand
};

}  // namespace zormix

#endif  // ZORMIX_MIXEDCELL_EXACT_CELLS_H_
