// The summary the CLI prints after a solve.
#ifndef ZORMIX_CLI_SUMMARY_H_
#define ZORMIX_CLI_SUMMARY_H_

#include <string>

#include "zormix/result.h"

namespace zormix::cli {

// After a solve, one line of Summary::BriefReport() (every counter defined in docs/cli.md) and
// "route: NAME"; after a mixed-volume-only run "mixed volume: N", "mixed cells: N",
// "route: NAME" and "seed: S".
std::string SummaryBlock(const SolveResult& result, bool mixedVolumeOnly);

}  // namespace zormix::cli

#endif  // ZORMIX_CLI_SUMMARY_H_
