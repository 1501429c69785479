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
  // process() for up to n <= kMaxRender samples, into out; stops after the sample on which the
  // voice falls silent and returns how many it wrote.
  int render(double* out, int n);
  // The second half of render(), for the engine, which takes several voices' envelopes side by
  // side: the tones under the envelope values already in out (length1 of tone 1's) and in
  // second (length2 of tone 2's), into out.
  int renderTones(double* out, const double* second, int length1, int length2);
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

// Inline: the engine runs it once per sample for every sounding voice.
inline double Conga::process() {
  // Idle is 0, so one test covers a silent voice.
  if ((envelope1.stage | envelope2.stage) == Envelope::Idle) return 0.0;
  // Each tone runs only while its own envelope does and restarts from phase 0 on the next note.
  double a = 0.0;
  if (envelope1.stage != Envelope::Idle) {
    const double s1 = oscillator1.process();
    const double e1 = envelope1.process();
    a = e1 * s1;
    if (envelope1.stage == Envelope::Idle) oscillator1.resetPhase();
  }
  if (envelope2.stage != Envelope::Idle) {
    const double s2 = oscillator2.process();
    const double e2 = envelope2.process();
    a = a + e2 * (s2 * level2);
    if (envelope2.stage == Envelope::Idle) oscillator2.resetPhase();
  }
  return a * gain;
}

inline int Conga::render(double* out, int n) {
  // Both envelopes first (side by side while both decay), tone 1's into out; each tone then
  // sounds for as long as its own envelope ran, and its values combine in process()'s order.
  double second[kMaxRender];
  Envelope* const envelopes[2] = {&envelope1, &envelope2};
  double* const values[2] = {out, second};
  const int together = Envelope::renderDecaysSideBySide(envelopes, values, 2, n);
  const int length1 = together + envelope1.render(out + together, n - together);
  const int length2 = together + envelope2.render(second + together, n - together);
  return renderTones(out, second, length1, length2);
}

inline int Conga::renderTones(double* out, const double* second, int length1, int length2) {
  const int length = length1 > length2 ? length1 : length2;
  SineOscillator tone1 = oscillator1;
  SineOscillator tone2 = oscillator2;
  const double g = gain;
  const double l2 = level2;
  for (int i = 0; i < length; ++i) {
    double a = 0.0;
    if (i < length1) a = out[i] * tone1.process();
    if (i < length2) a = a + second[i] * (tone2.process() * l2);
    out[i] = a * g;
  }
  oscillator1 = tone1;
  oscillator2 = tone2;
  if (length1 > 0 && envelope1.stage == Envelope::Idle) oscillator1.resetPhase();
  if (length2 > 0 && envelope2.stage == Envelope::Idle) oscillator2.resetPhase();
  return length;
}
