// Real-time factor of the whole engine (clock, MIDI grid, fifteen voices, mix) and the cost of
// creating an instance. "RTF" is seconds of audio rendered per second of CPU time on one core.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "engine/Rhythmoria.h"

namespace {

constexpr double kRate = 44100.0;

class BenchEngine {
 public:
  explicit BenchEngine(int blockSize) : mBlockSize(blockSize) {
    mPlug = std::make_unique<Rhythmoria>(IPlugInstanceInfo{});
    mPlug->SetHostSampleRate(kRate);
    mPlug->SetHostBlockSize(blockSize);
    mPlug->OnReset();
    mPlug->SetActive(true);
    mBuffers.assign(16, std::vector<double>(static_cast<std::size_t>(blockSize)));
    for (auto& b : mBuffers) mPointers.push_back(b.data());
  }

  void Set(int paramIdx, double value) {
    mPlug->GetParam(paramIdx)->SetClamped(value);
    mPlug->OnParameterChange(paramIdx);
  }

  void Block() {
    mPlug->ProcessBuffersDouble(nullptr, 0, mPointers.data(), 16, mBlockSize);
    benchmark::DoNotOptimize(mBuffers[0][0]);
  }

  Rhythmoria& Plug() { return *mPlug; }
  int BlockSize() const { return mBlockSize; }

 private:
  int mBlockSize;
  std::unique_ptr<Rhythmoria> mPlug;
  std::vector<std::vector<double>> mBuffers;
  std::vector<double*> mPointers;
};

void ReportRealTime(benchmark::State& state, int blockSize) {
  state.counters["RTF"] =
      benchmark::Counter(blockSize / kRate, benchmark::Counter::kIsIterationInvariantRate);
}

// Samba, Rock 1 and Swing together at 120 BPM: a busy but ordinary rhythm.
void BM_TypicalRhythm(benchmark::State& state) {
  const int block = static_cast<int>(state.range(0));
  BenchEngine engine(block);
  engine.Set(kRhythm1 + 1, 1.0);
  engine.Set(kRhythm1 + 6, 1.0);
  engine.Set(kRhythm1 + 9, 1.0);
  engine.Plug().ToggleRun(true);
  for (auto _ : state) engine.Block();
  ReportRealTime(state, block);
}
BENCHMARK(BM_TypicalRhythm)->Arg(512)->Arg(64)->Arg(32);

// Every voice sounding all the time: long decays, every note retriggered every block.
void BM_AllVoicesSounding(benchmark::State& state) {
  const int block = static_cast<int>(state.range(0));
  BenchEngine engine(block);
  for (int p = kBaseFrequency; p < kReservedFirst; ++p) {
    if (std::string(engine.Plug().GetParam(p)->Name()).find("Decay") != std::string::npos) {
      engine.Set(p, engine.Plug().GetParam(p)->Max());
    }
  }
  for (auto _ : state) {
    for (int k = 0; k < kNumInstruments; ++k) {
      const auto note = static_cast<std::uint8_t>(engine.Plug().GetVoice(k)->note);
      engine.Plug().OnMidiMessage(IMidiMessage(0, 0x90, note, 100));
    }
    engine.Block();
  }
  ReportRealTime(state, block);
}
BENCHMARK(BM_AllVoicesSounding)->Arg(512)->Arg(64)->Arg(32);

void BM_Instantiate(benchmark::State& state) {
  for (auto _ : state) {
    auto plug = std::make_unique<Rhythmoria>(IPlugInstanceInfo{});
    benchmark::DoNotOptimize(plug.get());
  }
}
BENCHMARK(BM_Instantiate)->Unit(benchmark::kMicrosecond);

}  // namespace
