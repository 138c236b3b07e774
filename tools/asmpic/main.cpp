// asmpic: the engine at the command line.
//
//   asmpic [--backcolor N] [--box WxH] [--planes FILE] [-o FILE] INPUT [CALL ...]
//
// Binds an engine to a headless picture box showing INPUT, makes the calls in order, then writes
// the engine's whole pixel buffer (--planes) and what the box shows (-o, in the format its name
// asks for). The outputs replace their files together, and only when both are complete.
#include <CLI/CLI.hpp>

#include <charconv>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "engine/cls_asmpic.h"
#include "platform/command_line.h"
#include "platform/headless/headless_controls.h"
#include "platform/headless/headless_picture_box.h"
#include "platform/headless/headless_runtime.h"
#include "platform/interruption.h"
#include "platform/kernel_option.h"
#include "platform/output_files.h"
#include "platform/picture_io.h"
#include "platform/picture_save.h"
#include "tools/asmpic/call_parser.h"

namespace {

constexpr float kTwipsPerPixel = 15.0f;
constexpr int kExitError = 1;
constexpr int kExitUsage = 2;

struct BoxSize {
  int width;
  int height;
};

// WxH in decimal digits, each a size a 32-bit integer holds.
std::optional<BoxSize> ParseBoxSize(const std::string& text) {
  const auto separator = text.find_first_of("xX");
  if (separator == std::string::npos) return std::nullopt;
  const auto number = [](std::string_view digits) -> std::optional<int> {
    int value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || value < 0) {
      return std::nullopt;
    }
    return value;
  };
  const auto width = number(std::string_view(text).substr(0, separator));
  const auto height = number(std::string_view(text).substr(separator + 1));
  if (!width || !height) return std::nullopt;
  return BoxSize{*width, *height};
}

int Run(int argc, char** argv);

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "asmpic: " << e.what() << '\n';
    return kExitError;
  }
}

