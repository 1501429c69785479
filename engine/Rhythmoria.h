#pragma once

#include <array>
#include <cstdint>

#include "engine/Instruments.h"
#include "engine/ParameterIndex.h"
#include "synth/Synth.h"
#include "voices/Base.h"
#include "voices/Instrument.h"

// The rhythm machine: fifteen percussion voices, the parameter table and, as they arrive, the
// rhythm bank, the sequencer and the mixer. It owns its parts and glues them to the framework.
class Rhythmoria : public Synth {
 public:
  static const IPlugConfig kConfig;
  static constexpr int kNumOutputs = 16;

  explicit Rhythmoria(const IPlugInstanceInfo& info);
  ~Rhythmoria() override;

  void OnReset() override;
  void EditorOpened() override;
  void Panic() override;
  void InitParameters() override;

  // Voice k of the table, in instrument order; null only while its class is not yet built.
  Instrument* GetVoice(int k) const;
  // Brings an open editor up to date with the engine.
  void RefreshEditor();

  // Samples per millisecond at the current rate; 0 until the first reset.
  int MsPeriod() const { return mMsPeriod; }

 protected:
  // Voices by value; the table below reaches them in instrument order.
  Base mBaseDrum;
  Base mSmallBongo;
  Base mLargeBongo;
  Base mClaves;
  Base mRimshot;
  std::array<Instrument*, kNumInstruments> mVoices{};

  double mLastSampleRate = -1.0;
  int mMsPeriod = 0;
  int mEditedSlot = 0;
  int mEditorPage = 0;

  // The engine's view of the front-panel parameters.
  std::uint8_t mPower = 1;
  std::array<std::uint8_t, kNumRhythmButtons> mRhythmButton{};
  std::uint8_t mTempoSync = 0;
  std::uint8_t mRowAbove = 1;
  double mTempo = 120.0;
  double mVolumeGain = 0.5;
};
