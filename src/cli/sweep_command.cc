#include "cli/sweep_command.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <utility>

#include "cli/interrupt.h"
#include "cli/parameter_values.h"
#include "frontend/front_end.h"
#include "frontend/input.h"
#include "frontend/json_output.h"
#include "frontend/output.h"
#include "solve/family_start.h"
#include "solve/sweep_job.h"
#include "zormix/error.h"
#include "zormix/parametric.h"
#include "zormix/sweep.h"

#ifdef ZORMIX_MPI
#include "cluster/mpi_job.h"
#include "cluster/mpi_messages.h"
#include "cluster/sweep_share.h"
#endif

namespace zormix::cli {
// Input, output, JSON and progress of every front end.
using namespace ::zormix::frontend;  // NOLINT(google-build-using-namespace)
namespace {

constexpr int kExitInterrupted = 130;

struct Resolved {
  std::optional<std::uint64_t> seed;
  int threads = 0;
  std::optional<std::int64_t> maxPaths;
};

// Seed, threads (options over environment) and path limit; nullopt after a usage error was
// reported.
std::optional<Resolved> ResolveRunSettings(const std::string& seed, const std::string& threads,
                                           const std::string& maxPaths, const UsageReporter& usage,
                                           int& exitCode) {
  try {
    Resolved r;
    r.seed = seed.empty() ? SeedFromEnvironment() : ParseSeed(seed, "--seed");
    r.threads =
        threads.empty() ? ThreadsFromEnvironment().value_or(0) : ParseThreads(threads, "--threads");
    std::string why;
    r.maxPaths = ParseMaxPaths(maxPaths, why);
    if (!why.empty()) {
      exitCode = usage(why);
      return std::nullopt;
    }
    return r;
  } catch (const Error& error) {
    exitCode = usage(error.what());
    return std::nullopt;
  }
}

ParametricSystem LoadFamily(const std::string& path) {
  return ParseParametricText(ReadWholeFile(path), InputName(path));
}

// The member's JSON line.
std::string MemberRecord(const MemberResult& m) {
  return MemberJsonLine(MemberFields{m.instance, m.parameters, m.solved, m.error, m.flagged,
                                     m.gammaAttempts, m.freshSolve},
                        m.result);
}

// The VALUES file, checked whole before any work and then read again one member at a time, so
// that the sweep holds no more members than it is solving. Standard input and pipes, which cannot
// be read twice, are kept as text.
class ValuesFile {
 public:
  ValuesFile(const std::string& path, int parameterCount)
      : path_(path), name_(InputName(path)), parameterCount_(parameterCount) {
    std::error_code error;
    if (path != kStandardStream && std::filesystem::is_regular_file(path, error)) {
      std::ifstream in = Open();
      count_ = Count(in);
    } else {
      text_ = ReadWholeFile(path);
      std::istringstream in(*text_);
      count_ = Count(in);
    }
  }

  std::int64_t count() const { return count_; }

  // The members from the first, read as they are asked for.
  MemberSource Source() {
    if (text_) {
      stream_ = std::make_unique<std::istringstream>(*text_);
    } else {
      stream_ = std::make_unique<std::ifstream>(Open());
    }
    reader_ = std::make_unique<ParameterValuesReader>(*stream_, name_, parameterCount_);
    return [this] { return reader_->Next(); };
  }

 private:
  std::ifstream Open() const {
    std::ifstream in(path_, std::ios::binary);
    if (!in) throw Error(ErrorCode::kInvalidInput, path_ + ": cannot open the values file");
    return in;
  }

  std::int64_t Count(std::istream& in) const {
    ParameterValuesReader reader(in, name_, parameterCount_);
    std::int64_t count = 0;
    while (reader.Next()) ++count;
    return count;
  }

