#include "editor/IMVInstrumentMenu.h"

#include "editor/IGraphics.h"
#include "editor/PopupMenu.h"
#include "engine/Rhythmoria.h"

IMVInstrumentMenu::IMVInstrumentMenu(Rhythmoria* plug, const Rect& rect, int voice)
    : IControl(plug, rect, kFirstIdentifier - voice), mRhythmoria(plug), mVoice(voice) {}

void IMVInstrumentMenu::MouseOver(int /*x*/, int /*y*/, const MouseModifiers& /*mod*/) {
  mHover = true;
  MarkDirty(false);
}

void IMVInstrumentMenu::MouseOut() {
  mHover = false;
  MarkDirty(false);
}

bool IMVInstrumentMenu::Draw(IGraphics* graphics) {
  if (!mHover) return true;
  return graphics->FillRect(Color(64, 255, 128, 0), mRECT, &mBlend);
}

void IMVInstrumentMenu::MouseDown(int /*x*/, int /*y*/, const MouseModifiers& /*mod*/) {
  IGraphics* gui = mRhythmoria->GetGUI();
  if (!gui) return;
  PopupMenu menu;
  menu.AddItem("Reset Instrument");
  menu.AddItem("Reset Note Assignment");
  const PopupMenu* chosen = gui->ShowPopupMenu(&menu, mRECT);
  if (chosen != &menu || chosen->GetChosenItemIdx() < 0) return;
  mRhythmoria->ResetInstrument(mVoice, chosen->GetChosenItemIdx() == 1);
  gui->SetAllControlsDirty();
}
