// The one way the solver writes a file: it appears complete or not at all.
#ifndef ZORMIX_BASE_ATOMIC_FILE_H_
#define ZORMIX_BASE_ATOMIC_FILE_H_

#include <string>
#include <string_view>

namespace zormix {

// Text goes to a temporary file created exclusively (never through a symlink) beside `path` under
// a unique name; Commit() renames it over `path`, so concurrent writers of one path each leave a
// complete file of their own and the last rename wins. Destroyed without a successful Commit(), it
// removes its temporary file, so an interrupted write never leaves a partial file behind.
//   - `path` a symlink: the file it finally points to is replaced, and the link kept.
//   - `path` a character or block device or a FIFO (/dev/null, /dev/stdout, a pipe): written
//     directly, never replaced.
//   - `path` empty: nothing is written.
// Failures throw Error naming `path` and `what` it is (e.g. "report file").
class AtomicFile {
 public:
  AtomicFile(std::string path, std::string what);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  void Write(std::string_view text);
  void Commit();

 private:
  void OpenTemporary(const std::string& target);
  void Flush();
  void Discard();
  [[noreturn]] void Fail(const std::string& action, int errorNumber);

  std::string path_;
  std::string what_;
  std::string finalPath_;      // `path` with symlinks resolved
  std::string temporaryPath_;  // empty when writing directly
  int fd_ = -1;
  int registrySlot_ = -1;
  std::string buffer_;
  bool committed_ = false;
};

// Writes `contents` to `path` through an AtomicFile.
void WriteFileAtomically(const std::string& path, std::string_view contents,
                         const std::string& what = "file");

// Throws Error when `path` cannot be written: its folder does not exist, is not a folder or is not
// writable, or `path` is a folder. Front ends call it before a long solve.
void CheckOutputPath(const std::string& path, const std::string& what);

// Removes the temporaries of every AtomicFile not yet committed or destroyed. Async-signal-safe
// (unlink of names kept in fixed buffers): a SIGINT handler calls it, then ends the process.
void RemovePendingTemporaries();

}  // namespace zormix

#endif  // ZORMIX_BASE_ATOMIC_FILE_H_
