#pragma once

#include <string>

#include "editor/IKnobControl.h"

class Rhythmoria;

// The tempo knob with its cap; while the pointer rests on it, the tempo that plays is shown in
// beats per minute (the host's while synchronised).
class IMVTempoControl : public IKnobMultiControl {
 public:
  IMVTempoControl(Rhythmoria* plug, int x, int y, const BitmapStrip& knob, const BitmapStrip& cap);

  void MouseOver(int x, int y, const MouseModifiers& mod) override;
  void MouseOut() override;
  bool Draw(IGraphics* graphics) override;

  bool IsHovering() const { return mHover; }
  const Rect& GetCapRECT() const { return mCapRECT; }
  const Rect& GetReadoutRECT() const { return mReadoutRECT; }
  // The readout's text as last drawn.
  const std::string& GetReadout() const { return mReadout; }

 private:
  Rhythmoria* mRhythmoria;
  BitmapStrip mCap;
  Rect mCapRECT;
  Rect mReadoutRECT;
  TextStyle mReadoutStyle;
  bool mHover = false;
  std::string mReadout;
};
