// Exact lower-facet test of a cell: fraction-free elimination on 128-bit integers with overflow
// checks, repeated on unbounded integers when a check fires.
#include "mixedcell/exact_cells.h"

#include <boost/multiprecision/cpp_int.hpp>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "mixedcell/exact_int.h"

namespace zormix {
namespace {

// Largest |W| accepted: the elimination multiplies it with minors of the exponent differences.
constexpr double kMaxScaledLifting = 0x1.0p62;

std::int64_t SaturatedAbs(const __int128& v) {
  const __int128 a = v < 0 ? -v : v;
  return a > std::numeric_limits<std::int64_t>::max() ? std::numeric_limits<std::int64_t>::max()
                                                      : static_cast<std::int64_t>(a);
}

std::int64_t SaturatedAbs(const boost::multiprecision::cpp_int& v) {
  const boost::multiprecision::cpp_int a = v < 0 ? boost::multiprecision::cpp_int(-v) : v;
  return a > std::numeric_limits<std::int64_t>::max() ? std::numeric_limits<std::int64_t>::max()
                                                      : static_cast<std::int64_t>(a);
}

// The cell's rows, point numbers of sup; the support of each row is known to be distinct.
struct CellRows {
  const CellList& cells;
  std::int64_t c;
  int First(int r) const { return cells.First(c, r); }
  int Second(int r) const { return cells.Second(c, r); }
};

template <class Ops>
ExactCell DecideWith(Ops& ops, const ReducedSupports& sup, const std::vector<std::int64_t>& scaled,
                     const std::vector<int>& supportOf, const CellRows& rows) {
  using Int = typename Ops::Int;
  const int n = sup.n, width = n + 1;
  // Augmented system [q_r - p_r | W_p_r - W_q_r], one row per pair.
  std::vector<Int> a(static_cast<std::size_t>(n) * width);
  auto at = [&](int i, int j) -> Int& { return a[static_cast<std::size_t>(i) * width + j]; };
  for (int r = 0; r < n; ++r) {
    const std::int32_t* p = sup.Point(rows.First(r));
    const std::int32_t* q = sup.Point(rows.Second(r));
    for (int k = 0; k < n; ++k) at(r, k) = Int(q[k]) - Int(p[k]);
    at(r, n) = Int(scaled[rows.First(r)]) - Int(scaled[rows.Second(r)]);
  }
  // Bareiss: after step k, entry (i, j) of the trailing block is a (k+2)-minor, so each division by
  // the previous pivot is exact.
  Int prev = 1;
  for (int k = 0; k < n; ++k) {
    int pivot = k;
    while (pivot < n && at(pivot, k) == 0) ++pivot;
    if (pivot == n) return {CellVerdict::kSingular, 0};
    if (pivot != k) {
      for (int j = 0; j < width; ++j) std::swap(at(k, j), at(pivot, j));
    }
    for (int i = k + 1; i < n; ++i) {
      for (int j = k + 1; j < width; ++j) {
        at(i, j) = ops.Div(ops.Sub(ops.Mul(at(i, j), at(k, k)), ops.Mul(at(i, k), at(k, j))), prev);
      }
      if (ops.overflow) return {};
    }
    prev = at(k, k);
  }
  // Row i of the eliminated system is a combination of the original equations:
  // sum_{j >= i} a_ij y_j = a_in. With x = D*y (integers by Cramer's rule) every division is exact.
  const Int det = at(n - 1, n - 1);
  std::vector<Int> x(n);
  for (int i = n - 1; i >= 0; --i) {
    Int s = ops.Mul(det, at(i, n));
    for (int j = i + 1; j < n; ++j) s = ops.Sub(s, ops.Mul(at(i, j), x[j]));
    x[i] = ops.Div(s, at(i, i));
  }
  if (ops.overflow) return {};
  // Height of point p over the cell's hyperplane of its support, times D.
  auto height = [&](int p) {
    const std::int32_t* e = sup.Point(p);
    Int v = ops.Mul(det, Int(scaled[p]));
    for (int k = 0; k < n; ++k) {
      if (e[k] != 0) v = ops.Add(v, ops.Mul(Int(e[k]), x[k]));
    }
    return v;
  };
  const bool positive = det > 0;
  ExactCell out{CellVerdict::kCell, SaturatedAbs(det)};
  for (int r = 0; r < n; ++r) {
    const int p = rows.First(r), q = rows.Second(r), s = supportOf[p];
    const Int base = height(p);
    const Int onSecond = height(q);
    if (ops.overflow) return {};
    if (onSecond != base) return {CellVerdict::kNotACell, 0};
    for (int t = sup.startCol[s]; t <= sup.endCol[s]; ++t) {
      if (t == p || t == q) continue;
      const Int above = ops.Sub(height(t), base);
      if (ops.overflow) return {};
      if (above == 0) {
        out.verdict = CellVerdict::kTied;
      } else if ((above > 0) != positive) {
        return {CellVerdict::kNotACell, 0};
      }
    }
  }
  if (ops.overflow) return {};
  return out;
}

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
  const CellRows rows{cells, c};
  CheckedInt128 fast;
  const ExactCell quick = DecideWith(fast, sup_, scaled_, supportOf_, rows);
  if (!fast.overflow) return quick;
  BigInt big;
  return DecideWith(big, sup_, scaled_, supportOf_, rows);
}

}  // namespace zormix
