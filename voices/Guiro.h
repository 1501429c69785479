#pragma once

#include "voices/Envelope.h"
#include "voices/Instrument.h"
#include "voices/SineOscillator.h"

// Scraped tone bursts, one per cycle of a slow rate oscillator, under a note envelope that holds
// at 0.9 until note-off. The only voice that listens to release().
class Guiro final : public Instrument {
 public:
  Guiro();

  void setSampleRate(double sampleRate) override;
  bool isActive() const override { return mainEnvelope.stage != Envelope::Idle; }
  double process() override;
  // process() for up to n <= kMaxRender samples, into out; stops after the sample on which the
  // voice falls silent and returns how many it wrote.
  int render(double* out, int n);
  // The second half of render(), for the engine, which takes several voices' envelopes side by
  // side: the bursts under the length note envelope values already in out.
  int renderBursts(double* out, int length);
  void trigger(int time) override;
  void release() override { mainEnvelope.release(); }

  // Tone, Hz.
  void setFrequency(double hz) { toneOscillator.setFrequency(hz); }
  // Bursts per second, Hz.
  void setRate(double hz) { rateOscillator.setFrequency(hz); }
  // Decay of one burst, seconds.
  void setDensity(double t) { pulseEnvelope.setDecay(t); }

  SineOscillator toneOscillator;
  // Never reset: the burst rhythm runs on across notes.
  SineOscillator rateOscillator;
  Envelope pulseEnvelope;
  // Fixed shape; its positive decay target makes the decay a sustain.
  Envelope mainEnvelope;
  double previousRate = 0.0;
};

// Inline: the engine runs it once per sample for every sounding voice.
inline double Guiro::process() {
  if (mainEnvelope.stage == Envelope::Idle) return 0.0;
  const double r = rateOscillator.process();
  // A burst starts on each upward zero crossing of the rate oscillator.
  if (r > 0.0 && previousRate <= 0.0) pulseEnvelope.trigger();
  previousRate = r;
  const double s = toneOscillator.process();
  const double a = pulseEnvelope.process() * s;
  const double out = mainEnvelope.process() * a;
  // Every burst that starts from silence starts at phase 0.
  if (pulseEnvelope.stage == Envelope::Idle) toneOscillator.resetPhase();
  return out * gain;
}

inline int Guiro::render(double* out, int n) {
  // The note envelope depends on nothing else: its values first, into out; then the bursts, in
  // process()'s order.
  return renderBursts(out, mainEnvelope.render(out, n));
}

inline int Guiro::renderBursts(double* out, int length) {
  SineOscillator rate = rateOscillator;
  SineOscillator tone = toneOscillator;
  Envelope pulse = pulseEnvelope;
  double previous = previousRate;
  const double g = gain;
  // Between bursts the idle pulse gives 0.0, and the tone, reset after every such sample, its
  // value at phase 0: there a sample is the note envelope's value times their product and the
  // gain, in process()'s order, and only the rate oscillator moves on. Most samples lie there.
  const double between = 0.0 * tone.startValue();
  int i = 0;
  while (i < length) {
    if (pulse.stage == Envelope::Idle && tone.phase == 0) {
      const int from = i;
      // Up to the next burst, which starts where the rate oscillator crosses zero upwards.
      for (; i < length; ++i) {
        const double r = rate.value();
        if (r > 0.0 && previous <= 0.0) break;
        previous = r;
        rate.advance();
      }
      for (int k = from; k < i; ++k) out[k] = out[k] * between * g;
      if (i == length) break;
    }
    const double r = rate.process();
    if (r > 0.0 && previous <= 0.0) pulse.trigger();
    previous = r;
    const double s = tone.process();
    const double a = pulse.process() * s;
    out[i] = out[i] * a * g;
    if (pulse.stage == Envelope::Idle) tone.resetPhase();
    ++i;
  }
  rateOscillator = rate;
  toneOscillator = tone;
  pulseEnvelope = pulse;
  previousRate = previous;
  return length;
}
