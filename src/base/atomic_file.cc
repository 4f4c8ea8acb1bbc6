#include "base/atomic_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "zormix/error.h"

namespace zormix {
namespace {

constexpr std::size_t kFlushSize = 1 << 16;

// mkstemp creates the file readable by its owner only; a finished file gets the usual permissions.
void GiveDefaultPermissions(const std::string& path) {
  const mode_t mask = umask(0);
  umask(mask);
  chmod(path.c_str(), 0666 & ~mask);
}

}  // namespace

AtomicFile::AtomicFile(std::string path, std::string what)
    : path_(std::move(path)), what_(std::move(what)) {
  std::string pattern = path_ + ".tmp.XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) Fail("cannot create", errno);
  temporaryPath_ = name.data();
  file_ = fdopen(fd, "wb");
  if (file_ == nullptr) {
    const int error = errno;
    close(fd);
    Fail("cannot create", error);
  }
}

AtomicFile::~AtomicFile() {
  if (file_ != nullptr) std::fclose(file_);
  if (!committed_ && !temporaryPath_.empty()) std::remove(temporaryPath_.c_str());
}

void AtomicFile::Write(std::string_view text) {
  buffer_.append(text);
  if (buffer_.size() >= kFlushSize) Flush();
}

void AtomicFile::Flush() {
  if (buffer_.empty()) return;
  if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
    Fail("cannot write", errno);
  }
  buffer_.clear();
}

void AtomicFile::Commit() {
  Flush();
  std::FILE* file = std::exchange(file_, nullptr);
  if (std::fclose(file) != 0) Fail("cannot write", errno);
  GiveDefaultPermissions(temporaryPath_);
  if (std::rename(temporaryPath_.c_str(), path_.c_str()) != 0) Fail("cannot replace", errno);
  committed_ = true;
}

void AtomicFile::Fail(const std::string& action, int errorNumber) {
  if (file_ != nullptr) std::fclose(std::exchange(file_, nullptr));
  if (!temporaryPath_.empty()) std::remove(temporaryPath_.c_str());
  temporaryPath_.clear();
  throw Error(action + " the " + what_ + " \"" + path_ + "\": " + std::strerror(errorNumber));
}

void WriteFileAtomically(const std::string& path, std::string_view contents,
                         const std::string& what) {
  AtomicFile file(path, what);
  file.Write(contents);
  file.Commit();
}

}  // namespace zormix
