#include "frontend/front_end.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <new>
#include <stdexcept>

#include "solve/path_budget.h"
#include "zormix/error.h"
#include "zormix/solve.h"

namespace zormix {
namespace {

// The value of an environment variable; nullopt when unset or empty.
std::optional<std::string> ReadVariable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

std::string EnvironmentOrigin(const char* name) {
  return std::string("environment variable ") + name + " =";
}

// h:mm:ss from an hour on, m:ss below.
std::string Duration(double seconds) {
  const auto s = static_cast<std::int64_t>(seconds + 0.5);
  char buffer[48];
  if (s >= 3600) {
    std::snprintf(buffer, sizeof buffer, "%" PRId64 ":%02d:%02d", s / 3600,
                  static_cast<int>(s / 60 % 60), static_cast<int>(s % 60));
  } else {
    std::snprintf(buffer, sizeof buffer, "%d:%02d", static_cast<int>(s / 60),
                  static_cast<int>(s % 60));
  }
  return buffer;
}

}  // namespace

std::optional<std::uint64_t> ParseDecimal(const std::string& text, std::uint64_t limit) {
  if (text.empty() || text.size() > 20) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
    // value * 10 + digit <= limit, checked without overflowing.
    if (value > (limit - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

std::uint64_t ParseSeed(const std::string& text, const std::string& origin) {
  const std::optional<std::uint64_t> seed =
      ParseDecimal(text, std::numeric_limits<std::uint64_t>::max());
  if (!seed) {
    throw Error(
        ErrorCode::kInvalidInput,
        origin + " '" + text + "': expected a decimal integer from 0 to 18446744073709551615");
  }
  return *seed;
}

int ParseThreads(const std::string& text, const std::string& origin) {
  const std::optional<std::uint64_t> threads = ParseDecimal(text, kMaxThreads);
  if (!threads) {
    throw Error(ErrorCode::kInvalidInput,
                origin + " '" + text +
                    "': expected a decimal integer from 0 (one thread per core) to " +
                    std::to_string(kMaxThreads));
  }
  return static_cast<int>(*threads);
}

std::optional<std::uint64_t> SeedFromEnvironment() {
  const std::optional<std::string> text = ReadVariable("ZORMIX_SEED");
  if (!text) return std::nullopt;
  return ParseSeed(*text, EnvironmentOrigin("ZORMIX_SEED"));
}

std::optional<int> ThreadsFromEnvironment() {
  const std::optional<std::string> text = ReadVariable("ZORMIX_THREADS");
  if (!text) return std::nullopt;
  return ParseThreads(*text, EnvironmentOrigin("ZORMIX_THREADS"));
}

bool ProgressFromEnvironment() {
  const std::optional<std::string> text = ReadVariable("ZORMIX_PROGRESS");
  if (!text || *text == "0") return false;
  if (*text == "1") return true;
  throw Error(ErrorCode::kInvalidInput,
              EnvironmentOrigin("ZORMIX_PROGRESS") + " '" + *text + "': expected 0 or 1");
}

// Truncation toward zero: 2.9 selects the total-degree route, -2.9 (-> -2) and 1.99 do not. NaN
// and infinities truncate to no integer and take the default route.
Route RouteFromMode(double mode) {
  if (!std::isfinite(mode)) return Route::kPolyhedral;
  return std::trunc(mode) == 2.0 ? Route::kTotalDegree : Route::kPolyhedral;
}

HostError CurrentHostError() {
  try {
    throw;
  } catch (const Error& error) {
    return HostError{error.code(), error.what()};
  } catch (const std::bad_alloc&) {
    return HostError{ErrorCode::kOutOfMemory, "out of memory"};
  } catch (const std::exception& error) {
    return HostError{ErrorCode::kInternal, std::string("internal error: ") + error.what()};
  } catch (...) {
    return HostError{ErrorCode::kInternal, "internal error of unknown kind"};
  }
}

ProgressFunction WithTestFault(ProgressFunction progress) {
  const std::optional<std::string> stage = ReadVariable("ZORMIX_TEST_FAULT_AT");
  if (!stage) return progress;
  return [stage = *stage, progress = std::move(progress)](const Progress& p) {
    if (stage == StageName(p.stage))
      throw std::logic_error("broken invariant injected at stage " + stage +
                             " (ZORMIX_TEST_FAULT_AT)");
    if (progress) progress(p);
  };
}

int ExitCodeOf(ErrorCode code) {
  switch (code) {
    case ErrorCode::kInvalidInput:
    case ErrorCode::kCannotWrite:
    case ErrorCode::kCheckpoint:
    case ErrorCode::kResultTooLarge:
      return 1;
    case ErrorCode::kBadArgument:
    case ErrorCode::kUnknownOption:
      return 2;
    case ErrorCode::kOutOfMemory:
      return 3;
    case ErrorCode::kInternal:
      return 4;
    case ErrorCode::kInterrupted:
      return 130;
  }
  return 4;
}

std::string ProgressLine(const Progress& p, double trackingSeconds) {
  std::string line = std::string("zormix: ") + StageName(p.stage);
  if (p.stage != Stage::kTracking || p.pathsTotal <= 0) return line;
  char buffer[200];
  std::snprintf(buffer, sizeof buffer, " %" PRId64 "/%" PRId64 " paths", p.pathsDone, p.pathsTotal);
  line += buffer;
  if (p.pathsRestored > 0) line += " (" + std::to_string(p.pathsRestored) + " restored)";
  std::snprintf(buffer, sizeof buffer, ": %" PRId64 " reached, %" PRId64 " not reached",
                p.pathsReached, p.pathsFailed);
  line += buffer;
  // The rate counts the paths tracked by this run, not those read back from a checkpoint.
  const std::int64_t tracked = p.pathsDone - p.pathsRestored;
  if (trackingSeconds > 0.5 && tracked > 0) {
    const double rate = static_cast<double>(tracked) / trackingSeconds;
    const double left = static_cast<double>(p.pathsTotal - p.pathsDone) / rate;
    std::snprintf(buffer, sizeof buffer, ", %.1f paths/s, %s left", rate, Duration(left).c_str());
    line += buffer;
  }
  return line;
}

std::string LargeRouteNotice(const Progress& progress) {
  const double estimate = progress.trackingEstimateSeconds;
  if (progress.stage != Stage::kTracking || progress.pathsDone != 0 ||
      (progress.pathsTotal <= kLargeRoutePaths && estimate <= kLongRouteSeconds)) {
    return std::string();
  }
  const std::string duration = estimate > 0 ? ", an estimated " + RoughDuration(estimate) : "";
  return "zormix: " + std::to_string(progress.pathsTotal) + " paths to track" + duration +
         "; this solve may take a long time";
}

}  // namespace zormix
