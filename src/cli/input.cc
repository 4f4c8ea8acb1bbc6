#include "cli/input.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "zormix/error.h"
#include "zormix/io.h"
#include "zormix/solve.h"

namespace zormix::cli {

InputFormat DetectFormat(std::string_view contents) {
  if (contents.substr(0, 3) == "\xEF\xBB\xBF") contents.remove_prefix(3);  // byte-order mark
  std::size_t pos = contents.find_first_not_of(" \t\r\n\f\v");
  if (pos == std::string_view::npos) return InputFormat::kText;
  if (contents[pos] == '+' || contents[pos] == '-') ++pos;
  const std::size_t digitsBegin = pos;
  while (pos < contents.size() && contents[pos] >= '0' && contents[pos] <= '9') ++pos;
  const bool ends = pos == contents.size() || std::strchr(" \t\r\n\f\v,", contents[pos]) != nullptr;
  return pos > digitsBegin && ends ? InputFormat::kPsNum : InputFormat::kText;
}

std::string ReadWholeFile(const std::string& path) {
  if (std::filesystem::is_directory(path))
    throw Error(path + ": cannot open the file: it is a directory");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Error(path + ": cannot open the file: " + std::strerror(errno));
  std::ostringstream contents;
  contents << in.rdbuf();
  if (in.bad()) throw Error(path + ": cannot read the file");
  return contents.str();
}

PolySystem LoadSystem(const std::string& path, InputFormat format, InputFormat* detected) {
  const std::string contents = ReadWholeFile(path);
  if (format == InputFormat::kAuto) format = DetectFormat(contents);
  if (detected != nullptr) *detected = format;
  if (format == InputFormat::kPsNum) return ReadSystemFile(path);
  return ParsePolynomialText(contents, path);
}

}  // namespace zormix::cli
