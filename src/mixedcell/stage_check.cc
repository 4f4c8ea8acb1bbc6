// The stage certificate of the tropical homotopy: every cell decided from scratch (its own
// elimination, not the homotopy's carried normals), repeats found by hashes, volumes summed.
#include "mixedcell/stage_check.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>

#include "base/hash.h"
#include "mixedcell/exact_decision.h"
#include "mixedcell/exact_int.h"

namespace zormix {
namespace {

// The points of a stage lifted by base + t * dir, decided at t -> +inf.
struct StagePoints {
  const Config& cfg;
  int n() const { return cfg.n; }
  const std::int32_t* Point(int p) const { return cfg.Point(p); }
  std::int64_t Base(int p) const { return cfg.base[p]; }
  std::int64_t Dir(int p) const { return cfg.dir[p]; }
  int Begin(int s) const { return cfg.start[s]; }
  int End(int s) const { return cfg.start[s + 1]; }
  const SparseExponents& Sparse() const { return cfg.nz; }
};

// Row s of a flat cell takes support s.
struct StageRows {
  const Config& cfg;
  const std::int32_t* cell;
  int First(int r) const { return cfg.start[r] + cell[2 * r]; }
  int Second(int r) const { return cfg.start[r] + cell[2 * r + 1]; }
  int Support(int r) const { return r; }
};

std::string Text(__int128 v) {
  if (v == 0) return "0";
  std::string digits;
  const bool negative = v < 0;
  for (; v != 0; v /= 10)
    digits.push_back(static_cast<char>('0' + (negative ? -(v % 10) : v % 10)));
  if (negative) digits.push_back('-');
  std::reverse(digits.begin(), digits.end());
  return digits;
}

}  // namespace

void StageTally::Merge(StageTally&& other) {
  keptVolume += other.keptVolume;
  runOffVolume += other.runOffVolume;
  failed += other.failed;
  hashes.insert(hashes.end(), other.hashes.begin(), other.hashes.end());
  std::vector<std::uint64_t>().swap(other.hashes);
}

void StageChecker::Record(const std::int32_t* cell, bool kept, StageTally& tally) {
  const StagePoints points{cfg_};
  const StageRows rows{cfg_, cell};
  const ExactCell decided = DecideExactlyAnySize(points, rows, scratch_);
  tally.hashes.push_back(Fnv1a(cell, static_cast<std::size_t>(2 * cfg_.n) * sizeof(std::int32_t)));
  if (decided.verdict != CellVerdict::kCell ||
      decided.volume == std::numeric_limits<std::int64_t>::max()) {
    ++tally.failed;
    return;
  }
  (kept ? tally.keptVolume : tally.runOffVolume) += decided.volume;
}

std::string CheckStage(StageTally& tally, __int128 expected, int stage) {
  const std::string where =
      "mixed cells: stage " + std::to_string(stage + 1) + " of the tropical homotopy: ";
  if (tally.failed > 0) {
    return where + std::to_string(tally.failed) +
           " of its cells failed the exact lower-facet test (a point below one or on one)";
  }
  std::sort(tally.hashes.begin(), tally.hashes.end());
  if (std::adjacent_find(tally.hashes.begin(), tally.hashes.end()) != tally.hashes.end()) {
    return where + "a cell was found twice";
  }
  const __int128 total = tally.keptVolume + tally.runOffVolume;
  if (total != expected) {
    return where + "its cells' volumes sum to " + Text(total) +
           " but the stage's mixed volume is " + Text(expected) + "; cells are missing";
  }
  return {};
}

}  // namespace zormix
