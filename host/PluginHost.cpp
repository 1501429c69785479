#include "host/PluginHost.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "host/SharedLibrary.h"

namespace vsthost {

namespace {

constexpr VstIntPtr kHostVstVersion = 2400;
// Every text query hands the plug-in this much room: far more than any host gives, so a
// plug-in that writes past its bound shows up in the bytes behind the text instead of in ours.
constexpr std::size_t kTextBuffer = 512;
// Records of what the plug-in sends during a block are kept without allocating on the audio
// thread for any render of reasonable length.
constexpr std::size_t kReservedRecords = 1 << 16;
constexpr std::size_t kReservedMidiIn = 1024;

// The instance being created: the plug-in may call back before its AEffect is known to us.
thread_local PluginHost* tConstructing = nullptr;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

const char* const kHostCanDo[] = {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo",
                                  "receiveVstEvents", "receiveVstMidiEvent"};

}  // namespace

class PluginLibrary {
 public:
  static std::unique_ptr<PluginLibrary> Open(const std::string& path, std::string* error) {
    auto library = SharedLibrary::Open(path, error);
    if (!library) return nullptr;
    void* entry = library->Function("VSTPluginMain");
    if (!entry) entry = library->Function("main");
    if (!entry) {
      *error = path + " is no VST2 plug-in: it exports neither VSTPluginMain nor main";
      return nullptr;
    }
    return std::unique_ptr<PluginLibrary>(
        new PluginLibrary(std::move(library), reinterpret_cast<PluginHost::EntryPoint>(entry)));
  }
  PluginHost::EntryPoint Entry() const { return mEntry; }

 private:
  PluginLibrary(std::unique_ptr<SharedLibrary> library, PluginHost::EntryPoint entry)
      : mLibrary(std::move(library)), mEntry(entry) {}
  std::unique_ptr<SharedLibrary> mLibrary;
  PluginHost::EntryPoint mEntry;
};

PluginHost::PluginHost(std::unique_ptr<PluginLibrary> library, const HostSettings& settings)
    : mLibrary(std::move(library)), mSettings(settings) {
  mMidiOut.reserve(kReservedRecords);
  mReports.reserve(kReservedRecords);
  mMidiIn.reserve(kReservedMidiIn);
  mEventsStorage.reserve(sizeof(VstEvents) + kReservedMidiIn * sizeof(VstEvent*));
}

std::unique_ptr<PluginHost> PluginHost::Load(const std::string& path, const HostSettings& settings,
                                             std::string* error) {
  std::string ignored;
  if (!error) error = &ignored;
  auto library = PluginLibrary::Open(path, error);
  if (!library) return nullptr;
  const EntryPoint entry = library->Entry();
  auto host = Make(std::move(library), entry, settings, error);
  if (!host) *error = path + ": " + *error;
  return host;
}

std::unique_ptr<PluginHost> PluginHost::Create(EntryPoint entry, const HostSettings& settings,
                                               std::string* error) {
  std::string ignored;
  return Make(nullptr, entry, settings, error ? error : &ignored);
}

std::unique_ptr<PluginHost> PluginHost::Make(std::unique_ptr<PluginLibrary> library,
                                             EntryPoint entry, const HostSettings& settings,
                                             std::string* error) {
  std::unique_ptr<PluginHost> host(new PluginHost(std::move(library), settings));
  tConstructing = host.get();
  AEffect* effect = entry(&PluginHost::Callback);
  tConstructing = nullptr;
  if (!effect || effect->magic != kEffectMagic) {
    *error = "the plug-in did not create an instance";
    return nullptr;
  }
  effect->user = host.get();
  host->mEffect = effect;
  host->SizeBuffers(std::max(settings.blockSize, 1));
  return host;
}

PluginHost::~PluginHost() {
  if (mEffect) {
    Dispatch(effMainsChanged, 0, 0);
    Dispatch(effClose);
  }
}

VstIntPtr PluginHost::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                               float opt) {
  return mEffect->dispatcher(mEffect, opcode, index, value, ptr, opt);
}

void PluginHost::Start() {
  Dispatch(effOpen);
  Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(mSettings.sampleRate));
  Dispatch(effSetBlockSize, 0, mSettings.blockSize);
  SizeBuffers(mSettings.blockSize);
  SetMains(true);
}

void PluginHost::SetMains(bool on) {
  Dispatch(effMainsChanged, 0, on ? 1 : 0);
}

std::string PluginHost::Text(VstInt32 opcode, int index) {
  char text[kTextBuffer] = {};
  Dispatch(opcode, index, 0, text);
  text[kTextBuffer - 1] = '\0';
  return text;
}

std::string PluginHost::EffectName() {
  return Text(effGetEffectName, 0);
}
std::string PluginHost::Vendor() {
  return Text(effGetVendorString, 0);
}
std::string PluginHost::Product() {
  return Text(effGetProductString, 0);
}
std::string PluginHost::ParamName(int index) {
  return Text(effGetParamName, index);
}
std::string PluginHost::ParamLabel(int index) {
  return Text(effGetParamLabel, index);
}
std::string PluginHost::ParamDisplay(int index) {
  return Text(effGetParamDisplay, index);
}
std::string PluginHost::ProgramName(int index) {
  return Text(effGetProgramNameIndexed, index);
}

