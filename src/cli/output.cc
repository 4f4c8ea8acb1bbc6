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

}  // namespace zormix::cli
