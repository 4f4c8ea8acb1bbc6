// The start of a family as a JSON file, and the check that a start belongs to a family.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "base/atomic_file.h"
#include "model/normal_form.h"
#include "model/parametric_eval.h"
#include "solve/checkpoint.h"
#include "zormix/error.h"
#include "zormix/sweep.h"
#include "zormix/types.h"

namespace zormix {
namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kStartFormat = "zormix family start";
constexpr int kStartVersion = 1;
// The key "method" is written for starts found by monodromy only: start files of start solves
// stay as they were.
constexpr const char* kMonodromyMethod = "monodromy";

std::string Hex(std::uint64_t value) {
  char text[19];
  std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(value));
  return text;
}

Json Pair(const Complex& z) { return Json::array({z.real(), z.imag()}); }

Complex PairValue(const Json& pair) {
  if (!pair.is_array() || pair.size() != 2 || !pair[0].is_number() || !pair[1].is_number())
    throw Error(ErrorCode::kInvalidInput, "expected a complex number [re, im]");
  return {pair[0].get<double>(), pair[1].get<double>()};
}

// Two start roots closer than this, relative to the largest coordinate, are one root listed twice:
// its paths would be tracked twice and meet.
constexpr double kDistinctRootTolerance = 1e-8;

// The start roots must satisfy the family at p0 to this backward error: |f_i(x)| over the sum of
// the sizes of its terms, in every equation (roots of multiplicity m are accurate to about
// u^(1/m), their backward error stays near u).
constexpr double kStartRootBackwardError = 1e-6;

[[noreturn]] void Malformed(const std::string& message) {
  throw Error(ErrorCode::kInvalidInput, message);
}

std::string RootName(std::int64_t r) { return "root " + std::to_string(r + 1); }

// The root listed twice, or -1: sorted by the real part of their first coordinate, roots within
// the tolerance lie next to each other.
std::pair<std::int64_t, std::int64_t> RepeatedRoot(const ColMajorMatrix<Complex>& roots) {
  double size = 1.0;
  for (const Complex& z : roots.storage()) size = std::max(size, std::abs(z));
  const double tolerance = kDistinctRootTolerance * size;
  std::vector<std::int64_t> order(static_cast<std::size_t>(roots.cols()));
  for (std::size_t r = 0; r < order.size(); ++r) order[r] = static_cast<std::int64_t>(r);
  std::sort(order.begin(), order.end(), [&](std::int64_t a, std::int64_t b) {
    return roots(0, a).real() < roots(0, b).real();
  });
  for (std::size_t i = 0; i < order.size(); ++i) {
    for (std::size_t j = i + 1;
         j < order.size() && roots(0, order[j]).real() - roots(0, order[i]).real() <= tolerance;
         ++j) {
      double distance = 0.0;
      for (std::int64_t k = 0; k < roots.rows(); ++k)
        distance = std::max(distance, std::abs(roots(k, order[i]) - roots(k, order[j])));
      if (distance <= tolerance)
        return {std::min(order[i], order[j]), std::max(order[i], order[j])};
    }
  }
  return {-1, -1};
}

// What a start file must hold whatever its family: known route, finite values, multiplicities of
// at least 1 that the paths of a start solve cover, and no root twice.
void CheckStartContents(const FamilyStart& start) {
  for (const Complex& p : start.parameters)
    if (!std::isfinite(p.real()) || !std::isfinite(p.imag()))
      Malformed("\"p0\" holds a value that is not finite");
  std::int64_t paths = 0;
  for (std::size_t r = 0; r < start.multiplicity.size(); ++r) {
    const std::int32_t m = start.multiplicity[r];
    if (m < 1)
      Malformed(RootName(static_cast<std::int64_t>(r)) + " has multiplicity " + std::to_string(m) +
                "; a root has multiplicity 1 or more");
    paths += m;
  }
  // Monodromy's loops track paths between members, as many as they take: only a start solve's
  // paths end at the roots.
  if (start.method == FamilyStart::Method::kStartSolve && start.pathCount < paths)
    Malformed("\"start_paths\" is " + std::to_string(start.pathCount) +
              ", fewer than the paths to the roots' multiplicities (" + std::to_string(paths) +
              ")");
  for (const Complex& z : start.roots.storage())
    if (!std::isfinite(z.real()) || !std::isfinite(z.imag()))
      Malformed("a root holds a value that is not finite");
  const auto [first, second] = RepeatedRoot(start.roots);
  if (first >= 0)
    Malformed(RootName(first) + " and " + RootName(second) +
              " are the same point; each root of the start is listed once, with its multiplicity");
}

