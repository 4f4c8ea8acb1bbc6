#include "base/atomic_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

#include "zormix/error.h"

namespace zormix {
namespace {

constexpr std::size_t kFlushSize = 1 << 16;
// Symlink hops followed before giving up, as the kernel does (ELOOP).
constexpr int kMaxSymlinkHops = 40;

// ---------------------------------------------------------------------------------------------
// Live temporaries, in fixed buffers so that a signal handler can unlink them without allocating
// or locking. A slot is free (0), being filled (1) or holds a live temporary (2). More live
// temporaries than slots are still removed by their owners, only not by a signal handler.

constexpr int kRegistrySlots = 128;
struct TemporarySlot {
  std::atomic<int> state{0};
  char path[PATH_MAX];
};
TemporarySlot gTemporaries[kRegistrySlots];

int RegisterTemporary(const std::string& path) {
  if (path.size() >= PATH_MAX) return -1;
  for (int s = 0; s < kRegistrySlots; ++s) {
    int expected = 0;
    if (!gTemporaries[s].state.compare_exchange_strong(expected, 1)) continue;
    std::memcpy(gTemporaries[s].path, path.c_str(), path.size() + 1);
    gTemporaries[s].state.store(2);
    return s;
  }
  return -1;
}

void UnregisterTemporary(int& slot) {
  if (slot >= 0) gTemporaries[slot].state.store(0);
  slot = -1;
}

// ---------------------------------------------------------------------------------------------

// The process umask, read once: umask() can only be read by setting it.
mode_t ProcessUmask() {
  static const mode_t mask = [] {
    const mode_t m = umask(0);
    umask(m);
    return m;
  }();
  return mask;
}

std::string ReadLink(const std::string& link) {
  std::vector<char> buffer(256);
  while (true) {
    const ssize_t size = readlink(link.c_str(), buffer.data(), buffer.size());
    if (size < 0) return std::string();
    if (static_cast<std::size_t>(size) < buffer.size()) return std::string(buffer.data(), size);
    buffer.resize(buffer.size() * 2);
  }
}

std::string FolderOf(const std::string& path) {
  const std::string folder = std::filesystem::path(path).parent_path().string();
  return folder.empty() ? "." : folder;
}

// `path` with every symlink of its last component followed, even to a file that does not exist
// yet; a relative link is relative to the folder of the link.
std::string FollowSymlinks(const std::string& path, int* errorNumber) {
  std::string target = path;
  for (int hop = 0; hop < kMaxSymlinkHops; ++hop) {
    struct stat st;
    if (lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return target;
    const std::string link = ReadLink(target);
    if (link.empty()) return target;
    target = link[0] == '/' ? link : FolderOf(target) + "/" + link;
  }
  *errorNumber = ELOOP;
  return target;
}

// Devices and FIFOs are written in place: replacing /dev/null or a pipe by a file would break it.
bool IsWrittenDirectly(const struct stat& st) {
  return S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) || S_ISFIFO(st.st_mode);
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

}  // namespace

AtomicFile::AtomicFile(std::string path, std::string what)
    : path_(std::move(path)), what_(std::move(what)) {
  if (path_.empty()) return;
  int loop = 0;
  finalPath_ = FollowSymlinks(path_, &loop);
  if (loop != 0) Fail("cannot create", loop);
  struct stat st;
  const bool exists = stat(finalPath_.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) Fail("cannot create", EISDIR);
  if (exists && IsWrittenDirectly(st)) {
    fd_ = open(finalPath_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) Fail("cannot open", errno);
    return;
  }
  OpenTemporary(finalPath_);
  // A replaced file keeps its permissions; a new one gets the usual ones (mkstemp gives 0600).
  const mode_t mode = exists ? (st.st_mode & 07777) : (0666 & ~ProcessUmask());
  if (fchmod(fd_, mode) != 0) Fail("cannot create", errno);
}

void AtomicFile::OpenTemporary(const std::string& target) {
  std::string pattern = target + ".tmp.XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  // mkstemp opens with O_CREAT | O_EXCL: a planted file or symlink of that name is never used.
  fd_ = mkstemp(name.data());
  if (fd_ < 0) {
    const int error = errno;
    CheckOutputPath(path_, what_);  // the clearer message when the folder is the problem
    Fail("cannot create", error);
  }
  temporaryPath_ = name.data();
  registrySlot_ = RegisterTemporary(temporaryPath_);
}

AtomicFile::~AtomicFile() {
  if (!committed_) Discard();
}

void AtomicFile::Discard() {
  if (fd_ >= 0) close(std::exchange(fd_, -1));
  if (!temporaryPath_.empty()) unlink(temporaryPath_.c_str());
  temporaryPath_.clear();
  UnregisterTemporary(registrySlot_);
}

void AtomicFile::Write(std::string_view text) {
  if (path_.empty()) return;
  buffer_.append(text);
  if (buffer_.size() >= kFlushSize) Flush();
}

void AtomicFile::Flush() {
  if (buffer_.empty()) return;
  if (!WriteAll(fd_, buffer_.data(), buffer_.size())) Fail("cannot write", errno);
  buffer_.clear();
}

void AtomicFile::Commit() {
  if (path_.empty() || committed_) return;
  Flush();
  // The data reaches the disk before the name does, so a crash leaves the old file or the new.
  if (!temporaryPath_.empty() && fsync(fd_) != 0) Fail("cannot write", errno);
  if (close(std::exchange(fd_, -1)) != 0) Fail("cannot write", errno);
  if (!temporaryPath_.empty() && std::rename(temporaryPath_.c_str(), finalPath_.c_str()) != 0) {
    Fail("cannot replace", errno);
  }
  UnregisterTemporary(registrySlot_);
  committed_ = true;
}

void AtomicFile::Fail(const std::string& action, int errorNumber) {
  Discard();
  throw Error(ErrorCode::kCannotWrite,
              action + " the " + what_ + " " + Quoted(path_) + ": " + std::strerror(errorNumber));
}

void WriteFileAtomically(const std::string& path, std::string_view contents,
                         const std::string& what) {
  AtomicFile file(path, what);
  file.Write(contents);
  file.Commit();
}

void CheckOutputPath(const std::string& path, const std::string& what) {
  if (path.empty()) return;
  const std::string prefix = "cannot write the " + what + " " + Quoted(path) + ": ";
  int loop = 0;
  const std::string target = FollowSymlinks(path, &loop);
  if (loop != 0) throw Error(ErrorCode::kCannotWrite, prefix + std::strerror(loop));
  struct stat st;
  if (stat(target.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) throw Error(ErrorCode::kCannotWrite, prefix + "it is a folder");
    if (IsWrittenDirectly(st)) {
      if (access(target.c_str(), W_OK) != 0)
        throw Error(ErrorCode::kCannotWrite, prefix + std::strerror(errno));
      return;
    }
  }
  const std::string folder = FolderOf(target);
  if (stat(folder.c_str(), &st) != 0) {
    throw Error(ErrorCode::kCannotWrite,
                prefix + "the folder " + Quoted(folder) + " does not exist");
  }
  if (!S_ISDIR(st.st_mode))
    throw Error(ErrorCode::kCannotWrite, prefix + Quoted(folder) + " is not a folder");
  if (access(folder.c_str(), W_OK | X_OK) != 0) {
    throw Error(ErrorCode::kCannotWrite,
                prefix + "the folder " + Quoted(folder) + " is not writable");
  }
}

void RemovePendingTemporaries() {
  for (TemporarySlot& slot : gTemporaries) {
    if (slot.state.load() == 2) unlink(slot.path);
  }
}

}  // namespace zormix
