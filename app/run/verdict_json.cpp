#include "app/run/verdict_json.h"

#include "app/run/benchmark_table.h"

namespace asmpic::app {

namespace {

using json = nlohmann::ordered_json;

json SettingsJson(const MachineSettings& s) {
  return {{"governors", s.governors},
          {"energy_performance_preferences", s.energyPreferences},
          {"turbo", OrNull(s.turbo)},
          {"power_source", OrNull(s.powerSource)},
          {"load_average", OrNull(s.loadAverage)},
          {"virtual_machine", OrNull(s.virtualMachine)},
          {"hypervisor", OrNull(s.hypervisor)}};
}

json SampleJson(const ConditionSample& s) {
  return {{"mean_frequency_mhz", OrNull(s.meanFrequencyMHz)},
          {"max_temperature_celsius", OrNull(s.maxTemperatureC)},
          {"throttle_events", OrNull(s.throttleEvents)}};
}

}  // namespace

json ConditionsJson(const BenchmarkResult& result) {
  const RunConditions& c = result.conditions;
  json passes = json::array();
  for (std::size_t i = 0; i < c.passes.size(); ++i) {
    const PassConditions& p = c.passes[i];
    json order = json::array();
    if (i < result.runs.size()) {
      for (const int t : result.runs[i].order) order.push_back(kBenchmarkTests.at(static_cast<std::size_t>(t)).name);
    }
    passes.push_back({{"order", order},
                      {"mean_frequency_mhz", OrNull(p.meanFrequencyMHz)},
                      {"other_load_cores", OrNull(p.otherLoad)},
                      {"throttle_events", OrNull(p.throttleEvents)}});
  }
  return {{"before", SettingsJson(c.before)},
          {"after", SettingsJson(c.after)},
          {"start", SampleJson(c.start)},
          {"end", SampleJson(c.end)},
          {"other_load_cores", OrNull(c.otherLoad)},
          {"throttle_events", OrNull(c.throttleEvents)},
          {"order", result.plan.shuffle ? "shuffled" : "fixed"},
          {"seed", result.plan.seed},
          {"passes", passes}};
}

json VerdictJson(const BenchmarkResult& result) {
  const TrustVerdict& v = result.trust;
  json reasons = json::array();
  for (const VerdictReason& r : v.reasons) {
    reasons.push_back({{"state", TrustName(r.state)}, {"text", r.text}, {"advice", r.advice}});
  }
  json precision = nullptr;
  if (result.precision) {
    const PrecisionOutcome& p = *result.precision;
    precision = {{"target", p.target},     {"reached", OrNull(p.reached)}, {"met", p.met},
                 {"passes", p.passes},     {"seconds", p.seconds},         {"text", p.Text()}};
  }
  return {{"state", TrustName(v.state)},
          {"reasons", reasons},
          {"notes", v.notes},
          {"trend",
           {{"passes", result.trend.count},
            {"mann_kendall_s", result.trend.statistic},
            {"z", result.trend.z},
            {"p_value", result.trend.pValue},
            {"relative_change", result.trend.relativeChange},
            {"significant", result.trend.significant}}},
          {"precision", precision}};
}

}  // namespace asmpic::app
