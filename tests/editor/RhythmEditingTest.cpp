// The rhythm buttons and the sequence page's editing, driven through the headless window.
#include "editor/IMVBitmapControl.h"
#include "editor/IMVRhythmMenu.h"
#include "editor/IMVStepActiveControl.h"
#include "editor/IMVStepBeatControl.h"
#include "editor/IMVSwitchControl.h"
#include "engine/FactoryRhythms.h"
#include "tests/editor/EditorPagesFixture.h"

namespace editor_test {
namespace {

class RhythmEditingTest : public EditorPagesTest {
 protected:
  double Rhythm(int n) { return plug.GetParam(kRhythm1 + n - 1)->Value(); }
};

TEST_F(RhythmEditingTest, PlainClicksPlayOneRhythmAndModifiedClicksAddOne) {
  plug.Set(kRhythmRow, 1.0);
  gui().Click(at::RhythmX(2), at::kRhythmY);
  EXPECT_EQ(Rhythm(3), 1.0);
  EXPECT_EQ(plug.EditedSlot(), 2);
  gui().Click(at::RhythmX(4), at::kRhythmY);
  EXPECT_EQ(Rhythm(3), 0.0);
  EXPECT_EQ(Rhythm(5), 1.0);
  EXPECT_EQ(plug.EditedSlot(), 4);

  // Shift adds a rhythm and edits it; with the lower row it is the slot ten further on.
  plug.Set(kRhythmRow, 0.0);
  gui().Click(at::RhythmX(7), at::kRhythmY, MouseModifiers{.S = true});
  EXPECT_EQ(Rhythm(5), 1.0);
  EXPECT_EQ(Rhythm(8), 1.0);
  EXPECT_EQ(plug.EditedSlot(), 17);
  EXPECT_TRUE(plug.IsSlotSelected(14));
  EXPECT_TRUE(plug.IsSlotSelected(17));

  // A plain click on a lit button silences everything.
  gui().Click(at::RhythmX(7), at::kRhythmY);
  for (int n = 1; n <= 10; ++n) EXPECT_EQ(Rhythm(n), 0.0) << n;
  EXPECT_FALSE(plug.AnySelected());
}

TEST_F(RhythmEditingTest, OverlappingGridTargetsGoToTheLaterColumnAndRow) {
  ShowPage(EditorPages::kSequencePage);
  const int slot = plug.EditedSlot();
  const int before = Cell(slot, 1, 1);
  // x 95 lies in the targets of columns 0 and 1, y 70 in those of rows 0 and 1.
  gui().Click(95, 70);
  EXPECT_EQ(Cell(slot, 1, 1), 1 - before);
  EXPECT_EQ(pages().gridCells[1][1]->GetValue(), 1.0 - before);

  // The last row's target reaches below the grid; its bottom pixels toggle without hovering
  // (away from PREV, NEXT and the page buttons, whose targets reach 8 pixels above the bar).
  const int last = kNumInstruments - 1;
  const int c = 20;
  const int hit = Cell(slot, last, c);
  gui().MouseMove(at::CellX(c), 365);
  EXPECT_FALSE(pages().gridCells[last][c]->IsHovering());
  gui().Click(at::CellX(c), 365);
  EXPECT_EQ(Cell(slot, last, c), 1 - hit);
  gui().MouseMove(at::CellX(c), at::CellY(last));
  EXPECT_TRUE(pages().gridCells[last][c]->IsHovering());
}

TEST_F(RhythmEditingTest, ClearAllAsksFirstAndRowMenuEditsTheEditedSlot) {
  ShowPage(EditorPages::kSequencePage);
  const int slot = plug.EditedSlot();
  auto count = [&] {
    int n = 0;
    for (int r = 0; r < kNumInstruments; ++r)
      for (int s = 0; s < kNumSteps; ++s) n += Cell(slot, r, s);
    return n;
  };
  ASSERT_GT(count(), 0);
  gui().popupAnswers = {4};
  gui().messageBoxAnswers = {7};  // "No"
  gui().Click(40, at::CellY(2));
  EXPECT_GT(count(), 0);
  ASSERT_EQ(gui().messageBoxesShown.size(), 1u);
  EXPECT_EQ(gui().messageBoxesShown[0].text, "Do you really want to clear all events?");
  EXPECT_EQ(gui().messageBoxesShown[0].caption, "Clear All Events");
  ASSERT_FALSE(gui().menusShown.empty());
  EXPECT_EQ(gui().menusShown[0].labels[0], "Snare 2");

  // "Clear column" cannot be chosen from a row header.
  gui().popupAnswers = {3};
  gui().Click(40, at::CellY(2));
  EXPECT_GT(count(), 0);

  // "Fill..." > "Fill 1/4" on row 6 from a cell (right button): every eighth step.
  gui().popupAnswers = {8 + 1};
  gui().Click(at::CellX(5), at::CellY(6), MouseModifiers{.R = true});
  for (int s = 0; s < kNumSteps; s += 8) EXPECT_EQ(Cell(slot, 6, s), 1) << s;
  EXPECT_EQ(pages().gridCells[6][8]->GetValue(), 1.0);

  gui().popupAnswers = {4};
  gui().messageBoxAnswers = {IGraphics::kMessageBoxYes};
  gui().Click(40, at::CellY(2));
  EXPECT_EQ(count(), 0);
}

TEST_F(RhythmEditingTest, CopyMenuGreysTheCurrentSlotAndRestoreBringsTheFactoryBack) {
  ShowPage(EditorPages::kSequencePage);
  gui().popupAnswers = {0};
  gui().Click(40, 13);
  ASSERT_EQ(plug.EditedSlot(), 0);
  EXPECT_EQ(pages().slotSelector->GetLabel(), FactoryRhythms::Name(0));

  gui().popupAnswers = {0};  // "Copy from" the slot itself: greyed
  gui().Click(40, 13, MouseModifiers{.R = true});
  EXPECT_FALSE(plug.IsRhythmModified(0));
  ASSERT_EQ(gui().menusShown.back().labels.size(), 20u);
  EXPECT_EQ(gui().menusShown.back().labels[3], std::string("Copy from ") + FactoryRhythms::Name(3));

  gui().popupAnswers = {3};
  gui().Click(40, 13, MouseModifiers{.A = true});
  EXPECT_TRUE(plug.IsRhythmModified(0));
  EXPECT_EQ(pages().slotSelector->GetLabel(), "USER 1");
  EXPECT_EQ(Cell(0, 8, 5), plug.GetRhythmBank().grid[3][8][5]);

  gui().popupAnswers = {21};
  gui().Click(40, 13, MouseModifiers{.S = true});
  ASSERT_EQ(gui().menusShown.back().labels.size(), 22u);
  EXPECT_EQ(gui().menusShown.back().labels[21], "Restore original rhythm");
  EXPECT_FALSE(plug.IsRhythmModified(0));
  EXPECT_EQ(pages().slotSelector->GetLabel(), FactoryRhythms::Name(0));
}

TEST_F(RhythmEditingTest, UserLabelsShowModifiedSlotsOnTheMainPage) {
  ShowPage(EditorPages::kSequencePage);
  gui().popupAnswers = {11};
  gui().Click(40, 13);
  gui().Click(at::CellX(0), at::CellY(0));
  ShowPage(EditorPages::kMainPage);
  EXPECT_FALSE(pages().userLabels[11]->IsHidden());
  EXPECT_EQ(pages().userLabels[11]->GetLabel(), "USER 12");
  EXPECT_TRUE(pages().userLabels[0]->IsHidden());
}

TEST_F(RhythmEditingTest, TemplatesTripletsAndStepCells) {
  ShowPage(EditorPages::kSequencePage);
  const int slot = plug.EditedSlot();
  const auto& bank = plug.GetRhythmBank();
  // A step deactivated by hand, then "Deactivate steps 33 to 64" keeps it.
  gui().Click(at::CellX(4), 35);
  EXPECT_EQ(bank.active[slot][4], 0);
  EXPECT_EQ(pages().stepCells[4]->GetValue(), 1.0);
  gui().popupAnswers = {1};
  gui().Click(674, 15);
  EXPECT_EQ(bank.active[slot][4], 0);
  EXPECT_EQ(bank.active[slot][40], 0);
  EXPECT_EQ(bank.active[slot][5], 1);

  gui().popupAnswers = {5};
  gui().Click(at::CellX(9), 35, MouseModifiers{.C = true});
  EXPECT_EQ(bank.triplet[slot], 1);
  EXPECT_EQ(pages().tripletSwitch->GetValue(), 1.0);
  gui().popupAnswers = {2};
  gui().Click(674, 15);
  EXPECT_EQ(bank.triplet[slot], 1);
  EXPECT_EQ(bank.active[slot][12], 0);
  EXPECT_EQ(bank.active[slot][11], 1);

  gui().Click(105, 15);
  EXPECT_EQ(bank.triplet[slot], 0);
  gui().Click(105, 15);
  EXPECT_EQ(bank.triplet[slot], 1);
}

TEST_F(RhythmEditingTest, StepMarkerFollowsTheSequencerOnTheSequencePage) {
  plug.Start();
  plug.Set(kRhythmRow, 1.0);
  gui().Click(at::RhythmX(0), at::kRhythmY);
  ShowPage(EditorPages::kSequencePage);
  gui().Click(at::kPlayX, at::kBarY);
  for (int i = 0; i < 6; ++i) plug.RenderBlock(512);
  Idle();
  const int step = plug.GetSequencer().step;
  ASSERT_GE(step, 1);
  EXPECT_TRUE(pages().stepCells[step - 1]->MarkerShown());
  EXPECT_FALSE(pages().stepCells[step % kNumSteps]->MarkerShown());
}

}  // namespace
}  // namespace editor_test
