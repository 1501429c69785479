#include "tests/support/FakeHost.h"

namespace testing_support {

bool HeadlessEditorsInstalled();

FakeHost::FakeHost() : Rhythmoria(IPlugInstanceInfo{}) {
  static_cast<void>(HeadlessEditorsInstalled());
  ResetRhythms();
  for (int k = 0; k < kNumInstruments; ++k) SetOutputRouting(k, true, 0);
  for (int i = 0; i < NParams(); ++i) GetParam(i)->SetClamped(GetParam(i)->Default());
  for (int i = 0; i < NParams(); ++i) OnParameterChange(i);
}

std::vector<std::vector<float>> FakeHost::RenderBlock(int frames) {
  std::vector<std::vector<float>> outputs(static_cast<std::size_t>(NOutChannels()),
                                          std::vector<float>(static_cast<std::size_t>(frames)));
  std::vector<float*> pointers;
  for (auto& channel : outputs) pointers.push_back(channel.data());
  // As the binding's audio callback does: the block holds the plug-in's mutex for its whole run.
  ScopedLock lock(GetMutex());
  ProcessBuffersReplacing(nullptr, 0, pointers.data(), static_cast<int>(pointers.size()), frames);
  return outputs;
}

std::vector<std::vector<double>> FakeHost::RenderDouble(int frames) {
  std::vector<std::vector<double>> outputs(static_cast<std::size_t>(NOutChannels()),
                                           std::vector<double>(static_cast<std::size_t>(frames)));
  std::vector<double*> pointers;
  for (auto& channel : outputs) pointers.push_back(channel.data());
  ScopedLock lock(GetMutex());
  ProcessBuffersDouble(nullptr, 0, pointers.data(), static_cast<int>(pointers.size()), frames);
  return outputs;
}

void FakeHost::Start(double sampleRate, int blockSize) {
  SetHostSampleRate(sampleRate);
  OnReset();
  SetHostBlockSize(blockSize);
  OnReset();
  SetActive(true);
}

void FakeHost::Set(int paramIdx, double value) {
  GetParam(paramIdx)->SetClamped(value);
  OnParameterChange(paramIdx);
}

std::vector<std::pair<int, int>> FakeHost::SentNoteOns() const {
  std::vector<std::pair<int, int>> notes;
  for (const IMidiMessage& msg : sentMidi) {
    if (msg.StatusNibble() == 0x9 && msg.mData2 > 0) notes.emplace_back(msg.mOffset, msg.mData1);
  }
  return notes;
}

}  // namespace testing_support
