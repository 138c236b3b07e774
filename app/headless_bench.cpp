#include "app/headless_bench.h"

#include <CLI/CLI.hpp>

#include <ostream>

#include "app/assets.h"
#include "app/headless_form.h"
#include "app/score.h"
#include "platform/picture_io.h"

namespace asmpic::app {

void PrintResult(const platform::ListBox& list, const platform::Label& label, std::ostream& out) {
  for (int i = 0; i < list.ListCount(); ++i) out << list.List(i) << '\n';
  const char* colour = label.ForeColor() == kGreen ? "green" : label.ForeColor() == kRed ? "red" : "other";
  out << "Score: " << label.Caption() << " (" << colour << ")\n";
}

void AddHeadlessOptions(CLI::App& cli, HeadlessOptions& options) {
  cli.add_option("--assets", options.assetsDirectory, "the folder with the start pictures (default: found)");
}

std::string HeadlessExitStatusHelp() {
  return "Exit status: 0 the run finished; 1 a start picture could not be read or the window was\n"
         "closed during --run; 2 a malformed command line.";
}

int RunHeadlessBenchmark(const HeadlessOptions& options, std::ostream& out, std::ostream& err) {
  const std::string assets = options.assetsDirectory.empty() ? AssetsDirectory() : options.assetsDirectory;
  std::string error;
  const auto picture1 = platform::LoadPictureFile(assets + "/picture1.jpg", &error);
  const auto picture2 = picture1 ? platform::LoadPictureFile(assets + "/picture2.bmp", &error) : std::nullopt;
  if (!picture1 || !picture2) {
    err << "asmbench: cannot read a start picture: " << error << '\n';
    return 1;
  }
  HeadlessForm1 form(*picture1, *picture2);
  auto controls = form.controls();
  Command1_Click(controls, form.state);
  PrintResult(form.List1, form.Label1, out);
  return 0;
}

}  // namespace asmpic::app
