#include "cli/output.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "base/atomic_file.h"
#include "cli/input.h"
#include "zormix/error.h"

namespace zormix::cli {

void CheckOutputPath(const std::string& path, const std::string& what) {
  if (path == kStandardStream) return;
  namespace fs = std::filesystem;
  const fs::path target(path);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::error_code error;
  const auto fail = [&](const std::string& why) {
    throw Error("cannot write the " + what + " \"" + path + "\": " + why);
  };
  if (fs::is_directory(target, error)) fail("it is a folder");
  if (!fs::is_directory(folder, error)) fail("the folder " + folder.string() + " does not exist");
  if (access(folder.c_str(), W_OK | X_OK) != 0) {
    fail("the folder " + folder.string() + ": " + std::strerror(errno));
  }
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
