// `zormix sweep`: every member of a family of systems from one start solve, and the start solve
// of a family that `zormix solve --save-start` keeps.
#ifndef ZORMIX_CLI_SWEEP_COMMAND_H_
#define ZORMIX_CLI_SWEEP_COMMAND_H_

#include <CLI/CLI.hpp>
#include <functional>
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
  bool certify = false;
  bool quiet = false;
  bool progress = false;
};

// Adds the subcommand "sweep" with its options to `app`.
CLI::App* AddSweepCommand(CLI::App& app, SweepArgs& args);

// Reports a usage error (exit code 2) and returns the exit code.
using UsageReporter = std::function<int(const std::string& message)>;

// Runs a parsed sweep; returns the exit code.
int RunSweep(const SweepArgs& args, const UsageReporter& usage);

// `zormix solve FAMILY --save-start FILE`: the start solve alone. seed and threads as given to
// solve (empty: environment, then fresh entropy and all cores).
int RunStartSolve(const std::string& system, const std::string& saveStart, const std::string& seed,
                  const std::string& threads, bool totalDegree, const UsageReporter& usage);

}  // namespace zormix::cli

#endif  // ZORMIX_CLI_SWEEP_COMMAND_H_
