// The exact lower-facet decision shared by the audit of a cell list and the homotopy's stage
// check: a tuple of pairs, one per support, lifted by base + t * dir (dir = 0 for a plain lifting)
// and decided for t -> +inf, i.e. by the rate first and the offset second. Integers throughout.
#ifndef ZORMIX_MIXEDCELL_EXACT_DECISION_H_
#define ZORMIX_MIXEDCELL_EXACT_DECISION_H_

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <utility>
#include <vector>

#include "mixedcell/exact_cells.h"
#include "mixedcell/exact_int.h"
#include "mixedcell/sparse_exponents.h"

namespace zormix {

inline std::int64_t SaturatedMagnitude(const __int128& v) {
  const __int128 a = v < 0 ? -v : v;
  return a > std::numeric_limits<std::int64_t>::max() ? std::numeric_limits<std::int64_t>::max()
                                                      : static_cast<std::int64_t>(a);
}

template <class Big>
std::int64_t SaturatedMagnitude(const Big& v) {
  const Big a = v < 0 ? Big(-v) : v;
  return a > std::numeric_limits<std::int64_t>::max() ? std::numeric_limits<std::int64_t>::max()
                                                      : static_cast<std::int64_t>(a);
}

// The signs of the rise of a point in floating point with a proven bound, over the points' nonzero
// exponents; 0 when the bound cannot tell (the caller then computes it exactly). A dot product of
// n terms e_k x_k with x_k rounded to double is within (n + 1) 2^-53 of the sum of the terms'
// magnitudes, at most |e|_1 max |x_k|; D and the lifting difference (exact in 64 bits) round once
// more each, and the final sums add two roundings: (n + 8) 2^-52 covers it twice over. Below 2^53
// every product and partial sum is an integer that a double holds, so the value is exact. Only
// for 128-bit integers; the unbounded ones always compute exactly.
template <class Int>
class RiseFilter {
 public:
  void Reset(int n, const Int& det, const std::vector<Int>& x0, const std::vector<Int>& x1) {
    if constexpr (std::is_same_v<Int, __int128>) {
      relative_ = (n + 8) * 0x1.0p-52;
      det_ = static_cast<double>(det);
      largest0_ = largest1_ = 0.0;
      x0_.resize(x0.size());
      x1_.resize(x1.size());
      for (std::size_t k = 0; k < x0.size(); ++k) {
        x0_[k] = static_cast<double>(x0[k]);
        x1_[k] = static_cast<double>(x1[k]);
        largest0_ = std::max(largest0_, std::fabs(x0_[k]));
        largest1_ = std::max(largest1_, std::fabs(x1_[k]));
      }
    }
  }
  // The reference point p of a row: its dot products with x0 and x1.
  template <class Points>
  void SetReference(const Points& pts, int p) {
    if constexpr (std::is_same_v<Int, __int128>) {
      p_ = p;
      dot0_ = Dot(pts, p, x0_);
      dot1_ = Dot(pts, p, x1_);
    }
  }
  // Sign of the rate (steady: x1 = 0) and of the offset of point t against the reference.
  template <class Points>
  int RateSign(const Points& pts, int t, bool steady) const {
    if constexpr (!std::is_same_v<Int, __int128>) {
      return 0;
    } else {
      const double own = det_ * static_cast<double>(pts.Dir(t) - pts.Dir(p_));
      const double sum = own + (steady ? 0.0 : Dot(pts, t, x1_) - dot1_);
      const double magnitude =
          std::fabs(own) +
          (steady ? 0.0 : (pts.Sparse().norm1[t] + pts.Sparse().norm1[p_]) * largest1_);
      return Decide(sum, magnitude);
    }
  }
  template <class Points>
  int OffsetSign(const Points& pts, int t) const {
    if constexpr (!std::is_same_v<Int, __int128>) {
      return 0;
    } else {
      const double own = det_ * static_cast<double>(pts.Base(t) - pts.Base(p_));
      const double sum = own + (Dot(pts, t, x0_) - dot0_);
      return Decide(sum,
                    std::fabs(own) + (pts.Sparse().norm1[t] + pts.Sparse().norm1[p_]) * largest0_);
    }
  }

