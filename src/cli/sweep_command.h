// `zormix sweep`: every member of a family of systems from one start solve, and the start solve
// of a family that `zormix solve --save-start` keeps.
#ifndef ZORMIX_CLI_SWEEP_COMMAND_H_
#define ZORMIX_CLI_SWEEP_COMMAND_H_

#include <CLI/CLI.hpp>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace zormix::cli {

struct SweepArgs {
  std::string system;
  std::string values;
  std::string start;
  std::string saveStart;
  std::string json;
  std::string seed;
  std::string threads;
  std::string maxPaths;
  bool certify = false;
  bool quiet = false;
  bool progress = false;
  bool resume = false;  // keep the records already in `json` and solve the members after them
};

// Adds the subcommand "sweep" with its options to `app`.
CLI::App* AddSweepCommand(CLI::App& app, SweepArgs& args);

// Reports a usage error (exit code 2) and returns the exit code.
using UsageReporter = std::function<int(const std::string& message)>;

// Runs a parsed sweep; returns the exit code. In an MPI job this is rank 0's part: it hands the
// members out to every rank and writes their records in member order.
int RunSweep(const SweepArgs& args, const UsageReporter& usage);

#ifdef ZORMIX_MPI
// Every other rank of an MPI job: solves the members rank 0 hands out; returns the exit code.
int ServeSweep(const SweepArgs& args, const UsageReporter& usage);
#endif

// The value of --max-paths: a positive decimal integer, or no limit for empty text. Sets `why`
// to the usage error when the text is neither.
std::optional<std::int64_t> ParseMaxPaths(const std::string& text, std::string& why);

// `zormix solve FAMILY --save-start FILE`: the start solve alone. seed, threads and maxPaths as
// given to solve (empty: environment, then fresh entropy and all cores; no path limit).
struct StartSolveArgs {
  std::string system;
  std::string saveStart;
  std::string seed;
  std::string threads;
  std::string maxPaths;
  bool totalDegree = false;
};
int RunStartSolve(const StartSolveArgs& args, const UsageReporter& usage);

}  // namespace zormix::cli

#endif  // ZORMIX_CLI_SWEEP_COMMAND_H_