float PluginHost::GetParameter(int index) {
  return mEffect->getParameter(mEffect, index);
}

void PluginHost::SetParameter(int index, float value) {
  mEffect->setParameter(mEffect, index, value);
}

bool PluginHost::SetParameterText(int index, const std::string& text) {
  std::string copy = text;
  return Dispatch(effString2Parameter, index, 0, copy.data()) != 0;
}

int PluginHost::FindParameter(const std::string& name) {
  const std::string wanted = Lower(name);
  for (int i = 0; i < NumParams(); ++i) {
    if (Lower(ParamName(i)) == wanted) return i;
  }
  return -1;
}

void PluginHost::SetProgram(int index) {
  Dispatch(effSetProgram, 0, index);
}

int PluginHost::CurrentProgram() {
  return static_cast<int>(Dispatch(effGetProgram));
}

int PluginHost::FindProgram(const std::string& name) {
  for (int i = 0; i < NumPrograms(); ++i) {
    if (ProgramName(i) == name) return i;
  }
  const std::string wanted = Lower(name);
  for (int i = 0; i < NumPrograms(); ++i) {
    if (Lower(ProgramName(i)) == wanted) return i;
  }
  return -1;
}

std::vector<std::uint8_t> PluginHost::GetChunk(bool bank) {
  void* data = nullptr;
  const VstIntPtr size = Dispatch(effGetChunk, bank ? 0 : 1, 0, &data);
  if (size <= 0 || !data) return {};
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  return std::vector<std::uint8_t>(bytes, bytes + size);
}

bool PluginHost::SetChunk(const std::vector<std::uint8_t>& data, bool bank) {
  // Hosts hand the plug-in their own copy; it must not rely on the bytes staying put.
  std::vector<std::uint8_t> copy = data;
  return Dispatch(effSetChunk, bank ? 0 : 1, static_cast<VstIntPtr>(copy.size()),
                  copy.empty() ? nullptr : copy.data()) != 0;
}

void PluginHost::QueueMidi(int deltaFrames, std::uint8_t status, std::uint8_t data1,
                           std::uint8_t data2) {
  VstMidiEvent event = {};
  event.type = kVstMidiType;
  event.byteSize = sizeof(VstMidiEvent);
  event.deltaFrames = deltaFrames;
  event.midiData[0] = static_cast<char>(status);
  event.midiData[1] = static_cast<char>(data1);
  event.midiData[2] = static_cast<char>(data2);
  mMidiIn.push_back(event);
}

void PluginHost::SendQueuedMidi() {
  if (mMidiIn.empty()) return;
  // VstEvents ends in a two-entry array that hosts extend to as many entries as they send.
  const std::size_t extra = mMidiIn.size() > 2 ? mMidiIn.size() - 2 : 0;
  mEventsStorage.assign(sizeof(VstEvents) + extra * sizeof(VstEvent*), 0);
  auto* events = reinterpret_cast<VstEvents*>(mEventsStorage.data());
  events->numEvents = static_cast<VstInt32>(mMidiIn.size());
  for (std::size_t i = 0; i < mMidiIn.size(); ++i) {
    events->events[i] = reinterpret_cast<VstEvent*>(&mMidiIn[i]);
  }
  Dispatch(effProcessEvents, 0, 0, events);
  mMidiIn.clear();
}

void PluginHost::ResizeBuffers(int frames) {
  const auto channels = static_cast<std::size_t>(std::max(mEffect->numOutputs, 0));
  const auto size = static_cast<std::size_t>(std::max({frames, mBufferFrames, 1}));
  mBufferFrames = static_cast<int>(size);
  mBufferChannels = mEffect->numOutputs;
  mOutputs.assign(channels, std::vector<float>(size, 0.0f));
  mOutputsDouble.assign(channels, std::vector<double>(size, 0.0));
  mOutputPtrs.clear();
  mOutputDoublePtrs.clear();
  for (auto& channel : mOutputs) mOutputPtrs.push_back(channel.data());
  for (auto& channel : mOutputsDouble) mOutputDoublePtrs.push_back(channel.data());
}

void PluginHost::ProcessReplacing(int frames) {
  SizeBuffers(frames);
  SendQueuedMidi();
  mBlockStart = mPosition;
  mEffect->processReplacing(mEffect, nullptr, mOutputPtrs.data(), frames);
  if (mSettings.playing) mPosition += std::max(frames, 0);
}

void PluginHost::ProcessAccumulating(int frames) {
  SizeBuffers(frames);
  SendQueuedMidi();
  mBlockStart = mPosition;
  mEffect->process(mEffect, nullptr, mOutputPtrs.data(), frames);
  if (mSettings.playing) mPosition += std::max(frames, 0);
}

void PluginHost::ProcessDouble(int frames) {
  SizeBuffers(frames);
  SendQueuedMidi();
  mBlockStart = mPosition;
  mEffect->processDoubleReplacing(mEffect, nullptr, mOutputDoublePtrs.data(), frames);
  if (mSettings.playing) mPosition += std::max(frames, 0);
}

