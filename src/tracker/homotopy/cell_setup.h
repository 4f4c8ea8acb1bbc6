// Per-cell data of the polyhedral homotopy: inner normal, powers, start value and start solutions.
#ifndef ZORMIX_TRACKER_HOMOTOPY_CELL_SETUP_H_
#define ZORMIX_TRACKER_HOMOTOPY_CELL_SETUP_H_

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "mixedcell/cell_list.h"
#include "startsys/start_systems.h"
#include "zormix/col_major_matrix.h"
#include "zormix/poly_system.h"

namespace zormix {

// Powers of t below this are the cell's own (treated as exactly 0).
inline constexpr double kPowerCut = 1e-12;

struct CellPowers {
  std::vector<double> beta;  // m powers of t, 0 on the cell's own monomials
  double minPower = 1.0;     // smallest positive power, at most 1
};

// From the triangularised difference matrix L = D U and U: alpha = U y with L y = b,
// b_i = w(p2(i)) - w(p1(i)); then beta_j = <a_j, alpha> + w_j - (<a_p1(i), alpha> + w_p1(i)) for
// the monomials j of equation i, cut to 0 below kPowerCut.
CellPowers CellNormalAndPowers(std::int64_t cell, const CellList& cells,
                               const ColMajorMatrix<std::int32_t>& exponents,
                               std::span<const std::int32_t> termCount, const IntMatrix& L,
                               const IntMatrix& U, const std::vector<double>& lifting);

struct CellSetup {
  std::int64_t startCount = 0;  // M = |det D|; 0 for a singular cell (no paths)
  CellPowers powers;
  double s0 = 0.0;                          // -20 / minPower
  std::optional<BinomialSolutions> starts;  // the M start solutions, computed one at a time
};

// Difference matrix, unimodular reduction, normal and powers, start solutions of one cell.
CellSetup PrepareCell(std::int64_t cell, const CellList& cells, const PolySystem& system,
                      const std::vector<Complex>& startCoefficients,
                      const std::vector<double>& lifting);

}  // namespace zormix

#endif  // ZORMIX_TRACKER_HOMOTOPY_CELL_SETUP_H_
