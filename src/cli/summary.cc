#include "cli/summary.h"

namespace zormix::cli {
namespace {

std::string Line(const char* label, std::int64_t value) {
  return std::string(label) + ": " + std::to_string(value) + "\n";
}

}  // namespace

std::string ClassificationSummary(const SolveResult& r, bool mixedVolumeOnly) {
  if (mixedVolumeOnly) return {};
  const RootClassCounts& c = r.classes;
  std::string out = Line("regular roots", c.regular);
  out += "singular roots: " + std::to_string(c.singular) +
         " (end points: " + std::to_string(c.singularEndPoints) + ")\n";
  out += Line("real regular roots", c.realRegular);
  out += Line("at infinity", c.atInfinity);
  out += Line("failed paths", c.failed);
  if (r.certification.run) {
    out += "certified roots: " + std::to_string(r.certification.certified) +
           " (distinct: " + std::to_string(r.certification.distinct) +
           ", real: " + std::to_string(r.certification.real) + ")\n";
  }
  return out;
}

}  // namespace zormix::cli
