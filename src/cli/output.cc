#include "cli/output.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/atomic_file.h"
#include "cli/input.h"
#include "zormix/error.h"

namespace zormix::cli {

void CheckOutputPath(const std::string& path, const std::string& what) {
  if (path == kStandardStream) return;
  zormix::CheckOutputPath(path, what);
}

void WriteOutput(const std::string& path, std::string_view text, const std::string& what) {
  if (path != kStandardStream) {
    WriteFileAtomically(path, text, what);
    return;
  }
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    throw Error("cannot write the " + what + " to standard output: " + std::strerror(errno));
  }
}

}  // namespace zormix::cli
