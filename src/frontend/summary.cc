#include "frontend/summary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

namespace zormix::frontend {
namespace {

// The real-root rule's tolerance (finish/finish.cc): imaginary parts below it relative to the
// largest modulus make a point real.
constexpr double kRealTolerance = 1e-7;
constexpr double kUnitRoundoff = std::numeric_limits<double>::epsilon() / 2;
// Variables named in the summary before "... (N variables)".
constexpr std::size_t kVariablesShown = 50;

std::string Number(double x) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.6g", x);
  return buffer;
}

std::string VariablesLine(const std::vector<std::string>& names) {
  std::string line = "variables: ";
  for (std::size_t k = 0; k < std::min(names.size(), kVariablesShown); ++k)
    line += (k > 0 ? ", " : "") + names[k];
  if (names.size() > kVariablesShown)
    line += ", ... (" + std::to_string(names.size()) + " variables)";
  return line + "\n";
}

std::string StatusText(const RootRecord& root) {
  switch (root.status) {
    case RootStatus::kRegular:
      return root.real ? "regular  real" : "regular";
    case RootStatus::kSingular:
      return "singular, multiplicity " + std::to_string(root.multiplicity);
    case RootStatus::kPositiveDimensional:
      return "on a set of dimension " + std::to_string(root.localDimension);
  }
  return "";
}

}  // namespace

std::string SummaryBlock(const SolveResult& r, bool mixedVolumeOnly) {
  const std::string route = std::string("route: ") + RouteName(r.route) + "\n";
  if (!mixedVolumeOnly)
    return Summarize(r).BriefReport() + "\n" + VariablesLine(r.variableNames) + route;
  return "mixed volume: " + std::to_string(r.pathCount) +
         "\nmixed cells: " + std::to_string(r.cellCount) + "\n" + route +
         "seed: " + std::to_string(r.seed) + "\n";
}

double NoiseLevel(const RootRecord& root) {
  double size = 0.0;
  for (const Complex& x : root.value) size = std::max(size, std::abs(x));
  const double relative =
      std::min(kRealTolerance, kUnitRoundoff * std::max(4.0, root.scaledConditionNumber));
  return relative * size;
}

std::string ShownCoordinate(Complex value, double noise) {
  const double re = std::fabs(value.real()) > noise ? value.real() : 0.0;
  const double im = std::fabs(value.imag()) > noise ? value.imag() : 0.0;
  if (im == 0.0) return Number(re);
  if (re == 0.0) return Number(im) + "i";
  return Number(re) + (im < 0 ? " - " : " + ") + Number(std::fabs(im)) + "i";
}

std::string RootsBlock(const SolveResult& r, std::int64_t maxRoots) {
  const std::int64_t count = r.roots.cols();
  if (count == 0) return std::string();
  const std::int64_t shown = std::min(count, maxRoots);
  std::vector<std::vector<std::string>> cells;
  std::vector<std::string> statuses;
  std::size_t width = 0;
  for (std::int64_t k = 0; k < shown; ++k) {
    const RootRecord root = RootAt(r, k);
    const double noise = NoiseLevel(root);
    std::vector<std::string>& row = cells.emplace_back();
    for (const Complex& x : root.value) {
      row.push_back(ShownCoordinate(x, noise));
      width = std::max(width, row.back().size());
    }
    statuses.push_back(StatusText(root));
  }
  std::string out = "roots (";
  for (std::size_t v = 0; v < r.variableNames.size(); ++v)
    out += (v > 0 ? ", " : "") + r.variableNames[v];
  out += "):\n";
  for (std::size_t k = 0; k < cells.size(); ++k) {
    for (const std::string& cell : cells[k])
      out += "  " + cell + std::string(width - cell.size(), ' ');
    out += "  " + statuses[k] + "\n";
  }
  if (count > shown) out += "  ... " + std::to_string(count - shown) + " more\n";
  return out;
}

}  // namespace zormix::frontend
