#include "editor/IMVSwitchControl.h"

#include "editor/EditorPages.h"
#include "editor/IGraphics.h"
#include "editor/IMVLabel.h"
#include "engine/Rhythmoria.h"

namespace {
constexpr std::size_t kMaxLabel = 63;
}

IMVSwitchControl::IMVSwitchControl(Rhythmoria* plug, EditorPages* pages, int x, int y,
                                   int paramOrId, const BitmapStrip& bitmap, const char* label)
    : ISwitchControl(plug, x, y, paramOrId, bitmap),
      mRhythmoria(plug),
      mPages(pages),
      mLabel(std::string(label ? label : "").substr(0, kMaxLabel)),
      mIdentifier(paramOrId),
      mLabelRect(imv::LabelRect(mRECT, paramOrId == kTriplet ? 5 : 11)),
      mLabelSize(paramOrId == kTriplet ? 12 : 14) {}

void IMVSwitchControl::MouseDown(int x, int y, const MouseModifiers& mod) {
  if (mIdentifier == kTriplet) {
    mRhythmoria->SetRhythmTriplet(mValue < 0.5);
  } else if (mIdentifier == kPlay) {
    // A learn waiting for its target takes the click instead of starting or stopping.
    if (!mRhythmoria->LearnTarget(Synth::kPlaySwitchTarget)) {
      // Plain clicks continue where the sequencer stopped; a modified one starts from the top.
      mRhythmoria->ToggleRun(imv::ModifiedOrAlt(mod));
    }
    IPlugBase::ScopedLock lock(mRhythmoria->GetMutex());
    mPages->StoreIdleState();
  }
  ISwitchControl::MouseDown(x, y, mod);
  // The slot's name follows the triplet flag ("USER n" once it differs from the factory).
  if (mIdentifier == kTriplet) mPages->RefreshNow();
}

void IMVSwitchControl::MouseDoubleClick(int x, int y, const MouseModifiers& mod) {
  MouseDown(x, y, mod);
}

bool IMVSwitchControl::Draw(IGraphics* graphics) {
  if (mIdentifier == kPlay) mValue = mPages->Running() ? 1.0 : 0.0;
  const bool ok = ISwitchControl::Draw(graphics);
  if (!mLabel.empty()) {
    graphics->DrawText(imv::LabelStyle(mLabelSize, mValue >= 0.5), mLabel.c_str(), mLabelRect);
  }
  return ok;
}
