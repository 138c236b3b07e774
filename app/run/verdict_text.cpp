#include "app/run/verdict_text.h"

#include <cstdio>
#include <set>

namespace asmpic::app {

namespace {

std::string Number(const std::optional<double>& value, const char* format) {
  if (!value) return "unknown";
  char text[64];
  std::snprintf(text, sizeof text, format, *value);
  return text;
}

// "performance" when every core says so, "performance, powersave" when they differ.
std::string Distinct(const std::vector<std::string>& values) {
  if (values.empty()) return "unknown";
  std::set<std::string> seen;
  std::string text;
  for (const std::string& v : values) {
    if (!seen.insert(v).second) continue;
    text += (text.empty() ? "" : ", ") + v;
  }
  return text;
}

std::string YesNo(const std::optional<bool>& value, const char* yes, const char* no) {
  return value ? (*value ? yes : no) : "unknown";
}

}  // namespace

std::string ConditionsText(const RunConditions& c) {
  const MachineSettings& s = c.before;
  std::string text = "other programs " + Number(c.otherLoad, "%.2f cores");
  text += ", load average before " + Number(s.loadAverage, "%.2f");
  text += ", governor " + Distinct(s.governors);
  text += ", energy preference " + Distinct(s.energyPreferences);
  text += ", turbo " + YesNo(s.turbo, "on", "off");
  text += ", power " + s.powerSource.value_or("unknown");
  text += ", throttle events " +
          (c.throttleEvents ? std::to_string(*c.throttleEvents) : std::string("unknown"));
  text += ", clock " + Number(MeanOf(c.start.meanFrequencyMHz, c.end.meanFrequencyMHz), "%.0f MHz");
  text += ", hottest sensor " + Number(c.end.maxTemperatureC, "%.0f °C");
  text += ", virtual machine " + YesNo(s.virtualMachine, "yes", "no");
  if (s.hypervisor) text += " (" + *s.hypervisor + ")";
  return text;
}

void WriteVerdict(const BenchmarkResult& result, std::ostream& out) {
  const TrustVerdict& v = result.trust;
  out << "Verdict: " << TrustName(v.state) << '\n';
  for (const VerdictReason& reason : v.reasons) out << "  " << reason.text << ": " << reason.advice << '\n';
  for (const std::string& note : v.notes) out << "  note: " << note << '\n';
  out << "Conditions: " << ConditionsText(result.conditions) << '\n';
  char line[160];
  out << "Passes: " << result.runs.size() << " timed, tests "
      << (result.plan.shuffle ? "in a shuffled order (seed " + std::to_string(result.plan.seed) + ")"
                              : std::string("in the fixed order"));
  if (result.precision) out << "; " << result.precision->Text();
  if (result.trend.count >= kTrendMinimumPasses) {
    std::snprintf(line, sizeof line, "; trend %+.1f %% over the run (Mann-Kendall p = %.3f%s)",
                  100.0 * result.trend.relativeChange, result.trend.pValue,
                  result.trend.significant ? "" : ", none to speak of");
    out << line;
  }
  out << '\n';
}

}  // namespace asmpic::app
