#include "cli/monodromy_command.h"

#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>

#include "cli/interrupt.h"
#include "frontend/front_end.h"
#include "frontend/input.h"
#include "frontend/monodromy_symmetry.h"
#include "frontend/output.h"
#include "zormix/error.h"
#include "zormix/monodromy.h"
#include "zormix/parametric.h"
#include "zormix/sweep.h"

namespace zormix::cli {
using frontend::CheckOutputPath;
using frontend::CheckOutputsApart;
using frontend::InputName;
using frontend::kStandardStream;
using frontend::ParseSymmetry;
using frontend::ReadWholeFile;
using frontend::WriteOutput;
namespace {

constexpr int kExitInterrupted = 130;
// The layout of the JSON of `zormix monodromy` (docs/monodromy.md); raised when a key is added.
constexpr int kMonodromySchemaVersion = 1;

nlohmann::ordered_json Pair(const Complex& z) {
  return nlohmann::ordered_json::array({z.real(), z.imag()});
}

std::string Json(const FamilyMonodromyResult& r, const std::optional<std::int64_t>& count) {
  nlohmann::ordered_json doc;
  doc["schema_version"] = kMonodromySchemaVersion;
  doc["solution_count"] = r.start.roots.cols();
  doc["trace_test_passed"] = r.trace == FamilyTraceVerdict::kPassed;
  doc["trace_test"] = FamilyTraceVerdictName(r.trace);
  if (r.trace == FamilyTraceVerdict::kPassed || r.trace == FamilyTraceVerdict::kNotPassed) {
    doc["trace_residual"] = r.traceResidual;
    doc["trace_threshold"] = r.traceThreshold;
  }
  doc["linear_parameters"] = r.linearParameters;
  doc["count_given"] = count ? nlohmann::ordered_json(*count) : nlohmann::ordered_json(nullptr);
  doc["stop"] = MonodromyStopName(r.stop);
  doc["loops"] = r.loops;
  doc["paths_tracked"] = r.pathsTracked;
  doc["paths_failed"] = r.pathsFailed;
  doc["first_root_attempts"] = r.firstRootAttempts;
  doc["seconds"] = r.seconds;
  doc["seed"] = r.start.seed;
  nlohmann::ordered_json p0 = nlohmann::ordered_json::array();
  for (const Complex& p : r.start.parameters) p0.push_back(Pair(p));
  doc["p0"] = p0;
  nlohmann::ordered_json roots = nlohmann::ordered_json::array();
  for (std::int64_t c = 0; c < r.start.roots.cols(); ++c) {
    nlohmann::ordered_json x = nlohmann::ordered_json::array();
    for (std::int64_t k = 0; k < r.start.roots.rows(); ++k) x.push_back(Pair(r.start.roots(k, c)));
    roots.push_back(x);
  }
  doc["roots"] = roots;
  return doc.dump(1) + "\n";
}

std::string Summary(const FamilyMonodromyResult& r) {
  char text[512];
  const std::int64_t roots = r.start.roots.cols();
  std::string verdict;
  switch (r.trace) {
    case FamilyTraceVerdict::kPassed:
      std::snprintf(text, sizeof text, "complete: the trace test passed (residual %.1e <= %.1e)",
                    r.traceResidual, r.traceThreshold);
      verdict = text;
      break;
    case FamilyTraceVerdict::kNotPassed:
      std::snprintf(text, sizeof text,
                    "not proved complete: the trace test did not pass (residual %.1e > %.1e); the "
                    "count stayed the same for the last loops",
                    r.traceResidual, r.traceThreshold);
      verdict = text;
      break;
    case FamilyTraceVerdict::kNotRun:
      verdict = r.stop == MonodromyStop::kTargetCount
                    ? "complete by the given count"
                    : "the given count was NOT reached: the start is incomplete";
      break;
    case FamilyTraceVerdict::kNotApplicable:
      verdict =
          "not proved complete: no parameter enters linearly (no trace test); the count stayed "
          "the same for the last loops";
      break;
  }
  std::snprintf(text, sizeof text,
                "%" PRId64 " roots by monodromy · %d loops · %" PRId64 " paths (%" PRId64
                " failed) · %.2f s · seed %" PRIu64 "\n",
                roots, r.loops, r.pathsTracked, r.pathsFailed, r.seconds, r.start.seed);
  return text + verdict + "\n";
}

bool ShowsProgress(bool quiet, bool progress) {
  return !quiet && (progress || ProgressFromEnvironment() || isatty(STDERR_FILENO));
}

}  // namespace

CLI::App* AddMonodromyCommand(CLI::App& app, MonodromyArgs& a) {
  CLI::App* command = app.add_subcommand(
      "monodromy",
      "Find the roots of a random member of a family by monodromy loops: a start "
      "for 'zormix sweep --start'");
  command->set_help_flag("-h,--help", "Print this help and exit");
  command
      ->add_option("FAMILY", a.system, "The family as polynomial text with a parameters statement")
      ->required();
  command->add_option("--seed", a.seed, "Seed of all random draws, 0 to 2^64-1");
  command->add_option("--save-start", a.saveStart,
                      "Write the roots as a start file for 'zormix sweep --start'");
  command->add_option("--json", a.json, "Write the result as JSON to this file; - for stdout");
  command->add_option("--count", a.count,
                      "Roots of a generic member, when known: stop there (no trace test)");
  command->add_option("--threads", a.threads, "Threads, 0 = one per core (default)");
  command->add_option("--symmetry", a.symmetries,
                      "A symmetry of the roots: the image of each unknown in order, such as "
                      "'y, x, -z' or 'i*x, y' (repeatable)");
  auto* quiet = command->add_flag("-q,--quiet", a.quiet, "No progress display");
  command->add_flag("--progress", a.progress, "Progress on stderr even when it is not a terminal")
      ->excludes(quiet);
  return command;
}

int RunMonodromyCommand(const MonodromyArgs& a,
                        const std::function<int(const std::string&)>& usage) {
  FamilyMonodromyOptions options;
  std::optional<std::int64_t> count;
  try {
    options.seed = a.seed.empty() ? SeedFromEnvironment() : ParseSeed(a.seed, "--seed");
    options.threads = a.threads.empty() ? ThreadsFromEnvironment().value_or(0)
                                        : ParseThreads(a.threads, "--threads");
    if (!a.count.empty()) {
      const std::optional<std::uint64_t> n = ParseDecimal(a.count, std::uint64_t{1} << 40);
      if (!n || *n == 0) return usage("--count: '" + a.count + "' is not a positive whole number");
      count = static_cast<std::int64_t>(*n);
    }
  } catch (const Error& error) {
    return usage(error.what());
  }
  if (a.saveStart == kStandardStream)
    return usage("--save-start '-': the start is written to a file, not to standard output");
  try {  // neither output may replace the family or the other output, however named
    CheckOutputsApart({{"family", a.system}},
                      {{"start file to save", a.saveStart}, {"JSON file", a.json}});
  } catch (const Error& error) {
    return usage(error.what());
  }
  if (!a.saveStart.empty()) CheckOutputPath(a.saveStart, "start file");
  if (!a.json.empty()) CheckOutputPath(a.json, "JSON file");
  const ParametricSystem family = ParseParametricText(ReadWholeFile(a.system), InputName(a.system));
  for (const std::string& symmetry : a.symmetries) {
    try {
      options.symmetries.push_back(ParseSymmetry(symmetry, family));
    } catch (const Error& error) {
      return usage(error.what());
    }
  }
  options.count = count;
  options.interrupted = Interrupted;
  const bool showProgress = ShowsProgress(a.quiet, a.progress);
  auto lastShown = std::chrono::steady_clock::now();
  if (showProgress) {
    options.progress = [&lastShown](const FamilyMonodromyProgress& p) {
      const auto now = std::chrono::steady_clock::now();
      if (now - lastShown < std::chrono::seconds(1)) return;
      lastShown = now;
      std::fprintf(stderr, "zormix: loop %d · %" PRId64 " roots · %" PRId64 " paths\n", p.loops,
                   p.roots, p.pathsTracked);
    };
  }
  CatchInterrupts();
  FamilyMonodromyResult result;
  try {
    result = SolveFamilyByMonodromy(family, options);
  } catch (const Error& e) {
    if (e.code() != ErrorCode::kInterrupted) throw;
    std::fprintf(stderr, "zormix: monodromy was interrupted; nothing was written\n");
    return kExitInterrupted;
  }
  if (!a.saveStart.empty()) WriteFamilyStartFile(result.start, a.saveStart);
  if (!a.json.empty()) WriteOutput(a.json, Json(result, count), "JSON file");
  std::fputs(Summary(result).c_str(), a.json == kStandardStream ? stderr : stdout);
  return 0;
}

}  // namespace zormix::cli
