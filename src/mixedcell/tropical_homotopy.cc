// Tropical homotopy with regeneration.
//
// Stage k replaces the unit simplex D of support k by A_k. The support of stage k is A_k together
// with V = d D (d the largest total degree of A_k, so conv A_k lies in conv V), V lifted by d times
// D's lifting: the hypersurface of (V, d w) is that of (D, w), so the cells of the previous stage
// carry over pair for pair. Phase 1 lowers A_k from far above (lifting W + t, t from +inf to 0):
// the cells change by flips only, since conv(A_k u V) = conv V. Phase 2 raises V (lifting + s,
// s from 0 to +inf): cells without a point of V stay, cells that keep one run off to infinity and
// are dropped. What is left are the cells of (A_1..A_k, D, ..., D).
//
// A cell is followed on its own: its normal y(t) solves the pairs' equations, every other point's
// slack is affine in t, and the first slack to reach 0 in the direction of travel is the event.
// At the event support i has three points {p, q, a} on the cell's face; of the three cells that
// take two of them, those whose third point rises after the event are the cells there after it.
// When two cells die at the same event, the one with the smallest pair emits the successors.
// All of it in integers: the lifting scaled by a power of two, x = det * y by fraction-free
// elimination, event times compared by cross multiplication.
#include "mixedcell/tropical_homotopy.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/random.h"
#include "mixedcell/exact_cells.h"
#include "mixedcell/exact_int.h"
#include "mixedcell/homotopy_config.h"
#include "mixedcell/parallel_for.h"
#include "mixedcell/stage_check.h"

namespace zormix {
namespace {

// The unit simplices' liftings come from a generator of their own.
constexpr std::uint64_t kSimplexLiftingSeed = 0x7472686f6d6f7470ull;
constexpr int kStopPollEvents = 256;

// A cell: per support s, the pair (first < second) as offsets within the support.
using Cell = std::vector<int>;

// A rational time num / den with den > 0.
template <class Int>
struct Time {
  Int num, den;
};

enum class Status { kOk, kDegenerate, kOverflow, kStopped, kFailedCheck };

template <class Ops>
class Tracker {
 public:
  using Int = typename Ops::Int;
  Tracker(const Config& cfg, int direction, int stagedSupport, int auxCount,
          const std::function<bool()>& stop)
      : cfg_(cfg),
        n_(cfg.n),
        dir_(direction),
        staged_(stagedSupport),
        auxCount_(auxCount),
        stop_(stop) {}

  // Follows `start` (valid at t = 0 for direction +1, at t = +inf for -1) to the end of the phase
  // and appends the cells there: for direction -1 those at t = 0, for +1 those without a point of
  // the staged support's first auxCount points (those with one to `runOff` when it is given).
  Status Follow(const std::int32_t* start, FlatCells& out, FlatCells* runOff = nullptr);

 private:
  int Global(int s, int offset) const { return cfg_.start[s] + offset; }
  bool Solve(const Cell& cell);
  Int SlackRate(const Cell& cell, int s, int b);
  Int SlackAtZero(const Cell& cell, int s, int b);
  // A point whose slack falls in the direction of travel and a bracket of the time its slack
  // reaches 0.
  struct Candidate {
    int support, point;
    double low, high;
    bool contender;
  };
  void BracketEventTimes(const Cell& cell);
  // A cell on the way, its time, and its solution and adjugate when known (det 0: not solved yet).
  struct Item {
    Cell cell;
    Time<Int> t;
    Int det;
    std::vector<Int> x0, x1, adj;
  };
  Status Flip(const Cell& cell, int i, int a, const Time<Int>& t, std::vector<Item>& stack);
  void AdjugateColumn(int i);
  void Adjugate();
  bool UpdateAdjugateIn64Bits(const Int& detNew, const std::vector<Int>& u, std::vector<Int>& to);
  Status Successor(const Cell& cell, int i, int kept, int a, const Int& d, const Int& raw0,
                   const Int& raw1, const Time<Int>& t, std::vector<Item>& stack);
  // Sign of t1 - t2.
  int Compare(const Time<Int>& t1, const Time<Int>& t2) {
    const Int l = ops_.Mul(t1.num, t2.den), r = ops_.Mul(t2.num, t1.den);
    return l < r ? -1 : (l > r ? 1 : 0);
  }

