// The one way the solver writes a file: it appears complete or not at all.
#ifndef ZORMIX_BASE_ATOMIC_FILE_H_
#define ZORMIX_BASE_ATOMIC_FILE_H_

#include <cstdio>
#include <string>
#include <string_view>

namespace zormix {

// Text goes to a temporary file created beside `path` under a unique name; Commit() renames it
// over `path`. Destroyed without a successful Commit(), it removes its temporary file, so an
// interrupted write never leaves a partial file behind. Failures throw Error naming `path` and
// `what` it is (e.g. "report file").
class AtomicFile {
 public:
  AtomicFile(std::string path, std::string what);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  void Write(std::string_view text);
  void Commit();

 private:
  void Flush();
  [[noreturn]] void Fail(const std::string& action, int errorNumber);

  std::string path_;
  std::string what_;
  std::string temporaryPath_;
  std::FILE* file_ = nullptr;
  std::string buffer_;
  bool committed_ = false;
};

// Writes `contents` to `path` through an AtomicFile.
void WriteFileAtomically(const std::string& path, std::string_view contents,
                         const std::string& what = "file");

}  // namespace zormix

#endif  // ZORMIX_BASE_ATOMIC_FILE_H_
