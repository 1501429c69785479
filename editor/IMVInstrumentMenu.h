#pragma once

#include "editor/IControl.h"

class Rhythmoria;

// The name area above a voice's column on the settings page: highlighted under the pointer, a
// click offers to reset the voice or only its note.
class IMVInstrumentMenu : public IControl {
 public:
  static constexpr int kFirstIdentifier = -155;

  IMVInstrumentMenu(Rhythmoria* plug, const Rect& rect, int voice);

  void MouseDown(int x, int y, const MouseModifiers& mod) override;
  void MouseOver(int x, int y, const MouseModifiers& mod) override;
  void MouseOut() override;
  bool Draw(IGraphics* graphics) override;

  bool IsHovering() const { return mHover; }

 private:
  Rhythmoria* mRhythmoria;
  int mVoice;
  bool mHover = false;
};
