#include "app/results/build_info.h"

#include <QtGlobal>
#include <optional>

namespace asmpic::app {

namespace {

// The choice whose store this is, if any.
std::optional<KernelChoice> ChoiceOf(const KernelStore& kernels) {
  for (const KernelChoice choice : {KernelChoice::kBest, KernelChoice::kBaseline, KernelChoice::kReference}) {
    if (kernels == KernelStore(choice)) return choice;
  }
  return std::nullopt;
}

}  // namespace

std::string KernelVariant(const KernelStore& kernels) {
  const std::optional<KernelChoice> choice = ChoiceOf(kernels);
  if (!choice) return "custom";
  return *choice == KernelChoice::kReference ? "reference" : "fast";
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
  const std::optional<KernelChoice> choice = ChoiceOf(kernels);
  info.kernelChoice = choice ? std::string(KernelChoiceName(*choice)) : "custom";
  info.kernelTarget = choice ? KernelTargetName(*choice) : "custom";
  return info;
}

std::string KernelsText(const BuildInfo& build) {
  if (build.kernelVariant == "custom") return "custom kernels";
  if (build.kernelTarget.empty() || build.kernelTarget == build.kernelChoice) return build.kernelChoice;
  return build.kernelChoice + " (" + build.kernelTarget + ")";
}

}  // namespace asmpic::app
