#pragma once
// Where the program finds its start pictures, icon and translations: relative to its own location,
// so that an installed program works wherever its prefix is.
#include <optional>
#include <string>

#include "platform/image.h"

namespace asmpic::app {

// The assets folder, first of:
//   $ASMPIC_ASSETS, when set and not empty;
//   share/asmpic-bench beside the program's bin folder (an installed program, wherever it was
//   installed to, or a package unpacked anywhere);
//   the source tree's assets/, only for a program that lies inside the build tree.
// When none holds the start pictures: the folder beside the program, so that errors name it.
std::string AssetsDirectory();

// The benchmark's two start pictures, picture1.jpg and picture2.bmp.
struct StartPictures {
  platform::Image picture1;
  platform::Image picture2;
};
// Reads both from `assets` (AssetsDirectory() when it is empty); nothing when either cannot be
// read, with `error` naming the file and why, and `detail` what the decoder said, if anything.
std::optional<StartPictures> LoadStartPictures(const std::string& assets, std::string* error,
                                               std::string* detail = nullptr);

// A file in the assets folder.
std::string AssetPath(const std::string& name);

// The folder with the compiled translations (asmbench_<language>.qm): share/asmpic-bench/translations
// beside the program, else the build tree's, for a program that lies inside the build tree.
std::string TranslationsDirectory();

}  // namespace asmpic::app
