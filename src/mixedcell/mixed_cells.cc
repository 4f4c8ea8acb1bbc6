// Entry of the mixed-cell computation: filter, order, lift, search, and back to the caller's
// numbering.
#include "mixedcell/mixed_cells.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <string>
#include <utility>

#include "mixedcell/cell_audit.h"
#include "mixedcell/stop_poll.h"
#include "mixedcell/supports.h"
#include "mixedcell/tropical_homotopy.h"
#include "model/limits.h"
#include "zormix/error.h"

namespace zormix {
namespace {

void CheckInput(int n, const std::vector<std::int32_t>& termCount,
                const ColMajorMatrix<std::int32_t>& exponents) {
  if (n < 1)
    throw Error(ErrorCode::kInternal, "mixed cells: the system needs at least one equation");
  if (static_cast<int>(termCount.size()) != n || exponents.rows() != n) {
    throw Error(ErrorCode::kInternal, "mixed cells: " + std::to_string(n) + " equations but " +
                                          std::to_string(termCount.size()) + " term counts and " +
                                          std::to_string(exponents.rows()) + " exponent rows");
  }
  std::int64_t total = 0;
  for (int i = 0; i < n; ++i) {
    if (termCount[i] < 1) {
      throw Error(ErrorCode::kInternal,
                  "mixed cells: equation " + std::to_string(i + 1) + " has no terms");
    }
    total += termCount[i];
  }
  if (total != exponents.cols()) {
    throw Error(ErrorCode::kInternal, "mixed cells: the term counts add up to " +
                                          std::to_string(total) + " but there are " +
                                          std::to_string(exponents.cols()) + " exponent columns");
  }
}

// Selection sort of a cell's rows by first point (strict: the first minimum found is taken).
void SortRowsByFirstPoint(CellList& cells, std::int64_t c, int n) {
  for (int i = 0; i + 1 < n; ++i) {
    int best = i;
    for (int k = i + 1; k < n; ++k) {
      if (cells.First(c, k) < cells.First(c, best)) best = k;
    }
    if (best == i) continue;
    std::swap(cells.First(c, i), cells.First(c, best));
    std::swap(cells.Second(c, i), cells.Second(c, best));
  }
}

// Lexicographic order of two cells' rows (first point, second point) from equation 1 on.
bool CellBefore(const CellList& cells, std::int64_t a, std::int64_t b) {
  for (int i = 0; i < cells.n(); ++i) {
    if (cells.First(a, i) != cells.First(b, i)) return cells.First(a, i) < cells.First(b, i);
    if (cells.Second(a, i) != cells.Second(b, i)) return cells.Second(a, i) < cells.Second(b, i);
  }
  return false;
}

// Puts the cells into canonical order in place: the order of the cells then depends only on the
// cells, not on the enumeration, and so do the path numbers.
void SortCells(CellList& cells) {
  const std::int64_t count = cells.size();
  std::vector<std::int64_t> order(static_cast<std::size_t>(count));
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(),
            [&](std::int64_t a, std::int64_t b) { return CellBefore(cells, a, b); });
  // Follows the permutation's cycles: one spare cell instead of a second list.
  const int n = cells.n();
  std::vector<std::int32_t> spare(static_cast<std::size_t>(2 * n));
  std::vector<std::int8_t> placed(static_cast<std::size_t>(count), 0);
  auto copy = [&](std::int64_t to, std::int64_t from) {
    for (int i = 0; i < n; ++i) {
      cells.First(to, i) = cells.First(from, i);
      cells.Second(to, i) = cells.Second(from, i);
    }
  };
  for (std::int64_t start = 0; start < count; ++start) {
    if (placed[static_cast<std::size_t>(start)]) continue;
    for (int i = 0; i < n; ++i) {
      spare[2 * i] = cells.First(start, i);
      spare[2 * i + 1] = cells.Second(start, i);
    }
    std::int64_t to = start;
    for (;;) {
      placed[static_cast<std::size_t>(to)] = 1;
      const std::int64_t from = order[static_cast<std::size_t>(to)];
      if (from == start) break;
      copy(to, from);
      to = from;
    }
    for (int i = 0; i < n; ++i) {
      cells.First(to, i) = spare[2 * i];
      cells.Second(to, i) = spare[2 * i + 1];
    }
  }
}

// The cells of sup, checked: by the tropical homotopy, whose stage checks decide every cell exactly
// and prove the list complete by its volume; by the depth-first search when a runner shares the
// search out, when the homotopy cannot pass an event, or when a stage fails its check (said in a
// warning). The search's list is audited: every cell decided exactly and the volume sum compared
// with a second lifting's mixed volume. False when control.stop ended the computation.
bool FindCells(const ReducedSupports& sup, CellList& cells, const CellSearchControl& control,
               std::vector<std::string>& warnings) {
  if (!control.runBranches) {
    const HomotopyOutcome outcome =
        TropicalHomotopyCells(sup, cells, control.threads, control.stop, &warnings);
    if (outcome == HomotopyOutcome::kStopped) return false;
    if (outcome == HomotopyOutcome::kDone) return true;
    if (outcome == HomotopyOutcome::kFailedCheck) {
      warnings.push_back(
          "mixed cells: the tropical homotopy's cells failed their check; the cells of the "
          "depth-first search are used instead");
    }
    cells = CellList(sup.n);
  }
  if (!MixedCellSearch(sup, cells, control)) return false;
  const CellAudit audit = AuditCells(sup, cells, control);
  warnings.insert(warnings.end(), audit.warnings.begin(), audit.warnings.end());
  return true;
}

// Refuses supports whose pair tables (of the vertex filter and the search) would not fit in
// reasonable memory, before anything is allocated.
void CheckSupportSize(std::int64_t m) {
  if (m * m <= kMaxSupportPairs) return;
  throw Error(ErrorCode::kInvalidInput,
              "the mixed-cell search needs a table of " + std::to_string(m) + " x " +
                  std::to_string(m) + " = " + std::to_string(m * m) +
                  " pairs of support points, more than the limit of " +
                  std::to_string(kMaxSupportPairs) +
                  "; the total-degree route (--route total-degree) needs no such table");
}

}  // namespace

