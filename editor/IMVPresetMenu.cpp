#include "editor/IMVPresetMenu.h"

#include <cstdio>

#include "editor/IGraphics.h"
#include "engine/Rhythmoria.h"

namespace {
constexpr std::size_t kMaxShownName = 32;
constexpr int kDigitWidth = 13;
constexpr int kDigitHeight = 20;
}  // namespace

IMVPresetMenu::IMVPresetMenu(Rhythmoria* plug, const Rect& digits, const Rect& name,
                             const BitmapStrip& bitmap)
    : IControl(plug, digits.Union(name)), mRhythmoria(plug), mDigits(bitmap), mDigitsRECT(digits) {
  const int inset = ((digits.W() / 2) - kDigitWidth) / 2;
  const int top = digits.T + (digits.H() - kDigitHeight) / 2;
  mTensRECT = Rect(digits.L + inset, top, digits.L + inset + kDigitWidth, top + kDigitHeight);
  mUnitsRECT = Rect(digits.R - inset - kDigitWidth, top, digits.R - inset, top + kDigitHeight);
  mNameRECT = Rect(name.L + 8, name.T + 9, name.R - 8, name.B - 11);
  mText = TextStyle("Arial", 16, Color(204, 30, 30, 30));
  mTextEntryLength = kNameLength;
}

bool IMVPresetMenu::Draw(IGraphics* graphics) {
  int index = 0;
  {
    IPlugBase::ScopedLock lock(mRhythmoria->GetMutex());
    index = mRhythmoria->GetCurrentProgram();
    mName = mRhythmoria->GetProgramName(index);
  }
  if (mName.size() > kMaxShownName) mName.resize(kMaxShownName);
  const int shown = index < 0 ? 0 : index;
  bool ok = graphics->DrawBitmapFrame(mDigits, mTensRECT, (shown / 10) % 10 + 1, &mBlend);
  ok = graphics->DrawBitmapFrame(mDigits, mUnitsRECT, shown % 10 + 1, &mBlend) && ok;
  graphics->DrawText(mText, mName.c_str(), mNameRECT);
  return ok;
}

std::unique_ptr<PopupMenu> IMVPresetMenu::BuildProgramMenu(int current) const {
  auto menu = std::make_unique<PopupMenu>();
  const int n = mRhythmoria->NPrograms();
  for (int first = 0; first < n; first += kProgramsPerMenu) {
    auto sub = std::make_unique<PopupMenu>();
    for (int p = first; p < first + kProgramsPerMenu && p < n; ++p) {
      char text[64];
      std::snprintf(text, sizeof(text), "%02u: %s", static_cast<unsigned>(p),
                    mRhythmoria->GetProgramName(p));
      sub->AddItem(text, p == current ? PopupMenuItem::kChecked : PopupMenuItem::kNoFlags);
    }
    char title[32];
    std::snprintf(title, sizeof(title), "%02d - %02d", first, first + kProgramsPerMenu - 1);
    menu->AddSubmenu(title, std::move(sub));
  }
  return menu;
}

void IMVPresetMenu::MouseDown(int x, int y, const MouseModifiers& /*mod*/) {
  IGraphics* gui = mRhythmoria->GetGUI();
  if (!gui) return;
  if (mDigitsRECT.Contains(x, y)) {
    std::unique_ptr<PopupMenu> menu;
    {
      IPlugBase::ScopedLock lock(mRhythmoria->GetMutex());
      menu = BuildProgramMenu(mRhythmoria->GetCurrentProgram());
    }
    const PopupMenu* chosen = gui->ShowPopupMenu(menu.get(), mRECT);
    for (int k = 0; chosen && k < menu->NItems(); ++k) {
      if (menu->GetItem(k)->GetSubmenu() != chosen) continue;
      mRhythmoria->SelectProgram(k * kProgramsPerMenu + chosen->GetChosenItemIdx());
    }
  } else if (mNameRECT.Contains(x, y)) {
    std::string name;
    {
      IPlugBase::ScopedLock lock(mRhythmoria->GetMutex());
      name = mRhythmoria->GetProgramName(mRhythmoria->GetCurrentProgram());
    }
    gui->ShowTextEntry(this, mText, mNameRECT, name.c_str(), nullptr);
  }
  gui->SetAllControlsDirty();
}

void IMVPresetMenu::TextEntered(const char* text) {
  std::string name(text ? text : "");
  if (name.size() > static_cast<std::size_t>(kNameLength)) name.resize(kNameLength);
  {
    IPlugBase::ScopedLock lock(mRhythmoria->GetMutex());
    mRhythmoria->ModifyCurrentPreset(name.c_str());
  }
  mRhythmoria->ReportProgramChangeToHost();
  mRhythmoria->SyncEditorToParams();
  MarkDirty(false);
}
