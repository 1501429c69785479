#pragma once

#include "editor/IBitmapControl.h"

class EditorPages;
class Rhythmoria;

// One of the ten rhythm buttons. A plain click plays only this rhythm (or, on a lit button,
// none); with the right button, shift or control it adds or removes this one. A rhythm switched
// on becomes the edited one.
class IMVRhythmControl : public ISwitchControl {
 public:
  // number counts from 1.
  IMVRhythmControl(Rhythmoria* plug, EditorPages* pages, int x, int y, int number,
                   const BitmapStrip& bitmap);

  void MouseDown(int x, int y, const MouseModifiers& mod) override;
  void MouseDoubleClick(int x, int y, const MouseModifiers& mod) override;

 private:
  Rhythmoria* mRhythmoria;
  EditorPages* mPages;
  int mNumber;
};
