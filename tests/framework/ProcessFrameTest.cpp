#include <gtest/gtest.h>
#include <cstdio>

#include <algorithm>
#include <cmath>
#include <vector>

#include "framework/DenormalGuard.h"
#include "framework/IPlugBase.h"
#include "framework/WideVectors.h"

namespace {

// A bare plug-in base with no inputs and sixteen outputs; it records what the processing frame
// hands to ProcessAudio.
class FramePlug : public IPlugBase {
 public:
  static IPlugConfig Config() {
    IPlugConfig config;
    config.effectName = "Frame";
    config.channelIOString = "0-2 0-4 0-6 0-8 0-10 0-12 0-14 0-16";
    config.nParams = 3;
    config.nPrograms = 2;
    config.version = 0x00010106;
    return config;
  }

  FramePlug() : IPlugBase(Config()) {
    for (int i = 0; i < NParams(); ++i) {
      GetParam(i)->InitContinuous("p", 0.0, 0.0, 1.0, 0.01, 1.0);
    }
  }

  void ProcessAudio(double** inputs, double** outputs, int nFrames) override {
    ++calls;
    framesSeen.push_back(nFrames);
    if (silent) {
      tookSilence.push_back(FrameTakesSilence());
      // Output 1 is written, the rest left to the frame.
      for (int s = 0; s < nFrames; ++s) outputs[1][s] = 0.5;
      if (FrameTakesSilence()) return ReportWrittenOutputs(std::uint64_t{1} << 1);
      for (int c = 0; c < NOutChannels(); ++c) {
        if (c != 1) std::fill(outputs[c], outputs[c] + nFrames, 0.0);
      }
      return;
    }
    if (!render) return IPlugBase::ProcessAudio(inputs, outputs, nFrames);
    for (int c = 0; c < NOutChannels(); ++c) {
      for (int s = 0; s < nFrames; ++s) outputs[c][s] = render(c, s);
    }
  }

  void BeginParamGesture(int) override {}
  void ReportParamToHost(int idx, double value) override { reported.emplace_back(idx, value); }
  void EndParamGesture(int) override {}
  void ReportProgramChangeToHost() override {}
  int GetTransportSample() override { return 0; }
  double GetHostTempo() override { return 0.0; }
  void GetHostTimeSignature(int*, int*) override {}
  void GetTransportInfo(ITransportInfo*) override {}
  void ResizeEditor(int, int) override {}
  bool SendMidiToHost(const IMidiMessage&) override { return false; }
  void OnParameterChange(int idx) override { changed.push_back(idx); }

  double (*render)(int channel, int sample) = nullptr;
  // Renders nothing, leaving the silence to the frame whenever it takes it.
  bool silent = false;
  std::vector<bool> tookSilence;
  int calls = 0;
  std::vector<int> framesSeen;
  std::vector<std::pair<int, double>> reported;
  std::vector<int> changed;
};

class ProcessFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plug.SetHostBlockSize(64);
    buffers.assign(16, std::vector<float>(64, 7.0f));
    for (auto& b : buffers) pointers.push_back(b.data());
  }

  FramePlug plug;
  std::vector<std::vector<float>> buffers;
  std::vector<float*> pointers;
};

TEST_F(ProcessFrameTest, ChannelLayoutComesFromTheIOString) {
  EXPECT_EQ(plug.NInChannels(), 0);
  EXPECT_EQ(plug.NOutChannels(), 16);
  EXPECT_EQ(plug.ChannelIOPairs().size(), 8u);
  EXPECT_FALSE(plug.LegalIO());
  EXPECT_EQ(plug.GetEffectVersion(true), 10106);
  EXPECT_EQ(plug.GetEffectVersion(false), 0x00010106);
  EXPECT_EQ(plug.NPrograms(), 2);
  EXPECT_EQ(plug.GetProgram(0)->mName, "empty");
  EXPECT_EQ(plug.GetProgram(2), nullptr);
  EXPECT_EQ(plug.GetParam(3), nullptr);
  EXPECT_EQ(plug.GetParam(-1), nullptr);
}

TEST_F(ProcessFrameTest, DefaultProcessingZeroFillsEveryOutput) {
  plug.ProcessBuffersReplacing(nullptr, 0, pointers.data(), 16, 64);
  for (const auto& channel : buffers) {
    for (float s : channel) ASSERT_EQ(s, 0.0f);
  }
}

TEST_F(ProcessFrameTest, ReplacingNarrowsAndAccumulatingAdds) {
  plug.render = [](int channel, int sample) { return channel + sample * 0.1 + 1e-12; };
  plug.ProcessBuffersReplacing(nullptr, 0, pointers.data(), 16, 64);
  EXPECT_EQ(buffers[3][5], static_cast<float>(3 + 0.5 + 1e-12));

  plug.ProcessBuffersAccumulating(nullptr, 0, pointers.data(), 16, 64);
  EXPECT_EQ(buffers[3][5], static_cast<float>(3 + 0.5 + 1e-12) * 2.0f);
  EXPECT_EQ(buffers[15][63], static_cast<float>(15 + 6.3 + 1e-12) * 2.0f);
}

