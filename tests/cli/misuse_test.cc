// Runs a new user or an attacker might try: files that collide or are no files, a second run on a
// checkpoint in use, limits on the file size, mistyped commands and options, options that do
// nothing, and the documentation of every option.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "cli/cli_fixture.h"
#include "support/systems.h"
#include "zormix/io.h"

namespace zormix {
namespace {

using testing::CliRun;
using testing::CliTest;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

constexpr const char* kCircle = "x^2 + y^2 - 1\nx - y\n";

bool HasTemporary(const fs::path& dir) {
  for (const auto& entry : fs::directory_iterator(dir))
    if (entry.path().filename().string().find(".tmp.") != std::string::npos) return true;
  return false;
}

TEST_F(CliTest, OutputsThatAreOneFileAreRefusedBeforeAnyWork) {
  Write("circle.txt", kCircle);
  Write("k.ck", "progress of another day");
  fs::create_symlink("k.ck", dir_ / "link");
  for (const std::string args :
       {"-o k.ck --checkpoint k.ck", "--json k.ck --checkpoint k.ck", "-o link --checkpoint k.ck",
        "-o ./sub/../k.ck --json k.ck", "--json circle.txt"}) {
    fs::create_directory(dir_ / "sub");
    const CliRun run = Zormix("circle.txt --seed 1 " + args);
    EXPECT_EQ(run.code, 2) << args;
    EXPECT_THAT(run.err, HasSubstr("same file")) << args;
  }
  EXPECT_EQ(Slurp("k.ck"), "progress of another day");
  EXPECT_EQ(Slurp("circle.txt"), kCircle);
  // Devices take any number of writers.
  EXPECT_EQ(Zormix("circle.txt -o /dev/null --json /dev/null").code, 0);
}

TEST_F(CliTest, ACheckpointMustBeARegularFile) {
  Write("circle.txt", kCircle);
  CliRun run = Zormix("circle.txt --checkpoint -");
  EXPECT_EQ(run.code, 2);
  EXPECT_THAT(run.err, HasSubstr("--checkpoint '-'"));
  EXPECT_FALSE(fs::exists(dir_ / "-"));
  ASSERT_EQ(mkfifo((dir_ / "fifo").c_str(), 0600), 0);
  const auto start = std::chrono::steady_clock::now();
  run = Zormix("circle.txt --checkpoint fifo");  // would wait for a writer forever if opened
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(run.code, 1);
  EXPECT_THAT(run.err, HasSubstr("checkpoint fifo is not a regular file"));
}

TEST_F(CliTest, OptionsWithoutEffectAreSaid) {
  Write("circle.txt", kCircle);
  const CliRun run = Zormix("circle.txt --mixed-volume --checkpoint ck --certify");
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_THAT(run.err, HasSubstr("--checkpoint has no effect with --mixed-volume"));
  EXPECT_THAT(run.err, HasSubstr("--certify has no effect with --mixed-volume"));
  EXPECT_FALSE(fs::exists(dir_ / "ck"));
  EXPECT_EQ(Zormix("circle.txt --mixed-volume").err, "");
}

// A second run on the checkpoint of a running solve is refused at once, naming the first; the
// first, stopped, leaves its saved paths, from which a third run resumes and says so.
TEST_F(CliTest, ACheckpointInUseIsRefusedNamingItsHolder) {
  Write("cyclic.txt", FormatPolynomialText(testing::Cyclic(7)));
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  const pid_t first = fork();
  ASSERT_GE(first, 0);
  if (first == 0) {
    dup2(pipeFds[1], STDERR_FILENO);
    close(pipeFds[0]);
    if (chdir(dir_.c_str()) != 0) _exit(99);
    execl(ZORMIX_CLI_PATH, "zormix", "cyclic.txt", "--seed", "3", "--threads", "1", "--progress",
          "--checkpoint", "ck", "-o", "first.roots", static_cast<char*>(nullptr));
    _exit(98);
  }
  close(pipeFds[1]);
  std::string err;
  char buffer[4096];
  CliRun second;
  bool interrupted = false;
  // Interrupted only once its progress shows a path tracked, so that one is saved however slowly
  // the first run got going.
  const std::regex somePathTracked("tracking [1-9][0-9]*/924");
  for (ssize_t got; (got = read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
    err.append(buffer, static_cast<std::size_t>(got));
    if (second.code < 0 && err.find("tracking") != std::string::npos)
      second = Zormix("cyclic.txt --seed 3 --checkpoint ck -o second.roots");
    if (second.code >= 0 && !interrupted && std::regex_search(err, somePathTracked)) {
      kill(first, SIGINT);
      interrupted = true;
    }
  }
  close(pipeFds[0]);
  int status = 0;
  waitpid(first, &status, 0);
  EXPECT_EQ(second.code, 1);
  EXPECT_THAT(second.err, HasSubstr("checkpoint ck is in use by process " + std::to_string(first)));
  EXPECT_FALSE(fs::exists(dir_ / "second.roots"));

  const CliRun resumed = Zormix("cyclic.txt --seed 3 --checkpoint ck -o third.roots");
  ASSERT_EQ(resumed.code, 0) << resumed.err;
  EXPECT_THAT(resumed.err, ::testing::MatchesRegex(
                               "(.|\n)*zormix: [1-9][0-9]* of 924 paths restored from checkpoint "
                               "ck\n(.|\n)*"));
}

// ulimit -f: the report cannot be written whole; the run says so, exits 1 and leaves no temporary.
TEST_F(CliTest, AFileSizeLimitIsAnErrorNotASignal) {
  Write("cyclic.txt", FormatPolynomialText(testing::Cyclic(5)));
  const std::string command = "cd '" + dir_.string() +
                              "' && ulimit -f 1 && '" ZORMIX_CLI_PATH
                              "' cyclic.txt --seed 1 -o out.roots 2>stderr.txt >/dev/null";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status)) << "ended by a signal";
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_THAT(Slurp("stderr.txt"), HasSubstr("File too large"));
  fs::remove(dir_ / "stderr.txt");
  EXPECT_FALSE(fs::exists(dir_ / "out.roots"));
  EXPECT_FALSE(HasTemporary(dir_));
}

TEST_F(CliTest, MistypedCommandsAndOptionsGetTheNearestOne) {
  Write("circle.txt", kCircle);
  CliRun run = Zormix("sovle circle.txt");
  EXPECT_EQ(run.code, 2);
  EXPECT_THAT(run.err, HasSubstr("'sovle': unknown command or missing file; did you mean "
                                 "'solve'?"));
  run = Zormix("circle.txt --thread 1");
  EXPECT_EQ(run.code, 2);
  EXPECT_THAT(run.err, HasSubstr("'--thread': unknown option; did you mean '--threads'?"));
  run = Zormix("convert circle.txt -o c.num --too text");
  EXPECT_THAT(run.err, HasSubstr("did you mean '--to'?"));
  // Far from every name: no guess.
  run = Zormix("circle.txt --frobnicate");
  EXPECT_EQ(run.code, 2);
  EXPECT_THAT(run.err, ::testing::Not(HasSubstr("did you mean")));
  // A file of a command-like name is still solved.
  Write("solv", kCircle);
  EXPECT_EQ(Zormix("solv --no-report").code, 0);
}

// A route with more paths than allowed is refused before tracking, with the figures.
TEST_F(CliTest, ARouteBeyondThePathLimitIsRefused) {
  Write("power.txt", "x^30 - 1\n");
  CliRun run = Zormix("power.txt -r total-degree --max-paths 29");
  EXPECT_EQ(run.code, 3);  // the exit code of zormix:outOfMemory
  EXPECT_THAT(run.err, HasSubstr("more than the 29 paths allowed"));
  EXPECT_FALSE(fs::exists(dir_ / "data.roots"));
  EXPECT_EQ(Zormix("power.txt -r total-degree --max-paths 30").code, 0);
  EXPECT_EQ(Zormix("power.txt --max-paths 0").code, 2);
}

// Every long option that --help shows is documented in docs/cli.md.
TEST_F(CliTest, EveryOptionOfTheHelpIsInTheManual) {
  const CliRun help = Zormix("--help");
  ASSERT_EQ(help.code, 0);
  std::ifstream in(testing::SourceDir() / "docs" / "cli.md");
  ASSERT_TRUE(in.is_open()) << testing::SourceDir();
  std::stringstream manual;
  manual << in.rdbuf();
  const std::regex option("--[a-z][a-z-]*");
  std::set<std::string> options(
      std::sregex_token_iterator(help.out.begin(), help.out.end(), option),
      std::sregex_token_iterator());
  ASSERT_GT(options.size(), 10u);
  const std::string text = manual.str();
  for (const std::string& name : options) {
    EXPECT_TRUE(std::regex_search(text, std::regex("`[^`]*" + name + "(?![a-z-])[^`]*`")))
        << name << " is not in docs/cli.md";
  }
}

}  // namespace
}  // namespace zormix
