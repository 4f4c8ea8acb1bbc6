// Exact lower-facet test of a cell: fraction-free elimination on 128-bit integers with overflow
// checks, repeated on unbounded integers when a check fires.
#include "mixedcell/exact_cells.h"

#include <boost/multiprecision/cpp_int.hpp>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "mixedcell/exact_decision.h"
#include "mixedcell/exact_int.h"

namespace zormix {
namespace {

// Largest |W| accepted: the elimination multiplies it with minors of the exponent differences.
constexpr double kMaxScaledLifting = 0x1.0p62;

// The supports of sup lifted by the scaled lifting (no rate), rows of a CellList.
struct SupportPoints {
  const ReducedSupports& sup;
  const std::vector<std::int64_t>& scaled;
  const SparseExponents& sparse;
  int n() const { return sup.n; }
  const std::int32_t* Point(int p) const { return sup.Point(p); }
  std::int64_t Base(int p) const { return scaled[p]; }
  std::int64_t Dir(int) const { return 0; }
  int Begin(int s) const { return sup.startCol[s]; }
  int End(int s) const { return sup.endCol[s] + 1; }
  const SparseExponents& Sparse() const { return sparse; }
};

struct CellRows {
  const CellList& cells;
  std::int64_t c;
  const std::vector<int>& supportOf;
  int First(int r) const { return cells.First(c, r); }
  int Second(int r) const { return cells.Second(c, r); }
  int Support(int r) const { return supportOf[First(r)]; }
};

// Bit position of the lowest set bit of a double's 53-bit integer mantissa.
int MantissaTrailingZeros(double m) {
  const auto bits = static_cast<std::uint64_t>(std::ldexp(std::fabs(m), 53));
  return bits == 0 ? 0 : __builtin_ctzll(bits);
}

}  // namespace

std::vector<std::int64_t> ScaledLifting(const std::vector<double>& w) {
  // w = m 2^e with m in [1/2, 1): w 2^E is an integer for E >= 53 - e - (trailing zeros of m 2^53).
  int scale = 0;
  for (double v : w) {
    if (!std::isfinite(v)) return {};
    if (v == 0.0) continue;
    int e = 0;
    const double m = std::frexp(v, &e);
    scale = std::max(scale, 53 - e - MantissaTrailingZeros(m));
  }
  std::vector<std::int64_t> out(w.size());
  for (std::size_t p = 0; p < w.size(); ++p) {
    const double v = std::ldexp(w[p], scale);
    if (std::fabs(v) >= kMaxScaledLifting) return {};
    out[p] = static_cast<std::int64_t>(v);
  }
  return out;
}

CellDecider::CellDecider(const ReducedSupports& sup, std::vector<std::int64_t> scaled)
    : sup_(sup), scaled_(std::move(scaled)), supportOf_(sup.m, -1), supportRow_(sup.n, -1) {
  for (int s = 0; s < sup.n; ++s) {
    for (int p = sup.startCol[s]; p <= sup.endCol[s]; ++p) supportOf_[p] = s;
  }
  for (int p = 0; p < sup.m; ++p) sparse_.Add(sup.Point(p), sup.n);
}

ExactCell CellDecider::Decide(const CellList& cells, std::int64_t c) {
  if (scaled_.empty()) return {};
  // One pair per support, both points of the row's support and distinct.
  std::fill(supportRow_.begin(), supportRow_.end(), -1);
  for (int r = 0; r < sup_.n; ++r) {
    const int p = cells.First(c, r), q = cells.Second(c, r);
    if (p < 0 || p >= sup_.m || q < 0 || q >= sup_.m || p == q) return {CellVerdict::kNotACell, 0};
    const int s = supportOf_[p];
    if (supportOf_[q] != s || supportRow_[s] >= 0) return {CellVerdict::kNotACell, 0};
    supportRow_[s] = r;
  }
  const SupportPoints points{sup_, scaled_, sparse_};
  const CellRows rows{cells, c, supportOf_};
  DecisionScratch<__int128> scratch;
  return DecideExactlyAnySize(points, rows, scratch);
}

}  // namespace zormix
