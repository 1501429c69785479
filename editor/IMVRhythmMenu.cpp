#include "editor/IMVRhythmMenu.h"

#include <array>

#include "editor/EditorPages.h"
#include "editor/IGraphics.h"
#include "editor/IMVLabel.h"
#include "engine/Rhythmoria.h"

namespace {
constexpr int kCopyMenuOffset = 16;
constexpr int kRestorePosition = kNumRhythmSlots + 1;
}  // namespace

IMVRhythmMenu::IMVRhythmMenu(Rhythmoria* plug, EditorPages* pages, const Rect& rect)
    : IControl(plug, rect, kIdentifier),
      mRhythmoria(plug),
      mPages(pages),
      mLabelRect(rect.L, rect.T + 4, rect.R, rect.B) {
  mText = TextStyle("Arial", 14, Color(192, 32, 28, 28));
}

void IMVRhythmMenu::SetSlot(int slot, const std::string& name) {
  mSlot = slot;
  mLabel = name;
  MarkDirty(true);
}

bool IMVRhythmMenu::Draw(IGraphics* graphics) {
  return graphics->DrawText(mText, mLabel.c_str(), mLabelRect);
}

void IMVRhythmMenu::MouseDown(int x, int y, const MouseModifiers& mod) {
  IGraphics* gui = mRhythmoria->GetGUI();
  if (!gui) return;
  std::array<std::string, kNumRhythmSlots> names;
  bool modified = false;
  {
    IPlugBase::ScopedLock lock(mRhythmoria->GetMutex());
    for (int i = 0; i < kNumRhythmSlots; ++i) names[i] = mRhythmoria->GetRhythmBank().Label(i);
    modified = mRhythmoria->IsRhythmModified(mSlot);
  }
  PopupMenu menu;
  if (!mod.R && !imv::ModifiedOrAlt(mod)) {
    for (int i = 0; i < kNumRhythmSlots; ++i) {
      menu.AddItem(names[i], i == mSlot ? PopupMenuItem::kChecked : PopupMenuItem::kNoFlags);
    }
    const PopupMenu* chosen = gui->ShowPopupMenu(&menu, Rect(x, y, x, y));
    if (chosen != &menu || chosen->GetChosenItemIdx() < 0) return;
    const int slot = chosen->GetChosenItemIdx();
    SetSlot(slot, names[slot]);
    mRhythmoria->SetEditedSlot(slot);
    mPages->RefreshNow();
    return;
  }
  for (int i = 0; i < kNumRhythmSlots; ++i) {
    menu.AddItem("Copy from " + names[i],
                 i == mSlot ? PopupMenuItem::kGrayed : PopupMenuItem::kNoFlags);
  }
  if (modified) {
    menu.AddSeparator();
    menu.AddItem("Restore original rhythm");
  }
  const Rect at(x + kCopyMenuOffset, y + kCopyMenuOffset, x + kCopyMenuOffset, y + kCopyMenuOffset);
  const PopupMenu* chosen = gui->ShowPopupMenu(&menu, at);
  if (chosen != &menu) return;
  const int item = chosen->GetChosenItemIdx();
  if (item >= 0 && item < kNumRhythmSlots) {
    mRhythmoria->CopyRhythm(item, mSlot);
  } else if (item == kRestorePosition) {
    mRhythmoria->RestoreRhythm(mSlot);
  } else {
    return;
  }
  mPages->RefreshNow();
}
