#include "fuzz_targets.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/parameter_values.h"
#include "io/reader.h"
#include "solve/checkpoint.h"
#include "zormix/error.h"
#include "zormix/io.h"
#include "zormix/parametric.h"
#include "zormix/solve.h"
#include "zormix/sweep.h"

namespace zormix::fuzz {
namespace {

constexpr int kMaxSolveVariables = 3;
constexpr int kMaxSolveDegree = 4;
constexpr std::int64_t kMaxSolveTerms = 40;
// Coefficient magnitudes a small solve is given, so that it stays a matter of milliseconds.
constexpr double kMinMagnitude = 1e-8;
constexpr double kMaxMagnitude = 1e8;

[[noreturn]] void Violated(const char* property, const std::string& detail) {
  std::fprintf(stderr, "fuzz property violated: %s\n%s\n", property, detail.c_str());
  std::abort();
}

bool SameSystem(const PolySystem& a, const PolySystem& b) {
  return a.n == b.n && a.termCount == b.termCount && a.exponents == b.exponents &&
         a.coefficients == b.coefficients && a.variableNames == b.variableNames;
}

PolySystem ReadPsNum(const std::string& text) {
  std::istringstream in(text);
  return ReadSystem(in, "PS.num");
}

bool SmallEnoughToSolve(const PolySystem& s) {
  if (s.n > kMaxSolveVariables || s.termTotal() > kMaxSolveTerms) return false;
  for (std::int64_t p = 0; p < s.termTotal(); ++p) {
    std::int64_t degree = 0;
    for (int k = 0; k < s.n; ++k) degree += s.exponents(k, p);
    const double magnitude = std::abs(s.coefficients[p]);
    if (degree > kMaxSolveDegree) return false;
    if (magnitude != 0.0 && (magnitude < kMinMagnitude || magnitude > kMaxMagnitude)) return false;
  }
  return true;
}

constexpr int kMaxValuesPerLine = 4;

constexpr int kCheckpointVariables = 2;
constexpr std::int64_t kCheckpointPaths = 4;

// A file of this process for the checkpoint target, removed at exit.
const std::string& CheckpointFile() {
  static const std::string path = [] {
    char name[] = "/tmp/zormix_fuzz_checkpoint_XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) Violated("a temporary file can be made", name);
    close(fd);
    std::atexit([] { std::remove(CheckpointFile().c_str()); });
    return std::string(name);
  }();
  return path;
}

CheckpointIdentity FuzzIdentity(Route route) {
  CheckpointIdentity identity;
  identity.systemHash = 0x5a5a;
  identity.seed = 7;
  identity.route = route;
  identity.n = kCheckpointVariables;
  return identity;
}

// The header a new checkpoint of `identity` gets, made once per route.
const std::string& FreshHeader(const CheckpointIdentity& identity) {
  static std::string headers[2];
  std::string& header = headers[identity.route == Route::kTotalDegree ? 1 : 0];
  if (header.empty()) {
    std::remove(CheckpointFile().c_str());
    { Checkpoint created(CheckpointFile(), identity); }
    std::ifstream in(CheckpointFile(), std::ios::binary);
    header.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return header;
}

// Recomputes the checksum of every whole record after the header.
void FixChecksums(std::string& file, std::size_t headerSize) {
  const std::size_t size = UnitRecordSize(kCheckpointVariables);
  for (std::size_t at = headerSize; at + size <= file.size(); at += size) {
    const std::uint64_t sum = Fnv1a(file.data() + at, size - 8);
    std::memcpy(file.data() + at + size - 8, &sum, sizeof sum);
  }
}

// The units restored from the checkpoint file as it is; throws Error when it is refused.
std::vector<std::int64_t> RestoredUnits(const CheckpointIdentity& identity) {
  Checkpoint checkpoint(CheckpointFile(), identity);
  const bool totalDegree = identity.route == Route::kTotalDegree;
  RouteTracking tracking(kCheckpointVariables, kCheckpointPaths, totalDegree);
  if (!totalDegree) checkpoint.ExpectCells({1, 3});
  const std::vector<std::int64_t> todo = checkpoint.Restore(tracking);
  if (static_cast<std::int64_t>(todo.size()) + checkpoint.restoredPaths() != kCheckpointPaths ||
      tracking.counters.done.load() != checkpoint.restoredPaths())
    Violated("a restored checkpoint accounts for every path once", std::to_string(todo.size()));
  return todo;
}

}  // namespace

void CheckpointTarget(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return;
  const CheckpointIdentity identity =
      FuzzIdentity((data[0] & 1) != 0 ? Route::kTotalDegree : Route::kPolyhedral);
  const std::string header = (data[0] & 2) != 0 ? FreshHeader(identity) : std::string();
  std::string file = header + std::string(reinterpret_cast<const char*>(data) + 1, size - 1);
  if ((data[0] & 4) != 0) FixChecksums(file, header.size());
  std::ofstream(CheckpointFile(), std::ios::binary | std::ios::trunc) << file;
  std::vector<std::int64_t> todo;
  try {
    todo = RestoredUnits(identity);
  } catch (const Error&) {
    return;
  }
  if (RestoredUnits(identity) != todo) Violated("a repaired checkpoint reads back the same", file);
}

void PsNumTarget(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  PolySystem system;
  try {
    system = ReadPsNum(text);
  } catch (const Error&) {
    return;
  }
  const std::string written = FormatSystemFile(system);
  if (!SameSystem(ReadPsNum(written), system))
    Violated("PS.num reads back what it writes", written);
}

void TextTarget(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  PolySystem system;
  try {
    system = ParsePolynomialText(text, "fuzz");
  } catch (const Error&) {
    return;
  }
  const PolySystem viaPsNum = ReadPsNum(FormatSystemFile(system));
  const std::string back = FormatPolynomialText(viaPsNum);
  if (!SameSystem(ParsePolynomialText(back, "formatted"), system)) {
    Violated("text -> PS.num -> text gives the same system", back);
  }
}

void SolveTarget(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  try {
    const PolySystem system = ParsePolynomialText(text, "fuzz");
    if (!SmallEnoughToSolve(system)) return;
    SolveOptions options;
    options.route = (data[0] & 1) != 0 ? Route::kTotalDegree : Route::kPolyhedral;
    options.seed = data[0];
    options.reportPath.clear();
    options.console = [](std::string_view) {};
    const SolveResult result = SolveSystem(system, options);
    if (result.rootCount > result.pathCount) {
      Violated("no more roots than paths", std::to_string(result.rootCount));
    }
  } catch (const Error&) {
  }
}

void ValuesTarget(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return;
  const int count = 1 + data[0] % kMaxValuesPerLine;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::vector<std::vector<Complex>> members;
  try {
    members = cli::ParseParameterValues(text, "values", count);
  } catch (const Error&) {
    return;
  }
  std::string written;
  for (const std::vector<Complex>& member : members) {
    if (static_cast<int>(member.size()) != count)
      Violated("a line holds one value per parameter", text.data());
    for (const Complex& z : member) {
      if (!std::isfinite(z.real()) || !std::isfinite(z.imag()))
        Violated("accepted values are finite", std::string(text));
      char pair[96];
      std::snprintf(pair, sizeof pair, "(%.17g, %.17g) ", z.real(), z.imag());
      written += pair;
    }
    written += "\n";
  }
  const std::vector<std::vector<Complex>> again =
      cli::ParseParameterValues(written, "again", count);
  if (again != members) Violated("values written as pairs read back the same", written);
}

void StartTarget(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  FamilyStart start;
  try {
    start = ParseFamilyStart(text, "start");
  } catch (const Error&) {
    return;
  }
  const FamilyStart again = ParseFamilyStart(FormatFamilyStart(start), "again");
  if (again.systemHash != start.systemHash || again.parameters != start.parameters ||
      again.roots.storage() != start.roots.storage() || again.multiplicity != start.multiplicity ||
      again.pathCount != start.pathCount || again.seed != start.seed)
    Violated("an accepted start reads back the same", FormatFamilyStart(start));
  // Against a family of its shape or not: accepted or refused, never a crash.
  static const ParametricSystem family =
      ParseParametricText("variables x, y;\nparameters a, b;\nx^2 - a;\ny^2 - b;\n", "family");
  try {
    CheckStartBelongs(family, start, "start");
  } catch (const Error&) {
  }
}

Target TargetNamed(const std::string& name) {
  if (name == "values") return ValuesTarget;
  if (name == "start") return StartTarget;
  if (name == "ps_num") return PsNumTarget;
  if (name == "text") return TextTarget;
  if (name == "solve") return SolveTarget;
  if (name == "checkpoint") return CheckpointTarget;
  return nullptr;
}

}  // namespace zormix::fuzz
