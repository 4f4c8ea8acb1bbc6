// Runs of the zormix program in a fresh folder per test.
#ifndef ZORMIX_TESTS_CLI_CLI_FIXTURE_H_
#define ZORMIX_TESTS_CLI_CLI_FIXTURE_H_

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/temp_dir.h"

namespace zormix::testing {

namespace fs = std::filesystem;

// The source tree: ZORMIX_SOURCE_DIR as ctest sets it, else the tree this test was built from (a
// run of the test program by hand).
inline fs::path SourceDir() {
  const char* source = std::getenv("ZORMIX_SOURCE_DIR");
  return fs::path(source != nullptr && *source != '\0' ? source : ZORMIX_TEST_SOURCE_DIR);
}

struct CliRun {
  int code = -1;
  std::string out;
  std::string err;
};

class CliTest : public testing::TempDirTest {
 protected:
  // Runs zormix with args in the test's folder: standard input from the file `input` of the
  // folder (empty when not given), ZORMIX_SEED and ZORMIX_THREADS unset unless `environment`
  // (assignments such as "ZORMIX_SEED=5") sets them.
  CliRun Zormix(const std::string& args, const std::string& environment = "",
                const std::string& input = "") const {
    const std::string command = "cd '" + dir_.string() +
                                "' && env -u ZORMIX_SEED -u ZORMIX_THREADS " + environment +
                                " '" ZORMIX_CLI_PATH "' " + args + " <" +
                                (input.empty() ? "/dev/null" : input) + " >stdout.txt 2>stderr.txt";
    const int status = std::system(command.c_str());
    CliRun run;
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = Slurp("stdout.txt");
    run.err = Slurp("stderr.txt");
    fs::remove(dir_ / "stdout.txt");
    fs::remove(dir_ / "stderr.txt");
    return run;
  }

  std::string Slurp(const std::string& name) const {
    std::ifstream in(dir_ / name);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  void Write(const std::string& name, const std::string& contents) const {
    std::ofstream(dir_ / name) << contents;
  }
};

}  // namespace zormix::testing

#endif  // ZORMIX_TESTS_CLI_CLI_FIXTURE_H_
