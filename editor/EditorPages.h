#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "engine/Instruments.h"
#include "engine/RhythmBank.h"

class IControl;
class IGraphics;
class Rhythmoria;
class IMVBitmapControl;
class IMVKeyControl;
class IMVRhythmMenu;
class IMVStepActiveControl;
class IMVStepBeatControl;
class IMVSwitchControl;
class IMVSwitchMidiLearn;
class IMVUtilityKick;

// The plug-in's editor pages: it lays out the three pages and the bottom bar, switches between
// them, and keeps the controls in step with the engine.
//
// Threads: the engine calls RequestRefresh, StoreIdleState and RequestLearnSwitchOff from any
// thread (automation and MIDI reach them on the audio thread); they only store values and raise
// flags. The editor's thread takes them up in ApplyPending, which runs at the start of every
// timer tick, and is the only one that touches controls.
class EditorPages {
 public:
  enum Page : int { kMainPage = 0, kSettingsPage = 1, kSequencePage = 2, kNumPages = 3 };
  static constexpr int kWidth = 800;
  static constexpr int kHeight = 409;

  // The plug-in's bitmap resources, loaded once by Layout.
  struct Bitmaps;

  explicit EditorPages(Rhythmoria& plug) : mPlug(plug) {}
  EditorPages(const EditorPages&) = delete;
  EditorPages& operator=(const EditorPages&) = delete;

  // Builds every control of the editor into gui, then shows the plug-in's current page.
  void Layout(IGraphics& gui);
  // Editor thread. Only hides and shows what exists.
  void SwitchPage(int page);
  int CurrentPage() const { return mPage; }
  const std::vector<IControl*>& PageControls(int page) const {
    return mPages[static_cast<std::size_t>(page)];
  }

  // Any thread.
  void RequestRefresh() { mRefreshPending.store(true, std::memory_order_release); }
  // Any thread, with the plug-in mutex held: samples what the idle update shows.
  void StoreIdleState();
  void RequestLearnSwitchOff() { mLearnOffPending.store(true, std::memory_order_release); }

  // Editor thread: carries out what was requested since the last call.
  void ApplyPending();
  // Editor thread: brings the grid, the selector and the USER labels up to date now.
  void RefreshNow();

  // What the idle update last sampled, for the controls' drawing.
  bool Running() const { return mRunning.load(std::memory_order_relaxed); }
  int StepCounter() const { return mStep.load(std::memory_order_relaxed); }
  bool EditedSlotPlaying() const { return mEditedPlaying.load(std::memory_order_relaxed); }

  Rhythmoria& Plug() { return mPlug; }
  IGraphics* Graphics() const { return mGui; }

  // Direct access for the idle update, the refresh and tests.
  IMVBitmapControl* greenLamp = nullptr;
  IMVBitmapControl* redLamp = nullptr;
  IMVSwitchControl* playSwitch = nullptr;
  IMVUtilityKick* pageButtons[2] = {};
  IMVRhythmMenu* slotSelector = nullptr;
  IMVSwitchControl* tripletSwitch = nullptr;
  IMVSwitchMidiLearn* learnSwitch = nullptr;
  std::array<IMVBitmapControl*, kNumRhythmSlots> userLabels{};
  std::array<IMVStepActiveControl*, kNumSteps> stepCells{};
  std::array<std::array<IMVStepBeatControl*, kNumSteps>, kNumInstruments> gridCells{};
  std::array<IMVKeyControl*, kNumInstruments> keyControls{};

 private:
  void BuildMainPage(IGraphics& gui, const Bitmaps& b, std::vector<IControl*>& list);
  void BuildSettingsPage(IGraphics& gui, const Bitmaps& b, std::vector<IControl*>& list);
  void BuildSequencePage(IGraphics& gui, const Bitmaps& b, std::vector<IControl*>& list);
  void BuildBottomBar(IGraphics& gui, const Bitmaps& b);
  void ApplyIdleState();

  Rhythmoria& mPlug;
  IGraphics* mGui = nullptr;  // not owned; set by Layout
  int mPage = kMainPage;
  std::array<std::vector<IControl*>, kNumPages> mPages;

  std::atomic<bool> mRefreshPending{false};
  std::atomic<bool> mIdlePending{false};
  std::atomic<bool> mLearnOffPending{false};
  std::atomic<bool> mRunning{false};
  std::atomic<int> mStep{0};
  std::atomic<bool> mEditedPlaying{false};
  std::atomic<bool> mGreenLamp{false};
  std::atomic<bool> mRedLamp{false};
  std::atomic<std::uint32_t> mKeyLamps{0};
};
