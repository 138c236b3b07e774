// Undo and reset: one level of undo, what each operation copies and draws, and what the box
// shows afterwards.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/headless_engine.h"

namespace asmpic {
namespace {

using testing::HeadlessEngine;

constexpr std::int32_t kInvert = 11;  // a palette effect that changes every pixel pair

// The box's image as the plane it would be read into.
std::vector<std::uint8_t> ShownPlane(const HeadlessEngine& h) {
  return testing::PlaneOf(h.box->image());
}

// A plane as the box can show it: the fourth byte does not reach the screen.
std::vector<std::uint8_t> Colours(std::vector<std::uint8_t> plane) {
  for (std::size_t i = 3; i < plane.size(); i += 4) plane[i] = 0;
  return plane;
}

class UndoReset : public ::testing::Test {
 protected:
  UndoReset() : h(6, 4) {
    h.BindRandom(11);
    original = h.plane(1);
  }
  HeadlessEngine h;
  std::vector<std::uint8_t> original;
};

TEST_F(UndoReset, RightAfterBindingUndoAndResetDrawTheBoundPicture) {
  h.engine.UndoLast();
  EXPECT_EQ(ShownPlane(h), original);
  h.engine.ResetPic();
  EXPECT_EQ(ShownPlane(h), original);
  for (int k = 1; k <= 3; ++k) EXPECT_EQ(h.plane(k), original);
}

TEST_F(UndoReset, UndoBringsBackThePictureBeforeTheLastEffectAsOftenAsAsked) {
  h.engine.ASM_PalEffects(kInvert);
  const auto inverted = h.plane(2);
  ASSERT_NE(inverted, original);
  h.engine.ASM_PalEffects(kInvert);  // back to the original, undo copy now holds `inverted`
  h.engine.UndoLast();
  EXPECT_EQ(h.plane(2), inverted);
  EXPECT_EQ(ShownPlane(h), Colours(inverted));
  h.engine.UndoLast();
  EXPECT_EQ(h.plane(2), inverted);
  EXPECT_EQ(h.plane(3), inverted);
}

TEST_F(UndoReset, ResetBringsBackTheSourcePictureForBothWorkingAndUndo) {
  h.engine.ASM_PalEffects(kInvert);
  h.engine.ASM_PalEffects(0, 50);
  h.engine.ResetPic();
  EXPECT_EQ(h.plane(2), original);
  EXPECT_EQ(h.plane(3), original);
  EXPECT_EQ(ShownPlane(h), original);
  h.engine.UndoLast();
  EXPECT_EQ(ShownPlane(h), original);
}

TEST_F(UndoReset, UndoWithoutDrawingChangesThePlaneButNotTheBox) {
  h.engine.ASM_PalEffects(kInvert);
  const auto shown = ShownPlane(h);
  const int refreshes = h.box->refreshes;
  h.engine.UndoLastDontDraw();
  EXPECT_EQ(h.plane(2), original);
  EXPECT_EQ(ShownPlane(h), shown);
  EXPECT_EQ(h.box->refreshes, refreshes);
  h.engine.DrawNow();
  EXPECT_EQ(ShownPlane(h), original);
}

TEST_F(UndoReset, UndoDrawsEvenWithAutoDrawOff) {
  h.engine.AutoDraw(false);
  h.engine.ASM_PalEffects(kInvert);
  EXPECT_EQ(ShownPlane(h), original);  // not drawn
  EXPECT_EQ(h.plane(3), original);     // the undo copy made when AutoDraw went off
  h.engine.ASM_PalEffects(kInvert);
  h.engine.ASM_PalEffects(kInvert);
  h.engine.UndoLast();
  EXPECT_EQ(h.plane(2), original);
  EXPECT_EQ(ShownPlane(h), original);
}

TEST_F(UndoReset, WithAutoDrawOffEffectsLeaveTheBoxUntilItIsDrawn) {
  h.engine.AutoDraw(false);
  h.engine.ASM_PalEffects(kInvert);
  const auto inverted = h.plane(2);
  EXPECT_EQ(ShownPlane(h), original);
  h.engine.AutoDraw(true);
  EXPECT_EQ(ShownPlane(h), Colours(inverted));
}

}  // namespace
}  // namespace asmpic
