// The files the command writes: checked before any work, written completely or not at all, and
// "-" for standard output.
#ifndef ZORMIX_FRONTEND_OUTPUT_H_
#define ZORMIX_FRONTEND_OUTPUT_H_

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zormix::frontend {

// Hands a writer to a function that produces a text piece by piece.
using TextProducer = std::function<void(const std::function<void(std::string_view)>& write)>;

// The library's output check, with "-" (standard output) always fine.
void CheckOutputPath(const std::string& path, const std::string& what);

// A file the command reads or writes, as named on the command line ("-" and "" stand for none).
struct NamedFile {
  std::string what;  // "report file", "JSON file", "checkpoint", "input"
  std::string path;
};

// Throws Error when two of `files` are one file, however named: through symlinks (followed also
// to a file not yet there), "." and "..", or hard links. One would overwrite the other.
void CheckDistinctFiles(const std::vector<NamedFile>& files);

// CheckDistinctFiles of every output against every input and every other output (inputs may name
// one file twice).
void CheckOutputsApart(const std::vector<NamedFile>& inputs, const std::vector<NamedFile>& outputs);

// Writes the text that `produce` gives, as it comes, to path ("-": standard output) through a
// temporary file renamed into place when `produce` returns; when it throws, the file at `path` is
// left as it was (standard output keeps what was written).
void StreamOutput(const std::string& path, const TextProducer& produce, const std::string& what);

// StreamOutput of a text already whole.
void WriteOutput(const std::string& path, std::string_view text, const std::string& what);

// Lines of JSON (one record each) written as they come to one file that the run holds from start
// to end:
//   - a regular file is opened without being emptied and locked exclusively first: a second run
//     given the same file, however named, is refused naming the process that holds it, and leaves
//     the file as it was; then the file is emptied (or, opened with kKeep, cut to what Resume
//     keeps);
//   - a record is written whole or not at all: when a write fails (a full disk, the file size
//     limit), what it wrote of the record is cut off again and Error kCannotWrite gives the
//     system's reason;
//   - "-" is standard output, and a FIFO or a device is written as it is (neither locked nor
//     emptied); a folder or another kind of file is refused.
class RecordFile {
 public:
  // kKeep leaves the records in the file for Resume, which must come before any Write.
  enum class Opening { kEmpty, kKeep };
  RecordFile(const std::string& path, const std::string& what, Opening opening = Opening::kEmpty);
  ~RecordFile();
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  // For a run that continues an earlier one: hands `accept` the records already in the file, one
  // whole line at a time in order, until it returns false or the lines end (a last line without
  // its newline, left by a run that was killed, is torn and not handed on); keeps the records
  // accepted and cuts off the rest. Returns the number kept. A regular file only.
  std::int64_t Resume(const std::function<bool(std::string_view record)>& accept);

  void Write(std::string_view record);

 private:
  [[noreturn]] void Fail(const std::string& action, int errorNumber);

  std::string path_;
  std::string what_;
  int fd_ = -1;
  bool regular_ = false;  // a regular file: locked, emptied and cut back on a failed write
  std::int64_t end_ = 0;  // bytes of whole records in a regular file
};

// Throws Error kCannotWrite with the system's reason when writing to `stream` (standard output)
// has failed so far; `what` names what was written ("table").
void CheckStreamWritten(std::FILE* stream, const std::string& what);

}  // namespace zormix::frontend

#endif  // ZORMIX_FRONTEND_OUTPUT_H_
