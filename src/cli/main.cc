// zormix: solve a polynomial system from the command line, or convert it between formats.
//
//   zormix [solve] [INPUT] [options]     solve; INPUT defaults to PS.num
//   zormix convert IN -o OUT [--to F]    between polynomial text, PHCpack's format and PS.num
//
// "-" as a file name is standard input or standard output.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/parameter_registry.h"
#include "cli/interrupt.h"
#include "cli/monodromy_command.h"
#include "cli/suggest.h"
#include "cli/sweep_command.h"
#include "finish/report.h"
#include "frontend/front_end.h"
#include "frontend/input.h"
#include "frontend/json_output.h"
#include "frontend/output.h"
#include "frontend/progress.h"
#include "frontend/summary.h"
#include "zormix/error.h"
#include "zormix/io.h"
#include "zormix/solve.h"
#ifdef ZORMIX_MPI
#include "cluster/mpi_job.h"
#endif

namespace zormix::cli {
// Input, output, JSON and progress of every front end.
using namespace ::zormix::frontend;  // NOLINT(google-build-using-namespace)
namespace {

constexpr int kExitUsage = 2;

constexpr const char* kFooter = R"(Exit codes:
  0    success
  1    the input could not be read or solved, or an output could not be written
  2    wrong usage: unknown command, option or value, or missing file
  3    out of memory
  4    a fault of the solver itself (please report it with the input)
  130  interrupted by Ctrl-C (no report written)

Environment (options take precedence):
  ZORMIX_SEED     seed when --seed is not given
  ZORMIX_THREADS  tracking threads when --threads is not given (0 = one per core)
  ZORMIX_PARAMETERS  name=value,... moves thresholds within their ranges (zormix --parameters),
                  for studying the verdicts: such results are not the solver's

"-" as INPUT, -o or --json file means standard input or standard output.)";

int UsageFailure(const std::string& message);

// A usage error found after CLI11's parse: exit code 2.
struct UsageError {
  std::string message;
};

struct SolveArgs {
  std::string input = "PS.num";
  std::string format = "auto";
  std::string output = "data.roots";
  bool noReport = false;
  std::string route = "polyhedral";
  std::string seed;
  std::string threads;
  std::string json;
  bool mixedVolume = false;
  bool quiet = false;
  bool progress = false;
  bool implicitCommand = false;  // "zormix FILE": the first word might have been a command
  std::string checkpoint;
  bool certify = false;
  std::string maxPaths;
  std::string saveStart;  // a family: the start solve alone, kept in this file
};

struct ConvertArgs {
  std::string input;
  std::string output;
  std::string format = "auto";
  std::string to;
};

// The CLI checks the names; anything else is "auto".
FormatChoice FormatNamed(const std::string& name) {
  return name == "auto" ? FormatChoice() : SystemFormatNamed(name);
}

void AddSolveOptions(CLI::App& app, SolveArgs& a) {
  app.add_option("INPUT", a.input,
                 "System file: polynomial text, PHCpack's format or PS.num; - for stdin")
      ->capture_default_str();
  app.add_option("--format", a.format, "Input format: auto, text, phc or psnum")
      ->check(CLI::IsMember({"auto", "psnum", "text", "phc"}))
      ->capture_default_str();
  auto* output =
      app.add_option("-o,--output", a.output, "Report file; - for stdout")->capture_default_str();
  app.add_flag("--no-report", a.noReport, "Write no report file")->excludes(output);
  // Octave's name of the total-degree route is accepted too, and stands for the same route.
  app.add_option("-r,--route", a.route, "Homotopy: polyhedral or total-degree (or totaldegree)")
      ->check(CLI::IsMember({"polyhedral", "total-degree", "totaldegree"}))
      ->transform([](std::string name) {
        const std::optional<Route> route = RouteNamed(name);
        return route ? std::string(RouteName(*route)) : name;
      })
      ->capture_default_str();
  app.add_option("--seed", a.seed,
                 "Seed of all random draws, 0 to 2^64-1 (default: $ZORMIX_SEED, else fresh "
                 "entropy, printed)");
  app.add_option("--threads", a.threads,
                 "Tracking threads, 0 = one per core (default: $ZORMIX_THREADS, else 0)");
  app.add_option("--json", a.json, "Also write the results as JSON to this file; - for stdout");
  app.add_flag("--mixed-volume", a.mixedVolume,
               "Only compute the mixed volume and the cell count (no tracking, no report)");
  auto* quiet = app.add_flag("-q,--quiet", a.quiet, "No progress display");
  app.add_flag("--progress", a.progress,
               "Progress on stderr even when it is not a terminal (one line per second)")
      ->excludes(quiet);
  app.add_option("--checkpoint", a.checkpoint,
                 "Save finished paths to this file; run again with it to continue a stopped solve");
  app.add_flag("--certify", a.certify, "Certify the regular roots by interval arithmetic");
  app.add_option("--max-paths", a.maxPaths,
                 "Most paths to track (default: as many as the available memory holds)");
  app.add_option("--save-start", a.saveStart,
                 "For a system with parameters: solve at random parameters and save the start "
                 "of 'zormix sweep' to this file");
}

void AddConvertOptions(CLI::App& app, ConvertArgs& a) {
  app.add_option("IN", a.input, "System file to read; - for stdin")->required();
  app.add_option("-o,--output", a.output, "File to write; - for stdout")->required();
  app.add_option("--format", a.format, "Input format: auto, text, phc or psnum")
      ->check(CLI::IsMember({"auto", "psnum", "text", "phc"}))
      ->capture_default_str();
  app.add_option("--to", a.to,
                 "Output format: psnum, text or phc (default: psnum for text and PHCpack's "
                 "format, text for PS.num)")
      ->check(CLI::IsMember({"psnum", "text", "phc"}));
}

std::string Count(std::int64_t k, const char* noun) {
  return std::to_string(k) + " " + noun + (k == 1 ? "" : "s");
}

// The summary goes to standard output unless the report or the JSON took it.
std::FILE* SummaryStream(const SolveArgs& a, const std::string& reportPath) {
  return reportPath == kStandardStream || a.json == kStandardStream ? stderr : stdout;
}

void PrintSummary(const SolveResult& r, const SolveArgs& a, const std::string& reportPath) {
  std::FILE* out = SummaryStream(a, reportPath);
  std::fputs(SummaryBlock(r, a.mixedVolume).c_str(), out);
  if (!reportPath.empty()) std::fprintf(out, "report: %s\n", reportPath.c_str());
  if (!a.json.empty()) std::fprintf(out, "json: %s\n", a.json.c_str());
}

// Seed and threads (options over environment) and the path limit; a bad value is a usage error.
void ResolveSeedAndThreads(const SolveArgs& a, SolveOptions& options) {
  std::string badMaxPaths;
  options.maxPaths = ParseMaxPaths(a.maxPaths, badMaxPaths);
  if (!badMaxPaths.empty()) throw UsageError{badMaxPaths};
  try {
    options.seed = a.seed.empty() ? SeedFromEnvironment() : ParseSeed(a.seed, "--seed");
    options.threads = a.threads.empty() ? ThreadsFromEnvironment().value_or(0)
                                        : ParseThreads(a.threads, "--threads");
  } catch (const Error& error) {
    throw UsageError{error.what()};
  }
}

ProgressMode ProgressModeOf(const SolveArgs& a) {
  if (a.quiet) return ProgressMode::kOff;
  if (isatty(STDERR_FILENO)) return ProgressMode::kRedraw;
  return a.progress ? ProgressMode::kLines : ProgressMode::kOff;
}

// "zormix frobnicate": neither a command nor a file.
void CheckInputExists(const SolveArgs& a) {
  std::error_code error;
  if (a.implicitCommand && a.input != kStandardStream && !std::filesystem::exists(a.input, error)) {
    throw UsageError("'" + a.input + "': unknown command or missing file");
  }
}

// Writes the report (unless the solve wrote it to its file) and the JSON, in that order, so that a
// JSON that cannot be written never costs the report.
void WriteResults(const SolveResult& result, const SolveArgs& a, const std::string& reportPath) {
  if (reportPath == kStandardStream) {
    StreamOutput(
        kStandardStream, [&result](const auto& write) { FormatReport(result, write); }, "report");
  }
  if (!a.json.empty()) {
    StreamOutput(
        a.json, [&](const auto& write) { WriteResultJson(result, a.mixedVolume, write); },
        "JSON file");
  }
}

// The solve's own lines (" det = 0 !  ") go to standard output.
void PrintConsoleLine(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// Everything the arguments and the environment say, checked by the options' own rules before the
// input is read: a broken rule is a usage error.
SolveOptions OptionsOf(const SolveArgs& a, const std::string& reportPath) {
  SolveOptions options;
  ResolveSeedAndThreads(a, options);
  options.route = RouteNamed(a.route).value_or(Route::kPolyhedral);
  options.reportPath = reportPath == kStandardStream ? std::string() : reportPath;
  options.mixedVolumeOnly = a.mixedVolume;
  options.checkpointPath = a.checkpoint;
  options.certify = a.certify;
  options.interrupted = Interrupted;
  options.console = PrintConsoleLine;
  std::string why;
  if (!options.Validate(&why)) throw UsageError{why};
  return options;
}

// The start solve of a family; in an MPI job rank 0's part (the others serve it as a solve).
int RunStartSolveOnly(const SolveArgs& a) {
  CheckInputExists(a);
  return RunStartSolve(
      {a.input, a.saveStart, a.seed, a.threads, a.maxPaths, a.route == "total-degree"},
      UsageFailure);
}

int RunSolve(const SolveArgs& a) {
#ifdef ZORMIX_MPI
  if (!cluster::IsRankZero()) {
    SolveOptions rankOptions;
    ResolveSeedAndThreads(a, rankOptions);
    return cluster::ServeRankZero(rankOptions.threads);
  }
#endif
  if (!a.saveStart.empty()) return RunStartSolveOnly(a);
  CheckInputExists(a);
  if (a.json == kStandardStream && a.output == kStandardStream && !a.noReport && !a.mixedVolume) {
    throw UsageError("the report (-o -) and the JSON (--json -) cannot both go to standard output");
  }
  if (a.checkpoint == kStandardStream) {
    throw UsageError(
        "--checkpoint '-': a checkpoint is a file that is read and written again, "
        "not standard input or output");
  }
  if (a.mixedVolume && a.route == RouteName(Route::kTotalDegree)) {
    throw UsageError(
        "--mixed-volume counts the paths of the polyhedral route; the total-degree route's count "
        "is the Bezout number, the product of the degrees: leave out --route total-degree");
  }
  const std::string reportPath = (a.noReport || a.mixedVolume) ? std::string() : a.output;
  SolveOptions options = OptionsOf(a, reportPath);
  if (!reportPath.empty()) CheckOutputPath(reportPath, "report file");
  if (!a.json.empty()) CheckOutputPath(a.json, "JSON file");
  try {
    CheckDistinctFiles({{"input", a.input},
                        {"report file", reportPath},
                        {"JSON file", a.json},
                        {"checkpoint", a.mixedVolume ? std::string() : a.checkpoint}});
  } catch (const Error& error) {
    throw UsageError{error.what()};
  }

  ProgressDisplay display(ProgressModeOf(a), stderr);
  display.Update(Progress{});  // stage "reading"
  const LoadedSystem loaded = LoadSystem(a.input, FormatNamed(a.format));
  if (!loaded.note.empty()) display.Note("zormix: " + loaded.note);

  // Said as soon as tracking reports the restore, not after tracking.
  bool restoreSaid = false;
  const auto restoreNote = [&a](std::int64_t restored, std::int64_t total) {
    return "zormix: " + std::to_string(restored) + " of " + std::to_string(total) +
           " paths restored from checkpoint " + a.checkpoint;
  };
  options.progress = [&](const Progress& p) {
    const std::string notice = LargeRouteNotice(p);
    if (!notice.empty() && !a.quiet) display.Note(notice);
    if (p.pathsRestored > 0 && !restoreSaid) {
      restoreSaid = true;
      display.Note(restoreNote(p.pathsRestored, p.pathsTotal));
    }
    display.Update(p);
  };
  options.progress = WithTestFault(std::move(options.progress));
  CatchInterrupts();
#ifdef ZORMIX_MPI
  const SolveResult result = cluster::SolveOnRankZero(loaded.system, options);
#else
  const SolveResult result = [&] {
    const InterruptDeadline deadline;
    return SolveSystem(loaded.system, options);
  }();
#endif
  display.Finish();
  if (result.restoredPaths > 0 && !restoreSaid) {
    std::fprintf(stderr, "%s\n", restoreNote(result.restoredPaths, result.pathCount).c_str());
  }
  WriteResults(result, a, reportPath);
  for (const std::string& warning : result.warnings) {
    std::fprintf(stderr, "zormix: warning: %s\n", warning.c_str());
  }
  PrintSummary(result, a, reportPath);
  return 0;
}

int RunConvert(const ConvertArgs& a) {
  CheckOutputPath(a.output, "output file");
  const LoadedSystem loaded = LoadSystem(a.input, FormatNamed(a.format));
  if (!loaded.note.empty()) std::fprintf(stderr, "zormix: %s\n", loaded.note.c_str());
  const PolySystem& system = loaded.system;
  const SystemFormat to = FormatNamed(a.to).value_or(
      loaded.format == SystemFormat::kPsNum ? SystemFormat::kText : SystemFormat::kPsNum);
  WriteOutput(a.output, FormatSystem(system, to), "output file");
  const char* writtenAs = to == SystemFormat::kText  ? "as polynomial text"
                          : to == SystemFormat::kPhc ? "in PHCpack's format"
                                                     : "in the PS.num format";
  std::fprintf(a.output == kStandardStream ? stderr : stdout, "%s: %s with %s, written %s\n",
               a.output == kStandardStream ? "standard output" : a.output.c_str(),
               Count(system.n, "equation").c_str(), Count(system.termTotal(), "term").c_str(),
               writtenAs);
  return 0;
}

bool IsCommandOrTopLevelFlag(const std::string& word) {
  return word == "solve" || word == "convert" || word == "sweep" || word == "monodromy" ||
         word == "-h" || word == "--help" || word == "--version" || word == "--parameters";
}

// "zormix INPUT ..." and "zormix --seed 1" mean "zormix solve ...".
std::vector<std::string> WithSubcommand(int argc, char** argv, bool& implicitFile) {
  std::vector<std::string> args(argv + 1, argv + argc);
  implicitFile = false;
  if (args.empty() || !IsCommandOrTopLevelFlag(args[0])) {
    implicitFile = !args.empty() && args[0] != kStandardStream && args[0].rfind('-', 0) != 0;
    args.insert(args.begin(), "solve");
  }
  return args;
}

const std::vector<std::string> kCommands = {"solve", "convert", "sweep", "monodromy"};

// "; did you mean 'X'?" for a word near one of `candidates`, else "".
std::string DidYouMean(const std::string& word, const std::vector<std::string>& candidates,
                       const std::string& prefix = "") {
  const std::string nearest = NearestWord(word, candidates);
  return nearest.empty() ? std::string() : "; did you mean '" + prefix + nearest + "'?";
}

// A first word that is no file but close to a command: "zormix sovle circle.txt".
std::optional<std::string> MistypedCommand(int argc, char** argv) {
  if (argc < 2) return std::nullopt;
  const std::string word = argv[1];
  std::error_code error;
  if (word.rfind('-', 0) == 0 || std::filesystem::exists(word, error)) return std::nullopt;
  const std::string hint = DidYouMean(word, kCommands);
  if (hint.empty()) return std::nullopt;
  return "'" + word + "': unknown command or missing file" + hint;
}

// The long options of `app`, without their dashes.
std::vector<std::string> LongOptionNames(const CLI::App& app) {
  std::vector<std::string> names;
  for (const CLI::Option* option : app.get_options())
    for (const std::string& name : option->get_lnames()) names.push_back(name);
  return names;
}

// The parse error with the nearest option to each unknown "--word" of args.
std::string WithOptionHints(const std::string& message, const std::vector<std::string>& args,
                            const CLI::App& app) {
  std::string hints;
  const std::vector<std::string> names = LongOptionNames(app);
  for (const std::string& arg : args) {
    if (arg.rfind("--", 0) != 0 || arg.size() == 2) continue;
    const std::string name = arg.substr(2, arg.find('=') - 2);
    if (std::find(names.begin(), names.end(), name) != names.end()) continue;
    const std::string hint = DidYouMean(name, names, "--");
    if (!hint.empty()) hints += "\n'--" + name + "': unknown option" + hint;
  }
  return message + hints;
}

// Options that a run ignores, said rather than dropped silently.
std::vector<std::string> IneffectiveOptions(const CLI::App& solve, const SolveArgs& a) {
  std::vector<std::string> notes;
  if (!a.mixedVolume) return notes;
  for (const char* name : {"--checkpoint", "--certify", "--output", "--no-report"}) {
    if (solve.count(name) > 0)
      notes.push_back(std::string(name) + " has no effect with --mixed-volume");
  }
  return notes;
}

// zormix --parameters: the registry, and where ZORMIX_PARAMETERS moved it.
int ListParameters() {
  CheckParameterOverrides();
  std::fputs(FormatParameterTable().c_str(), stdout);
  return 0;
}

int UsageFailure(const std::string& message) {
  std::fprintf(stderr, "zormix: %s\nRun 'zormix --help' for the options.\n", message.c_str());
  return kExitUsage;
}

// "zormix" alone where there is no PS.num to solve: what the command does, in short.
int ShortUsage() {
  std::fputs(
      "zormix: no system given, and no file PS.num here to solve\n"
      "Usage:\n"
      "  zormix [solve] INPUT [options]     solve the system in INPUT (polynomial text, PHCpack's\n"
      "                                     format or PS.num; - for standard input)\n"
      "  zormix convert IN -o OUT [--to F]  write a system in another format\n"
      "  zormix sweep SYSTEM VALUES         solve many members of a family\n"
      "Run 'zormix --help' for the options.\n",
      stderr);
  return kExitUsage;
}

int Main(int argc, char** argv) {
  CLI::App app("zormix " ZORMIX_VERSION
               ": all isolated complex solutions of a square polynomial system by homotopy "
               "continuation.\nWithout a subcommand, zormix solves.",
               "zormix");
  app.set_help_flag();
  app.set_version_flag("--version", "zormix " ZORMIX_VERSION);
  app.require_subcommand(0, 1);
  app.footer(kFooter);
  bool listParameters = false;
  app.add_flag("--parameters", listParameters,
               "List the thresholds that decide the verdicts, with their ranges, and exit");

  SolveArgs solveArgs;
  CLI::App* solve = app.add_subcommand("solve", "Solve a system (the default subcommand)");
  solve->set_help_flag("-h,--help", "Print this help and exit");
  AddSolveOptions(*solve, solveArgs);

  ConvertArgs convertArgs;
  CLI::App* convert =
      app.add_subcommand("convert", "Convert between polynomial text, PHCpack's format and PS.num");
  convert->set_help_flag("-h,--help", "Print this help and exit");
  AddConvertOptions(*convert, convertArgs);

  SweepArgs sweepArgs;
  CLI::App* sweep = AddSweepCommand(app, sweepArgs);
  MonodromyArgs monodromyArgs;
  CLI::App* monodromy = AddMonodromyCommand(app, monodromyArgs);

  // Added last: subcommands copy their parent's help flags when created.
  app.set_help_all_flag("-h,--help", "Print this help (all subcommands and options) and exit");

  std::error_code noFile;
  if (argc == 1 && !std::filesystem::exists(SolveArgs().input, noFile)) return ShortUsage();
  bool implicitFile = false;
  std::vector<std::string> args = WithSubcommand(argc, argv, implicitFile);
  if (implicitFile) {
    if (const std::optional<std::string> mistyped = MistypedCommand(argc, argv))
      return UsageFailure(*mistyped);
  }
  const std::vector<std::string> given = args;
  std::reverse(args.begin(), args.end());  // CLI11 takes the arguments last first
  try {
    app.parse(args);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    const CLI::App& parsed = convert->parsed()     ? *convert
                             : sweep->parsed()     ? *sweep
                             : monodromy->parsed() ? *monodromy
                                                   : *solve;
    return UsageFailure(WithOptionHints(e.what(), given, parsed));
  }
  if (listParameters) return ListParameters();
  if (app.get_subcommands().empty()) return UsageFailure("a command is required");
  if (convert->parsed()) return RunConvert(convertArgs);
  if (monodromy->parsed()) return RunMonodromyCommand(monodromyArgs, UsageFailure);
  if (sweep->parsed()) {
#ifdef ZORMIX_MPI
    if (!cluster::IsRankZero()) return ServeSweep(sweepArgs, UsageFailure);
#endif
    return RunSweep(sweepArgs, UsageFailure);
  }
  solveArgs.implicitCommand = implicitFile;
  for (const std::string& note : IneffectiveOptions(*solve, solveArgs))
    std::fprintf(stderr, "zormix: %s\n", note.c_str());
  try {
    return RunSolve(solveArgs);
  } catch (const UsageError& e) {
    return UsageFailure(e.message);
  }
}

int MainReportingErrors(int argc, char** argv) {
  IgnoreFileSizeLimitSignal();
  try {
    return Main(argc, argv);
  } catch (...) {
    const HostError error = CurrentHostError();
    std::fprintf(stderr, "zormix: %s\n", error.message.c_str());
    if (error.code == ErrorCode::kInterrupted) std::fprintf(stderr, "zormix: no report written\n");
    return ExitCodeOf(error.code);
  }
}

}  // namespace
}  // namespace zormix::cli

int main(int argc, char** argv) {
#ifdef ZORMIX_MPI
  zormix::cluster::Job job(&argc, &argv);
  return job.Finish(zormix::cli::MainReportingErrors(argc, argv));
#else
  return zormix::cli::MainReportingErrors(argc, argv);
#endif
}
