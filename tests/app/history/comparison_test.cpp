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
#include "app/results/fingerprint.h"
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

// The document with `runs` runs whose Mpix/s are mpix x each factor, in its samples and run
// scores, and a fingerprint naming `kernels` as its kernels' sources.
json WithRuns(json document, const std::vector<double>& factors,
              const std::string& kernels = "00112233aabbccdd") {
  const double mpix = document["throughput"]["single_core"]["score"]["median"].get<double>();
  document["format_version"] = 3;
  document["settings"]["pixels_per_call"] = 64449;
  document["tests"] = json::array();
  for (const char* name : kNames) {
    json samples = json::array();
    for (const double f : factors) samples.push_back({{"monotonic_seconds", 100 * 64449 / (mpix * f * 1e6)}});
    document["tests"].push_back({{"name", name}, {"calls", 100}, {"samples", samples}});
  }
  json scores = json::array();
  for (const double f : factors) scores.push_back(mpix * f);
  document["throughput"]["single_core"]["run_scores"] = scores;
  document["fingerprint"] = {{"source_commit", kernels == "00112233aabbccdd" ? "a1b2c3d4e5" : "d4e5f6a7b8"},
                             {"kernel_sources", kernels},
                             {"start_picture", "2e3743d435196019"},
                             {"score_scale_version", 1},
                             {"pixels_per_call", 64449},
                             {"tests", json::array()}};
  return document;
}

const std::vector<double> kTenRuns = {0.99, 1.0, 1.01, 0.995, 1.005, 0.998, 1.002, 0.997, 1.003, 1.0};

// The table's line for `row` cut into its cells (separated by two spaces or more).
std::vector<std::string> Cells(const std::string& table, const std::string& row) {
  std::istringstream lines(table);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind(row + " ", 0) != 0) continue;
    std::vector<std::string> cells;
    std::size_t at = 0;
    while (at < line.size()) {
      const std::size_t gap = line.find("  ", at);
      cells.push_back(line.substr(at, gap - at));
      if (gap == std::string::npos) break;
      at = line.find_first_not_of(' ', gap);
    }
    return cells;
  }
  return {};
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
  // Without runs in the documents: the medians' ratios, no interval and no verdict. Twice as fast
  // in [2]'s column, 0.5 % faster in [3]'s.
  const auto score = Cells(table, "score");
  ASSERT_EQ(score.size(), 10u) << table;
  EXPECT_EQ(score[3], "2.00x") << table;
  EXPECT_EQ(score[5], "-") << table;
  EXPECT_EQ(score[7], "1.00x") << table;
  EXPECT_NE(table.find("different modes"), std::string::npos) << table;
  EXPECT_NE(table.find("different kernels (AVX2, SSE2)"), std::string::npos) << table;
  EXPECT_TRUE(fs::exists(options.chart));

  options.compare = {file, "no-such-thing"};
  EXPECT_EQ(RunHistoryCommand(options, (dir_ / "assets").string(), out, err), 2);
  EXPECT_NE(err.str().find("'no-such-thing' is neither"), std::string::npos) << err.str();
}

TEST_F(Comparing, VerdictsInBothDirectionsInTheirOwnRowAndColumnAlignedByDisplayWidth) {
  std::vector<double> slower = kTenRuns;
  for (double& f : slower) f *= 0.9;
  const std::string base = Write("base.json", WithRuns(Version2(100.0), kTenRuns));
  const std::string down = Write("down.json", WithRuns(Version2(100.0), slower));
  const std::string same = Write("same.json", WithRuns(Version2(100.0), kTenRuns));
  HistoryOptions options;
  options.compare = {base, down, same};
  std::ostringstream out, err;
  ASSERT_EQ(RunHistoryCommand(options, (dir_ / "assets").string(), out, err), 0) << err.str();
  const std::string table = out.str();
  for (const char* row : {"rotate", "twirl", "score"}) {
    const auto cells = Cells(table, row);
    ASSERT_EQ(cells.size(), 10u) << table;
    EXPECT_EQ(cells[3], "0.900x") << table;
    EXPECT_EQ(cells[5], "slower") << table;
    EXPECT_EQ(cells[9], "same") << table;
  }
  // 10 against 10 runs reach 95.7 %, named once in the header.
  EXPECT_NE(table.find("95.7 % interval"), std::string::npos) << table;
  EXPECT_EQ(table.find(" * "), std::string::npos) << table;

  // The other direction: the first is the slower, so [2] is faster.
  options.compare = {down, base};
  std::ostringstream reversed;
  ASSERT_EQ(RunHistoryCommand(options, (dir_ / "assets").string(), reversed, err), 0) << err.str();
  EXPECT_EQ(Cells(reversed.str(), "score").at(5), "faster") << reversed.str();

  // Every line of the table ends each right-aligned column ([1], [2], [2]/[1]) at the same
  // terminal column, though "±" takes two bytes.
  std::istringstream lines(table);
  std::vector<std::vector<std::size_t>> ends;
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::size_t> lineEnds;
    for (std::size_t at = 0; at < line.size();) {
      const std::size_t gap = std::min(line.find("  ", at), line.size());
      lineEnds.push_back(DisplayWidth(line.substr(0, gap)));
      at = line.find_first_not_of(' ', gap);
      if (at == std::string::npos) break;
    }
    if (lineEnds.size() == 10) ends.push_back({lineEnds[1], lineEnds[2], lineEnds[3]});
  }
  ASSERT_EQ(ends.size(), 9u) << table;  // the header, seven tests and the score
  for (const auto& e : ends) EXPECT_EQ(e, ends.front()) << table;
}

