#pragma once

#include "voices/Envelope.h"
#include "voices/Instrument.h"
#include "voices/SineOscillator.h"

// Two sine tones with a shared attack and their own decays: a body tone and a second partial of
// adjustable level. Conga and cowbell.
class Conga final : public Instrument {
 public:
  void setSampleRate(double sampleRate) override;
  bool isActive() const override {
    return envelope1.stage != Envelope::Idle || envelope2.stage != Envelope::Idle;
  }
  double process() override;
  void trigger(int time) override;

  // Hz.
  void setFrequency1(double hz) { oscillator1.setFrequency(hz); }
  void setFrequency2(double hz) { oscillator2.setFrequency(hz); }
  // Seconds, both tones.
  void setAttack(double t) {
    envelope1.setAttack(t);
    envelope2.setAttack(t);
  }
  // Level of tone 2 relative to tone 1, 0..1.
  void setLevel2(double v) { level2 = v; }
  // Seconds (decay and release).
  void setDecay1(double t) { envelope1.setDecay(t); }
  void setDecay2(double t) { envelope2.setDecay(t); }

  SineOscillator oscillator1;
  SineOscillator oscillator2;
  Envelope envelope1;
  Envelope envelope2;
  double level2 = 1.0;
};
