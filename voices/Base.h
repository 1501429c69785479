#pragma once

#include "voices/Envelope.h"
#include "voices/Instrument.h"
#include "voices/SineOscillator.h"

// A sine tone under one attack/decay envelope: bass drum, bongos, claves and rimshot.
class Base final : public Instrument {
 public:
  void setSampleRate(double sampleRate) override;
  bool isActive() const override { return envelope.stage != Envelope::Idle; }
  double process() override;
  // process() for up to n <= kMaxRender samples, into out; stops after the sample on which the
  // voice falls silent and returns how many it wrote.
  int render(double* out, int n) { return renderTone(out, envelope.render(out, n)); }
  // The second half of render(), for the engine, which takes several voices' envelopes side by
  // side: the sine under the length envelope values already in out.
  int renderTone(double* out, int length);
  void trigger(int time) override;

  void setFrequency(double hz) { oscillator.setFrequency(hz); }
  void setAttack(double t) { envelope.setAttack(t); }
  void setDecay(double t) { envelope.setDecay(t); }

  SineOscillator oscillator;
  Envelope envelope;
};

// Inline: the engine runs it once per sample for every sounding voice.
inline double Base::process() {
  if (envelope.stage == Envelope::Idle) return 0.0;
  const double s = oscillator.process();
  const double e = envelope.process();
  // The next note starts from phase 0; a retrigger during the sound keeps the running phase.
  if (envelope.stage == Envelope::Idle) oscillator.resetPhase();
  return e * s * gain;
}

inline int Base::renderTone(double* out, int length) {
  // Each envelope value times the sine and the gain, in process()'s order.
  SineOscillator local = oscillator;
  const double g = gain;
  for (int i = 0; i < length; ++i) out[i] = out[i] * local.process() * g;
  oscillator = local;
  if (length > 0 && envelope.stage == Envelope::Idle) oscillator.resetPhase();
  return length;
}
