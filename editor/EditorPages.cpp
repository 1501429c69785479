#include "editor/EditorPages.h"

#include <cstdio>
#include <memory>
#include <string>

#include "editor/IGraphics.h"
#include "editor/IMVBitmapControl.h"
#include "editor/IMVInstrumentMenu.h"
#include "editor/IMVKeyControl.h"
#include "editor/IMVOptionMenu.h"
#include "editor/IMVOutputControl.h"
#include "editor/IMVPresetMenu.h"
#include "editor/IMVRhythmControl.h"
#include "editor/IMVRhythmMenu.h"
#include "editor/IMVSliderControl.h"
#include "editor/IMVStepActiveControl.h"
#include "editor/IMVStepBeatControl.h"
#include "editor/IMVSwitchControl.h"
#include "editor/IMVSwitchMidiLearn.h"
#include "editor/IMVTempoControl.h"
#include "editor/IMVTrimpotControl.h"
#include "editor/IMVUtilityKick.h"
#include "editor/ITextControl.h"
#include "engine/ParameterIndex.h"
#include "engine/Rhythmoria.h"

namespace {}  // namespace

// The plug-in's bitmap resources.
struct EditorPages::Bitmaps {
  BitmapStrip settings, sequence, button, buttonSmall, buttonMini, handleB, handleY, toggle, rhythm,
      start, tempo, tempoCap, trimpot, trimpotBase, digits, lampGreen, lampRed, userLabel;
};

namespace {

EditorPages::Bitmaps LoadBitmaps(IGraphics& gui) {
  EditorPages::Bitmaps b;
  b.settings = gui.LoadBitmap(102, "settings.png");
  b.sequence = gui.LoadBitmap(103, "sequence.png");
  b.button = gui.LoadBitmap(104, "button.png", 2);
  b.buttonSmall = gui.LoadBitmap(105, "button_small.png", 2);
  b.buttonMini = gui.LoadBitmap(106, "button_mini.png", 2);
  b.handleB = gui.LoadBitmap(107, "handle_b.png");
  b.handleY = gui.LoadBitmap(108, "handle_y.png");
  b.toggle = gui.LoadBitmap(110, "switch.png", 2);
  b.rhythm = gui.LoadBitmap(111, "rhythm.png", 2);
  b.start = gui.LoadBitmap(112, "start.png", 2);
  b.tempo = gui.LoadBitmap(113, "tempo.png", 63);
  b.tempoCap = gui.LoadBitmap(114, "tempo_cap.png");
  b.trimpot = gui.LoadBitmap(115, "trimpot.png", 65);
  b.trimpotBase = gui.LoadBitmap(116, "trimpot_base.png");
  b.digits = gui.LoadBitmap(117, "digits.png", 10);
  b.lampGreen = gui.LoadBitmap(118, "lamp_green.png");
  b.lampRed = gui.LoadBitmap(119, "lamp_red.png");
  b.userLabel = gui.LoadBitmap(120, "userlabel.png");
  return b;
}

// Runs the engine's requests at the start of every timer tick: the redraw cycle asks each
// control whether it is dirty, in list order, and this one comes right after the background.
class PendingWork : public IControl {
 public:
  PendingWork(IPlugBase* plug, EditorPages& pages) : IControl(plug, Rect()), mPages(pages) {}
  bool IsDirty() override {
    mPages.ApplyPending();
    return false;
  }
  bool HitTest(int, int) override { return false; }
  bool Draw(IGraphics*) override { return true; }

