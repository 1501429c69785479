#include "editor/IMVSwitchMidiLearn.h"

#include "editor/IGraphics.h"
#include "editor/IMVLabel.h"
#include "engine/Rhythmoria.h"

IMVSwitchMidiLearn::IMVSwitchMidiLearn(Rhythmoria* plug, int x, int y, const BitmapStrip& bitmap)
    : ISwitchControl(plug, x, y, kIdentifier, bitmap),
      mRhythmoria(plug),
      mLabelRect(imv::LabelRect(mRECT, 11)) {}

void IMVSwitchMidiLearn::MouseDown(int /*x*/, int /*y*/, const MouseModifiers& mod) {
  if (mod.R) {
    // The mode of an armed learn cannot change under it.
    if (mValue < 0.5) {
      mLearnMode = !mLearnMode;
      MarkDirty(false);
    }
    return;
  }
  mValue = mValue < 0.5 ? 1.0 : 0.0;
  MarkDirty(false);
  mRhythmoria->ArmLearn(mValue > 0.0, !mLearnMode);
}

void IMVSwitchMidiLearn::MouseDoubleClick(int x, int y, const MouseModifiers& mod) {
  MouseDown(x, y, mod);
}

void IMVSwitchMidiLearn::ShowDisarmed() {
  if (mValue == 0.0) return;
  mValue = 0.0;
  MarkDirty(false);
}

bool IMVSwitchMidiLearn::Draw(IGraphics* graphics) {
  const bool on = mValue >= 0.5;
  const bool ok = graphics->DrawBitmapFrame(mBitmap, mRECT, on ? 2 : 1, &mBlend);
  graphics->DrawText(imv::LabelStyle(14, on), mLearnMode ? "LEARN" : "UNLRN", mLabelRect);
  return ok;
}
