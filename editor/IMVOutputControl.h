#pragma once

#include <memory>
#include <string>

#include "editor/IControl.h"
#include "editor/PopupMenu.h"

class Rhythmoria;

// Where a voice goes: the sum output, one of the seven extra outputs, both or neither.
class IMVOutputControl : public IControl {
 public:
  static constexpr int kFirstIdentifier = -170;

  IMVOutputControl(Rhythmoria* plug, int x, int y, int voice, const BitmapStrip& bitmap);

  void MouseDown(int x, int y, const MouseModifiers& mod) override;
  bool Draw(IGraphics* graphics) override;

  // "S+3", "3", "Sum" or "off".
  static std::string RoutingText(bool toSum, int extraOutput);
  std::unique_ptr<PopupMenu> BuildMenu(bool toSum, int extraOutput) const;

 private:
  Rhythmoria* mRhythmoria;
  BitmapStrip mBitmap;
  int mVoice;
  Rect mLabelRect;
};
