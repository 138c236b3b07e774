#include "app/run/run_verdict.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace asmpic::app {

namespace {

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string LoadText(double cores) {
  if (cores < 1.0) return Format("%.0f %% of one core", 100.0 * cores);
  return Format("%.1f cores", cores);
}

// The first and the last quarter of the passes' clocks, at least one pass each.
std::optional<std::pair<double, double>> ClockDrift(const std::vector<PassConditions>& passes) {
  std::vector<double> clocks;
  for (const PassConditions& pass : passes) {
    if (pass.meanFrequencyMHz) clocks.push_back(*pass.meanFrequencyMHz);
  }
  if (clocks.size() < 4) return std::nullopt;
  const std::size_t quarter = std::max<std::size_t>(clocks.size() / 4, 1);
  double first = 0.0;
  double last = 0.0;
  for (std::size_t i = 0; i < quarter; ++i) {
    first += clocks[i];
    last += clocks[clocks.size() - 1 - i];
  }
  return std::make_pair(first / quarter, last / quarter);
}

void Add(TrustVerdict& verdict, TrustState state, std::string text, std::string advice) {
  verdict.reasons.push_back({state, std::move(text), std::move(advice)});
  verdict.state = std::max(verdict.state, state);
}

}  // namespace

const char* TrustName(TrustState state) {
  switch (state) {
    case TrustState::Trusted:
      return "trusted";
    case TrustState::Noisy:
      return "noisy";
    case TrustState::Unstable:
      return "unstable";
    case TrustState::Throttled:
      return "throttled";
  }
  return "trusted";
}

TrustVerdict Judge(const RunConditions& c, const Trend& trend, const MedianEstimate& score) {
  TrustVerdict verdict;
  const MachineSettings& s = c.before;

  // Settings that hold the processor below what it can do.
  const auto powersave = std::find(s.governors.begin(), s.governors.end(), "powersave");
  if (powersave != s.governors.end()) {
    Add(verdict, TrustState::Throttled, "governor powersave: results are lower than this machine can do",
        "`cpupower frequency-set -g performance` as root changes it");
  }
  const auto saving = std::find_if(s.energyPreferences.begin(), s.energyPreferences.end(), [](const std::string& p) {
    return p == "power" || p == "balance_power";
  });
  if (saving != s.energyPreferences.end()) {
    Add(verdict, TrustState::Throttled,
        "energy/performance preference " + *saving + ": the processor saves power at the cost of speed",
        "writing `performance` to /sys/devices/system/cpu/cpu*/cpufreq/energy_performance_preference as root "
        "changes it");
  }
  if (s.powerSource == std::optional<std::string>("battery") ||
      c.after.powerSource == std::optional<std::string>("battery")) {
    Add(verdict, TrustState::Throttled, "the machine ran on battery, which may hold the processor back",
        "plug in the power adapter and run again");
  }
  if (c.throttleEvents && *c.throttleEvents > 0) {
    Add(verdict, TrustState::Throttled,
        "the processor throttled itself " + std::to_string(*c.throttleEvents) +
            (*c.throttleEvents == 1 ? " time" : " times") + " during the run because it was too hot",
        "let it cool down, check its fan and vents, and run again");
  }
  if (const auto drift = ClockDrift(c.passes); drift && drift->first > 0.0 &&
                                                drift->second < (1.0 - kClockDrop) * drift->first) {
    Add(verdict, TrustState::Throttled,
        Format("the clock fell from %.0f MHz", drift->first) + Format(" to %.0f MHz during the run", drift->second),
        "let the machine cool down and run again");
  }

  // Drift of the passes.
  if (trend.significant) {
    const double change = std::fabs(trend.relativeChange) * 100.0;
    Add(verdict, TrustState::Unstable,
        std::string(trend.relativeChange < 0.0 ? "passes slowed down" : "passes sped up") +
            Format(" by %.0f %% over the run", change),
        "something changed while it ran (heat, other programs, power settings): run again when the machine "
        "is steady");
  }

  // Other programs and spread.
  if (c.otherLoad && *c.otherLoad >= kNoisyOtherLoad) {
    Add(verdict, TrustState::Noisy, "other programs used " + LoadText(*c.otherLoad) + " during the run",
        "close them or run again");
  } else if (!c.otherLoad && !c.passes.empty() && s.loadAverage && *s.loadAverage >= 1.0) {
    Add(verdict, TrustState::Noisy, Format("the load average was %.2f before the run", *s.loadAverage),
        "wait until the machine is idle and run again");
  }
  if (const auto half = score.relativeHalfWidth(); half && *half > kNoisySpread) {
    Add(verdict, TrustState::Noisy,
        Format("the passes' scores spread ± %.1f %% around their median", 100.0 * *half),
        "close other programs, or run longer (--precision, --min-time)");
  }

  // Worth knowing.
  if (s.turbo == std::optional<bool>(false)) {
    verdict.notes.push_back("turbo boost is off: steadier results, below this machine's peak");
  }
  if (s.virtualMachine == std::optional<bool>(true)) {
    verdict.notes.push_back("runs in a virtual machine" + (s.hypervisor ? " (" + *s.hypervisor + ")" : std::string()) +
                            ": the time other guests take counts as other programs' load");
  }
  if (c.end.maxTemperatureC && *c.end.maxTemperatureC >= 90.0) {
    verdict.notes.push_back(Format("the hottest sensor read %.0f °C after the run", *c.end.maxTemperatureC));
  }
  return verdict;
}

std::string VerdictSummary(const TrustVerdict& verdict) {
  std::string text = TrustName(verdict.state);
  for (std::size_t i = 0; i < verdict.reasons.size(); ++i) {
    text += i == 0 ? ": " : "; ";
    text += verdict.reasons[i].text + " (" + verdict.reasons[i].advice + ")";
  }
  return text;
}

}  // namespace asmpic::app
