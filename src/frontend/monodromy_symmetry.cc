#include "frontend/monodromy_symmetry.h"

#include <cstdlib>
#include <vector>

#include "zormix/error.h"

namespace zormix::frontend {
namespace {

std::string Trim(const std::string& s) {
  const std::size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return "";
  const std::size_t b = s.find_last_not_of(" \t");
  return s.substr(a, b - a + 1);
}

Error Bad(const std::string& text, const std::string& why) {
  return Error(ErrorCode::kBadArgument, "--symmetry '" + text + "': " + why);
}

}  // namespace

MonodromySymmetry ParseSymmetry(const std::string& text, const ParametricSystem& family) {
  std::vector<std::string> names;
  for (const std::string& padded : family.variableNames) names.push_back(Trim(padded));
  std::vector<std::string> entries;
  std::size_t from = 0;
  for (;;) {
    const std::size_t comma = text.find(',', from);
    entries.push_back(Trim(text.substr(from, comma - from)));
    if (comma == std::string::npos) break;
    from = comma + 1;
  }
  if (entries.size() != names.size())
    throw Bad(text, "gives " + std::to_string(entries.size()) + " images for " +
                        std::to_string(names.size()) + " unknowns");
  MonodromySymmetry g;
  std::vector<bool> taken(names.size(), false);
  for (const std::string& entry : entries) {
    std::string rest = entry;
    Complex factor = 1.0;
    if (!rest.empty() && rest[0] == '-') {
      factor = -1.0;
      rest = Trim(rest.substr(1));
    }
    const std::size_t star = rest.find('*');
    if (star != std::string::npos) {
      const std::string scale = Trim(rest.substr(0, star));
      rest = Trim(rest.substr(star + 1));
      if (scale == "i" || scale == "I") {
        factor *= Complex(0.0, 1.0);
      } else {
        char* end = nullptr;
        const double value = std::strtod(scale.c_str(), &end);
        if (scale.empty() || end != scale.c_str() + scale.size())
          throw Bad(text, "'" + entry + "' has a factor that is not a number or i");
        factor *= value;
      }
    }
    int source = -1;
    for (std::size_t k = 0; k < names.size(); ++k)
      if (names[k] == rest) source = static_cast<int>(k);
    if (source < 0) throw Bad(text, "'" + rest + "' is not an unknown of the family");
    if (taken[static_cast<std::size_t>(source)])
      throw Bad(text, "'" + rest + "' appears twice: the images must permute the unknowns");
    taken[static_cast<std::size_t>(source)] = true;
    g.source.push_back(source);
    g.factor.push_back(factor);
  }
  return g;
}

}  // namespace zormix::frontend
