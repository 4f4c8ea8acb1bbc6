#include "frontend/json_output.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace zormix::frontend {
namespace {

// Receives the members of the document's top-level object in order. The arrays that grow with
// the path count (roots, lost paths) arrive one element at a time.
class MemberSink {
 public:
  virtual void Member(const char* key, nlohmann::ordered_json value) = 0;
  virtual void BeginArray(const char* key) = 0;
  virtual void Element(nlohmann::ordered_json value) = 0;
  virtual void EndArray() = 0;

 protected:
  ~MemberSink() = default;
};

// The members into one ordered_json object.
class DocumentSink final : public MemberSink {
 public:
  void Member(const char* key, nlohmann::ordered_json value) override {
    document_[key] = std::move(value);
  }
  void BeginArray(const char* key) override {
    array_ = &(document_[key] = nlohmann::ordered_json::array());
  }
  void Element(nlohmann::ordered_json value) override { array_->push_back(std::move(value)); }
  void EndArray() override { array_ = nullptr; }

  nlohmann::ordered_json Take() { return std::move(document_); }

 private:
  nlohmann::ordered_json document_;
  nlohmann::ordered_json* array_ = nullptr;  // the array being filled; no member is added meanwhile
};

// The members as text, laid out as nlohmann's dump(2) lays out the whole object: a member at
// depth 1 ("  "), an array element at depth 2 ("    "), every nested line indented 2 more per
// level, "[]" for an empty array. A member's value is dumped alone and each of its line breaks
// followed by the indent of its depth (JSON strings escape their line breaks, so every '\n' of a
// dump is layout).
class TextSink final : public MemberSink {
 public:
  explicit TextSink(const std::function<void(std::string_view)>& write) : write_(write) {
    write_("{");
  }
  void Member(const char* key, nlohmann::ordered_json value) override {
    Key(key);
    WriteIndented(value, kMemberIndent);
  }
  void BeginArray(const char* key) override {
    Key(key);
    write_("[");
    elements_ = 0;
  }
  void Element(nlohmann::ordered_json value) override {
    write_(elements_++ == 0 ? "\n" : ",\n");
    write_(kElementIndent);
    WriteIndented(value, kElementIndent);
  }
  void EndArray() override { write_(elements_ == 0 ? "]" : "\n  ]"); }
  void Finish() { write_("\n}\n"); }

 private:
  static constexpr std::string_view kMemberIndent = "  ";
  static constexpr std::string_view kElementIndent = "    ";

  void Key(const char* key) {
    write_(members_++ == 0 ? "\n" : ",\n");
    piece_.assign(kMemberIndent).append(nlohmann::ordered_json(key).dump()).append(": ");
    write_(piece_);
  }
  void WriteIndented(const nlohmann::ordered_json& value, std::string_view indent) {
    const std::string text = value.dump(2);
    piece_.clear();
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
      piece_.append(text, start, end + 1 - start).append(indent);
    }
    piece_.append(text, start);
    write_(piece_);
  }

  const std::function<void(std::string_view)>& write_;
  std::string piece_;  // reused: one allocation for all elements of the size of the largest
  std::int64_t members_ = 0;
  std::int64_t elements_ = 0;
};

nlohmann::ordered_json Pairs(const std::vector<Complex>& values) {
  nlohmann::ordered_json pairs = nlohmann::ordered_json::array();
  for (const Complex& v : values) pairs.push_back({v.real(), v.imag()});
  return pairs;
}

nlohmann::ordered_json RootToJson(const SolveResult& r, std::int64_t k) {
  const RootRecord root = RootAt(r, k);
  const PathRecord& p = root.path;
  nlohmann::ordered_json out = {{"values", Pairs(root.value)},
                                {"residue", root.residual},
                                {"condition_number", root.conditionNumber},
                                {"real", root.real},
                                {"path",
                                 {{"cell", p.cell},
                                  {"start_index", p.startIndex},
                                  {"steps", p.steps},
                                  {"retracks", p.retrackCount}}},
                                {"status", RootStatusName(root.status)},
                                {"scaled_condition_number", root.scaledConditionNumber},
                                {"multiplicity", root.multiplicity},
                                {"group_leader", root.group},
                                {"certified", root.certified}};
  if (root.certified) {
    out["box"] = {{"center", Pairs(root.boxCenter)}, {"radius", root.boxRadius}};
    out["certified_real"] = root.certifiedReal;
  }
  out["local_dimension"] = root.localDimension;
  out["winding_number"] = p.windingNumber;
  out["real_point"] = root.realPoint;
  return out;
}

nlohmann::ordered_json PathToJson(const PathRecord& p) {
  return {{"cell", p.cell},
          {"start_index", p.startIndex},
          {"steps", p.steps},
          {"retracks", p.retrackCount},
          {"status", PathStatusName(p.status)}};
}

