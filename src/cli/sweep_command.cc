#include "cli/sweep_command.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <functional>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>

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
  return MemberJsonLine(
      MemberFields{m.instance, m.parameters, m.solved, m.error, m.flagged, m.gammaAttempts},
      m.result);
}

// What the table shows of a member: the same whether the member was solved here or on another
// rank of an MPI job.
struct MemberRow {
  std::int64_t instance = 0;
  bool solved = false;
  std::string error;
  bool flagged = false;
  std::int64_t regular = 0, realRegular = 0, singular = 0, atInfinity = 0, failed = 0;
  double seconds = 0.0;
};

MemberRow RowOf(const MemberResult& m) {
  const RootClassCounts& c = m.result.classes;
  return {m.instance,    m.solved,   m.error,      m.flagged, c.regular,
          c.realRegular, c.singular, c.atInfinity, c.failed,  m.seconds};
}

struct Totals {
  std::int64_t members = 0, failedMembers = 0, flagged = 0;
  std::int64_t regular = 0, realRegular = 0, singular = 0, atInfinity = 0, failed = 0;
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
  totals.atInfinity += m.atInfinity;
  totals.failed += m.failed;
  std::fprintf(out,
               "%8" PRId64 " %8" PRId64 " %8" PRId64 " %8" PRId64 " %8" PRId64 " %8" PRId64
               " %9.4f%s\n",
               m.instance, m.regular, m.realRegular, m.singular, m.atInfinity, m.failed, m.seconds,
               m.flagged ? "  re-tracked" : "");
}

void PrintTotals(std::FILE* out, const Totals& t) {
  std::fprintf(out, "%8s %8" PRId64 " %8" PRId64 " %8" PRId64 " %8" PRId64 " %8" PRId64 " %9.4f\n",
               "total", t.regular, t.realRegular, t.singular, t.atInfinity, t.failed, t.seconds);
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

// The records of the members so far go out line by line, each flushed whole, so that a stopped
// sweep leaves only complete records.
class RecordWriter {
 public:
  explicit RecordWriter(const std::string& path) : path_(path) {
    if (path.empty()) return;
    file_ = path == kStandardStream ? stdout : std::fopen(path.c_str(), "w");
    if (!file_)
      throw Error(ErrorCode::kCannotWrite, path + ": cannot open the JSON file for writing");
  }
  ~RecordWriter() {
    if (file_ && file_ != stdout) std::fclose(file_);
  }
  void Write(const std::string& line) {
    if (!file_) return;
    if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() || std::fflush(file_) != 0)
      throw Error(ErrorCode::kCannotWrite, path_ + ": cannot write the JSON file");
  }

 private:
  std::string path_;
  std::FILE* file_ = nullptr;
};

using MemberSink = std::function<void(const std::string& record, const MemberRow& row)>;

#ifdef ZORMIX_MPI
// A member's record and row as the bytes a rank sends back to rank 0.
std::string EncodeMemberOutput(const MemberResult& m, bool wantRecord) {
  const MemberRow r = RowOf(m);
  const nlohmann::json row = {r.instance,    r.solved,   r.error,      r.flagged, r.regular,
                              r.realRegular, r.singular, r.atInfinity, r.failed,  r.seconds};
  return nlohmann::json{{"row", row}, {"record", wantRecord ? MemberRecord(m) : ""}}.dump();
}

void EmitMemberOutput(const std::string& bytes, const MemberSink& emit) {
  const nlohmann::json doc = nlohmann::json::parse(bytes);
  const nlohmann::json& row = doc.at("row");
  const MemberRow r{row[0].get<std::int64_t>(), row[1].get<bool>(),
                    row[2].get<std::string>(),  row[3].get<bool>(),
                    row[4].get<std::int64_t>(), row[5].get<std::int64_t>(),
                    row[6].get<std::int64_t>(), row[7].get<std::int64_t>(),
                    row[8].get<std::int64_t>(), row[9].get<double>()};
  emit(doc.at("record").get<std::string>(), r);
}
#endif

// The members on this process's threads, or over the ranks of an MPI job; emit gets them in
// member order either way.
void SweepMembers(const SweepJob& job, const MemberSink& emit) {
#ifdef ZORMIX_MPI
  if (cluster::Size() > 1) {
    cluster::SweepOverRanks(job, EncodeMemberOutput,
                            [&](std::string&& bytes) { EmitMemberOutput(bytes, emit); });
    return;
  }
#endif
  SweepFamily(job.family, job.start, job.members, job.options, [&](MemberResult&& m) {
    emit(job.wantRecords ? MemberRecord(m) : std::string(), RowOf(m));
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
  if (!a.saveStart.empty()) CheckOutputPath(a.saveStart, "start file");
  if (!a.json.empty()) CheckOutputPath(a.json, "JSON file");
  SweepJob job;
  job.text = ReadWholeFile(a.system);
  job.name = InputName(a.system);
  job.family = ParseParametricText(job.text, job.name);
  job.members = ParseParameterValues(ReadWholeFile(a.values), InputName(a.values),
                                     job.family.parameterCount());
  job.options.seed = resolved->seed;
  job.options.seed = SweepSeed(job.options);  // drawn once, so that the run can be repeated with it
  job.options.threads = resolved->threads;
  job.options.certify = a.certify;
  job.options.maxPaths = resolved->maxPaths;
  job.options.interrupted = Interrupted;
  job.wantRecords = !a.json.empty();
  CatchInterrupts();
  const bool showProgress = ShowsProgress(a.quiet, a.progress);
  std::FILE* out = a.json == kStandardStream ? stderr : stdout;
  job.start = ObtainStart(job.family, a, job.options, showProgress);
  if (!a.saveStart.empty()) WriteFamilyStartFile(job.start, a.saveStart);
  ReportStart(out, job.start);
  std::fprintf(out, "seed: %" PRIu64 "\n", *job.options.seed);
  RecordWriter records(a.json);
  std::fprintf(out, "%8s %8s %8s %8s %8s %8s %9s\n", "instance", "regular", "real", "singular",
               "infinity", "failed", "time");
  Totals totals;
  const auto wallStart = std::chrono::steady_clock::now();
  try {
    SweepMembers(job, [&](const std::string& record, const MemberRow& row) {
      records.Write(record);
      PrintRow(out, row, totals);
      if (showProgress)
        std::fprintf(stderr, "zormix: %" PRId64 "/%zu instances\n", totals.members,
                     job.members.size());
    });
  } catch (const Error& e) {
    if (e.code() != ErrorCode::kInterrupted) throw;
    std::fflush(out);
    std::fprintf(stderr,
                 "zormix: the sweep was interrupted; the records of %" PRId64
                 " instances are complete\n",
                 totals.members);
    return kExitInterrupted;
  }
  PrintTotals(out, totals);
  std::fprintf(out, "wall time: %.3f s\n",
               std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count());
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
  CheckOutputPath(saveStart, "start file");
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
