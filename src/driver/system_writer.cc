// Writer of the "PS.num" format, the inverse of ReadSystemFile, and the atomic file write that
// every output of the front ends goes through.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "zormix/error.h"
#include "zormix/poly_text.h"

namespace zormix {
namespace {

// %.17g gives back the same double when read.
std::string Exact(double x) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.17g", x);
  return buffer;
}

// Unquoted names stop at blanks, commas and slashes; such names, quotes and empty names are
// written in double quotes, a quote inside doubled.
std::string NameField(const std::string& padded) {
  const std::size_t end = padded.find_last_not_of(' ');
  const std::string name = end == std::string::npos ? std::string() : padded.substr(0, end + 1);
  if (!name.empty() && name.find_first_of(" \t,/'\"") == std::string::npos) return name;
  std::string quoted = "\"";
  for (char c : name) {
    quoted += c;
    if (c == '"') quoted += c;
  }
  return quoted + "\"";
}

std::string ErrnoText() { return std::strerror(errno); }

}  // namespace

void CheckSystemShape(const PolySystem& s) {
  if (s.n < 1) throw Error("the system has " + std::to_string(s.n) + " variables");
  if (s.termCount.size() != static_cast<std::size_t>(s.n)) {
    throw Error("the system has " + std::to_string(s.termCount.size()) + " term counts for " +
                std::to_string(s.n) + " equations");
  }
  std::int64_t m = 0;
  for (std::size_t i = 0; i < s.termCount.size(); ++i) {
    if (s.termCount[i] < 1) {
      throw Error("equation " + std::to_string(i + 1) + " has " + std::to_string(s.termCount[i]) +
                  " terms");
    }
    m += s.termCount[i];
  }
  if (s.exponents.rows() != s.n || s.exponents.cols() != m ||
      s.coefficients.size() < static_cast<std::size_t>(m)) {
    throw Error("the exponents or coefficients of the system do not match its " +
                std::to_string(m) + " terms");
  }
  for (std::int32_t e : s.exponents.storage()) {
    if (e < 0) throw Error("the system has a negative exponent " + std::to_string(e));
  }
}

std::string FormatSystemFile(const PolySystem& s) {
  CheckSystemShape(s);
  std::string out = std::to_string(s.n) + "\n";
  for (std::int32_t count : s.termCount) out += std::to_string(count) + "\n";
  for (std::int64_t p = 0; p < s.exponents.cols(); ++p) {
    for (int v = 0; v < s.n; ++v) {
      if (v > 0) out += ' ';
      out += std::to_string(s.exponents(v, p));
    }
    out += "\n";
  }
  for (std::int64_t p = 0; p < s.exponents.cols(); ++p) {
    const Complex c = s.coefficients[static_cast<std::size_t>(p)];
    out += '(';
    out += Exact(c.real());
    out += ',';
    out += Exact(c.imag());
    out += ")\n";
  }
  for (int k = 0; k < s.n; ++k) {
    const bool named = k < static_cast<int>(s.variableNames.size());
    out += (named ? NameField(s.variableNames[k]) : std::string("x") + std::to_string(k + 1)) + "\n";
  }
  return out;
}

void WriteSystemFile(const PolySystem& system, const std::string& path) {
  WriteFileAtomically(path, FormatSystemFile(system));
}

void WriteFileAtomically(const std::string& path, std::string_view contents) {
  std::string temp = path + ".tmp.XXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) throw Error(path + ": cannot create a temporary file beside it: " + ErrnoText());
  temp = name.data();
  std::FILE* file = fdopen(fd, "w");
  bool ok = file != nullptr;
  if (!ok) close(fd);
  if (ok) ok = std::fwrite(contents.data(), 1, contents.size(), file) == contents.size();
  if (ok) ok = std::fflush(file) == 0;
  if (file != nullptr && std::fclose(file) != 0) ok = false;
  // mkstemp creates the file readable by its owner only; give it the usual permissions.
  if (ok) {
    const mode_t mask = umask(0);
    umask(mask);
    chmod(temp.c_str(), 0666 & ~mask);
  }
  if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    const std::string reason = ErrnoText();
    std::remove(temp.c_str());
    throw Error(path + ": cannot write the file: " + reason);
  }
}

}  // namespace zormix
