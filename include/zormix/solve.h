// The one solve call that every front end, test and benchmark uses, and its options.
#ifndef ZORMIX_SOLVE_H_
#define ZORMIX_SOLVE_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zormix/col_major_matrix.h"
#include "zormix/error.h"
#include "zormix/poly_system.h"
#include "zormix/result.h"
#include "zormix/types.h"

namespace zormix {

class RandomStream;

// Most threads a solve runs.
inline constexpr int kMaxThreads = 4096;

// What a solve does. The defaults are silent and side-effect free: no file is written, nothing is
// printed, and nothing outside the solve decides its random draws.
struct SolveOptions {
  // Which homotopy to use.
  Route route = Route::kPolyhedral;
  // Seed of every random draw of the solve. Unset: fresh entropy is drawn and reported in
  // SolveResult::seed, so the run can be repeated. Set: the solve is reproducible bit for bit,
  // whatever the thread count.
  std::optional<std::uint64_t> seed;
  // Threads that track paths, 0 to kMaxThreads; 0 means one per hardware core. Results never
  // depend on it.
  int threads = 1;
  // Report file written after the solve; empty (the default) writes none. It appears complete or
  // not at all.
  std::string reportPath;
  // Stop after counting the paths: pathCount is the mixed volume, no path is tracked and no
  // report is written. Needs the polyhedral route.
  bool mixedVolumeOnly = false;
  // Checkpoint file; empty keeps none. Every path of the first tracking is saved there as it
  // finishes, and a solve given the same file continues where an earlier one stopped, with
  // results identical to an uninterrupted solve. Unset seed: the one stored in the file is used,
  // or a fresh one is drawn and stored. A file of another system, seed, route or program version
  // is refused with ErrorCode::kCheckpoint.
  std::string checkpointPath;
  // Most paths a route may have. Unset: as many as three quarters of this machine's available
  // memory hold (about 128 n + 130 bytes each); a route with more is refused before tracking with
  // Error "zormix:outOfMemory" giving the figures.
  std::optional<std::int64_t> maxPaths;
  // Certify the regular roots by Krawczyk's interval test (SolveResult::certified and
  // certification); the classification is done either way.
  bool certify = false;
  // Called from the solving thread between units of work; never concurrently.
  std::function<void(const Progress&)> progress;
  // Polled from the solving thread between units of work (at least every 100 ms while paths are
  // tracked, and every 50 ms inside a path that thread tracks); returning true stops the solve with
  // ErrorCode::kInterrupted, abandoning the paths under way on every thread. No report is written.
  std::function<bool()> interrupted;
  // Receives the lines a solve prints: " det = 0 !  " for every start system whose integer
  // reduction meets a singular matrix. Empty: they are dropped.
  std::function<void(std::string_view line)> console;
  // Without a seed (and without a checkpoint), the start coefficients draw from this ran2 stream
  // and leave it advanced for the next solve: the MEX module passes the stream that lives as long
  // as it is loaded. Null (the default): a stream in its load state, so that the solve depends on
  // its seed alone. Never shared by two solves at the same time.
  RandomStream* carriedStream = nullptr;

  // Checks every rule on the options, one at a time: false with the reason in *why (when given)
  // for the first one broken. SolveSystem and the stages throw ErrorCode::kBadArgument with it.
  bool Validate(std::string* why = nullptr) const;
};

// Solves the system as read (the solve brings it into normal form itself): the composition of the
// stages of stages.h. Throws Error for input or options it cannot solve with; path failures are
// counted, never thrown.
SolveResult SolveSystem(const PolySystem& system, const SolveOptions& options);

}  // namespace zormix

#endif  // ZORMIX_SOLVE_H_
