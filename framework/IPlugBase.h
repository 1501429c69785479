#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "framework/ChunkBuffer.h"
#include "framework/IParameter.h"
#include "framework/IPlugConfig.h"
#include "framework/IPlugStructs.h"
#include "framework/IProgramSlot.h"

class IGraphics;

// Host-independent core of the plug-in: parameters, programs, pins, the processing frame that
// turns the host's buffers into the double-precision block the engine renders, identity, and one
// recursive mutex that serialises every host call, every editor-driven parameter change and every
// block of audio. Host bindings derive from it and implement the host-facing operations.
class IPlugBase {
 public:
  using Mutex = std::recursive_mutex;
  using ScopedLock = std::lock_guard<Mutex>;

  static constexpr std::size_t kNameSize = 128;

  explicit IPlugBase(const IPlugConfig& config);
  IPlugBase(const IPlugBase&) = delete;
  IPlugBase& operator=(const IPlugBase&) = delete;

  // Virtual operations, in their fixed order; empty hooks keep their places.
  virtual ~IPlugBase();
  virtual void OnReset();
  virtual void OnParameterChange(int paramIdx);
  virtual void ProcessAudio(double** inputs, double** outputs, int nFrames);
  virtual void EditorOpened() {}
  virtual void EditorClosed() {}
  virtual void HostIdle() {}
  virtual void SetActive(bool active);
  virtual void OnMidiMessage(const IMidiMessage& msg);
  virtual void HandleSysEx(const ISysExMessage& /*msg*/) {}
  virtual bool GetMidiKeyName(int key, char* text, std::size_t size);
  virtual bool SerializeState(ChunkBuffer& chunk);
  virtual int UnserializeState(const ChunkBuffer& chunk, int position);
  virtual bool StateEquals(const double* values, int start) const;
  virtual void EditorResized() {}
  virtual bool UnusedHook15() { return false; }
  virtual void HostIdentified() {}
  virtual void UnusedHook17() {}
  virtual void SetParamFromEditor(int paramIdx, double normalizedValue);
  virtual void BeginParamGesture(int paramIdx) = 0;
  virtual void ReportParamToHost(int paramIdx, double normalizedValue) = 0;
  virtual void EndParamGesture(int paramIdx) = 0;
  virtual void ReportProgramChangeToHost() = 0;
  virtual bool IsOfflineRender() { return false; }
  virtual int GetTransportSample() = 0;
  virtual double GetHostTempo() = 0;
  virtual void GetHostTimeSignature(int* numerator, int* denominator) = 0;
  virtual void GetTransportInfo(ITransportInfo* info) = 0;
  virtual int IdentifyHost() { return mHostKind; }
  virtual int GetPluginApi() const { return mPluginApi; }
  virtual void ResizeEditor(int width, int height) = 0;
  virtual void AdaptToHost() {}
  virtual void AttachEditor(IGraphics* graphics);
  virtual void SetProcessingDelay(int samples) { mLatency = samples; }
  virtual bool SendMidiToHost(const IMidiMessage& msg) = 0;
  virtual bool SendSysExToHost(const ISysExMessage& /*msg*/) { return false; }
  virtual void SyncEditorToParams();
  virtual int UnserializePresets(const ChunkBuffer& chunk, int position);
  virtual void ModifyCurrentPreset(const char* name = nullptr);
  virtual void UnusedHook39() {}
  virtual void ProgramsChangedByHost() {}
  virtual void SetHostSampleRate(double rate) { mSampleRate = rate; }
  virtual void SetHostBlockSize(int frames);
  // Bank loads without applying every program. When BeginNormalizingStates answers true (it is
  // asked once per bank, before its first slot), each slot's state goes through NormalizeState,
  // which appends to out exactly what SerializeState would write had UnserializeState(chunk,
  // position) just applied it, answering the position after the state or -1 when it is damaged;
  // only the program that becomes current is then applied. Engines that cannot tell without
  // applying keep the default, and every state is loaded through the engine.
  virtual bool BeginNormalizingStates() { return false; }
  virtual int NormalizeState(const ChunkBuffer& /*chunk*/, int /*position*/, ChunkBuffer& /*out*/) {
    return -1;
  }

  // Parameters.
  IParameter* GetParam(int paramIdx);
  const IParameter* GetParam(int paramIdx) const;
  int NParams() const { return static_cast<int>(mParams.size()); }
  void ReportAllParamsToHost();
  bool SerializeParams(ChunkBuffer& chunk) const;
  int UnserializeParams(const ChunkBuffer& chunk, int position);

