// Union-find over the columns of a result, for grouping coinciding points and overlapping boxes.
#ifndef ZORMIX_BASE_DISJOINT_SETS_H_
#define ZORMIX_BASE_DISJOINT_SETS_H_

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <vector>

namespace zormix {

// The representative of every set is its smallest member, so a group's leader is its first column.
class DisjointSets {
 public:
  explicit DisjointSets(std::int64_t count) : parent_(count) {
    std::iota(parent_.begin(), parent_.end(), 0);
  }
  std::int64_t Find(std::int64_t k) {
    while (parent_[k] != k) k = parent_[k] = parent_[parent_[k]];
    return k;
  }
  // Returns true when a and b were in different sets.
  bool Join(std::int64_t a, std::int64_t b) {
    a = Find(a);
    b = Find(b);
    if (a == b) return false;
    parent_[std::max(a, b)] = std::min(a, b);
    return true;
  }

 private:
  std::vector<std::int64_t> parent_;
};

}  // namespace zormix

#endif  // ZORMIX_BASE_DISJOINT_SETS_H_
