#include "voices/Conga.h"

void Conga::setSampleRate(double sampleRate) {
  oscillator1.setSampleRate(sampleRate);
  oscillator2.setSampleRate(sampleRate);
  envelope1.setSampleRate(sampleRate);
  envelope2.setSampleRate(sampleRate);
}

void Conga::trigger(int time) {
  triggerTime = time;
  // Phases are kept: a retrigger continues both tones without a jump.
  envelope1.trigger();
  envelope2.trigger();
}
