// The files the command writes: checked before any work, written completely or not at all, and
// "-" for standard output.
#ifndef ZORMIX_CLI_OUTPUT_H_
#define ZORMIX_CLI_OUTPUT_H_

#include <string>
#include <string_view>

namespace zormix::cli {

// The library's output check, with "-" (standard output) always fine.
void CheckOutputPath(const std::string& path, const std::string& what);

// Writes text to path ("-": standard output) through a temporary file renamed into place.
void WriteOutput(const std::string& path, std::string_view text, const std::string& what);

}  // namespace zormix::cli

#endif  // ZORMIX_CLI_OUTPUT_H_
