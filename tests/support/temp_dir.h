// A test with a fresh folder of its own, removed with everything in it when the test ends.
#ifndef ZORMIX_TESTS_SUPPORT_TEMP_DIR_H_
#define ZORMIX_TESTS_SUPPORT_TEMP_DIR_H_

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

namespace zormix::testing {

class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zormix_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::filesystem::path dir_;
};

}  // namespace zormix::testing

#endif  // ZORMIX_TESTS_SUPPORT_TEMP_DIR_H_
