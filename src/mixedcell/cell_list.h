// The list of mixed cells: one pair of term numbers per equation and cell.
#ifndef ZORMIX_MIXEDCELL_CELL_LIST_H_
#define ZORMIX_MIXEDCELL_CELL_LIST_H_

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace zormix {

// Stored as an n-row column-major matrix with two columns per cell: cell c occupies columns 2c
// (first points) and 2c+1 (second points); row i holds the pair of equation i. Term numbers are
// 0-based. The list grows as cells are found; no fixed capacity.
class CellList {
 public:
  CellList() = default;
  explicit CellList(int n) : n_(n) {}
  // The cells of `storage`, laid out as storage() lays them out (its size a multiple of 2n).
  CellList(int n, std::vector<std::int32_t> storage) : n_(n), data_(std::move(storage)) {}

  int n() const { return n_; }
  std::int64_t size() const {
    return n_ == 0 ? 0 : static_cast<std::int64_t>(data_.size()) / (2 * n_);
  }

  std::int32_t& First(std::int64_t c, int i) {
    return data_[static_cast<std::size_t>(2 * c * n_ + i)];
  }
  std::int32_t First(std::int64_t c, int i) const {
    return data_[static_cast<std::size_t>(2 * c * n_ + i)];
  }
  std::int32_t& Second(std::int64_t c, int i) {
    return data_[static_cast<std::size_t>((2 * c + 1) * n_ + i)];
  }
  std::int32_t Second(std::int64_t c, int i) const {
    return data_[static_cast<std::size_t>((2 * c + 1) * n_ + i)];
  }

  // Appends a cell with all entries 0 and returns its index.
  std::int64_t AddCell() {
    data_.resize(data_.size() + static_cast<std::size_t>(2 * n_), 0);
    return size() - 1;
  }
  // Appends the cells of `other` (same n).
  void Append(const CellList& other) {
    data_.insert(data_.end(), other.data_.begin(), other.data_.end());
  }
  // Keeps the cells c with keep[c] != 0, in their order.
  void Keep(const std::vector<std::int8_t>& keep) {
    const std::size_t width = static_cast<std::size_t>(2 * n_);
    std::size_t to = 0;
    for (std::size_t c = 0; c < keep.size(); ++c) {
      if (!keep[c]) continue;
      if (to != c) std::copy_n(data_.begin() + c * width, width, data_.begin() + to * width);
      ++to;
    }
    data_.resize(to * width);
  }
  const std::vector<std::int32_t>& storage() const { return data_; }

 private:
  int n_ = 0;
  std::vector<std::int32_t> data_;
};

}  // namespace zormix

#endif  // ZORMIX_MIXEDCELL_CELL_LIST_H_
