// Comparing results: a file, a stored run and a reference side by side, a document of the first
// format version, the bundled references, and the chart written as SVG and PNG without a display.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include <unistd.h>
#include <QFile>
#include <QImage>
#include <QXmlStreamReader>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/history/chart.h"
#include "app/history/comparison.h"
#include "app/history/history_cli.h"
#include "app/history/history_db.h"
#include "tests/support/scratch_folder.h"

namespace asmpic::app {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;

const char* const kNames[] = {"rotate", "smoothing", "contour", "emboss", "ripple", "relief", "twirl"};

// A version 2 document whose tests all run at `mpix` Mpix/s with the interval [0.99, 1.01] x mpix.
json Version2(double mpix, const std::string& mode = "headless", const std::string& target = "AVX2") {
  json tests = json::array();
  for (const char* name : kNames) {
    tests.push_back({{"name", name},
                     {"median", mpix},
                     {"low", 0.99 * mpix},
                     {"high", 1.01 * mpix},
                     {"confidence", 0.96},
                     {"count", 9}});
  }
  const json score = {
      {"median", mpix}, {"low", 0.99 * mpix}, {"high", 1.01 * mpix}, {"confidence", 0.96}, {"count", 9}};
  return {{"format", "asmpic-bench-result"},
          {"format_version", 2},
          {"started_at", "2026-01-01T00:00:00Z"},
          {"mode", mode},
          {"program",
           {{"build", {{"kernel_variant", "fast"}, {"kernel_choice", "best"}, {"kernel_target", target}}}}},
          {"machine", {{"cpu_model", "Test CPU"}}},
          {"settings", {{"tests", kNames}, {"full_run", true}, {"threads", 0}}},
          {"tests", json::array()},
          {"classic_pass", nullptr},
          {"multi_core", nullptr},
          {"score", {{"value", 4990}, {"colour", "green"}}},
          {"throughput", {{"single_core", {{"score", score}, {"tests", tests}}}, {"multi_core", nullptr}}},
          {"validation", {{"state", "valid"}}}};
}

class Comparing : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = asmpic::testing::TestScratchFolder("asmbench_compare");
    fs::create_directories(dir_ / "assets" / "references");
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Write(const std::string& name, const json& document) {
    const fs::path file = dir_ / name;
    std::ofstream(file) << document.dump();
    return file.string();
  }
  fs::path dir_;
};

TEST_F(Comparing, AFileAStoredRunAndAReferenceSideBySide) {
  const std::string file = Write("a.json", Version2(100.0));
  const std::string db = (dir_ / "history.sqlite").string();
  const auto id = HistoryDb(db).Save(Version2(200.0, "window"));
  ASSERT_TRUE(id);
  json reference = Version2(100.5, "headless", "SSE2");
  reference["reference"] = {{"description", "the baseline kernels"}};
  Write("assets/references/baseline-kernels.json", reference);

  HistoryOptions options;
  options.dbPath = db;
  options.compare = {file, std::to_string(*id), "baseline-kernels"};
  options.chart = (dir_ / "chart.svg").string();
  std::ostringstream out, err;
  ASSERT_EQ(RunHistoryCommand(options, (dir_ / "assets").string(), out, err), 0) << err.str();
  const std::string table = out.str();
  EXPECT_NE(table.find("[1] a.json: headless, best (AVX2)"), std::string::npos) << table;
  EXPECT_NE(table.find("[2] run " + std::to_string(*id) + ": window"), std::string::npos) << table;
  EXPECT_NE(table.find("[3] baseline-kernels"), std::string::npos) << table;
  // Twice as fast and beyond the spread; 0.5 % faster and within it.
  EXPECT_NE(table.find("2.00x *"), std::string::npos) << table;
  EXPECT_NE(table.find("1.00x  "), std::string::npos) << table;
  EXPECT_NE(table.find("different modes"), std::string::npos) << table;
  EXPECT_NE(table.find("different kernels (AVX2, SSE2)"), std::string::npos) << table;
  EXPECT_TRUE(fs::exists(options.chart));

  options.compare = {file, "no-such-thing"};
  EXPECT_EQ(RunHistoryCommand(options, (dir_ / "assets").string(), out, err), 2);
  EXPECT_NE(err.str().find("'no-such-thing' is neither"), std::string::npos) << err.str();
}

TEST_F(Comparing, AFirstVersionDocumentIsReadFromItsMonotonicSamples) {
  json v1 = {{"format", "asmpic-bench-result"},
             {"format_version", 1},
             {"program", {{"build", {{"kernel_variant", "fast"}}}}},
             {"machine", {{"cpu_model", nullptr}}},
             {"settings", {{"full_run", true}, {"threads", 2}}},
             {"score", nullptr},
             {"multi_core", {{"threads", 2}}},
             {"validation", {{"state", "valid"}}},
             {"tests", json::array()}};
  for (const char* name : kNames) {
    // 297 x 217 pixels x 100 calls in 0.1 s and 0.2 s: 64.449 and 32.2245 Mpix/s.
    v1["tests"].push_back({{"name", name},
                           {"calls", 100},
                           {"samples", {{{"monotonic_seconds", 0.1}}, {{"monotonic_seconds", 0.2}}}}});
  }
  std::string error;
  const auto summary = SummarizeDocument(v1, &error);
  ASSERT_TRUE(summary) << error;
  EXPECT_EQ(summary->mode, "headless");
  EXPECT_EQ(summary->kernelChoice, "fast");
  EXPECT_EQ(summary->threads, 2);
  ASSERT_EQ(summary->tests.size(), 7u);
  EXPECT_NEAR(summary->tests[0].mpix.median, (64.449 + 32.2245) / 2, 1e-9);
  EXPECT_NEAR(summary->score.median, (64.449 + 32.2245) / 2, 1e-9);
  EXPECT_FALSE(summary->multiScore);

  v1["format_version"] = 7;
  EXPECT_FALSE(SummarizeDocument(v1, &error));
  EXPECT_NE(error.find("version 7"), std::string::npos);
  EXPECT_FALSE(SummarizeDocument(json{{"format", "asmpic-bench-result"}, {"format_version", 2}}, &error));
}

