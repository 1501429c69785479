#pragma once

#include <memory>
#include <string>

#include "editor/IControl.h"
#include "editor/PopupMenu.h"

class Rhythmoria;

// The program number (two digits that open the program menu) and the program's name (a click
// renames it).
class IMVPresetMenu : public IControl {
 public:
  static constexpr int kNameLength = 253;
  static constexpr int kProgramsPerMenu = 16;

  IMVPresetMenu(Rhythmoria* plug, const Rect& digits, const Rect& name, const BitmapStrip& bitmap);

  void MouseDown(int x, int y, const MouseModifiers& mod) override;
  bool Draw(IGraphics* graphics) override;
  void TextEntered(const char* text) override;

  std::unique_ptr<PopupMenu> BuildProgramMenu(int current) const;
  const Rect& GetDigitsRECT() const { return mDigitsRECT; }
  const Rect& GetNameRECT() const { return mNameRECT; }
  const Rect& GetTensRECT() const { return mTensRECT; }
  const Rect& GetUnitsRECT() const { return mUnitsRECT; }
  const std::string& GetName() const { return mName; }

 private:
  Rhythmoria* mRhythmoria;
  BitmapStrip mDigits;
  Rect mDigitsRECT;
  Rect mTensRECT;
  Rect mUnitsRECT;
  Rect mNameRECT;
  std::string mName;
};
