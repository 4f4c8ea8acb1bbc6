#include "fuzz_targets.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "io/reader.h"
#include "zormix/error.h"
#include "zormix/io.h"
#include "zormix/solve.h"

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

}  // namespace

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

Target TargetNamed(const std::string& name) {
  if (name == "ps_num") return PsNumTarget;
  if (name == "text") return TextTarget;
  if (name == "solve") return SolveTarget;
  return nullptr;
}

}  // namespace zormix::fuzz
