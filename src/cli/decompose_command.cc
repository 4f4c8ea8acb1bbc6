#include "cli/decompose_command.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <optional>

#include "base/random.h"
#include "cli/interrupt.h"
#include "cli/parameter_values.h"
#include "decompose/decompose_json.h"
#include "frontend/front_end.h"
#include "frontend/input.h"
#include "frontend/output.h"
#include "zormix/error.h"
#include "zormix/io.h"

#ifdef ZORMIX_MPI
#include "cluster/decompose_share.h"
#include "cluster/mpi_job.h"
#endif

namespace zormix::cli {
using frontend::CheckOutputPath;
using frontend::InputName;
using frontend::kStandardStream;
using frontend::ReadWholeFile;
using frontend::WriteOutput;
namespace {

// A line on standard error: redrawn in place on a terminal, one line per second otherwise.
class DecomposeProgressLine {
 public:
  DecomposeProgressLine(bool enabled, bool redraw) : enabled_(enabled), redraw_(redraw) {}
  ~DecomposeProgressLine() { Finish(); }

  void Update(const DecomposeProgress& p) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    const bool changed = p.dimension != dimension_ || p.step != step_;
    const double interval = redraw_ ? 0.2 : 1.0;
    if (!changed && std::chrono::duration<double>(now - last_).count() < interval) return;
    last_ = now;
    dimension_ = p.dimension;
    step_ = p.step;
    std::string text = "dimension " + std::to_string(p.dimension) + ": " + p.step;
    if (p.paths.pathsTotal > 0) {
      text += ", " + std::to_string(p.paths.pathsDone) + " of " +
              std::to_string(p.paths.pathsTotal) + " paths";
    }
    if (redraw_) {
      std::fprintf(stderr, "\r\033[K%s", text.c_str());
      drawn_ = true;
    } else {
      std::fprintf(stderr, "%s\n", text.c_str());
    }
    std::fflush(stderr);
  }
  void Finish() {
    if (drawn_) std::fputs("\r\033[K", stderr);
    drawn_ = false;
  }

 private:
  bool enabled_;
  bool redraw_;
  bool drawn_ = false;
  int dimension_ = -1;
  std::string step_;
  std::chrono::steady_clock::time_point last_;
};

// A PS.num file is square; polynomial text and PHCpack's format may hold any number of equations.
PolySystem LoadAnyShape(const std::string& path) {
  const std::string contents = ReadWholeFile(path);
  const std::string name = InputName(path);
  if (DetectSystemFormat(contents, path == kStandardStream ? "" : path) == SystemFormat::kPsNum)
    return ParseSystem(contents, name, SystemFormat::kPsNum);
  return ParseEquationsText(contents, name);
}

std::string MembershipLine(std::size_t k, const std::vector<int>& on) {
  std::string text = "point " + std::to_string(k + 1) + ": ";
  if (on.empty()) return text + "on no component";
  text += on.size() == 1 ? "on component " : "on components ";
  for (std::size_t c = 0; c < on.size(); ++c) text += (c ? ", " : "") + std::to_string(on[c] + 1);
  return text;
}

}  // namespace

CLI::App* AddDecomposeCommand(CLI::App& app, DecomposeArgs& a) {
  CLI::App* command = app.add_subcommand(
      "decompose",
      "Break the solution set of a system of any shape into irreducible components of every "
      "dimension");
  command->set_help_flag("-h,--help", "Print this help and exit");
  command
      ->add_option("SYSTEM", a.system,
                   "System file: polynomial text (any number of equations) "
                   "or PS.num; - for stdin")
      ->required();
  command->add_option("--json", a.json,
                      "Write the decomposition as JSON to this file; - for stdout");
  command->add_option("--member", a.member,
                      "File of points, one a line (values separated by commas or blanks): say "
                      "which components each lies on");
  command->add_option("--seed", a.seed, "Seed of all random draws, 0 to 2^64-1");
  command->add_option("--threads", a.threads, "Threads, 0 = one per core (default)");
  command->add_option("--top-dimension", a.topDimension,
                      "Highest dimension examined (default: unknowns - 1)");
  auto* quiet = command->add_flag("-q,--quiet", a.quiet, "No progress display");
  command->add_flag("--progress", a.progress, "Progress on stderr even when it is not a terminal")
      ->excludes(quiet);
  return command;
}

