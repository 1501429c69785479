#include "editor/IMVTempoControl.h"

#include <cstdio>

#include "editor/IGraphics.h"
#include "engine/ParameterIndex.h"
#include "engine/Rhythmoria.h"

IMVTempoControl::IMVTempoControl(Rhythmoria* plug, int x, int y, const BitmapStrip& knob,
                                 const BitmapStrip& cap)
    : IKnobMultiControl(plug, x, y, kTempo, knob, kVertical, 4.0),
      mRhythmoria(plug),
      mCap(cap),
      mReadoutStyle("Arial", 15, Color(192, 32, 255, 128)) {
  const int margin = (mRECT.W() - cap.FrameWidth()) / 2;
  mCapRECT = Rect(mRECT.L + margin, mRECT.T + margin, mRECT.L + margin + cap.FrameWidth(),
                  mRECT.T + margin + cap.FrameHeight());
  mReadoutRECT = Rect(mRECT.L, mRECT.B - 16, mRECT.R, mRECT.B);
}

void IMVTempoControl::MouseOver(int /*x*/, int /*y*/, const MouseModifiers& /*mod*/) {
  mHover = true;
  MarkDirty(true);
}

void IMVTempoControl::MouseOut() {
  mHover = false;
  MarkDirty(false);
}

bool IMVTempoControl::Draw(IGraphics* graphics) {
  const bool ok = IKnobMultiControl::Draw(graphics);
  graphics->DrawBitmapFrame(mCap, mCapRECT, 1, &mBlend);
  if (!mHover) return ok;
  double bpm = 0.0;
  {
    // The host's tempo is written by the audio thread.
    IPlugBase::ScopedLock lock(mRhythmoria->GetMutex());
    const Sequencer& sequencer = mRhythmoria->GetSequencer();
    bpm = sequencer.tempoSync ? sequencer.hostTempo : sequencer.tempo;
  }
  char text[32];
  std::snprintf(text, sizeof(text), "%.0f", bpm);
  mReadout = text;
  graphics->DrawText(mReadoutStyle, text, mReadoutRECT);
  return ok;
}
