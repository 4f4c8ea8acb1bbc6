// A report file that appears complete or not at all.
#ifndef ZORMIX_REPORT_REPORT_FILE_H_
#define ZORMIX_REPORT_REPORT_FILE_H_

#include <cstdio>
#include <string>

namespace zormix {

// Lines go to path + ".tmp" in the same folder; Commit() renames it over `path`. A file that is
// destroyed without a successful Commit() removes its temporary file, so an interrupted report
// never leaves a partial file behind. An empty path writes nothing. Failures throw Error naming
// the path.
class ReportFile {
 public:
  explicit ReportFile(std::string path);
  ~ReportFile();
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;

  // Appends text followed by a newline.
  void WriteLine(const std::string& text);
  void Commit();

 private:
  void Flush();
  [[noreturn]] void Fail(const std::string& what, int errorNumber);

  std::string path_;
  std::string temporaryPath_;
  std::FILE* file_ = nullptr;
  std::string buffer_;
  bool committed_ = false;
};

}  // namespace zormix

#endif  // ZORMIX_REPORT_REPORT_FILE_H_