 private:
  EditorPages& mPages;
};

template <typename T>
T* Attach(IGraphics& gui, std::vector<IControl*>* list, std::unique_ptr<T> control) {
  T* raw = control.get();
  gui.AttachControl(std::move(control));
  if (list) list->push_back(raw);
  return raw;
}

// The sound parameters of the settings page, by column (voice) and row; -1 leaves a place empty.
constexpr int kSoundRows = 6;
constexpr int kSoundGrid[kNumInstruments][kSoundRows] = {
    {kBaseFrequency, kBaseAttack, kBaseDecay, -1, -1, -1},
    {kSnare1Frequency, kSnare1Attack, kSnare1Decay, kSnare1Resonance, kSnare1Tick, kSnare1Highpass},
    {kSnare2Frequency, kSnare2Attack, kSnare2Decay, kSnare2Resonance, kSnare2Tick, kSnare2Highpass},
    {kSmallBongoFrequency, kSmallBongoAttack, kSmallBongoDecay, -1, -1, -1},
    {kLargeBongoFrequency, kLargeBongoAttack, kLargeBongoDecay, -1, -1, -1},
    {kCongaFrequency1, kCongaAttack, kCongaDecay1, kCongaFrequency2, kCongaLevel2, kCongaDecay2},
    {kCowbellFrequency1, kCowbellAttack, kCowbellDecay1, kCowbellFrequency2, kCowbellLevel2,
     kCowbellDecay2},
    {kClavesFrequency, kClavesAttack, kClavesDecay, -1, -1, -1},
    {kHihatFrequency, kHihatAttack, kHihatDecay, kHihatResonance, -1, -1},
    {kRimshotFrequency, kRimshotAttack, kRimshotDecay, -1, -1, -1},
    {kCymbal1Frequency, kCymbal1Attack, kCymbal1Decay, kCymbal1Resonance, kCymbal1Highpass, -1},
    {kCymbal2Frequency, kCymbal2Attack, kCymbal2Decay, kCymbal2Resonance, kCymbal2Highpass, -1},
    {kTambourineFrequency, kTambourineAttack, kTambourineDecay, kTambourineResonance,
     kTambourineHighpass, -1},
    {kGuiroFrequency, -1, -1, -1, kGuiroRate, kGuiroDensity},
    {kQuijadaFrequency, kQuijadaAttack, kQuijadaDecay, -1, kQuijadaRate, kQuijadaDensity},
};

constexpr int kColumnX = 50;
constexpr int kStepX = 11;
constexpr int kRowY = 21;

}  // namespace

void EditorPages::Layout(IGraphics& gui) {
  mGui = &gui;
  gui.Resize(kWidth, kHeight);
  gui.SetHandleMouseOver(true);
  for (auto& list : mPages) list.clear();
  const Bitmaps b = LoadBitmaps(gui);
  gui.AttachBackground(101, "back.png");
  gui.AttachControl(std::make_unique<PendingWork>(&mPlug, *this));
  BuildMainPage(gui, b, mPages[kMainPage]);
  BuildSettingsPage(gui, b, mPages[kSettingsPage]);
  BuildSequencePage(gui, b, mPages[kSequencePage]);
  BuildBottomBar(gui, b);
  mPlug.ArmLearn(false, false);
  SwitchPage(mPlug.EditorPage());
}

void EditorPages::BuildMainPage(IGraphics& gui, const Bitmaps& b, std::vector<IControl*>& list) {
  static constexpr int kSliderX[] = {168, 240, 312, 408, 481};
  static constexpr int kSliderParam[] = {kQuijadaBalance, kGuiroBalance, kTambourineBalance,
                                         kVolume, kBalance};
  for (int i = 0; i < 5; ++i) {
    Attach(gui, &list,
           std::make_unique<IMVSliderControl>(&mPlug, kSliderX[i], kSliderParam[i],
                                              i < 3 ? b.handleB : b.handleY));
  }
  Attach(gui, &list, std::make_unique<IMVTempoControl>(&mPlug, 584, 60, b.tempo, b.tempoCap));
  Attach(gui, &list, std::make_unique<IMVSwitchControl>(&mPlug, this, 728, 60, kPower, b.toggle));
  for (int i = 0; i < kNumRhythmButtons; ++i) {
    Attach(gui, &list,
           std::make_unique<IMVRhythmControl>(&mPlug, this, 72 + 54 * i, 288, i + 1, b.rhythm));
  }
  Attach(gui, &list,
         std::make_unique<IMVSwitchControl>(&mPlug, this, 728, 188, kRhythmRow, b.toggle));
  greenLamp = Attach(gui, &list, std::make_unique<IMVBitmapControl>(&mPlug, 672, 194, b.lampGreen));
  redLamp = Attach(gui, &list, std::make_unique<IMVBitmapControl>(&mPlug, 672, 234, b.lampRed));
  greenLamp->SetHidden(true);
  redLamp->SetHidden(true);
  Attach(gui, &list,
         std::make_unique<IMVUtilityKick>(&mPlug, this, 660, 288, IMVUtilityKick::kStart, b.start));
  for (int i = 0; i < kNumRhythmButtons; ++i) {
    for (int row = 0; row < 2; ++row) {
      const int slot = i + row * kNumRhythmButtons;
      char label[16];
      std::snprintf(label, sizeof(label), "USER %i", slot + 1);
      userLabels[static_cast<std::size_t>(slot)] =
          Attach(gui, &list,
                 std::make_unique<IMVBitmapControl>(&mPlug, 74 + 54 * i, 202 + 40 * row,
                                                    b.userLabel, label));
    }
  }
  Attach(gui, &list,
         std::make_unique<ITextControl>(&mPlug, Rect(512, 18, 768, 30),
                                        TextStyle("Arial", 12, Color(192, 30, 30, 30),
                                                  TextStyle::kNormal, TextStyle::kAlignFar),
                                        "v.1.1.6.N"));
}

