#include "app/run/translation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>

#include "app/results/build_info.h"
#include "app/results/statistics.h"
#include "app/run/assets.h"

namespace asmpic::app {

namespace {

constexpr const char* kOriginalLanguage = "ru";
constexpr const char* kContext = "asmpic::app::Form1";
constexpr const char* kResultsContext = "asmpic::app::Results";

// Names the results show that come from data: marked here, so that lupdate finds them.
[[maybe_unused]] constexpr const char* kDataNames[] = {
    QT_TRANSLATE_NOOP("asmpic::app::Results", "rotate"),
    QT_TRANSLATE_NOOP("asmpic::app::Results", "smoothing"),
    QT_TRANSLATE_NOOP("asmpic::app::Results", "contour"),
    QT_TRANSLATE_NOOP("asmpic::app::Results", "emboss"),
    QT_TRANSLATE_NOOP("asmpic::app::Results", "ripple"),
    QT_TRANSLATE_NOOP("asmpic::app::Results", "relief"),
    QT_TRANSLATE_NOOP("asmpic::app::Results", "twirl"),
    QT_TRANSLATE_NOOP("asmpic::app::Results", "score"),
    QT_TRANSLATE_NOOP("asmpic::app::Results", "multi-core"),
    QT_TRANSLATE_NOOP("asmpic::app::Results", "best"),
    QT_TRANSLATE_NOOP("asmpic::app::Results", "baseline"),
    QT_TRANSLATE_NOOP("asmpic::app::Results", "reference"),
    QT_TRANSLATE_NOOP("asmpic::app::Results", "this run"),
    QT_TRANSLATE_NOOP("asmpic::app::Results", "baseline-kernels"),
    QT_TRANSLATE_NOOP("asmpic::app::Results", "best-kernels"),
    QT_TRANSLATE_NOOP("asmpic::app::Results", "reference-kernels"),
    QT_TRANSLATE_NOOP("asmpic::app::Results", "green"),
    QT_TRANSLATE_NOOP("asmpic::app::Results", "red"),
};

// Translates one of kDataNames; another text stays as it is.
QString DataName(const std::string& name) {
  return QCoreApplication::translate(kResultsContext, name.c_str());
}

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
  const QString chosen = ChooseLanguage(QLocale().uiLanguages(), translated);
  // No choice: the window's own texts, and the results' in the same language.
  const QString language = chosen.isEmpty() ? QString::fromLatin1(kOriginalLanguage) : chosen;
  auto* translator = new QTranslator(&application);
  if (!translator->load(directory.filePath(QStringLiteral("asmbench_%1.qm").arg(language)))) {
    delete translator;
    return {};
  }
  QCoreApplication::installTranslator(translator);
  // Qt's own texts (the file dialog, a dialog's Close button) in the same language, where
  // Debian's Qt translations are installed.
  auto* qt = new QTranslator(&application);
  if (qt->load(QStringLiteral("qtbase_%1").arg(language), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(qt);
  } else {
    delete qt;
  }
  return language;
}

QString WindowText(const char* source) {
  return QCoreApplication::translate(kContext, source);
}

QString ResultsText(const char* source) {
  return QCoreApplication::translate(kResultsContext, source);
}

QString RowNameText(const std::string& name) {
  return DataName(name);
}

QString KernelChoiceText(const std::string& choice) {
  return DataName(choice);
}

QString ResultLabelText(const std::string& label) {
  long long id = 0;
  char rest = 0;
  if (std::sscanf(label.c_str(), "run %lld%c", &id, &rest) == 1) return ResultsText("run %1").arg(id);
  return DataName(label);
}

QString ThreadsText(int threads) {
  return threads == 1 ? ResultsText("1 thread") : ResultsText("%1 threads").arg(threads);
}

QString KernelsDisplayText(const BuildInfo& build) {
  if (build.kernelVariant == "custom") return ResultsText("custom kernels");
  const QString choice = KernelChoiceText(build.kernelChoice);
  if (build.kernelTarget.empty() || build.kernelTarget == build.kernelChoice) return choice;
  return QStringLiteral("%1 (%2)").arg(choice, QString::fromStdString(build.kernelTarget));
}

QString ThroughputDisplayText(const MedianEstimate& e) {
  const QString median = QString::number(e.median, 'f', 1);
  const auto half = e.relativeHalfWidth();
  if (!half) {
    return e.count == 1 ? ResultsText("%1 Mpix/s (one run, no interval)").arg(median)
                        : ResultsText("%1 Mpix/s (no runs)").arg(median);
  }
  QString text = ResultsText("%1 Mpix/s ± %2 %").arg(median, QString::number(100.0 * *half, 'f', 1));
  if (e.confidence < 0.95) {
    text += ResultsText(" (a %1 % interval: %2 runs are too few for 95 %)")
                .arg(QString::number(100.0 * e.confidence, 'f', 1))
                .arg(e.count);
  }
  return text;
}

}  // namespace asmpic::app
