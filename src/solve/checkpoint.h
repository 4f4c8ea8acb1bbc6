// Checkpoints of a solve: the first tracking's finished units, saved as they complete, so that a
// solve stopped for any reason continues where it stopped with the same results.
//
// File layout (little-endian):
//   header, 64 bytes: "ZMXCKPT\0", u32 format version, u32 route (0 polyhedral, 1 total degree),
//     u32 n, u32 record size, u64 seed, u64 system hash, char[16] program version (NUL padded),
//     u64 FNV-1a 64 of the 56 bytes before it;
//   then one record per finished unit, UnitRecordSize(n) bytes: u64 unit, i32 cell,
//     i32 startIndex, i32 steps, u32 status, i64 blowUps, n complex end-point coordinates as
//     (re, im) doubles bit for bit (zeros when no end point was recorded), u32 flags (1: a point
//     at the jump check follows, 2: a polished root follows), u32 zero, n complex coordinates of
//     the point at the jump check, n of the polished root (zeros when absent), u64 FNV-1a 64 of
//     the record's bytes before it.
// Records come in completion order. Only the last one may be torn or damaged (a write cut short);
// it is dropped and its unit tracked again. A bad record anywhere else refuses the file.
#ifndef ZORMIX_SOLVE_CHECKPOINT_H_
#define ZORMIX_SOLVE_CHECKPOINT_H_

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/normal_form.h"
#include "tracker/route_tracking.h"
#include "tracker/tracking.h"
#include "zormix/types.h"

namespace zormix {

// What a checkpoint belongs to; a file written for anything else is refused.
struct CheckpointIdentity {
  std::uint64_t systemHash = 0;
  std::uint64_t seed = 0;
  Route route = Route::kPolyhedral;
  int n = 0;
};

// FNV-1a 64 of n, the term counts, the exponents and the unscaled coefficients (bit patterns) of
// the normal form: two systems with the same hash have the same paths.
std::uint64_t SystemHash(const NormalForm& system);

// The seed stored in the checkpoint at `path`; nullopt when there is no file (or an empty one).
// Throws Error kCheckpointId when the file is not a readable checkpoint.
std::optional<std::uint64_t> CheckpointSeed(const std::string& path);

std::size_t UnitRecordSize(int n);
// Appends the record of unit `unit`, whose slot in `tracking` is filled, to `out`.
void EncodeUnit(const RouteTracking& tracking, std::int64_t unit, std::string& out);
// Checks the checksum of the record at `record` (UnitRecordSize bytes); false when it fails.
bool RecordIntact(const char* record, int n);
// Fills the slot of an intact record and counts it as done; returns its unit. Throws Error
// kCheckpointId when the unit or its status cannot belong to this solve.
std::int64_t DecodeUnit(const char* record, RouteTracking& tracking);

class Checkpoint {
 public:
  // Creates the file with its header when there is none (or it is empty); otherwise checks its
  // header and throws Error kCheckpointId naming what differs from `identity`.
  Checkpoint(std::string path, const CheckpointIdentity& identity);
  ~Checkpoint();  // writes the records still pending
  Checkpoint(const Checkpoint&) = delete;
  Checkpoint& operator=(const Checkpoint&) = delete;

  // Fills the slots of the units stored in the file and returns the units still to track, in
  // ascending order. A torn or damaged last record is cut off the file; any other bad record, a
  // unit stored twice or out of range throws Error kCheckpointId.
  std::vector<std::int64_t> Restore(RouteTracking& tracking);
  // Queues whole records; they reach the file within kFlushInterval (at a later Append or
  // FlushIfDue) or at Flush.
  void Append(std::string_view records);
  void FlushIfDue();
  void Flush();

  static constexpr std::chrono::milliseconds kFlushInterval{1000};

 private:
  void FlushLocked();
  [[noreturn]] void Fail(const std::string& what) const;

  std::string path_;
  int n_ = 0;
  int fd_ = -1;
  std::mutex mutex_;
  std::string pending_;
  std::chrono::steady_clock::time_point lastFlush_;
};

// The runner of a checkpointed solve on this process: restores the stored units, tracks the others
// on `threads` threads and saves each one as it finishes.
UnitRunner CheckpointRunner(Checkpoint& checkpoint, int threads);

}  // namespace zormix

#endif  // ZORMIX_SOLVE_CHECKPOINT_H_
