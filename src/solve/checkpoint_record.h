// One record of a checkpoint: a unit of the first tracking, as it left its slot, and the checks a
// record read back must pass before it fills a slot.
//
// Record layout (little-endian), UnitRecordSize(n) bytes: u64 unit, i32 cell, i32 startIndex,
// i32 steps, u32 status, i64 blowUps, n complex end-point coordinates as (re, im) doubles bit for
// bit (zeros when no end point was recorded), u32 flags (1: a point at the jump check follows,
// 2: a polished root follows), u32 zero, n complex coordinates of the point at the jump check, n of
// the polished root (zeros when absent), u64 FNV-1a 64 of the record's bytes before it. A change
// of this layout raises the format number of the file (checkpoint.cc).
#ifndef ZORMIX_SOLVE_CHECKPOINT_RECORD_H_
#define ZORMIX_SOLVE_CHECKPOINT_RECORD_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/hash.h"
#include "tracker/routes/route_tracking.h"

namespace zormix {

// Identifier of the errors about a checkpoint file (belongs to another solve, damaged).

// The little-endian fields of the file, copied byte for byte.
namespace checkpoint_bytes {
template <typename T>
void Put(std::string& out, T value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}
template <typename T>
T Get(const char* p, std::size_t offset) {
  T value;
  std::memcpy(&value, p + offset, sizeof value);
  return value;
}
}  // namespace checkpoint_bytes

// Which start solution each unit of a route tracks. On the total-degree route unit u is start
// solution u + 1 of no cell (0); on the polyhedral route it is start solution u - offset[c] + 1 of
// cell c + 1, offset[c] <= u < offset[c + 1], the offsets summing the cell volumes. Unknown (a
// polyhedral layout before its cells are found) only bounds the two numbers.
class UnitLayout {
 public:
  static UnitLayout Unknown() { return UnitLayout(); }
  static UnitLayout TotalDegree();
  static UnitLayout Cells(const std::vector<std::int64_t>& cellVolumes);

  // "" when unit `unit` of `total` may have been tracked as (cell, startIndex); else what is wrong.
  std::string Mismatch(std::int64_t unit, std::int64_t total, std::int32_t cell,
                       std::int32_t startIndex) const;

 private:
  enum class Kind { kUnknown, kTotalDegree, kCells };
  Kind kind_ = Kind::kUnknown;
  std::vector<std::int64_t> offsets_;  // kCells: cell count + 1 entries
};

std::size_t UnitRecordSize(int n);
// Appends the record of unit `unit`, whose slot in `tracking` is filled, to `out`.
void EncodeUnit(const RouteTracking& tracking, std::int64_t unit, std::string& out);
// Checks the checksum of the record at `record` (UnitRecordSize bytes); false when it fails.
bool RecordIntact(const char* record, int n);
// The unit an intact record belongs to, before any check of it.
std::uint64_t RecordUnit(const char* record);
// "" when every field of an intact record could have been written by a tracking of `tracking`'s
// route laid out as `layout`: the unit and start solution, a known status, steps within the step
// limit, at most the one blow-up of a path given up far out, only known flags, finite points where
// there are points and zeros where there are none. Otherwise the first field that cannot be.
std::string RecordFault(const char* record, const RouteTracking& tracking,
                        const UnitLayout& layout);
// Fills the slot of an intact record and counts it as done; returns its unit. Throws Error
// kCheckpointId naming the field when RecordFault finds one.
std::int64_t DecodeUnit(const char* record, RouteTracking& tracking,
                        const UnitLayout& layout = UnitLayout::Unknown());

}  // namespace zormix

#endif  // ZORMIX_SOLVE_CHECKPOINT_RECORD_H_