 private:
  // Exact below 2^53; +-1 when the bound tells, 2 for an exact zero, 0 when undecided.
  int Decide(double sum, double magnitude) const {
    if (magnitude < 0x1.0p53) return sum > 0.0 ? 1 : (sum < 0.0 ? -1 : 2);
    const double bound = relative_ * magnitude;
    return sum > bound ? 1 : (sum < -bound ? -1 : 0);
  }
  template <class Points>
  static double Dot(const Points& pts, int p, const std::vector<double>& x) {
    const SparseExponents& nz = pts.Sparse();
    double sum = 0.0;
    for (int e = nz.start[p]; e < nz.start[p + 1]; ++e) sum += nz.value[e] * x[nz.index[e]];
    return sum;
  }

  double relative_ = 0.0, det_ = 0.0, largest0_ = 0.0, largest1_ = 0.0, dot0_ = 0.0, dot1_ = 0.0;
  int p_ = 0;
  std::vector<double> x0_, x1_;
};

// The working memory of a decision, kept between decisions.
template <class Int>
struct DecisionScratch {
  std::vector<Int> a, x0, x1;
  RiseFilter<Int> filter;
};

// Divides the rows x rows block at `block` (rows of `stride` entries, `columns` of them used) by
// d exactly: without a division instruction when d is a 128-bit integer within 64 bits.
template <class Ops, class Int>
void DivideExactly(Ops& ops, const Int& d, Int* block, int rows, int columns, int stride) {
  if (d == 1) return;
  if constexpr (std::is_same_v<Int, __int128>) {
    if (CheckedInt128::Fits64(d)) {
      const ExactDivisor divisor(d);
      for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < columns; ++j)
          block[i * stride + j] = divisor.Divide(block[i * stride + j]);
      }
      return;
    }
  }
  for (int i = 0; i < rows; ++i) {
    for (int j = 0; j < columns; ++j) block[i * stride + j] = ops.Div(block[i * stride + j], d);
  }
}

// Bareiss on the rows of `a` (n rows of `width` entries, the n x n block first): after step k,
// entry (i, j) of the trailing block is a (k+2)-minor, so each division by the previous pivot is
// exact, and the last pivot is det. False when the block is singular; `ops` records an overflow.
template <class Ops, class Int>
bool Eliminate(Ops& ops, Int* a, int n, int width) {
  auto at = [&](int i, int j) -> Int& { return a[static_cast<std::size_t>(i) * width + j]; };
  Int prev = 1;
  for (int k = 0; k < n; ++k) {
    int pivot = k;
    while (pivot < n && at(pivot, k) == 0) ++pivot;
    if (pivot == n) return false;
    if (pivot != k) {
      for (int j = 0; j < width; ++j) std::swap(at(k, j), at(pivot, j));
    }
    for (int i = k + 1; i < n; ++i) {
      for (int j = k + 1; j < width; ++j) {
        at(i, j) = ops.Sub(ops.Mul(at(i, j), at(k, k)), ops.Mul(at(i, k), at(k, j)));
      }
      if (ops.overflow) return false;
    }
    DivideExactly(ops, prev, &at(k + 1, k + 1), n - k - 1, width - k - 1, width);
    prev = at(k, k);
  }
  return true;
}

