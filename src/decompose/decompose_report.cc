// The decomposition in one line for people.
#include <map>
#include <string>
#include <vector>

#include "zormix/decompose.h"

namespace zormix {
namespace {

std::string Count(std::int64_t k, const std::string& noun) {
  return std::to_string(k) + " " + noun + (k == 1 ? "" : "s");
}

std::string ComponentsText(const std::vector<const WitnessComponent*>& components) {
  const auto degree = [](const WitnessComponent& c) {
    std::string text = std::to_string(c.degree);
    if (c.multiplicity > 1) text += " (multiplicity " + std::to_string(c.multiplicity) + ")";
    return text;
  };
  if (components.size() == 1) return "1 component of degree " + degree(*components[0]);
  std::string text =
      Count(static_cast<std::int64_t>(components.size()), "component") + ", degrees ";
  for (std::size_t k = 0; k < components.size(); ++k)
    text += (k ? ", " : "") + degree(*components[k]);
  return text;
}

std::string IsolatedText(const IsolatedPart& part) {
  std::vector<std::string> pieces;
  if (part.regular > 0) pieces.push_back(Count(part.regular, "regular point"));
  if (part.singular > 0) {
    pieces.push_back(Count(part.singular, "singular point") + " (multiplicities summing to " +
                     std::to_string(part.singularEndPoints) + ")");
  }
  if (pieces.empty()) return "no isolated points";
  std::string text;
  for (std::size_t k = 0; k < pieces.size(); ++k) text += (k ? ", " : "") + pieces[k];
  return text;
}

}  // namespace

std::string DecompositionSummary(const Decomposition& d) {
  std::map<int, std::vector<const WitnessComponent*>, std::greater<>> byDimension;
  for (const WitnessComponent& c : d.components) byDimension[c.dimension].push_back(&c);
  std::string text;
  for (const auto& [dimension, components] : byDimension) {
    if (!text.empty()) text += " · ";
    text += "dimension " + std::to_string(dimension) + ": " + ComponentsText(components);
  }
  const bool hasDimensionZero = d.n <= d.equationCount;
  if (hasDimensionZero) {
    if (!text.empty()) text += " · ";
    text += "dimension 0: " + IsolatedText(d.isolated);
  }
  if (text.empty()) text = "no solutions";
  return text;
}

}  // namespace zormix
