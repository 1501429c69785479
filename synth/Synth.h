#pragma once

#include <array>
#include <cstdint>

#include "framework/vst2/IPlugVST.h"
#include "synth/HeldNotes.h"
#include "synth/MidiQueue.h"

// The layer between the host binding and the engine: global settings, MIDI services (controller
// map, MIDI learn, held notes, the time-stamped input queue) and the program and bank commands.
// It adds the engine's own hooks to the virtual operations.
class Synth : public IPlugVST {
 public:
  // Octave number shown for MIDI note 60.
  enum MiddleC : int { MiddleC3 = 0, MiddleC4 = 1, MiddleC5 = 2 };

  static constexpr int kNumMappableControllers = 120;
  // Learn target and map entry of the PLAY (start/stop) switch.
  static constexpr int kPlaySwitchTarget = -150;
  static constexpr int kUnmapped = -1;

  Synth(const IPlugInstanceInfo& info, const IPlugConfig& config);
  ~Synth() override;

  void OnReset() override;
  void OnParameterChange(int paramIdx) override;
  // Switching processing on re-applies every parameter so values derived from the sample rate
  // are recomputed.
  void SetActive(bool active) override;

  // Hooks the engine fills, in their fixed order.
  virtual void Layout() {}
  virtual void SelectProgram(int /*programIdx*/) {}
  virtual void Panic() {}
  virtual void UnusedHook46() {}
  virtual void InitParameters() {}
  virtual void InitDefaults() {}
  virtual void SetMiddleC(int value);

  int GetMiddleC() const { return mMiddleC; }

  // MIDI services.
  bool MidiThru() const { return mMidiThru; }
  void SetMidiThru(bool on) { mMidiThru = on; }
  bool IgnoreProgramChange() const { return mIgnoreProgramChange; }
  void SetIgnoreProgramChange(bool on) { mIgnoreProgramChange = on; }
  // Target of controller cc: a parameter index, kPlaySwitchTarget or kUnmapped.
  int ControllerTarget(int cc) const;
  void SetControllerTarget(int cc, int target);

  // MIDI learn: armed by the editor's learn switch; the next controller and the next learn target
  // (a parameter change or the PLAY switch), in either order, complete it.
  void ArmLearn(bool armed, bool unlearn);
  bool LearnArmed() const { return mLearnArmed; }
  // Hooks: return true when the event was taken by learning.
  bool LearnTarget(int target);
  bool LearnController(int cc);

  const HeldNotes& GetHeldNotes() const { return mHeldNotes; }

 protected:
  void CompleteLearn();
  // Called when a learn completes or is abandoned, so the editor's switch can show it.
  virtual void LearnFinished() {}

  int mMiddleC = MiddleC4;
  bool mMidiThru = false;
  bool mIgnoreProgramChange = false;
  std::array<std::int32_t, kNumMappableControllers> mCcMap;
  bool mLearnArmed = false;
  bool mUnlearnMode = false;
  int mLearnedController = -1;
  int mLearnedParameter = -1;
  HeldNotes mHeldNotes;

  MidiInputQueue mMidiInputQueue;
  // Samples per millisecond and samples left until the next sub-block boundary.
  int mMsPeriod = 0;
  int mMsCountdown = 0;
};
