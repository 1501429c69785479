#pragma once

#include <string>

#include "editor/IBitmapControl.h"

class EditorPages;
class Rhythmoria;

// A labelled switch. Bound to a parameter ("Power", "Tempo Sync", "Rhythm Row") it is a plain
// switch; with a negative identifier it is the run/stop switch "PLAY" (kPlay) or the triplet
// switch of the sequence page (kTriplet).
class IMVSwitchControl : public ISwitchControl {
 public:
  static constexpr int kPlay = -150;
  static constexpr int kTriplet = -206;

  IMVSwitchControl(Rhythmoria* plug, EditorPages* pages, int x, int y, int paramOrId,
                   const BitmapStrip& bitmap, const char* label = "");

  void MouseDown(int x, int y, const MouseModifiers& mod) override;
  void MouseDoubleClick(int x, int y, const MouseModifiers& mod) override;
  bool Draw(IGraphics* graphics) override;

  int Identifier() const { return mIdentifier; }
  const std::string& GetLabel() const { return mLabel; }

 private:
  Rhythmoria* mRhythmoria;
  EditorPages* mPages;
  std::string mLabel;
  int mIdentifier;
  Rect mLabelRect;
  int mLabelSize;
};
