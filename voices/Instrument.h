#pragma once

#include <cstdint>

// One percussion voice. The engine owns fifteen of them and reaches them only through this
// interface plus the class-specific parameter setters. All calls arrive with the plug-in's lock
// held, so voices never lock; process() runs once per output sample for every sounding voice and
// must stay free of allocation and system calls.
class Instrument {
 public:
  virtual void setSampleRate(double sampleRate) = 0;
  virtual bool isActive() const = 0;
  virtual double process() = 0;
  virtual void trigger(int time) = 0;
  // Note-off. Percussion ignores it; only a held voice overrides it.
  virtual void release() {}
  virtual ~Instrument() = default;

  // The most samples a voice's render() (where it has one) takes in one call.
  static constexpr int kMaxRender = 64;

  // MIDI note that plays this voice (the voice's Note parameter).
  std::int32_t note = 0;
  // Velocity of the MIDI notes sent for this voice; derived from the level, never heard.
  std::int32_t velocity = 64;
  // Output multiplier, kept equal to level * balance by the engine.
  double gain = 1.0;
  double balance = 1.0;
  double level = 1.0;
  // 0 = left, 1 = right; read by the mixer.
  double pan = 0.5;
  // Engine sample counter at the last trigger; the editor's activity lamps read it.
  std::int32_t triggerTime = 0;
};
