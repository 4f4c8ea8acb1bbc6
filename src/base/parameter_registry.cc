#include "base/parameter_registry.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>

#include "zormix/error.h"

namespace zormix {
namespace {

// One entry of ZORMIX_PARAMETERS: the text of its value and whether a parameter took it.
struct Override {
  std::string text;
  bool used = false;
};

struct Registry {
  std::vector<const Parameter*> parameters;
  std::map<std::string, Override, std::less<>> overrides;  // from ZORMIX_PARAMETERS
  std::vector<std::string> problems;  // entries that are malformed, unknown or out of range
};

std::string_view Trim(std::string_view text) {
  const std::size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return {};
  const std::size_t end = text.find_last_not_of(" \t");
  return text.substr(begin, end - begin + 1);
}

// "a=1e-3, b = 2" -> {a: "1e-3", b: "2"}; an entry without '=' is a problem.
void ParseOverrides(std::string_view text, Registry& registry) {
  while (!text.empty()) {
    const std::size_t comma = text.find(',');
    const std::string_view entry = Trim(text.substr(0, comma));
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    if (entry.empty()) continue;
    const std::size_t equals = entry.find('=');
    if (equals == std::string_view::npos) {
      std::string problem(1, '\'');  // built by appending: GCC 12 misjudges "'" + string
      problem.append(entry).append("' is not name=value");
      registry.problems.push_back(std::move(problem));
      continue;
    }
    registry.overrides[std::string(Trim(entry.substr(0, equals)))] =
        Override{std::string(Trim(entry.substr(equals + 1))), false};
  }
}

// Constructed by the first parameter, before main: the environment is read once.
Registry& TheRegistry() {
  static Registry registry = [] {
    Registry r;
    if (const char* text = std::getenv("ZORMIX_PARAMETERS")) ParseOverrides(text, r);
    return r;
  }();
  return registry;
}

// The value `text` gives parameter `declaration`, or declaration.value with a problem recorded.
double OverriddenValue(const ParameterDeclaration& declaration, const std::string& text,
                       Registry& registry) {
  double value = 0.0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  const std::string name(declaration.name);
  if (ec != std::errc() || ptr != end || !std::isfinite(value)) {
    registry.problems.push_back(name + ": '" + text + "' is not a number");
    return declaration.value;
  }
  if (value < declaration.lowest || value > declaration.highest) {
    char range[96];
    std::snprintf(range, sizeof range, "%.17g outside its range [%.17g, %.17g]", value,
                  declaration.lowest, declaration.highest);
    registry.problems.push_back(name + ": " + range);
    return declaration.value;
  }
  return value;
}

std::string FormatNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}

}  // namespace

Parameter::Parameter(const ParameterDeclaration& declaration)
    : declaration_(declaration), value_(declaration.value) {
  Registry& registry = TheRegistry();
  registry.parameters.push_back(this);
  const auto found = registry.overrides.find(declaration.name);
  if (found == registry.overrides.end()) return;
  found->second.used = true;
  value_ = OverriddenValue(declaration, found->second.text, registry);
}

std::vector<const Parameter*> RegisteredParameters() {
  std::vector<const Parameter*> parameters = TheRegistry().parameters;
  std::sort(parameters.begin(), parameters.end(), [](const Parameter* a, const Parameter* b) {
    return a->declaration().name < b->declaration().name;
  });
  return parameters;
}

void CheckParameterOverrides() {
  const Registry& registry = TheRegistry();
  std::vector<std::string> problems = registry.problems;
  for (const auto& [name, entry] : registry.overrides)
    if (!entry.used) problems.push_back("no parameter is named '" + name + "'");
  if (problems.empty()) return;
  std::string message = "ZORMIX_PARAMETERS: " + problems.front();
  for (std::size_t k = 1; k < problems.size(); ++k) message += "; " + problems[k];
  message += " (zormix --parameters lists the parameters and their ranges)";
  throw Error(ErrorCode::kBadArgument, message);
}

std::string MovedParameters() {
  std::string moved;
  for (const Parameter* p : RegisteredParameters()) {
    if (!p->moved()) continue;
    if (!moved.empty()) moved += ", ";
    moved += std::string(p->declaration().name) + "=" + FormatNumber(p->value());
  }
  return moved;
}

std::string FormatParameterTable() {
  std::string table;
  for (const Parameter* p : RegisteredParameters()) {
    const ParameterDeclaration& s = p->declaration();
    table += std::string(s.name) + " = " + FormatNumber(p->value());
    if (p->moved()) table += " (moved from " + FormatNumber(s.value) + ")";
    table += "   range [" + FormatNumber(s.lowest) + ", " + FormatNumber(s.highest) + "]\n";
    table += "    " + std::string(s.decides) + "\n";
    if (!s.reason.empty()) table += "    why: " + std::string(s.reason) + "\n";
  }
  return table;
}

}  // namespace zormix
