// The start of a family as a JSON file, and the check that a start belongs to a family.
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "base/atomic_file.h"
#include "model/normal_form.h"
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

FamilyStart StartFromJson(const Json& doc) {
  if (!doc.is_object() || doc.value("format", "") != kStartFormat)
    throw Error(ErrorCode::kInvalidInput,
                "not a start file (its \"format\" is not \"" + std::string(kStartFormat) + "\")");
  if (doc.value("version", 0) != kStartVersion)
    throw Error(ErrorCode::kInvalidInput,
                "start file version " + doc.value("version", Json()).dump() +
                    " is not the version " + std::to_string(kStartVersion) + " this program reads");
  FamilyStart start;
  start.systemHash = std::stoull(doc.at("system_hash").get<std::string>(), nullptr, 16);
  start.parameterNames = doc.at("parameters").get<std::vector<std::string>>();
  for (const Json& p : doc.at("p0")) start.parameters.push_back(PairValue(p));
  if (start.parameters.size() != start.parameterNames.size())
    throw Error(ErrorCode::kInvalidInput,
                "\"p0\" holds " + std::to_string(start.parameters.size()) + " values for " +
                    std::to_string(start.parameterNames.size()) + " parameters");
  start.seed = doc.at("seed").get<std::uint64_t>();
  start.route = RouteNamed(doc.at("route").get<std::string>()).value_or(Route::kPolyhedral);
  start.pathCount = doc.at("start_paths").get<std::int64_t>();
  if (doc.value("method", "") == kMonodromyMethod) start.method = FamilyStart::Method::kMonodromy;
  const int n = doc.at("n").get<int>();
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
    start.multiplicity.push_back(roots[r].at("multiplicity").get<std::int32_t>());
  }
  return start;
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
      start.multiplicity.size() != static_cast<std::size_t>(start.roots.cols()))
    throw Error(ErrorCode::kInvalidInput, where + ": the start's roots do not fit the system");
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

FamilyStart ReadFamilyStartFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Error(ErrorCode::kInvalidInput, path + ": cannot open the start file");
  std::ostringstream text;
  text << in.rdbuf();
  return ParseFamilyStart(text.str(), path);
}

}  // namespace zormix
