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
    const double z = filter(white);
    return shape(envelope.process(), z);
  }
  // render() in passes over a run, for the engine: the amplitude envelope alone (it depends on
  // nothing else), which tells how many samples the voice sounds; then, once the white noise for
  // those samples is drawn, the tick added to it (it too depends on nothing else); then the
  // filters and the saturator, for one voice or for two side by side. Each sample comes out
  // exactly as render() gives it.
  int renderEnvelope(double* values, int n) { return envelope.render(values, n); }
  void addTick(double* x, int n) {
    if (!(tick > 0.0)) return;
    Envelope local = tickEnvelope;
    for (int i = 0; i < n && local.stage != Envelope::Idle; ++i) {
      x[i] = x[i] + local.process() * tick;
    }
    tickEnvelope = local;
  }
  void renderFiltered(const double* x, const double* envelopeValues, double* out, int n);
  // renderFiltered for count (1..kMaxTogether) voices at once, side by side in the lanes of
  // vectors: voices[l] with its own input x[l], envelope values e[l] and output out[l]. The same
  // operations on each voice's own values, so the results are those of separate runs.
  static constexpr int kMaxTogether = 6;
  static void renderFilteredTogether(int count, Noise* const* voices, const double* const* x,
                                     const double* const* e, double* const* out, int n);
  // How many of count voices renderFilteredTogether() takes best in one call: three or four in one
  // loop with WideVectors, else pairs; never more than count.
  static int lanesTogether(int count);
  // For the engine: Envelope::renderSideBySide over the envelopes, with the filters of count (1
  // or 2) of them, voices[l] on its input x[l] for all n samples, running alongside in the same
  // loop, so that the filters' chains of dependent operations overlap the envelopes'. The
  // voices' own envelopes must be among the envelopes: their values, written into e[l], shape
  // the outputs out[l] afterwards. Returns whether the outputs are exactly those of
  // renderFilteredTogether(): not where a voice falls silent within the run, nor where a filter
  // holds or meets a NaN, nor where filtersAlongsideEnvelopes is false; then the voices' filters
  // are left as they were, for the caller to render the usual way. The envelopes are rendered
  // either way.
  static bool renderEnvelopesAndFilters(Envelope* const* envelopes, double* const* values,
                                        int* lengths, int envelopeCount, int n, int count,
                                        Noise* const* voices, const double* const* x,
                                        const double* const* e, double* const* out);
  // Whether renderEnvelopesAndFilters() gains anything on this processor: where it has enough
  // vector registers for both. Tests clear it to compare both ways.
  static bool filtersAlongsideEnvelopes;
  // The tick, the high-pass and the band-pass, scaled by the level (which therefore drives the
  // saturator and changes the colour as well as the loudness).
  double filter(double white) {
    double x = white;
    if (tick > 0.0 && tickEnvelope.stage != Envelope::Idle) x = x + tickEnvelope.process() * tick;
    const double y = highpass.process(x);
    return resonator.process(y) * gain;
  }
  static double shape(double e, double z) { return saturate(e * z * kSaturatorDrive); }
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