  // Programs. RestoreProgram may run on the audio thread (MIDI program change): it allocates
  // nothing once the slots hold states, because empty slots keep room for one reserved.
  int NPrograms() const { return static_cast<int>(mPrograms.size()); }
  IProgramSlot* GetProgram(int programIdx);
  int GetCurrentProgram() const { return mCurrentProgram; }
  bool RestoreProgram(int index);
  // "" for an index outside the slots; valid until that slot is renamed.
  const char* GetProgramName(int index) const;
  void FillEmptyPrograms(const char* name, int count);
  bool SerializePresets(ChunkBuffer& chunk);

  // Chunks exchanged with the host. *data stays valid until the next exchange of the same kind
  // (program or bank). A programPathHost sends every chunk, banks included, as a program chunk.
  // A chunk answered with failure leaves the live state and every program as they were.
  bool WriteHostChunk(bool isBank, const std::uint8_t** data, int* size);
  bool ReadHostChunk(const std::uint8_t* data, int size, bool isBank, bool programPathHost);

  // Program and bank files. The memory forms read and write exactly the bytes of a file; a load
  // answered with failure leaves the live state and every program as they were.
  bool SaveProgramFile(const std::string& path);
  bool SaveBankFile(const std::string& path);
  bool LoadProgramFile(const std::string& path);
  bool LoadBankFile(const std::string& path);
  bool LoadProgramFromMemory(const std::uint8_t* data, std::size_t size);
  // permanentBytes: data lives as long as the plug-in (a resource of its own), so a program the
  // bank holds exactly as it would be stored now is read from data in place rather than copied.
  bool LoadBankFromMemory(const std::uint8_t* data, std::size_t size, bool permanentBytes = false);
  bool WriteProgramToMemory(ChunkBuffer& out);
  bool WriteBankToMemory(ChunkBuffer& out);

  // Channels.
  int NInChannels() const { return static_cast<int>(mInputPins.size()); }
  int NOutChannels() const { return static_cast<int>(mOutputPins.size()); }
  bool IsInChannelConnected(int channel) const;
  bool IsOutChannelConnected(int channel) const;
  void SetInputChannelConnected(int channel, bool connected);
  void SetOutputChannelConnected(int channel, bool connected);
  const std::string& GetOutputLabel(int channel) const;
  const std::string& GetInputLabel(int channel) const;
  void SetOutputLabel(int channel, const char* label);
  const std::vector<std::pair<int, int>>& ChannelIOPairs() const { return mChannelIO; }
  bool LegalIO() const;
  void AdjustPinsForHost();

  // Processing frame, called by the host binding with the mutex held (the frame does not take it
  // again: one lock per block). Host buffers are taken in order by connected channels only;
  // nHostIn / nHostOut say how many the host passed.
  void ProcessBuffersReplacing(const float* const* inputs, int nHostIn, float* const* outputs,
                               int nHostOut, int nFrames);
  void ProcessBuffersAccumulating(const float* const* inputs, int nHostIn, float* const* outputs,
                                  int nHostOut, int nFrames);
  void ProcessBuffersDouble(const double* const* inputs, int nHostIn, double* const* outputs,
                            int nHostOut, int nFrames);

  // Identity.
  const char* GetEffectName() const { return mEffectName; }
  const char* GetProductName() const { return mProductName; }
  const char* GetMfrName() const { return mMfrName; }
  std::int32_t GetUniqueID() const { return mUniqueID; }
  std::int32_t GetMfrID() const { return mMfrID; }
  // The version word, or its decimal form major*10000 + minor*100 + patch that hosts see.
  std::int32_t GetEffectVersion(bool decimal) const;
  bool DoesStateChunks() const { return mStateChunks; }
  bool IsInstrument() const { return mIsInstrument; }
  bool DoesMidi() const { return mDoesMidi; }
  bool IsBypassed() const { return mIsBypassed; }
  double GetSampleRate() const { return mSampleRate; }
  int GetBlockSize() const { return mBlockSize; }
  // A host block longer than the announced size is rendered in pieces. While one renders: where
  // the piece starts in the host's block, and the host block's length (0 outside the frame), so
  // that MIDI sent to the host counts from the start of the host's block.
  int HostBlockOffset() const { return mHostBlockOffset; }
  int HostBlockLength() const { return mHostBlockLength; }
  // While the frame renders a piece into buffers of its own, ProcessAudio may leave outputs in
  // which nothing sounds unwritten and report which outputs it did write (bit c for output c):
  // the others stand for samples of +0.0, which the frame hands the host as zeros without
  // converting. Called outside the frame, ProcessAudio writes every output itself.
  static constexpr int kMaxReportedOutputs = 64;
  bool FrameTakesSilence() const { return mFrameTakesSilence; }
  void ReportWrittenOutputs(std::uint64_t mask) {
    if (mFrameTakesSilence) mWrittenOutputs = mask;
  }
  int GetLatency() const { return mLatency; }
  std::uint32_t GetTailSize() const { return mTailSize; }
  int GetHostVersion() const { return mHostVersion; }

