#include "editor/IMVUtilityKick.h"

#include "editor/EditorPages.h"
#include "editor/IGraphics.h"
#include "editor/IMVLabel.h"
#include "engine/Rhythmoria.h"

namespace {
constexpr int kTargetMargin = 8;

// Where each page button leads from each page: its label names the page.
int NextPage(int identifier, int page) {
  static constexpr int kFromA[] = {2, 0, 1};
  static constexpr int kFromB[] = {1, 2, 0};
  if (page < 0 || page > 2) page = 0;
  return identifier == IMVUtilityKick::kPageA ? kFromA[page] : kFromB[page];
}
}  // namespace

IMVUtilityKick::IMVUtilityKick(Rhythmoria* plug, EditorPages* pages, int x, int y, int identifier,
                               const BitmapStrip& bitmap, const char* label)
    : IContactControl(plug, x, y, identifier, bitmap),
      mRhythmoria(plug),
      mPages(pages),
      mLabel(label ? label : ""),
      mIdentifier(identifier),
      mLabelRect(imv::LabelRect(mRECT, 11)) {
  mTargetRECT = Rect(mRECT.L - kTargetMargin, mRECT.T - kTargetMargin, mRECT.R + kTargetMargin,
                     mRECT.B + kTargetMargin);
}

void IMVUtilityKick::SetLabel(const char* label) {
  mLabel = label ? label : "";
  MarkDirty(false);
}

void IMVUtilityKick::MouseDown(int x, int y, const MouseModifiers& mod) {
  ISwitchControl::MouseDown(x, y, mod);
  switch (mIdentifier) {
    case kStart:
      if (!mRhythmoria->LearnTarget(Synth::kPlaySwitchTarget)) {
        // The big start button always begins at the first step.
        mRhythmoria->ToggleRun(true);
      }
      {
        IPlugBase::ScopedLock lock(mRhythmoria->GetMutex());
        mPages->StoreIdleState();
      }
      break;
    case kPrevious:
    case kNext: {
      int program = 0;
      {
        IPlugBase::ScopedLock lock(mRhythmoria->GetMutex());
        program = mRhythmoria->GetCurrentProgram();
      }
      const int n = mRhythmoria->NPrograms();
      program += mIdentifier == kNext ? 1 : -1;
      if (program < 0) program = n - 1;
      if (program >= n) program = 0;
      mRhythmoria->SelectProgram(program);
      break;
    }
    case kPageA:
    case kPageB: {
      IGraphics* gui = mRhythmoria->GetGUI();
      if (gui && gui->HasWindow()) mPages->SwitchPage(NextPage(mIdentifier, mPages->CurrentPage()));
      break;
    }
    default:
      break;
  }
}

void IMVUtilityKick::MouseDoubleClick(int x, int y, const MouseModifiers& mod) {
  MouseDown(x, y, mod);
}

bool IMVUtilityKick::Draw(IGraphics* graphics) {
  const bool ok = IContactControl::Draw(graphics);
  if (!mLabel.empty()) {
    graphics->DrawText(imv::LabelStyle(14, mValue >= 0.5), mLabel.c_str(), mLabelRect);
  }
  return ok;
}
