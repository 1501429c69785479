#pragma once

#include <memory>
#include <string>

#include "editor/IControl.h"
#include "editor/PopupMenu.h"

class Rhythmoria;

// A voice's MIDI note: shows its name, plays the voice while held, and with the right button,
// shift or control offers the note menu (and the octave naming of middle C). Its lamp lights
// while the voice sounds.
class IMVKeyControl : public IControl {
 public:
  IMVKeyControl(Rhythmoria* plug, int x, int y, int paramIdx, const BitmapStrip& bitmap);

  void MouseDown(int x, int y, const MouseModifiers& mod) override;
  void MouseUp(int x, int y, const MouseModifiers& mod) override;
  bool Draw(IGraphics* graphics) override;

  // The note the parameter holds, -1 for none.
  int Note() const;
  // "C3", "F#4", "Off" for notes outside 0..127, with middle C named by the setting.
  static std::string NoteName(int note, int middleC);
  std::string NoteText() const;
  std::unique_ptr<PopupMenu> BuildNoteMenu() const;

  bool Lamp() const { return mLamp; }
  void SetLamp(bool on);

 private:
  void ChooseFromMenu(const PopupMenu& top, const PopupMenu* chosen);
  void SetNote(int note);

  Rhythmoria* mRhythmoria;
  BitmapStrip mBitmap;
  Rect mLabelRect;
  bool mLamp = false;
  // The note a press is playing, so a release ends exactly that one.
  int mPreviewNote = -1;
};
