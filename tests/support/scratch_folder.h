#pragma once
// A folder of the running test's own in the system's temporary folder, named by a prefix, the
// process and the test, so parallel test processes and the cases of one suite never share files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace asmpic::testing {

inline std::filesystem::path TestScratchFolder(std::string_view prefix) {
  return std::filesystem::temp_directory_path() /
         (std::string(prefix) + "_" + std::to_string(::getpid()) + "_" +
          ::testing::UnitTest::GetInstance()->current_test_info()->name());
}

}  // namespace asmpic::testing
