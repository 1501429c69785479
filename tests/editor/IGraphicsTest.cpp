#include "editor/IGraphics.h"

#include <gtest/gtest.h>

#include <cmath>

#include "editor/IBitmapControl.h"
#include "editor/IKnobControl.h"
#include "tests/editor/EditorFixture.h"

namespace editor_test {
namespace {

constexpr int kUnitParam = 0;    // 0..1
constexpr int kShapedParam = 2;  // 1..100, shape 2
constexpr int kIntParam = 3;     // integer 0..10

TEST_F(EditorTest, HostValuesReachEveryBoundControlOnTheNextTick) {
  ProbeControl* a = Probe(Rect(0, 0, 10, 10), kUnitParam);
  ProbeControl* b = Probe(Rect(20, 0, 30, 10), kUnitParam);
  ProbeControl* other = Probe(Rect(40, 0, 50, 10), kIntParam);

  gui->SetControlsFromParameter(kUnitParam, 0.25, true);
  // The caller may be the audio thread: nothing reaches a control until the editor's tick.
  EXPECT_EQ(a->GetValue(), 0.0);
  gui->Tick();
  EXPECT_EQ(a->GetValue(), 0.25);
  EXPECT_EQ(b->GetValue(), 0.25);
  EXPECT_EQ(other->GetValue(), 0.0);

  // A drag on one control (an edit pushed to the plug-in) shows in the other on the next tick.
  a->SetValueFromUser(0.75);
  EXPECT_DOUBLE_EQ(plug.GetParam(kUnitParam)->Value(), 0.75);
  ASSERT_EQ(plug.reported.size(), 1u);
  EXPECT_EQ(b->GetValue(), 0.25);
  gui->Tick();
  EXPECT_EQ(b->GetValue(), 0.75);
}

TEST_F(EditorTest, PlainValuesAreNormalisedWithTheParametersShape) {
  ProbeControl* shaped = Probe(Rect(0, 0, 10, 10), kShapedParam);
  gui->SetControlsFromParameter(kShapedParam, 50.5, false);
  gui->Tick();
  EXPECT_NEAR(shaped->GetValue(), std::sqrt(0.5), 1e-12);
  // Outside the range the value is clamped before it is shaped.
  gui->SetControlsFromParameter(kShapedParam, 1000.0, false);
  gui->Tick();
  EXPECT_DOUBLE_EQ(shaped->GetValue(), 1.0);
  // Out-of-range indices are ignored.
  gui->SetControlsFromParameter(-1, 0.5, true);
  gui->SetControlsFromParameter(plug.NParams(), 0.5, false);
  gui->Tick();
}

TEST_F(EditorTest, TheFirstHostValueBecomesTheDefaultThatDoubleClickRestores) {
  ProbeControl* c = Probe(Rect(0, 0, 10, 10), kUnitParam);
  gui->SetControlsFromParameter(kUnitParam, 0.3, true);
  gui->SetControlsFromParameter(kShapedParam, 0.9, true);
  gui->Tick();
  gui->SetControlsFromParameter(kUnitParam, 0.6, true);
  gui->Tick();
  EXPECT_EQ(c->GetValue(), 0.6);
  EXPECT_EQ(c->GetDefaultValue(), 0.3);
  gui->DoubleClick(5, 5);
  EXPECT_EQ(c->GetValue(), 0.3);
  EXPECT_DOUBLE_EQ(plug.GetParam(kUnitParam)->Value(), 0.3);
}

TEST_F(EditorTest, ValuesAreClampedWhenMarkedDirty) {
  ProbeControl* c = Probe(Rect(0, 0, 10, 10), kUnitParam);
  c->SetClamp(0.2, 0.8);
  c->SetValueFromUser(0.95);
  EXPECT_EQ(c->GetValue(), 0.8);
  EXPECT_DOUBLE_EQ(plug.GetParam(kUnitParam)->Value(), 0.8);
  // The first host value is taken as it is; the clamp applies when the control is marked dirty.
  c->SetValueFromHost(0.1);
  EXPECT_EQ(c->GetValue(), 0.1);
  c->MarkDirty(false);
  EXPECT_EQ(c->GetValue(), 0.2);
}

TEST_F(EditorTest, ClicksGoToTheTopmostVisibleEnabledControl) {
  ProbeControl* below = Probe(Rect(0, 0, 20, 20));
  ProbeControl* above = Probe(Rect(10, 10, 30, 30));
  gui->Click(15, 15);
  EXPECT_EQ(above->downs, 1);
  EXPECT_EQ(below->downs, 0);

  // Hidden: keeps its value, takes no events; shown again it is redrawn.
  above->SetValueFromHost(0.4);
  above->SetHidden(true);
  gui->Click(15, 15);
  EXPECT_EQ(below->downs, 1);
  EXPECT_EQ(above->downs, 1);
  Settle();
  above->SetHidden(false);
  EXPECT_EQ(above->GetValue(), 0.4);
  EXPECT_TRUE(gui->Tick());
  EXPECT_EQ(gui->lastPresented, Rect(10, 10, 30, 30));

  // Grayed: skipped by clicks, and by hovering unless it asks for mouse-over when grayed.
  gui->SetHandleMouseOver(true);
  above->SetGrayed(true);
  gui->Click(15, 15);
  EXPECT_EQ(below->downs, 2);
  gui->MouseMove(16, 16);
  EXPECT_EQ(above->overs, 0);
  EXPECT_EQ(below->overs, 1);
  above->SetMouseOverWhenGrayed(true);
  gui->MouseMove(17, 17);
  EXPECT_EQ(above->overs, 1);
  EXPECT_EQ(below->outs, 1);
  gui->Leave();
  EXPECT_EQ(gui->GetMouseOver(), -1);
}

TEST_F(EditorTest, GrayedControlsDrawAtAQuarterWeight) {
  Attach<ProbeControl>(&plug, Rect(0, 0, 4, 4), -1, Color(255, 0, 0, 0));
  ProbeControl* c = Probe(Rect(0, 0, 4, 4));
  c->SetGrayed(true);
  gui->RedrawAll();
  // White at weight 0.25 over opaque black.
  const int red = LICE_GETR(LICE_GetPixel(&gui->Screen(), 1, 1));
  EXPECT_NEAR(red, 64, 1);
  c->SetGrayed(false);
  gui->RedrawAll();
  EXPECT_EQ(LICE_GETR(LICE_GetPixel(&gui->Screen(), 1, 1)), 255);
}

TEST_F(EditorTest, TheCapturedControlGetsDragsAndTheGestureIsReported) {
  ProbeControl* c = Probe(Rect(0, 0, 10, 10), kIntParam);
  gui->MouseDown(5, 5, {.L = true});
  gui->MouseMove(5, 5);   // no movement, no drag
  gui->MouseMove(50, 2);  // far outside: still the captured control's
  gui->MouseMove(48, 7);
  gui->MouseUp(48, 7);
  ASSERT_EQ(c->drags.size(), 2u);
  EXPECT_EQ(c->drags[0], std::make_pair(45, -3));
  EXPECT_EQ(c->drags[1], std::make_pair(-2, 5));
  EXPECT_EQ(c->ups, 1);
  const std::vector<std::pair<int, bool>> gesture = {{kIntParam, true}, {kIntParam, false}};
  EXPECT_EQ(plug.gestures, gesture);
  EXPECT_EQ(gui->GetMouseCapture(), -1);
}

TEST_F(EditorTest, KeysGoToTheControlUnderThePointerElseToTheKeyCatcher) {
  gui->AttachControl(std::make_unique<ProbeControl>(&plug, Rect(0, 0, 100, 100)));
  ProbeControl* knob = Probe(Rect(10, 10, 20, 20));
  auto catcher = std::make_unique<ProbeControl>(&plug, Rect());
  ProbeControl* catcherRaw = catcher.get();
  EXPECT_FALSE(gui->Key(50, 50, IGraphics::kKeySpace));
  gui->SetKeyCatcher(std::move(catcher));
  EXPECT_TRUE(gui->Key(15, 15, IGraphics::kKeyUp));
  EXPECT_TRUE(gui->Key(50, 50, IGraphics::kKeyLetterA));
  EXPECT_EQ(knob->keys, std::vector<int>{IGraphics::kKeyUp});
  EXPECT_EQ(catcherRaw->keys, std::vector<int>{IGraphics::kKeyLetterA});
}

TEST_F(EditorTest, OnlyDirtyAreasAreRedrawnAndIdleTicksCallHostIdle) {
  ProbeControl* a = Probe(Rect(0, 0, 10, 10));
  ProbeControl* b = Probe(Rect(100, 100, 110, 120));
  Settle();
  a->draws = b->draws = 0;
  b->MarkDirty(false);
  EXPECT_TRUE(gui->Tick());
  EXPECT_EQ(gui->lastPresented, Rect(100, 100, 110, 120));
  EXPECT_EQ(a->draws, 0);
  EXPECT_EQ(b->draws, 1);

  // Twenty clean ticks are quiet; the twenty-first calls HostIdle and the count restarts.
  gui->Ticks(20);
  EXPECT_EQ(plug.hostIdles, 0);
  gui->Tick();
  EXPECT_EQ(plug.hostIdles, 1);
  gui->Ticks(20);
  EXPECT_EQ(plug.hostIdles, 1);
  a->MarkDirty(false);
  gui->Ticks(21);  // the dirty tick starts the count again
  EXPECT_EQ(plug.hostIdles, 1);
  gui->Tick();
  EXPECT_EQ(plug.hostIdles, 2);
}

TEST_F(EditorTest, ResizeEmptiesTheListAndTellsThePlugIn) {
  Probe(Rect(0, 0, 10, 10));
  gui->Resize(640, 480);
  EXPECT_EQ(gui->NControls(), 0);
  EXPECT_EQ(plug.resized.back(), std::make_pair(640, 480));
  gui->AttachBackground(101, "back.png");
  ASSERT_EQ(gui->NControls(), 1);
  EXPECT_EQ(gui->GetControl(0)->GetRECT(), Rect(0, 0, 800, 409));
  // No such resource, or not a PNG: a background of no size that draws nothing.
  gui->AttachBackground(4242, "missing.png");
  EXPECT_EQ(gui->GetControl(0)->GetRECT(), Rect());
  gui->AttachBackground(4243, "back.bmp");
  EXPECT_EQ(gui->GetControl(0)->GetRECT(), Rect());
  gui->RedrawAll();
}

TEST_F(EditorTest, CommittedTextIsReadForTheParameterOrHandedToTheControl) {
  ProbeControl* c = Probe(Rect(0, 0, 10, 10), kShapedParam);
  IParameter* shaped = plug.GetParam(kShapedParam);
  gui->textAnswers = {std::string("50.5"), std::nullopt, std::string("abc")};
  gui->ShowTextEntry(c, c->GetTextStyle(), c->GetRECT(), "10", shaped);
  EXPECT_NEAR(c->GetValue(), std::sqrt(0.5), 1e-12);
  gui->ShowTextEntry(c, c->GetTextStyle(), c->GetRECT(), "", shaped);  // cancelled
  EXPECT_NEAR(c->GetValue(), std::sqrt(0.5), 1e-12);
  gui->ShowTextEntry(c, c->GetTextStyle(), c->GetRECT(), "", shaped);  // no number: 0, clamped
  EXPECT_EQ(c->GetValue(), 0.0);

  IParameter* choice = plug.GetParam(kIntParam);
  choice->SetType(ParamTypeEnum);
  choice->AddDisplayText(4, "four");
  gui->CommitTextEntry(c, choice, "four");
  EXPECT_DOUBLE_EQ(c->GetValue(), 0.4);
  gui->CommitTextEntry(c, choice, "five");
  EXPECT_EQ(c->GetValue(), 0.0);

  // Without a parameter the control gets the text, at most 31 characters of it.
  gui->CommitTextEntry(c, nullptr, "0123456789012345678901234567890123456789");
  EXPECT_EQ(c->entered, "0123456789012345678901234567890");
}

TEST(DrawBitmapFrame, PicksTheFrameWithRoundedOffsets) {
  EditorPlug plug;
  IGraphicsHeadless gui(&plug, 4, 4);
  const auto rows = RowNumberedBitmap(1, 10);
  auto sourceRow = [&](int frames, int n) {
    gui.DrawDirty(Rect(0, 0, 4, 4));
    gui.DrawBitmapFrame(StripOf(rows.get(), frames), Rect(0, 0, 1, 1), n);
    return LICE_GETR(LICE_GetPixel(gui.GetDrawBitmap(), 0, 0));
  };
  // Three frames of 10 / 3 rows: offsets int(0.5 + 3.33) = 3 and int(0.5 + 6.67) = 7.
  EXPECT_EQ(sourceRow(3, 1), 0);
  EXPECT_EQ(sourceRow(3, 2), 3);
  EXPECT_EQ(sourceRow(3, 3), 7);
  // Frame numbers below 1 show the first frame; one frame is always the whole image.
  EXPECT_EQ(sourceRow(3, 0), 0);
  EXPECT_EQ(sourceRow(1, 5), 0);
  // Two frames of 5 rows.
  EXPECT_EQ(sourceRow(2, 2), 5);
}

TEST(DrawBitmapFrame, NeverShowsMoreThanOneFrameAndClipsToTheDirtyArea) {
  EditorPlug plug;
  IGraphicsHeadless gui(&plug, 8, 8);
  const auto rows = RowNumberedBitmap(1, 8);
  gui.DrawDirty(Rect(0, 0, 8, 8));
  // A destination taller than a frame: the rows below the frame stay untouched.
  gui.DrawBitmapFrame(StripOf(rows.get(), 2), Rect(0, 0, 1, 8), 2);
  EXPECT_EQ(LICE_GetPixel(gui.GetDrawBitmap(), 0, 0), LICE_RGBA(4, 0, 0, 255));
  EXPECT_EQ(LICE_GetPixel(gui.GetDrawBitmap(), 0, 3), LICE_RGBA(7, 0, 0, 255));
  EXPECT_EQ(LICE_GetPixel(gui.GetDrawBitmap(), 0, 4), 0u);
  // Only the part inside the area being redrawn is drawn, from the matching source rows.
  gui.DrawDirty(Rect(0, 2, 8, 3));
  LICE_Clear(gui.GetDrawBitmap(), 0);
  gui.BlitBitmap(StripOf(rows.get(), 1), Rect(0, 0, 1, 8), 0, 0);
  EXPECT_EQ(LICE_GetPixel(gui.GetDrawBitmap(), 0, 1), 0u);
  EXPECT_EQ(LICE_GetPixel(gui.GetDrawBitmap(), 0, 2), LICE_RGBA(2, 0, 0, 255));
  EXPECT_EQ(LICE_GetPixel(gui.GetDrawBitmap(), 0, 3), 0u);
}

}  // namespace
}  // namespace editor_test
