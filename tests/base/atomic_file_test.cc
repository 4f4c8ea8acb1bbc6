#include "base/atomic_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"
#include "zormix/error.h"

namespace zormix {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

class AtomicFileTest : public testing::TempDirTest {
 protected:
  static std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  static std::vector<std::string> Entries(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
};

// Larger than one flush, so that a splice of two writers would show.
std::string Contents(int writer) {
  std::string text;
  for (int line = 0; line < 20000; ++line) text += "writer " + std::to_string(writer) + "\n";
  return text;
}

TEST_F(AtomicFileTest, ConcurrentWritersLeaveOneCompleteFileAndNoTemporaries) {
  const fs::path file = dir_ / "data.roots";
  constexpr int kWriters = 50;
  std::vector<std::string> contents;
  for (int w = 0; w < kWriters; ++w) contents.push_back(Contents(w));
  std::vector<std::thread> threads;
  std::vector<int> failures(kWriters, 0);
  for (int w = 0; w < kWriters; ++w) {
    threads.emplace_back([&, w] {
      try {
        WriteFileAtomically(file.string(), contents[w], "report file");
      } catch (const Error&) {
        failures[w] = 1;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(std::count(failures.begin(), failures.end(), 1), 0);
  EXPECT_THAT(contents, ::testing::Contains(Slurp(file)));
  EXPECT_THAT(Entries(dir_), ::testing::ElementsAre("data.roots"));
}

TEST_F(AtomicFileTest, PlantedTemporaryNameIsNeitherFollowedNorRemoved) {
  const fs::path victim = dir_ / "victim";
  const fs::path file = dir_ / "out";
  std::ofstream(victim) << "precious\n";
  fs::create_symlink(victim, file.string() + ".tmp");
  WriteFileAtomically(file.string(), "new\n");
  EXPECT_EQ(Slurp(victim), "precious\n");
  EXPECT_EQ(Slurp(file), "new\n");
  EXPECT_TRUE(fs::is_symlink(file.string() + ".tmp"));
  EXPECT_EQ(Entries(dir_).size(), 3u);
}

TEST_F(AtomicFileTest, SymlinksAreWrittenThroughToTheirFinalTarget) {
  fs::create_directory(dir_ / "real");
  const fs::path target = dir_ / "real" / "report";
  std::ofstream(target) << "old\n";
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
  // link2 -> link1 -> real/report, link1 relative to its own folder.
  fs::create_symlink("real/report", dir_ / "link1");
  fs::create_symlink(dir_ / "link1", dir_ / "link2");
  WriteFileAtomically((dir_ / "link2").string(), "new\n");
  EXPECT_TRUE(fs::is_symlink(dir_ / "link1"));
  EXPECT_TRUE(fs::is_symlink(dir_ / "link2"));
  EXPECT_EQ(Slurp(target), "new\n");
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_THAT(Entries(dir_ / "real"), ::testing::ElementsAre("report"));

  // A link to a file not yet there creates it.
  fs::create_symlink("real/fresh", dir_ / "dangling");
  WriteFileAtomically((dir_ / "dangling").string(), "fresh\n");
  EXPECT_TRUE(fs::is_symlink(dir_ / "dangling"));
  EXPECT_EQ(Slurp(dir_ / "real" / "fresh"), "fresh\n");

  fs::create_symlink(dir_ / "loop", dir_ / "loop");
  EXPECT_THROW(WriteFileAtomically((dir_ / "loop").string(), "x"), Error);
}

// The temporary lives beside the file finally written, not beside the link: the link's folder may
// be read-only or on another file system, where the rename would fail.
TEST_F(AtomicFileTest, TheTemporaryOfALinkIsBesideItsTarget) {
  fs::create_directory(dir_ / "links");
  fs::create_directory(dir_ / "real");
  fs::create_symlink("../real/report", dir_ / "links" / "report");
  AtomicFile file((dir_ / "links" / "report").string(), "report file");
  file.Write("text\n");
  EXPECT_THAT(Entries(dir_ / "links"), ::testing::ElementsAre("report"));
  const std::vector<std::string> beside = Entries(dir_ / "real");
  ASSERT_EQ(beside.size(), 1u);
  EXPECT_EQ(beside[0].rfind("report.tmp.", 0), 0u);
  file.Commit();
  EXPECT_TRUE(fs::is_symlink(dir_ / "links" / "report"));
  EXPECT_THAT(Entries(dir_ / "real"), ::testing::ElementsAre("report"));
}

TEST_F(AtomicFileTest, DevicesAndFifosAreWrittenInPlace) {
  WriteFileAtomically("/dev/null", "discarded\n");
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  // Through a symlink as well.
  fs::create_symlink("/dev/null", dir_ / "null");
  WriteFileAtomically((dir_ / "null").string(), "discarded\n");
  EXPECT_TRUE(fs::is_character_file("/dev/null"));

  const fs::path fifo = dir_ / "pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = Slurp(fifo); });
  const std::string text = Contents(7);
  WriteFileAtomically(fifo.string(), text);
  reader.join();
  EXPECT_EQ(received, text);
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_THAT(Entries(dir_), ::testing::ElementsAre("null", "pipe"));
}

TEST_F(AtomicFileTest, UnwritablePlacesAreNamedInTheMessage) {
  const std::string missing = (dir_ / "missing" / "data.roots").string();
  try {
    CheckOutputPath(missing, "report file");
    ADD_FAILURE() << "no error for a missing folder";
  } catch (const Error& e) {
    EXPECT_THAT(e.what(),
                HasSubstr("the folder \"" + (dir_ / "missing").string() + "\" does not exist"));
    EXPECT_THAT(e.what(), HasSubstr("report file \"" + missing + "\""));
  }
  EXPECT_THROW(WriteFileAtomically(missing, "x"), Error);
  EXPECT_THAT([&] { CheckOutputPath(dir_.string(), "report file"); },
              ::testing::ThrowsMessage<Error>(HasSubstr("it is a folder")));
  std::ofstream(dir_ / "plain") << "x";
  EXPECT_THAT([&] { CheckOutputPath((dir_ / "plain" / "x").string(), "file"); },
              ::testing::ThrowsMessage<Error>(HasSubstr("is not a folder")));
  EXPECT_NO_THROW(CheckOutputPath((dir_ / "new").string(), "file"));
  EXPECT_NO_THROW(CheckOutputPath("/dev/null", "file"));
}

TEST_F(AtomicFileTest, PendingTemporariesAreRemovedOnRequestAndAbandonedWritesLeaveNothing) {
  const fs::path file = dir_ / "out";
  {
    AtomicFile a(file.string(), "file");
    a.Write("partial");
    EXPECT_EQ(Entries(dir_).size(), 1u);  // the temporary
    RemovePendingTemporaries();
    EXPECT_TRUE(Entries(dir_).empty());
  }
  {
    AtomicFile b(file.string(), "file");
    b.Write("never committed");
  }
  EXPECT_TRUE(Entries(dir_).empty());
  // An empty path writes nothing.
  AtomicFile none("", "file");
  none.Write("x");
  none.Commit();
  EXPECT_TRUE(Entries(dir_).empty());
}

}  // namespace
}  // namespace zormix