std::vector<MidiOut> PluginHost::TakeMidiOut() {
  std::lock_guard<std::mutex> lock(mRecordLock);
  std::vector<MidiOut> taken = mMidiOut;
  mMidiOut.clear();
  return taken;
}

std::vector<HostReport> PluginHost::TakeReports() {
  std::lock_guard<std::mutex> lock(mRecordLock);
  std::vector<HostReport> taken = mReports;
  mReports.clear();
  return taken;
}

int PluginHost::CallCount(VstInt32 opcode) const {
  if (opcode < 0 || opcode >= static_cast<VstInt32>(mCallCounts.size())) return 0;
  return mCallCounts[static_cast<std::size_t>(opcode)].load();
}

const VstTimeInfo* PluginHost::FillTime() {
  if (!mSettings.answerTime) return nullptr;
  const double rate = mSettings.sampleRate;
  const double beatsPerBar =
      mSettings.timeSigNumerator * 4.0 / std::max(mSettings.timeSigDenominator, 1);
  mTime = {};
  mTime.samplePos = static_cast<double>(mBlockStart);
  mTime.sampleRate = rate;
  mTime.nanoSeconds = mTime.samplePos / rate * 1e9;
  mTime.tempo = mSettings.tempo;
  mTime.ppqPos = mTime.samplePos / rate * mSettings.tempo / 60.0;
  mTime.barStartPos = std::floor(mTime.ppqPos / beatsPerBar) * beatsPerBar;
  mTime.timeSigNumerator = mSettings.timeSigNumerator;
  mTime.timeSigDenominator = mSettings.timeSigDenominator;
  mTime.flags = kVstNanosValid | kVstPpqPosValid | kVstTempoValid | kVstBarsValid |
                kVstTimeSigValid | (mSettings.playing ? kVstTransportPlaying : 0);
  return &mTime;
}

VstIntPtr VSTCALLBACK PluginHost::Callback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                           VstIntPtr value, void* ptr, float opt) {
  PluginHost* host =
      (effect && effect->user) ? static_cast<PluginHost*>(effect->user) : tConstructing;
  // A plug-in asking before any instance exists (some do, for the host's version) gets the
  // version and nothing else.
  if (!host) return opcode == audioMasterVersion ? kHostVstVersion : 0;
  return host->Answer(opcode, index, value, ptr, opt);
}

VstIntPtr PluginHost::Answer(VstInt32 opcode, VstInt32 index, VstIntPtr /*value*/, void* ptr,
                             float opt) {
  if (opcode >= 0 && opcode < static_cast<VstInt32>(mCallCounts.size())) {
    ++mCallCounts[static_cast<std::size_t>(opcode)];
  }
  switch (opcode) {
    case audioMasterVersion:
      return kHostVstVersion;
    case audioMasterAutomate:
    case audioMasterBeginEdit:
    case audioMasterEndEdit: {
      std::lock_guard<std::mutex> lock(mRecordLock);
      mReports.push_back({opcode, index, opt});
      return 1;
    }
    case audioMasterWantMidi:
      return 1;
    case audioMasterGetTime:
      return reinterpret_cast<VstIntPtr>(FillTime());
    case audioMasterProcessEvents: {
      const auto* events = static_cast<const VstEvents*>(ptr);
      if (!events) return 0;
      std::lock_guard<std::mutex> lock(mRecordLock);
      for (VstInt32 i = 0; i < events->numEvents; ++i) {
        const VstEvent* event = events->events[i];
        if (!event || event->type != kVstMidiType) continue;
        const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
        mMidiOut.push_back({mBlockStart + midi->deltaFrames,
                            static_cast<std::uint8_t>(midi->midiData[0]),
                            static_cast<std::uint8_t>(midi->midiData[1]),
                            static_cast<std::uint8_t>(midi->midiData[2])});
      }
      return 1;
    }
    case audioMasterGetSampleRate:
      return static_cast<VstIntPtr>(mSettings.sampleRate);
    case audioMasterGetBlockSize:
      return mSettings.blockSize;
    case audioMasterGetCurrentProcessLevel:
      return mSettings.processLevel;
    case audioMasterGetVendorString:
    case audioMasterGetProductString: {
      if (!ptr) return 0;
      const std::string& text =
          opcode == audioMasterGetVendorString ? mSettings.vendor : mSettings.product;
      const std::size_t n = std::min<std::size_t>(text.size(), kVstMaxVendorStrLen - 1);
      std::memcpy(ptr, text.data(), n);
      static_cast<char*>(ptr)[n] = '\0';
      return 1;
    }
    case audioMasterGetVendorVersion:
      return mSettings.vendorVersion;
    case audioMasterCanDo: {
      if (!ptr) return 0;
      for (const char* can : kHostCanDo) {
        if (!std::strcmp(static_cast<const char*>(ptr), can)) return 1;
      }
      return 0;
    }
    case audioMasterUpdateDisplay:
      return 1;
    default:
      return 0;
  }
}

}  // namespace vsthost
