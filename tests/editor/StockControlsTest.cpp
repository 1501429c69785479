#include <gtest/gtest.h>

#include "editor/IBitmapControl.h"
#include "editor/IFaderControl.h"
#include "editor/IKnobControl.h"
#include "editor/ITextControl.h"
#include "tests/editor/EditorFixture.h"

namespace editor_test {
namespace {

constexpr int kParam = 0;  // 0..1

class StockControlsTest : public EditorTest {
 protected:
  // A 32 x 32 knob of 65 frames, like the trimpots.
  const std::unique_ptr<LICE_MemBitmap> knobImage = RowNumberedBitmap(32, 32 * 65);
  const std::unique_ptr<LICE_MemBitmap> handleImage = RowNumberedBitmap(48, 27);
  const std::unique_ptr<LICE_MemBitmap> switchImage = RowNumberedBitmap(4, 8);
};

TEST_F(StockControlsTest, KnobDragsFollowTheGearingAndModifiersMakeThemFiner) {
  auto* knob = Attach<IKnobMultiControl>(&plug, 100, 100, kParam, StripOf(knobImage.get(), 65));
  EXPECT_EQ(knob->GetRECT(), Rect(100, 100, 132, 132));
  knob->SetValueFromHost(0.5);

  gui->MouseDown(110, 110, {.L = true});
  gui->MouseMove(110, 102, {.L = true});  // up 8 pixels: 8 / 32 / 4
  EXPECT_DOUBLE_EQ(knob->GetValue(), 0.5 + 8.0 / 32 / 4);
  gui->MouseMove(110, 110, {.L = true, .S = true});  // down 8 with shift: ten times finer
  EXPECT_DOUBLE_EQ(knob->GetValue(), 0.5 + 8.0 / 32 / 4 - 8.0 / 32 / 40);
  gui->MouseMove(110, 118, {.L = true, .C = true});  // control acts like shift
  EXPECT_DOUBLE_EQ(knob->GetValue(), 0.5 + 8.0 / 32 / 4 - 16.0 / 32 / 40);
  gui->MouseMove(110, -2000, {.L = true});  // far beyond the top: clamped
  EXPECT_EQ(knob->GetValue(), 1.0);
  gui->MouseUp(110, -2000);
  EXPECT_DOUBLE_EQ(plug.GetParam(kParam)->Value(), 1.0);

  gui->Wheel(110, 110, -120);
  EXPECT_DOUBLE_EQ(knob->GetValue(), 0.99);
  gui->Wheel(110, 110, 240, {.S = true});
  EXPECT_DOUBLE_EQ(knob->GetValue(), 0.992);
  gui->Wheel(110, 110, 60);  // less than a notch does nothing
  EXPECT_DOUBLE_EQ(knob->GetValue(), 0.992);

  // The frame follows the value: 65 frames, value 0.5 shows frame 33.
  knob->SetValueFromHost(0.5);
  EXPECT_EQ(knob->FrameForValue(), 33);
}

TEST_F(StockControlsTest, FadersSnapToThePointerAndIgnoreRightClicks) {
  // Track 127 long, handle 27 high: 100 pixels of travel.
  auto* fader = Attach<IFaderControl>(&plug, 168, 39, 127, kParam, StripOf(handleImage.get(), 1));
  EXPECT_EQ(fader->GetRECT(), Rect(168, 39, 216, 166));

  // The handle's centre goes to the pointer: 77 is 24.5 pixels below the top of its travel.
  gui->Click(180, 77);
  EXPECT_NEAR(fader->GetValue(), 0.755, 1e-12);
  EXPECT_EQ(fader->GetHandleRECT(), Rect(168, 39 + 24, 216, 39 + 24 + 27));

  gui->Click(180, 150, {.R = true});
  EXPECT_NEAR(fader->GetValue(), 0.755, 1e-12);

  gui->MouseDown(180, 77, {.L = true});
  gui->MouseMove(180, 142, {.L = true});
  EXPECT_NEAR(fader->GetValue(), 0.105, 1e-12);
  gui->MouseMove(180, 500, {.L = true});
  EXPECT_EQ(fader->GetValue(), 0.0);
  gui->MouseUp(180, 500);

  gui->Wheel(180, 100, 120);
  EXPECT_DOUBLE_EQ(fader->GetValue(), 0.01);
}

TEST_F(StockControlsTest, AFaderThatTakesOnlyItsHandleIgnoresTheRestOfTheTrack) {
  auto* fader = Attach<IFaderControl>(&plug, 0, 0, 127, kParam, StripOf(handleImage.get(), 1),
                                      IKnobControl::kVertical, true);
  fader->SetValueFromHost(1.0);  // handle at the top
  EXPECT_TRUE(fader->HitTest(10, 5));
  EXPECT_FALSE(fader->HitTest(10, 100));
}

TEST_F(StockControlsTest, SwitchesStepThroughTheirFramesAndContactsSpringBack) {
  auto* toggle = Attach<ISwitchControl>(&plug, 0, 0, kParam, StripOf(switchImage.get(), 2));
  EXPECT_EQ(toggle->GetRECT(), Rect(0, 0, 4, 4));
  gui->Click(1, 1);
  EXPECT_EQ(toggle->GetValue(), 1.0);
  EXPECT_EQ(toggle->FrameForValue(), 2);
  gui->Click(1, 1);
  EXPECT_EQ(toggle->GetValue(), 0.0);
  gui->DoubleClick(1, 1);  // a double-click is one more click
  EXPECT_EQ(toggle->GetValue(), 1.0);

  auto* contact = Attach<IContactControl>(&plug, 10, 0, -1, StripOf(switchImage.get(), 2));
  gui->MouseDown(11, 1, {.L = true});
  EXPECT_EQ(contact->GetValue(), 1.0);
  gui->MouseUp(11, 1);
  EXPECT_EQ(contact->GetValue(), 0.0);
}

TEST_F(StockControlsTest, BitmapControlsDrawTheFrameOfTheirValue) {
  auto* bitmap = Attach<IBitmapControl>(&plug, 0, 0, kParam, StripOf(switchImage.get(), 2));
  bitmap->SetValueFromHost(0.6);
  gui->RedrawAll();
  EXPECT_EQ(LICE_GETR(LICE_GetPixel(&gui->Screen(), 0, 0)), 4);
  bitmap->SetValueFromHost(0.4);
  gui->Tick();
  EXPECT_EQ(LICE_GETR(LICE_GetPixel(&gui->Screen(), 0, 0)), 0);
}

TEST_F(StockControlsTest, TextControlsRedrawWhenTheirTextChanges) {
  auto* text = Attach<ITextControl>(&plug, Rect(0, 0, 200, 20), TextStyle(), "");
  Settle();
  text->SetTextFromPlug("");
  EXPECT_FALSE(gui->Tick());
  text->SetTextFromPlug("LEARN");
  EXPECT_TRUE(gui->Tick());
  EXPECT_EQ(gui->lastPresented, Rect(0, 0, 200, 20));
}

}  // namespace
}  // namespace editor_test
