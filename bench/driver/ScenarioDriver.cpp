// Fixed amounts of work through the plug-in binary, for instruction counts under callgrind
// (which, unlike timings, repeat exactly on a shared machine):
//
//   valgrind --tool=callgrind bench/scenario_driver PLUGIN typical|all|decayed|stopped|load COUNT
//       [BLOCK]
//
// typical: the typical rhythm of TypicalRhythm.h, COUNT blocks;
// all: every voice retriggered every 512 samples with the longest decays, COUNT blocks;
// decayed: every voice struck once with the longest decays, then COUNT blocks as they die away
// into silence (timed against stopped, it shows whether decayed filters and envelopes slow down);
// stopped: nothing playing, COUNT blocks; load: COUNT instances opened and closed.
// Blocks are of BLOCK samples, 512 unless given.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/driver/TypicalRhythm.h"
#include "host/PluginHost.h"

namespace {

constexpr int kRetrigger = 512;
constexpr int kNoteFirst = 49;
constexpr int kNumVoices = 15;

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr,
                 "usage: scenario_driver PLUGIN typical|all|decayed|stopped|load COUNT [BLOCK]\n");
    return 2;
  }
  const std::string plugin = argv[1];
  const std::string scenario = argv[2];
  const int count = std::atoi(argv[3]);
  const int block = argc == 5 ? std::atoi(argv[4]) : 512;
  if (block <= 0 || block > 8192) {
    std::fprintf(stderr, "BLOCK must be 1..8192\n");
    return 2;
  }
  vsthost::HostSettings settings;
  settings.blockSize = block;
  settings.playing = false;
  std::string error;
  const int instances = scenario == "load" ? count : 1;
  std::unique_ptr<vsthost::PluginHost> host;
  for (int i = 0; i < instances; ++i) {
    host.reset();
    host = vsthost::PluginHost::Load(plugin, settings, &error);
    if (!host) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
  }
  if (scenario == "load") return 0;
  bench::SetUpScenario(*host, scenario == "typical");
  if (scenario == "all" || scenario == "decayed") {
    for (int p = 0; p < host->NumParams(); ++p) {
      if (host->ParamName(p).find("Decay") != std::string::npos) host->SetParameter(p, 1.0f);
    }
  }
  int notes[kNumVoices];
  for (int k = 0; k < kNumVoices; ++k) {
    notes[k] = static_cast<int>(std::lround(host->GetParameter(kNoteFirst + k) * 137.0 - 1.0));
  }
  const bool retrigger = scenario == "all";
  const bool strikeOnce = scenario == "decayed";
  long long samples = 0;
  for (int b = 0; b < count; ++b) {
    const bool strike = retrigger ? samples % kRetrigger < block : strikeOnce && b == 0;
    if (strike) {
      for (int note : notes) {
        if (note >= 0 && note < 128) host->QueueMidi(0, 0x90, static_cast<std::uint8_t>(note), 100);
      }
    }
    host->ProcessReplacing(block);
    samples += block;
  }
  return 0;
}
