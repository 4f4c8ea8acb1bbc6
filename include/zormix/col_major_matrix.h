// Dense matrix stored column by column, the layout every numerical kernel of the solver uses.
#ifndef ZORMIX_COL_MAJOR_MATRIX_H_
#define ZORMIX_COL_MAJOR_MATRIX_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zormix {

// Element (i, j), 0-based, lives at data[i + j * rows]. Columns are contiguous, so a column can be
// handed to a kernel as a pointer.
template <typename T>
class ColMajorMatrix {
 public:
  ColMajorMatrix() = default;
  ColMajorMatrix(std::int64_t rows, std::int64_t cols, const T& value = T())
      : rows_(rows), cols_(cols), data_(static_cast<std::size_t>(rows * cols), value) {}

  std::int64_t rows() const { return rows_; }
  std::int64_t cols() const { return cols_; }
  bool empty() const { return data_.empty(); }

  T& operator()(std::int64_t i, std::int64_t j) {
    return data_[static_cast<std::size_t>(i + j * rows_)];
  }
  const T& operator()(std::int64_t i, std::int64_t j) const {
    return data_[static_cast<std::size_t>(i + j * rows_)];
  }

  T* col(std::int64_t j) { return data_.data() + j * rows_; }
  const T* col(std::int64_t j) const { return data_.data() + j * rows_; }

  T* data() { return data_.data(); }
  const T* data() const { return data_.data(); }
  std::vector<T>& storage() { return data_; }
  const std::vector<T>& storage() const { return data_; }

  // Reshapes to rows x cols and sets every entry to value.
  void Assign(std::int64_t rows, std::int64_t cols, const T& value = T()) {
    rows_ = rows;
    cols_ = cols;
    data_.assign(static_cast<std::size_t>(rows * cols), value);
  }
  // Keeps the first columns, adds or drops columns at the end (rows unchanged).
  void ResizeCols(std::int64_t cols, const T& value = T()) {
    cols_ = cols;
    data_.resize(static_cast<std::size_t>(rows_ * cols), value);
  }
  void Fill(const T& value) { data_.assign(data_.size(), value); }

  friend bool operator==(const ColMajorMatrix& a, const ColMajorMatrix& b) {
    return a.rows_ == b.rows_ && a.cols_ == b.cols_ && a.data_ == b.data_;
  }

 private:
  std::int64_t rows_ = 0;
  std::int64_t cols_ = 0;
  std::vector<T> data_;
};

}  // namespace zormix

#endif  // ZORMIX_COL_MAJOR_MATRIX_H_
