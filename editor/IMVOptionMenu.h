#pragma once

#include <memory>
#include <string>

#include "editor/IControl.h"
#include "editor/PopupMenu.h"

class Rhythmoria;

// A button that opens a command menu: "OPTIONS" (programs, banks, settings, MIDI files, the
// update check) or "MIDI FILE" (import and export of the edited rhythm).
class IMVOptionMenu : public IControl {
 public:
  static constexpr int kOptions = -147;
  static constexpr int kMidiFile = -207;
  // The OPTIONS menu's command that opens the maker's home page here rather than in the handler.
  static constexpr int kVisitWebSite = 31;
  static constexpr const char* kWebDomain = "www.morvane-music.com";
  static constexpr const char* kHomePage = "https://www.morvane-music.com/";

  // With a bitmap the control has the size of one frame at (rect.L, rect.T).
  IMVOptionMenu(Rhythmoria* plug, const Rect& rect, int identifier, const BitmapStrip* bitmap,
                const char* label);

  void MouseDown(int x, int y, const MouseModifiers& mod) override;
  void MouseOver(int x, int y, const MouseModifiers& mod) override;
  void MouseOut() override;
  bool Draw(IGraphics* graphics) override;

  // The menu as a click would show it now.
  std::unique_ptr<PopupMenu> BuildMenu() const;
  // The command code of the item chosen from menu (the top menu or one of its sub-menus).
  int CommandFor(const PopupMenu& top, const PopupMenu* chosen) const;

 private:
  Rhythmoria* mRhythmoria;
  BitmapStrip mBitmap;
  bool mHasBitmap;
  std::string mLabel;
  Rect mLabelRect;
  bool mHover = false;
};
