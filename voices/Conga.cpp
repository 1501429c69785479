#include "voices/Conga.h"

void Conga::setSampleRate(double sampleRate) {
  oscillator1.setSampleRate(sampleRate);
  oscillator2.setSampleRate(sampleRate);
  envelope1.setSampleRate(sampleRate);
  envelope2.setSampleRate(sampleRate);
}

double Conga::process() {
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

void Conga::trigger(int time) {
  triggerTime = time;
  // Phases are kept: a retrigger continues both tones without a jump.
  envelope1.trigger();
  envelope2.trigger();
}
