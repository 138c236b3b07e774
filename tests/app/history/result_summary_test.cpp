// Result documents of every shape: whatever a file holds (wrong kinds, values out of range, huge
// or deeply nested parts), reading it gives a summary or a sentence naming the field, never an
// exception; text from a document comes escaped; large documents are read in linear time.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <functional>
#include <fstream>
#include <set>
#include <sstream>

#include "app/run/headless_bench.h"
#include "app/history/history_db.h"
#include "app/history/result_summary.h"
#include "tests/support/scratch_folder.h"

namespace asmpic::app {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;

json Reference() {
  std::ifstream in(fs::path(ASMPIC_ASSETS) / "references" / "best-kernels.json");
  return json::parse(in);
}

// A version 1 document with one test of `samples` samples of 0.1 s.
json Version1(std::size_t samples) {
  json list = json::array();
  for (std::size_t i = 0; i < samples; ++i) list.push_back({{"monotonic_seconds", 0.1 + 1e-9 * i}});
  return {{"format", "asmpic-bench-result"},
          {"format_version", 1},
          {"program", {{"build", {{"kernel_variant", "fast"}}}}},
          {"machine", {{"cpu_model", nullptr}}},
          {"settings", {{"full_run", false}, {"threads", 0}}},
          {"score", nullptr},
          {"multi_core", nullptr},
          {"validation", {{"state", "valid"}}},
          {"tests", {{{"name", "rotate"}, {"calls", 720}, {"samples", list}}}}};
}

std::string Refusal(const json& document) {
  std::string error;
  EXPECT_FALSE(SummarizeDocument(document, &error)) << document.dump().substr(0, 300);
  return error;
}

TEST(ResultDocument, EveryValueTheSchemaForbidsNamesItsField) {
  ASSERT_TRUE(SummarizeDocument(Reference(), nullptr));
  const struct {
    const char* pointer;
    json value;
    const char* field;
  } cases[] = {
      {"/format_version", "2", "format_version"},
      {"/format_version", true, "format_version"},
      {"/format_version", 2.9, "format_version"},
      {"/settings/threads", "2", "settings.threads"},
      {"/settings/full_run", 1, "settings.full_run"},
      {"/machine/cpu_model", 5, "machine.cpu_model"},
      {"/score/value", 1.5, "score.value"},
      {"/mode", "elsewhere", "mode"},
      {"/throughput/single_core/tests/0/median", -5.0, "throughput.single_core.tests[0].median"},
      {"/throughput/single_core/tests/0/median", 0, "throughput.single_core.tests[0].median"},
      {"/throughput/single_core/tests/2/name", "rotate", "throughput.single_core.tests[2].name"},
      {"/throughput/single_core/score/low", 1e9, "throughput.single_core.score.low"},
      {"/throughput/single_core/score/confidence", 2, "throughput.single_core.score.confidence"},
      {"/throughput/multi_core/tests/6/count", -1, "throughput.multi_core.tests[6].count"},
      {"/throughput/multi_core", "none", "throughput.multi_core"},
      {"/validation/state", nullptr, "validation.state"},
      {"/program", json::array(), "program"},
  };
  for (const auto& c : cases) {
    json document = Reference();
    document[json::json_pointer(c.pointer)] = c.value;
    const std::string error = Refusal(document);
    EXPECT_NE(error.find(std::string("field ") + c.field + ": expected"), std::string::npos) << error;
  }
  // The interval's ends swapped, and a median so small that the interval is infinitely wide.
  json swapped = Reference();
  json& score = swapped["throughput"]["single_core"]["score"];
  std::swap(score["low"], score["high"]);
  EXPECT_NE(Refusal(swapped).find("score.low"), std::string::npos);
  json tiny = Reference();
  tiny["throughput"]["single_core"]["tests"][1]["median"] = 5e-324;
  tiny["throughput"]["single_core"]["tests"][1]["low"] = 5e-324;
  EXPECT_NE(Refusal(tiny).find("tests[1].high"), std::string::npos);
  // Sixty thousand tests, and one nested a hundred thousand deep.
  json many = Reference();
  many["throughput"]["single_core"]["tests"] = json::array();
  for (int i = 0; i < 60000; ++i) many["throughput"]["single_core"]["tests"].push_back(i);
  EXPECT_NE(Refusal(many).find("at most 7"), std::string::npos);
  std::string nested = "{\"format\":\"asmpic-bench-result\",\"format_version\":2,\"program\":";
  nested += std::string(100000, '[') + std::string(100000, ']') + "}";
  EXPECT_NE(Refusal(json::parse(nested)).find("field program: expected an object"), std::string::npos);
}

// Every value of a sound document replaced by every kind of value: a summary or a refusal, never
// an exception, and whatever is accepted holds what the schema allows.
TEST(ResultDocument, AnyValueAnywhereIsReadOrRefusedWithoutAnException) {
  // The reference with its long series cut to eight entries: a fraction of the copying, every
  // field still there.
  json reference = Reference();
  const std::function<void(json&)> cut = [&](json& value) {
    if (value.is_array() && value.size() > 8) value.erase(value.begin() + 8, value.end());
    if (value.is_structured()) {
      for (json& inner : value) cut(inner);
    }
  };
  cut(reference);
  ASSERT_TRUE(SummarizeDocument(reference, nullptr));  // or every case below would be a refusal
  std::set<std::string> pointers;
  const json flat = reference.flatten();
  for (const auto& [leaf, value] : flat.items()) {
    // The first two entries of every array stand for the rest.
    bool later = false;
    for (std::size_t at = leaf.find('/'); at != std::string::npos; at = leaf.find('/', at + 1))
      later = later || (std::isdigit(static_cast<unsigned char>(leaf[at + 1])) && leaf[at + 1] >= '2');
    if (later) continue;
    for (std::string p = leaf; !p.empty(); p = p.substr(0, p.rfind('/'))) pointers.insert(p);
  }
  const json kinds[] = {nullptr, true, "x", -1, 0, 1e308, 3.5, json::array(), json::object()};
  for (const std::string& pointer : pointers) {
    for (const json& kind : kinds) {
      json document = reference;
      document[json::json_pointer(pointer)] = kind;
      std::string error;
      const auto summary = SummarizeDocument(document, &error);
      if (!summary) {
        EXPECT_NE(error.find("expected"), std::string::npos) << pointer << ": " << error;
        continue;
      }
      for (const TestThroughput& t : summary->tests) {
        if (t.mpix.count == 0) continue;
        EXPECT_GT(t.mpix.median, 0.0) << pointer;
        if (t.mpix.low) {
          EXPECT_LE(*t.mpix.low, *t.mpix.high) << pointer;
        }
      }
    }
  }
}

TEST(ResultDocument, TextFromADocumentIsEscapedForTheTerminal) {
  json document = Reference();
  document["machine"]["cpu_model"] = "CPU\x1b[2J\u009b6n\x7f";
  const auto summary = SummarizeDocument(document, nullptr);
  ASSERT_TRUE(summary);
  EXPECT_EQ(summary->cpuModel, "CPU\\x1b[2J\\x9b6n\\x7f");
  EXPECT_EQ(EscapedForTerminal("±5 % é"), "±5 % é");
}

TEST(ResultDocument, AHundredThousandSamplesAreReadAndTwoMillionMoreRefused) {
  std::string error;
  const auto summary = SummarizeDocument(Version1(100000), &error);
  ASSERT_TRUE(summary) << error;
  ASSERT_EQ(summary->tests.size(), 1u);
  EXPECT_EQ(summary->tests[0].mpix.count, 100000);
  EXPECT_LT(*summary->tests[0].mpix.low, *summary->tests[0].mpix.high);

  json zero = Version1(3);
  zero["tests"][0]["samples"][1]["monotonic_seconds"] = 0;
  EXPECT_NE(Refusal(zero).find("tests[0].samples[1].monotonic_seconds"), std::string::npos);
  json absurd = Version1(1);
  absurd["tests"][0]["samples"] = json::array_t(2000001);
  EXPECT_NE(Refusal(absurd).find("at most 2000000"), std::string::npos);
}

// A bundled reference that is not a sound document costs the run nothing: it is reported,
// written and stored.
TEST(ResultDocument, ABadReferenceNeitherAbortsNorLosesTheRun) {
  const fs::path dir = asmpic::testing::TestScratchFolder("asmbench_bad_reference");
  fs::remove_all(dir);
  fs::create_directories(dir / "assets" / "references");
  for (const char* picture : {"picture1.jpg", "picture2.bmp"})
    fs::copy_file(fs::path(ASMPIC_ASSETS) / picture, dir / "assets" / picture);
  std::ofstream(dir / "assets" / "references" / "bad.json")
      << R"({"format":"asmpic-bench-result","format_version":"2"})";
  HeadlessOptions options;
  options.assetsDirectory = (dir / "assets").string();
  options.tests = {"contour"};
  options.threads = 0;
  options.minRuns = 1;
  options.minTime = 0.0;
  options.showProgress = false;
  options.history.dbPath = (dir / "history.sqlite").string();
  std::ostringstream out, err;
  EXPECT_EQ(RunHeadlessBenchmark(options, out, err), kExitOk) << err.str();
  EXPECT_NE(err.str().find("stored as run 1"), std::string::npos) << err.str();
  HistoryDb db(options.history.dbPath, HistoryDb::kReadOnly);
  EXPECT_EQ(db.List().size(), 1u);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace asmpic::app
