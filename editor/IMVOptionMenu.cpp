#include "editor/IMVOptionMenu.h"

#include "editor/IGraphics.h"
#include "editor/IMVLabel.h"
#include "engine/Rhythmoria.h"

namespace {

// Positions of the OPTIONS menu's sub-menus and the codes their first items carry.
constexpr int kMidiSettingsPosition = 14;
constexpr int kMidiSettingsBase = 21;
constexpr int kMidiFilePosition = 18;
constexpr int kMidiFileBase = 28;
constexpr int kOnlinePosition = 20;
constexpr int kOnlineBase = 30;
// The MIDI FILE menu's first code.
constexpr int kImportBase = 23;

Rect ControlRect(const Rect& rect, const BitmapStrip* bitmap) {
  if (!bitmap) return rect;
  return Rect(rect.L, rect.T, rect.L + bitmap->FrameWidth(), rect.T + bitmap->FrameHeight());
}

}  // namespace

IMVOptionMenu::IMVOptionMenu(Rhythmoria* plug, const Rect& rect, int identifier,
                             const BitmapStrip* bitmap, const char* label)
    : IControl(plug, ControlRect(rect, bitmap), identifier),
      mRhythmoria(plug),
      mBitmap(bitmap ? *bitmap : BitmapStrip{}),
      mHasBitmap(bitmap != nullptr),
      mLabel(label ? label : ""),
      mLabelRect(imv::LabelRect(mRECT, bitmap ? 11 : 4)) {}

void IMVOptionMenu::MouseOver(int /*x*/, int /*y*/, const MouseModifiers& /*mod*/) {
  mHover = true;
  MarkDirty(false);
}

void IMVOptionMenu::MouseOut() {
  mHover = false;
  MarkDirty(false);
}

bool IMVOptionMenu::Draw(IGraphics* graphics) {
  bool ok = true;
  if (mHasBitmap) {
    const BlendMode none{BlendMode::kNone, 1.0f};
    ok = graphics->DrawBitmapFrame(mBitmap, mRECT, mHover ? 2 : 1, &none);
  }
  graphics->DrawText(imv::LabelStyle(14, mValue >= 0.5), mLabel.c_str(), mLabelRect);
  return ok;
}

std::unique_ptr<PopupMenu> IMVOptionMenu::BuildMenu() const {
  auto menu = std::make_unique<PopupMenu>();
  if (mParamIdx == kMidiFile) {
    menu->AddItem("Import Rhythm");
    menu->AddItem("Import Rhythm as Triplets");
    menu->AddSeparator();
    menu->AddItem("Export Rhythm as Type 0");
    menu->AddItem("Export Rhythm as Type 1");
    return menu;
  }
  const bool noStartupBank = mRhythmoria->StartupBankPath().empty();
  const int grayWithoutBank = noStartupBank ? PopupMenuItem::kGrayed : PopupMenuItem::kNoFlags;
  menu->AddItem("Copy Program");
  menu->AddItem("Paste Program",
                mRhythmoria->HasCopiedProgram() ? PopupMenuItem::kNoFlags : PopupMenuItem::kGrayed);
  menu->AddItem("Init Program");
  menu->AddSeparator();
  menu->AddItem("Load Program");
  menu->AddItem("Save Program");
  menu->AddItem("Load Bank");
  menu->AddItem("Save Bank");
  menu->AddSeparator();
  menu->AddItem("Select Startup Bank");
  menu->AddItem("Load Startup Bank", grayWithoutBank);
  menu->AddItem("Unselect Startup Bank", grayWithoutBank);
  menu->AddSeparator();
  menu->AddItem("Default Path for Program Files");
  auto midi = std::make_unique<PopupMenu>();
  midi->AddItem("MIDI Thru",
                mRhythmoria->MidiThru() ? PopupMenuItem::kChecked : PopupMenuItem::kNoFlags);
  midi->AddItem("Ignore Program Change", mRhythmoria->IgnoreProgramChange()
                                             ? PopupMenuItem::kChecked
                                             : PopupMenuItem::kNoFlags);
  menu->AddSubmenu("Global MIDI Settings...", std::move(midi));
  menu->AddItem("Reload Configuration");
  menu->AddItem("Save Configuration");
  menu->AddSeparator();
  auto files = std::make_unique<PopupMenu>();
  files->AddItem("Export All as Type 0");
  files->AddItem("Export All as Type 1");
  menu->AddSubmenu("MIDI File...", std::move(files));
  menu->AddSeparator();
  auto online = std::make_unique<PopupMenu>();
  online->AddItem("Check Online for Update");
  online->AddItem(std::string("Visit ") + kWebDomain);
  menu->AddSubmenu("Go Online...", std::move(online));
  return menu;
}

int IMVOptionMenu::CommandFor(const PopupMenu& top, const PopupMenu* chosen) const {
  if (!chosen) return -1;
  const int item = chosen->GetChosenItemIdx();
  if (item < 0) return -1;
  if (mParamIdx == kMidiFile) return chosen == &top ? kImportBase + item : -1;
  if (chosen == &top) return item;
  struct Sub {
    int position, base;
  };
  for (const Sub sub : {Sub{kMidiSettingsPosition, kMidiSettingsBase},
                        Sub{kMidiFilePosition, kMidiFileBase}, Sub{kOnlinePosition, kOnlineBase}}) {
    const PopupMenuItem* entry = top.GetItem(sub.position);
    if (entry && entry->GetSubmenu() == chosen) return sub.base + item;
  }
  return -1;
}

void IMVOptionMenu::MouseDown(int x, int y, const MouseModifiers& /*mod*/) {
  IGraphics* gui = mRhythmoria->GetGUI();
  if (!gui) return;
  std::unique_ptr<PopupMenu> menu = BuildMenu();
  const PopupMenu* chosen = gui->ShowPopupMenu(menu.get(), Rect(x, y, x, y));
  const int code = CommandFor(*menu, chosen);
  if (code < 0) return;
  if (code == kVisitWebSite) {
    gui->OpenWebPage(kHomePage);
    return;
  }
  mRhythmoria->RunOptionCommand(gui, code);
}
