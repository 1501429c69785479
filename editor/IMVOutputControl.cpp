#include "editor/IMVOutputControl.h"

#include <cstdio>

#include "editor/IGraphics.h"
#include "editor/IMVLabel.h"
#include "engine/Rhythmoria.h"

IMVOutputControl::IMVOutputControl(Rhythmoria* plug, int x, int y, int voice,
                                   const BitmapStrip& bitmap)
    : IControl(plug, Rect(x, y, x + bitmap.FrameWidth(), y + bitmap.FrameHeight()),
               kFirstIdentifier - voice),
      mRhythmoria(plug),
      mBitmap(bitmap),
      mVoice(voice),
      mLabelRect(imv::LabelRect(mRECT, 5)) {
  mText = imv::LabelStyle(12, true);
  mDblAsSingleClick = true;
}

std::string IMVOutputControl::RoutingText(bool toSum, int extraOutput) {
  char text[16];
  if (extraOutput > 0) {
    std::snprintf(text, sizeof(text), toSum ? "S+%i" : "%i", extraOutput);
    return text;
  }
  return toSum ? "Sum" : "off";
}

bool IMVOutputControl::Draw(IGraphics* graphics) {
  bool toSum = false;
  int extra = 0;
  {
    IPlugBase::ScopedLock lock(mRhythmoria->GetMutex());
    toSum = mRhythmoria->ToSum(mVoice);
    extra = mRhythmoria->ExtraOutput(mVoice);
  }
  const bool ok = graphics->DrawBitmapFrame(mBitmap, mRECT, (extra > 0 || toSum) ? 2 : 1, &mBlend);
  graphics->DrawText(mText, RoutingText(toSum, extra).c_str(), mLabelRect);
  return ok;
}

std::unique_ptr<PopupMenu> IMVOutputControl::BuildMenu(bool toSum, int extraOutput) const {
  auto menu = std::make_unique<PopupMenu>();
  menu->AddItem("Sum Output", toSum ? PopupMenuItem::kChecked : PopupMenuItem::kNoFlags);
  menu->AddSeparator();
  for (int n = 1; n <= Rhythmoria::kNumExtraOutputs; ++n) {
    // Formatted rather than concatenated: GCC 12 warns falsely about string + to_string here.
    char label[24];
    std::snprintf(label, sizeof label, "Extra Output %d", n);
    menu->AddItem(label, extraOutput == n ? PopupMenuItem::kChecked : PopupMenuItem::kNoFlags);
  }
  return menu;
}

void IMVOutputControl::MouseDown(int x, int y, const MouseModifiers& /*mod*/) {
  IGraphics* gui = mRhythmoria->GetGUI();
  if (!gui) return;
  bool toSum = false;
  int extra = 0;
  {
    IPlugBase::ScopedLock lock(mRhythmoria->GetMutex());
    toSum = mRhythmoria->ToSum(mVoice);
    extra = mRhythmoria->ExtraOutput(mVoice);
  }
  std::unique_ptr<PopupMenu> menu = BuildMenu(toSum, extra);
  const PopupMenu* chosen = gui->ShowPopupMenu(menu.get(), Rect(x, y, x, y));
  if (chosen != menu.get()) return;
  const int item = chosen->GetChosenItemIdx();
  if (item == 0) {
    toSum = !toSum;
  } else if (item >= 2) {
    const int n = item - 1;
    extra = extra == n ? 0 : n;
  } else {
    return;
  }
  mRhythmoria->SetOutputRouting(mVoice, toSum, extra);
  MarkDirty(false);
}
