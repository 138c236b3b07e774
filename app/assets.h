#pragma once
// Where the program finds its start pictures and icon.
#include <string>

namespace asmpic::app {

// The assets folder, first of:
//   $ASMPIC_ASSETS, when set and not empty;
//   share/asmpic-bench beside the program's bin folder, when it is there (an installed program,
//   wherever it was installed to);
//   the source tree's assets/, when it is there (a program run from the build tree);
//   the folder the program was configured to be installed to.
std::string AssetsDirectory();

// A file in the assets folder.
std::string AssetPath(const std::string& name);

}  // namespace asmpic::app
