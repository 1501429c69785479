#pragma once

#include "editor/IControl.h"

class EditorPages;
class Rhythmoria;

// A step's activation (value 1 = the step is skipped), with the marker of the playing step
// above it; step -1 is the "STEPS" header. A plain click toggles the step; any other click,
// and any click on the header, opens the template menu.
class IMVStepActiveControl : public IControl {
 public:
  static constexpr int kHeader = -1;

  IMVStepActiveControl(Rhythmoria* plug, EditorPages* pages, const Rect& rect, int step);

  void MouseDown(int x, int y, const MouseModifiers& mod) override;
  void MouseOver(int x, int y, const MouseModifiers& mod) override;
  void MouseOut() override;
  bool Draw(IGraphics* graphics) override;

  bool IsHovering() const { return mHover; }
  int Step() const { return mStep; }
  const Rect& GetMarkerRECT() const { return mMarkerRECT; }
  // Whether the last drawing showed the playing-step marker.
  bool MarkerShown() const { return mMarkerShown; }

 private:
  void TemplateMenu(int x, int y);

  Rhythmoria* mRhythmoria;
  EditorPages* mPages;
  int mStep;
  Rect mMarkerRECT;
  bool mHover = false;
  bool mMarkerShown = false;
};
