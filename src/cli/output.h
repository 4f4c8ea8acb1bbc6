// The files the command writes: checked before any work, written completely or not at all, and
// "-" for standard output.
#ifndef ZORMIX_CLI_OUTPUT_H_
#define ZORMIX_CLI_OUTPUT_H_

#include <string>
#include <string_view>

namespace zormix::cli {

// Throws Error unless path ("-" aside) can be created: its folder exists and is writable, and
// path is not a folder. `what` names the file in the message ("report file").
void CheckOutputPath(const std::string& path, const std::string& what);

// Writes text to path ("-": standard output) through a temporary file renamed into place.
void WriteOutput(const std::string& path, std::string_view text, const std::string& what);

}  // namespace zormix::cli

#endif  // ZORMIX_CLI_OUTPUT_H_
