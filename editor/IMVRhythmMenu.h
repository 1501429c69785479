#pragma once

#include <memory>
#include <string>

#include "editor/IControl.h"
#include "editor/PopupMenu.h"

class EditorPages;
class Rhythmoria;

// The sequence page's rhythm slot selector: a left click picks the edited slot, any other click
// offers to copy another slot into it or restore its factory rhythm.
class IMVRhythmMenu : public IControl {
 public:
  static constexpr int kIdentifier = -205;

  IMVRhythmMenu(Rhythmoria* plug, EditorPages* pages, const Rect& rect);

  void MouseDown(int x, int y, const MouseModifiers& mod) override;
  bool Draw(IGraphics* graphics) override;

  void SetSlot(int slot, const std::string& name);
  int Slot() const { return mSlot; }
  const std::string& GetLabel() const { return mLabel; }

 private:
  Rhythmoria* mRhythmoria;
  EditorPages* mPages;
  int mSlot = 0;
  std::string mLabel;
  Rect mLabelRect;
};