// The whole number a field holds, within T's range. A number with a fraction or an exponent (1e300)
// is refused rather than converted: converting it to an integer beyond T's range is undefined.
template <typename T>
T WholeNumber(const Json& object, const char* name) {
  const Json& value = object.at(name);
  if (value.is_number_unsigned() && std::in_range<T>(value.get<std::uint64_t>()))
    return static_cast<T>(value.get<std::uint64_t>());
  if (value.is_number_integer() && !value.is_number_unsigned() &&
      std::in_range<T>(value.get<std::int64_t>()))
    return static_cast<T>(value.get<std::int64_t>());
  throw Error(ErrorCode::kInvalidInput,
              "\"" + std::string(name) + "\" is " + value.dump() + ", not a whole number in range");
}

FamilyStart StartFromJson(const Json& doc) {
  if (!doc.is_object() || doc.value("format", "") != kStartFormat)
    throw Error(ErrorCode::kInvalidInput,
                "not a start file (its \"format\" is not \"" + std::string(kStartFormat) + "\")");
  const Json version = doc.value("version", Json());
  if (!version.is_number_integer() || version.get<std::int64_t>() != kStartVersion)
    throw Error(ErrorCode::kInvalidInput,
                "start file version " + version.dump() + " is not the version " +
                    std::to_string(kStartVersion) + " this program reads");
  FamilyStart start;
  start.systemHash = std::stoull(doc.at("system_hash").get<std::string>(), nullptr, 16);
  start.parameterNames = doc.at("parameters").get<std::vector<std::string>>();
  for (const Json& p : doc.at("p0")) start.parameters.push_back(PairValue(p));
  if (start.parameters.size() != start.parameterNames.size())
    throw Error(ErrorCode::kInvalidInput,
                "\"p0\" holds " + std::to_string(start.parameters.size()) + " values for " +
                    std::to_string(start.parameterNames.size()) + " parameters");
  start.seed = WholeNumber<std::uint64_t>(doc, "seed");
  const std::string route = doc.at("route").get<std::string>();
  if (!RouteNamed(route)) Malformed("the route \"" + route + "\" is not one of this program's");
  start.route = *RouteNamed(route);
  start.pathCount = WholeNumber<std::int64_t>(doc, "start_paths");
  if (doc.value("method", "") == kMonodromyMethod) start.method = FamilyStart::Method::kMonodromy;
  const int n = WholeNumber<int>(doc, "n");
  const Json& roots = doc.at("roots");
  if (n < 1 || !roots.is_array())
    throw Error(ErrorCode::kInvalidInput, "\"n\" or \"roots\" is malformed");
  start.roots.Assign(n, static_cast<std::int64_t>(roots.size()));
  for (std::size_t r = 0; r < roots.size(); ++r) {
    const Json& x = roots[r].at("x");
    if (!x.is_array() || x.size() != static_cast<std::size_t>(n))
      throw Error(ErrorCode::kInvalidInput, "root " + std::to_string(r + 1) + " does not hold " +
                                                std::to_string(n) + " values");
    for (int k = 0; k < n; ++k) start.roots(k, static_cast<std::int64_t>(r)) = PairValue(x[k]);
    start.multiplicity.push_back(WholeNumber<std::int32_t>(roots[r], "multiplicity"));
  }
  CheckStartContents(start);
  return start;
}