  Ops ops_;
  const Config& cfg_;
  const int n_, dir_, staged_, auxCount_;
  const std::function<bool()>& stop_;
  int untilPoll_ = kStopPollEvents;
  Int det_;
  // The eliminated system of the last Solve: rows swapped as pivot_ says, the entries below the
  // diagonal kept as they were when their column was eliminated.
  std::vector<Int> a_, x0_, x1_, z_;
  std::vector<int> pivot_;
  // adj(M) of the cell at hand, row-major (rows: unknowns, columns: supports); det * M^-1.
  std::vector<Int> adj_, update_;
  bool steady_ = false;  // x1 = 0: the normal does not move with t
  std::vector<Candidate> candidates_;
  std::vector<double> x0Approx_, x1Approx_;
};

// Fraction-free elimination of [q_s - p_s | base_p - base_q | dir_p - dir_q]; x0 + t x1 = det y(t).
template <class Ops>
bool Tracker<Ops>::Solve(const Cell& cell) {
  const int n = n_, width = n + 2;
  a_.assign(static_cast<std::size_t>(n) * width, Int(0));
  pivot_.resize(n);
  auto at = [&](int i, int j) -> Int& { return a_[static_cast<std::size_t>(i) * width + j]; };
  for (int s = 0; s < n; ++s) {
    const int p = Global(s, cell[2 * s]), q = Global(s, cell[2 * s + 1]);
    const std::int32_t* ep = cfg_.Point(p);
    const std::int32_t* eq = cfg_.Point(q);
    for (int k = 0; k < n; ++k) at(s, k) = Int(eq[k] - ep[k]);
    at(s, n) = Int(cfg_.base[p]) - Int(cfg_.base[q]);
    at(s, n + 1) = Int(cfg_.dir[p] - cfg_.dir[q]);
  }
  Int prev = 1;
  for (int k = 0; k < n; ++k) {
    int pivot = k;
    while (pivot < n && at(pivot, k) == 0) ++pivot;
    if (pivot == n) return false;
    pivot_[k] = pivot;
    if (pivot != k) {
      for (int j = 0; j < width; ++j) std::swap(at(k, j), at(pivot, j));
    }
    for (int i = k + 1; i < n; ++i) {
      if (at(i, k) == 0) {
        // Row i needs only the scaling by the pivot: a_ij a_kk / prev.
        if (at(k, k) == prev) continue;
        for (int j = k + 1; j < width; ++j) at(i, j) = ops_.Div(ops_.Mul(at(i, j), at(k, k)), prev);
        continue;
      }
      for (int j = k + 1; j < width; ++j) {
        at(i, j) =
            ops_.Div(ops_.Sub(ops_.Mul(at(i, j), at(k, k)), ops_.Mul(at(i, k), at(k, j))), prev);
      }
    }
    prev = at(k, k);
  }
  det_ = at(n - 1, n - 1);
  x0_.assign(n, Int(0));
  x1_.assign(n, Int(0));
  for (int i = n - 1; i >= 0; --i) {
    Int s0 = ops_.Mul(det_, at(i, n)), s1 = ops_.Mul(det_, at(i, n + 1));
    for (int j = i + 1; j < n; ++j) {
      if (at(i, j) == 0) continue;
      s0 = ops_.Sub(s0, ops_.Mul(at(i, j), x0_[j]));
      s1 = ops_.Sub(s1, ops_.Mul(at(i, j), x1_[j]));
    }
    x0_[i] = ops_.Div(s0, at(i, i));
    x1_[i] = ops_.Div(s1, at(i, i));
  }
  return true;
}

// |det| times the rate of the slack of point b (offset in support s) over the cell's face in t.
template <class Ops>
typename Ops::Int Tracker<Ops>::SlackRate(const Cell& cell, int s, int b) {
  const int p = Global(s, cell[2 * s]), g = Global(s, b);
  const std::int32_t* ep = cfg_.Point(p);
  const std::int32_t* eb = cfg_.Point(g);
  Int s1 = ops_.Mul(det_, Int(cfg_.dir[g] - cfg_.dir[p]));
  if (steady_) return det_ < 0 ? Int(-s1) : s1;
  for (int k = 0; k < n_; ++k) {
    const std::int32_t d = eb[k] - ep[k];
    if (d != 0 && x1_[k] != 0) s1 = ops_.Add(s1, ops_.Mul(Int(d), x1_[k]));
  }
  return det_ < 0 ? Int(-s1) : s1;
}

// |det| times the slack at t = 0.
template <class Ops>
typename Ops::Int Tracker<Ops>::SlackAtZero(const Cell& cell, int s, int b) {
  const int p = Global(s, cell[2 * s]), g = Global(s, b);
  const std::int32_t* ep = cfg_.Point(p);
  const std::int32_t* eb = cfg_.Point(g);
  Int s0 = ops_.Mul(det_, Int(cfg_.base[g]) - Int(cfg_.base[p]));
  for (int k = 0; k < n_; ++k) {
    const std::int32_t d = eb[k] - ep[k];
    if (d != 0) s0 = ops_.Add(s0, ops_.Mul(Int(d), x0_[k]));
  }
  return det_ < 0 ? Int(-s0) : s0;
}

// Lists the points whose slack falls in the direction of travel with a bracket [low, high] of the
// time it reaches 0, and marks as contenders those whose bracket reaches the earliest bracket (in
// phase 1 among the times that may be positive). Everything here is a floating-point filter with
// a proven error bound; only a rate whose sign the filter cannot tell is computed exactly, and the
// contenders are decided exactly afterwards.
//
// The bound: a dot product of n terms e_k x_k, with x_k rounded to double, is within
// (n + 1) 2^-53 of the sum of the terms' magnitudes, at most |e|_1 max |x_k|; the lifting
// differences and the final sums add a few roundings more. (n + 8) 2^-52 covers it twice over. When
// the magnitudes stay below 2^53 the rate is computed without any rounding (integers throughout),
// so a zero rate is seen as such.
template <class Ops>
void Tracker<Ops>::BracketEventTimes(const Cell& cell) {
  candidates_.clear();
  const int n = n_;
  x0Approx_.resize(n);
  x1Approx_.resize(n);
  for (int k = 0; k < n; ++k) {
    x0Approx_[k] = static_cast<double>(x0_[k]);
    x1Approx_[k] = static_cast<double>(x1_[k]);
  }
  const double det = static_cast<double>(det_), absDet = std::fabs(det);
  const double sign = det_ < 0 ? -1.0 : 1.0;
  const double relative = (n + 8) * 0x1.0p-52;
  double largestX0 = 0.0, largestX1 = 0.0;
  for (int k = 0; k < n; ++k) {
    largestX0 = std::max(largestX0, std::fabs(x0Approx_[k]));
    largestX1 = std::max(largestX1, std::fabs(x1Approx_[k]));
  }
  // <point g, x> over its nonzero exponents; the sum of the terms' magnitudes is at most
  // |g|_1 max |x_k|.
  auto dot = [&](int g, const std::vector<double>& x) {
    double sum = 0.0;
    for (int e = cfg_.nz.start[g]; e < cfg_.nz.start[g + 1]; ++e) {
      sum += cfg_.nz.value[e] * x[cfg_.nz.index[e]];
    }
    return sum;
  };
  for (int s = 0; s < n; ++s) {
    // With a normal that does not move, a slack changes only through the lifting's own rate, and
    // only the staged support's points have one.
    if (steady_ && s != staged_) continue;
    const int count = cfg_.start[s + 1] - cfg_.start[s];
    const int p = Global(s, cell[2 * s]);
    const double pRate = steady_ ? 0.0 : dot(p, x1Approx_), pOffset = dot(p, x0Approx_);
    const double pLift = static_cast<double>(cfg_.base[p]);
    const double pNorm = cfg_.nz.norm1[p];
    for (int b = 0; b < count; ++b) {
      if (b == cell[2 * s] || b == cell[2 * s + 1]) continue;
      const int g = Global(s, b);
      const int dirDiff = cfg_.dir[g] - cfg_.dir[p];
      const double norms = cfg_.nz.norm1[g] + pNorm;
      double rate = sign * ((steady_ ? 0.0 : dot(g, x1Approx_) - pRate) + det * dirDiff);
      const double rateMagnitude = norms * largestX1 + absDet * std::abs(dirDiff);
      // Below 2^53 every product and partial sum is an integer that a double holds exactly.
      double rateError = rateMagnitude < 0x1.0p53 ? 0.0 : relative * rateMagnitude;
      if (rate == 0.0 && rateError == 0.0) continue;  // exactly constant
      if (!(std::fabs(rate) > rateError)) {
        const Int exact = SlackRate(cell, s, b);
        if (exact == 0) continue;
        rate = static_cast<double>(exact);
        rateError = std::fabs(rate) * 0x1.0p-52;
      }
      // Constant or rising in the direction of travel: never reaches 0 on the way.
      if ((dir_ > 0) == (rate > 0)) continue;
      const double lift = static_cast<double>(cfg_.base[g]);
      const double s0 = det * (lift - pLift) + dot(g, x0Approx_) - pOffset;
      const double s0Error =
          relative * (norms * largestX0 + absDet * (std::fabs(lift) + std::fabs(pLift))) +
          0x1.0p-1000;
      // t = num / den with num within s0Error and den within rateError (den - rateError > 0).
      const double num = rate > 0 ? -sign * s0 : sign * s0, den = std::fabs(rate);
      const double upper = num + s0Error, lower = num - s0Error;
      double high = upper / (upper >= 0.0 ? den - rateError : den + rateError);
      double low = lower / (lower >= 0.0 ? den + rateError : den - rateError);
      high += std::fabs(high) * 0x1.0p-50 + 0x1.0p-1000;
      low -= std::fabs(low) * 0x1.0p-50 + 0x1.0p-1000;
      candidates_.push_back({s, b, low, high, false});
    }
  }
  if (dir_ < 0) {
    // The latest time below the current one that may be positive.
    double latestLow = 0.0;
    for (const Candidate& c : candidates_) {
      if (c.high >= 0.0) latestLow = std::max(latestLow, c.low);
    }
    for (Candidate& c : candidates_) c.contender = c.high >= latestLow;
  } else {
    double earliestHigh = HUGE_VAL;
    for (const Candidate& c : candidates_) earliestHigh = std::min(earliestHigh, c.high);
    for (Candidate& c : candidates_) c.contender = c.low <= earliestHigh;
  }
}

template <class Ops>
Status Tracker<Ops>::Follow(const std::int32_t* first, FlatCells& out, FlatCells* runOff) {
  // Direction -1 starts at +inf (den 0).
  std::vector<Item> stack(1);
  stack[0].cell.assign(first, first + 2 * n_);
  stack[0].t = dir_ < 0 ? Time<Int>{Int(1), Int(0)} : Time<Int>{Int(0), Int(1)};
  stack[0].det = 0;
  while (!stack.empty()) {
    if (--untilPoll_ <= 0) {
      untilPoll_ = kStopPollEvents;
      if (stop_ && stop_()) return Status::kStopped;
    }
    Item item = std::move(stack.back());
    stack.pop_back();
    const Cell& cell = item.cell;
    const Time<Int>& now = item.t;
    // A successor carries its solution and adjugate; a start cell is solved afresh.
    const bool carried = item.det != 0;
    if (carried) {
      det_ = item.det;
      x0_ = std::move(item.x0);
      x1_ = std::move(item.x1);
      adj_ = std::move(item.adj);
    } else if (!Solve(cell) || det_ == 0) {
      return Status::kDegenerate;
    }
    steady_ = std::all_of(x1_.begin(), x1_.end(), [](const Int& v) { return v == 0; });
    // The first slack to reach 0 in the direction of travel: times bracketed in floating point,
    // then decided exactly among the points whose brackets reach the earliest one.
    BracketEventTimes(cell);
    bool found = false, tie = false;
    int eventSupport = -1, eventPoint = -1;
    Time<Int> best{Int(0), Int(1)};
    for (const Candidate& cand : candidates_) {
      if (!cand.contender) continue;
      const int s = cand.support, b = cand.point;
      const Int s1 = SlackRate(cell, s, b);
      const Int s0 = SlackAtZero(cell, s, b);
      Time<Int> t = s1 > 0 ? Time<Int>{-s0, s1} : Time<Int>{s0, -s1};
      if (dir_ < 0 && t.num <= 0) {
        if (t.num == 0) return Status::kDegenerate;
        continue;  // after the end of the phase
      }
      const int order = found ? Compare(t, best) : 0;
      if (!found || order * dir_ < 0) {
        best = t;
        found = true;
        tie = false;
        eventSupport = s;
        eventPoint = b;
      } else if (order == 0) {
        tie = true;
      }
    }
    if (ops_.overflow) return Status::kOverflow;
    if (found && now.den != 0 && Compare(best, now) * dir_ <= 0) return Status::kDegenerate;
    if (tie) return Status::kDegenerate;
    if (!found) {
      const bool auxiliary = cell[2 * staged_] < auxCount_ || cell[2 * staged_ + 1] < auxCount_;
      if (dir_ < 0 || !auxiliary) {
        out.insert(out.end(), cell.begin(), cell.end());
      } else if (runOff) {
        runOff->insert(runOff->end(), cell.begin(), cell.end());
      }
      continue;
    }
    if (!carried) Adjugate();
    const Status flipped = Flip(cell, eventSupport, eventPoint, best, stack);
    if (flipped != Status::kOk) return flipped;
  }
  return Status::kOk;
}

// z = adj(M) e_i by the last Solve's elimination replayed on e_i: det(M with row i replaced by w)
// is <w, z>, and z spans the directions that keep every other row's equation.
template <class Ops>
void Tracker<Ops>::AdjugateColumn(int i) {
  const int n = n_, width = n + 2;
  auto at = [&](int r, int j) -> const Int& { return a_[static_cast<std::size_t>(r) * width + j]; };
  std::vector<Int>& c = z_;
  c.assign(n, Int(0));
  c[i] = 1;
  for (int k = 0; k < n; ++k) std::swap(c[k], c[pivot_[k]]);
  Int prev = 1;
  for (int k = 0; k < n; ++k) {
    for (int r = k + 1; r < n; ++r) {
      if (at(r, k) == 0 && at(k, k) == prev) continue;
      c[r] = ops_.Div(ops_.Sub(ops_.Mul(c[r], at(k, k)), ops_.Mul(at(r, k), c[k])), prev);
    }
    prev = at(k, k);
  }
  for (int r = n - 1; r >= 0; --r) {
    Int v = ops_.Mul(det_, c[r]);
    for (int j = r + 1; j < n; ++j) {
      if (at(r, j) != 0) v = ops_.Sub(v, ops_.Mul(at(r, j), c[j]));
    }
    c[r] = ops_.Div(v, at(r, r));
  }
}

// adj(M) column by column from the last Solve's elimination.
template <class Ops>
void Tracker<Ops>::Adjugate() {
  const int n = n_;
  adj_.assign(static_cast<std::size_t>(n) * n, Int(0));
  for (int i = 0; i < n; ++i) {
    AdjugateColumn(i);
    for (int j = 0; j < n; ++j) adj_[static_cast<std::size_t>(j) * n + i] = z_[j];
  }
}

// The event: point a of support i reaches the face of `cell` at time t (det_, x0_, x1_, adj_ of
// the cell). With u = q - p, v = a - p and d_w = det(M with row i replaced by w) = <w, z>,
// z = adj(M) e_i: the three cells of the triangle have d_pq = det, d_pa = <v, z>,
// d_qa = d_pa - det, and the third point's slack in each is L(t) / d_pq, -L(t) / d_pa, L(t) / d_qa
// up to one common factor (L the determinant of the lifted rows). Since the cell itself dies,
// (p, a) lives after the event when d_pa has the sign of det, and (q, a) when d_qa has the other
// sign.
template <class Ops>
Status Tracker<Ops>::Flip(const Cell& cell, int i, int a, const Time<Int>& t,
                          std::vector<Item>& stack) {
  const int n = n_;
  const int p = cell[2 * i], q = cell[2 * i + 1];
  z_.resize(n);
  for (int j = 0; j < n; ++j) z_[j] = adj_[static_cast<std::size_t>(j) * n + i];
  const std::int32_t* ep = cfg_.Point(Global(i, p));
  const std::int32_t* ea = cfg_.Point(Global(i, a));
  Int dpa = 0;
  for (int k = 0; k < n; ++k) {
    if (ea[k] != ep[k]) dpa = ops_.Add(dpa, ops_.Mul(Int(ea[k] - ep[k]), z_[k]));
  }
  const Int dqa = ops_.Sub(dpa, det_);
  // det * slack of a: offset and rate.
  Int raw0 = SlackAtZero(cell, i, a), raw1 = SlackRate(cell, i, a);
  if (det_ < 0) {
    raw0 = -raw0;
    raw1 = -raw1;
  }
  if (ops_.overflow) return Status::kOverflow;
  const bool positive = det_ > 0;
  const bool paAfter = dpa != 0 && (dpa > 0) == positive;
  const bool qaAfter = dqa != 0 && (dqa > 0) != positive;
  auto magnitude = [](const Int& v) { return v < 0 ? Int(-v) : v; };
  Int volumeBefore = magnitude(det_), volumeAfter = 0;
  (paAfter ? volumeAfter : volumeBefore) += magnitude(dpa);
  (qaAfter ? volumeAfter : volumeBefore) += magnitude(dqa);
  if (volumeBefore != volumeAfter) return Status::kDegenerate;
  // The cell with the smallest pair of support i among those that die here emits the successors:
  // (p, a) and (q, a) are smaller than (p, q) when a < q and a < p respectively.
  if ((dpa != 0 && !paAfter && a < q) || (dqa != 0 && !qaAfter && std::min(q, a) < p)) {
    return Status::kOk;
  }
  if (paAfter) {
    const Status st = Successor(cell, i, p, a, dpa, raw0, raw1, t, stack);
    if (st != Status::kOk) return st;
  }
  if (qaAfter) return Successor(cell, i, q, a, dqa, raw0, raw1, t, stack);
  return Status::kOk;
}

// The successor that keeps `kept` and takes a in support i; d = det(M with row i = a - kept).
// Its row is stored as (larger - smaller) point, so its determinant is d or -d. Solution:
// y_e = y + lambda z with lambda fixed by the new row, x_e = (d x - det * slack_a(t) z) / det.
// Adjugate by the rank-one update of row i by D = new row - old row (O(n^2) instead of a new
// elimination): adj(M_e) = (det_e adj(M) - z (D^T adj(M))) / det, every division exact.
template <class Ops>
Status Tracker<Ops>::Successor(const Cell& cell, int i, int kept, int a, const Int& d,
                               const Int& raw0, const Int& raw1, const Time<Int>& t,
                               std::vector<Item>& stack) {
  const int n = n_;
  const int low = std::min(kept, a), high = std::max(kept, a);
  const Int detNew = a < kept ? Int(-d) : d;
  Item next{cell, t, detNew, std::vector<Int>(n), std::vector<Int>(n), {}};
  next.cell[2 * i] = low;
  next.cell[2 * i + 1] = high;
  for (int k = 0; k < n; ++k) {
    const Int v0 = ops_.Sub(ops_.Mul(d, x0_[k]), ops_.Mul(raw0, z_[k]));
    const Int v1 = ops_.Sub(ops_.Mul(d, x1_[k]), ops_.Mul(raw1, z_[k]));
    if (ops_.overflow) return Status::kOverflow;
    if (v0 % det_ != 0 || v1 % det_ != 0) return Status::kDegenerate;
    next.x0[k] = ops_.Div(v0, det_);
    next.x1[k] = ops_.Div(v1, det_);
    if (a < kept) {
      next.x0[k] = -next.x0[k];
      next.x1[k] = -next.x1[k];
    }
  }
  // D = (high - low) - (q - p) over the unknowns where it is not 0; u = D^T adj(M).
  const std::int32_t* eLow = cfg_.Point(Global(i, low));
  const std::int32_t* eHigh = cfg_.Point(Global(i, high));
  const std::int32_t* eP = cfg_.Point(Global(i, cell[2 * i]));
  const std::int32_t* eQ = cfg_.Point(Global(i, cell[2 * i + 1]));
  std::vector<Int>& u = update_;
  u.assign(n, Int(0));
  for (int j = 0; j < n; ++j) {
    const std::int32_t delta = (eHigh[j] - eLow[j]) - (eQ[j] - eP[j]);
    if (delta == 0) continue;
    const Int* row = adj_.data() + static_cast<std::size_t>(j) * n;
    for (int k = 0; k < n; ++k) u[k] = ops_.Add(u[k], ops_.Mul(Int(delta), row[k]));
  }
  next.adj.resize(static_cast<std::size_t>(n) * n);
  if (!UpdateAdjugateIn64Bits(detNew, u, next.adj)) {
    for (int j = 0; j < n; ++j) {
      const Int* row = adj_.data() + static_cast<std::size_t>(j) * n;
      Int* to = next.adj.data() + static_cast<std::size_t>(j) * n;
      for (int k = 0; k < n; ++k) {
        to[k] = ops_.Div(ops_.Sub(ops_.Mul(detNew, row[k]), ops_.Mul(z_[j], u[k])), det_);
      }
    }
  }
  if (ops_.overflow) return Status::kOverflow;
  stack.push_back(std::move(next));
  return Status::kOk;
}

// The update of Successor in 64-bit integers when every intermediate value fits: every factor below
// 2^31, so |det_e adj_jk| + |z_j u_k| < 2^63. The
// exact division by det is a multiplication by the inverse of det's odd part modulo 2^64 after
// a shift by its power of two. False (nothing written) when the bound does not hold.
template <class Ops>
bool Tracker<Ops>::UpdateAdjugateIn64Bits(const Int& detNew, const std::vector<Int>& u,
                                          std::vector<Int>& to) {
  const int n = n_;
  const std::size_t size = static_cast<std::size_t>(n) * n;
  // Magnitudes compared as integers; each factor below 2^31 keeps each product below 2^62.
  constexpr std::int64_t kLimit = std::int64_t{1} << 31;
  auto small = [&](const Int* v, std::size_t count) {
    for (std::size_t k = 0; k < count; ++k) {
      if (v[k] >= kLimit || v[k] <= -kLimit) return false;
    }
    return true;
  };
  if (!small(&detNew, 1) || !small(&det_, 1) || !small(z_.data(), n) || !small(u.data(), n) ||
      !small(adj_.data(), size)) {
    return false;
  }
  const auto d = static_cast<std::int64_t>(det_);
  const std::uint64_t magnitude = d < 0 ? 0 - static_cast<std::uint64_t>(d) : d;
  const int shift = __builtin_ctzll(magnitude);
  const std::uint64_t odd = magnitude >> shift;
  std::uint64_t inverse = odd;  // Newton's iteration doubles the correct low bits: 3, 6, ..., 96
  for (int r = 0; r < 5; ++r) inverse *= 2 - odd * inverse;
  const auto e = static_cast<std::int64_t>(detNew);
  for (int j = 0; j < n; ++j) {
    const Int* row = adj_.data() + static_cast<std::size_t>(j) * n;
    const auto zj = static_cast<std::int64_t>(z_[j]);
    Int* out = to.data() + static_cast<std::size_t>(j) * n;
    for (int k = 0; k < n; ++k) {
      const std::int64_t v =
          e * static_cast<std::int64_t>(row[k]) - zj * static_cast<std::int64_t>(u[k]);
      const auto q = static_cast<std::int64_t>(static_cast<std::uint64_t>(v >> shift) * inverse);
      out[k] = d < 0 ? -q : q;
    }
  }
  return true;
}

// Lifting of the unit simplex of support s: 0 at the origin, small at e_s, large elsewhere, so that
// the one mixed cell of the simplices takes (0, e_s) from every support.
std::vector<std::vector<std::int64_t>> SimplexLiftings(int n) {
  RuntimeUniform generator(kSimplexLiftingSeed);
  generator.Reseed();
  std::vector<std::vector<std::int64_t>> lift(n, std::vector<std::int64_t>(n + 1, 0));
  for (int s = 0; s < n; ++s) {
    for (int j = 0; j < n; ++j) {
      const double r = generator.Next();
      lift[s][j + 1] = j == s ? 1 + static_cast<std::int64_t>(r * 0x1.0p20)
                              : (std::int64_t{1} << 40) + static_cast<std::int64_t>(r * 0x1.0p40);
    }
  }
  return lift;
}

// Point j of the unit simplex scaled by d: 0 for j = 0, d e_{j-1} otherwise.
void AddSimplex(Config& cfg, int d, const std::vector<std::int64_t>& lift) {
  std::vector<std::int32_t> e(cfg.n, 0);
  for (int j = 0; j <= cfg.n; ++j) {
    std::fill(e.begin(), e.end(), 0);
    if (j > 0) e[j - 1] = d;
    cfg.Add(e.data(), d * lift[j]);
  }
}

struct StageInput {
  const ReducedSupports& sup;
  const std::vector<std::int64_t>& scaled;
  const std::vector<std::vector<std::int64_t>>& simplexLift;
  const PlantedFault& fault;
};

// The points of stage k: A_s for s < k, V then A_k for s = k, unit simplices after.
Config StageConfig(const StageInput& in, int k, int degree) {
  Config cfg;
  cfg.n = in.sup.n;
  for (int s = 0; s < cfg.n; ++s) {
    cfg.start.push_back(static_cast<int>(cfg.base.size()));
    if (s >= k) AddSimplex(cfg, s == k ? degree : 1, in.simplexLift[s]);
    if (s > k) continue;
    for (int p = in.sup.startCol[s]; p <= in.sup.endCol[s]; ++p) {
      cfg.Add(in.sup.Point(p), in.scaled[p]);
    }
  }
  cfg.start.push_back(static_cast<int>(cfg.base.size()));
  return cfg;
}

int TotalDegree(const ReducedSupports& sup, int s) {
  int degree = 0;
  for (int p = sup.startCol[s]; p <= sup.endCol[s]; ++p) {
    std::int64_t sum = 0;
    for (int k = 0; k < sup.n; ++k) {
      if (sup.Point(p)[k] < 0) return -1;
      sum += sup.Point(p)[k];
    }
    degree = static_cast<int>(std::max<std::int64_t>(degree, sum));
  }
  return degree;
}

// Start cells handed to one task of the thread pool.
constexpr std::size_t kCellsPerTask = 64;

// What a phase does besides following its cells: the second phase of a stage decides every cell
// at its end into a tally (the stage check). A planted fault (tests) drops or repeats the first
// cell that a start cell from number plantedCell on (within its task) ends in.
struct PhaseChecks {
  StageTally* tally = nullptr;
  std::int64_t plantedCell = -1;
  bool plantedTwice = false;
};

// Drops or repeats the cell at `at` of `cells`, as a planted fault says.
void Plant(FlatCells& cells, std::size_t at, std::size_t width, bool twice) {
  const auto begin = cells.begin() + static_cast<std::ptrdiff_t>(at);
  const auto end = begin + static_cast<std::ptrdiff_t>(width);
  if (twice) {
    const FlatCells cell(begin, end);
    cells.insert(cells.end(), cell.begin(), cell.end());
  } else {
    cells.erase(begin, end);
  }
}

// Follows every cell of `from` through one phase on up to `threads` threads; the cells at the end
// are joined in the order of their start cells.
template <class Ops>
Status FollowAll(const Config& cfg, int direction, int staged, int aux, int threads,
                 const std::function<bool()>& stop, const FlatCells& from, FlatCells& to,
                 const PhaseChecks& checks = {}) {
  const std::size_t width = static_cast<std::size_t>(2 * cfg.n), count = from.size() / width;
  const std::size_t tasks = (count + kCellsPerTask - 1) / kCellsPerTask;
  std::vector<FlatCells> found(tasks);
  std::vector<StageTally> tallies(checks.tally ? tasks : 0);
  std::vector<Status> status(tasks, Status::kOk);
  std::atomic<bool> failed{false};
  ParallelFor(tasks, threads, [&]() {
    auto tracker = std::make_shared<Tracker<Ops>>(cfg, direction, staged, aux, stop);
    auto runOff = std::make_shared<FlatCells>();
    return [&, tracker, runOff](std::size_t task) {
      if (failed) return;
      const std::size_t end = std::min(count, (task + 1) * kCellsPerTask);
      StageChecker checker(cfg);
      FlatCells& mine = found[task];
      bool planting = checks.plantedCell >= 0 &&
                      static_cast<std::size_t>(checks.plantedCell) / kCellsPerTask == task;
      for (std::size_t c = task * kCellsPerTask; c < end; ++c) {
        const std::size_t before = mine.size();
        status[task] =
            tracker->Follow(from.data() + c * width, mine, checks.tally ? runOff.get() : nullptr);
        if (status[task] != Status::kOk) {
          failed = true;
          return;
        }
        if (planting && static_cast<std::int64_t>(c) >= checks.plantedCell &&
            mine.size() > before) {
          Plant(mine, before, width, checks.plantedTwice);
          planting = false;
        }
        if (!checks.tally) continue;
        for (std::size_t at = before; at < mine.size(); at += width) {
          checker.Record(mine.data() + at, true, tallies[task]);
        }
        for (std::size_t at = 0; at < runOff->size(); at += width) {
          checker.Record(runOff->data() + at, false, tallies[task]);
        }
        runOff->clear();
      }
    };
  });
  for (std::size_t task = 0; task < tasks; ++task) {
    if (status[task] != Status::kOk) return status[task];
  }
  for (StageTally& part : tallies) checks.tally->Merge(std::move(part));
  for (FlatCells& part : found) {
    to.insert(to.end(), part.begin(), part.end());
    FlatCells().swap(part);
  }
  return Status::kOk;
}

template <class Ops>
Status Run(const StageInput& in, int threads, const std::function<bool()>& stop, FlatCells& cells,
           std::vector<std::string>& findings) {
  const int n = in.sup.n;
  // The one cell of the unit simplices, of volume 1.
  cells.assign(2 * n, 0);
  for (int s = 0; s < n; ++s) cells[2 * s + 1] = s + 1;
  __int128 volume = 1;
  for (int k = 0; k < n; ++k) {
    const int degree = TotalDegree(in.sup, k);
    if (degree < 1 || degree > (1 << 20)) return Status::kDegenerate;
    // d * volume stays below 2^127: volume is a sum of 64-bit volumes over at most 2^40 cells.
    const __int128 expected = volume * degree;
    Config cfg = StageConfig(in, k, degree);
    const int aux = n + 1;
    const int first = cfg.start[k] + aux, last = cfg.start[k + 1];
    // Phase 1: A_k from far above down to its lifting.
    for (int p = first; p < last; ++p) cfg.dir[p] = 1;
    FlatCells lowered;
    Status st = FollowAll<Ops>(cfg, -1, k, aux, threads, stop, cells, lowered);
    if (st != Status::kOk) return st;
    FlatCells().swap(cells);
    // Phase 2: V up to infinity.
    for (int p = cfg.start[k]; p < last; ++p) cfg.dir[p] = p < first ? 1 : 0;
    FlatCells kept;
    StageTally tally;
    PhaseChecks checks{&tally};
    if (in.fault.stage == k) {
      checks.plantedCell = in.fault.startCell;
      checks.plantedTwice = in.fault.twice;
    }
    st = FollowAll<Ops>(cfg, 1, k, aux, threads, stop, lowered, kept, checks);
    if (st != Status::kOk) return st;
    std::string finding = CheckStage(tally, expected, k);
    if (!finding.empty()) {
      findings.push_back(std::move(finding));
      return Status::kFailedCheck;
    }
    volume = tally.keptVolume;
    // Support k without V: offsets shift by the n + 1 points of V.
    for (std::size_t c = 0; c < kept.size(); c += static_cast<std::size_t>(2 * n)) {
      kept[c + 2 * k] -= aux;
      kept[c + 2 * k + 1] -= aux;
    }
    cells = std::move(kept);
  }
  return Status::kOk;
}

}  // namespace

HomotopyOutcome TropicalHomotopyCells(const ReducedSupports& sup, CellList& out, int threads,
                                      const std::function<bool()>& stop,
                                      std::vector<std::string>* findings,
                                      const PlantedFault& fault) {
  const std::vector<std::int64_t> scaled = ScaledLifting(sup.w);
  if (scaled.empty() || sup.n < 1) return HomotopyOutcome::kDegenerate;
  const std::vector<std::vector<std::int64_t>> simplexLift = SimplexLiftings(sup.n);
  const StageInput in{sup, scaled, simplexLift, fault};
  FlatCells cells;
  std::vector<std::string> found;
  Status st = Run<CheckedInt128>(in, threads, stop, cells, found);
  if (st == Status::kOverflow) st = Run<BigInt>(in, threads, stop, cells, found);
  if (findings) findings->insert(findings->end(), found.begin(), found.end());
  if (st == Status::kStopped) return HomotopyOutcome::kStopped;
  if (st == Status::kFailedCheck) return HomotopyOutcome::kFailedCheck;
  if (st != Status::kOk) return HomotopyOutcome::kDegenerate;
  // In place into the layout of a CellList (first points, then second points, per cell), so that
  // the list is not held twice.
  const int n = sup.n;
  std::vector<std::int32_t> pairs(static_cast<std::size_t>(2 * n));
  for (std::size_t c = 0; c < cells.size(); c += pairs.size()) {
    std::copy_n(cells.begin() + static_cast<std::ptrdiff_t>(c), pairs.size(), pairs.begin());
    for (int s = 0; s < n; ++s) {
      cells[c + s] = sup.startCol[s] + pairs[2 * s];
      cells[c + n + s] = sup.startCol[s] + pairs[2 * s + 1];
    }
  }
  if (out.size() == 0) {
    out = CellList(n, std::move(cells));
  } else {
    out.Append(CellList(n, std::move(cells)));
  }
  return HomotopyOutcome::kDone;
}

}  // namespace zormix
