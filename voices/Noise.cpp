#include "voices/Noise.h"

#include "voices/WhiteNoise.h"

namespace {
constexpr double kTickAttack = 0.001;
constexpr double kTickDecay = 0.003;
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
  return render(WhiteNoise::draw());
}

void Noise::trigger(int time) {
  triggerTime = time;
  // Filter histories are kept, so a fast roll does not click.
  tickEnvelope.trigger();
  envelope.trigger();
}
