// The chart file and the results dialog's "Save as JSON" are written as every other output:
// a disk that fills up keeps the earlier file whole, a pipe nobody reads is refused at once, and
// the system's reason is told.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "app/history/chart.h"
#include "tests/support/scratch_folder.h"

namespace asmpic::app {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The files this process may write are cut at `bytes` (a full disk, as far as the writer can tell).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &before_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = before_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &before_);
    std::signal(SIGXFSZ, previous_);
  }

 private:
  rlimit before_{};
  void (*previous_)(int) = nullptr;
};

TEST(ChartFile, IsReplacedWholeOrKeptAndFailuresSayWhy) {
  const fs::path dir = asmpic::testing::TestScratchFolder("asmbench_chart_file");
  fs::create_directories(dir);
  const Comparison comparison;
  std::string error;
  for (const char* name : {"c.svg", "c.png"}) {
    const fs::path chart = dir / name;
    std::ofstream(chart) << "earlier";
    {
      const FileSizeLimit full(64);
      EXPECT_FALSE(WriteChart(comparison, chart.string(), &error));
    }
    EXPECT_EQ(error, "cannot write " + chart.string() + ": File too large");
    EXPECT_EQ(Read(chart), "earlier");
    EXPECT_FALSE(WriteChart(comparison, (dir / "missing" / name).string(), &error));
    EXPECT_EQ(error, "cannot write " + (dir / "missing" / name).string() + ": No such file or directory");
  }
  ASSERT_EQ(::mkfifo((dir / "pipe.svg").c_str(), 0600), 0);
  ::alarm(10);  // a chart that waits for a reader ends the test instead of hanging it
  EXPECT_FALSE(WriteChart(comparison, (dir / "pipe.svg").string(), &error));
  ::alarm(0);
  EXPECT_NE(error.find("no program reads this pipe"), std::string::npos) << error;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3);  // no temporary file
  fs::remove_all(dir);
}

}  // namespace
}  // namespace asmpic::app
