#include "editor/IMVKeyControl.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "editor/IGraphics.h"
#include "editor/IMVLabel.h"
#include "engine/Rhythmoria.h"

namespace {

constexpr const char kNoteLetters[] = "C C#D D#E F F#G G#A A#B";
constexpr int kNotesPerOctave = 12;
constexpr int kOctaves = 10;  // full octaves; notes 120..127 follow in a short one
constexpr int kMenuOffPosition = 2;
constexpr int kMenuFirstOctave = 3;

const char* const kMiddleCItems[] = {"C3 (Cubase, Ableton, Bitwig...)",
                                     "C4 (Standard Pitch Notation, Reaper, MuLab...)",
                                     "C5 (FL Studio, Cakewalk, some Trackers...)"};

int OctaveOffset(int middleC) {
  return std::clamp(middleC, 0, 2) - 2;
}

int Flag(bool checked) {
  return checked ? PopupMenuItem::kChecked : PopupMenuItem::kNoFlags;
}

}  // namespace

IMVKeyControl::IMVKeyControl(Rhythmoria* plug, int x, int y, int paramIdx,
                             const BitmapStrip& bitmap)
    : IControl(plug, Rect(x, y, x + bitmap.FrameWidth(), y + bitmap.FrameHeight()), paramIdx),
      mRhythmoria(plug),
      mBitmap(bitmap) {
  mLabelRect = imv::LabelRect(mRECT, 5);
  mText = imv::LabelStyle(12, true);
  mDblAsSingleClick = true;
}

int IMVKeyControl::Note() const {
  const IParameter* param = mRhythmoria->GetParam(mParamIdx);
  if (!param) return -1;
  // The normalised round trip can land a hair below a whole note; truncating that would name
  // the note below.
  return static_cast<int>(std::floor(param->FromNormalized(mValue) + 1e-6));
}

std::string IMVKeyControl::NoteName(int note, int middleC) {
  if (note < 0 || note > 127) return "Off";
  const int o = OctaveOffset(middleC);
  const char* letters = kNoteLetters + 2 * (note % kNotesPerOctave);
  char text[16];
  if (letters[1] == ' ') {
    std::snprintf(text, sizeof(text), "%c%i", letters[0], o + note / kNotesPerOctave);
  } else {
    std::snprintf(text, sizeof(text), "%c%c%i", letters[0], letters[1], o + note / kNotesPerOctave);
  }
  return text;
}

std::string IMVKeyControl::NoteText() const {
  return NoteName(Note(), mRhythmoria->GetMiddleC());
}

void IMVKeyControl::SetLamp(bool on) {
  if (mLamp == on) return;
  mLamp = on;
  MarkDirty(false);
}

bool IMVKeyControl::Draw(IGraphics* graphics) {
  const bool ok = graphics->DrawBitmapFrame(mBitmap, mRECT, mLamp ? 2 : 1, &mBlend);
  graphics->DrawText(mText, NoteText().c_str(), mLabelRect);
  return ok;
}

std::unique_ptr<PopupMenu> IMVKeyControl::BuildNoteMenu() const {
  const int middleC = mRhythmoria->GetMiddleC();
  const int o = OctaveOffset(middleC);
  const int note = Note();
  auto menu = std::make_unique<PopupMenu>();
  auto naming = std::make_unique<PopupMenu>();
  for (int i = 0; i < 3; ++i) naming->AddItem(kMiddleCItems[i], Flag(i == middleC));
  menu->AddSubmenu("Set Middle C...", std::move(naming));
  menu->AddSeparator();
  menu->AddItem("Off", Flag(note == -1));
  for (int octave = 0; octave <= kOctaves; ++octave) {
    auto sub = std::make_unique<PopupMenu>();
    const int first = octave * kNotesPerOctave;
    const int last = std::min(first + kNotesPerOctave - 1, 127);
    for (int n = first; n <= last; ++n) sub->AddItem(NoteName(n, middleC), Flag(n == note));
    char title[32];
    std::snprintf(title, sizeof(title), octave < kOctaves ? "C%i - B%i" : "C%i - G%i", o + octave,
                  o + octave);
    menu->AddSubmenu(title, std::move(sub));
  }
  return menu;
}

void IMVKeyControl::MouseDown(int /*x*/, int /*y*/, const MouseModifiers& mod) {
  if (imv::Modified(mod)) {
    IGraphics* gui = mRhythmoria->GetGUI();
    if (!gui) return;
    std::unique_ptr<PopupMenu> menu = BuildNoteMenu();
    ChooseFromMenu(*menu, gui->ShowPopupMenu(menu.get(), mRECT));
    return;
  }
  const int note = Note();
  if (note < 0) return;
  if (mPreviewNote >= 0) mRhythmoria->PreviewNote(mPreviewNote, false);
  mPreviewNote = note;
  mRhythmoria->PreviewNote(note, true);
}

void IMVKeyControl::MouseUp(int /*x*/, int /*y*/, const MouseModifiers& /*mod*/) {
  if (mPreviewNote < 0) return;
  mRhythmoria->PreviewNote(mPreviewNote, false);
  mPreviewNote = -1;
}

void IMVKeyControl::ChooseFromMenu(const PopupMenu& top, const PopupMenu* chosen) {
  if (!chosen || chosen->GetChosenItemIdx() < 0) return;
  const int item = chosen->GetChosenItemIdx();
  if (chosen == &top) {
    if (item == kMenuOffPosition) SetNote(-1);
    return;
  }
  if (chosen == top.GetItem(0)->GetSubmenu()) {
    mRhythmoria->SetMiddleC(item);
    // Every key names its note anew.
    if (IGraphics* gui = mRhythmoria->GetGUI()) gui->SetAllControlsDirty();
    return;
  }
  for (int i = kMenuFirstOctave; i < top.NItems(); ++i) {
    if (top.GetItem(i)->GetSubmenu() == chosen) {
      SetNote((i - kMenuFirstOctave) * kNotesPerOctave + item);
      return;
    }
  }
}

void IMVKeyControl::SetNote(int note) {
  const IParameter* param = mRhythmoria->GetParam(mParamIdx);
  if (!param) return;
  const double plain = param->Clamp(note);
  mValue = param->ToNormalized(plain);
  if (IGraphics* gui = mRhythmoria->GetGUI())
    gui->SetControlsFromParameter(mParamIdx, plain, false);
  MarkDirty(true);
}
