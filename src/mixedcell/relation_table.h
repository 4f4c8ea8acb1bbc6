// Which points can be lowest together under one inner normal, and the lower edges of the first
// support with a solved program for each.
#ifndef ZORMIX_MIXEDCELL_RELATION_TABLE_H_
#define ZORMIX_MIXEDCELL_RELATION_TABLE_H_

#include <cstdint>
#include <vector>

#include "mixedcell/supports.h"

namespace zormix {

// m x m entries: -1 undecided, 0 not related, 1 related. Symmetric after BuildRelationTable.
class RelationTable {
 public:
  void Reset(int m) {
    m_ = m;
    data_.assign(static_cast<std::size_t>(m) * m, -1);
  }
  std::int8_t operator()(int p, int q) const { return data_[Index(p, q)]; }
  void Set(int p, int q, std::int8_t v) {
    data_[Index(p, q)] = v;
    data_[Index(q, p)] = v;
  }
  int m() const { return m_; }
  // Row p: Row(p)[q] is entry (p, q), which equals entry (q, p) (every write sets both).
  const std::int8_t* Row(int p) const { return data_.data() + Index(p, 0); }

 private:
  std::size_t Index(int p, int q) const { return static_cast<std::size_t>(p) * m_ + q; }
  int m_ = 0;
  std::vector<std::int8_t> data_;
};

// One solved program per lower edge of the first support (d = n+1): the state after the pivot
// that found the edge, both of its points tight and in the basis.
struct EdgeRecords {
  int c1 = 0;
  int d = 0;
  int count = 0;
  std::vector<int> index;            // c1 x c1, record of pair (i, j), -1 = none
  std::vector<std::int8_t> markers;  // c1 per record
  std::vector<double> y;             // d per record
  std::vector<double> inverse;       // d * d per record
  std::vector<int> basis;            // d per record, column numbers

  int& Index(int i, int j) { return index[static_cast<std::size_t>(i) * c1 + j]; }
  int Index(int i, int j) const { return index[static_cast<std::size_t>(i) * c1 + j]; }
};

// Decides every pair of points of the reduced supports and fills the first-support edge records.
// lowerEdgeCount receives the constraint counter of the first support's program. The programs of
// single supports and of pairs of supports run on up to `threads` threads; the result is the same
// for every thread count.
void BuildRelationTable(const ReducedSupports& sup, RelationTable& relation, int& lowerEdgeCount,
                        EdgeRecords& edges, int threads = 1);

}  // namespace zormix

#endif  // ZORMIX_MIXEDCELL_RELATION_TABLE_H_
