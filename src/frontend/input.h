// Reading a system from a file, or from standard input, in either format.
#ifndef ZORMIX_FRONTEND_INPUT_H_
#define ZORMIX_FRONTEND_INPUT_H_

#include <string>
#include <string_view>

#include "zormix/poly_system.h"

namespace zormix::frontend {

enum class InputFormat { kAuto, kPsNum, kText };

// "-" names standard input (input) or standard output (output files).
inline constexpr const char* kStandardStream = "-";

// The name messages use for path: "standard input" for "-".
std::string InputName(const std::string& path);

// "PS.num" when the name ends in ".num" or the first statement (the first non-blank line) is one
// integer and nothing else, the number of variables; polynomial text otherwise. So "2 x + y - 1"
// and "-9 - t^2" are text.
InputFormat DetectFormat(const std::string& path, std::string_view contents);

// The whole file; throws Error naming the path when it cannot be read.
std::string ReadWholeFile(const std::string& path);

struct LoadedSystem {
  PolySystem system;
  InputFormat format = InputFormat::kAuto;  // the format that read it
  std::string note;  // set when kAuto fell back to the other format: why, for standard error
};

// Reads path as "PS.num" or as polynomial text. kAuto tries the detected format first and, when
// that fails, the other one; when both fail, the error of the detected format is thrown.
LoadedSystem LoadSystem(const std::string& path, InputFormat format);

}  // namespace zormix::frontend

#endif  // ZORMIX_FRONTEND_INPUT_H_
