#include "editor/IMVStepActiveControl.h"

#include "editor/EditorPages.h"
#include "editor/IGraphics.h"
#include "editor/IMVLabel.h"
#include "editor/PopupMenu.h"
#include "engine/Rhythmoria.h"

namespace {
constexpr int kHoverBand = 16;
constexpr int kMenuOffset = 16;
constexpr int kHeaderTopOffset = 4;
const char* const kTemplates[kNumRhythmTemplates] = {
    "Activate all steps", "Deactivate steps 33 to 64", "Template for 3/4",
    "Template for 6/8",   "Template for 7/8",          "Template for Triplets"};
}  // namespace

IMVStepActiveControl::IMVStepActiveControl(Rhythmoria* plug, EditorPages* pages, const Rect& rect,
                                           int step)
    : IControl(plug, step < 0 ? Rect(rect.L, rect.T + kHeaderTopOffset, rect.R, rect.B) : rect),
      mRhythmoria(plug),
      mPages(pages),
      mStep(step),
      mMarkerRECT(rect.L, rect.T, rect.R, rect.T + kHoverBand) {
  if (step < 0) mText = TextStyle("Arial", 14, Color(152, 30, 30, 30));
}

void IMVStepActiveControl::MouseOver(int /*x*/, int y, const MouseModifiers& /*mod*/) {
  mHover = y < mRECT.T + kHoverBand;
  MarkDirty(false);
}

void IMVStepActiveControl::MouseOut() {
  mHover = false;
  MarkDirty(false);
}

bool IMVStepActiveControl::Draw(IGraphics* graphics) {
  if (mStep < 0) return graphics->DrawText(mText, "STEPS", mRECT);
  if (mHover) {
    graphics->FillRect(Color(64, 192, 64, 64), mRECT, &mBlend);
  } else if (mValue >= 0.5) {
    graphics->FillRect(Color(192, 192, 64, 64), mRECT, &mBlend);
  }
  mMarkerShown =
      mPages->Running() && mPages->EditedSlotPlaying() && mPages->StepCounter() == mStep + 1;
  if (mMarkerShown) graphics->FillRect(Color(192, 64, 192, 64), mMarkerRECT, &mBlend);
  return true;
}

void IMVStepActiveControl::MouseDown(int x, int y, const MouseModifiers& mod) {
  if (mStep < 0 || imv::ModifiedOrAlt(mod)) {
    TemplateMenu(x, y);
    return;
  }
  mValue += 1.0;
  if (mValue > 1.001) mValue = 0.0;
  MarkDirty(true);
  const bool active = mValue < 0.5;
  const int step = mStep;
  Rhythmoria& plug = *mRhythmoria;
  plug.EditRhythms([&plug, step, active](RhythmBank& bank) {
    bank.active[plug.EditedSlot()][step] = active ? 1 : 0;
  });
  mPages->RefreshNow();
}

void IMVStepActiveControl::TemplateMenu(int x, int y) {
  IGraphics* gui = mRhythmoria->GetGUI();
  if (!gui) return;
  PopupMenu menu;
  for (const char* text : kTemplates) menu.AddItem(text);
  const Rect at(x + kMenuOffset, y + kMenuOffset, x + kMenuOffset, y + kMenuOffset);
  const PopupMenu* chosen = gui->ShowPopupMenu(&menu, at);
  if (chosen != &menu || chosen->GetChosenItemIdx() < 0) return;
  mRhythmoria->SetActiveSteps(chosen->GetChosenItemIdx());
  mPages->RefreshNow();
}
