// Checkpoints of a solve: the first tracking's finished units, saved as they complete, so that a
// solve stopped for any reason continues where it stopped with the same results.
//
// File layout (little-endian):
//   header, 64 bytes: "ZMXCKPT\0", u32 format version, u32 route (0 polyhedral, 1 total degree),
//     u32 n, u32 record size, u64 seed, u64 system hash, char[16] program version (NUL padded),
//     u64 FNV-1a 64 of the 56 bytes before it;
//   then one record per finished unit (checkpoint_record.h), in completion order.
// Only the last record may be torn or damaged (a write cut short); it is dropped and its unit
// tracked again. A record stored twice with the same bytes (two writers before files were locked)
// is dropped from the file. Any other bad record refuses the file, naming its number.
//
// A solve holds an exclusive lock (flock) on the file from opening it to its end: a second solve
// given the same file is refused at once, naming the process that holds it.
#ifndef ZORMIX_SOLVE_CHECKPOINT_H_
#define ZORMIX_SOLVE_CHECKPOINT_H_

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/normal_form.h"
#include "solve/checkpoint_record.h"
#include "tracker/routes/route_tracking.h"
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

class Checkpoint {
 public:
  // Opens and locks the file, refusing anything but a regular file and a file another solve
  // holds; writes the header when the file is new (or empty), otherwise checks it and throws
  // Error kCheckpointId naming the field that differs from `identity`.
  Checkpoint(std::string path, const CheckpointIdentity& identity);
  ~Checkpoint();  // writes the records still pending
  Checkpoint(const Checkpoint&) = delete;
  Checkpoint& operator=(const Checkpoint&) = delete;

  // The polyhedral route's units, once its cells are known: records are then checked against the
  // start solution of their unit.
  void ExpectCells(const std::vector<std::int64_t>& cellVolumes);
  // Fills the slots of the units stored in the file and returns the units still to track, in
  // ascending order. A torn or damaged last record and repeated identical records are cut out of
  // the file; any other bad record (RecordFault), or a unit stored twice with different contents,
  // throws Error kCheckpointId naming the record.
  std::vector<std::int64_t> Restore(RouteTracking& tracking);
  // Paths the last Restore took from the file.
  std::int64_t restoredPaths() const { return restoredPaths_; }
  // Queues whole records; they reach the file within kFlushInterval (at a later Append or
  // FlushIfDue) or at Flush.
  void Append(std::string_view records);
  void FlushIfDue();
  void Flush();

  static constexpr std::chrono::milliseconds kFlushInterval{1000};

 private:
  void OpenAndLock();
  void FlushLocked();
  [[noreturn]] void Fail(const std::string& what) const;

  std::string path_;
  int n_ = 0;
  int fd_ = -1;
  UnitLayout layout_;
  off_t end_ = 0;  // where the next record goes
  std::int64_t restoredPaths_ = 0;
  std::mutex mutex_;
  std::string pending_;
  std::chrono::steady_clock::time_point lastFlush_;
};

// The runner of a checkpointed solve on this process: restores the stored units, tracks the others
// on `threads` threads and saves each one as it finishes.
UnitRunner CheckpointRunner(Checkpoint& checkpoint, int threads);

}  // namespace zormix

#endif  // ZORMIX_SOLVE_CHECKPOINT_H_
