#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "framework/vst2/VstInterface.h"

namespace vsthost {

// How our host presents itself and its transport to a plug-in.
struct HostSettings {
  std::string product = "Rhythmoria Host";
  std::string vendor = "Morvane Music";
  VstIntPtr vendorVersion = 10106;
  double sampleRate = 44100.0;
  int blockSize = 512;
  double tempo = 120.0;
  int timeSigNumerator = 4;
  int timeSigDenominator = 4;
  bool playing = true;
  bool answerTime = true;  // false: audioMasterGetTime answers no time information
  VstInt32 processLevel = kVstProcessLevelOffline;
};

// A MIDI message the plug-in sent, at its absolute sample position in the render.
struct MidiOut {
  std::int64_t frame = 0;
  std::uint8_t status = 0;
  std::uint8_t data1 = 0;
  std::uint8_t data2 = 0;
};

// One host-facing report of the plug-in: automation, gesture start or end.
struct HostReport {
  VstInt32 opcode = 0;
  VstInt32 index = 0;
  float value = 0.0f;
};

class PluginLibrary;

// One VST2 plug-in instance loaded from a binary and driven like a DAW would: it answers the
// plug-in's host callback (identity, transport, MIDI out, automation) and renders blocks into
// buffers it owns. Rendering and parameter calls may come from different threads; the records
// of what the plug-in sent are guarded.
class PluginHost {
 public:
  // Loads the binary and creates an instance; null with a message in *error when either fails.
  static std::unique_ptr<PluginHost> Load(const std::string& path, const HostSettings& settings,
                                          std::string* error);
  // An instance made by an entry function linked into this program (a plug-in built in).
  using EntryPoint = AEffect* (*)(audioMasterCallback);
  static std::unique_ptr<PluginHost> Create(EntryPoint entry, const HostSettings& settings,
                                            std::string* error);
  ~PluginHost();
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  AEffect* Effect() const { return mEffect; }
  HostSettings& Settings() { return mSettings; }
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);

  // effOpen, the sample rate and block size of the settings, then processing on.
  void Start();
  void SetMains(bool on);

  std::string EffectName();
  std::string Vendor();
  std::string Product();
  std::string ParamName(int index);
  std::string ParamLabel(int index);
  std::string ParamDisplay(int index);
  std::string ProgramName(int index);
  int NumParams() const { return mEffect->numParams; }
  int NumPrograms() const { return mEffect->numPrograms; }
  int NumOutputs() const { return mEffect->numOutputs; }

  float GetParameter(int index);
  void SetParameter(int index, float value);
  // effString2Parameter: true when the plug-in took the text.
  bool SetParameterText(int index, const std::string& text);
  // The parameter whose name equals name (letter case ignored), or -1.
  int FindParameter(const std::string& name);
  void SetProgram(int index);
  int CurrentProgram();
  // The program named name: exact first, then ignoring letter case; -1 when none.
  int FindProgram(const std::string& name);

  std::vector<std::uint8_t> GetChunk(bool bank);
  bool SetChunk(const std::vector<std::uint8_t>& data, bool bank);

  // A MIDI message delivered with effProcessEvents before the next block.
  void QueueMidi(int deltaFrames, std::uint8_t status, std::uint8_t data1, std::uint8_t data2);

  // Render frames into the output buffers (which hold at least the block size) and advance the
  // transport while it plays.
  void ProcessReplacing(int frames);
  void ProcessAccumulating(int frames);
  void ProcessDouble(int frames);
  float* Output(int channel) { return mOutputs[channel].data(); }
  double* OutputDouble(int channel) { return mOutputsDouble[channel].data(); }
  std::int64_t Position() const { return mPosition; }
  void SetPosition(std::int64_t frame) { mPosition = frame; }

  // What the plug-in sent; taking clears the record.
  std::vector<MidiOut> TakeMidiOut();
  std::vector<HostReport> TakeReports();
  // How often the plug-in called a host opcode.
  int CallCount(VstInt32 opcode) const;

 private:
  PluginHost(std::unique_ptr<PluginLibrary> library, const HostSettings& settings);
  static std::unique_ptr<PluginHost> Make(std::unique_ptr<PluginLibrary> library, EntryPoint entry,
                                          const HostSettings& settings, std::string* error);
  static VstIntPtr VSTCALLBACK Callback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                        VstIntPtr value, void* ptr, float opt);
  VstIntPtr Answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
  const VstTimeInfo* FillTime();
  void SendQueuedMidi();
  // Grows the buffers to frames; the first test is inline, since it runs before every block.
  void SizeBuffers(int frames) {
    if (frames > mBufferFrames || mEffect->numOutputs != mBufferChannels) ResizeBuffers(frames);
  }
  void ResizeBuffers(int frames);
  std::string Text(VstInt32 opcode, int index);

  std::unique_ptr<PluginLibrary> mLibrary;
  AEffect* mEffect = nullptr;
  HostSettings mSettings;
  VstTimeInfo mTime = {};
  std::int64_t mPosition = 0;  // sample position of the next block
  std::int64_t mBlockStart = 0;

  std::vector<std::vector<float>> mOutputs;
  std::vector<std::vector<double>> mOutputsDouble;
  std::vector<float*> mOutputPtrs;
  std::vector<double*> mOutputDoublePtrs;
  int mBufferFrames = 0;
  int mBufferChannels = -1;

  std::vector<VstMidiEvent> mMidiIn;
  std::vector<std::uint8_t> mEventsStorage;

  std::mutex mRecordLock;
  std::vector<MidiOut> mMidiOut;
  std::vector<HostReport> mReports;
  std::array<std::atomic<int>, 64> mCallCounts{};
};

}  // namespace vsthost
