#include "app/history/result_summary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <set>

#include "app/run/benchmark_table.h"
#include "app/results/throughput.h"

namespace asmpic::app {

namespace {

using json = nlohmann::ordered_json;

// The picture that version 1 documents were measured on (they do not say).
constexpr long long kStandardPixels = 297LL * 217LL;
// Twice the timed runs --repeat allows: more samples of one test are not a run's.
constexpr std::size_t kMaxSamples = 2000000;

// A document that breaks its schema: the field, as a path from the document's top, and what it
// should have held.
struct Unsound {
  std::string field;
  std::string expected;
};

const char* KindOf(const json& value) {
  switch (value.type()) {
    case json::value_t::null:
      return "null";
    case json::value_t::boolean:
      return "true or false";
    case json::value_t::string:
      return "a string";
    case json::value_t::array:
      return "an array";
    case json::value_t::object:
      return "an object";
    case json::value_t::number_float:
      return "a decimal number";
    default:
      return "a whole number";
  }
}

// Reads the parts of a document that a summary needs, checking each against the schema as it
// goes; the first part that does not hold throws Unsound.
class Reader {
 public:
  [[noreturn]] static void Fail(const std::string& field, const std::string& expected) {
    throw Unsound{field, expected};
  }

  static const json& Member(const json& object, const std::string& at, const char* key) {
    const std::string field = at.empty() ? key : at + "." + key;
    if (!object.is_object()) Fail(at, "an object");
    const auto found = object.find(key);
    if (found == object.end()) Fail(field, "present (it is missing)");
    return *found;
  }

  static const json& Object(const json& object, const std::string& at, const char* key) {
    const json& value = Member(object, at, key);
    if (!value.is_object()) Fail(Join(at, key), std::string("an object, not ") + KindOf(value));
    return value;
  }

  static const json& Array(const json& object, const std::string& at, const char* key, std::size_t most) {
    const json& value = Member(object, at, key);
    if (!value.is_array()) Fail(Join(at, key), std::string("an array, not ") + KindOf(value));
    if (value.size() > most) Fail(Join(at, key), "at most " + std::to_string(most) + " entries");
    return value;
  }

  // A string, or empty where the member is missing or null and `optional`.
  static std::string Text(const json& object, const std::string& at, const char* key, bool optional) {
    const auto found = object.find(key);
    if (optional && (found == object.end() || found->is_null())) return {};
    const json& value = Member(object, at, key);
    if (!value.is_string()) Fail(Join(at, key), std::string("a string, not ") + KindOf(value));
    return value.get<std::string>();
  }

  static std::string OneOf(const json& object, const std::string& at, const char* key,
                           std::initializer_list<const char*> allowed, bool optional = false) {
    const std::string text = Text(object, at, key, optional);
    if (optional && text.empty()) return text;
    std::string names;
    for (const char* a : allowed) {
      if (text == a) return text;
      names += std::string(names.empty() ? "" : ", ") + a;
    }
    Fail(Join(at, key), "one of " + names);
  }

  static long long Whole(const json& object, const std::string& at, const char* key, long long low,
                         long long high) {
    const json& value = Member(object, at, key);
    const std::string range = "a whole number from " + std::to_string(low) + " to " + std::to_string(high);
    if (!value.is_number_integer()) Fail(Join(at, key), range + ", not " + KindOf(value));
    const long long number = value.is_number_unsigned() && value.get<unsigned long long>() > 1ULL << 62
                                 ? high + 1
                                 : value.get<long long>();
    if (number < low || number > high) Fail(Join(at, key), range);
    return number;
  }

  static bool Flag(const json& object, const std::string& at, const char* key) {
    const json& value = Member(object, at, key);
    if (!value.is_boolean()) Fail(Join(at, key), std::string("true or false, not ") + KindOf(value));
    return value.get<bool>();
  }

  // A finite number; above zero when `positive`.
  static double Number(const json& value, const std::string& field, bool positive) {
    const char* what = positive ? "a finite number above 0" : "a finite number";
    if (!value.is_number()) Fail(field, std::string(what) + ", not " + KindOf(value));
    const double number = value.get<double>();
    if (!std::isfinite(number) || (positive && !(number > 0.0))) Fail(field, what);
    return number;
  }

