#include "voices/Base.h"

void Base::setSampleRate(double sampleRate) {
  oscillator.setSampleRate(sampleRate);
  envelope.setSampleRate(sampleRate);
}

double Base::process() {
  if (envelope.stage == Envelope::Idle) return 0.0;
  const double s = oscillator.process();
  const double e = envelope.process();
  // The next note starts from phase 0; a retrigger during the sound keeps the running phase.
  if (envelope.stage == Envelope::Idle) oscillator.resetPhase();
  return e * s * gain;
}

void Base::trigger(int time) {
  triggerTime = time;
  envelope.trigger();
}
