// `zormix monodromy`: a start for the sweep of a family, found by monodromy loops from one root.
#ifndef ZORMIX_CLI_MONODROMY_COMMAND_H_
#define ZORMIX_CLI_MONODROMY_COMMAND_H_

#include <CLI/CLI.hpp>
#include <functional>
#include <string>
#include <vector>

namespace zormix::cli {

struct MonodromyArgs {
  std::string system;
  std::string seed;
  std::string saveStart;
  std::string json;
  std::string count;
  std::string threads;
  std::vector<std::string> symmetries;
  bool quiet = false;
  bool progress = false;
};

// Adds the subcommand "monodromy" with its options to `app`.
CLI::App* AddMonodromyCommand(CLI::App& app, MonodromyArgs& args);

// Runs a parsed `zormix monodromy`; returns the exit code. `usage` reports a usage error (exit
// code 2) and returns its exit code.
int RunMonodromyCommand(const MonodromyArgs& args,
                        const std::function<int(const std::string&)>& usage);

}  // namespace zormix::cli

#endif  // ZORMIX_CLI_MONODROMY_COMMAND_H_
