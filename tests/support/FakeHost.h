#pragma once

#include <utility>
#include <vector>

#include "engine/Rhythmoria.h"
#include "framework/IPlugStructs.h"

namespace testing_support {

// The engine under a scripted host: answers transport queries from `transport`, records what the
// plug-in reports and the MIDI it sends. Engine tests drive the real class chain through it.
class FakeHost : public Rhythmoria {
 public:
  // Starts from the default sound (every parameter at its default, factory rhythms, everything
  // routed to the sum) rather than from the first factory program, so tests can change one thing
  // at a time. The programs themselves stay as loaded.
  FakeHost();

  void ReportParamToHost(int paramIdx, double normalizedValue) override {
    reportedParams.emplace_back(paramIdx, normalizedValue);
  }
  bool SendMidiToHost(const IMidiMessage& msg) override {
    sentMidi.push_back(msg);
    return true;
  }
  double GetHostTempo() override { return transport.mTempo; }
  int GetTransportSample() override { return static_cast<int>(transport.mSamplePos + 0.5); }
  void GetTransportInfo(ITransportInfo* info) override { *info = transport; }

  // Renders one block into 16 float outputs through the host-facing processing frame.
  std::vector<std::vector<float>> RenderBlock(int frames);
  // Renders one block straight through the engine, in double precision.
  std::vector<std::vector<double>> RenderDouble(int frames);

  // Starts the plug-in the way a host does: rate, block size, activation.
  void Start(double sampleRate = 44100.0, int blockSize = 512);
  // Sets a parameter's plain value and applies it.
  void Set(int paramIdx, double value);
  // Note-ons the plug-in sent to the host, as (offset, note) in sending order.
  std::vector<std::pair<int, int>> SentNoteOns() const;

  // Moves the engine's running sample count, to test what happens where it wraps.
  void JumpSampleCounter(std::uint32_t value) { mSampleCounter = value; }
  Sequencer& GetSequencerForTest() { return mSequencer; }

  ITransportInfo transport;
  std::vector<std::pair<int, double>> reportedParams;
  std::vector<IMidiMessage> sentMidi;
};

}  // namespace testing_support