// The Bezout number of the family (the product of its equations' degrees), saturated: no start
// solve tracks more paths.
std::int64_t BezoutBound(const ParametricSystem& family) {
  constexpr std::int64_t kSaturated = std::int64_t{1} << 62;
  std::int64_t bound = 1;
  std::int64_t term = 0;
  for (int i = 0; i < family.n; ++i) {
    std::int64_t degree = 0;
    for (std::int32_t t = 0; t < family.termCount[i]; ++t, ++term) {
      std::int64_t d = 0;
      for (int k = 0; k < family.n; ++k) d += family.exponents(k, term);
      degree = std::max(degree, d);
    }
    bound = degree > 0 && bound > kSaturated / degree ? kSaturated
                                                      : bound * std::max<std::int64_t>(degree, 1);
  }
  return bound;
}

// Largest backward error of a start root in the family at p0: the roots of another p0 (or p0
// edited) do not satisfy it.
std::pair<double, std::int64_t> WorstBackwardError(const ParametricSystem& family,
                                                   const FamilyStart& start) {
  const PolySystem atP0 = EvaluateAllTerms(family, start.parameters);
  std::pair<double, std::int64_t> worst{0.0, 0};
  for (std::int64_t r = 0; r < start.roots.cols(); ++r) {
    std::int64_t term = 0;
    for (int i = 0; i < atP0.n; ++i) {
      Complex value = 0.0;
      double size = 0.0;
      for (std::int32_t t = 0; t < atP0.termCount[i]; ++t, ++term) {
        Complex monomial = atP0.coefficients[term];
        for (int k = 0; k < atP0.n; ++k)
          monomial *= std::pow(start.roots(k, r), atP0.exponents(k, term));
        value += monomial;
        size += std::abs(monomial);
      }
      const double error = size > 0.0 ? std::abs(value) / size : std::abs(value);
      if (!(error <= worst.first)) worst = {error, r};
    }
  }
  return worst;
}

}  // namespace

// The family is hashed as a normal form whose coefficient list carries, after the coefficient
// values, the parameter count, the coefficient layout and the parameter exponents (as numbers):
// the one FNV-1a of the checkpoints, over everything that decides the paths.
std::uint64_t FamilyHash(const ParametricSystem& family) {
  NormalForm key;
  key.scaled.n = family.n;
  key.scaled.termCount = family.termCount;
  key.scaled.exponents = family.exponents;
  key.rawCoefficients = family.coefficientValues;
  key.rawCoefficients.emplace_back(family.parameterCount(), 0.0);
  for (std::int64_t s : family.coefficientStart)
    key.rawCoefficients.emplace_back(static_cast<double>(s), 0.0);
  for (std::int32_t e : family.parameterExponents.storage())
    key.rawCoefficients.emplace_back(e, 0.0);
  return SystemHash(key);
}

