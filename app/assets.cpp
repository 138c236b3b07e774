#include "app/assets.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace asmpic::app {

namespace {

bool HasAssets(const QString& directory) {
  return QFileInfo::exists(directory + QStringLiteral("/picture1.jpg"));
}

}  // namespace

std::string AssetsDirectory() {
  const QString fromEnvironment = qEnvironmentVariable("ASMPIC_ASSETS");
  if (!fromEnvironment.isEmpty()) return QDir::cleanPath(fromEnvironment).toStdString();
  if (QCoreApplication::instance() != nullptr) {
    const QString besideProgram =
        QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/asmpic-bench"));
    if (HasAssets(besideProgram)) return besideProgram.toStdString();
  }
  const QString source = QStringLiteral(ASMPIC_SOURCE_ASSETS);
  if (HasAssets(source)) return source.toStdString();
  return ASMPIC_INSTALLED_ASSETS;
}

std::string AssetPath(const std::string& name) {
  return AssetsDirectory() + "/" + name;
}

}  // namespace asmpic::app
