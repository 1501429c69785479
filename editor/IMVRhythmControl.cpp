#include "editor/IMVRhythmControl.h"

#include "editor/EditorPages.h"
#include "editor/IGraphics.h"
#include "editor/IMVLabel.h"
#include "engine/ParameterIndex.h"
#include "engine/Rhythmoria.h"

IMVRhythmControl::IMVRhythmControl(Rhythmoria* plug, EditorPages* pages, int x, int y, int number,
                                   const BitmapStrip& bitmap)
    : ISwitchControl(plug, x, y, kRhythm1 + number - 1, bitmap),
      mRhythmoria(plug),
      mPages(pages),
      mNumber(number) {}

void IMVRhythmControl::MouseDown(int /*x*/, int /*y*/, const MouseModifiers& mod) {
  IGraphics* gui = mRhythmoria->GetGUI();
  bool editedChanged = false;
  {
    // One step for the audio thread: it never plays a selection that is half changed.
    IPlugBase::ScopedLock lock(mRhythmoria->GetMutex());
    auto set = [&](int paramIdx, double value) {
      mRhythmoria->SetParamFromEditor(paramIdx, value);
      if (gui) gui->SetControlsFromParameter(paramIdx, value, true);
    };
    const bool rowAbove = mRhythmoria->GetParam(kRhythmRow)->GetNormalizedValue() >= 0.5;
    const int slot = rowAbove ? mNumber - 1 : mNumber + 9;
    const bool wasOn = mRhythmoria->GetParam(mParamIdx)->GetNormalizedValue() >= 0.5;
    const bool turnOn = !wasOn;
    if (!imv::Modified(mod)) {
      for (int i = 0; i < kNumRhythmButtons; ++i) {
        if (kRhythm1 + i != mParamIdx) set(kRhythm1 + i, 0.0);
      }
    }
    set(mParamIdx, turnOn ? 1.0 : 0.0);
    mValue = turnOn ? 1.0 : 0.0;
    MarkDirty(false);
    if (turnOn && mRhythmoria->EditedSlot() != slot) {
      mRhythmoria->SetEditedSlot(slot);
      editedChanged = true;
    }
    mRhythmoria->RebuildRhythm();
  }
  if (editedChanged) mPages->RefreshNow();
}

void IMVRhythmControl::MouseDoubleClick(int x, int y, const MouseModifiers& mod) {
  MouseDown(x, y, mod);
}
