#pragma once
// The window's language. Its texts are written in Russian, which the window shows by default;
// a translation (asmbench_<language>.qm) replaces them where the user's languages ask for it, so
// that the button, the question, its title and its Yes/No all speak one language. The results
// (the score's tooltip, the results dialog and its chart) are written in English, which files
// and the command line keep; asmbench_ru.qm gives them in Russian wherever the window speaks it.
#include <QString>
#include <QStringList>
#include <string>

class QCoreApplication;

namespace asmpic::app {

// The language the window speaks for a user whose preferred languages are `uiLanguages` (best
// first, as QLocale::uiLanguages gives them), given the languages with a translation: the first
// preferred language that is Russian or has a translation. Empty: the original texts.
QString ChooseLanguage(const QStringList& uiLanguages, const QStringList& translated);

// Loads and installs the translations the user's languages ask for, from TranslationsDirectory(),
// with Qt's own for its dialogs' buttons: English where ChooseLanguage gives it, else Russian, the
// window's own language. Returns the language installed, empty when no file could be loaded.
QString InstallTranslation(QCoreApplication& application);

// A text of the window, translated when a translation is installed.
QString WindowText(const char* source);

// A text of the results, translated when the Russian translation is installed.
QString ResultsText(const char* source);
// A test's short name, "score" or "multi-core" as the results show them.
QString RowNameText(const std::string& name);
// A kernel choice (best, baseline, reference) as the results show it.
QString KernelChoiceText(const std::string& choice);
// A result's label in a chart: "this run", "run 12", a reference's name, or a file name as it is.
QString ResultLabelText(const std::string& label);
// "1 thread", "2 threads".
QString ThreadsText(int threads);

struct BuildInfo;
struct MedianEstimate;
// The kernels that ran, "best (AVX2)", as the results show them.
QString KernelsDisplayText(const BuildInfo& build);
// A throughput with its interval, "309.0 Mpix/s ± 1.2 %", as the results show it.
QString ThroughputDisplayText(const MedianEstimate& estimate);

}  // namespace asmpic::app
