#include "app/run/translation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QTranslator>

#include "app/run/assets.h"

namespace asmpic::app {

namespace {

constexpr const char* kOriginalLanguage = "ru";
constexpr const char* kContext = "asmpic::app::Form1";

QLocale::Language LanguageOf(const QString& name) {
  return QLocale(name).language();
}

}  // namespace

QString ChooseLanguage(const QStringList& uiLanguages, const QStringList& translated) {
  for (const QString& wanted : uiLanguages) {
    const QLocale::Language language = LanguageOf(wanted);
    if (language == QLocale::C || language == QLocale::AnyLanguage) continue;
    if (language == LanguageOf(QString::fromLatin1(kOriginalLanguage))) return {};
    for (const QString& available : translated) {
      if (LanguageOf(available) == language) return available;
    }
  }
  return {};
}

QString InstallTranslation(QCoreApplication& application) {
  const QDir directory(QString::fromStdString(TranslationsDirectory()));
  QStringList translated;
  for (const QString& file : directory.entryList({QStringLiteral("asmbench_*.qm")}, QDir::Files)) {
    translated << file.mid(9, file.size() - 9 - 3);  // between "asmbench_" and ".qm"
  }
  const QString language = ChooseLanguage(QLocale().uiLanguages(), translated);
  if (language.isEmpty()) return {};
  auto* translator = new QTranslator(&application);
  if (!translator->load(directory.filePath(QStringLiteral("asmbench_%1.qm").arg(language)))) {
    delete translator;
    return {};
  }
  QCoreApplication::installTranslator(translator);
  return language;
}

QString WindowText(const char* source) {
  return QCoreApplication::translate(kContext, source);
}

}  // namespace asmpic::app