TEST(References, EveryBundledReferenceSaysWhatProducedIt) {
  const auto references = LoadReferences(ASMPIC_ASSETS);
  ASSERT_GE(references.size(), 3u);
  for (const ResultSummary& r : references) {
    EXPECT_FALSE(r.description.empty()) << r.label;
    EXPECT_EQ(r.mode, "headless") << r.label;
    EXPECT_FALSE(r.kernelTarget.empty()) << r.label;
    EXPECT_FALSE(r.cpuModel.empty()) << r.label;
    EXPECT_GT(r.threads, 0) << r.label;
    EXPECT_GT(r.score.count, 4) << r.label;
    EXPECT_EQ(r.validation, "valid") << r.label;
  }
}

TEST(Chart, WrittenWithoutADisplayAsWellFormedSvgAndAsPngOfItsSize) {
  std::vector<ResultSummary> columns;
  for (const double mpix : {100.0, 180.0, 40.0}) {
    auto summary = SummarizeDocument(Version2(mpix), nullptr);
    ASSERT_TRUE(summary);
    summary->label = "result " + std::to_string(columns.size() + 1);
    columns.push_back(*summary);
  }
  const Comparison comparison = Compare(columns);
  const fs::path dir = fs::temp_directory_path() / ("asmbench_chart_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string svg = (dir / "chart.svg").string();
  const std::string png = (dir / "chart.PNG").string();
  std::string error;
  ASSERT_TRUE(WriteChart(comparison, svg, &error)) << error;
  ASSERT_TRUE(WriteChart(comparison, png, &error)) << error;
  EXPECT_FALSE(WriteChart(comparison, (dir / "chart.gif").string(), &error));

  QFile file(QString::fromStdString(svg));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QXmlStreamReader xml(&file);
  int elements = 0;
  bool sawText = false;
  while (!xml.atEnd()) {
    if (xml.readNext() == QXmlStreamReader::StartElement) ++elements;
    if (xml.isCharacters() && xml.text().contains(QStringLiteral("Mpix/s"))) sawText = true;
  }
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  EXPECT_GT(elements, 3 * 8);
  EXPECT_TRUE(sawText);

  const QImage image(QString::fromStdString(png));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), ChartSize(comparison));
  // The second result's bars (its colour) are longer than the first's: 1.8 times.
  const auto barLength = [&](QRgb colour) {
    int longest = 0;
    for (int y = 0; y < image.height(); ++y) {
      int run = 0;
      for (int x = 0; x < image.width(); ++x) {
        run = (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF) ? run + 1 : 0;
        longest = std::max(longest, run);
      }
    }
    return longest;
  };
  const int first = barLength(0x3366cc);
  const int second = barLength(ColumnColours(comparison)[1].rgb());
  EXPECT_GT(first, 50);
  EXPECT_NEAR(static_cast<double>(second) / first, 1.8, 0.05);
  fs::remove_all(dir);
}

// A series keeps its colour whichever other results share the chart, and no two series of one
// chart share one.
TEST(ComparisonChart, EachSeriesKeepsItsColour) {
  const auto colours = [](std::vector<std::string> labels) {
    Comparison c;
    for (std::string& label : labels) c.columns.emplace_back().label = std::move(label);
    std::map<std::string, QRgb> byLabel;
    std::set<QRgb> distinct;
    const std::vector<QColor> chosen = ColumnColours(c);
    for (std::size_t i = 0; i < chosen.size(); ++i) {
      byLabel[c.columns[i].label] = chosen[i].rgb();
      distinct.insert(chosen[i].rgb());
    }
    EXPECT_EQ(distinct.size(), chosen.size());
    return byLabel;
  };
  const auto first = colours({"this run", "baseline-kernels", "best-kernels", "reference-kernels"});
  const auto later = colours({"this run", "run 4", "run 5", "baseline-kernels", "best-kernels", "reference-kernels"});
  for (const char* reference : {"baseline-kernels", "best-kernels", "reference-kernels"})
    EXPECT_EQ(first.at(reference), later.at(reference)) << reference;
  const auto again = colours({"this run", "run 5", "run 6", "best-kernels"});
  EXPECT_EQ(again.at("run 5"), later.at("run 5"));
  EXPECT_EQ(colours({"a.json", "b.json", "c.json", "d.json", "e.json", "f.json"}).size(), 6u);
}

}  // namespace
}  // namespace asmpic::app
