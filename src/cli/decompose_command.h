// `zormix decompose`: the solution set of a system of any shape broken into irreducible
// components of every dimension, and the membership of given points.
#ifndef ZORMIX_CLI_DECOMPOSE_COMMAND_H_
#define ZORMIX_CLI_DECOMPOSE_COMMAND_H_

#include <CLI/CLI.hpp>
#include <functional>
#include <string>
#include <vector>

#include "zormix/decompose.h"

namespace zormix::cli {

struct DecomposeArgs {
  std::string system;
  std::string json;
  std::string member;  // a file of points to test against the components
  std::string seed;
  std::string threads;
  std::string topDimension;
  bool quiet = false;
  bool progress = false;
};

// Adds the subcommand "decompose" with its options to `app`.
CLI::App* AddDecomposeCommand(CLI::App& app, DecomposeArgs& args);

// Runs a parsed decomposition; returns the exit code. `usage` reports a usage error (exit code 2).
int RunDecompose(const DecomposeArgs& args, const std::function<int(const std::string&)>& usage);

}  // namespace zormix::cli

#endif  // ZORMIX_CLI_DECOMPOSE_COMMAND_H_