TEST_F(ProcessFrameTest, UnconnectedOutputsAreRenderedButNotCopied) {
  plug.SetOutputChannelConnected(2, false);
  plug.render = [](int channel, int) { return channel + 100.0; };
  // Host buffers go to connected channels in order: channel 3 takes the third buffer.
  plug.ProcessBuffersReplacing(nullptr, 0, pointers.data(), 15, 64);
  EXPECT_EQ(buffers[0][0], 100.0f);
  EXPECT_EQ(buffers[1][0], 101.0f);
  EXPECT_EQ(buffers[2][0], 103.0f);
  EXPECT_EQ(buffers[14][0], 115.0f);
  EXPECT_EQ(buffers[15][0], 7.0f) << "the sixteenth buffer was not handed over";
}

TEST_F(ProcessFrameTest, DoublePathWritesStraightIntoHostBuffers) {
  std::vector<std::vector<double>> doubles(16, std::vector<double>(64, 9.0));
  std::vector<double*> doublePointers;
  for (auto& b : doubles) doublePointers.push_back(b.data());
  plug.render = [](int channel, int sample) { return channel * 1000.0 + sample + 1e-12; };
  plug.ProcessBuffersDouble(nullptr, 0, doublePointers.data(), 16, 64);
  EXPECT_EQ(doubles[4][9], 4009.0 + 1e-12);
}

TEST_F(ProcessFrameTest, OutputsLeftUnwrittenReachTheHostAsZeros) {
  plug.silent = true;
  plug.SetOutputChannelConnected(2, false);
  plug.ProcessBuffersReplacing(nullptr, 0, pointers.data(), 15, 64);
  EXPECT_EQ(buffers[1][63], 0.5f);
  for (int c = 0; c < 15; ++c) {
    if (c == 1) continue;
    for (float s : buffers[c]) ASSERT_EQ(std::signbit(s) ? -1.0f : s, 0.0f) << "channel " << c;
  }
  EXPECT_EQ(buffers[15][0], 7.0f) << "the sixteenth buffer was not handed over";

  buffers[0].assign(64, -0.0f);
  plug.ProcessBuffersAccumulating(nullptr, 0, pointers.data(), 15, 64);
  EXPECT_FALSE(std::signbit(buffers[0][0])) << "accumulating adds +0.0 as before";

  std::vector<std::vector<double>> doubles(16, std::vector<double>(64, 9.0));
  std::vector<double*> doublePointers;
  for (auto& b : doubles) doublePointers.push_back(b.data());
  plug.ProcessBuffersDouble(nullptr, 0, doublePointers.data(), 15, 64);
  EXPECT_EQ(doubles[0][0], 0.0);
  EXPECT_EQ(doubles[1][0], 0.5);
  EXPECT_EQ(doubles[14][63], 0.0);
  EXPECT_EQ(doubles[15][0], 9.0);
  EXPECT_EQ(plug.tookSilence, (std::vector<bool>{true, false, true}));

  double* direct[16];
  for (int c = 0; c < 16; ++c) direct[c] = doubles[c].data();
  doubles[15].assign(64, 9.0);
  plug.ProcessAudio(nullptr, direct, 64);
  EXPECT_EQ(doubles[15][0], 0.0) << "called outside the frame, the engine writes its outputs";
}

// Silent outputs are cleared with stores that overlap for short blocks: exactly the block's
// samples become zeros, whatever its length, and the samples after it stay the host's. Rendered
// outputs are each sample narrowed to float. With 128-bit vectors and (where the processor has
// them) 256-bit and 512-bit ones.
TEST_F(ProcessFrameTest, SilentOutputsClearExactlyTheBlockAndRenderedOnesNarrowEachSample) {
  const bool wideVectors = WideVectors::enabled;
  const bool widestVectors = WideVectors::widest;
  for (const int bits : {128, 256, 512}) {
    const bool wide = bits > 128;
    if ((wide && !wideVectors) || (bits == 512 && !widestVectors)) {
      std::printf("[ SKIPPED  ] %d-bit vectors: this processor lacks them\n", bits);
      continue;
    }
    WideVectors::enabled = wide;
    WideVectors::widest = bits == 512;
    for (int n : {1, 5, 16, 20, 32, 33, 47, 63}) {
      plug.silent = true;
      for (auto& b : buffers) b.assign(64, 7.0f);
      plug.ProcessBuffersReplacing(nullptr, 0, pointers.data(), 16, n);
      for (int c : {0, 2, 15}) {
        for (int s = 0; s < 64; ++s) {
          ASSERT_EQ(buffers[c][s], s < n ? 0.0f : 7.0f)
              << n << " frames, channel " << c << ", " << s << ", " << bits << "-bit";
        }
      }
      EXPECT_EQ(buffers[1][n - 1], 0.5f);

      plug.silent = false;
      plug.render = [](int channel, int sample) { return (channel + 1) * 0.37 + sample * 0.0131; };
      plug.ProcessBuffersReplacing(nullptr, 0, pointers.data(), 16, n);
      for (int s = 0; s < 64; ++s) {
        ASSERT_EQ(buffers[9][s], s < n ? static_cast<float>((9 + 1) * 0.37 + s * 0.0131) : 7.0f)
            << n << " frames, sample " << s << ", " << bits << "-bit";
      }
    }
  }
  WideVectors::enabled = wideVectors;
  WideVectors::widest = widestVectors;
}

