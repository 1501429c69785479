#pragma once

#include "voices/Envelope.h"
#include "voices/HighPass.h"
#include "voices/Instrument.h"
#include "voices/Resonator.h"

// Filtered white noise under an attack/decay envelope, ending in a soft saturator: hihat, both
// snares, both cymbals and tambourine. The snares add a short tick pulse before the filters.
class Noise final : public Instrument {
 public:
  // Where the high-pass sits for instruments without a Highpass parameter (the hihat).
  static constexpr double kDefaultHighpass = 1000.0;
  // Headroom before the saturator: near 0 the output is about envelope x filtered noise.
  static constexpr double kSaturatorDrive = 0.1;

  Noise();

  void setSampleRate(double sampleRate) override;
  bool isActive() const override { return envelope.stage != Envelope::Idle; }
  double process() override;
  // One sample of a sounding voice from the white-noise value drawn for it (process() draws it
  // itself); the engine draws for several voices at once.
  double render(double white) {
    double x = white;
    if (tick > 0.0 && tickEnvelope.stage != Envelope::Idle) x = x + tickEnvelope.process() * tick;
    const double y = highpass.process(x);
    // The level drives the saturator, so it changes the colour as well as the loudness.
    const double z = resonator.process(y) * gain;
    const double e = envelope.process();
    return saturate(e * z * kSaturatorDrive);
  }
  void trigger(int time) override;

  // Centre of the band-pass, Hz.
  void setFrequency(double hz) { resonator.setFrequency(hz); }
  // Q of the band-pass (0.2..200); also its peak gain.
  void setResonance(double q) { resonator.setQ(q); }
  // High-pass corner, Hz; clears the high-pass history.
  void setHighpass(double hz) { highpass.setFrequency(hz); }
  // Tick parameter 0..1.
  void setTick(double t) { tick = t * 100.0; }
  void setAttack(double t) { envelope.setAttack(t); }
  void setDecay(double t) { envelope.setDecay(t); }

  // 10 x a rational tanh approximation of w; meets +-10 smoothly at w = +-3.
  static double saturate(double w) {
    if (w < -3.0) return -10.0;
    if (w > 3.0) return 10.0;
    return 10.0 * w * (w * w + 27.0) / (9.0 * (w * w) + 27.0);
  }

  Resonator resonator;
  HighPass highpass{kDefaultHighpass};
  // Shape of the tick pulse; its times are fixed.
  Envelope tickEnvelope;
  // Amplitude envelope: the Attack and Decay parameters.
  Envelope envelope;
  // Tick parameter x 100; 0 for instruments without a tick.
  double tick = 0.0;
};
