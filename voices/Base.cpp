#include "voices/Base.h"

void Base::setSampleRate(double sampleRate) {
  oscillator.setSampleRate(sampleRate);
  envelope.setSampleRate(sampleRate);
}

void Base::trigger(int time) {
  triggerTime = time;
  envelope.trigger();
}