// Hosts sometimes send more frames than they announced; the scratch buffers hold only the
// announced block, so the frame must render in pieces rather than write past them.
TEST_F(ProcessFrameTest, OversizedHostBlockIsRenderedInPieces) {
  std::vector<std::vector<float>> big(16, std::vector<float>(150, 7.0f));
  std::vector<float*> bigPointers;
  for (auto& b : big) bigPointers.push_back(b.data());
  plug.render = [](int, int sample) { return static_cast<double>(sample); };
  plug.ProcessBuffersReplacing(nullptr, 0, bigPointers.data(), 16, 150);
  EXPECT_EQ(plug.framesSeen, (std::vector<int>{64, 64, 22}));
  EXPECT_EQ(big[0][149], 21.0f);

  plug.ProcessBuffersReplacing(nullptr, 0, bigPointers.data(), 16, 0);
  plug.ProcessBuffersReplacing(nullptr, 0, bigPointers.data(), 16, -5);
  EXPECT_EQ(plug.calls, 3);
}

TEST_F(ProcessFrameTest, BlockSizeResizeZeroFillsScratch) {
  plug.render = [](int, int) { return 5.0; };
  plug.SetOutputChannelConnected(7, false);
  plug.ProcessBuffersReplacing(nullptr, 0, pointers.data(), 16, 64);
  plug.SetHostBlockSize(128);
  EXPECT_EQ(plug.GetBlockSize(), 128);
  plug.render = nullptr;
  std::vector<std::vector<float>> big(16, std::vector<float>(128, 7.0f));
  std::vector<float*> bigPointers;
  for (auto& b : big) bigPointers.push_back(b.data());
  plug.ProcessBuffersReplacing(nullptr, 0, bigPointers.data(), 16, 128);
  EXPECT_EQ(plug.framesSeen.back(), 128);
}

TEST_F(ProcessFrameTest, EditorChangesAreAppliedReportedAndNotified) {
  plug.SetParamFromEditor(1, 0.25);
  EXPECT_EQ(plug.GetParam(1)->Value(), 0.25);
  ASSERT_EQ(plug.reported.size(), 1u);
  EXPECT_EQ(plug.reported[0], std::make_pair(1, 0.25));
  EXPECT_EQ(plug.changed, std::vector<int>{1});

  plug.SetParamFromEditor(99, 0.5);
  EXPECT_EQ(plug.reported.size(), 1u) << "an unknown index changes nothing";
}

TEST_F(ProcessFrameTest, StateEqualsToleratesSinglePrecisionNoise) {
  plug.GetParam(0)->SetValue(0.3);
  plug.GetParam(1)->SetValue(0.6);
  plug.GetParam(2)->SetValue(0.9);
  const double same[] = {0.3 + 4e-6, 0.6, 0.9 - 4e-6};
  const double different[] = {0.3, 0.6 + 2e-5, 0.9};
  EXPECT_TRUE(plug.StateEquals(same, 0));
  EXPECT_FALSE(plug.StateEquals(different, 0));
}

TEST_F(ProcessFrameTest, UnserializeParamsStopsWhereTheDataEnds) {
  for (int i = 0; i < 3; ++i) plug.GetParam(i)->SetValue(0.7);
  ChunkBuffer chunk;
  chunk.PutBytes(0.25);
  chunk.PutBytes(9.0);  // beyond the range: clamped
  EXPECT_EQ(plug.UnserializeParams(chunk, 0), -1);
  EXPECT_EQ(plug.GetParam(0)->Value(), 0.25);
  EXPECT_EQ(plug.GetParam(1)->Value(), 1.0);
  EXPECT_EQ(plug.GetParam(2)->Value(), 0.0) << "the parameter where the data ran out gets 0";
  EXPECT_EQ(plug.changed, (std::vector<int>{0, 1, 2}));

  ChunkBuffer full;
  ASSERT_TRUE(plug.SerializeParams(full));
  EXPECT_EQ(full.Size(), 24);
  EXPECT_EQ(plug.UnserializeParams(full, 0), 24);
}

}  // namespace

#ifdef RHYTHMORIA_HAS_MXCSR
// Blocks render with denormals flushed, and the host gets its own floating-point mode back,
// whether or not it had flushing on already.
TEST(DenormalGuardTest, FlushesInsideAndRestoresTheCallersMode) {
  const unsigned original = _mm_getcsr();
  constexpr unsigned kFlush = 0x8040;
  for (const unsigned callers :
       {original & ~kFlush, original | kFlush, (original & ~kFlush) | 0x8000}) {
    _mm_setcsr(callers);
    {
      DenormalGuard guard;
      EXPECT_EQ(_mm_getcsr() & kFlush, kFlush);
    }
    EXPECT_EQ(_mm_getcsr(), callers);
  }
  _mm_setcsr(original);
}
#endif
