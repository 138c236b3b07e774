// Staged outputs: every target replaced together or none, devices written through, the same file
// named twice found; and the strict numbers and option hints both command lines share.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "platform/output_files.h"
#include "tests/support/scratch_folder.h"

// A folder whose sync fails (a disk error): this program's fsync stands in for the system's and
// fails for folders while asked to.
namespace {
bool failFolderSync = false;
}  // namespace

extern "C" int fsync(int fd) {
  struct stat status {};
  if (failFolderSync && ::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
    errno = EIO;
    return -1;
  }
  static const auto real = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"));
  return real(fd);
}

namespace asmpic::platform {
namespace {

namespace fs = std::filesystem;

class OutputFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = asmpic::testing::TestScratchFolder("output_files");
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  void Write(const std::string& name, const std::string& text) const { std::ofstream(path(name)) << text; }
  std::string Read(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  // Every file in the folder, temporary ones included.
  std::size_t FileCount() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
  }

  fs::path dir_;
  std::ostringstream standardOutput_;
};

TEST_F(OutputFilesTest, ACompleteSetReplacesEveryTargetKeepingModesAndLinks) {
  Write("old.json", "old");
  ::chmod(path("old.json").c_str(), 0640);
  Write("linked.csv", "old");
  fs::create_symlink("linked.csv", dir_ / "link.csv");
  std::string error;
  {
    OutputFiles outputs(standardOutput_);
    std::ostream* json = outputs.Stage(path("old.json"), &error);
    std::ostream* csv = outputs.Stage(path("link.csv"), &error);
    std::ostream* fresh = outputs.Stage(path("new.txt"), &error);
    std::ostream* out = outputs.Stage("-", &error);
    ASSERT_TRUE(json && csv && fresh && out) << error;
    *json << "new json";
    *csv << std::string(200000, 'c');  // larger than the stream's buffer
    *fresh << "new";
    *out << "to standard output";
    EXPECT_EQ(Read("old.json"), "old");  // nothing is in place before the commit
    ASSERT_TRUE(outputs.Commit(&error)) << error;
  }
  EXPECT_EQ(Read("old.json"), "new json");
  EXPECT_EQ(fs::status(path("old.json")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.csv"));
  EXPECT_EQ(Read("linked.csv").size(), 200000u);
  EXPECT_EQ(Read("new.txt"), "new");
  EXPECT_EQ(standardOutput_.str(), "to standard output");
  EXPECT_EQ(FileCount(), 4u);  // no temporary file is left behind
}

TEST_F(OutputFilesTest, WhenAnyOutputFailsNoTargetChanges) {
  Write("keep.json", "the earlier result");
  Write("keep.csv", "an earlier table");
  std::string error;
  {
    // A write that fails midway: /dev/full is written through and refuses every byte.
    OutputFiles outputs(standardOutput_);
    *outputs.Stage(path("keep.json"), &error) << "new";
    *outputs.Stage("/dev/full", &error) << std::string(100000, 'x');
    *outputs.Stage(path("keep.csv"), &error) << "new";
    EXPECT_FALSE(outputs.Commit(&error));
    EXPECT_EQ(error, "/dev/full: No space left on device");
  }
  {
    // A run that ends before its outputs are committed (an error, an interruption).
    OutputFiles outputs(standardOutput_);
    *outputs.Stage(path("keep.json"), &error) << "partial";
  }
  EXPECT_EQ(Read("keep.json"), "the earlier result");
  EXPECT_EQ(Read("keep.csv"), "an earlier table");
  EXPECT_EQ(FileCount(), 2u);
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

// A rename, a folder's sync or the other half of the decision (storing the run) that fails after
// some targets were replaced puts every one back: the earlier file, or no file where there was none.
TEST_F(OutputFilesTest, AFailureAfterTheFirstRenamePutsEveryTargetBack) {
  enum class Fault { kTargetBecomesAFolder, kFolderSync, kAlongside };
  for (const Fault fault : {Fault::kTargetBecomesAFolder, Fault::kFolderSync, Fault::kAlongside}) {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    Write("a.json", "earlier a");
    Write("c.csv", "earlier c");
    std::string error;
    bool alongsideRan = false;
    {
      OutputFiles outputs(standardOutput_);
      *outputs.Stage(path("a.json"), &error) << "new a";
      *outputs.Stage(path("new.txt"), &error) << "new";
      *outputs.Stage(path("c.csv"), &error) << "new c";
      if (fault == Fault::kTargetBecomesAFolder) {
        fs::remove(dir_ / "c.csv");
        fs::create_directory(dir_ / "c.csv");
      }
      failFolderSync = fault == Fault::kFolderSync;
      EXPECT_FALSE(outputs.Commit(&error, [&](std::string* why) {
        alongsideRan = true;
        *why = "the history is full";
        return fault != Fault::kAlongside;
      }));
      failFolderSync = false;
    }
    EXPECT_EQ(alongsideRan, fault == Fault::kAlongside);
    EXPECT_EQ(Read("a.json"), "earlier a") << error;
    EXPECT_FALSE(fs::exists(dir_ / "new.txt")) << error;
    if (fault == Fault::kTargetBecomesAFolder) {
      EXPECT_EQ(error, path("c.csv") + ": Is a directory");
    } else {
      EXPECT_EQ(Read("c.csv"), "earlier c");
      EXPECT_EQ(error, fault == Fault::kFolderSync ? dir_.string() + ": Input/output error" : "the history is full");
    }
    EXPECT_EQ(FileCount(), 2u) << "no temporary file or kept link is left";
  }
}

// Every mode survives the umask, 0666 too, and so does the owner; a link to a file yet to be made
// makes it where the link leads.
TEST_F(OutputFilesTest, AReplacedFileKeepsItsModeAndOwner) {
  const mode_t umaskBefore = ::umask(022);
  for (const mode_t mode : {0666, 0600, 0751}) {
    Write("m.txt", "old");
    ::chmod(path("m.txt").c_str(), mode);
    const bool root = ::geteuid() == 0;
    if (root) {
      ASSERT_EQ(::chown(path("m.txt").c_str(), 4321, 4321), 0);
    }
    OutputFiles outputs(standardOutput_);
    std::string error;
    *outputs.Stage(path("m.txt"), &error) << "new";
    ASSERT_TRUE(outputs.Commit(&error)) << error;
    struct stat status {};
    ASSERT_EQ(::stat(path("m.txt").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, mode) << std::oct << mode;
    if (root) {
      EXPECT_EQ(status.st_uid, 4321u);
    }
    fs::remove(dir_ / "m.txt");
  }
  ::umask(umaskBefore);

  fs::create_directory(dir_ / "real");
  fs::create_symlink("real/made.json", dir_ / "link.json");
  OutputFiles outputs(standardOutput_);
  std::string error;
  *outputs.Stage(path("link.json"), &error) << "made";
  ASSERT_TRUE(outputs.Commit(&error)) << error;
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.json"));
  EXPECT_EQ(Read("real/made.json"), "made");
}

TEST_F(OutputFilesTest, APipeThatNobodyReadsIsRefusedAtOnce) {
  ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
  ::alarm(10);  // an open that waits for a reader ends the test instead of hanging it
  OutputFiles outputs(standardOutput_);
  std::string error;
  EXPECT_EQ(outputs.Stage(path("pipe"), &error), nullptr);
  ::alarm(0);
  EXPECT_EQ(error, path("pipe") + ": no program reads this pipe");

  const int reader = ::open(path("pipe").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  std::ostream* out = outputs.Stage(path("pipe"), &error);
  ASSERT_NE(out, nullptr) << error;
  *out << "through";
  ASSERT_TRUE(outputs.Commit(&error)) << error;
  char text[16] = {};
  EXPECT_EQ(::read(reader, text, sizeof text), 7);
  ::close(reader);
}

TEST_F(OutputFilesTest, AnOutputThatCannotBeWrittenIsKnownWhenStagedAndNamesTheReason) {
  fs::create_directory(dir_ / "folder");
  const struct {
    std::string path;
    std::string reason;
  } cases[] = {
      {path("missing/x.csv"), "No such file or directory"},
      {path("folder"), "Is a directory"},
      {"", "No such file or directory"},
  };
  for (const auto& c : cases) {
    OutputFiles outputs(standardOutput_);
    std::string error;
    EXPECT_EQ(outputs.Stage(c.path, &error), nullptr) << c.path;
    EXPECT_EQ(error, c.path + ": " + c.reason);
  }
  EXPECT_EQ(FileCount(), 1u);
}

TEST_F(OutputFilesTest, FindsTheSameFileNamedTwice) {
  Write("a.json", "");
  fs::create_symlink("a.json", dir_ / "b.json");
  const struct {
    std::vector<std::string> paths;
    bool same;
  } cases[] = {
      {{path("a.json"), path("b.json")}, true},                      // through a link
      {{path("new.csv"), (dir_ / "." / "new.csv").string()}, true},  // a file yet to be made
      {{"-", "-"}, true},
      {{"/dev/stdout", "-"}, true},
      {{path("a.json"), path("new.csv")}, false},
      {{path("x.csv"), path("y.csv"), "-"}, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FindSameFile(c.paths).has_value(), c.same) << c.paths[0] << " " << c.paths[1];
}

TEST(CommandLine, NumbersAreDecimalAndFitTheirRange) {
  const struct {
    std::string text;
    std::string accepted;  // as CLI11 converts it next; empty: refused
  } cases[] = {
      {"16", "16"}, {"+16", "16"},      {"010", "10"},       {"-1", "-1"},       {"0x10", ""},    {"1e3", ""},
      {"", ""},     {"4294967297", ""}, {"99999999999", ""}, {"2147483648", ""}, {"1000001", ""}, {" 5", ""},
  };
  const CLI::Validator whole = WholeNumber(-1, 1000000);
  for (const auto& c : cases) {
    std::string text = c.text;
    const std::string error = whole(text);
    EXPECT_EQ(error.empty(), !c.accepted.empty()) << c.text << ": " << error;
    if (error.empty()) {
      EXPECT_EQ(text, c.accepted);
    }
  }
  const CLI::Validator decimal = DecimalNumber(0.0, 100.0);
  for (std::string good : {"3", "0.25", "+1.5", "1e-300", "1e1", "5e-324", "1e-400"})
    EXPECT_EQ(decimal(good), "") << good;
  for (std::string bad : {"nan", "inf", "0x1p3", "1e2x", "-0.5", "101"}) EXPECT_NE(decimal(bad), "") << bad;
}

TEST(CommandLine, HelpIsReadableAndATypoFindsTheNearestOption) {
  CLI::App app{"test"};
  app.formatter(ReadableHelp());
  int repeat = 0;
  std::string json;
  auto* run = app.add_flag("--run");
  app.add_option("--repeat", repeat, "timed runs")->check(WholeNumber(1, 10))->type_name("N")->excludes(run);
  app.add_option("--json", json, "the document")->type_name("FILE")->needs(run);
  const std::string help = app.help();
  EXPECT_EQ(help.find("Excludes"), std::string::npos) << help;
  EXPECT_EQ(help.find("Needs"), std::string::npos) << help;
  EXPECT_NE(help.find("--repeat N"), std::string::npos) << help;

  EXPECT_EQ(NearestOption(app, "--repet"), "--repeat");
  EXPECT_EQ(NearestOption(app, "--jsno"), "--json");
  EXPECT_EQ(NearestOption(app, "--headless"), std::nullopt);
}

// "--json --no-save" must not write a file named --no-save: a value that looks like an option is
// refused unless it is written with an equals sign; "-" (standard output) and negative numbers are
// values.
TEST(CommandLine, AValueThatLooksLikeAnOptionIsRefused) {
  const auto parse = [](std::vector<std::string> words, std::string* json) {
    CLI::App app{"test"};
    int offset = 0;
    app.add_flag("--no-save");
    app.add_option("--json", *json);
    app.add_option("--offset", offset);
    words.insert(words.begin(), "prog");
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    return ParseCommandLine(app, static_cast<int>(argv.size()), argv.data(), "prog");
  };
  std::string json;
  EXPECT_EQ(parse({"--json", "--no-save"}, &json), 2);
  EXPECT_EQ(parse({"--no-save", "--json", "-x"}, &json), 2);
  EXPECT_EQ(json, "");
  EXPECT_EQ(parse({"--json=--no-save"}, &json), std::nullopt);
  EXPECT_EQ(json, "--no-save");
  EXPECT_EQ(parse({"--json", "-", "--offset", "-5", "--no-save"}, &json), std::nullopt);
  EXPECT_EQ(json, "-");
}

}  // namespace
}  // namespace asmpic::platform
