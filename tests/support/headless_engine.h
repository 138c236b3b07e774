#pragma once
// An engine bound to a headless picture box, for tests that drive clsASMpic's public methods.
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "engine/cls_asmpic.h"
#include "platform/headless/headless_controls.h"
#include "platform/headless/headless_picture_box.h"
#include "platform/headless/headless_runtime.h"

namespace asmpic::testing {

// A picture of random opaque pixels.
inline platform::Image RandomPicture(int width, int height, std::uint32_t seed) {
  platform::Image picture(width, height);
  std::mt19937 random(seed);
  for (auto& p : picture.pixels) p = 0xFF000000u | (random() & 0x00FFFFFFu);
  return picture;
}

// The plane a picture of the box's size becomes: rows bottom first, fourth byte 0. Worked out
// here pixel by pixel, independently of the engine's own transfer.
inline std::vector<std::uint8_t> PlaneOf(const platform::Image& picture) {
  std::vector<std::uint8_t> plane(picture.pixels.size() * 4);
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      const std::uint32_t p = picture.at(x, picture.height - 1 - y) & 0x00FFFFFFu;
      std::memcpy(&plane[4 * (static_cast<std::size_t>(y) * picture.width + x)], &p, 4);
    }
  }
  return plane;
}

struct HeadlessEngine {
  // A box of width x height pixels (at 15 twips per pixel) showing `picture`, with the engine not
  // yet bound; call Bind().
  HeadlessEngine(int width, int height, platform::Colour backColor = 0, const KernelStore& kernels = {})
      : box(std::make_unique<platform::HeadlessPictureBox>(window, width * 15.0f, height * 15.0f, 15.0f,
                                                           15.0f, backColor)),
        engine(runtime, kernels) {
    runtime.echoMessages = false;
  }

  void Bind(const platform::Image& picture) {
    box->SetPicture(&picture);
    engine.PictureBox(*box);
  }
  void BindRandom(std::uint32_t seed) { Bind(RandomPicture(box->image().width, box->image().height, seed)); }

  std::vector<std::uint8_t> plane(int k) const {
    const auto p = engine.plane(k);
    return {p.begin(), p.end()};
  }
  // Byte c of pixel (x, y) of plane k; 1-based, row 1 is the bottom row on screen.
  std::uint8_t at(int k, int x, int y, int c) const {
    return engine.plane(k)[4 * ((x - 1) + static_cast<std::size_t>(engine.Width()) * (y - 1)) + c];
  }

  platform::HeadlessRuntime runtime;
  platform::HeadlessWindow window;
  std::unique_ptr<platform::HeadlessPictureBox> box;
  clsASMpic engine;
};

// What a resampling kernel (rotate, magnify) was handed by the engine: the block, the centre and
// argument 3 of the last call, and how many calls there were.
struct ResampleCall {
  int calls = 0;
  KernelParams block;
  float centreX = 0, centreY = 0;
  std::intptr_t arg3 = 0;
};
inline ResampleCall recordedResample;

inline void RecordingResample(KernelParams* block, std::uint32_t centreX, std::uint32_t centreY,
                              std::intptr_t arg3) {
  recordedResample = {recordedResample.calls + 1, *block, ArgFloat(centreX), ArgFloat(centreY), arg3};
}

// An engine whose kernel `slot` records into recordedResample, which starts afresh.
inline HeadlessEngine RecordingResampleEngine(int width, int height, platform::Colour backColor,
                                              KernelEntry KernelStore::*slot) {
  recordedResample = {};
  KernelStore store;
  store.*slot = RecordingResample;
  return HeadlessEngine(width, height, backColor, store);
}

}  // namespace asmpic::testing
