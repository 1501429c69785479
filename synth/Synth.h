#pragma once

#include "framework/vst2/IPlugVST.h"

// The layer between the host binding and the engine: global settings, MIDI services and the
// program and bank commands. It adds the engine's own hooks to the virtual operations.
class Synth : public IPlugVST {
 public:
  // Octave number shown for MIDI note 60.
  enum MiddleC : int { MiddleC3 = 0, MiddleC4 = 1, MiddleC5 = 2 };

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

 protected:
  int mMiddleC = MiddleC4;
};