namespace {

int Run(int argc, char** argv) {
  using namespace asmpic;

  CLI::App app{"asmpic: runs the ASMpic engine's calls on a picture file"};
  app.formatter(platform::ReadableHelp());
  KernelChoice kernels = KernelChoice::kBest;
  AddKernelsOption(app, kernels);
  SetVersionFlag(app, "asmpic", ASMPIC_VERSION, kernels);
  app.footer(
      "Exit status: 0 done; 1 the picture cannot be read, the box cannot be bound or an output cannot be\n"
      "written; 2 a malformed command line or call (nothing runs, nothing is written); 130 (143) "
      "interrupted\n"
      "by SIGINT (SIGTERM): nothing is written.");
  std::string backColorText = "0";
  std::string boxText;
  std::string planesPath;
  std::string outputPath;
  std::string input;
  bool verbose = false;
  std::vector<std::string> callTexts;
  app.add_option("--backcolor", backColorText, "the box's BackColor, 0x00BBGGRR (decimal or 0x hexadecimal)")
      ->type_name("COLOUR");
  app.add_option("--box", boxText, "the box's size in pixels (default: the picture's size)")
      ->type_name("WxH");
  app.add_option("--planes", planesPath,
                 "write the engine's pixel buffer (planes 1, 2, 3, bottom row first, BGRX; - for standard "
                 "output)")
      ->type_name("FILE");
  app.add_option("-o,--output", outputPath, "save what the box shows as .bmp, .png or .jpg, as the name says")
      ->type_name("FILE");
  app.add_flag("--verbose", verbose, "say more about failures (the picture decoder's own words)");
  app.add_flag_callback(
         "--list",
         [] {
           tool::WriteMethodList(std::cout);
           throw CLI::Success();
         },
         "print every call with its parameters, their defaults and the names of the opcodes, then exit")
      ->trigger_on_parse();
  app.add_option("INPUT", input, "the picture file")->required();
  app.add_option("CALL", callTexts,
                 "engine calls: Method or Method:Name=Value,Name=Value (asmpic --list shows them all)");
  if (const auto status = platform::ParseCommandLine(app, argc, argv, "asmpic")) return *status;
  SetKernelChoice(kernels);  // before any engine exists

  // Everything the command line says is checked before any call runs or anything is written.
  std::vector<tool::Call> calls;
  std::int32_t backColor = 0;
  try {
    for (const std::string& text : callTexts) {
      calls.push_back(tool::ParseCall(text));
    }
    backColor = static_cast<std::int32_t>(
        std::get<long long>(tool::ParseValue(tool::ParamKind::Int32, "--backcolor", backColorText)));
  } catch (const tool::CallError& e) {
    std::cerr << "asmpic: " << e.what() << '\n';
    return kExitUsage;
  }
  std::optional<BoxSize> boxSize;
  if (!boxText.empty()) {
    boxSize = ParseBoxSize(boxText);
    if (!boxSize) {
      std::cerr << "asmpic: --box " << boxText << ": expected WxH, two whole numbers from 0 to 2147483647\n";
      return kExitUsage;
    }
  }
  std::optional<platform::PictureFormat> outputFormat;
  if (!outputPath.empty()) {
    outputFormat = platform::PictureFormatOf(outputPath);
    if (!outputFormat) {
      std::cerr << "asmpic: -o " << outputPath << ": name a .bmp, .png, .jpg or .jpeg file\n";
      return kExitUsage;
    }
  }
  if (!planesPath.empty() && !outputPath.empty() && platform::FindSameFile({planesPath, outputPath})) {
    std::cerr << "asmpic: --planes and -o both name " << outputPath << "; each output needs its own file\n";
    return kExitUsage;
  }
  for (const tool::Call& call : calls) {
    if (const auto note = tool::IgnoredOpcodeNote(call)) std::cerr << "asmpic: " << *note << '\n';
  }

  const platform::InterruptionCatcher interruptions;
  std::string error;
  std::string detail;
  std::optional<platform::Image> picture = platform::LoadPictureFile(input, &error, &detail);
  if (!picture) {
    std::cerr << "asmpic: cannot read the picture: " << error << '\n';
    if (verbose && !detail.empty()) std::cerr << "asmpic: the decoder said: " << detail << '\n';
    return kExitError;
  }
  const BoxSize size = boxSize.value_or(BoxSize{picture->width, picture->height});

  // The outputs are staged before the work, so that one that cannot be written is known at once.
  platform::OutputFiles outputs(std::cout);
  std::ostream* planesOut = nullptr;
  std::ostream* pictureOut = nullptr;
  if ((!planesPath.empty() && (planesOut = outputs.Stage(planesPath, &error)) == nullptr) ||
      (!outputPath.empty() && (pictureOut = outputs.Stage(outputPath, &error)) == nullptr)) {
    std::cerr << "asmpic: cannot write " << error << '\n';
    return kExitError;
  }

  platform::HeadlessRuntime runtime;
  platform::HeadlessWindow window("asmpic");
  platform::HeadlessPictureBox box(window, static_cast<float>(size.width) * kTwipsPerPixel,
                                   static_cast<float>(size.height) * kTwipsPerPixel, kTwipsPerPixel,
                                   kTwipsPerPixel, backColor);
  box.SetPicture(&*picture);
  picture.reset();  // the box keeps its own copy; a large photograph need not be held twice
  clsASMpic engine(runtime);
  engine.PictureBox(box);
  if (!engine.bound()) {
    std::cerr << "asmpic: the engine could not be bound to a " << size.width << "x" << size.height
              << " box\n";
    return kExitError;
  }
  const auto interrupted = [] {
    const int signal = platform::CaughtSignal();
    if (signal != 0) {
      std::cerr << "asmpic: interrupted by " << platform::SignalName(signal) << "; nothing was written\n";
    }
    return signal;
  };
  for (const tool::Call& call : calls) {
    if (const int signal = interrupted()) return platform::InterruptedExitStatus(signal);
    call.method->run(engine, call);
  }

  if (planesOut != nullptr) {
    const auto bytes = engine.buffer().all();
    planesOut->write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  if (pictureOut != nullptr &&
      !platform::WritePicture(box.PersistentImage(), *outputFormat, *pictureOut, &error) && *pictureOut) {
    std::cerr << "asmpic: cannot save " << outputPath << ": " << error << '\n';
    return kExitError;
  }
  if (const int signal = interrupted()) return platform::InterruptedExitStatus(signal);
  if (!outputs.Commit(&error)) {
    std::cerr << "asmpic: cannot write " << error << '\n';
    return kExitError;
  }
  return 0;
}

}  // namespace
