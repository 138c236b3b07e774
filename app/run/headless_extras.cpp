#include "app/run/headless_extras.h"

#include <QGuiApplication>
#include <algorithm>
#include <ostream>

#include "app/history/comparison.h"
#include "app/history/drawing.h"
#include "app/history/result_card.h"
#include "app/history/scaling_chart.h"
#include "app/run/headless_bench.h"
#include "platform/processors.h"

namespace asmpic::app {

ScalingResult RunThreadScaling(const platform::Image& picture1, const platform::Image& picture2,
                               const BenchmarkPlan& plan, long long pixelsPerCall, const BenchmarkHooks& hooks) {
  ScalingPlan scaling;
  scaling.threadCounts = ScalingThreadCounts(platform::UsableProcessors());
  scaling.tests = plan.tests;
  scaling.kernels = plan.kernels;
  scaling.pixelsPerCall = pixelsPerCall;
  scaling.minTime = std::max(scaling.minTime, plan.minTime);
  return RunScaling(picture1, picture2, scaling, hooks.monotonic ? hooks.monotonic : MonotonicClock(SteadySeconds),
                    hooks.progress);
}

bool DrawPictures(const HeadlessOptions& options, const std::optional<ScalingResult>& scaling,
                  const nlohmann::ordered_json& document, const std::string& assets, std::ostream& err) {
  const bool chart = scaling && !options.history.chart.empty();
  const bool card = !options.card.empty();
  if (!chart && !card) return true;
  const auto application = PictureApplication();
  bool ok = true;
  std::string error;
  if (chart) {
    if (WriteScalingChart(*scaling, options.history.chart, &error)) {
      if (!options.quiet) err << "Chart: " << options.history.chart << '\n';
    } else {
      err << "asmbench: " << error << '\n';
      ok = false;
    }
  }
  if (card) {
    if (WriteResultCard(document, LoadReferences(assets), options.card.front(), &error)) {
      if (!options.quiet) err << "Card: " << options.card.front() << '\n';
    } else {
      err << "asmbench: " << error << '\n';
      ok = false;
    }
  }
  return ok;
}

int WriteStoredCard(const std::string& path, const std::string& run, const std::string& historyPath,
                    const std::string& assets, std::ostream& err) {
  std::string error;
  const auto document = LoadResultDocument(run, historyPath, assets, &error);
  if (!document) {
    err << "asmbench: --card: " << error << '\n';
    return kExitUsage;
  }
  const auto application = PictureApplication();
  if (!WriteResultCard(*document, LoadReferences(assets), path, &error)) {
    err << "asmbench: " << error << '\n';
    return kExitError;
  }
  return kExitOk;
}

}  // namespace asmpic::app