void CheckStartBelongs(const ParametricSystem& family, const FamilyStart& start,
                       std::string_view source) {
  const std::string where(source);
  if (start.systemHash != FamilyHash(family))
    throw Error(ErrorCode::kInvalidInput,
                where + ": the start belongs to another system (its hash is " +
                    Hex(start.systemHash) + ", this system's " + Hex(FamilyHash(family)) + ")");
  if (start.parameterNames != family.parameterNames)
    throw Error(ErrorCode::kInvalidInput,
                where + ": the start names other parameters than the system");
  if (start.roots.rows() != family.n ||
      start.multiplicity.size() != static_cast<std::size_t>(start.roots.cols()) ||
      start.parameters.size() != static_cast<std::size_t>(family.parameterCount()))
    throw Error(ErrorCode::kInvalidInput, where + ": the start's roots do not fit the system");
  try {
    CheckStartContents(start);
  } catch (const Error& e) {
    throw Error(ErrorCode::kInvalidInput, where + ": " + e.what());
  }
  // A member has at most as many isolated roots, with multiplicity, as the total degree; a start
  // solve tracks at most that many paths. Monodromy's count of paths has no such bound.
  const std::int64_t bezout = BezoutBound(family);
  std::int64_t rootPaths = 0;
  for (const std::int32_t m : start.multiplicity) rootPaths += m;
  const bool startSolve = start.method == FamilyStart::Method::kStartSolve;
  const std::int64_t claimed = startSolve ? start.pathCount : rootPaths;
  if (claimed > bezout)
    throw Error(ErrorCode::kInvalidInput,
                where + ": the start claims " + std::to_string(claimed) +
                    (startSolve ? " paths" : " roots with their multiplicities") +
                    ", more than the " + std::to_string(bezout) + " of the system's total degree");
  const auto [error, root] = WorstBackwardError(family, start);
  if (!(error <= kStartRootBackwardError)) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1e", error);
    throw Error(ErrorCode::kInvalidInput,
                where + ": " + RootName(root) + " is no root of the system at the start's p0 " +
                    "(backward error " + text + "); were the roots or p0 edited?");
  }
}

std::string FormatFamilyStart(const FamilyStart& start) {
  Json doc;
  doc["format"] = kStartFormat;
  doc["version"] = kStartVersion;
  doc["system_hash"] = Hex(start.systemHash);
  doc["parameters"] = start.parameterNames;
  Json p0 = Json::array();
  for (const Complex& p : start.parameters) p0.push_back(Pair(p));
  doc["p0"] = p0;
  doc["seed"] = start.seed;
  doc["route"] = RouteName(start.route);
  doc["start_paths"] = start.pathCount;
  if (start.method == FamilyStart::Method::kMonodromy) doc["method"] = kMonodromyMethod;
  doc["n"] = start.roots.rows();
  Json roots = Json::array();
  for (std::int64_t r = 0; r < start.roots.cols(); ++r) {
    Json x = Json::array();
    for (std::int64_t k = 0; k < start.roots.rows(); ++k) x.push_back(Pair(start.roots(k, r)));
    roots.push_back(Json{{"x", x}, {"multiplicity", start.multiplicity[r]}});
  }
  doc["roots"] = roots;
  return doc.dump(1) + "\n";
}

FamilyStart ParseFamilyStart(std::string_view text, std::string_view source) {
  try {
    return StartFromJson(Json::parse(text));
  } catch (const Json::exception& e) {
    throw Error(ErrorCode::kInvalidInput,
                std::string(source) + ": not a readable start file: " + e.what());
  } catch (const std::logic_error& e) {  // a hash that is not hexadecimal
    throw Error(ErrorCode::kInvalidInput,
                std::string(source) + ": not a readable start file: " + e.what());
  } catch (const Error& e) {
    throw Error(e.code(), std::string(source) + ": " + e.what());
  }
}

void WriteFamilyStartFile(const FamilyStart& start, const std::string& path) {
  WriteFileAtomically(path, FormatFamilyStart(start), "start file");
}

// A start file is a regular file: a FIFO without a writer would block the read for ever, and a
// folder reads as nothing.
FamilyStart ReadFamilyStartFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    throw Error(ErrorCode::kInvalidInput,
                path + ": cannot open the start file: " + std::strerror(errno));
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    throw Error(ErrorCode::kInvalidInput,
                path + ": cannot read the start file: it is " +
                    (S_ISDIR(st.st_mode) ? "a folder" : "not a regular file"));
  }
  std::string text;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int error = errno;
      close(fd);
      throw Error(ErrorCode::kInvalidInput,
                  path + ": cannot read the start file: " + std::strerror(error));
    }
    if (got == 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  close(fd);
  return ParseFamilyStart(text, path);
}

}  // namespace zormix
