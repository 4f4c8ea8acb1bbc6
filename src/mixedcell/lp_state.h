// State of the small linear programs behind the mixed-cell computation, and the two operations
// every kernel shares: inner products with lifted columns and the update of the explicit inverse.
#ifndef ZORMIX_MIXEDCELL_LP_STATE_H_
#define ZORMIX_MIXEDCELL_LP_STATE_H_

#include <cstdint>
#include <vector>

namespace zormix {

// Thresholds of the pivoting rules: a product below -kLpTolerance is negative, above +kLpTolerance
// positive; kTightTolerance decides tightness of a pair and equality in the dominance test; every
// ratio test starts from kRatioStart.
inline constexpr double kLpTolerance = 1e-6;
inline constexpr double kTightTolerance = 1e-10;
inline constexpr double kRatioStart = 1e300;

// Point markers.
inline constexpr std::int8_t kInBasis = 0;
inline constexpr std::int8_t kCandidate = 1;
inline constexpr std::int8_t kExcluded = -1;

// Basis position holding no point.
inline constexpr int kFreePosition = -1;

// A program over points with lifted columns A_p (d entries) and right-hand sides b_p, constraints
// <A_p, y> >= b_p. The basis inverse is kept explicitly: column r belongs to basis position r and
// <A_basis[k], column r> = [k == r] for every filled position k.
struct LpState {
  int d = 0;
  std::vector<double> y;            // d entries
  std::vector<double> inverse;      // d x d, column-major
  std::vector<int> basis;           // d point numbers, kFreePosition when empty
  std::vector<std::int8_t> marker;  // one per point
  int filled = 0;                   // constraint counter: filled basis positions

  void Resize(int dim, int pointCount) {
    d = dim;
    y.assign(dim, 0.0);
    inverse.assign(static_cast<std::size_t>(dim) * dim, 0.0);
    basis.assign(dim, kFreePosition);
    marker.assign(pointCount, kCandidate);
    filled = 0;
  }
  double* Column(int r) { return inverse.data() + static_cast<std::size_t>(r) * d; }
  const double* Column(int r) const { return inverse.data() + static_cast<std::size_t>(r) * d; }
};

inline double Dot(const double* a, const double* b, int d) {
  double s = 0.0;
  for (int k = 0; k < d; ++k) s += a[k] * b[k];
  return s;
}

// The nonzero entries of a vector, rows increasing.
struct SparseVector {
  const int* row = nullptr;
  const double* value = nullptr;
  int nz = 0;

  // <this, v>: the nonzero products summed in row order, which rounds exactly as the full sum
  // over all rows does (the zero products change at most the sign of a zero sum).
  double Dot(const double* v) const {
    double sum = 0.0;
    for (int k = 0; k < nz; ++k) sum += value[k] * v[row[k]];
    return sum;
  }
};

inline double Dot(const SparseVector& a, const double* v, int /*d*/) { return a.Dot(v); }

// The entering column A_q takes position r: column r /= <A_q, column r>, then every other column
// k loses <A_q, column k> times the new column r. O(d^2). `entering` is a dense column (const
// double*) or any type with a Dot(entering, v, d) overload.
template <class Entering>
void UpdateInverse(LpState& st, const Entering& entering, int r) {
  const int d = st.d;
  double* colR = st.Column(r);
  const double s = Dot(entering, colR, d);
  for (int k = 0; k < d; ++k) colR[k] /= s;
  for (int c = 0; c < d; ++c) {
    if (c == r) continue;
    double* col = st.Column(c);
    const double f = Dot(entering, col, d);
    if (f == 0.0) continue;
    for (int k = 0; k < d; ++k) col[k] -= f * colR[k];
  }
}

// Moves y along column r by step (y += step * column r).
inline void MoveAlong(LpState& st, int r, double step) {
  const double* col = st.Column(r);
  for (int k = 0; k < st.d; ++k) st.y[k] += step * col[k];
}

// Upper bound on the pivots of one pivoting run. A run that reaches it is cycling on degenerate
// vertices; it stops there instead of looping forever.
inline long PivotLimit(int d, int pointCount) { return 1000L + 50L * d * (pointCount + d); }

// Completing a free basis position r: the candidates split by t_p = <A_p, column r> into a negative
// (t_p < -1e-6) and a positive (t_p > 1e-6) side. The negative side is taken when it is non-empty
// and not larger than the positive side. Ratio test on that side, first minimum wins:
//   negative: theta_p = (b_p - <A_p, y>) / t_p, y += theta * column r,
//   positive: theta_p = (<A_p, y> - b_p) / t_p, y -= theta * column r.
struct FillChoice {
  int point = -1;
  double step = 0.0;  // signed: y += step * column r
};

// forEach(fn) calls fn(p) for every candidate in scan order; lifted(p) and rhs(p) give A_p, b_p.
template <class ForEach, class Lifted, class Rhs>
FillChoice ChooseFill(const LpState& st, int r, ForEach forEach, Lifted lifted, Rhs rhs) {
  const double* col = st.Column(r);
  int negative = 0, positive = 0;
  forEach([&](int p) {
    const double t = Dot(lifted(p), col, st.d);
    if (t < -kLpTolerance)
      ++negative;
    else if (t > kLpTolerance)
      ++positive;
  });
  FillChoice choice;
  if (negative == 0 && positive == 0) return choice;
  const bool useNegative = negative > 0 && (positive == 0 || negative <= positive);
  double best = kRatioStart;
  forEach([&](int p) {
    const auto a = lifted(p);
    const double t = Dot(a, col, st.d);
    if (useNegative ? !(t < -kLpTolerance) : !(t > kLpTolerance)) return;
    const double slack = Dot(a, st.y.data(), st.d) - rhs(p);
    const double theta = useNegative ? -slack / t : slack / t;
    if (theta < best) {
      best = theta;
      choice.point = p;
    }
  });
  if (choice.point >= 0) choice.step = useNegative ? best : -best;
  return choice;
}

// Puts `entering` into position r after moving y by step along column r; the leaving point (if
// any) becomes a candidate again. Returns the point that left or kFreePosition.
template <class Entering>
int PivotIn(LpState& st, int r, int entering, double step, const Entering& enteringColumn) {
  MoveAlong(st, r, step);
  const int old = st.basis[r];
  if (old != kFreePosition) {
    st.marker[old] = kCandidate;
  } else {
    ++st.filled;
  }
  st.basis[r] = entering;
  st.marker[entering] = kInBasis;
  UpdateInverse(st, enteringColumn, r);
  return old;
}

}  // namespace zormix

#endif  // ZORMIX_MIXEDCELL_LP_STATE_H_
