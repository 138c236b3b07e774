#pragma once
// The window's language. Its texts are written in Russian, which the window shows by default;
// a translation (asmbench_<language>.qm) replaces them where the user's languages ask for it, so
// that the button, the question, its title and its Yes/No all speak one language.
#include <QString>
#include <QStringList>

class QCoreApplication;

namespace asmpic::app {

// The language the window speaks for a user whose preferred languages are `uiLanguages` (best
// first, as QLocale::uiLanguages gives them), given the languages with a translation: the first
// preferred language that is Russian or has a translation. Empty: the original texts.
QString ChooseLanguage(const QStringList& uiLanguages, const QStringList& translated);

// Loads and installs the translation the user's languages ask for, from TranslationsDirectory().
// Returns its language, or an empty text when the window keeps its original texts.
QString InstallTranslation(QCoreApplication& application);

// A text of the window, translated when a translation is installed.
QString WindowText(const char* source);

}  // namespace asmpic::app
