#include "frontend/output.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "base/atomic_file.h"
#include "base/file_lock.h"
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

void CheckOutputsApart(const std::vector<NamedFile>& inputs,
                       const std::vector<NamedFile>& outputs) {
  for (std::size_t k = 0; k < outputs.size(); ++k) {
    for (const NamedFile& input : inputs) CheckDistinctFiles({input, outputs[k]});
    for (std::size_t j = k + 1; j < outputs.size(); ++j)
      CheckDistinctFiles({outputs[k], outputs[j]});
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

RecordFile::RecordFile(const std::string& path, const std::string& what, Opening opening)
    : path_(path), what_(what) {
  if (path == kStandardStream) {
    fd_ = STDOUT_FILENO;
    return;
  }
  fd_ = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);  // emptied once locked
  if (fd_ < 0) Fail("cannot open the " + what_ + " for writing", errno);
  struct stat st {};
  if (fstat(fd_, &st) != 0) Fail("cannot inspect the " + what_, errno);
  if (S_ISDIR(st.st_mode) || S_ISSOCK(st.st_mode)) {
    close(fd_);
    fd_ = -1;
    throw Error(ErrorCode::kCannotWrite,
                path_ + ": cannot write the " + what_ + ": it is not a regular file");
  }
  regular_ = S_ISREG(st.st_mode);
  if (!regular_) return;
  if (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    const long holder = error == EWOULDBLOCK ? FlockHolder(fd_) : 0;
    close(fd_);
    fd_ = -1;
    if (error != EWOULDBLOCK) Fail("cannot lock the " + what_, error);
    throw Error(
        ErrorCode::kCannotWrite,
        path_ + ": the " + what_ + " is in use by " +
            (holder > 0 ? "process " + std::to_string(holder) : std::string("another process")) +
            ", which is writing it; wait for it to end or give another file");
  }
  if (opening == Opening::kEmpty && ftruncate(fd_, 0) != 0)
    Fail("cannot empty the " + what_, errno);
}

RecordFile::~RecordFile() {
  if (fd_ >= 0 && fd_ != STDOUT_FILENO) close(fd_);  // the lock goes with it
}

void RecordFile::Fail(const std::string& action, int errorNumber) {
  throw Error(ErrorCode::kCannotWrite, path_ + ": " + action + ": " + std::strerror(errorNumber));
}

std::int64_t RecordFile::Resume(const std::function<bool(std::string_view record)>& accept) {
  if (!regular_)
    throw Error(ErrorCode::kBadArgument, path_ + ": only a regular file can be resumed");
  const int reader = open(("/proc/self/fd/" + std::to_string(fd_)).c_str(), O_RDONLY | O_CLOEXEC);
  if (reader < 0) Fail("cannot read the " + what_ + " back", errno);
  std::int64_t kept = 0;
  std::string pending;
  char buffer[1 << 16];
  bool accepting = true;
  while (accepting) {
    const ssize_t got = read(reader, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int error = errno;
      close(reader);
      Fail("cannot read the " + what_ + " back", error);
    }
    if (got == 0) break;
    pending.append(buffer, static_cast<std::size_t>(got));
    std::size_t begin = 0;
    for (std::size_t newline; (newline = pending.find('\n', begin)) != std::string::npos;
         begin = newline + 1) {
      if (!accept(std::string_view(pending).substr(begin, newline + 1 - begin))) {
        accepting = false;
        break;
      }
      end_ += static_cast<std::int64_t>(newline + 1 - begin);
      ++kept;
    }
    pending.erase(0, begin);
  }
  close(reader);
  if (ftruncate(fd_, end_) != 0) Fail("cannot cut the " + what_ + " to its whole records", errno);
  return kept;
}

void RecordFile::Write(std::string_view record) {
  std::size_t done = 0;
  while (done < record.size()) {
    const ssize_t w = regular_ ? pwrite(fd_, record.data() + done, record.size() - done,
                                        static_cast<off_t>(end_ + static_cast<std::int64_t>(done)))
                               : write(fd_, record.data() + done, record.size() - done);
    if (w < 0 && errno == EINTR) continue;
    if (w < 0) {
      const int error = errno;
      // The torn record goes: the file ends in the records written whole.
      if (regular_ && ftruncate(fd_, end_) != 0) {
        // The write's error is the one to report; the cut failing too leaves the torn tail.
      }
      Fail("cannot write the " + what_, error);
    }
    done += static_cast<std::size_t>(w);
  }
  end_ += static_cast<std::int64_t>(record.size());
}

void CheckStreamWritten(std::FILE* stream, const std::string& what) {
  errno = 0;
  if (std::fflush(stream) == 0 && !std::ferror(stream)) return;
  const int error = errno;
  throw Error(ErrorCode::kCannotWrite,
              "cannot write the " + what + " to standard output" +
                  (error != 0 ? std::string(": ") + std::strerror(error) : std::string()));
}

}  // namespace zormix::frontend
