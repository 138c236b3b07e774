#pragma once
// Where the program finds its start pictures, icon and translations: relative to its own location,
// so that an installed program works wherever its prefix is.
#include <string>

namespace asmpic::app {

// The assets folder, first of:
//   $ASMPIC_ASSETS, when set and not empty;
//   share/asmpic-bench beside the program's bin folder (an installed program, wherever it was
//   installed to, or a package unpacked anywhere);
//   the source tree's assets/, only for a program that lies inside the build tree.
// When none holds the start pictures: the folder beside the program, so that errors name it.
std::string AssetsDirectory();

// A file in the assets folder.
std::string AssetPath(const std::string& name);

// The folder with the compiled translations (asmbench_<language>.qm): share/asmpic-bench/translations
// beside the program, else the build tree's, for a program that lies inside the build tree.
std::string TranslationsDirectory();

}  // namespace asmpic::app
