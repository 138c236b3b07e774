#include "app/run/assets.h"

#include <QCoreApplication>
#include <QDir>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/picture_io.h"

namespace asmpic::app {

namespace fs = std::filesystem;

namespace {

// The folder that holds the running program, symbolic links resolved.
fs::path ProgramDirectory() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (!error) return self.parent_path();
  if (QCoreApplication::instance() != nullptr) {
    return fs::path(QCoreApplication::applicationDirPath().toStdString());
  }
  return {};
}

// <prefix>/share/asmpic-bench for a program in <prefix>/bin.
fs::path InstalledDataDirectory() {
  const fs::path program = ProgramDirectory();
  if (program.empty()) return {};
  return (program.parent_path() / "share" / "asmpic-bench").lexically_normal();
}

// A program inside the build tree may use the source tree and the build tree's outputs; an
// installed or unpacked one never does, so it cannot depend on a checkout by accident.
bool RunsFromBuildTree() {
  std::error_code error;
  const fs::path build = fs::weakly_canonical(ASMPIC_BUILD_DIRECTORY, error);
  if (error || build.empty()) return false;
  const fs::path program = ProgramDirectory();
  const auto [end, unused] = std::mismatch(build.begin(), build.end(), program.begin(), program.end());
  return end == build.end();
}

bool Exists(const fs::path& path) {
  std::error_code error;
  return !path.empty() && fs::exists(path, error);
}

}  // namespace

std::string AssetsDirectory() {
  const QString fromEnvironment = qEnvironmentVariable("ASMPIC_ASSETS");
  if (!fromEnvironment.isEmpty()) return QDir::cleanPath(fromEnvironment).toStdString();
  const fs::path installed = InstalledDataDirectory();
  if (Exists(installed / "picture1.jpg")) return installed.string();
  const fs::path source = ASMPIC_SOURCE_ASSETS;
  if (RunsFromBuildTree() && Exists(source / "picture1.jpg")) return source.string();
  return installed.string();
}

std::string AssetPath(const std::string& name) {
  return AssetsDirectory() + "/" + name;
}

std::string TranslationsDirectory() {
  const fs::path installed = InstalledDataDirectory() / "translations";
  if (Exists(installed)) return installed.string();
  if (RunsFromBuildTree()) return ASMPIC_BUILD_TRANSLATIONS;
  return installed.string();
}

std::optional<StartPictures> LoadStartPictures(const std::string& assets, std::string* error, std::string* detail) {
  const std::string folder = assets.empty() ? AssetsDirectory() : assets;
  auto picture1 = platform::LoadPictureFile(folder + "/picture1.jpg", error, detail);
  if (!picture1) return std::nullopt;
  auto picture2 = platform::LoadPictureFile(folder + "/picture2.bmp", error, detail);
  if (!picture2) return std::nullopt;
  return StartPictures{std::move(*picture1), std::move(*picture2)};
}

}  // namespace asmpic::app
