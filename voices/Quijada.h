#pragma once

#include "voices/Envelope.h"
#include "voices/Instrument.h"
#include "voices/SineOscillator.h"

// A decaying rattle: two tone bursts per cycle of a rate oscillator, a strong one and a weak one,
// at rate levels drawn from the shared white noise on every trigger. Ignores note-off.
class Quijada final : public Instrument {
 public:
  Quijada();

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

  // Tone, Hz.
  void setFrequency(double hz) { toneOscillator.setFrequency(hz); }
  // Rate cycles per second, Hz.
  void setRate(double hz) { rateOscillator.setFrequency(hz); }
  // Note envelope, seconds.
  void setAttack(double t) { mainEnvelope.setAttack(t); }
  void setDecay(double t) { mainEnvelope.setDecay(t); }
  // Decay of one burst, seconds.
  void setDensity(double t) {
    pulseA.setDecay(t);
    pulseB.setDecay(t);
  }

  SineOscillator toneOscillator;
  SineOscillator rateOscillator;
  // Strong burst (weight 1).
  Envelope pulseA;
  // Weak burst (weight kWeakPulse).
  Envelope pulseB;
  Envelope mainEnvelope;
  double previousRate = 0.0;
  // Rate levels at which the bursts fire; one is 0, the other lies in 0.1..0.6.
  double thresholdA = 0.0;
  double thresholdB = 0.0;

  static constexpr double kWeakPulse = 0.4;
};

// Inline: the engine runs it once per sample for every sounding voice.
inline double Quijada::process() {
  if (mainEnvelope.stage == Envelope::Idle) return 0.0;
  const double r = rateOscillator.process();
  // At most one burst starts per sample; the strong one wins.
  if (r > thresholdA && previousRate <= thresholdA) {
    pulseA.trigger();
  } else if (r > thresholdB && previousRate <= thresholdB) {
    pulseB.trigger();
  }
  previousRate = r;
  const double s = toneOscillator.process();
  const double p = pulseA.process() + kWeakPulse * pulseB.process();
  const double out = mainEnvelope.process() * s * p;
  if (pulseA.stage == Envelope::Idle && pulseB.stage == Envelope::Idle) {
    toneOscillator.resetPhase();
  }
  return out * gain;
}

inline int Quijada::render(double* out, int n) {
  // The note envelope depends on nothing else: its values first, into out; then the bursts, in
  // process()'s order.
  return renderBursts(out, mainEnvelope.render(out, n));
}

inline int Quijada::renderBursts(double* out, int length) {
  SineOscillator rate = rateOscillator;
  SineOscillator tone = toneOscillator;
  Envelope strong = pulseA;
  Envelope weak = pulseB;
  double previous = previousRate;
  const double a = thresholdA;
  const double b = thresholdB;
  const double g = gain;
  // Between bursts both idle pulses give 0.0, and the tone, reset after every such sample, its
  // value at phase 0: there a sample is the note envelope's value times these and the gain, in
  // process()'s order, and only the rate oscillator moves on. Most samples lie there.
  const double silentTone = tone.startValue();
  const double silentPulses = 0.0 + kWeakPulse * 0.0;
  int i = 0;
  while (i < length) {
    if (strong.stage == Envelope::Idle && weak.stage == Envelope::Idle && tone.phase == 0) {
      const int from = i;
      // Up to the next burst, which starts where the rate oscillator rises past a threshold.
      for (; i < length; ++i) {
        const double r = rate.value();
        if ((r > a && previous <= a) || (r > b && previous <= b)) break;
        previous = r;
        rate.advance();
      }
      for (int k = from; k < i; ++k) out[k] = out[k] * silentTone * silentPulses * g;
      if (i == length) break;
    }
    const double r = rate.process();
    if (r > a && previous <= a) {
      strong.trigger();
    } else if (r > b && previous <= b) {
      weak.trigger();
    }
    previous = r;
    const double s = tone.process();
    const double p = strong.process() + kWeakPulse * weak.process();
    out[i] = out[i] * s * p * g;
    if (strong.stage == Envelope::Idle && weak.stage == Envelope::Idle) tone.resetPhase();
    ++i;
  }
  rateOscillator = rate;
  toneOscillator = tone;
  pulseA = strong;
  pulseB = weak;
  previousRate = previous;
  return length;
}
