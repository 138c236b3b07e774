#pragma once
// The programs' --kernels option and their version line, which names the code that runs.
// Header-only, beside command_line.h: the kernel library itself knows no command-line parser.
#include <CLI/CLI.hpp>

#include <string>
#include <string_view>

#include "kernels/kernel_target.h"

namespace asmpic {

// --kernels best|baseline|reference|<SIMD target> into `choice`; a target is held at once (see
// HoldSimdTarget), so that --version names it. Any other value is a usage error.
inline CLI::Option* AddKernelsOption(CLI::App& app, KernelChoice& choice) {
  return app
      .add_option_function<std::string>(
          "--kernels",
          [&choice](const std::string& name) {
            const KernelRequest request = *ParseKernelRequest(name);
            HoldSimdTarget(request.target);
            choice = request.choice;
          },
          "the kernels that run: best (the default: the best SIMD target this processor offers), "
          "baseline (what every processor of the architecture runs), reference (the plain kernels), "
          "or a SIMD target this processor runs, by name (sse4, avx2, avx3, neon, ...)")
      ->check(CLI::Validator(
          [](std::string& name) {
            std::string error;
            return ParseKernelRequest(name, &error) ? std::string() : error;
          },
          "KERNELS"));
}

// "asmbench 1.0.0 (kernels: best, AVX2)".
inline std::string VersionLine(std::string_view program, std::string_view version, KernelChoice choice) {
  return std::string(program) + " " + std::string(version) +
         " (kernels: " + std::string(KernelChoiceName(choice)) + ", " + KernelTargetName(choice) + ")";
}

// The version flag, added after AddKernelsOption so that `--kernels X --version` names X's target.
inline void SetVersionFlag(CLI::App& app, std::string_view program, std::string_view version,
                           const KernelChoice& choice) {
  app.set_version_flag("--version", [program = std::string(program), version = std::string(version),
                                     &choice] { return VersionLine(program, version, choice); });
}

}  // namespace asmpic
