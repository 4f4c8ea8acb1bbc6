// What every front end (the command line, the MEX functions) shares: the seed and thread-count
// values read from arguments or from the environment (one parser, one range and one message for
// each), the host's route selector, what an error becomes for the host, and the notice of a route
// with very many paths.
#ifndef ZORMIX_FRONTEND_FRONT_END_H_
#define ZORMIX_FRONTEND_FRONT_END_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "zormix/error.h"
#include "zormix/types.h"

namespace zormix {

// Parses text as a decimal unsigned integer no larger than limit; nullopt when it is not one
// (signs, blanks, other characters and overflow are all refused).
std::optional<std::uint64_t> ParseDecimal(const std::string& text, std::uint64_t limit);

// A seed: a decimal integer in [0, 2^64 - 1]. Throws Error "<origin> '<text>': expected ..."
// for anything else; origin names where the text came from, e.g. "--seed".
std::uint64_t ParseSeed(const std::string& text, const std::string& origin);

// A thread count: a decimal integer in [0, kMaxThreads]; 0 means one thread per core. Throws
// Error "<origin> '<text>': expected ..." for anything else.
int ParseThreads(const std::string& text, const std::string& origin);

// ZORMIX_SEED. Unset or empty: nullopt (fresh entropy).
std::optional<std::uint64_t> SeedFromEnvironment();

// ZORMIX_THREADS. Unset or empty: nullopt (the front end's default, all cores).
std::optional<int> ThreadsFromEnvironment();

// ZORMIX_PROGRESS for the MEX module, whose arguments are fixed: "1" shows progress, "0" (and
// unset or empty) keeps it silent. Throws Error for anything else.
bool ProgressFromEnvironment();

// The MEX module's route selector: the value truncated toward zero equal to 2 selects the
// total-degree route, every other value the polyhedral route (2.7 -> total degree; 1.99 and -2 ->
// polyhedral).
Route RouteFromMode(double mode);

// The exception in flight (call from a catch block) as the error a host reports: an Error as it
// is, std::bad_alloc as kOutOfMemory, every other exception as kInternal ("internal error: ...").
struct HostError {
  ErrorCode code = ErrorCode::kInternal;
  std::string message;
};
HostError CurrentHostError();

// A test hook of the front ends, for the end-to-end tests of a fault of the solver: when the
// environment variable ZORMIX_TEST_FAULT_AT names a stage ("tracking", "report", ...), the
// returned progress function throws std::logic_error, as a broken invariant would, when the solve
// announces that stage; the solve unwinds through its stages and the host reports an internal
// error. Unset or empty: `progress` as it is. Read once per solve, by the front ends only.
using ProgressFunction = std::function<void(const Progress&)>;
ProgressFunction WithTestFault(ProgressFunction progress);

// The exit code of the zormix command for each kind of error: 1 input that cannot be read or
// solved, an output that cannot be written or a checkpoint of another solve; 2 wrong usage (a bad
// argument or option); 3 out of memory; 4 a fault of the solver; 130 interrupted (128 + SIGINT, as
// shells report it).
int ExitCodeOf(ErrorCode code);

// The progress line of every front end: "zormix: <stage>", while tracking followed by
// " 40/70 paths: 38 reached, 2 not reached" (the words of docs/cli.md; " (12 restored)" after
// the count when a checkpoint gave paths back), and when trackingSeconds (since tracking began) is
// above half a second also by ", 12.5 paths/s, 0:03 left", the rate of the paths tracked by
// this run.
std::string ProgressLine(const Progress& progress, double trackingSeconds);

// Routes with more paths than this, or whose tracking is estimated to take longer than
// kLongRouteSeconds, are announced before tracking starts.
inline constexpr std::int64_t kLargeRoutePaths = 100000;
inline constexpr double kLongRouteSeconds = 600.0;

// The announcement for the progress report that opens tracking ("zormix: 250000 paths to track,
// an estimated 2.5 h; ..."), or an empty string when the route is neither that large nor that
// long, or tracking is under way.
std::string LargeRouteNotice(const Progress& progress);

}  // namespace zormix

#endif  // ZORMIX_FRONTEND_FRONT_END_H_