TEST_F(Comparing, ResultsOfOtherWorkAreNotComparableAndTheGateFailsOnASlowdown) {
  std::vector<double> slower = kTenRuns;
  for (double& f : slower) f *= 0.8;
  const std::string base = Write("base.json", WithRuns(Version2(100.0), kTenRuns));
  const std::string down = Write("down.json", WithRuns(Version2(100.0), slower));
  const std::string other = Write("other.json", WithRuns(Version2(100.0), kTenRuns, "ffeeddccbbaa9988"));
  json picture = WithRuns(Version2(100.0), kTenRuns);
  picture["fingerprint"]["start_picture"] = "0000000000000001";
  const std::string moved = Write("picture.json", picture);

  HistoryOptions options;
  options.compare = {base, other, moved};
  std::ostringstream out, err;
  ASSERT_EQ(RunHistoryCommand(options, (dir_ / "assets").string(), out, err), 0) << err.str();
  const std::string table = out.str();
  EXPECT_NE(table.find("[2] is not comparable with [1]: different kernels (commit a1b2c3d vs d4e5f6a)"),
            std::string::npos)
      << table;
  EXPECT_NE(table.find("[3] is not comparable with [1]: another start picture"), std::string::npos) << table;
  const auto score = Cells(table, "score");
  ASSERT_EQ(score.size(), 10u) << table;
  EXPECT_EQ(score[3], "1.000x") << table;  // the numbers, without a verdict
  EXPECT_EQ(score[5], "-") << table;
  EXPECT_EQ(score[9], "-") << table;

  // --fail-if-slower: [1] 20 % slower than [2] fails at 10 % and passes at 30 %; [2] slower than
  // [1] passes; results that are not comparable cannot pass.
  options.compare = {down, base};
  options.failIfSlower = 10.0;
  std::ostringstream gate;
  EXPECT_EQ(RunHistoryCommand(options, (dir_ / "assets").string(), out, gate), 1);
  EXPECT_NE(gate.str().find("[1] is slower than [2] by 20.0 %"), std::string::npos) << gate.str();
  options.failIfSlower = 30.0;
  EXPECT_EQ(RunHistoryCommand(options, (dir_ / "assets").string(), out, err), 0) << err.str();
  options.compare = {base, down};
  options.failIfSlower = 1.0;
  EXPECT_EQ(RunHistoryCommand(options, (dir_ / "assets").string(), out, err), 0) << err.str();
  options.compare = {base, other};
  std::ostringstream refused;
  EXPECT_EQ(RunHistoryCommand(options, (dir_ / "assets").string(), out, refused), 1);
  EXPECT_NE(refused.str().find("not comparable"), std::string::npos) << refused.str();
}

TEST(AgainstReferences, TheLineNamesWhatDiffersFromEachReference) {
  auto run = SummarizeDocument(WithRuns(Version2(200.0), kTenRuns), nullptr);
  json otherMachine = WithRuns(Version2(100.0, "headless", "SSE2"), kTenRuns, "ffeeddccbbaa9988");
  otherMachine["machine"]["cpu_model"] = "Other CPU";
  otherMachine["program"]["build"]["kernel_choice"] = "baseline";
  otherMachine["reference"] = {{"description", "the baseline kernels"}};
  auto reference = SummarizeDocument(otherMachine, nullptr);
  auto same = SummarizeDocument(WithRuns(Version2(400.0), kTenRuns), nullptr);
  ASSERT_TRUE(run && reference && same);
  same->label = "best-kernels";
  const std::string line = AgainstReferences(*run, {*reference, *same});
  EXPECT_EQ(
      line,
      "2.00× the baseline kernels (other processor Other CPU, kernels baseline (SSE2), kernel sources of "
      "commit d4e5f6a (this build: a1b2c3d); same mode headless), 0.50× best-kernels (same processor "
      "Test CPU, kernels best (AVX2), kernel sources, mode headless)");
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

// The references must be measured with this build's kernels: after any edit of a kernel source,
// run tools/measure-references.sh in the same change.
TEST(References, WereMeasuredWithTheKernelsOfThisBuild) {
  for (const ResultSummary& r : LoadReferences(ASMPIC_ASSETS)) {
    ASSERT_TRUE(r.fingerprint.present) << r.label << " records no fingerprint";
    EXPECT_EQ(r.fingerprint.kernelSources, KernelSourcesFingerprint())
        << r.label << " was measured with other kernels (commit " << r.fingerprint.sourceCommit
        << "): run tools/measure-references.sh";
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
