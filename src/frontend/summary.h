// The summary the CLI prints after a solve.
#ifndef ZORMIX_FRONTEND_SUMMARY_H_
#define ZORMIX_FRONTEND_SUMMARY_H_

#include <string>

#include "zormix/result.h"

namespace zormix::frontend {

// After a solve, one line of Summary::BriefReport() (every counter defined in docs/cli.md) and
// "route: NAME"; after a mixed-volume-only run "mixed volume: N", "mixed cells: N",
// "route: NAME" and "seed: S".
std::string SummaryBlock(const SolveResult& result, bool mixedVolumeOnly);

}  // namespace zormix::frontend

#endif  // ZORMIX_FRONTEND_SUMMARY_H_
