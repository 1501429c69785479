// What 32-sample blocks cost per sample against 512-sample blocks, for the typical rhythm, timed
// so that a shared machine's busy spells fall on both sizes alike:
//
//   block_size_ratio PLUGIN... [TRIALS]
//
// Two instances play the same rhythm in one process, one in blocks of 512 samples, one in
// blocks of 32; they take turns, each rendering the same stretch of 16384 samples per trial
// (2000 trials unless given). Given several builds of the plug-in, each gets its pair of
// instances and all take turns, so that builds compare in the same conditions. Prints each size's
// median nanoseconds per sample over the trials, the ratio of their total times, and the median of
// the trials' own ratios. With STOPPED in the environment the clock stands and nothing sounds,
// which leaves the cost of the block itself. The settings file must map controller 20 to the play
// switch (see TypicalRhythm.h).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

bool IsCount(const char* text) {
  return *text != '\0' && std::strspn(text, "0123456789") == std::strlen(text);
}

}  // namespace

int main(int argc, char** argv) {
  int trials = 2000;
  std::vector<std::string> plugins(argv + 1, argv + argc);
  if (plugins.size() >= 2 && IsCount(plugins.back().c_str())) {
    trials = std::atoi(plugins.back().c_str());
    plugins.pop_back();
  }
  if (plugins.empty()) {
    std::fprintf(stderr, "usage: block_size_ratio PLUGIN... [TRIALS]\n");
    return 2;
  }
  if (trials <= 0) {
    std::fprintf(stderr, "TRIALS must be positive\n");
    return 2;
  }
  // Two players per plug-in, 512 then 32; every player renders its stretch in every trial.
  std::vector<Player> players(2 * plugins.size());
  for (std::size_t p = 0; p < players.size(); ++p) {
    vsthost::HostSettings settings;
    settings.blockSize = p % 2 == 0 ? 512 : 32;
    settings.playing = false;
    std::string error;
    players[p].host = vsthost::PluginHost::Load(plugins[p / 2], settings, &error);
    if (!players[p].host) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    players[p].block = settings.blockSize;
    bench::SetUpScenario(*players[p].host, std::getenv("STOPPED") == nullptr);
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
  for (std::size_t p = 0; p < plugins.size(); ++p) {
    const std::vector<double>& large = players[2 * p].nsPerSample;
    const std::vector<double>& small = players[2 * p + 1].nsPerSample;
    std::vector<double> ratios(large.size());
    for (std::size_t t = 0; t < large.size(); ++t) ratios[t] = small[t] / large[t];
    const double totalLarge = std::accumulate(large.begin(), large.end(), 0.0);
    const double totalSmall = std::accumulate(small.begin(), small.end(), 0.0);
    if (plugins.size() > 1) std::printf("%s\n", plugins[p].c_str());
    std::printf("512-sample blocks: %.3f ns per sample (median of %d trials)\n", Median(large),
                trials);
    std::printf("32-sample blocks: %.3f ns per sample\n", Median(small));
    std::printf("32 against 512, per sample: %.3f (total times), %.3f (median of the trials)\n",
                totalSmall / totalLarge, Median(ratios));
  }
  return 0;
}