void EditorPages::BuildSettingsPage(IGraphics& gui, const Bitmaps& b,
                                    std::vector<IControl*>& list) {
  IControl* backdrop =
      Attach(gui, &list, std::make_unique<IBitmapControl>(&mPlug, 0, 0, -1, b.settings));
  // The backdrop only shows; clicks go to the controls over it or nowhere.
  backdrop->SetTargetArea(Rect());
  for (int k = 0; k < kNumInstruments; ++k) {
    const int x = 56 + kColumnX * k;
    Attach(gui, &list, std::make_unique<IMVInstrumentMenu>(&mPlug, Rect(x - 10, 4, x + 40, 16), k));
    Attach(gui, &list,
           std::make_unique<IMVTrimpotControl>(&mPlug, x, 230, kLevelFirst + k, b.trimpot,
                                               b.trimpotBase));
    Attach(gui, &list,
           std::make_unique<IMVTrimpotControl>(&mPlug, x, 265, kPanFirst + k, b.trimpot,
                                               b.trimpotBase));
    Attach(gui, &list, std::make_unique<IMVOutputControl>(&mPlug, x - 1, 305, k, b.buttonMini));
    keyControls[static_cast<std::size_t>(k)] =
        Attach(gui, &list,
               std::make_unique<IMVKeyControl>(&mPlug, x - 1, 337, kNoteFirst + k, b.buttonMini));
  }
  for (int r = 0; r < kSoundRows; ++r) {
    for (int k = 0; k < kNumInstruments; ++k) {
      const int param = kSoundGrid[k][r];
      if (param < 0) continue;
      Attach(gui, &list,
             std::make_unique<IMVTrimpotControl>(&mPlug, 56 + kColumnX * k, 20 + 35 * r, param,
                                                 b.trimpot, b.trimpotBase));
    }
  }
}

void EditorPages::BuildSequencePage(IGraphics& gui, const Bitmaps& b,
                                    std::vector<IControl*>& list) {
  IControl* backdrop =
      Attach(gui, &list, std::make_unique<IBitmapControl>(&mPlug, 0, 0, -1, b.sequence));
  backdrop->SetTargetArea(Rect());
  slotSelector =
      Attach(gui, &list, std::make_unique<IMVRhythmMenu>(&mPlug, this, Rect(4, 3, 87, 23)));
  tripletSwitch =
      Attach(gui, &list,
             std::make_unique<IMVSwitchControl>(&mPlug, this, 87, 3, IMVSwitchControl::kTriplet,
                                                b.buttonMini, "tripl"));
  Attach(gui, &list,
         std::make_unique<IMVStepActiveControl>(&mPlug, this, Rect(635, 3, 714, 24),
                                                IMVStepActiveControl::kHeader));
  Attach(gui, &list,
         std::make_unique<IMVOptionMenu>(&mPlug, Rect(717, 3, 796, 24), IMVOptionMenu::kMidiFile,
                                         nullptr, "MIDI FILE"));
  // Column by column, rows top to bottom: where targets overlap, the later column and the
  // lower row take the click.
  for (int c = 0; c < kNumSteps; ++c) {
    const int x = 87 + kStepX * c;
    stepCells[static_cast<std::size_t>(c)] =
        Attach(gui, &list,
               std::make_unique<IMVStepActiveControl>(&mPlug, this, Rect(x, 30, x + 7, 362), c));
    for (int r = 0; r < kNumInstruments; ++r) {
      gridCells[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] =
          Attach(gui, &list,
                 std::make_unique<IMVStepBeatControl>(
                     &mPlug, this, Rect(x, 53 + kRowY * r, x + 7, 65 + kRowY * r), r, c));
    }
  }
  for (int r = 0; r < kNumInstruments; ++r) {
    Attach(gui, &list,
           std::make_unique<IMVStepBeatControl>(&mPlug, this,
                                                Rect(6, 49 + kRowY * r, 81, 70 + kRowY * r), r,
                                                IMVStepBeatControl::kRowHeader));
  }
}

