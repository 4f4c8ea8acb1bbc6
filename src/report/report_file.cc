#include "report/report_file.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "zormix/error.h"

namespace zormix {
namespace {

constexpr std::size_t kFlushSize = 1 << 16;

}  // namespace

ReportFile::ReportFile(std::string path) : path_(std::move(path)) {
  if (path_.empty()) return;
  temporaryPath_ = path_ + ".tmp";
  file_ = std::fopen(temporaryPath_.c_str(), "wb");
  if (file_ == nullptr) Fail("cannot create", errno);
}

ReportFile::~ReportFile() {
  if (file_ != nullptr) std::fclose(file_);
  if (!committed_ && !temporaryPath_.empty()) std::remove(temporaryPath_.c_str());
}

void ReportFile::WriteLine(const std::string& text) {
  if (file_ == nullptr) return;
  buffer_ += text;
  buffer_ += '\n';
  if (buffer_.size() >= kFlushSize) Flush();
}

void ReportFile::Flush() {
  if (buffer_.empty()) return;
  if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
    Fail("cannot write", errno);
  }
  buffer_.clear();
}

void ReportFile::Commit() {
  if (file_ == nullptr) return;
  Flush();
  std::FILE* file = std::exchange(file_, nullptr);
  if (std::fclose(file) != 0) Fail("cannot write", errno);
  if (std::rename(temporaryPath_.c_str(), path_.c_str()) != 0) Fail("cannot replace", errno);
  committed_ = true;
}

void ReportFile::Fail(const std::string& what, int errorNumber) {
  if (file_ != nullptr) std::fclose(std::exchange(file_, nullptr));
  std::remove(temporaryPath_.c_str());
  temporaryPath_.clear();
  throw Error(what + " the report file \"" + path_ + "\": " + std::strerror(errorNumber));
}

}  // namespace zormix
