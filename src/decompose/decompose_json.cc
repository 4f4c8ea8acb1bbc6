#include "decompose/decompose_json.h"

#include <string>

namespace zormix {
namespace {

nlohmann::ordered_json Pairs(const Complex* values, std::int64_t count) {
  nlohmann::ordered_json out = nlohmann::ordered_json::array();
  for (std::int64_t k = 0; k < count; ++k) out.push_back({values[k].real(), values[k].imag()});
  return out;
}

nlohmann::ordered_json Columns(const ColMajorMatrix<Complex>& matrix) {
  nlohmann::ordered_json out = nlohmann::ordered_json::array();
  for (std::int64_t c = 0; c < matrix.cols(); ++c)
    out.push_back(Pairs(matrix.col(c), matrix.rows()));
  return out;
}

nlohmann::ordered_json Rows(const ColMajorMatrix<Complex>& matrix) {
  nlohmann::ordered_json out = nlohmann::ordered_json::array();
  for (std::int64_t r = 0; r < matrix.rows(); ++r) {
    std::vector<Complex> row;
    for (std::int64_t c = 0; c < matrix.cols(); ++c) row.push_back(matrix(r, c));
    out.push_back(Pairs(row.data(), static_cast<std::int64_t>(row.size())));
  }
  return out;
}

nlohmann::ordered_json ComponentJson(const WitnessComponent& c) {
  nlohmann::ordered_json out;
  out["dimension"] = c.dimension;
  out["degree"] = c.degree;
  out["multiplicity"] = c.multiplicity;
  out["witness_points"] = Columns(c.points);
  out["slice"] = {{"coefficients", Rows(c.slice)},
                  {"constants", Pairs(c.sliceConstants.data(),
                                      static_cast<std::int64_t>(c.sliceConstants.size()))}};
  out["trace_residual"] = c.traceResidual;
  out["trace_test_passed"] = c.traceTestPassed;
  return out;
}

nlohmann::ordered_json DimensionJson(const DimensionReport& r) {
  return {{"dimension", r.dimension},
          {"method", r.method},
          {"path_count", r.pathCount},
          {"witness_superset", r.witnessSuperset},
          {"junk", r.junk},
          {"nonsolutions", r.nonsolutions},
          {"at_infinity", r.atInfinity},
          {"failed", r.failed},
          {"seconds", r.seconds}};
}

nlohmann::ordered_json IsolatedPointsJson(const IsolatedPart& part) {
  nlohmann::ordered_json out = nlohmann::ordered_json::array();
  const SolveResult& s = part.solve;
  for (std::int64_t r = 0; r < s.rootCount; ++r) {
    if (!part.isolated[r] || s.groupLeader[r] != r) continue;
    out.push_back(
        {{"values", Pairs(s.roots.col(r), s.n)},
         {"status", RootStatusName(s.rootStatus[r])},
         {"multiplicity", s.rootStatus[r] == RootStatus::kRegular ? 1 : s.multiplicity[r]},
         {"real", s.isReal[r] != 0},
         {"residue", s.residuals[r]},
         {"condition_number", s.conditionNumbers[r]}});
  }
  return out;
}

}  // namespace

nlohmann::ordered_json DecompositionToJson(const Decomposition& d,
                                           const std::vector<std::vector<Complex>>& points,
                                           const std::vector<std::vector<int>>& membership) {
  nlohmann::ordered_json out;
  out["zormix_version"] = ZORMIX_VERSION;
  out["schema_version"] = kDecomposeSchemaVersion;
  out["seed"] = d.seed;
  out["seed_text"] = std::to_string(d.seed);
  out["variables"] = d.variableNames;
  out["unknowns"] = d.n;
  out["equations"] = d.equationCount;
  out["randomized"] = d.randomized;
  out["top_dimension"] = d.topDimension;
  out["summary"] = DecompositionSummary(d);
  out["components"] = nlohmann::ordered_json::array();
  for (const WitnessComponent& c : d.components) out["components"].push_back(ComponentJson(c));
  const IsolatedPart& part = d.isolated;
  out["regular_count"] = part.regular;
  out["real_regular_count"] = part.realRegular;
  out["singular_count"] = part.singular;
  out["singular_end_point_count"] = part.singularEndPoints;
  out["positive_dimensional_count"] = part.positiveDimensional;
  out["embedded_count"] = part.embedded;
  out["extraneous_count"] = part.extraneous;
  out["at_infinity_count"] = part.atInfinity;
  out["failed_count"] = part.failed;
  out["isolated_points"] = IsolatedPointsJson(part);
  out["dimensions"] = nlohmann::ordered_json::array();
  for (const DimensionReport& r : d.dimensions) out["dimensions"].push_back(DimensionJson(r));
  out["warnings"] = d.warnings;
  if (!points.empty()) {
    out["membership"] = nlohmann::ordered_json::array();
    for (std::size_t k = 0; k < points.size(); ++k) {
      out["membership"].push_back(
          {{"point", Pairs(points[k].data(), static_cast<std::int64_t>(points[k].size()))},
           {"components", membership[k]}});
    }
  }
  return out;
}

}  // namespace zormix