void EmitPaths(const char* key, const std::vector<PathRecord>& paths, bool atInfinity,
               MemberSink& out) {
  out.BeginArray(key);
  for (const PathRecord& p : paths) {
    if (IsAtInfinity(p.status) != atInfinity) continue;
    nlohmann::ordered_json path = PathToJson(p);
    // The exponent that proved the divergence: the largest coordinate grows like d^valuation as
    // the distance d = 1 - t to the target shrinks. A path beyond the route's size bound before
    // any estimate was taken has none.
    if (atInfinity && p.valuation < 0.0) path["valuation"] = p.valuation;
    out.Element(path);
  }
  out.EndArray();
}

void EmitSummary(const SolveResult& r, MemberSink& out) {
  const Summary s = Summarize(r);
  out.Member("regular_count", s.regular);
  out.Member("singular_count", s.singular);
  out.Member("singular_end_point_count", s.singularEndPoints);
  out.Member("real_regular_count", s.realRegular);
  out.Member("at_infinity_count", s.atInfinity);
  out.Member("failed_count", s.failed);
  out.Member("rescued_count", s.rescued);
  out.Member("certification_run", s.certification.run);
  out.Member("certified_count", s.certification.certified);
  out.Member("certified_distinct_count", s.certification.distinct);
  out.Member("certified_real_count", s.certification.real);
  // Clock readings differ from run to run: only a run that measures its costs (certification
  // asked for) writes them, so that by default the same seed writes the same file byte for byte.
  if (s.certification.run)
    out.Member("timings", {{"mixed_cells", r.timings.mixedCells},
                           {"tracking", r.timings.tracking},
                           {"finishing", r.timings.finishing},
                           {"classification", r.timings.classification},
                           {"certification", r.timings.certification}});
  // Failed and lost are one word: a path whose verdict is unknown.
  EmitPaths("lost_paths", r.lostPaths, false, out);
  out.Member("positive_dimensional_count", s.positiveDimensional);
  out.Member("summary", s.BriefReport());
  EmitPaths("at_infinity_paths", r.lostPaths, true, out);
}

void EmitResult(const SolveResult& r, bool mixedVolumeOnly, MemberSink& out) {
  out.Member("zormix_version", ZORMIX_VERSION);
  out.Member("route", RouteName(r.route));
  out.Member("seed", r.seed);
  out.Member("seed_text", std::to_string(r.seed));
  out.Member("schema_version", kSchemaVersion);
  out.Member("variables", r.variableNames);
  out.Member("path_count", r.pathCount);
  out.Member("cell_count", r.cellCount);
  if (mixedVolumeOnly) {
    out.Member("mixed_volume", r.pathCount);
    return;
  }
  const Summary summary = Summarize(r);
  out.Member("root_count", r.rootCount);
  out.Member("real_count", summary.realRegular);
  out.Member("blow_up_count", r.counts.blowUps);
  out.Member("end_point_count", r.counts.endPoints);
  out.Member("retracked_paths", r.counts.retracked);
  out.Member("separated_pairs", r.counts.separatedPairs);
  out.Member("rescue_attempts", r.counts.rescueAttempts);
  out.Member("rescued_paths", r.counts.rescued);
  EmitSummary(r, out);
  out.Member("lost_path_count", summary.failed);
  out.Member("warnings", r.warnings);
  out.BeginArray("roots");
  for (std::int64_t k = 0; k < r.roots.cols(); ++k) out.Element(RootToJson(r, k));
  out.EndArray();
}

}  // namespace

void WriteResultJson(const SolveResult& result, bool mixedVolumeOnly,
                     const std::function<void(std::string_view)>& write) {
  TextSink text(write);
  EmitResult(result, mixedVolumeOnly, text);
  text.Finish();
}

nlohmann::ordered_json ResultToJson(const SolveResult& result, bool mixedVolumeOnly) {
  DocumentSink document;
  EmitResult(result, mixedVolumeOnly, document);
  return document.Take();
}

std::string MemberJsonLine(const MemberFields& member, const SolveResult& result) {
  nlohmann::ordered_json record;
  record["instance"] = member.instance;
  record["parameters"] = Pairs(member.parameters);
  record["solved"] = member.solved;
  if (!member.solved) {
    record["error"] = member.error;
    return record.dump() + "\n";
  }
  const nlohmann::ordered_json solve = ResultToJson(result, false);
  for (auto it = solve.begin(); it != solve.end(); ++it) record[it.key()] = it.value();
  record["route"] = "parameter";
  record["flagged"] = member.flagged;
  record["gamma_attempts"] = member.gammaAttempts;
  return record.dump() + "\n";
}

}  // namespace zormix::frontend
