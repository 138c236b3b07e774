// The same pictures on every processor: asmpic runs the calls of tests/fixtures/asmpic_planes.txt
// (a few of every kernel family, and the benchmark's seven tests) and the three planes it writes
// must hash as that list says. The list was computed on x86-64; this test runs in every build,
// the 32-bit x86 and the emulated arm64 ones included, so any processor, compiler or C library
// that computes another byte shows up here, line by line.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <xxhash.h>

#include <array>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/scratch_folder.h"

namespace asmpic {
namespace {

namespace fs = std::filesystem;

struct ScriptLine {
  int number = 0;
  std::array<std::uint64_t, 3> planes{};  // XXH3-64 of planes 1, 2 and 3
  std::vector<std::string> args;          // asmpic's arguments, placeholders and repeats expanded
  std::string text;                       // the arguments as the list writes them
};

std::string Hex(std::uint64_t hash) {
  char text[17];
  std::snprintf(text, sizeof text, "%016" PRIx64, hash);
  return text;
}

// Replaces every `from` in `text` with `to`.
std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// Lines: three hashes, then asmpic's arguments separated by blanks; `#` starts a comment line.
// {assets} and {fixtures} name the folders; an argument CALL*N stands for N copies of CALL.
std::vector<ScriptLine> ReadScript(const fs::path& path) {
  std::ifstream in(path);
  EXPECT_TRUE(in) << "cannot read " << path;
  std::vector<ScriptLine> lines;
  int number = 0;
  for (std::string text; std::getline(in, text);) {
    ++number;
    if (text.empty() || text[0] == '#') continue;
    std::istringstream words(text);
    ScriptLine line;
    line.number = number;
    for (auto& hash : line.planes) {
      std::string word;
      words >> word;
      hash = std::strtoull(word.c_str(), nullptr, 16);
    }
    std::getline(words >> std::ws, line.text);
    std::istringstream args(line.text);
    for (std::string arg; args >> arg;) {
      arg = ReplaceAll(ReplaceAll(arg, "{assets}", ASMPIC_ASSETS), "{fixtures}", ASMPIC_FIXTURES);
      const auto star = arg.rfind('*');
      const int copies = star == std::string::npos ? 1 : std::atoi(arg.c_str() + star + 1);
      if (star != std::string::npos) arg.resize(star);
      for (int i = 0; i < copies; ++i) line.args.push_back(arg);
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

TEST(SamePlanes, EveryCallListedGivesThePlanesComputedOnX8664) {
  const fs::path dir = testing::TestScratchFolder("same_planes");
  fs::create_directories(dir);
  const std::vector<ScriptLine> script = ReadScript(fs::path(ASMPIC_FIXTURES) / "asmpic_planes.txt");
  ASSERT_GE(script.size(), 20u);
  std::string corrected;  // the lines as this build computes them, for a list that must change
  for (const ScriptLine& line : script) {
    const fs::path planes = dir / "planes.bin";
    std::string command = std::string(ASMPIC_TOOL) + " --planes " + planes.string();
    for (const std::string& arg : line.args) command += " " + arg;
    command += " 2>" + (dir / "stderr.txt").string();
    const int status = std::system(command.c_str());
    std::ifstream err(dir / "stderr.txt");
    const std::string message{std::istreambuf_iterator<char>(err), {}};
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "line " << line.number << ": asmpic failed: " << message;
    std::ifstream in(planes, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    ASSERT_EQ(bytes.size() % 3, 0u) << "line " << line.number;
    const std::size_t plane = bytes.size() / 3;
    std::string hashes;
    for (std::size_t k = 0; k < 3; ++k) {
      const std::uint64_t hash = XXH3_64bits(bytes.data() + k * plane, plane);
      EXPECT_EQ(Hex(hash), Hex(line.planes[k]))
          << "line " << line.number << ", plane " << k + 1 << ": " << line.text;
      hashes += Hex(hash) + " ";
    }
    corrected += hashes + line.text + "\n";
  }
  fs::remove_all(dir);
  if (HasFailure()) std::cerr << "This build computes:\n" << corrected;
}

}  // namespace
}  // namespace asmpic