void EditorPages::BuildBottomBar(IGraphics& gui, const Bitmaps& b) {
  Attach(gui, nullptr,
         std::make_unique<IMVPresetMenu>(&mPlug, Rect(65, 368, 97, 404), Rect(162, 368, 400, 404),
                                         b.digits));
  Attach(gui, nullptr,
         std::make_unique<IMVUtilityKick>(&mPlug, this, 4, 367, IMVUtilityKick::kPrevious,
                                          b.buttonSmall, "PREV"));
  Attach(gui, nullptr,
         std::make_unique<IMVUtilityKick>(&mPlug, this, 108, 367, IMVUtilityKick::kNext,
                                          b.buttonSmall, "NEXT"));
  playSwitch = Attach(gui, nullptr,
                      std::make_unique<IMVSwitchControl>(
                          &mPlug, this, 405, 367, IMVSwitchControl::kPlay, b.buttonSmall, "PLAY"));
  Attach(gui, nullptr,
         std::make_unique<IMVOptionMenu>(&mPlug, Rect(458, 367, 538, 407), IMVOptionMenu::kOptions,
                                         &b.button, "OPTIONS"));
  Attach(gui, nullptr,
         std::make_unique<IMVSwitchControl>(&mPlug, this, 536, 367, kTempoSync, b.buttonSmall,
                                            "SYNC"));
  learnSwitch =
      Attach(gui, nullptr, std::make_unique<IMVSwitchMidiLearn>(&mPlug, 588, 367, b.buttonSmall));
  pageButtons[0] = Attach(
      gui, nullptr,
      std::make_unique<IMVUtilityKick>(&mPlug, this, 640, 367, IMVUtilityKick::kPageA, b.button));
  pageButtons[1] = Attach(
      gui, nullptr,
      std::make_unique<IMVUtilityKick>(&mPlug, this, 718, 367, IMVUtilityKick::kPageB, b.button));
}

void EditorPages::SwitchPage(int page) {
  if (page < 0 || page >= kNumPages) page = kMainPage;
  mPage = page;
  mPlug.SetEditorPage(page);
  if (!mGui) return;
  for (int p = 0; p < kNumPages; ++p) {
    for (IControl* control : mPages[static_cast<std::size_t>(p)]) {
      if (control->IsHidden() != (p != page)) control->SetHidden(p != page);
    }
  }
  // The lamps are the idle update's to show; a page switch only hides them with the main page.
  if (page == kMainPage) {
    greenLamp->SetHidden(!mGreenLamp.load(std::memory_order_relaxed));
    redLamp->SetHidden(!mRedLamp.load(std::memory_order_relaxed));
  }
  static const char* const kLabels[kNumPages][2] = {
      {"SEQUENCE", "SETTINGS"}, {"MAIN PAGE", "SEQUENCE"}, {"SETTINGS", "MAIN PAGE"}};
  pageButtons[0]->SetLabel(kLabels[page][0]);
  pageButtons[1]->SetLabel(kLabels[page][1]);
  RefreshNow();
}

