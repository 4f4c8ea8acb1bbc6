// Entry of the mixed-cell computation: filter, order, lift, search, and back to the caller's
// numbering.
#include "mixedcell/mixed_cells.h"

#include <cstdint>
#include <string>
#include <utility>

#include "mixedcell/supports.h"
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
  result.complete = MixedCellSearch(sup, result.cells, control);
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
  result.keptCount = sup.m;
  result.perm.assign(perm.begin(), perm.end());
  return result;
}

}  // namespace zormix
