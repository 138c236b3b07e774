// The result card: drawn as PNG and SVG from a result document and read back, whatever of the
// sustained summary the document holds, and nothing in either file that names this machine or
// its user.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <filesystem>
#include <fstream>

#include "app/history/comparison.h"
#include "app/history/result_card.h"
#include "tests/support/scratch_folder.h"

namespace asmpic::app {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;

std::string Read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

json Reference(const std::string& name) {
  std::ifstream in(std::string(ASMPIC_ASSETS) + "/references/" + name + ".json");
  return json::parse(in);
}

// What names this machine and its user: none may be in a card.
std::vector<std::string> PrivateWords() {
  std::vector<std::string> words;
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) == 0) words.emplace_back(host);
  if (const passwd* user = ::getpwuid(::getuid())) words.emplace_back(user->pw_name);
  if (const char* login = std::getenv("USER")) words.emplace_back(login);
  std::ifstream id("/etc/machine-id");
  std::string machineId;
  if (id >> machineId) words.push_back(machineId);
  std::erase_if(words, [](const std::string& w) { return w.empty(); });
  return words;
}

// A PNG file's chunks but its compressed pixels: where its words are.
std::string PngWords(const std::string& png) {
  std::string words;
  for (std::size_t at = 8; at + 12 <= png.size();) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(png[i])); };
    const std::uint32_t length = byte(at) << 24 | byte(at + 1) << 16 | byte(at + 2) << 8 | byte(at + 3);
    if (png.compare(at + 4, 4, "IDAT") != 0) words += png.substr(at + 4, 4 + std::min<std::size_t>(length, png.size()));
    at += 12 + static_cast<std::size_t>(length);
  }
  return words;
}

class ResultCardFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = asmpic::testing::TestScratchFolder("asmbench_card");
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(ResultCardFile, PngAndSvgReadBackWithTheScoresAndNothingPrivate) {
  json document = Reference("best-kernels");
  // This machine as the document would say it, so that a card that copied any of it would show.
  document["machine"]["cpu_model"] = "Test processor";
  const auto references = LoadReferences(ASMPIC_ASSETS);
  const QSize size = ResultCardSize(document, references);
  std::string error;
  ASSERT_TRUE(WriteResultCard(document, references, (dir_ / "card.png").string(), &error)) << error;
  ASSERT_TRUE(WriteResultCard(document, references, (dir_ / "card.svg").string(), &error)) << error;

  const QImage png(QString::fromStdString((dir_ / "card.png").string()));
  ASSERT_FALSE(png.isNull());
  EXPECT_EQ(png.size(), size);
  EXPECT_GE(png.width(), 800);
  QStringList keys = png.textKeys();
  keys.sort();
  EXPECT_EQ(keys, (QStringList{QStringLiteral("Description"), QStringLiteral("Title")}));

  const std::string svg = Read(dir_ / "card.svg");
  EXPECT_NE(svg.find("viewBox=\"0 0 " + std::to_string(size.width()) + " " + std::to_string(size.height())),
            std::string::npos);
  char score[32];
  std::snprintf(score, sizeof score, "%.1f",
                document["throughput"]["single_core"]["score"]["median"].get<double>());
  EXPECT_NE(svg.find(score), std::string::npos) << score;
  EXPECT_NE(svg.find("Test processor"), std::string::npos);
  EXPECT_NE(svg.find("<title>asmbench result card</title>"), std::string::npos);

  const std::string pngWords = PngWords(Read(dir_ / "card.png"));
  EXPECT_NE(pngWords.find("asmbench result card"), std::string::npos);  // the walk reads the text chunks
  for (const std::string& word : PrivateWords()) {
    EXPECT_EQ(svg.find(word), std::string::npos) << word;
    EXPECT_EQ(pngWords.find(word), std::string::npos) << word;
  }
}

