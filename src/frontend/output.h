// The files the command writes: checked before any work, written completely or not at all, and
// "-" for standard output.
#ifndef ZORMIX_FRONTEND_OUTPUT_H_
#define ZORMIX_FRONTEND_OUTPUT_H_

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

// Writes the text that `produce` gives, as it comes, to path ("-": standard output) through a
// temporary file renamed into place when `produce` returns; when it throws, the file at `path` is
// left as it was (standard output keeps what was written).
void StreamOutput(const std::string& path, const TextProducer& produce, const std::string& what);

// StreamOutput of a text already whole.
void WriteOutput(const std::string& path, std::string_view text, const std::string& what);

}  // namespace zormix::frontend

#endif  // ZORMIX_FRONTEND_OUTPUT_H_