void EditorPages::StoreIdleState() {
  const Sequencer& seq = mPlug.GetSequencer();
  const bool running = seq.running != 0;
  const bool go = mPlug.Power() &&
                  (!running || (seq.step > 30 && seq.lastStep < 31) || seq.step < seq.lastStep);
  const bool rowAbove = mPlug.GetParam(kRhythmRow)->GetNormalizedValue() >= 0.5;
  mGreenLamp.store(go && rowAbove, std::memory_order_relaxed);
  mRedLamp.store(go && !rowAbove, std::memory_order_relaxed);
  std::uint32_t lamps = 0;
  const std::uint32_t window = 128u * static_cast<std::uint32_t>(mPlug.MsPeriod());
  for (int k = 0; k < kNumInstruments; ++k) {
    const Instrument* voice = mPlug.GetVoice(k);
    const std::uint32_t since = mPlug.SamplesSince(voice->triggerTime);
    if (mPlug.GetHeldNotes().IsHeld(voice->note) || (since > 0 && since < window)) {
      lamps |= 1u << k;
    }
  }
  mKeyLamps.store(lamps, std::memory_order_relaxed);
  mRunning.store(running, std::memory_order_relaxed);
  mStep.store(seq.step, std::memory_order_relaxed);
  mEditedPlaying.store(mPlug.IsSlotSelected(mPlug.EditedSlot()), std::memory_order_relaxed);
  mIdlePending.store(true, std::memory_order_release);
}

void EditorPages::ApplyPending() {
  if (mLearnOffPending.exchange(false, std::memory_order_acquire) && learnSwitch) {
    learnSwitch->ShowDisarmed();
  }
  if (mRefreshPending.exchange(false, std::memory_order_acquire)) RefreshNow();
  if (mIdlePending.exchange(false, std::memory_order_acquire)) ApplyIdleState();
}

void EditorPages::ApplyIdleState() {
  if (!mGui) return;
  if (mPage == kMainPage) {
    const bool green = mGreenLamp.load(std::memory_order_relaxed);
    const bool red = mRedLamp.load(std::memory_order_relaxed);
    if (greenLamp->IsHidden() == green) greenLamp->SetHidden(!green);
    if (redLamp->IsHidden() == red) redLamp->SetHidden(!red);
  } else if (mPage == kSettingsPage) {
    const std::uint32_t lamps = mKeyLamps.load(std::memory_order_relaxed);
    for (int k = 0; k < kNumInstruments; ++k) {
      keyControls[static_cast<std::size_t>(k)]->SetLamp((lamps >> k) & 1u);
    }
  } else if (Running()) {
    for (IMVStepActiveControl* cell : stepCells) cell->MarkDirty(false);
  }
  playSwitch->MarkDirty(false);
}

void EditorPages::RefreshNow() {
  mRefreshPending.store(false, std::memory_order_relaxed);
  if (!mGui) return;
  struct Snapshot {
    int slot = 0;
    std::string name;
    std::uint8_t grid[kNumInstruments][kNumSteps];
    std::uint8_t active[kNumSteps];
    bool triplet = false;
    bool modified[kNumRhythmSlots];
  } snap;
  {
    IPlugBase::ScopedLock lock(mPlug.GetMutex());
    const RhythmBank& bank = mPlug.GetRhythmBank();
    snap.slot = mPlug.EditedSlot();
    snap.name = bank.Label(snap.slot);
    std::copy(&bank.grid[snap.slot][0][0], &bank.grid[snap.slot][0][0] + sizeof(snap.grid),
              &snap.grid[0][0]);
    std::copy(bank.active[snap.slot], bank.active[snap.slot] + kNumSteps, snap.active);
    snap.triplet = bank.triplet[snap.slot] != 0;
    for (int s = 0; s < kNumRhythmSlots; ++s) snap.modified[s] = bank.IsModified(s);
  }
  if (mPage == kSequencePage) {
    if (slotSelector->Slot() != snap.slot || slotSelector->GetLabel() != snap.name) {
      slotSelector->SetSlot(snap.slot, snap.name);
    }
    tripletSwitch->SetValueFromUser(snap.triplet ? 1.0 : 0.0);
    for (int s = 0; s < kNumSteps; ++s) {
      stepCells[static_cast<std::size_t>(s)]->SetValueFromUser(snap.active[s] ? 0.0 : 1.0);
      for (int r = 0; r < kNumInstruments; ++r) {
        gridCells[static_cast<std::size_t>(r)][static_cast<std::size_t>(s)]->SetValueFromUser(
            snap.grid[r][s] ? 1.0 : 0.0);
      }
    }
  } else if (mPage == kMainPage) {
    for (int s = 0; s < kNumRhythmSlots; ++s) {
      IMVBitmapControl* label = userLabels[static_cast<std::size_t>(s)];
      if (label->IsHidden() == snap.modified[s]) label->SetHidden(!snap.modified[s]);
    }
  }
  mPlug.SyncEditorToParams();
}
