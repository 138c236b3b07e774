// The headless box draws a shown plane only when its image is looked at. Whatever the engine does
// in between, the box must show what drawing at once would have shown.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "platform/plane_transfer.h"
#include "tests/support/headless_engine.h"

namespace asmpic {
namespace {

using testing::HeadlessEngine;
using testing::RandomPicture;

constexpr std::int32_t kInvert = 11;
constexpr std::int32_t kSmoothing = 0;

// A box that draws every plane at once, the background first, as drawing always did.
class EagerBox : public platform::HeadlessPictureBox {
 public:
  using HeadlessPictureBox::HeadlessPictureBox;
  bool ShowPlane(std::shared_ptr<const std::uint8_t> plane, int width, int height) override {
    SetPicture(nullptr);
    return platform::DrawPlaneIntoImage(plane.get(), width, height, PersistentImage());
  }
};

// What the box shows of a plane: the fourth byte does not reach the screen.
std::vector<std::uint8_t> Colours(std::span<const std::uint8_t> plane) {
  std::vector<std::uint8_t> colours(plane.begin(), plane.end());
  for (std::size_t i = 3; i < colours.size(); i += 4) colours[i] = 0;
  return colours;
}

using Step = std::function<void(clsASMpic&)>;

// Effects with AutoDraw on and off, undo with and without drawing, reset and explicit draws, in an
// order that leaves a plane shown but not yet drawn while each kind of change happens to it.
const std::vector<Step>& Steps() {
  static const std::vector<Step> steps = {
      [](clsASMpic& e) { e.ASM_PalEffects(kInvert); },
      [](clsASMpic& e) { e.ASM_PixelEffects(kSmoothing); },
      [](clsASMpic& e) { e.UndoLastDontDraw(); },
      [](clsASMpic& e) { e.ASM_Rotate(33); },
      [](clsASMpic& e) { e.AutoDraw(false); },
      [](clsASMpic& e) { e.ASM_PixelEffects(kSmoothing); },
      [](clsASMpic& e) { e.UndoLastDontDraw(); },
      [](clsASMpic& e) { e.ASM_PalEffects(kInvert); },
      [](clsASMpic& e) { e.DrawNow(); },
      [](clsASMpic& e) { e.ASM_Rotate(71); },
      [](clsASMpic& e) { e.AutoDraw(true); },
      [](clsASMpic& e) { e.UndoLast(); },
      [](clsASMpic& e) { e.ASM_PixelEffects(kSmoothing); },
      [](clsASMpic& e) { e.ResetPic(); },
      [](clsASMpic& e) { e.ASM_Rotate(12, false, false); },
      [](clsASMpic& e) { e.UndoLastDontDraw(); },
  };
  return steps;
}

TEST(PutOffDrawing, AfterEveryPrefixOfStepsTheBoxShowsWhatDrawingAtOnceShows) {
  const platform::Image picture = RandomPicture(9, 7, 21);
  for (std::size_t count = 0; count <= Steps().size(); ++count) {
    HeadlessEngine lazy(9, 7, 0x00336699);
    HeadlessEngine eager(9, 7, 0x00336699);
    eager.box = std::make_unique<EagerBox>(eager.window, 9 * 15.0f, 7 * 15.0f, 15.0f, 15.0f, 0x00336699);
    lazy.Bind(picture);
    eager.Bind(picture);
    for (std::size_t i = 0; i < count; ++i) {
      Steps()[i](lazy.engine);
      Steps()[i](eager.engine);
    }
    ASSERT_EQ(lazy.plane(2), eager.plane(2)) << count << " steps";
    EXPECT_EQ(lazy.box->image().pixels, eager.box->image().pixels) << count << " steps";
  }
}

TEST(PutOffDrawing, ABoxKeepsItsLastPictureWhenTheEngineMovesOnOrGoesAway) {
  platform::HeadlessRuntime runtime;
  runtime.echoMessages = false;
  platform::HeadlessWindow window;
  platform::HeadlessPictureBox first(window, 6 * 15.0f, 5 * 15.0f);
  platform::HeadlessPictureBox second(window, 6 * 15.0f, 5 * 15.0f);
  const platform::Image picture = RandomPicture(6, 5, 4);
  first.SetPicture(&picture);
  second.SetPicture(&picture);

  auto engine = std::make_unique<clsASMpic>(runtime);
  engine->PictureBox(first);
  engine->ASM_PalEffects(kInvert);
  const std::vector<std::uint8_t> inverted = Colours(engine->plane(2));
  // Binding another box reallocates the planes and draws into that box only.
  engine->PictureBox(second);
  engine->ASM_PixelEffects(kSmoothing);
  EXPECT_EQ(testing::PlaneOf(first.image()), inverted);

  const std::vector<std::uint8_t> smoothed = Colours(engine->plane(2));
  engine.reset();  // the box outlives the engine and its planes
  EXPECT_EQ(testing::PlaneOf(second.image()), smoothed);
}

TEST(PutOffDrawing, ANewPictureReplacesAPlaneNotYetDrawnAndASmallPlaneShowsTheBackground) {
  platform::HeadlessWindow window;
  platform::HeadlessPictureBox box(window, 3 * 15.0f, 2 * 15.0f, 15.0f, 15.0f, 0x00336699);
  const auto plane = std::make_shared<std::vector<std::uint8_t>>(3 * 2 * 4, std::uint8_t{0x11});
  const std::shared_ptr<const std::uint8_t> pixels(plane, plane->data());

  const platform::Image picture = RandomPicture(3, 2, 8);
  ASSERT_TRUE(box.ShowPlane(pixels, 3, 2));
  box.SetPicture(&picture);
  EXPECT_EQ(box.image().pixels, picture.pixels);

  // A 2 x 1 plane (the first two pixels) in a 3 x 2 box: the top-left two pixels, the rest the
  // background.
  ASSERT_TRUE(box.ShowPlane(pixels, 2, 1));
  EXPECT_EQ(box.Picture(), nullptr);
  const std::uint32_t back = platform::PixelFromColour(0x00336699);
  EXPECT_EQ(box.image().pixels, (std::vector<std::uint32_t>{0xFF111111u, 0xFF111111u, back, back, back, back}));
}

}  // namespace
}  // namespace asmpic
