// The checks a plug-in validator runs against a binary, through our host: many rates and block
// sizes, clean output, display texts that read back, state that restores, and parameter changes
// from a second thread while blocks run.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "engine/Rhythmoria.h"
#include "tests/e2e/PluginFixture.h"

namespace {

using vsthost::HostSettings;
using vsthost::PluginHost;

// Renders frames in blocks, failing on any NaN, infinite or subnormal sample; answers the peak
// of the sum output.
float RenderClean(PluginHost& host, int block, int frames) {
  float peak = 0.0f;
  for (int done = 0; done < frames; done += block) {
    const int n = std::min(block, frames - done);
    host.ProcessReplacing(n);
    for (int c = 0; c < host.NumOutputs(); ++c) {
      if (e2e::HasBadSample(host.Output(c), n)) {
        ADD_FAILURE() << "bad sample in channel " << c << " near frame " << done;
        return peak;
      }
    }
    for (int s = 0; s < n; ++s) peak = std::max(peak, std::fabs(host.Output(0)[s]));
  }
  return peak;
}

class RateTest : public ::testing::TestWithParam<int> {};

TEST_P(RateTest, EveryBlockSizeRendersCleanSound) {
  for (int block : {32, 64, 128, 256, 512, 1024}) {
    HostSettings settings;
    settings.sampleRate = GetParam();
    settings.blockSize = block;
    auto host = e2e::LoadPlugin(settings);
    ASSERT_TRUE(host);
    e2e::StartRhythm(*host);
    EXPECT_GT(RenderClean(*host, block, GetParam()), 0.0f) << "block " << block;
  }
}

INSTANTIATE_TEST_SUITE_P(Rates, RateTest, ::testing::Values(44100, 48000, 96000));

TEST(ValidationTest, RateChangeWhileActive) {
  auto host = e2e::LoadPlugin();
  ASSERT_TRUE(host);
  e2e::StartRhythm(*host);
  EXPECT_GT(RenderClean(*host, 512, 44100), 0.0f);
  host->Settings().sampleRate = 96000.0;
  host->Dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f);
  EXPECT_GT(RenderClean(*host, 512, 96000), 0.0f);
}

TEST(ValidationTest, EveryDisplayTextReadsBack) {
  Rhythmoria table{IPlugInstanceInfo{}};
  auto host = e2e::LoadPlugin();
  ASSERT_TRUE(host);
  int checked = 0;
  for (int i = 0; i < table.NParams(); ++i) {
    for (const DisplayTextEntry& entry : table.GetParam(i)->DisplayTexts()) {
      EXPECT_TRUE(host->SetParameterText(i, entry.text)) << i << " " << entry.text;
      EXPECT_EQ(host->ParamDisplay(i), entry.text) << i;
      ++checked;
    }
  }
  EXPECT_GT(checked, 20);
}

TEST(ValidationTest, StateSavedRandomisedAndRestoredExactly) {
  auto host = e2e::LoadPlugin();
  ASSERT_TRUE(host);
  e2e::StartRhythm(*host);
  const std::vector<std::uint8_t> state = host->GetChunk(true);
  std::vector<float> saved;
  for (int i = 0; i < host->NumParams(); ++i) saved.push_back(host->GetParameter(i));
  std::srand(11);
  for (int i = 0; i < host->NumParams(); ++i) {
    host->SetParameter(i, static_cast<float>(std::rand()) / static_cast<float>(RAND_MAX));
  }
  RenderClean(*host, 512, 8192);
  ASSERT_TRUE(host->SetChunk(state, true));
  for (int i = 0; i < host->NumParams(); ++i) EXPECT_EQ(host->GetParameter(i), saved[i]) << i;
}

// Parameter callbacks from one thread while the audio thread renders: the plug-in's mutex keeps
// them apart (run under ThreadSanitizer to see a race that does not crash).
TEST(ValidationTest, ParametersFromASecondThreadWhileBlocksRun) {
  auto host = e2e::LoadPlugin();
  ASSERT_TRUE(host);
  e2e::StartRhythm(*host);
  AEffect* effect = host->Effect();
  const int power = host->FindParameter("Power");
  const int rhythm = host->FindParameter("Rhythm 1");
  std::atomic<bool> done{false};
  std::thread automation([&] {
    unsigned seed = 5;
    while (!done.load()) {
      seed = seed * 1103515245u + 12345u;
      const int index = static_cast<int>((seed >> 8) % 146);
      if (index == power || index == rhythm) continue;
      effect->setParameter(effect, index, static_cast<float>((seed >> 4) & 0xFFF) / 4095.0f);
      effect->getParameter(effect, index);
    }
  });
  RenderClean(*host, 256, 3 * 44100);
  done = true;
  automation.join();
}

}  // namespace
