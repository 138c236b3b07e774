#pragma once
// What a headless run adds after its own measurement, asked for on the command line: the thread
// scaling (--scaling), its chart (--chart) and the result card (--card).
#include <nlohmann/json.hpp>

#include <iosfwd>
#include <optional>
#include <string>

#include "app/run/benchmark_runner.h"
#include "app/run/scaling.h"
#include "platform/image.h"

namespace asmpic::app {

struct HeadlessOptions;

// The scaling of the plan's tests at 1, 2, 4, ... threads up to the processors this process may
// use, at least as long as the plan's minimum time.
ScalingResult RunThreadScaling(const platform::Image& picture1, const platform::Image& picture2,
                               const BenchmarkPlan& plan, long long pixelsPerCall, const BenchmarkHooks& hooks);

// The chart and the card of this run, where the options ask for them; says on `err` where each
// went or why it could not be written. False when one could not.
bool DrawPictures(const HeadlessOptions& options, const std::optional<ScalingResult>& scaling,
                  const nlohmann::ordered_json& document, const std::string& assets, std::ostream& err);

// --card FILE RUN: the card of a stored run, a result file or a reference. The exit status: 0,
// 1 when the card cannot be written or the history read, 2 when the run cannot be found.
int WriteStoredCard(const std::string& path, const std::string& run, const std::string& historyPath,
                    const std::string& assets, std::ostream& err);

}  // namespace asmpic::app
