// Reading a system from a file, or from standard input, in any of the formats.
#ifndef ZORMIX_FRONTEND_INPUT_H_
#define ZORMIX_FRONTEND_INPUT_H_

#include <optional>
#include <string>
#include <string_view>

#include "zormix/io.h"
#include "zormix/poly_system.h"

namespace zormix::frontend {

// The format asked for: one of the formats, or none to detect it (DetectSystemFormat).
using FormatChoice = std::optional<SystemFormat>;

// "auto" gives none, "psnum", "text" and "phc" that format; throws Error kBadArgument naming
// `what` for anything else.
FormatChoice FormatChoiceNamed(std::string_view name, const std::string& what);

// "-" names standard input (input) or standard output (output files).
inline constexpr const char* kStandardStream = "-";

// The name messages use for path: "standard input" for "-".
std::string InputName(const std::string& path);

// The whole file; throws Error naming the path when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// The format's name for people: "PS.num", "polynomial text", "PHCpack's format".
const char* FormatDescription(SystemFormat format);

struct LoadedSystem {
  PolySystem system;
  SystemFormat format = SystemFormat::kText;  // the format that read it
  std::string note;  // set when detection fell back to another format: why, for standard error
};

// Reads path in `format`, or in the detected format when none is given; when that fails, the
// other formats are tried, and the first that reads it is taken with a note. When all fail, the
// error of the detected format is thrown.
LoadedSystem LoadSystem(const std::string& path, FormatChoice format);

}  // namespace zormix::frontend

#endif  // ZORMIX_FRONTEND_INPUT_H_