TEST_F(ResultCardFile, ShowsTheSustainedSummaryWhateverOfItThereIs) {
  json document = Reference("baseline-kernels");
  document["sustained"] = {{"burst_score", 1000.0}, {"sustained_score", 900.0}, {"ratio", 0.9},
                           {"onset_seconds", nullptr}, {"max_temperature_c", 71.4}, {"passes", 42}};
  std::string error;
  ASSERT_TRUE(WriteResultCard(document, {}, (dir_ / "full.svg").string(), &error)) << error;
  const std::string full = Read(dir_ / "full.svg");
  EXPECT_NE(full.find("90 % kept"), std::string::npos);
  EXPECT_NE(full.find("never below 95 %"), std::string::npos);
  EXPECT_NE(full.find("42 passes"), std::string::npos);
  EXPECT_NE(full.find("hottest 71 °C"), std::string::npos);

  // Partial, mistyped or no object at all: the card is drawn without what is missing.
  for (const json& sustained : {json{{"burst_score", "fast"}, {"onset_seconds", 40.5}}, json::array(), json(7)}) {
    document["sustained"] = sustained;
    ASSERT_TRUE(WriteResultCard(document, {}, (dir_ / "partial.png").string(), &error)) << error;
  }
  EXPECT_NE(Read(dir_ / "partial.png").size(), 0u);

  // A document that is no result draws nothing and keeps the file as it was.
  std::ofstream(dir_ / "kept.png") << "earlier";
  EXPECT_FALSE(WriteResultCard(json{{"format", "other"}}, {}, (dir_ / "kept.png").string(), &error));
  EXPECT_EQ(Read(dir_ / "kept.png"), "earlier");
}

// This run's card, after a scaling that one processor stops at one thread; the chart and the
// card are drawn without a display. Pictures of other kinds are refused before anything runs.
TEST_F(ResultCardFile, ThisRunsCardAndScalingChartFromTheProgram) {
  const auto run = [&](const std::string& command) {
    const int raw = std::system((command + " >" + (dir_ / "out").string() + " 2>" + (dir_ / "err").string()).c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  };
  const std::string asmbench = ASMBENCH;
  EXPECT_EQ(run(asmbench + " --headless --chart s.gif --scaling"), 2);
  EXPECT_EQ(run(asmbench + " --headless --chart s.png"), 2);
  EXPECT_NE(Read(dir_ / "err").find("--chart needs --compare, --sustained or --scaling"), std::string::npos);
  EXPECT_EQ(run(asmbench + " --card c.gif"), 2);
  EXPECT_EQ(run(asmbench + " --card c.png no-such-run"), 2);

  const int status =
      run("env -u DISPLAY -u XDG_RUNTIME_DIR taskset -c 0 " + asmbench +
          " --scaling --tests contour --repeat 1 --no-warmup --min-time 0 --threads 1 --no-save --json " + (dir_ / "r.json").string() +
          " --chart " + (dir_ / "s.png").string() + " --card " + (dir_ / "c.svg").string());
  ASSERT_EQ(status, 0) << Read(dir_ / "err");
  const json document = json::parse(Read(dir_ / "r.json"));
  const json& scaling = document["scaling"];
  EXPECT_EQ(scaling["usable_processors"], 1);
  ASSERT_EQ(scaling["points"].size(), 1u);
  EXPECT_EQ(scaling["points"][0]["threads"], 1);
  EXPECT_EQ(scaling["points"][0]["speedup"]["median"], 1.0);
  EXPECT_GE(scaling["rounds"].get<int>(), 11);
  EXPECT_EQ(scaling["validation"], "valid");
  EXPECT_EQ(QImage(QString::fromStdString((dir_ / "s.png").string())).size(), QSize(720, 480));
  const std::string card = Read(dir_ / "c.svg");
  EXPECT_NE(card.find("Thread scaling: 1 thread 1.00× (100 %)"), std::string::npos);
  for (const std::string& word : PrivateWords()) EXPECT_EQ(card.find(word), std::string::npos) << word;

  // The stored-run form draws the same document from its file.
  EXPECT_EQ(run(asmbench + " --card " + (dir_ / "again.png").string() + " " + (dir_ / "r.json").string()), 0)
      << Read(dir_ / "err");
  EXPECT_FALSE(QImage(QString::fromStdString((dir_ / "again.png").string())).isNull());
}

}  // namespace
}  // namespace asmpic::app
