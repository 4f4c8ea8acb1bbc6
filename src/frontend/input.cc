#include "frontend/input.h"

#include <iostream>
#include <sstream>

#include "io/system_format.h"
#include "zormix/error.h"

namespace zormix::frontend {

FormatChoice FormatChoiceNamed(std::string_view name, const std::string& what) {
  if (name == "auto") return std::nullopt;
  if (const std::optional<SystemFormat> format = SystemFormatNamed(name)) return format;
  throw Error(ErrorCode::kBadArgument,
              what + " '" + std::string(name) + "': expected 'auto', 'psnum', 'text' or 'phc'");
}

std::string InputName(const std::string& path) {
  return path == kStandardStream ? "standard input" : path;
}

std::string ReadWholeFile(const std::string& path) {
  if (path != kStandardStream) return ReadFileContents(path);
  std::ostringstream contents;
  contents << std::cin.rdbuf();
  return contents.str();
}

const char* FormatDescription(SystemFormat format) {
  switch (format) {
    case SystemFormat::kPsNum:
      return "PS.num";
    case SystemFormat::kPhc:
      return "PHCpack's format";
    case SystemFormat::kText:
      break;
  }
  return "polynomial text";
}

LoadedSystem LoadSystem(const std::string& path, FormatChoice format) {
  const std::string contents = ReadWholeFile(path);
  const std::string name = InputName(path);
  LoadedSystem loaded;
  if (format) {
    loaded.format = *format;
    loaded.system = ParseSystem(contents, name, *format);
    return loaded;
  }
  loaded.format = DetectSystemFormat(contents, path == kStandardStream ? "" : path);
  try {
    loaded.system = ParseSystem(contents, name, loaded.format);
    return loaded;
  } catch (const Error& first) {
    for (SystemFormat other : {SystemFormat::kPsNum, SystemFormat::kPhc, SystemFormat::kText}) {
      if (other == loaded.format) continue;
      try {
        loaded.system = ParseSystem(contents, name, other);
      } catch (const Error&) {
        continue;
      }
      loaded.note = name + " is not " + FormatDescription(loaded.format) + " (" + first.what() +
                    "); read it as " + FormatDescription(other);
      loaded.format = other;
      return loaded;
    }
    throw;
  }
}

}  // namespace zormix::frontend
