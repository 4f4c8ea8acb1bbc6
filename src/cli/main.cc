// zormix: solve a polynomial system from the command line, or convert it between formats.
//
//   zormix [solve] [INPUT] [options]     solve; INPUT defaults to PS.num
//   zormix convert IN -o OUT [--to F]    polynomial text <-> PS.num
//
// Exit codes: 0 success, 1 error while reading, solving or writing, 2 wrong usage.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "cli/input.h"
#include "cli/json_output.h"
#include "cli/progress.h"
#include "zormix/error.h"
#include "zormix/poly_text.h"
#include "zormix/solve.h"

namespace zormix::cli {
namespace {

struct SolveArgs {
  std::string input = "PS.num";
  std::string format = "auto";
  std::string output = "data.roots";
  bool noReport = false;
  std::string route = "polyhedral";
  std::uint64_t seed = 0;
  bool seedGiven = false;
  int threads = 1;
  std::string json;
  bool mixedVolume = false;
  bool quiet = false;
};

struct ConvertArgs {
  std::string input;
  std::string output;
  std::string format = "auto";
  std::string to;
};

InputFormat FormatNamed(const std::string& name) {
  if (name == "psnum") return InputFormat::kPsNum;
  if (name == "text") return InputFormat::kText;
  return InputFormat::kAuto;
}

void AddSolveOptions(CLI::App& app, SolveArgs& a, CLI::Option*& seedOption) {
  app.add_option("INPUT", a.input, "System file: PS.num format or polynomial text")
      ->capture_default_str();
  app.add_option("--format", a.format, "Input format: auto, psnum or text")
      ->check(CLI::IsMember({"auto", "psnum", "text"}))
      ->capture_default_str();
  auto* output = app.add_option("-o,--output", a.output, "Report file")->capture_default_str();
  app.add_flag("--no-report", a.noReport, "Write no report file")->excludes(output);
  app.add_option("-r,--route", a.route, "Homotopy: polyhedral or total-degree")
      ->check(CLI::IsMember({"polyhedral", "total-degree"}))
      ->capture_default_str();
  seedOption = app.add_option("--seed", a.seed,
                              "Seed of all random draws (default: fresh entropy, printed)");
  app.add_option("--threads", a.threads, "Tracking threads; 0 = one per core")
      ->check(CLI::NonNegativeNumber)
      ->capture_default_str();
  app.add_option("--json", a.json, "Also write the results as JSON to this file");
  app.add_flag("--mixed-volume", a.mixedVolume,
               "Only compute the mixed volume and the cell count (no tracking, no report)");
  app.add_flag("-q,--quiet", a.quiet, "No progress display");
}

void AddConvertOptions(CLI::App& app, ConvertArgs& a) {
  app.add_option("IN", a.input, "System file to read")->required();
  app.add_option("-o,--output", a.output, "File to write")->required();
  app.add_option("--format", a.format, "Input format: auto, psnum or text")
      ->check(CLI::IsMember({"auto", "psnum", "text"}))
      ->capture_default_str();
  app.add_option("--to", a.to, "Output format: psnum or text (default: the other one)")
      ->check(CLI::IsMember({"psnum", "text"}));
}

void PrintSummary(const SolveResult& r, const SolveArgs& a, const std::string& reportPath) {
  if (a.mixedVolume) {
    std::printf("mixed volume: %lld\nmixed cells: %lld\n", static_cast<long long>(r.pathCount),
                static_cast<long long>(r.cellCount));
  } else {
    std::printf("roots: %lld\nreal roots: %lld\npaths: %lld\nblow-ups: %lld\nrescued paths: %lld\n",
                static_cast<long long>(r.rootCount), static_cast<long long>(r.realCount),
                static_cast<long long>(r.pathCount), static_cast<long long>(r.blowUpCount),
                static_cast<long long>(r.rescuedPaths));
    std::printf("lost paths: %lld\n", static_cast<long long>(r.lostPaths));
  }
  std::printf("route: %s\nseed: %llu\n",
              r.route == Route::kTotalDegree ? "total-degree" : "polyhedral",
              static_cast<unsigned long long>(r.seed));
  if (!reportPath.empty()) std::printf("report: %s\n", reportPath.c_str());
  if (!a.json.empty()) std::printf("json: %s\n", a.json.c_str());
}

int RunSolve(const SolveArgs& a) {
  ProgressDisplay display(!a.quiet && isatty(STDERR_FILENO), stderr);
  display.Update(Progress{});  // stage "reading"
  const PolySystem system = LoadSystem(a.input, FormatNamed(a.format), nullptr);

  SolveOptions options;
  options.route = a.route == "total-degree" ? Route::kTotalDegree : Route::kPolyhedral;
  if (a.seedGiven) options.seed = a.seed;
  options.threads = a.threads;
  options.reportPath = (a.noReport || a.mixedVolume) ? std::string() : a.output;
  options.mixedVolumeOnly = a.mixedVolume;
  options.progress = [&display](const Progress& p) { display.Update(p); };
  const SolveResult result = SolveSystem(system, options);
  display.Finish();

  if (!a.json.empty()) {
    WriteFileAtomically(a.json, ResultToJson(result, a.mixedVolume).dump(2) + "\n");
  }
  for (const std::string& warning : result.warnings)
    std::fprintf(stderr, "zormix: warning: %s\n", warning.c_str());
  PrintSummary(result, a, options.reportPath);
  return 0;
}

int RunConvert(const ConvertArgs& a) {
  InputFormat from = InputFormat::kAuto;
  const PolySystem system = LoadSystem(a.input, FormatNamed(a.format), &from);
  InputFormat to = FormatNamed(a.to);
  if (to == InputFormat::kAuto)
    to = from == InputFormat::kPsNum ? InputFormat::kText : InputFormat::kPsNum;
  if (to == InputFormat::kPsNum) {
    WriteSystemFile(system, a.output);
  } else {
    WriteFileAtomically(a.output, FormatPolynomialText(system));
  }
  std::printf("%s: %d equations, %lld terms, written as %s\n", a.output.c_str(), system.n,
              static_cast<long long>(system.termTotal()),
              to == InputFormat::kPsNum ? "PS.num" : "polynomial text");
  return 0;
}

// "zormix INPUT ..." and "zormix --seed 1" mean "zormix solve ...".
std::vector<std::string> WithSubcommand(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const bool named =
      !args.empty() && (args[0] == "solve" || args[0] == "convert" || args[0] == "-h" ||
                        args[0] == "--help" || args[0] == "--version");
  if (!named) args.insert(args.begin(), "solve");
  return args;
}

int Main(int argc, char** argv) {
  CLI::App app("zormix " ZORMIX_VERSION
               ": all isolated complex solutions of a square polynomial system by homotopy "
               "continuation.\nWithout a subcommand, zormix solves.",
               "zormix");
  app.set_help_flag();
  app.set_version_flag("--version", "zormix " ZORMIX_VERSION);
  app.require_subcommand(1);

  SolveArgs solveArgs;
  CLI::Option* seedOption = nullptr;
  CLI::App* solve = app.add_subcommand("solve", "Solve a system (the default subcommand)");
  solve->set_help_flag("-h,--help", "Print this help and exit");
  AddSolveOptions(*solve, solveArgs, seedOption);

  ConvertArgs convertArgs;
  CLI::App* convert = app.add_subcommand("convert", "Convert between polynomial text and PS.num");
  convert->set_help_flag("-h,--help", "Print this help and exit");
  AddConvertOptions(*convert, convertArgs);

  // Added last: subcommands copy their parent's help flags when created.
  app.set_help_all_flag("-h,--help", "Print this help (all subcommands and options) and exit");

  std::vector<std::string> args = WithSubcommand(argc, argv);
  std::reverse(args.begin(), args.end());  // CLI11 takes the arguments last first
  try {
    app.parse(args);
    if (solveArgs.mixedVolume && solveArgs.route == "total-degree") {
      throw CLI::ValidationError("--mixed-volume", "needs the polyhedral route");
    }
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "zormix: %s\nRun 'zormix --help' for the options.\n", e.what());
    return 2;
  }
  solveArgs.seedGiven = seedOption->count() > 0;
  if (convert->parsed()) return RunConvert(convertArgs);
  return RunSolve(solveArgs);
}

}  // namespace
}  // namespace zormix::cli

int main(int argc, char** argv) {
  try {
    return zormix::cli::Main(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "zormix: out of memory\n");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zormix: %s\n", e.what());
  }
  return 1;
}