MixedCellResult ComputeMixedCells(int n, const std::vector<std::int32_t>& termCount,
                                  const ColMajorMatrix<std::int32_t>& exponents,
                                  RuntimeUniform& runtime, const CellSearchControl& control) {
  CheckInput(n, termCount, exponents);
  CheckSupportSize(exponents.cols());
  ReducedSupports sup;
  sup.n = n;
  std::vector<int> perm;
  sup.m = FilterSupportVertices(n, exponents, termCount, runtime, sup.exponents, sup.counts, perm);
  ReorderSupports(n, sup.counts, sup.exponents, perm, sup.startCol, sup.endCol);
  runtime.Reseed();
  sup.w.resize(sup.m);
  for (int j = 0; j < sup.m; ++j) sup.w[j] = runtime.Next();

  MixedCellResult result;
  result.cells = CellList(n);
  CellSearchControl polled = control;
  polled.stop = PollOnThisThread(control.stop);
  result.complete = FindCells(sup, result.cells, polled, result.warnings);
  if (!result.complete) return result;

  result.lifting.assign(exponents.cols(), 2.0);
  for (int j = 0; j < sup.m; ++j) result.lifting[perm[j]] = sup.w[j];
  for (std::int64_t c = 0; c < result.cells.size(); ++c) {
    for (int i = 0; i < n; ++i) {
      result.cells.First(c, i) = perm[result.cells.First(c, i)];
      result.cells.Second(c, i) = perm[result.cells.Second(c, i)];
    }
    SortRowsByFirstPoint(result.cells, c, n);
  }
  SortCells(result.cells);
  result.keptCount = sup.m;
  result.perm.assign(perm.begin(), perm.end());
  return result;
}

}  // namespace zormix
