#pragma once

#include "editor/IControl.h"

class EditorPages;
class Rhythmoria;

// A cell of the step grid (column >= 0) or a row's name (column -1). A plain click on a cell
// toggles the hit; any other click, and any click on a row name, opens the row's edit menu.
class IMVStepBeatControl : public IControl {
 public:
  static constexpr int kRowHeader = -1;

  IMVStepBeatControl(Rhythmoria* plug, EditorPages* pages, const Rect& rect, int row, int column);

  void MouseDown(int x, int y, const MouseModifiers& mod) override;
  void MouseOver(int x, int y, const MouseModifiers& mod) override;
  void MouseOut() override;
  bool Draw(IGraphics* graphics) override;

  bool IsHovering() const { return mHover; }
  int Row() const { return mRow; }
  int Column() const { return mColumn; }

  static const char* RowName(int row);

 private:
  void RowMenu(int x, int y);

  Rhythmoria* mRhythmoria;
  EditorPages* mPages;
  int mRow;
  int mColumn;
  bool mHover = false;
};
