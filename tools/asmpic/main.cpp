// asmpic: the engine at the command line.
//
//   asmpic [--backcolor N] [--box WxH] [--planes FILE] [-o FILE] INPUT [CALL ...]
//
// Binds an engine to a headless picture box showing INPUT, makes the calls in order, then writes
// the engine's whole pixel buffer (--planes) and what the box shows as a bitmap file (-o).
// Exit status: 0 done, 1 the picture could not be read, the box could not be bound or an output
// could not be written, 2 a malformed command line or call (nothing runs, nothing is written).
#include <CLI/CLI.hpp>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "engine/cls_asmpic.h"
#include "platform/headless/headless_controls.h"
#include "platform/headless/headless_picture_box.h"
#include "platform/headless/headless_runtime.h"
#include "platform/picture_io.h"
#include "tools/asmpic/call_runner.h"

namespace {

constexpr float kTwipsPerPixel = 15.0f;

struct BoxSize {
  int width;
  int height;
};

std::optional<BoxSize> ParseBoxSize(const std::string& text) {
  int width = 0;
  int height = 0;
  char separator = 0;
  char trailing = 0;
  if (std::sscanf(text.c_str(), "%d%c%d%c", &width, &separator, &height, &trailing) != 3) return std::nullopt;
  if ((separator != 'x' && separator != 'X') || width < 0 || height < 0) return std::nullopt;
  return BoxSize{width, height};
}

bool WriteFile(const std::string& path, std::span<const std::uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

int Run(int argc, char** argv);

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "asmpic: " << e.what() << '\n';
    return 1;
  }
}

namespace {

int Run(int argc, char** argv) {
  using namespace asmpic;

  CLI::App app{"asmpic: runs the ASMpic engine's calls on a picture file"};
  app.set_version_flag("--version", std::string("asmpic ") + ASMPIC_VERSION);
  std::string backColorText = "0";
  std::string boxText;
  std::string planesPath;
  std::string outputPath;
  std::string input;
  std::vector<std::string> callTexts;
  app.add_option("--backcolor", backColorText, "the box's BackColor, 0x00BBGGRR (decimal or 0x hexadecimal)");
  app.add_option("--box", boxText, "the box's size in pixels, WxH (default: the picture's size)");
  app.add_option("--planes", planesPath,
                 "write the engine's pixel buffer (planes 1, 2, 3, bottom row first, BGRX)");
  app.add_option("-o,--output", outputPath, "save what the box shows as a bitmap file");
  app.add_option("INPUT", input, "the picture file")->required();
  app.add_option(
      "CALL", callTexts,
      "engine calls: Method or Method:Name=Value,Name=Value (ASM_Rotate, ASM_Magnify, ASM_PalEffects, "
      "ASM_IncrementalPalEffects, ASM_PixelEffects, ASM_ColorXEffects, UndoLast, UndoLastDontDraw, "
      "ResetPic, DrawNow, AutoDraw)");
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return 2;
  }

  // Everything the command line says is checked before any call runs or anything is written.
  std::vector<tool::Call> calls;
  try {
    for (const std::string& text : callTexts) {
      tool::Call call = tool::ParseCall(text);
      if (!tool::IsAvailable(*call.method)) {
        throw tool::CallError(std::string(call.method->name) + ": not available in this build");
      }
      calls.push_back(std::move(call));
    }
  } catch (const tool::CallError& e) {
    std::cerr << "asmpic: " << e.what() << '\n';
    return 2;
  }
  std::int32_t backColor = 0;
  try {
    backColor = static_cast<std::int32_t>(
        std::get<long long>(tool::ParseValue(tool::ParamKind::Int32, "--backcolor", backColorText)));
  } catch (const tool::CallError& e) {
    std::cerr << "asmpic: " << e.what() << '\n';
    return 2;
  }
  std::optional<BoxSize> boxSize;
  if (!boxText.empty()) {
    boxSize = ParseBoxSize(boxText);
    if (!boxSize) {
      std::cerr << "asmpic: --box " << boxText << ": expected WxH with whole numbers\n";
      return 2;
    }
  }

  std::string error;
  std::optional<platform::Image> picture = platform::LoadPictureFile(input, &error);
  if (!picture) {
    std::cerr << "asmpic: cannot read the picture: " << error << '\n';
    return 1;
  }
  const BoxSize size = boxSize.value_or(BoxSize{picture->width, picture->height});

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
    return 1;
  }
  for (const tool::Call& call : calls) tool::RunCall(engine, call);

  int status = 0;
  if (!planesPath.empty() && !WriteFile(planesPath, engine.buffer().all())) {
    std::cerr << "asmpic: cannot write " << planesPath << '\n';
    status = 1;
  }
  if (!outputPath.empty() && !platform::SaveBitmapFile(box.PersistentImage(), outputPath, &error)) {
    std::cerr << "asmpic: cannot save " << outputPath << ": " << error << '\n';
    status = 1;
  }
  return status;
}

}  // namespace