  std::string path_, name_;
  int parameterCount_;
  std::optional<std::string> text_;
  std::int64_t count_ = 0;
  std::unique_ptr<std::istream> stream_;
  std::unique_ptr<ParameterValuesReader> reader_;
};

// Every file the sweep writes is apart from every file it reads and from each other, however
// named; a usage error otherwise.
std::optional<std::string> CollidingFiles(const SweepArgs& a) {
  try {
    CheckOutputsApart({{"family", a.system}, {"values file", a.values}, {"start file", a.start}},
                      {{"JSON file", a.json}, {"start file to save", a.saveStart}});
  } catch (const Error& error) {
    return std::string(error.what());
  }
  return std::nullopt;
}

// What the command line asks that cannot be done, as a usage error; nullopt when all is well.
std::optional<std::string> SweepUsageError(const SweepArgs& a) {
  if (a.system == kStandardStream && a.values == kStandardStream)
    return "the family and the values cannot both come from standard input ('-')";
  if (a.start == kStandardStream)
    return "--start '-': the start is read from a file, not from standard input";
  if (a.saveStart == kStandardStream)
    return "--save-start '-': the start is written to a file, not to standard output";
  if (a.resume && (a.json.empty() || a.json == kStandardStream))
    return "--resume continues the records of a --json FILE (not standard output)";
  return CollidingFiles(a);
}

// What the table shows of a member: the same whether the member was solved here or on another
// rank of an MPI job. Its paths, one column each by verdict, add up: regular + singular (the
// paths ending at singular roots, a root of multiplicity m counted m times) + positive-dimensional
// + at infinity + failed = the member's paths.
struct MemberRow {
  std::int64_t instance = 0;
  bool solved = false;
  std::string error;
  bool flagged = false;
  std::int64_t regular = 0, realRegular = 0, singular = 0, atInfinity = 0, failed = 0;
  double seconds = 0.0;
  std::int64_t positiveDimensional = 0;
};

MemberRow RowOf(const MemberResult& m) {
  const RootClassCounts& c = m.result.classes;
  return {m.instance,
          m.solved,
          m.error,
          m.flagged,
          c.regular,
          c.realRegular,
          c.singularEndPoints,
          c.atInfinity,
          c.failed,
          m.seconds,
          c.positiveDimensional};
}

struct Totals {
  std::int64_t members = 0, failedMembers = 0, flagged = 0;
  std::int64_t regular = 0, realRegular = 0, singular = 0, positiveDimensional = 0;
  std::int64_t atInfinity = 0, failed = 0;
  double seconds = 0.0;
};

void PrintRow(std::FILE* out, const MemberRow& m, Totals& totals) {
  ++totals.members;
  totals.seconds += m.seconds;
  if (!m.solved) {
    ++totals.failedMembers;
    std::fprintf(out, "%8" PRId64 "  not solved: %s\n", m.instance, m.error.c_str());
    return;
  }
  totals.flagged += m.flagged;
  totals.regular += m.regular;
  totals.realRegular += m.realRegular;
  totals.singular += m.singular;
  totals.positiveDimensional += m.positiveDimensional;
  totals.atInfinity += m.atInfinity;
  totals.failed += m.failed;
  std::fprintf(out,
               "%8" PRId64 " %8" PRId64 " %8" PRId64 " %8" PRId64 " %8" PRId64 " %8" PRId64
               " %8" PRId64 " %9.4f%s\n",
               m.instance, m.regular, m.realRegular, m.singular, m.positiveDimensional,
               m.atInfinity, m.failed, m.seconds, m.flagged ? "  re-tracked" : "");
}

void PrintHeader(std::FILE* out) {
  std::fprintf(out, "%8s %8s %8s %8s %8s %8s %8s %9s\n", "instance", "regular", "real", "singular",
               "pos-dim", "infinity", "failed", "time");
}

void PrintTotals(std::FILE* out, const Totals& t) {
  std::fprintf(out,
               "%8s %8" PRId64 " %8" PRId64 " %8" PRId64 " %8" PRId64 " %8" PRId64 " %8" PRId64
               " %9.4f\n",
               "total", t.regular, t.realRegular, t.singular, t.positiveDimensional, t.atInfinity,
               t.failed, t.seconds);
  std::fprintf(out, "instances: %" PRId64 " (%" PRId64 " not solved, %" PRId64 " re-tracked)\n",
               t.members, t.failedMembers, t.flagged);
}

bool ShowsProgress(bool quiet, bool progress) {
  return !quiet && (progress || isatty(STDERR_FILENO));
}

// The start solve; in an MPI job over every rank, as a solve is (the other ranks serve it with
// cluster::ServeRankZero), with the same result whatever the ranks.
FamilyStart SolveStart(const ParametricSystem& family, const SweepOptions& options) {
#ifdef ZORMIX_MPI
  return SolveFamilyStartWith(family, options,
                              [](const PolySystem& member, const SolveOptions& solve) {
                                return cluster::SolveOnRankZero(member, solve);
                              });
#else
  return SolveFamilyStart(family, options);
#endif
}

FamilyStart ObtainStart(const ParametricSystem& family, const SweepArgs& a,
                        const SweepOptions& options, bool showProgress) {
  if (!a.start.empty()) {
    FamilyStart start = ReadFamilyStartFile(a.start);
    CheckStartBelongs(family, start, a.start);
    return start;
  }
  if (showProgress) std::fprintf(stderr, "zormix: start solve at random parameters\n");
  return SolveStart(family, options);
}

void ReportStart(std::FILE* out, const FamilyStart& start) {
  std::fprintf(out, "start: %" PRId64 " roots from %" PRId64 " paths%s, seed %" PRIu64 "\n",
               start.roots.cols(), start.pathCount,
               start.method == FamilyStart::Method::kMonodromy ? " of monodromy" : "", start.seed);
}

using MemberSink = std::function<void(const std::string& record, const MemberRow& row)>;

#ifdef ZORMIX_MPI
// A member's record and row as the bytes a rank sends back to rank 0.
std::string EncodeMemberOutput(const MemberResult& m, bool wantRecord) {
  const MemberRow r = RowOf(m);
  const nlohmann::json row = {r.instance,           r.solved,   r.error,      r.flagged, r.regular,
                              r.realRegular,        r.singular, r.atInfinity, r.failed,  r.seconds,
                              r.positiveDimensional};
  return nlohmann::json{{"row", row}, {"record", wantRecord ? MemberRecord(m) : ""}}.dump();
}

void EmitMemberOutput(const std::string& bytes, const MemberSink& emit) {
  const nlohmann::json doc = nlohmann::json::parse(bytes);
  const nlohmann::json& row = doc.at("row");
  const MemberRow r{
      row[0].get<std::int64_t>(), row[1].get<bool>(),         row[2].get<std::string>(),
      row[3].get<bool>(),         row[4].get<std::int64_t>(), row[5].get<std::int64_t>(),
      row[6].get<std::int64_t>(), row[7].get<std::int64_t>(), row[8].get<std::int64_t>(),
      row[9].get<double>(),       row[10].get<std::int64_t>()};
  emit(doc.at("record").get<std::string>(), r);
}
#endif

// The members on this process's threads, or over the ranks of an MPI job; emit gets them in
// member order either way.
void SweepMembers(SweepJob& job, const MemberSource& next, std::int64_t firstInstance,
                  const MemberSink& emit) {
#ifdef ZORMIX_MPI
  if (cluster::Size() > 1) {
    if (firstInstance != 1)
      throw Error(ErrorCode::kBadArgument,
                  "--resume: a sweep over MPI ranks starts from its first member");
    // The ranks are sent every member at once.
    while (std::optional<std::vector<Complex>> member = next())
      job.members.push_back(std::move(*member));
    cluster::SweepOverRanks(job, EncodeMemberOutput,
                            [&](std::string&& bytes) { EmitMemberOutput(bytes, emit); });
    return;
  }
#endif
  SweepFamily(
      job.family, job.start, next, job.options,
      [&](MemberResult&& m) { emit(job.wantRecords ? MemberRecord(m) : std::string(), RowOf(m)); },
      firstInstance);
}

// --resume: the records already in the JSON file, each checked to be the record this sweep would
// write for its member (its instance, its member's values of VALUES, read from `next` in step, the
// seed and the certification), are kept and their members skipped; a torn last line is cut off.
// A sweep without a seed takes the one its records were made with. Anything else in the file
// refuses it, leaving it as it was. Returns the members kept.
std::int64_t KeepRecordsDone(RecordFile& records, const std::string& path, const MemberSource& next,
                             SweepOptions& options) {
  std::int64_t instance = 0;
  const auto refuse = [&](const std::string& what) {
    throw Error(ErrorCode::kInvalidInput,
                path + ": line " + std::to_string(instance) + " " + what +
                    "; --resume continues the sweep that wrote the file, with the same VALUES");
  };
  return records.Resume([&](std::string_view line) {
    ++instance;
    const nlohmann::json record = nlohmann::json::parse(line, nullptr, false);
    if (!record.is_object() || !record.contains("instance") || !record.contains("parameters"))
      refuse("is not the record of a sweep's member");
    if (record["instance"] != instance)
      refuse("is not the record of instance " + std::to_string(instance));
    const std::optional<std::vector<Complex>> values = next();
    if (!values) refuse("is past the last member of VALUES");
    nlohmann::json pairs = nlohmann::json::array();
    for (const Complex& z : *values) pairs.push_back({z.real(), z.imag()});
    if (record["parameters"] != pairs)
      refuse("holds other parameter values than member " + std::to_string(instance) + " of VALUES");
    if (record.value("solved", false)) {
      const std::uint64_t seed = record.value("seed", std::uint64_t{0});
      if (!options.seed) options.seed = seed;
      if (seed != *options.seed)
        refuse("was made with seed " + std::to_string(seed) + ", this sweep's is " +
               std::to_string(*options.seed));
      if (record.value("certification_run", false) != options.certify)
        refuse(options.certify ? "was made without --certify" : "was made with --certify");
    }
    return true;
  });
}

}  // namespace

CLI::App* AddSweepCommand(CLI::App& app, SweepArgs& a) {
  CLI::App* sweep = app.add_subcommand(
      "sweep", "Solve every member of a family (a system with 'parameters') by parameter homotopy");
  sweep->set_help_flag("-h,--help", "Print this help and exit");
  sweep->add_option("SYSTEM", a.system, "The family as polynomial text with a parameters statement")
      ->required();
  sweep
      ->add_option("VALUES", a.values,
                   "One member a line: its parameter values, separated by commas or blanks")
      ->required();
  sweep->add_option("--start", a.start, "Start file of an earlier start solve of this family");
  sweep->add_option("--save-start", a.saveStart, "Write the start of this sweep to this file");
  sweep->add_option("--json", a.json, "Write one JSON line per member to this file; - for stdout");
  sweep->add_option("--seed", a.seed, "Seed of all random draws, 0 to 2^64-1");
  sweep->add_option("--threads", a.threads, "Threads, 0 = one per core (default)");
  sweep->add_option("--max-paths", a.maxPaths,
                    "Refuse a start solve (or a start) with more paths than this");
  sweep->add_flag("--certify", a.certify, "Certify the regular roots by interval arithmetic");
  sweep->add_flag("--resume", a.resume,
                  "Keep the records already in the --json file (of a stopped sweep of the same "
                  "VALUES) and solve the members after them");
  auto* quiet = sweep->add_flag("-q,--quiet", a.quiet, "No progress display");
  sweep->add_flag("--progress", a.progress, "Progress on stderr even when it is not a terminal")
      ->excludes(quiet);
  return sweep;
}

int RunSweep(const SweepArgs& a, const UsageReporter& usage) {
  int exitCode = 0;
  const std::optional<Resolved> resolved =
      ResolveRunSettings(a.seed, a.threads, a.maxPaths, usage, exitCode);
  if (!resolved) return exitCode;
  if (const std::optional<std::string> why = SweepUsageError(a)) return usage(*why);
  if (!a.saveStart.empty()) CheckOutputPath(a.saveStart, "start file");
  if (!a.json.empty()) CheckOutputPath(a.json, "JSON file");
  SweepJob job;
  job.text = ReadWholeFile(a.system);
  job.name = InputName(a.system);
  job.family = ParseParametricText(job.text, job.name);
  ValuesFile values(a.values, job.family.parameterCount());
  job.options.seed = resolved->seed;
  job.options.threads = resolved->threads;
  job.options.certify = a.certify;
  job.options.maxPaths = resolved->maxPaths;
  job.options.interrupted = Interrupted;
  job.wantRecords = !a.json.empty();
  std::string why;
  if (!job.options.Validate(&why)) return usage(why);
  // Held from here to the end: a second run on the same JSON file is refused before any work.
  std::optional<RecordFile> records;
  if (!a.json.empty())
    records.emplace(a.json, "JSON file",
                    a.resume ? RecordFile::Opening::kKeep : RecordFile::Opening::kEmpty);
  const MemberSource next = values.Source();
  const std::int64_t done = a.resume ? KeepRecordsDone(*records, a.json, next, job.options) : 0;
  job.options.seed = SweepSeed(job.options);  // drawn once, so that the run can be repeated with it
  CatchInterrupts();
  const bool showProgress = ShowsProgress(a.quiet, a.progress);
  std::FILE* out = a.json == kStandardStream ? stderr : stdout;
  job.start = ObtainStart(job.family, a, job.options, showProgress);
  if (!a.saveStart.empty()) WriteFamilyStartFile(job.start, a.saveStart);
  ReportStart(out, job.start);
  std::fprintf(out, "seed: %" PRIu64 "\n", *job.options.seed);
  if (a.resume)
    std::fprintf(out, "resumed: the records of %" PRId64 " instances kept in %s\n", done,
                 a.json.c_str());
  PrintHeader(out);
  Totals totals;
  const auto wallStart = std::chrono::steady_clock::now();
  try {
    SweepMembers(job, next, done + 1, [&](const std::string& record, const MemberRow& row) {
      if (records) records->Write(record);
      PrintRow(out, row, totals);
      if (std::ferror(out)) CheckStreamWritten(out, "table");
      if (showProgress)
        std::fprintf(stderr, "zormix: %" PRId64 "/%" PRId64 " instances\n", done + totals.members,
                     values.count());
    });
  } catch (const Error& e) {
    if (e.code() != ErrorCode::kInterrupted) throw;
    std::fflush(out);
    std::fprintf(stderr,
                 "zormix: the sweep was interrupted; the records of %" PRId64
                 " instances are complete\n",
                 done + totals.members);
    return kExitInterrupted;
  }
  PrintTotals(out, totals);
  std::fprintf(out, "wall time: %.3f s\n",
               std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count());
  CheckStreamWritten(out, "table");
  return 0;
}

#ifdef ZORMIX_MPI
int ServeSweep(const SweepArgs& a, const UsageReporter& usage) {
  int exitCode = 0;
  const std::optional<Resolved> resolved =
      ResolveRunSettings(a.seed, a.threads, a.maxPaths, usage, exitCode);
  if (!resolved) return exitCode;
  if (a.start.empty()) cluster::ServeRankZero(resolved->threads);  // the start solve's share
  cluster::ServeSweepOverRanks(resolved->threads, EncodeMemberOutput);
  return 0;
}
#endif

std::optional<std::int64_t> ParseMaxPaths(const std::string& text, std::string& why) {
  if (text.empty()) return std::nullopt;
  const std::optional<std::uint64_t> paths =
      ParseDecimal(text, std::numeric_limits<std::int64_t>::max());
  if (!paths || *paths == 0) {
    why = "--max-paths '" + text + "': expected a positive decimal integer";
    return std::nullopt;
  }
  return static_cast<std::int64_t>(*paths);
}

int RunStartSolve(const StartSolveArgs& a, const UsageReporter& usage) {
  int exitCode = 0;
  const std::optional<Resolved> resolved =
      ResolveRunSettings(a.seed, a.threads, a.maxPaths, usage, exitCode);
  if (!resolved) return exitCode;
  const std::string& saveStart = a.saveStart;
  if (saveStart == kStandardStream)
    return usage("--save-start '-': the start is written to a file, not to standard output");
  CheckOutputPath(saveStart, "start file");
  try {
    CheckDistinctFiles({{"family", a.system}, {"start file", saveStart}});
  } catch (const Error& error) {
    return usage(error.what());
  }
  const ParametricSystem family = LoadFamily(a.system);
  SweepOptions options;
  options.seed = resolved->seed;
  options.threads = resolved->threads;
  options.maxPaths = resolved->maxPaths;
  options.startRoute = a.totalDegree ? Route::kTotalDegree : Route::kPolyhedral;
  options.interrupted = Interrupted;
  CatchInterrupts();
  const FamilyStart start = SolveStart(family, options);
  WriteFamilyStartFile(start, saveStart);
  ReportStart(stdout, start);
  std::fprintf(stdout, "start file: %s\n", saveStart.c_str());
  return 0;
}

}  // namespace zormix::cli
