#pragma once

#include <string>

#include "editor/IBitmapControl.h"

class EditorPages;
class Rhythmoria;

// A push button with a command: the start button, "PREV", "NEXT" and the two page buttons. It
// reacts to a click 8 pixels around its art too.
class IMVUtilityKick : public IContactControl {
 public:
  static constexpr int kStart = -150;
  static constexpr int kPrevious = -151;
  static constexpr int kNext = -152;
  static constexpr int kPageA = -153;
  static constexpr int kPageB = -154;

  IMVUtilityKick(Rhythmoria* plug, EditorPages* pages, int x, int y, int identifier,
                 const BitmapStrip& bitmap, const char* label = nullptr);

  void MouseDown(int x, int y, const MouseModifiers& mod) override;
  void MouseDoubleClick(int x, int y, const MouseModifiers& mod) override;
  bool Draw(IGraphics* graphics) override;

  void SetLabel(const char* label);
  const std::string& GetLabel() const { return mLabel; }
  int Identifier() const { return mIdentifier; }

 private:
  Rhythmoria* mRhythmoria;
  EditorPages* mPages;
  std::string mLabel;
  int mIdentifier;
  Rect mLabelRect;
};
