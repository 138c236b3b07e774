#pragma once
// A sustained run as the history keeps it, for the command line and the window alike: a result
// document whose passes are the multi-core passes, with the run's "sustained" object.
#include <nlohmann/json.hpp>

#include <string>

#include "app/results/machine_info.h"
#include "app/run/condition_watch.h"
#include "app/run/sustained_run.h"
#include "kernels/kernel_store.h"
#include "platform/image.h"

namespace asmpic::app {

// Pixels one engine computes per test call with these start pictures.
long long SustainedPixelsPerCall(const platform::Image& picture1, const platform::Image& picture2,
                                 const KernelStore& kernels);

// The run as a result document. It has no single-core runs and so no classic score; a wrong
// picture makes its verdict invalid.
nlohmann::ordered_json SustainedDocument(const SustainedRun& run, long long pixelsPerCall,
                                         const RunConditions& conditions, const KernelStore& kernels,
                                         const MachineInfo& machine, const std::string& startedAt);

// Whether the run measured anything worth storing: a finished pass, or a wrong picture found. A
// run stopped before its first pass ended has neither.
bool SustainedRunMeasured(const SustainedRun& run);

}  // namespace asmpic::app
