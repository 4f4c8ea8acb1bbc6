// Per-path storage that grows with the paths tracked. A route of millions of paths used to take
// and zero memory for every path before its first one (2.3 s and 200 MB for x^2000000 - 1 before
// any path started, during which nothing could stop it); here slots come in chunks, allocated the
// first time one of their units is written, so setting up a route costs nothing and its memory
// follows its progress.
#ifndef ZORMIX_TRACKER_ROUTES_PATH_SLOTS_H_
#define ZORMIX_TRACKER_ROUTES_PATH_SLOTS_H_

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "zormix/complex.h"

namespace zormix {

// Units per chunk: 64 KB of end points for one variable, a small share of a route of a million
// paths, and few chunks (and locks) for a route of 10^8.
inline constexpr std::int64_t kUnitsPerChunk = 4096;

// `rows` values of T per unit (one end point, one outcome), for units 0..cols-1, like a
// column-major matrix. Writing through the non-const accessors allocates the unit's chunk
// (value-initialised) when it has none; workers on other threads may do so at the same time, each
// for its own units. The const accessors allocate nothing: a unit of a chunk never written reads as
// T().
template <typename T>
class PathSlots {
 public:
  PathSlots(std::int64_t rows, std::int64_t cols)
      : rows_(rows),
        cols_(cols),
        chunkCount_((cols + kUnitsPerChunk - 1) / kUnitsPerChunk),
        unwritten_(static_cast<std::size_t>(rows)),
        chunks_(new std::atomic<T*>[static_cast<std::size_t>(chunkCount_)]()) {}
  PathSlots(const PathSlots& other) : PathSlots(other.rows_, other.cols_) { CopyChunks(other); }
  PathSlots& operator=(const PathSlots& other) {
    if (this == &other) return *this;
    ReleaseChunksBefore(cols_);
    rows_ = other.rows_;
    cols_ = other.cols_;
    chunkCount_ = other.chunkCount_;
    unwritten_.assign(static_cast<std::size_t>(rows_), T());
    chunks_.reset(new std::atomic<T*>[static_cast<std::size_t>(chunkCount_)]());
    CopyChunks(other);
    return *this;
  }
  ~PathSlots() { ReleaseChunksBefore(cols_); }

  std::int64_t rows() const { return rows_; }
  std::int64_t cols() const { return cols_; }
  std::int64_t size() const { return cols_; }
  bool empty() const { return cols_ == 0; }

  T* col(std::int64_t unit) { return Chunk(unit / kUnitsPerChunk) + Offset(unit); }
  const T* col(std::int64_t unit) const {
    const T* chunk =
        chunks_[static_cast<std::size_t>(unit / kUnitsPerChunk)].load(std::memory_order_acquire);
    return chunk != nullptr ? chunk + Offset(unit) : unwritten_.data();
  }
  T& operator()(std::int64_t i, std::int64_t unit) { return col(unit)[i]; }
  const T& operator()(std::int64_t i, std::int64_t unit) const { return col(unit)[i]; }
  T& operator[](std::int64_t unit) { return *col(unit); }
  const T& operator[](std::int64_t unit) const { return *col(unit); }

  // Frees the chunks that hold only units below `unit`: they read as T() again.
  void ReleaseChunksBefore(std::int64_t unit) {
    for (std::int64_t c = 0; c < chunkCount_ && c * kUnitsPerChunk + ChunkUnits(c) <= unit; ++c)
      delete[] chunks_[static_cast<std::size_t>(c)].exchange(nullptr);
  }

  // Chunks holding memory now (each kUnitsPerChunk units, the last one fewer).
  std::int64_t allocatedChunks() const {
    std::int64_t count = 0;
    for (std::int64_t c = 0; c < chunkCount_; ++c)
      count += chunks_[static_cast<std::size_t>(c)].load(std::memory_order_acquire) != nullptr;
    return count;
  }

 private:
  std::int64_t Offset(std::int64_t unit) const { return (unit % kUnitsPerChunk) * rows_; }
  std::int64_t ChunkUnits(std::int64_t c) const {
    return std::min(kUnitsPerChunk, cols_ - c * kUnitsPerChunk);
  }
  std::size_t ChunkLength(std::int64_t c) const {
    return static_cast<std::size_t>(ChunkUnits(c) * rows_);
  }
  T* Chunk(std::int64_t c) {
    std::atomic<T*>& slot = chunks_[static_cast<std::size_t>(c)];
    if (T* chunk = slot.load(std::memory_order_acquire)) return chunk;
    std::lock_guard<std::mutex> lock(allocation_);
    if (T* chunk = slot.load(std::memory_order_acquire)) return chunk;
    T* chunk = new T[ChunkLength(c)]();
    slot.store(chunk, std::memory_order_release);
    return chunk;
  }
  void CopyChunks(const PathSlots& other) {
    for (std::int64_t c = 0; c < chunkCount_; ++c) {
      const T* from = other.chunks_[static_cast<std::size_t>(c)].load(std::memory_order_acquire);
      if (from != nullptr) std::copy(from, from + ChunkLength(c), Chunk(c));
    }
  }

  std::int64_t rows_;
  std::int64_t cols_;
  std::int64_t chunkCount_;
  std::vector<T> unwritten_;  // what a unit of an unallocated chunk reads as
  std::unique_ptr<std::atomic<T*>[]> chunks_;
  std::mutex allocation_;
};

using PointSlots = PathSlots<Complex>;

// Points that few paths have (the root Newton's method polished from a path given up near the
// target), by unit. Safe to read and write from several threads, each for its own units.
class SparsePoints {
 public:
  // Empty when the unit has none.
  const std::vector<Complex>& operator[](std::int64_t unit) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = points_.find(unit);
    return found == points_.end() ? none_ : found->second;
  }
  // The unit's point, inserted empty when it has none.
  std::vector<Complex>& operator[](std::int64_t unit) {
    std::lock_guard<std::mutex> lock(mutex_);
    return points_[unit];
  }
  // In unit order; read only once no thread writes.
  const std::map<std::int64_t, std::vector<Complex>>& byUnit() const { return points_; }

 private:
  mutable std::mutex mutex_;
  std::map<std::int64_t, std::vector<Complex>> points_;
  const std::vector<Complex> none_{};
};

}  // namespace zormix

#endif  // ZORMIX_TRACKER_ROUTES_PATH_SLOTS_H_
