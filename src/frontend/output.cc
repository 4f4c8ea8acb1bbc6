#include "frontend/output.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "base/atomic_file.h"
#include "frontend/input.h"
#include "zormix/error.h"

namespace zormix::frontend {
namespace {

namespace fs = std::filesystem;

// Symlinks followed hop by hop, as the kernel does, before it gives up.
constexpr int kMaxSymlinkHops = 40;

// The absolute path `path` finally names: symlinks of the last component followed even to a file
// that does not exist yet, then those of the folders, "." and "..".
fs::path ResolvedPath(const std::string& path) {
  std::error_code error;
  fs::path resolved = fs::absolute(path, error);
  for (int hop = 0; hop < kMaxSymlinkHops && fs::is_symlink(resolved, error); ++hop) {
    const fs::path target = fs::read_symlink(resolved, error);
    if (error) break;
    resolved = target.is_absolute() ? target : resolved.parent_path() / target;
  }
  return fs::weakly_canonical(resolved, error).lexically_normal();
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  // Devices and pipes (/dev/null) take any number of writers.
  const fs::file_status sa = fs::status(a, error), sb = fs::status(b, error);
  if ((fs::exists(sa) && !fs::is_regular_file(sa)) || (fs::exists(sb) && !fs::is_regular_file(sb)))
    return false;
  if (fs::exists(sa) && fs::exists(sb)) return fs::equivalent(a, b, error);
  return ResolvedPath(a) == ResolvedPath(b);
}

}  // namespace

void CheckDistinctFiles(const std::vector<NamedFile>& files) {
  for (std::size_t i = 0; i < files.size(); ++i) {
    for (std::size_t j = i + 1; j < files.size(); ++j) {
      const std::string& a = files[i].path;
      const std::string& b = files[j].path;
      if (a.empty() || b.empty() || a == kStandardStream || b == kStandardStream) continue;
      if (SameFile(a, b))
        throw Error(ErrorCode::kBadArgument,
                    "the " + files[i].what + " '" + a + "' and the " + files[j].what + " '" + b +
                        "' are the same file; one would overwrite the other");
    }
  }
}

void CheckOutputPath(const std::string& path, const std::string& what) {
  if (path == kStandardStream) return;
  zormix::CheckOutputPath(path, what);
}

void StreamOutput(const std::string& path, const TextProducer& produce, const std::string& what) {
  if (path != kStandardStream) {
    AtomicFile file(path, what);
    produce([&file](std::string_view piece) { file.Write(piece); });
    file.Commit();
    return;
  }
  const auto fail = [&what] {
    throw Error(ErrorCode::kCannotWrite,
                "cannot write the " + what + " to standard output: " + std::strerror(errno));
  };
  produce([&fail](std::string_view piece) {
    if (std::fwrite(piece.data(), 1, piece.size(), stdout) != piece.size()) fail();
  });
  if (std::fflush(stdout) != 0) fail();
}

void WriteOutput(const std::string& path, std::string_view text, const std::string& what) {
  StreamOutput(
      path, [text](const auto& write) { write(text); }, what);
}

}  // namespace zormix::frontend
