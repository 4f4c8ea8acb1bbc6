// The per-root records and the summary of a SolveResult: the one view the front ends read.
#include <string>

#include "zormix/result.h"

namespace zormix {
namespace {

template <typename T>
T At(const std::vector<T>& values, std::int64_t k, T otherwise) {
  return k < static_cast<std::int64_t>(values.size()) ? values[static_cast<std::size_t>(k)]
                                                      : otherwise;
}

std::string Counted(std::int64_t k, const char* singular, const char* plural) {
  return std::to_string(k) + " " + (k == 1 ? singular : plural);
}

}  // namespace

const char* RootStatusName(RootStatus status) {
  switch (status) {
    case RootStatus::kRegular:
      return "regular";
    case RootStatus::kSingular:
      return "singular";
    case RootStatus::kPositiveDimensional:
      return "positive-dimensional";
  }
  return "unknown";
}

RootRecord RootAt(const SolveResult& r, std::int64_t k) {
  RootRecord out;
  out.value.assign(r.roots.col(k), r.roots.col(k) + r.n);
  out.residual = At(r.residuals, k, 0.0);
  out.conditionNumber = At(r.conditionNumbers, k, 0.0);
  out.scaledConditionNumber = At(r.scaledConditionNumbers, k, 0.0);
  out.realPoint = At(r.isReal, k, std::uint8_t{0}) != 0;
  out.zeroJacobian = At(r.zeroJacobian, k, std::uint8_t{0}) != 0;
  out.status = At(r.rootStatus, k, RootStatus::kRegular);
  out.real = out.realPoint && out.status == RootStatus::kRegular;
  out.multiplicity = At(r.multiplicity, k, std::int32_t{1});
  out.group = At(r.groupLeader, k, k);
  out.localDimension = At(r.localDimension, k, std::int32_t{0});
  out.certified = At(r.certified, k, std::uint8_t{0}) != 0;
  if (out.certified) {
    out.certifiedReal = At(r.certifiedReal, k, std::uint8_t{0}) != 0;
    out.boxCenter.assign(r.boxCenters.col(k), r.boxCenters.col(k) + r.n);
    out.boxRadius = At(r.boxRadii, k, 0.0);
  }
  out.path = At(r.records, k, PathRecord{});
  return out;
}

// Each root counts by its status, a singular root once per group besides once per end point;
// each path without an end point by whether its status says it diverged.
Summary Summarize(const SolveResult& r) {
  Summary s;
  s.paths = r.pathCount;
  for (std::int64_t k = 0; k < r.roots.cols(); ++k) {
    switch (At(r.rootStatus, k, RootStatus::kRegular)) {
      case RootStatus::kRegular:
        ++s.regular;
        s.realRegular += At(r.isReal, k, std::uint8_t{0}) != 0 ? 1 : 0;
        break;
      case RootStatus::kSingular:
        ++s.singularEndPoints;
        s.singular += At(r.groupLeader, k, k) == k ? 1 : 0;
        s.certifiedSingular +=
            At(r.groupLeader, k, k) == k && At(r.certified, k, std::uint8_t{0}) != 0 ? 1 : 0;
        break;
      case RootStatus::kPositiveDimensional:
        ++s.positiveDimensional;
        break;
    }
    s.rescued += At(r.records, k, PathRecord{}).status == PathStatus::kRescued ? 1 : 0;
  }
  for (const PathRecord& path : r.lostPaths)
    ++(IsAtInfinity(path.status) ? s.atInfinity : s.failed);
  s.seed = r.seed;
  s.certification = r.certification;
  return s;
}

std::string Summary::BriefReport() const {
  const std::string dot = " \u00b7 ";
  std::string out = Counted(regular, "regular root", "regular roots") + " (" +
                    std::to_string(realRegular) + " real)";
  if (singularEndPoints > 0) {
    out += dot + Counted(singular, "singular root", "singular roots") + " from " +
           Counted(singularEndPoints, "path", "paths");
  }
  if (positiveDimensional > 0) {
    out += dot + Counted(positiveDimensional, "path", "paths") + " on positive-dimensional sets";
  }
  out += dot + Counted(atInfinity, "path", "paths") + " to infinity";
  out += dot + std::to_string(failed) + " failed";
  out += dot + Counted(paths, "path", "paths");
  if (certification.run) {
    out += dot + std::to_string(certification.certified) + " certified (" +
           std::to_string(certification.distinct) + " distinct, " +
           std::to_string(certification.real) + " real)";
    if (certifiedSingular > 0)
      out += dot + Counted(certifiedSingular, "singular root", "singular roots") + " certified";
  }
  return out + dot + "seed " + std::to_string(seed);
}

std::string Summary::FullReport() const {
  auto line = [](const char* label, std::int64_t value) {
    return std::string(label) + ": " + std::to_string(value) + "\n";
  };
  std::string out =
      line("regular roots", regular) + line("real regular roots", realRegular) +
      line("singular roots", singular) + line("singular end points", singularEndPoints) +
      line("positive-dimensional end points", positiveDimensional) +
      line("at infinity", atInfinity) + line("failed paths", failed) + line("paths", paths);
  if (certification.run) {
    out += line("certified roots", certification.certified) +
           line("certified distinct", certification.distinct) +
           line("certified real", certification.real) +
           line("certified singular roots", certifiedSingular);
  }
  return out + "seed: " + std::to_string(seed) + "\n";
}

}  // namespace zormix
