// What 32-sample blocks cost per sample against 512-sample blocks, for the typical rhythm, timed
// so that a shared machine's busy spells fall on both sizes alike:
//
//   block_size_ratio PLUGIN [TRIALS]
//
// Two instances play the same rhythm in one process, one in blocks of 512 samples, one in
// blocks of 32; they take turns, each rendering the same stretch of 16384 samples per trial
// (2000 trials unless given). Prints each size's median nanoseconds per sample over the trials,
// the ratio of their total times, and the median of the trials' own ratios. The settings file
// must map controller 20 to the play switch (see TypicalRhythm.h).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "bench/driver/TypicalRhythm.h"
#include "host/PluginHost.h"

namespace {

constexpr int kSamplesPerTrial = 16384;

struct Player {
  std::unique_ptr<vsthost::PluginHost> host;
  int block = 0;
  std::vector<double> nsPerSample;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: block_size_ratio PLUGIN [TRIALS]\n");
    return 2;
  }
  const int trials = argc == 3 ? std::atoi(argv[2]) : 2000;
  if (trials <= 0) {
    std::fprintf(stderr, "TRIALS must be positive\n");
    return 2;
  }
  Player players[2];
  for (int p = 0; p < 2; ++p) {
    vsthost::HostSettings settings;
    settings.blockSize = p == 0 ? 512 : 32;
    settings.playing = false;
    std::string error;
    players[p].host = vsthost::PluginHost::Load(argv[1], settings, &error);
    if (!players[p].host) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    players[p].block = settings.blockSize;
    bench::SetUpScenario(*players[p].host, true);
  }
  for (int t = 0; t < trials; ++t) {
    for (Player& player : players) {
      const auto start = std::chrono::steady_clock::now();
      for (int done = 0; done < kSamplesPerTrial; done += player.block) {
        player.host->ProcessReplacing(player.block);
      }
      const std::chrono::duration<double, std::nano> took =
          std::chrono::steady_clock::now() - start;
      player.nsPerSample.push_back(took.count() / kSamplesPerTrial);
    }
  }
  const std::vector<double>& large = players[0].nsPerSample;
  const std::vector<double>& small = players[1].nsPerSample;
  std::vector<double> ratios(large.size());
  for (std::size_t t = 0; t < large.size(); ++t) ratios[t] = small[t] / large[t];
  const double totalLarge = std::accumulate(large.begin(), large.end(), 0.0);
  const double totalSmall = std::accumulate(small.begin(), small.end(), 0.0);
  std::printf("512-sample blocks: %.3f ns per sample (median of %d trials)\n", Median(large),
              trials);
  std::printf("32-sample blocks: %.3f ns per sample\n", Median(small));
  std::printf("32 against 512, per sample: %.3f (total times), %.3f (median of the trials)\n",
              totalSmall / totalLarge, Median(ratios));
  return 0;
}