// Eliminate for 128-bit entries whose n x n block (minors of exponent differences) stays within 64
// bits: its products are checked 64-bit ones and its divisions multiplications by the pivot's
// inverse modulo 2^64; the right-hand columns stay 128-bit. 1 done, 0 singular, -1 when a value
// of the block or of the right-hand columns does not fit (`a` is then spoilt: start again wider).
inline int EliminateNarrow(__int128* a, int n, int width) {
  auto at = [&](int i, int j) -> __int128& { return a[static_cast<std::size_t>(i) * width + j]; };
  std::int64_t prev = 1;
  for (int k = 0; k < n; ++k) {
    int pivot = k;
    while (pivot < n && at(pivot, k) == 0) ++pivot;
    if (pivot == n) return 0;
    if (pivot != k) {
      for (int j = 0; j < width; ++j) std::swap(at(k, j), at(pivot, j));
    }
    const auto kk = static_cast<std::int64_t>(at(k, k));
    const ExactDivisor divisor(prev);
    for (int i = k + 1; i < n; ++i) {
      const auto ik = static_cast<std::int64_t>(at(i, k));
      for (int j = k + 1; j < n; ++j) {
        std::int64_t l, r, d;
        if (__builtin_mul_overflow(static_cast<std::int64_t>(at(i, j)), kk, &l) ||
            __builtin_mul_overflow(ik, static_cast<std::int64_t>(at(k, j)), &r) ||
            __builtin_sub_overflow(l, r, &d)) {
          return -1;
        }
        at(i, j) = prev == 1 ? d : divisor.Divide(d);
      }
      for (int j = n; j < width; ++j) {
        __int128 l, r, d;
        if (__builtin_mul_overflow(at(i, j), static_cast<__int128>(kk), &l) ||
            __builtin_mul_overflow(static_cast<__int128>(ik), at(k, j), &r) ||
            __builtin_sub_overflow(l, r, &d)) {
          return -1;
        }
        at(i, j) = prev == 1 ? d : divisor.Divide(d);
      }
    }
    prev = kk;
  }
  return 1;
}

