#include "app/results/metrics_report.h"

#include <cstdio>
#include <ctime>
#include <ostream>
#include <sstream>

#include "app/history/result_summary.h"
#include "app/results/machine_name.h"

namespace asmpic::app {

namespace {

using json = nlohmann::ordered_json;

std::string Number(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

// Writes the family's HELP and TYPE lines once, before its first sample.
class Family {
 public:
  Family(std::ostream& out, const char* name, const char* help) : out_(out), name_(name), help_(help) {}
  void Sample(const std::string& labels, double value) {
    if (!started_) {
      out_ << "# HELP " << name_ << ' ' << help_ << "\n# TYPE " << name_ << " gauge\n";
      started_ = true;
    }
    out_ << name_ << '{' << labels << "} " << Number(value) << '\n';
  }

 private:
  std::ostream& out_;
  const char* name_;
  const char* help_;
  bool started_ = false;
};

std::string Label(const char* name, const std::string& value) {
  return std::string(",") + name + "=\"" + MetricsLabelValue(value) + '"';
}

// The estimate's median, low and high, each with its own "bound" label.
void Estimate(Family& family, const std::string& labels, const MedianEstimate& e) {
  family.Sample(labels + Label("bound", "median"), e.median);
  if (e.low) family.Sample(labels + Label("bound", "low"), *e.low);
  if (e.high) family.Sample(labels + Label("bound", "high"), *e.high);
}

std::string VerdictOf(const json& document) {
  const auto verdict = document.find("verdict");
  if (verdict == document.end() || !verdict->is_object()) return {};
  return verdict->value("state", "");
}

}  // namespace

std::string MetricsLabelValue(const std::string& text) {
  std::string quoted;
  for (const char c : text) {
    if (c == '\\') {
      quoted += "\\\\";
    } else if (c == '"') {
      quoted += "\\\"";
    } else if (c == '\n') {
      quoted += "\\n";
    } else {
      quoted += c;
    }
  }
  return quoted;
}

bool WriteMetrics(const json& document, std::ostream& out, std::string* error) {
  std::string why;
  const auto summary = SummarizeDocument(document, &why);
  if (!summary) {
    if (error != nullptr) *error = why;
    return false;
  }
  std::ostringstream text;
  const std::string labels = "machine=\"" + MetricsLabelValue(DocumentMachineName(document)) + '"' +
                             Label("kernel_target", summary->kernelTarget.empty() ? summary->kernelChoice
                                                                                  : summary->kernelTarget) +
                             Label("threads", std::to_string(summary->threads));

  Family tests(text, "asmbench_test_throughput_mpix_per_second",
               "Median throughput of a test over the timed runs, in million pixels per second, and its interval.");
  for (const TestThroughput& t : summary->tests) Estimate(tests, labels + Label("pass", "single_core") + Label("test", t.name), t.mpix);
  for (const TestThroughput& t : summary->multiTests) Estimate(tests, labels + Label("pass", "multi_core") + Label("test", t.name), t.mpix);

  Family scores(text, "asmbench_throughput_score",
                "Throughput score (higher is faster) of the single-core and multi-core passes, and its interval.");
  if (summary->score.count > 0) Estimate(scores, labels + Label("pass", "single_core"), summary->score);
  if (summary->multiScore && summary->multiScore->count > 0) {
    Estimate(scores, labels + Label("pass", "multi_core"), *summary->multiScore);
  }

  if (summary->classicScore) {
    Family classic(text, "asmbench_classic_score", "The classic score of the window's pass (lower is faster).");
    classic.Sample(labels + Label("colour", summary->classicColour), *summary->classicScore);
  }

  if (const std::string verdict = VerdictOf(document); !verdict.empty()) {
    Family states(text, "asmbench_verdict", "Whether the run can be trusted: 1 for its verdict, 0 for the others.");
    for (const char* state : {"trusted", "noisy", "unstable", "throttled"}) {
      states.Sample(labels + Label("state", state), verdict == state ? 1.0 : 0.0);
    }
  }

  if (summary->validation != "not_applicable") {
    Family valid(text, "asmbench_pictures_valid", "1 when every test computed the right picture, else 0.");
    valid.Sample(labels, summary->validation == "valid" ? 1.0 : 0.0);
  }

  std::tm started{};
  if (strptime(summary->startedAt.c_str(), "%Y-%m-%dT%H:%M:%SZ", &started) != nullptr) {
    Family time(text, "asmbench_run_started_timestamp_seconds", "When the run started, in seconds since 1970 (UTC).");
    time.Sample(labels, static_cast<double>(timegm(&started)));
  }
  text << "# EOF\n";
  out << text.str();
  return true;
}

}  // namespace asmpic::app
