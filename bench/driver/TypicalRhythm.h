// The typical rhythm the benchmarks play: Samba, Rock 1 and Swing at 120 BPM on the internal
// clock. The clock is started with controller 20, which the settings file must map to the play
// switch ("[MIDI Control]" CC20=-150).
#pragma once

#include "host/PluginHost.h"

namespace bench {

constexpr int kInitProgram = 40;
constexpr int kTempo = 2;
constexpr int kTempoSync = 3;
constexpr int kRhythm1 = 8;

// Starts the host and sets the program up for the scenarios; the typical rhythm also starts
// the clock.
inline void SetUpScenario(vsthost::PluginHost& host, bool typicalRhythm) {
  host.Start();
  host.SetProgram(kInitProgram);
  host.SetParameter(kTempoSync, 0.0f);
  if (!typicalRhythm) return;
  host.SetParameterText(kTempo, "120");
  for (int button : {1, 6, 9}) host.SetParameter(kRhythm1 + button, 1.0f);
  host.QueueMidi(0, 0xB0, 20, 127);
}

}  // namespace bench