  static std::string Join(const std::string& at, const char* key) {
    return at.empty() ? key : at + "." + key;
  }
  static std::string Index(const std::string& at, std::size_t i) {
    return at + "[" + std::to_string(i) + "]";
  }
};

// One of the seven tests' short names, once per list.
std::string TestName(const json& entry, const std::string& at, std::set<std::string>& seen) {
  const std::string name = Reader::Text(entry, at, "name", false);
  bool known = false;
  for (const BenchmarkTest& test : kBenchmarkTests) known = known || name == test.name;
  if (!known) Reader::Fail(at + ".name", "the short name of a test (rotate, smoothing, ...)");
  if (!seen.insert(name).second) Reader::Fail(at + ".name", "each test once (" + name + " is listed twice)");
  return name;
}

// A median with its interval, in Mpix/s. One of no samples holds nothing.
MedianEstimate EstimateFrom(const json& e, const std::string& at) {
  if (!e.is_object()) Reader::Fail(at, std::string("an object, not ") + KindOf(e));
  MedianEstimate estimate;
  estimate.count = static_cast<int>(Reader::Whole(e, at, "count", 0, std::numeric_limits<int>::max()));
  const double confidence = Reader::Number(Reader::Member(e, at, "confidence"), at + ".confidence", false);
  if (confidence < 0.0 || confidence > 1.0) Reader::Fail(at + ".confidence", "a number from 0 to 1");
  if (estimate.count == 0) return estimate;
  estimate.confidence = confidence;
  estimate.median = Reader::Number(Reader::Member(e, at, "median"), at + ".median", true);
  const json& low = Reader::Member(e, at, "low");
  const json& high = Reader::Member(e, at, "high");
  if (low.is_null() != high.is_null()) Reader::Fail(at + ".low", "null exactly where high is null");
  if (low.is_null()) return estimate;
  estimate.low = Reader::Number(low, at + ".low", true);
  estimate.high = Reader::Number(high, at + ".high", true);
  if (!(*estimate.low <= estimate.median && estimate.median <= *estimate.high))
    Reader::Fail(at + ".low", "low <= median <= high");
  if (const auto half = estimate.relativeHalfWidth(); !half || !std::isfinite(*half))
    Reader::Fail(at + ".high", "an interval of finite width relative to the median");
  return estimate;
}

std::vector<TestThroughput> TestsFrom(const json& throughput, const std::string& at) {
  std::vector<TestThroughput> tests;
  std::set<std::string> seen;
  const json& list = Reader::Array(throughput, at, "tests", kBenchmarkTests.size());
  for (std::size_t i = 0; i < list.size(); ++i) {
    const std::string field = Reader::Index(at + ".tests", i);
    if (!list[i].is_object()) Reader::Fail(field, "an object");
    tests.push_back({EscapedForTerminal(TestName(list[i], field, seen)), EstimateFrom(list[i], field), {}});
  }
  return tests;
}

// Version 1: Mpix/s from every sample's monotonic time, the run scores from the runs' samples.
void ThroughputFromSamples(const json& document, bool fullRun, ResultSummary& summary) {
  std::vector<std::vector<double>> perRun;
  std::set<std::string> seen;
  const json& list = Reader::Array(document, "", "tests", kBenchmarkTests.size());
  for (std::size_t i = 0; i < list.size(); ++i) {
    const std::string at = Reader::Index("tests", i);
    if (!list[i].is_object()) Reader::Fail(at, "an object");
    const std::string name = TestName(list[i], at, seen);
    const int calls =
        static_cast<int>(Reader::Whole(list[i], at, "calls", 1, std::numeric_limits<int>::max()));
    const json& samples = Reader::Array(list[i], at, "samples", kMaxSamples);
    if (samples.empty()) Reader::Fail(at + ".samples", "at least one sample");
    std::vector<double> mpix;
    mpix.reserve(samples.size());
    for (std::size_t run = 0; run < samples.size(); ++run) {
      const std::string field = Reader::Index(at + ".samples", run);
      const double seconds = Reader::Number(Reader::Member(samples[run], field, "monotonic_seconds"),
                                            field + ".monotonic_seconds", true);
      mpix.push_back(MegapixelsPerSecond(calls, kStandardPixels, seconds));
      if (!std::isfinite(mpix.back()) || !(mpix.back() > 0.0))
        Reader::Fail(field + ".monotonic_seconds", "a time that gives a finite throughput");
      if (perRun.size() <= run) perRun.emplace_back();
      perRun[run].push_back(mpix.back());
    }
    summary.tests.push_back({name, EstimateMedian(mpix), mpix});
  }
  if (fullRun) {
    std::vector<double> scores;
    for (const auto& run : perRun) scores.push_back(GeometricMean(run));
    summary.score = EstimateMedian(scores);
    summary.scoreRuns = scores;
  }
}

// The extras that comparisons use (each run's figures, the fingerprint) are read leniently: a
// document that lacks them, or holds something else there, is compared without them.
std::string TextOf(const json& object, const char* key) {
  const auto found = object.find(key);
  return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

long long WholeOf(const json& object, const char* key) {
  const auto found = object.find(key);
  return found != object.end() && found->is_number_integer() ? found->get<long long>() : 0;
}

std::vector<double> Numbers(const json& object, const char* key) {
  std::vector<double> values;
  const auto found = object.find(key);
  if (found == object.end() || !found->is_array()) return values;
  for (const json& v : *found) {
    if (v.is_number() && std::isfinite(v.get<double>())) values.push_back(v.get<double>());
  }
  return values;
}

// Each run's Mpix/s of each single-core test, from the samples' monotonic times, as the run
// computed them. A document without usable samples gives no runs (and no ratio intervals).
void RunsFromSamples(const json& document, ResultSummary& summary) {
  const long long pixels = WholeOf(document.at("settings"), "pixels_per_call");
  const auto tests = document.find("tests");
  if (pixels <= 0 || tests == document.end() || !tests->is_array()) return;
  for (const json& test : *tests) {
    if (!test.is_object() || !test.contains("samples") || !test["samples"].is_array()) continue;
    const std::string name = TextOf(test, "name");
    const auto found = std::find_if(summary.tests.begin(), summary.tests.end(),
                                    [&](const TestThroughput& t) { return t.name == name; });
    const long long calls = WholeOf(test, "calls");
    if (found == summary.tests.end() || calls <= 0 || calls > std::numeric_limits<int>::max()) continue;
    for (const json& sample : test["samples"]) {
      if (!sample.is_object() || !sample.contains("monotonic_seconds") ||
          !sample["monotonic_seconds"].is_number())
        continue;
      const double mpix = MegapixelsPerSecond(static_cast<int>(calls), pixels,
                                              sample["monotonic_seconds"].get<double>());
      if (std::isfinite(mpix) && mpix > 0.0) found->runs.push_back(mpix);
    }
  }
}

WorkFingerprint FingerprintFrom(const json& f) {
  WorkFingerprint fingerprint;
  if (!f.is_object()) return fingerprint;
  fingerprint.present = true;
  fingerprint.sourceCommit = EscapedForTerminal(TextOf(f, "source_commit"));
  fingerprint.kernelSources = EscapedForTerminal(TextOf(f, "kernel_sources"));
  fingerprint.startPicture = EscapedForTerminal(TextOf(f, "start_picture"));
  fingerprint.scoreScale = static_cast<int>(std::clamp<long long>(WholeOf(f, "score_scale_version"), 0, 1 << 30));
  fingerprint.pixelsPerCall = WholeOf(f, "pixels_per_call");
  if (const auto tests = f.find("tests"); tests != f.end() && tests->is_array()) {
    for (const json& t : *tests) {
      if (!t.is_object()) continue;
      fingerprint.tests.push_back(EscapedForTerminal(TextOf(t, "name") + " " + std::to_string(WholeOf(t, "calls")) +
                                                     " " + TextOf(t, "expected_hash")));
    }
  }
  return fingerprint;
}

void Summarize(const json& document, ResultSummary& summary) {
  using R = Reader;
  const json& version = R::Member(document, "", "format_version");
  if (!version.is_number_integer()) R::Fail("format_version", std::string("1, 2 or 3, not ") + KindOf(version));
  if (version != 1 && version != 2 && version != 3)
    R::Fail("format_version", "1, 2 or 3: version " + version.dump() + " is not known");
  summary.formatVersion = version.get<int>();
  summary.startedAt = EscapedForTerminal(R::Text(document, "", "started_at", true));
  const json& build = R::Object(R::Object(document, "", "program"), "program", "build");
  summary.kernelChoice = R::OneOf(build, "program.build", "kernel_choice",
                                  {"best", "baseline", "reference", "custom"}, summary.formatVersion == 1);
  const std::string variant = R::OneOf(build, "program.build", "kernel_variant",
                                       {"fast", "reference", "custom"}, summary.formatVersion >= 2);
  if (summary.kernelChoice.empty()) summary.kernelChoice = variant;
  summary.kernelTarget = EscapedForTerminal(R::Text(build, "program.build", "kernel_target", true));
  summary.mode = summary.formatVersion >= 2 ? R::OneOf(document, "", "mode", {"headless", "window"})
                                            : std::string("headless");
  summary.cpuModel =
      EscapedForTerminal(R::Text(R::Object(document, "", "machine"), "machine", "cpu_model", true));
  const json& settings = R::Object(document, "", "settings");
  summary.threads =
      static_cast<int>(R::Whole(settings, "settings", "threads", 0, std::numeric_limits<int>::max()));
  const bool fullRun = R::Flag(settings, "settings", "full_run");
  const json& multiCore = R::Member(document, "", "multi_core");
  if (!multiCore.is_null() && !multiCore.is_object()) R::Fail("multi_core", "null or an object");
  if (multiCore.is_null()) summary.threads = 0;
  const json& score = R::Member(document, "", "score");
  if (score.is_object()) {
    summary.classicScore = static_cast<int>(
        R::Whole(score, "score", "value", std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    summary.classicColour = R::OneOf(score, "score", "colour", {"green", "red"});
  } else if (!score.is_null()) {
    R::Fail("score", std::string("null or an object, not ") + KindOf(score));
  }
  summary.validation = R::OneOf(R::Object(document, "", "validation"), "validation", "state",
                                {"valid", "invalid", "not_applicable"});
  if (summary.formatVersion == 1) {
    ThroughputFromSamples(document, fullRun, summary);
  } else {
    const json& throughput = R::Object(document, "", "throughput");
    const json& single = R::Object(throughput, "throughput", "single_core");
    summary.tests = TestsFrom(single, "throughput.single_core");
    RunsFromSamples(document, summary);
    const json& singleScore = R::Member(single, "throughput.single_core", "score");
    if (fullRun) {
      summary.score = EstimateFrom(singleScore, "throughput.single_core.score");
      summary.scoreRuns = Numbers(single, "run_scores");
    }
    const json& multi = R::Member(throughput, "throughput", "multi_core");
    if (multi.is_object()) {
      summary.multiTests = TestsFrom(multi, "throughput.multi_core");
      const json& multiScore = R::Member(multi, "throughput.multi_core", "score");
      if (fullRun) {
        summary.multiScore = EstimateFrom(multiScore, "throughput.multi_core.score");
        summary.multiScoreRuns = Numbers(multi, "run_scores");
      }
    } else if (!multi.is_null()) {
      R::Fail("throughput.multi_core", std::string("null or an object, not ") + KindOf(multi));
    }
  }
  if (const auto fingerprint = document.find("fingerprint"); fingerprint != document.end())
    summary.fingerprint = FingerprintFrom(*fingerprint);
  if (const auto reference = document.find("reference");
      reference != document.end() && reference->is_object())
    summary.description = EscapedForTerminal(R::Text(*reference, "reference", "description", true));
}

}  // namespace

std::string EscapedForTerminal(const std::string& text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    // C0 controls and DEL; and the C1 controls, which UTF-8 writes as 0xC2 0x80 to 0xC2 0x9F.
    const bool c1 = c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                    static_cast<unsigned char>(text[i + 1]) <= 0x9F;
    if (c < 0x20 || c == 0x7F || c1) {
      char code[8];
      std::snprintf(code, sizeof code, "\\x%02x", c1 ? static_cast<unsigned char>(text[++i]) : c);
      escaped += code;
    } else {
      escaped += text[i];
    }
  }
  return escaped;
}

std::string ResultSummary::Provenance() const {
  std::string text = mode.empty() ? "headless" : mode;
  text += ", " + (kernelChoice.empty() ? std::string("unknown kernels") : kernelChoice);
  if (!kernelTarget.empty() && kernelTarget != kernelChoice) text += " (" + kernelTarget + ")";
  if (threads > 0) text += ", " + std::to_string(threads) + (threads == 1 ? " thread" : " threads");
  return text;
}

std::optional<ResultSummary> SummarizeDocument(const json& document, std::string* error) {
  const auto fail = [&](const std::string& why) -> std::optional<ResultSummary> {
    if (error != nullptr) *error = why;
    return std::nullopt;
  };
  if (!document.is_object()) return fail("not an asmbench result document: expected a JSON object");
  const auto format = document.find("format");
  if (format == document.end() || !format->is_string() || format->get<std::string>() != "asmpic-bench-result")
    return fail("not an asmbench result document: field format: expected \"asmpic-bench-result\"");
  ResultSummary summary;
  try {
    Summarize(document, summary);
  } catch (const Unsound& unsound) {
    return fail("field " + unsound.field + ": expected " + unsound.expected);
  } catch (const std::exception& e) {
    return fail(std::string("an unreadable result document: ") + e.what());
  }
  return summary;
}

}  // namespace asmpic::app
