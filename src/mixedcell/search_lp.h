// The program of the mixed-cell search and its kernels: pivoting to an optimum with pair
// recording, completing a basis, and pruning candidates before choosing the next support.
#ifndef ZORMIX_MIXEDCELL_SEARCH_LP_H_
#define ZORMIX_MIXEDCELL_SEARCH_LP_H_

#include <cstdint>
#include <vector>

#include "mixedcell/lp_state.h"
#include "mixedcell/supports.h"

namespace zormix {

// Pair table of every support (c x c block each): 0 = not a pair, -1 = candidate pair not settled,
// k >= 1 = pair found, its program state is slot k of the level's store.
class PairTable {
 public:
  void Init(const ReducedSupports& sup);
  std::int32_t& operator()(int p, int q) { return data_[Index(p, q)]; }
  std::int32_t operator()(int p, int q) const { return data_[Index(p, q)]; }
  // Row of point p, indexed by column numbers q of p's support: Row(p)[q] is entry (p, q).
  std::int32_t* Row(int p) {
    const int s = supportOf_[p];
    return data_.data() + offset_[s] + static_cast<std::ptrdiff_t>(p - start_[s]) * count_[s] -
           start_[s];
  }

 private:
  std::size_t Index(int p, int q) const {
    const int s = supportOf_[p];
    return offset_[s] + static_cast<std::size_t>(p - start_[s]) * count_[s] + (q - start_[s]);
  }
  std::vector<int> supportOf_, start_, count_;
  std::vector<std::size_t> offset_;
  std::vector<std::int32_t> data_;
};

// Program states saved per level; grows with the number of pairs found, no fixed capacity.
class StateStore {
 public:
  void Init(int levels, int d, int m);
  void Clear(int level) { levels_[level].count = 0; }
  int Save(int level, const LpState& st);  // returns the 1-based slot number
  void Load(int level, int slot, LpState& st) const;

 private:
  struct Level {
    int count = 0;
    std::vector<double> y, inverse;
    std::vector<int> basis;
    std::vector<std::int8_t> marker;
  };
  int d_ = 0, m_ = 0;
  std::vector<Level> levels_;
};

// The search's program: y = (alpha, beta) in n+1 dimensions. Points of placed supports carry
// columns relative to the first point k of their chosen pair, (a_p - a_k, 0) with right-hand side
// w_k - w_p; points of the support being extended carry (a_p, -1) and -w_p.
struct SearchLp {
  const ReducedSupports* sup = nullptr;
  int n = 0;
  int d = 0;
  LpState st;
  std::vector<double> rhs;     // per column
  std::vector<int> supportOf;  // per column
  std::vector<int> order;      // support at each level of the current branch
  int level = 0;               // level of the support being extended
  int chosenCount = 0;         // candidates kept in the support PruneAndChooseSupport chose
  std::vector<int> positions;  // basis positions the pivoting runs may use, in order
  std::vector<int> tied;       // tied group, position order
  std::vector<int> freeGroup;  // positions holding no point
  PairTable pairs;
  StateStore store;
  // Scratch of PruneAndChooseSupport, kept to avoid allocation per call.
  std::vector<int> scratchPoints;
  std::vector<double> scratchValues;
  std::vector<int> scratchCounts;
  std::vector<int> scratchLowest;
  std::vector<double> scratchLowestValue;
  std::vector<int> scratchRank;
  std::vector<const double*> scratchColumns;

  // Nonzero entries, rows increasing, of every exponent vector (n slots per point), of every plain
  // column (d slots per point) and, for supports small enough, of every relative column (a_p - a_k,
  // 0) of the support (d slots per pair p, k); the exponents are sparse on most systems. The
  // current column of point p is a view (colRow, colValue, colNz) into one of these tables, or
  // into p's slots of liftedRow/liftedValue for a relative column that has no table.
  std::vector<int> pointNz, pointRow;
  std::vector<double> pointValue;
  std::vector<int> plainNz, plainRow;
  std::vector<double> plainValue;
  std::vector<std::size_t> relativeOffset;  // per support: first pair slot, or kNoTable
  std::vector<int> relativeNz, relativeRow;
  std::vector<double> relativeValue;
  std::vector<int> liftedRow;
  std::vector<double> liftedValue;
  std::vector<const int*> colRow;
  std::vector<const double*> colValue;
  std::vector<int> colNz;
  static constexpr std::size_t kNoTable = static_cast<std::size_t>(-1);
  // Budget of relative-table slots (pairs times d) per program.
  static constexpr std::size_t kRelativeTableSlots = std::size_t{1} << 21;

  void Init(const ReducedSupports& supports);
  // Lifted column A_p.
  SparseVector A(int p) const { return {colRow[p], colValue[p], colNz[p]}; }
  // Writes the nonzero entries of a_p - a_k (last entry 0) into row/value; returns their number.
  int RelativeEntries(int p, int k, int* row, double* value) const;
  double DotA(int p, const double* v) const { return A(p).Dot(v); }
  // start + <a_p, first n entries of v>, summed in row order from start.
  double DotPoint(int p, const double* v, double start) const {
    const std::size_t at = static_cast<std::size_t>(p) * n;
    const int* row = pointRow.data() + at;
    const double* value = pointValue.data() + at;
    double sum = start;
    for (int k = 0, nz = pointNz[p]; k < nz; ++k) sum += value[k] * v[row[k]];
    return sum;
  }
  void SetPlainColumn(int p);            // (a_p, -1), -w_p
  void SetRelativeColumn(int p, int k);  // (a_p - a_k, 0), w_k - w_p
  // The same for every point of support s. A column depends on nothing but (p, k), so a support
  // whose columns are already of the asked kind is left as it is.
  void SetSupportPlain(int s);
  void SetSupportRelative(int s, int k);
  // Per support: kPlain, the point the columns are relative to, or kUnknown.
  static constexpr int kPlain = -2;
  static constexpr int kUnknown = -1;
  std::vector<int> columnsOf;
  int CurrentSupport() const { return order[level]; }
};

// Pivots on the listed positions until no reduced cost <objective, column j> is below -1e-6. The
// ratio test runs over the candidates of levels 0..level in level order. Whenever a point of the
// support being extended enters and meets listed points of that support in pairs still at -1,
// those pairs get the next slot number and the state after the pivot is saved in that slot.
// A run stops without pivoting when no point blocks the direction.
void PivotToOptimum(SearchLp& lp, const SparseVector& objective);
// The same with a dense objective of d entries.
void PivotToOptimum(SearchLp& lp, const double* objective);

// Fills the free positions with candidates of the support being extended; returns how many points
// entered. Filled positions are appended to the position list.
int FillBasis(SearchLp& lp);

// For the unplaced supports (level positions lp.level..n-1): sorts candidates by lifted value
// h_k = <a_k, alpha> + w_k, removes dominated candidates from flags, chooses the support with the
// fewest candidates (earliest on ties), swaps it into position lp.level, sets y's last entry to its
// lowest value, leaves its candidate count in lp.chosenCount and returns its lowest point.
int PruneAndChooseSupport(SearchLp& lp, std::vector<std::int8_t>& flags);

}  // namespace zormix

#endif  // ZORMIX_MIXEDCELL_SEARCH_LP_H_
