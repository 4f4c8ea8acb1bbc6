// Reading a system from a file in either format.
#ifndef ZORMIX_CLI_INPUT_H_
#define ZORMIX_CLI_INPUT_H_

#include <string>
#include <string_view>

#include "zormix/poly_system.h"

namespace zormix::cli {

enum class InputFormat { kAuto, kPsNum, kText };

// A file whose first value (up to a blank, comma or line end) is an integer is "PS.num"; anything
// else is polynomial text.
InputFormat DetectFormat(std::string_view contents);

// The whole file; throws Error naming the path when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// Reads path as "PS.num" or as polynomial text; kAuto detects the format from the contents.
// `detected` receives the format used.
PolySystem LoadSystem(const std::string& path, InputFormat format, InputFormat* detected);

}  // namespace zormix::cli

#endif  // ZORMIX_CLI_INPUT_H_
