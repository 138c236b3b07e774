#include "app/results/build_info.h"

#include <QtGlobal>

namespace asmpic::app {

std::string KernelVariant(const KernelStore& kernels) {
  const auto same = [&](const KernelStore& other) {
    return kernels.rotate == other.rotate && kernels.palette == other.palette &&
           kernels.pixel == other.pixel && kernels.colorX == other.colorX && kernels.magnify == other.magnify;
  };
  if (same(KernelStore(KernelChoice::kReference))) return "reference";
  if (same(KernelStore(KernelChoice::kBest)) || same(KernelStore(KernelChoice::kBaseline))) return "fast";
  return "custom";
}

BuildInfo CurrentBuild(const KernelStore& kernels) {
  BuildInfo info;
  info.version = ASMPIC_VERSION;
#if defined(__clang__)
  info.compiler = "Clang " __clang_version__;
#elif defined(__GNUC__)
  info.compiler = "GCC " __VERSION__;
#else
  info.compiler = "unknown";
#endif
  info.buildType = ASMPIC_BUILD_TYPE;
  info.flags = ASMPIC_BUILD_FLAGS;
  info.qtVersion = QT_VERSION_STR;
  info.qtRuntime = qVersion();
  info.kernelVariant = KernelVariant(kernels);
  info.kernelChoice = std::string(KernelChoiceName(CurrentKernelChoice()));
  info.kernelTarget = KernelTargetName(CurrentKernelChoice());
  return info;
}

std::string KernelsText(const BuildInfo& build) {
  if (build.kernelVariant == "custom") return "custom kernels";
  if (build.kernelTarget.empty() || build.kernelTarget == build.kernelChoice) return build.kernelChoice;
  return build.kernelChoice + " (" + build.kernelTarget + ")";
}

}  // namespace asmpic::app
