#pragma once

#include "editor/IBitmapControl.h"

class Rhythmoria;

// The MIDI learn switch. A left click arms (or disarms) learning; a right click while disarmed
// toggles between learning ("LEARN") and unlearning ("UNLRN") a controller.
class IMVSwitchMidiLearn : public ISwitchControl {
 public:
  static constexpr int kIdentifier = -148;

  IMVSwitchMidiLearn(Rhythmoria* plug, int x, int y, const BitmapStrip& bitmap);

  void MouseDown(int x, int y, const MouseModifiers& mod) override;
  void MouseDoubleClick(int x, int y, const MouseModifiers& mod) override;
  bool Draw(IGraphics* graphics) override;

  bool LearnMode() const { return mLearnMode; }
  // The learn completed or was abandoned elsewhere.
  void ShowDisarmed();

 private:
  Rhythmoria* mRhythmoria;
  Rect mLabelRect;
  bool mLearnMode = true;
};
