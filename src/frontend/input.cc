#include "frontend/input.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "io/reader.h"
#include "zormix/error.h"
#include "zormix/io.h"

namespace zormix::frontend {
namespace {

constexpr const char* kBlanks = " \t\r\f\v";

bool EndsWith(const std::string& text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The first line that holds more than blanks, without its blanks at both ends.
std::string_view FirstStatement(std::string_view contents) {
  if (contents.substr(0, 3) == "\xEF\xBB\xBF") contents.remove_prefix(3);  // byte-order mark
  std::size_t begin = 0;
  while (begin < contents.size()) {
    std::size_t end = contents.find('\n', begin);
    if (end == std::string_view::npos) end = contents.size();
    std::string_view line = contents.substr(begin, end - begin);
    const std::size_t first = line.find_first_not_of(kBlanks);
    if (first != std::string_view::npos) {
      line.remove_prefix(first);
      return line.substr(0, line.find_last_not_of(kBlanks) + 1);
    }
    begin = end + 1;
  }
  return {};
}

PolySystem Read(const std::string& path, const std::string& contents, InputFormat format) {
  if (format == InputFormat::kText) return ParsePolynomialText(contents, InputName(path));
  std::istringstream in(contents);
  return ReadSystem(in, InputName(path));
}

const char* FormatName(InputFormat format) {
  return format == InputFormat::kPsNum ? "PS.num" : "polynomial text";
}

}  // namespace

std::string InputName(const std::string& path) {
  return path == kStandardStream ? "standard input" : path;
}

InputFormat DetectFormat(const std::string& path, std::string_view contents) {
  if (EndsWith(path, ".num")) return InputFormat::kPsNum;
  const std::string_view first = FirstStatement(contents);
  const std::size_t digits = first.find_first_not_of("0123456789");
  return !first.empty() && digits == std::string_view::npos ? InputFormat::kPsNum
                                                            : InputFormat::kText;
}

std::string ReadWholeFile(const std::string& path) {
  std::ostringstream contents;
  if (path == kStandardStream) {
    contents << std::cin.rdbuf();
    return contents.str();
  }
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    throw Error(ErrorCode::kInvalidInput, path + ": cannot open the file: it is a directory");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw Error(ErrorCode::kInvalidInput, path + ": cannot open the file: " + std::strerror(errno));
  contents << in.rdbuf();
  if (in.bad()) throw Error(ErrorCode::kInvalidInput, path + ": cannot read the file");
  return contents.str();
}

LoadedSystem LoadSystem(const std::string& path, InputFormat format) {
  const std::string contents = ReadWholeFile(path);
  LoadedSystem loaded;
  loaded.format = format == InputFormat::kAuto ? DetectFormat(path, contents) : format;
  if (format != InputFormat::kAuto) {
    loaded.system = Read(path, contents, format);
    return loaded;
  }
  try {
    loaded.system = Read(path, contents, loaded.format);
    return loaded;
  } catch (const Error& first) {
    const InputFormat other =
        loaded.format == InputFormat::kPsNum ? InputFormat::kText : InputFormat::kPsNum;
    try {
      loaded.system = Read(path, contents, other);
    } catch (const Error&) {
      throw first;
    }
    loaded.note = InputName(path) + " is not " + FormatName(loaded.format) + " (" + first.what() +
                  "); read it as " + FormatName(other);
    loaded.format = other;
    return loaded;
  }
}

}  // namespace zormix::frontend