  IGraphics* GetGUI() const { return mGraphics.get(); }
  Mutex& GetMutex() const { return mMutex; }

 protected:
  struct InputPin {
    bool mConnected = true;
    int mChannel = 0;  // entry in the input pointer array
    std::vector<double> mScratch;
    std::string mLabel;
  };
  struct OutputPin {
    bool mConnected = true;
    int mChannel = 0;  // entry in the output pointer array
    std::vector<double> mScratch;
    std::string mLabel;
  };

  // Runs fn(offset, frames) over the block in pieces no longer than the scratch buffers, so a
  // host that sends more frames than it announced can never make us write past them.
  template <typename Fn>
  void ForEachPiece(int nFrames, Fn&& fn);
  void PointUnconnectedAtScratch();
  // Rebuilt whenever an output pin is connected or disconnected, never while a block renders.
  void ListConnectedOutputs();
  bool WasWritten(int channel) const {
    return channel >= kMaxReportedOutputs || ((mWrittenOutputs >> channel) & 1u) != 0;
  }
  void ProcessFloat(const float* const* inputs, int nHostIn, float* const* outputs, int nHostOut,
                    int nFrames, bool accumulate);

  // Everything a failed read must give back: the live state, the slots and the current index.
  struct Snapshot {
    ChunkBuffer mLive;
    bool mLiveValid = false;
    std::vector<IProgramSlot> mPrograms;
    int mCurrentProgram = 0;
  };
  void TakeSnapshot(Snapshot& snapshot);
  void RollBack(Snapshot& snapshot);
  // Gives every empty slot room for a state, so RestoreProgram can fill it without allocating.
  void ReserveEmptySlots();
  // Set while LoadBankFromMemory reads bytes that outlive the plug-in.
  bool mBankBytesPermanent = false;
  // The 64 slots, then the current program when the chunk records it; -1 on failure.
  int ReadBankChunk(const ChunkBuffer& chunk, int position);
  // A state followed by an optional program name, stored into the current slot; -1 on failure.
  int ReadProgramChunk(const ChunkBuffer& chunk, int position);

  std::vector<std::pair<int, int>> mChannelIO;
  mutable Mutex mMutex;
  char mEffectName[kNameSize] = {};
  char mProductName[kNameSize] = {};
  char mMfrName[kNameSize] = {};
  std::int32_t mUniqueID;
  std::int32_t mMfrID;
  std::int32_t mVersion;
  std::int32_t mPluginApi;
  std::int32_t mHostKind = -1;
  std::int32_t mHostVersion = 0;
  bool mStateChunks;
  bool mIsInstrument;
  bool mDoesMidi;
  bool mIsBypassed = false;
  int mCurrentProgram = 0;
  double mSampleRate = 44100.0;
  int mBlockSize = 0;
  int mHostBlockOffset = 0;
  int mHostBlockLength = 0;
  bool mFrameTakesSilence = false;
  std::uint64_t mWrittenOutputs = ~std::uint64_t{0};
  int mLatency;
  std::uint32_t mTailSize = 0;
  std::vector<IParameter> mParams;
  std::unique_ptr<IGraphics> mGraphics;
  std::vector<IProgramSlot> mPrograms;
  std::vector<double*> mInputPtrs;
  std::vector<double*> mOutputPtrs;
  std::vector<InputPin> mInputPins;
  std::vector<OutputPin> mOutputPins;
  // The channels of the connected outputs, in the order the host's buffers are handed to them.
  std::vector<int> mConnectedOutputs;
  // Whether every entry of mOutputPtrs points at its pin's scratch buffer, as the single-precision
  // frame renders; the double-precision frame points connected outputs at the host's buffers.
  bool mOutputPtrsAtScratch = false;
  ChunkBuffer mProgramExchange;
  ChunkBuffer mBankExchange;
};
