// Binding an engine to a picture box: sizes, the colour-depth check, the planes, drawing,
// AutoDraw, and every failure the engine reports.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/messages.h"
#include "tests/support/headless_engine.h"

namespace asmpic {
namespace {

using platform::MsgBoxIcon;
using testing::HeadlessEngine;
using testing::PlaneOf;
using testing::RandomPicture;

platform::Image Shown(const HeadlessEngine& h) {
  return h.box->image();
}

bool SameColours(const platform::Image& a, const platform::Image& b) {
  if (a.width != b.width || a.height != b.height) return false;
  for (std::size_t i = 0; i < a.pixels.size(); ++i) {
    if ((a.pixels[i] & 0xFFFFFFu) != (b.pixels[i] & 0xFFFFFFu)) return false;
  }
  return true;
}

TEST(Binding, SizeIsTwipsOverTwipsPerPixelRoundedHalfToEven) {
  struct Case {
    float twips;
    int pixels;
  } cases[] = {{4455, 297}, {3255, 217}, {307.5f, 20}, {322.5f, 22}, {15, 1}, {7.5f, 0}};
  for (const Case& c : cases) {
    platform::HeadlessRuntime runtime;
    runtime.echoMessages = false;
    platform::HeadlessWindow window;
    platform::HeadlessPictureBox box(window, c.twips, 150, 15, 15);
    clsASMpic engine(runtime);
    engine.PictureBox(box);
    EXPECT_TRUE(engine.bound()) << c.twips;
    EXPECT_EQ(engine.Width(), c.pixels) << c.twips << " twips";
    EXPECT_EQ(engine.Height(), 10);
    EXPECT_EQ(engine.params().width, c.pixels);
    EXPECT_TRUE(runtime.messages.empty());
  }
}

TEST(Binding, PlanesHoldThePictureBottomRowFirstAndTheBoxShowsIt) {
  HeadlessEngine h(7, 5);
  const platform::Image picture = RandomPicture(7, 5, 1);
  h.Bind(picture);
  ASSERT_TRUE(h.engine.bound());
  const auto expected = PlaneOf(picture);
  for (int k = 1; k <= 3; ++k) EXPECT_EQ(h.plane(k), expected) << "plane " << k;
  EXPECT_EQ(h.engine.params().pixels, h.engine.buffer().all().data());
  EXPECT_TRUE(SameColours(Shown(h), picture));
  EXPECT_TRUE(h.box->Visible());
  EXPECT_EQ(h.box->Picture(), nullptr);  // drawing replaces the picture with the planes
  EXPECT_GE(h.box->refreshes, 1);
}

TEST(Binding, SmallerPictureShowsBackColorAndLargerIsClipped) {
  const platform::Colour backColor = 0x00336699;
  HeadlessEngine small(6, 4, backColor);
  small.Bind(RandomPicture(3, 2, 2));
  // Pixel (6, 1) is the bottom-right corner on screen: outside the picture.
  EXPECT_EQ(small.at(1, 6, 1, 0), 0x33);
  EXPECT_EQ(small.at(1, 6, 1, 1), 0x66);
  EXPECT_EQ(small.at(1, 6, 1, 2), 0x99);

  HeadlessEngine large(4, 3);
  const platform::Image picture = RandomPicture(9, 8, 3);
  large.Bind(picture);
  // The top-left pixel on screen is buffer pixel (1, H).
  EXPECT_EQ(large.at(1, 1, 3, 0), picture.at(0, 0) & 0xFF);
  EXPECT_EQ(large.engine.plane(1).size(), 4u * 3 * 4);
}

TEST(Binding, ScreenDepthMustBe16Or32Bits) {
  for (int bits : {16, 32}) {
    HeadlessEngine h(4, 4);
    h.box->SetScreenBitsPerPixel(bits);
    h.BindRandom(4);
    EXPECT_TRUE(h.engine.bound()) << bits;
    EXPECT_TRUE(h.runtime.messages.empty()) << bits;
  }
  for (int bits : {8, 24}) {
    HeadlessEngine h(4, 4);
    h.box->SetScreenBitsPerPixel(bits);
    h.BindRandom(5);
    EXPECT_FALSE(h.engine.bound()) << bits;
    ASSERT_EQ(h.runtime.messages.size(), 1u) << bits;
    EXPECT_EQ(h.runtime.messages[0].prompt, "Not 16 or 24-bit color setting");
    EXPECT_EQ(h.runtime.messages[0].title, "clsASM");
    EXPECT_EQ(h.runtime.messages[0].icon, MsgBoxIcon::Critical);
  }
}

TEST(Binding, BindingTwiceGivesTheSamePlanesAndLosesTheUndoCopy) {
  HeadlessEngine h(5, 5);
  h.BindRandom(6);
  const auto first = h.plane(1);
  h.engine.AutoDraw(false);
  h.engine.PictureBox(*h.box);
  EXPECT_EQ(h.engine.Width(), 5);
  for (int k = 1; k <= 3; ++k) EXPECT_EQ(h.plane(k), first) << k;
}

TEST(Binding, AnEnormousBoxFailsWithTheGetdibsMessageAndLeavesTheEngineUnbound) {
  platform::HeadlessRuntime runtime;
  runtime.echoMessages = false;
  platform::HeadlessWindow window;
  platform::HeadlessPictureBox box(window, 1e6f * 15, 1e6f * 15);
  clsASMpic engine(runtime);
  engine.PictureBox(box);
  EXPECT_FALSE(engine.bound());
  ASSERT_EQ(runtime.messages.size(), 2u);
  EXPECT_EQ(runtime.messages[0].prompt, "Error in function GETDIBS");
  EXPECT_EQ(runtime.messages[1].prompt, "Couldn't assign picturebox");
  EXPECT_EQ(runtime.messages[1].icon, MsgBoxIcon::Critical);
  engine.ResetPic();  // keeps working: reports the missing box
  EXPECT_EQ(runtime.messages.back().prompt, "You must assign a picturebox to the class first!");
}

TEST(Binding, ABoxSizeThatIsNotANumberFailsTheBinding) {
  platform::HeadlessRuntime runtime;
  runtime.echoMessages = false;
  runtime.twipsPerPixelX = 0.0f;  // a quotient of infinity
  platform::HeadlessWindow window;
  platform::HeadlessPictureBox box(window, 150, 150);
  clsASMpic engine(runtime);
  engine.PictureBox(box);
  EXPECT_FALSE(engine.bound());
  ASSERT_EQ(runtime.messages.size(), 1u);
  EXPECT_EQ(runtime.messages[0].prompt, "Couldn't assign picturebox");
}

TEST(Binding, AZeroSizedBoxBindsAndLaterCallsDoNoPixelWork) {
  platform::HeadlessRuntime runtime;
  runtime.echoMessages = false;
  platform::HeadlessWindow window;
  platform::HeadlessPictureBox box(window, 0, 300);
  clsASMpic engine(runtime);
  engine.PictureBox(box);
  EXPECT_TRUE(engine.bound());
  EXPECT_EQ(engine.Width(), 0);
  EXPECT_TRUE(engine.buffer().all().empty());
  engine.ASM_Rotate(45);
  engine.ASM_PixelEffects(3);
  engine.ASM_PalEffects(10);
  engine.ASM_ColorXEffects(9, 0xFF);
  engine.ASM_Magnify(2.0f);
  engine.UndoLast();
  engine.ResetPic();
  engine.DrawNow();
  engine.AutoDraw(false);
  engine.AutoDraw(true);
  EXPECT_TRUE(runtime.messages.empty());
}

TEST(AutoDraw, OffCopiesTheWorkingPictureToUndoAndDrawsNothing) {
  HeadlessEngine h(4, 3);
  h.BindRandom(7);
  const int refreshes = h.box->refreshes;
  h.engine.AutoDraw(false);
  EXPECT_FALSE(h.engine.AutoDraw());
  EXPECT_EQ(h.box->refreshes, refreshes);
  EXPECT_EQ(h.plane(3), h.plane(2));
}

TEST(AutoDraw, OnDrawsAtOnceEvenWithoutChanges) {
  HeadlessEngine h(4, 3);
  h.BindRandom(8);
  h.engine.AutoDraw(false);
  const int refreshes = h.box->refreshes;
  h.engine.AutoDraw(true);
  EXPECT_TRUE(h.engine.AutoDraw());
  EXPECT_EQ(h.box->refreshes, refreshes + 1);
}

TEST(DrawNow, DrawsPlaneTwoAndYieldsOnce) {
  HeadlessEngine h(4, 3);
  h.BindRandom(9);
  h.box->SetPicture(nullptr);  // the box now shows its background only
  const int yields = h.runtime.yields;
  h.engine.DrawNow();
  EXPECT_EQ(h.runtime.yields, yields + 1);
  EXPECT_EQ(h.box->image().at(0, 0) & 0xFFFFFF,
            0u + (h.at(2, 1, 3, 0) | h.at(2, 1, 3, 1) << 8 | h.at(2, 1, 3, 2) << 16));
}

TEST(Unbound, DrawNowAndAutoDrawDoNothingBeforeAnyBinding) {
  platform::HeadlessRuntime runtime;
  runtime.echoMessages = false;
  clsASMpic engine(runtime);
  engine.DrawNow();
  engine.AutoDraw(false);
  engine.AutoDraw(true);
  EXPECT_TRUE(runtime.messages.empty());
  EXPECT_EQ(runtime.yields, 0);
}

TEST(Unbound, EveryOtherOperationReportsTheMissingBoxOnceAndChangesNothing) {
  platform::HeadlessRuntime runtime;
  runtime.echoMessages = false;
  clsASMpic engine(runtime);
  const std::function<void()> operations[] = {
      [&] { engine.ASM_Rotate(10); },
      [&] { engine.ASM_Rotate(0); },
      [&] { engine.ASM_PalEffects(1); },
      [&] { engine.ASM_PixelEffects(1); },
      [&] { engine.ASM_IncrementalPalEffects(1); },
      [&] { engine.ASM_ColorXEffects(1, 0); },
      [&] { engine.ASM_Magnify(2.0f); },
      [&] { engine.UndoLast(); },
      [&] { engine.ResetPic(); },
      [&] { engine.UndoLastDontDraw(); },
      [&] { engine.dialogShowOpen(); },
      [&] { engine.dialogShowSave(); },
      [&] { EXPECT_EQ(engine.dialogChoseColor(), 0); },
  };
  for (std::size_t i = 0; i < std::size(operations); ++i) {
    runtime.messages.clear();
    operations[i]();
    ASSERT_EQ(runtime.messages.size(), 1u) << "operation " << i;
    EXPECT_EQ(runtime.messages[0].prompt, "You must assign a picturebox to the class first!");
    EXPECT_EQ(runtime.messages[0].title, "clsASM");
    EXPECT_EQ(runtime.messages[0].icon, MsgBoxIcon::Information);
  }
  EXPECT_TRUE(engine.buffer().all().empty());
  EXPECT_TRUE(runtime.dialogs.openQuestions.empty());
}

TEST(BlitError, ReleasesTheBufferReportsAndEndsTheProgram) {
  HeadlessEngine h(4, 3);
  h.BindRandom(10);
  std::optional<int> endStatus;
  h.runtime.onEnd = [&](int status) { endStatus = status; };
  h.box->SetImageUnavailable(true);
  h.engine.DrawNow();
  ASSERT_EQ(h.runtime.messages.size(), 1u);
  EXPECT_EQ(h.runtime.messages[0].prompt, "Blit Error");
  EXPECT_EQ(h.runtime.messages[0].icon, MsgBoxIcon::Critical);
  ASSERT_TRUE(endStatus.has_value());
  EXPECT_NE(*endStatus, 0);
  EXPECT_TRUE(h.engine.buffer().all().empty());
  // Were the program to go on, the engine would not touch the released buffer.
  h.engine.UndoLast();
  EXPECT_EQ(h.runtime.messages.back().prompt, "You must assign a picturebox to the class first!");
}

}  // namespace
}  // namespace asmpic