// Points: n(), Point(p) (n exponents), Base(p), Dir(p), the points of support s as
// Begin(s)..End(s)-1, and Sparse(), their nonzero exponents. Rows: First(r), Second(r) (point
// numbers) and Support(r), one row per support, both points of the row's support and distinct.
//
// Solves <q_r - p_r, y> = L_p_r - L_q_r for y(t) = (x0 + t x1) / D by fraction-free elimination
// (D = det, every division exact) and compares every point a of each row's support with the row's
// first point: D * (rise of a over the face) = D (L_a - L_p) + <a - p, x> must have the sign of D,
// the rate decides and the offset breaks a zero rate. Returns {} (kUnchecked) when `ops` records an
// overflow; the caller repeats the decision on wider integers.
template <class Ops, class Points, class Rows>
ExactCell DecideExactly(Ops& ops, const Points& pts, const Rows& rows,
                        DecisionScratch<typename Ops::Int>& scratch) {
  using Int = typename Ops::Int;
  const int n = pts.n(), width = n + 2;
  std::vector<Int>& a = scratch.a;
  auto at = [&](int i, int j) -> Int& { return a[static_cast<std::size_t>(i) * width + j]; };
  // Augmented system [q_r - p_r | L_p_r - L_q_r (offset) | L_p_r - L_q_r (rate)].
  auto fill = [&]() {
    a.assign(static_cast<std::size_t>(n) * width, Int(0));
    for (int r = 0; r < n; ++r) {
      const int p = rows.First(r), q = rows.Second(r);
      const std::int32_t* ep = pts.Point(p);
      const std::int32_t* eq = pts.Point(q);
      for (int k = 0; k < n; ++k) at(r, k) = Int(eq[k]) - Int(ep[k]);
      at(r, n) = Int(pts.Base(p)) - Int(pts.Base(q));
      at(r, n + 1) = Int(pts.Dir(p)) - Int(pts.Dir(q));
    }
  };
  fill();
  int regular = -1;
  if constexpr (std::is_same_v<Int, __int128>) {
    regular = EliminateNarrow(a.data(), n, width);
    if (regular < 0) fill();
  }
  if (regular < 0) regular = Eliminate(ops, a.data(), n, width) ? 1 : 0;
  if (ops.overflow) return {};
  if (regular == 0) return {CellVerdict::kSingular, 0};
  // Row i of the eliminated system is a combination of the original equations:
  // sum_{j >= i} a_ij y_j = a_in (offset) and a_i,n+1 (rate); x = D*y by Cramer's rule.
  const Int det = at(n - 1, n - 1);
  std::vector<Int>& x0 = scratch.x0;
  std::vector<Int>& x1 = scratch.x1;
  x0.assign(n, Int(0));
  x1.assign(n, Int(0));
  for (int i = n - 1; i >= 0; --i) {
    Int s0 = ops.Mul(det, at(i, n)), s1 = ops.Mul(det, at(i, n + 1));
    for (int j = i + 1; j < n; ++j) {
      s0 = ops.Sub(s0, ops.Mul(at(i, j), x0[j]));
      s1 = ops.Sub(s1, ops.Mul(at(i, j), x1[j]));
    }
    x0[i] = s0;
    x1[i] = s1;
    DivideExactly(ops, at(i, i), &x0[i], 1, 1, 1);
    DivideExactly(ops, at(i, i), &x1[i], 1, 1, 1);
  }
  if (ops.overflow) return {};
  bool steady = true;  // x1 = 0: the rate of a point is its own D * Dir
  for (const Int& v : x1) steady = steady && v == 0;
  // D times the rise of point t over the face through point p: the rate decides, the offset breaks
  // a zero rate.
  auto rate = [&](int t, int p) {
    Int r = ops.Mul(det, Int(pts.Dir(t) - pts.Dir(p)));
    if (steady) return r;
    const std::int32_t* et = pts.Point(t);
    const std::int32_t* ep = pts.Point(p);
    for (int k = 0; k < n; ++k) {
      if (et[k] != ep[k]) r = ops.Add(r, ops.Mul(Int(et[k] - ep[k]), x1[k]));
    }
    return r;
  };
  auto offset = [&](int t, int p) {
    Int r = ops.Mul(det, ops.Sub(Int(pts.Base(t)), Int(pts.Base(p))));
    const std::int32_t* et = pts.Point(t);
    const std::int32_t* ep = pts.Point(p);
    for (int k = 0; k < n; ++k) {
      if (et[k] != ep[k]) r = ops.Add(r, ops.Mul(Int(et[k] - ep[k]), x0[k]));
    }
    return r;
  };
  RiseFilter<Int>& filter = scratch.filter;
  filter.Reset(n, det, x0, x1);
  const bool positive = det > 0;
  ExactCell out{CellVerdict::kCell, SaturatedMagnitude(det)};
  // The sign of an exact value; 2 for zero, as the filter says it.
  auto sign = [](const Int& v) { return v > 0 ? 1 : (v < 0 ? -1 : 2); };
  for (int r = 0; r < n; ++r) {
    const int p = rows.First(r), q = rows.Second(r), s = rows.Support(r);
    filter.SetReference(pts, p);
    for (int t = pts.Begin(s); t < pts.End(s); ++t) {
      if (t == p || t == q) continue;
      int rise = filter.RateSign(pts, t, steady);
      if (rise == 0) rise = sign(rate(t, p));
      if (rise == 2) rise = filter.OffsetSign(pts, t);
      if (rise == 0) rise = sign(offset(t, p));
      if (ops.overflow) return {};
      if (rise == 2) {
        out.verdict = CellVerdict::kTied;
      } else if ((rise > 0) != positive) {
        return {CellVerdict::kNotACell, 0};
      }
    }
  }
  if (ops.overflow) return {};
  return out;
}

// DecideExactly in checked 128-bit integers, again in multiprecision when they overflow.
template <class Points, class Rows>
ExactCell DecideExactlyAnySize(const Points& pts, const Rows& rows,
                               DecisionScratch<__int128>& scratch) {
  CheckedInt128 fast;
  const ExactCell quick = DecideExactly(fast, pts, rows, scratch);
  if (!fast.overflow) return quick;
  BigInt big;
  DecisionScratch<BigInt::Int> wide;
  return DecideExactly(big, pts, rows, wide);
}

}  // namespace zormix

#endif  // ZORMIX_MIXEDCELL_EXACT_DECISION_H_