int RunDecompose(const DecomposeArgs& a, const std::function<int(const std::string&)>& usage) {
#ifdef ZORMIX_MPI
  if (!cluster::IsRankZero()) {
    // Rank 0 reads, checks and reports; a rank only needs its own thread count.
    int threads = 0;
    try {
      threads = a.threads.empty() ? ThreadsFromEnvironment().value_or(0)
                                  : ParseThreads(a.threads, "--threads");
    } catch (const Error&) {
    }
    return cluster::ServeDecomposeOnRankZero(threads);
  }
#endif
  DecomposeOptions options;
  try {
    options.seed = a.seed.empty() ? SeedFromEnvironment() : ParseSeed(a.seed, "--seed");
    options.threads = a.threads.empty() ? ThreadsFromEnvironment().value_or(0)
                                        : ParseThreads(a.threads, "--threads");
    if (!a.topDimension.empty()) {
      std::size_t used = 0;
      const int top = std::stoi(a.topDimension, &used);
      if (used != a.topDimension.size() || top < 0) throw std::invalid_argument("");
      options.topDimension = top;
    }
  } catch (const Error& error) {
    return usage(error.what());
  } catch (const std::exception&) {
    return usage("--top-dimension: expected a dimension 0 or more, found '" + a.topDimension + "'");
  }
  if (!a.json.empty()) CheckOutputPath(a.json, "JSON file");
  const PolySystem system = LoadAnyShape(a.system);
  std::vector<std::vector<Complex>> points;
  if (!a.member.empty()) {
    points = ParseParameterValues(ReadWholeFile(a.member), InputName(a.member), system.n);
  }
  const bool terminal = isatty(STDERR_FILENO) != 0;
  DecomposeProgressLine line(!a.quiet && (terminal || a.progress), terminal);
  options.progress = [&line](const DecomposeProgress& p) { line.Update(p); };
  options.interrupted = Interrupted;
  options.seed = options.seed ? *options.seed : FreshEntropySeed();  // one seed for both steps
  CatchInterrupts();
  Decomposition d;
  std::vector<std::vector<int>> membership;
  {
    const InterruptDeadline deadline;
#ifdef ZORMIX_MPI
    cluster::DecomposeOutcome outcome =
        cluster::DecomposeOnRankZero(cluster::DecomposeJob{system, options, points});
    d = std::move(outcome.decomposition);
    membership = std::move(outcome.membership);
#else
    d = Decompose(system, options);
    for (const std::vector<Complex>& point : points)
      membership.push_back(ComponentsContaining(system, d, point, options));
#endif
  }
  line.Finish();
  if (!a.json.empty()) {
    WriteOutput(a.json, DecompositionToJson(d, points, membership).dump(2) + "\n", "JSON file");
  }
  std::FILE* out = a.json == kStandardStream ? stderr : stdout;
  for (const std::string& warning : d.warnings)
    std::fprintf(stderr, "zormix: warning: %s\n", warning.c_str());
  if (d.randomized) {
    std::fprintf(out, "%d equations in %d unknowns: combined at random to %d\n", d.equationCount,
                 d.n, d.n);
  }
  std::fprintf(out, "%s\n", DecompositionSummary(d).c_str());
  for (std::size_t k = 0; k < points.size(); ++k)
    std::fprintf(out, "%s\n", MembershipLine(k, membership[k]).c_str());
  std::fprintf(out, "seed %llu\n", static_cast<unsigned long long>(d.seed));
  if (!a.json.empty()) std::fprintf(out, "json: %s\n", a.json.c_str());
  return 0;
}

}  // namespace zormix::cli
