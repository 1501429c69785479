#include "voices/Noise.h"

#include "voices/WhiteNoise.h"

namespace {
constexpr double kTickAttack = 0.001;
constexpr double kTickDecay = 0.003;
// Headroom before the saturator: near 0 the output is about envelope x filtered noise.
constexpr double kSaturatorDrive = 0.1;
}  // namespace

Noise::Noise() {
  tickEnvelope.setAttack(kTickAttack);
  tickEnvelope.setDecay(kTickDecay);
}

void Noise::setSampleRate(double sampleRate) {
  resonator.setSampleRate(sampleRate);
  highpass.setSampleRate(sampleRate);
  tickEnvelope.setSampleRate(sampleRate);
  envelope.setSampleRate(sampleRate);
}

double Noise::process() {
  // A silent voice must not draw: the sequence is shared with every other noise voice.
  if (envelope.stage == Envelope::Idle) return 0.0;
  double x = WhiteNoise::draw();
  if (tick > 0.0 && tickEnvelope.stage != Envelope::Idle) x = x + tickEnvelope.process() * tick;
  const double y = highpass.process(x);
  // The level drives the saturator, so it changes the colour as well as the loudness.
  const double z = resonator.process(y) * gain;
  const double e = envelope.process();
  return saturate(e * z * kSaturatorDrive);
}

void Noise::trigger(int time) {
  triggerTime = time;
  // Filter histories are kept, so a fast roll does not click.
  tickEnvelope.trigger();
  envelope.trigger();
}
