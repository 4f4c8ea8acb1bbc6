// Telling the formats of system files apart, and reading a file in whichever it is written.
#include "io/system_format.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "io/lexical.h"
#include "io/phc_format.h"
#include "io/reader.h"
#include "zormix/error.h"
#include "zormix/io.h"

namespace zormix {
namespace {

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// Whether the first line after `from` that holds more than blanks holds integers only, as the
// term counts that follow n in a PS.num file do; a text that ends first counts as such.
bool NextLineHoldsIntegers(std::string_view text, std::size_t from) {
  while (from < text.size()) {
    const std::size_t end = std::min(text.find('\n', from), text.size());
    const std::string_view line = text.substr(from, end - from);
    if (line.find_first_not_of(" \t\r\f\v") != std::string_view::npos) {
      return line.find_first_not_of("0123456789+- \t\r\f\v,") == std::string_view::npos;
    }
    from = end + 1;
  }
  return true;
}

}  // namespace

const char* SystemFormatName(SystemFormat format) {
  switch (format) {
    case SystemFormat::kPsNum:
      return "psnum";
    case SystemFormat::kText:
      return "text";
    case SystemFormat::kPhc:
      return "phc";
  }
  return "text";
}

std::optional<SystemFormat> SystemFormatNamed(std::string_view name) {
  for (SystemFormat format : {SystemFormat::kPsNum, SystemFormat::kText, SystemFormat::kPhc}) {
    if (name == SystemFormatName(format)) return format;
  }
  return std::nullopt;
}

std::string FormatSystem(const PolySystem& system, SystemFormat format) {
  switch (format) {
    case SystemFormat::kText:
      return FormatPolynomialText(system);
    case SystemFormat::kPhc:
      return FormatPhcText(system);
    case SystemFormat::kPsNum:
      break;
  }
  return FormatSystemFile(system);
}

SystemFormat DetectSystemFormat(std::string_view contents, std::string_view fileName) {
  if (EndsWith(fileName, ".num")) return SystemFormat::kPsNum;
  contents = SkipByteOrderMark(contents);
  const std::optional<PhcCountLine> count = FindPhcCountLine(contents);
  if (!count) return SystemFormat::kText;
  if (!count->variables && NextLineHoldsIntegers(contents, count->end)) return SystemFormat::kPsNum;
  return SystemFormat::kPhc;
}

PolySystem ParseSystem(std::string_view contents, std::string_view sourceName,
                       SystemFormat format) {
  switch (format) {
    case SystemFormat::kText:
      return ParsePolynomialText(contents, sourceName);
    case SystemFormat::kPhc:
      return ParsePhcText(contents, sourceName);
    case SystemFormat::kPsNum:
      break;
  }
  std::istringstream in{std::string(contents)};
  return ReadSystem(in, std::string(sourceName));
}

std::string ReadFileContents(const std::string& path) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    throw Error(ErrorCode::kInvalidInput, path + ": cannot open the file: it is a directory");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw Error(ErrorCode::kInvalidInput, path + ": cannot open the file: " + std::strerror(errno));
  std::ostringstream contents;
  contents << in.rdbuf();
  if (in.bad()) throw Error(ErrorCode::kInvalidInput, path + ": cannot read the file");
  return contents.str();
}

PolySystem ReadAnySystemFile(const std::string& path, SystemFormat* format) {
  const std::string contents = ReadFileContents(path);
  const SystemFormat detected = DetectSystemFormat(contents, path);
  if (format != nullptr) *format = detected;
  return ParseSystem(contents, path, detected);
}

}  // namespace zormix
