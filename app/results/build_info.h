#pragma once
// How this program was built, for the result documents.
#include <string>

#include "kernels/kernel_store.h"

namespace asmpic::app {

struct BuildInfo {
  std::string version;        // the program's
  std::string compiler;       // name and version
  std::string buildType;      // CMake's build type
  std::string flags;          // the compile flags every source of the program was built with
  std::string qtVersion;      // Qt at build time
  std::string qtRuntime;      // Qt the program runs with
  std::string kernelVariant;  // see KernelVariant
  std::string kernelChoice;   // "best", "baseline", "reference" or "custom"
  std::string kernelTarget;   // the code that runs for it, as KernelTargetName says, or "custom"
};

BuildInfo CurrentBuild(const KernelStore& kernels = {});

// The kernels as the reports name them: "best (AVX2)", "reference"; "custom" for kernels a test
// swapped in.
std::string KernelsText(const BuildInfo& build);

// "fast" for the engine's default kernels, "reference" for the plain reference versions, else
// "custom".
std::string KernelVariant(const KernelStore& kernels);

}  // namespace asmpic::app
