#include "framework/vst2/IPlugVST.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "editor/IGraphics.h"
#include "framework/Text.h"
#include "framework/vst2/HostTextBounds.h"

namespace {

constexpr int kDefaultBlockSize = 1024;
constexpr VstInt32 kVstVersion = 2400;
constexpr VstIntPtr kIdentifyAnswer = 0x4E764566;  // "NvEf"
constexpr VstIntPtr kVendorSpecificAnswer = 0xBEEF;
constexpr VstIntPtr kExtensionAnswer = static_cast<VstIntPtr>(0xBEEF0000);
constexpr VstInt32 kTransportInfoFlags =
    kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid | kVstTimeSigValid;

// Hosts write their product and vendor strings into our buffer; the published size is 64, and
// we leave room for hosts that write more.
constexpr std::size_t kHostStringBuffer = 256;

struct HostWord {
  const char* word;
  HostKind kind;
};

// Searched in this order: the first word found anywhere in the product string wins, so a
// product naming two of them is the earlier one.
constexpr HostWord kHostWords[] = {
    {"cubase", kHostCubase},
    {"reaper", kHostReaper},
    {"nuendo", kHostNuendo},
    {"cakewalk", kHostCakewalk},
    {"samplitude", kHostSamplitude},
    {"fruity", kHostFruity},
    {"live", kHostLive},
    {"melodyne", kHostMelodyne},
    {"vstmanlib", kHostVstManLib},
    {"aulab", kHostAULab},
    {"garageband", kHostGarageBand},
    {"forte", kHostForte},
    {"chainer", kHostChainer},
    {"audition", kHostAudition},
    {"orion", kHostOrion},
    {"sawstudio", kHostSawStudio},
    {"logic", kHostLogic},
    {"digital", kHostDigital},
    {"audiomulch", kHostAudioMulch},
    {"presonus", kHostPresonus},
    {"vst3plugintesthost", kHostVst3PluginTestHost},
    {"protools", kHostProTools},
    {"ardour", kHostArdour},
    {"openmpt", kHostOpenMPT},
    {"renoise", kHostRenoise},
    {"standalone", kHostStandalone},
};

std::string LowerCase(const char* text) {
  std::string lower = text ? text : "";
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// A host value that should name an index; anything outside the int range names none.
int IndexFrom(VstIntPtr value) {
  return (value < 0 || value > INT_MAX) ? -1 : static_cast<int>(value);
}

// Reads a decimal number the way hosts type it, whatever the process locale says about commas.
bool ParseDecimal(const char* text, double* value) {
  while (*text == ' ' || *text == '\t') ++text;
  if (*text == '+') ++text;
  const char* end = text + std::strlen(text);
  const auto result = std::from_chars(text, end, *value);
  return result.ec == std::errc() && std::isfinite(*value);
}

void SetUpSpeakers(VstSpeakerArrangement* arrangement, int channels) {
  *arrangement = {};
  arrangement->numChannels = channels;
  switch (channels) {
    case 0:
      arrangement->type = kSpeakerArrEmpty;
      break;
    case 1:
      arrangement->type = kSpeakerArrMono;
      break;
    case 2:
      arrangement->type = kSpeakerArrStereo;
      break;
    default:
      arrangement->type = kSpeakerArrUserDefined;
      break;
  }
}

IPlugVST* FromEffect(AEffect* effect) {
  return effect ? static_cast<IPlugVST*>(effect->object) : nullptr;
}

}  // namespace

IPlugVST::IPlugVST(const IPlugInstanceInfo& info, const IPlugConfig& config)
    : IPlugBase(config), mHostCallback(info.mHostCallback) {
  SetUpSpeakers(&mInputSpeakers, NInChannels());
  SetUpSpeakers(&mOutputSpeakers, NOutChannels());

  mAEffect.magic = kEffectMagic;
  mAEffect.dispatcher = VSTDispatcher;
  mAEffect.process = VSTProcess;
  mAEffect.setParameter = VSTSetParameter;
  mAEffect.getParameter = VSTGetParameter;
  mAEffect.numPrograms = NPrograms();
  mAEffect.numParams = NParams();
  mAEffect.numInputs = NInChannels();
  mAEffect.numOutputs = NOutChannels();
  mAEffect.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
  if (DoesStateChunks()) mAEffect.flags |= effFlagsProgramChunks;
  if (IsInstrument()) mAEffect.flags |= effFlagsIsSynth;
  if (LegalIO()) mAEffect.flags |= effFlagsCanMono;
  mAEffect.initialDelay = GetLatency();
  mAEffect.ioRatio = 1.0f;
  mAEffect.object = this;
  mAEffect.uniqueID = GetUniqueID();
  mAEffect.version = GetEffectVersion(true);
  mAEffect.processReplacing = VSTProcessReplacing;
  mAEffect.processDoubleReplacing = VSTProcessDoubleReplacing;

  for (int i = 0; i < NInChannels(); ++i) SetInputChannelConnected(i, true);
  for (int i = 0; i < NOutChannels(); ++i) SetOutputChannelConnected(i, true);
  SetHostBlockSize(kDefaultBlockSize);
}

IPlugVST::~IPlugVST() = default;

// ---- Entry from the host ----

VstIntPtr VSTCALLBACK IPlugVST::VSTDispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                              VstIntPtr value, void* ptr, float opt) {
  IPlugVST* plug = FromEffect(effect);
  if (!plug) return 0;
  if (opcode == effClose) {
    {
      ScopedLock lock(plug->mMutex);
      // A host that never closed the editor: its window goes before the instance does.
      if (IGraphics* gui = plug->GetGUI()) gui->CloseEditorWindow();
    }
    delete plug;
    return 0;
  }
  ScopedLock lock(plug->mMutex);
  try {
    return plug->Dispatch(opcode, index, value, ptr, opt);
  } catch (...) {
    // Nothing may unwind into the host; a request that could not be met answers 0.
    return 0;
  }
}

VstIntPtr IPlugVST::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                             float opt) {
  char* text = static_cast<char*>(ptr);
  switch (opcode) {
    case effOpen:
      OpenForHost();
      return 0;
    case effSetProgram:
      ModifyCurrentPreset();
      RestoreProgram(IndexFrom(value));
      return 0;
    case effGetProgram:
      return GetCurrentProgram();
    case effSetProgramName:
      if (!text) return 0;
      ModifyCurrentPreset(text);
      ProgramsChangedByHost();
      return 0;
    case effGetProgramName:
      if (text) CopyText(text, host_text::kProgramName, GetProgramName(GetCurrentProgram()));
      return 0;
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName:
      return GetParamText(opcode, index, text);
    case effSetSampleRate:
      SetHostSampleRate(opt);
      OnReset();
      return 0;
    case effSetBlockSize:
      // The frame renders longer blocks in pieces, so the size only sizes our scratch buffers; a
      // host that announces no frames at all keeps the size we had.
      if (value > 0 && value <= INT_MAX) SetHostBlockSize(static_cast<int>(value));
      OnReset();
      return 0;
    case effMainsChanged:
      SetMainsOn(value != 0);
      return 0;
    case effEditGetRect:
      if (!ptr || !GetGUI()) return 0;
      *static_cast<ERect**>(ptr) = &mEditorRect;
      return 1;
    // ptr is the host's window: an HWND on Windows, an X11 Window id on Linux.
    case effEditOpen:
      if (!GetGUI() || !GetGUI()->OpenEditorWindow(ptr)) return 0;
      EditorOpened();
      return 1;
    case effEditClose:
      if (!GetGUI()) return 0;
      EditorClosed();
      GetGUI()->CloseEditorWindow();
      return 1;
    case effEditIdle:
      HostIdle();
      if (IGraphics* gui = GetGUI()) gui->HostIdleTick();
      return 0;
    case effIdle:
      HostIdle();
      return 0;
    case effIdentify:
      return kIdentifyAnswer;
    case effGetChunk:
      return GetChunk(index == 0, static_cast<void**>(ptr));
    case effSetChunk:
      return SetChunk(index == 0, ptr, value);
    case effProcessEvents:
      return ProcessEvents(static_cast<const VstEvents*>(ptr));
    case effCanBeAutomated:
      return 1;
    case effString2Parameter:
      return String2Parameter(index, text);
    case effGetProgramNameIndexed:
      if (!text) return 0;
      CopyText(text, host_text::kProgramName, GetProgramName(index));
      return text[0] != '\0';
    case effGetInputProperties:
    case effGetOutputProperties:
      return GetPinProperties(opcode == effGetInputProperties, index,
                              static_cast<VstPinProperties*>(ptr));
    case effGetPlugCategory:
      return IsInstrument() ? kPlugCategSynth : kPlugCategEffect;
    case effProcessVarIo:
      return 0;
    case effSetSpeakerArrangement:
      return SetSpeakerArrangement(reinterpret_cast<const VstSpeakerArrangement*>(value),
                                   static_cast<const VstSpeakerArrangement*>(ptr));
    case effGetEffectName:
      if (!text) return 0;
      CopyText(text, host_text::kEffectName, GetEffectName());
      return 1;
    case effGetVendorString:
      if (!text) return 0;
      CopyText(text, host_text::kVendor, GetMfrName());
      return 1;
    case effGetProductString:
      if (!text) return 0;
      CopyText(text, host_text::kProduct, GetProductName());
      return 1;
    case effGetVendorVersion:
      return GetEffectVersion(true);
    case effVendorSpecific:
      return VendorSpecific(index, value, ptr, opt);
    case effCanDo:
      return CanDo(text);
    case effGetTailSize:
      return static_cast<VstIntPtr>(GetTailSize());
    case effGetVstVersion:
      return kVstVersion;
    case effGetMidiKeyName: {
      auto* key = static_cast<MidiKeyName*>(ptr);
      if (!key) return 0;
      key->keyName[0] = '\0';
      return GetMidiKeyName(key->thisKeyNumber, key->keyName, host_text::kKeyName) ? 1 : 0;
    }
    case effGetSpeakerArrangement:
      if (value) *reinterpret_cast<VstSpeakerArrangement**>(value) = &mInputSpeakers;
      if (ptr) *static_cast<VstSpeakerArrangement**>(ptr) = &mOutputSpeakers;
      return 1;
    default:
      return 0;
  }
}

void VSTCALLBACK IPlugVST::VSTProcess(AEffect* effect, float** inputs, float** outputs,
                                      VstInt32 frames) {
  IPlugVST* plug = FromEffect(effect);
  if (!plug) return;
  ScopedLock lock(plug->mMutex);
  plug->RequestHostMidi();
  plug->ProcessBuffersAccumulating(inputs, plug->mAEffect.numInputs, outputs,
                                   plug->mAEffect.numOutputs, frames);
}

void VSTCALLBACK IPlugVST::VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs,
                                               VstInt32 frames) {
  IPlugVST* plug = FromEffect(effect);
  if (!plug) return;
  ScopedLock lock(plug->mMutex);
  plug->RequestHostMidi();
  plug->ProcessBuffersReplacing(inputs, plug->mAEffect.numInputs, outputs,
                                plug->mAEffect.numOutputs, frames);
}

void VSTCALLBACK IPlugVST::VSTProcessDoubleReplacing(AEffect* effect, double** inputs,
                                                     double** outputs, VstInt32 frames) {
  IPlugVST* plug = FromEffect(effect);
  if (!plug) return;
  ScopedLock lock(plug->mMutex);
  plug->RequestHostMidi();
  plug->ProcessBuffersDouble(inputs, plug->mAEffect.numInputs, outputs, plug->mAEffect.numOutputs,
                             frames);
}

float VSTCALLBACK IPlugVST::VSTGetParameter(AEffect* effect, VstInt32 index) {
  IPlugVST* plug = FromEffect(effect);
  if (!plug) return 0.0f;
  ScopedLock lock(plug->mMutex);
  const IParameter* param = plug->GetParam(index);
  return param ? static_cast<float>(param->GetNormalizedValue()) : 0.0f;
}

void VSTCALLBACK IPlugVST::VSTSetParameter(AEffect* effect, VstInt32 index, float value) {
  IPlugVST* plug = FromEffect(effect);
  if (!plug) return;
  ScopedLock lock(plug->mMutex);
  IParameter* param = plug->GetParam(index);
  // Normalised values live in 0..1; the parameter itself clamps only the top, so a host sending
  // a value below 0 would otherwise put it below its range.
  if (!param || std::isnan(value)) return;
  const double normalized = std::clamp(static_cast<double>(value), 0.0, 1.0);
  if (IGraphics* gui = plug->GetGUI()) gui->SetControlsFromParameter(index, normalized, true);
  param->SetFromNormalized(normalized);
  plug->OnParameterChange(index);
}

// ---- Dispatcher cases too long for the table ----

void IPlugVST::OpenForHost() {
  if (!mHostSetupDone) AdaptToHost();
  for (int i = 0; i < NParams(); ++i) OnParameterChange(i);
}

void IPlugVST::SetMainsOn(bool on) {
  if (on) mMidiRequested = false;
  SetActive(on);
  if (!on) OnReset();
}

VstIntPtr IPlugVST::GetParamText(VstInt32 opcode, VstInt32 index, char* text) {
  const IParameter* param = GetParam(index);
  if (!param || !text) return 0;
  switch (opcode) {
    case effGetParamLabel:
      CopyText(text, host_text::kParamLabel, param->GetUnitForHost());
      break;
    case effGetParamName:
      CopyText(text, host_text::kParamName, param->Name());
      break;
    default: {
      // Formatted whole first, so the host's bound is applied in exactly one place.
      char display[IParameter::kTextSize * 2] = {};
      param->FormatForHost(param->Value(), false, display, sizeof(display), true);
      CopyText(text, host_text::kParamDisplay, display);
    }
  }
  return 0;
}

VstIntPtr IPlugVST::GetChunk(bool isBank, void** data) {
  if (!data) return 0;
  const std::uint8_t* bytes = nullptr;
  int size = 0;
  if (IsProgramPathHost()) isBank = false;
  if (!WriteHostChunk(isBank, &bytes, &size) || size <= 0) return 0;
  *data = const_cast<std::uint8_t*>(bytes);
  return size;
}

VstIntPtr IPlugVST::SetChunk(bool isBank, const void* data, VstIntPtr size) {
  if (!data || size < 0 || size > INT_MAX) return 0;
  const bool programPath = IsProgramPathHost();
  if (programPath) isBank = false;
  return ReadHostChunk(static_cast<const std::uint8_t*>(data), static_cast<int>(size), isBank,
                       programPath)
             ? 1
             : 0;
}

VstIntPtr IPlugVST::ProcessEvents(const VstEvents* events) {
  if (!events) return 0;
  for (VstInt32 i = 0; i < events->numEvents; ++i) {
    const VstEvent* event = events->events[i];
    if (!event) continue;
    if (event->type == kVstMidiType) {
      const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
      OnMidiMessage(IMidiMessage(midi->deltaFrames, static_cast<std::uint8_t>(midi->midiData[0]),
                                 static_cast<std::uint8_t>(midi->midiData[1]),
                                 static_cast<std::uint8_t>(midi->midiData[2])));
    } else if (event->type == kVstSysExType) {
      const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*>(event);
      ISysExMessage msg;
      msg.mOffset = sysex->deltaFrames;
      msg.mSize = sysex->dumpBytes;
      msg.mData = reinterpret_cast<const std::uint8_t*>(sysex->sysexDump);
      HandleSysEx(msg);
    }
  }
  return 1;
}

VstIntPtr IPlugVST::String2Parameter(VstInt32 index, const char* text) {
  IParameter* param = GetParam(index);
  if (!param) return 0;
  if (!text) return 1;
  double value = 0.0;
  if (param->DisplayTexts().empty()) {
    // Text that is no number at all is refused rather than read as 0.
    if (!ParseDecimal(text, &value)) return 0;
    if (param->NegateDisplay()) value = -value;
  } else if (!param->MapDisplayText(text, &value)) {
    return 0;
  }
  if (IGraphics* gui = GetGUI()) gui->SetControlsFromParameter(index, value, false);
  param->SetClamped(value);
  OnParameterChange(index);
  return 1;
}

VstIntPtr IPlugVST::GetPinProperties(bool input, VstInt32 index, VstPinProperties* properties) {
  const int count = input ? NInChannels() : NOutChannels();
  if (!properties || index < 0 || index >= count) return 0;
  // Hosts need not clear the record; every field we leave alone must read as empty.
  std::memset(properties, 0, sizeof(*properties));
  properties->flags = kVstPinIsActive;
  if (index % 2 == 0 && index + 1 < count) properties->flags |= kVstPinIsStereo;
  const std::string& label = input ? GetInputLabel(index) : GetOutputLabel(index);
  if (!label.empty()) {
    CopyText(properties->label, host_text::kPinLabel, label.c_str());
  } else {
    std::snprintf(properties->label, host_text::kPinLabel, input ? "Input %d" : "Output %d",
                  index + 1);
  }
  return 1;
}

VstIntPtr IPlugVST::SetSpeakerArrangement(const VstSpeakerArrangement* input,
                                          const VstSpeakerArrangement* output) {
  if (input) {
    for (int i = 0; i < NInChannels(); ++i) SetInputChannelConnected(i, i < input->numChannels);
  }
  if (output) {
    for (int i = 0; i < NOutChannels(); ++i) SetOutputChannelConnected(i, i < output->numChannels);
  }
  return 1;
}

VstIntPtr IPlugVST::VendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  const IParameter* param = GetParam(IndexFrom(value));
  if (index == 7 && ptr) {
    if (param) {
      char display[IParameter::kTextSize * 2] = {};
      param->FormatForHost(opt, true, display, sizeof(display), true);
      CopyText(static_cast<char*>(ptr), host_text::kParamDisplay, display);
    }
    return kVendorSpecificAnswer;
  }
  if (index == 8 && param && param->Type() != ParamTypeDouble) return kVendorSpecificAnswer;
  return 0;
}

VstIntPtr IPlugVST::CanDo(const char* text) {
  if (!text) return 0;
  if (!std::strcmp(text, "receiveVstTimeInfo")) return 1;
  if (!std::strcmp(text, "sendVstEvents") || !std::strcmp(text, "sendVstMidiEvent") ||
      !std::strcmp(text, "receiveVstEvents") || !std::strcmp(text, "receiveVstMidiEvent")) {
    return DoesMidi() ? 1 : 0;
  }
  if (!std::strcmp(text, "hasCockosExtensions")) {
    mExtensions |= 1u;
    return kExtensionAnswer;
  }
  if (!std::strcmp(text, "hasCockosViewAsConfig")) {
    mExtensions |= 2u;
    return kExtensionAnswer;
  }
  return 0;
}

bool IPlugVST::IsProgramPathHost() {
  if (!mVendorAsked) {
    mVendorAsked = true;
    char vendor[kHostStringBuffer] = {};
    HostCall(audioMasterGetVendorString, 0, 0, vendor);
    vendor[kHostStringBuffer - 1] = '\0';
    mProgramPathHost = IsProgramPathVendor(vendor);
  }
  return mProgramPathHost;
}

// ---- Requests to the host ----

VstIntPtr IPlugVST::HostCall(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                             float opt) {
  return mHostCallback ? mHostCallback(&mAEffect, opcode, index, value, ptr, opt) : 0;
}

const VstTimeInfo* IPlugVST::HostTime(VstInt32 flags) {
  return reinterpret_cast<const VstTimeInfo*>(HostCall(audioMasterGetTime, 0, flags));
}

void IPlugVST::RequestHostMidi() {
  // Once per switch-on is what hosts that want the request rely on; asking every block would
  // only add a call into the host to each of them.
  if (mMidiRequested || !DoesMidi()) return;
  mMidiRequested = true;
  HostCall(audioMasterWantMidi);
}

void IPlugVST::BeginParamGesture(int paramIdx) {
  HostCall(audioMasterBeginEdit, paramIdx);
}

void IPlugVST::ReportParamToHost(int paramIdx, double normalizedValue) {
  HostCall(audioMasterAutomate, paramIdx, 0, nullptr, static_cast<float>(normalizedValue));
}

void IPlugVST::EndParamGesture(int paramIdx) {
  HostCall(audioMasterEndEdit, paramIdx);
}

void IPlugVST::ReportProgramChangeToHost() {
  HostCall(audioMasterUpdateDisplay);
}

bool IPlugVST::IsOfflineRender() {
  return HostCall(audioMasterGetCurrentProcessLevel) == kVstProcessLevelOffline;
}

int IPlugVST::GetTransportSample() {
  const VstTimeInfo* time = HostTime(0);
  if (!time || !(time->samplePos >= 0.0)) return 0;
  // A transport past the int range (hours at high rates) saturates instead of overflowing.
  const double rounded = std::floor(time->samplePos + 0.5);
  return rounded >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(rounded);
}

double IPlugVST::GetHostTempo() {
  const VstTimeInfo* time = HostTime(kVstTempoValid);
  if (time && (time->flags & kVstTempoValid) && time->tempo >= 0.0) return time->tempo;
  return 0.0;
}

void IPlugVST::GetHostTimeSignature(int* numerator, int* denominator) {
  if (numerator) *numerator = 0;
  if (denominator) *denominator = 0;
  const VstTimeInfo* time = HostTime(kVstTimeSigValid);
  if (!time || !(time->flags & kVstTimeSigValid)) return;
  if (time->timeSigNumerator < 0 || time->timeSigDenominator < 0) return;
  if (numerator) *numerator = time->timeSigNumerator;
  if (denominator) *denominator = time->timeSigDenominator;
}

void IPlugVST::GetTransportInfo(ITransportInfo* info) {
  const VstTimeInfo* time = HostTime(kTransportInfoFlags);
  if (!info || !time || !(time->flags & kTransportInfoFlags)) return;
  const VstInt32 flags = time->flags;
  info->mSamplePos = time->samplePos;
  if ((flags & kVstPpqPosValid) && time->ppqPos >= 0.0) info->mPPQPos = time->ppqPos;
  if ((flags & kVstTempoValid) && time->tempo > 0.0) info->mTempo = time->tempo;
  if ((flags & kVstBarsValid) && time->barStartPos >= 0.0) info->mLastBar = time->barStartPos;
  if ((flags & kVstCyclePosValid) && time->cycleStartPos >= 0.0 && time->cycleEndPos >= 0.0) {
    info->mCycleStart = time->cycleStartPos;
    info->mCycleEnd = time->cycleEndPos;
  }
  if ((flags & kVstTimeSigValid) && time->timeSigNumerator > 0 && time->timeSigDenominator > 0) {
    info->mNumerator = time->timeSigNumerator;
    info->mDenominator = time->timeSigDenominator;
  }
  info->mTransportIsRunning = (flags & kVstTransportPlaying) != 0;
  info->mTransportLoopEnabled = (flags & kVstTransportCycleActive) != 0;
}

bool IPlugVST::SendMidiToHost(const IMidiMessage& msg) {
  VstMidiEvent event = {};
  event.type = kVstMidiType;
  event.byteSize = sizeof(VstMidiEvent);
  event.deltaFrames = msg.mOffset;
  event.midiData[0] = static_cast<char>(msg.mStatus);
  event.midiData[1] = static_cast<char>(msg.mData1);
  event.midiData[2] = static_cast<char>(msg.mData2);
  VstEvents events = {};
  events.numEvents = 1;
  events.events[0] = reinterpret_cast<VstEvent*>(&event);
  return HostCall(audioMasterProcessEvents, 0, 0, &events) == 1;
}

bool IPlugVST::SendSysExToHost(const ISysExMessage& msg) {
  VstMidiSysexEvent event = {};
  event.type = kVstSysExType;
  // The record's own size: 48 bytes in 64-bit builds, 32 in 32-bit ones.
  event.byteSize = sizeof(VstMidiSysexEvent);
  event.deltaFrames = msg.mOffset;
  event.dumpBytes = msg.mSize;
  event.sysexDump = reinterpret_cast<char*>(const_cast<std::uint8_t*>(msg.mData));
  VstEvents events = {};
  events.numEvents = 1;
  events.events[0] = reinterpret_cast<VstEvent*>(&event);
  return HostCall(audioMasterProcessEvents, 0, 0, &events) == 1;
}

// ---- Host identification and set-up ----

int IPlugVST::HostKindFromProduct(const char* product) {
  const std::string lower = LowerCase(product);
  if (lower.empty()) return kHostUnknown;
  for (const HostWord& entry : kHostWords) {
    if (lower.find(entry.word) != std::string::npos) return entry.kind;
  }
  return kHostUnknown;
}

int IPlugVST::HostVersionFromVendorVersion(VstIntPtr version) {
  const long long v = version;
  return static_cast<int>((v / 10000) * 65536 + ((v % 10000) / 100) * 256 + v % 100);
}

bool IPlugVST::IsProgramPathVendor(const char* vendor) {
  const std::string lower = LowerCase(vendor);
  return lower == "native instruments" || lower == "juce vst host";
}

int IPlugVST::IdentifyHost() {
  if (mHostKind != kHostUninit) return mHostKind;
  char product[kHostStringBuffer] = {};
  HostCall(audioMasterGetProductString, 0, 0, product);
  product[kHostStringBuffer - 1] = '\0';
  if (product[0]) {
    mHostVersion = HostVersionFromVendorVersion(HostCall(audioMasterGetVendorVersion));
  }
  mHostKind = HostKindFromProduct(product);
  return mHostKind;
}

void IPlugVST::AdaptToHost() {
  mHostSetupDone = true;
  switch (IdentifyHost()) {
    case kHostForte:
    case kHostAudition:
    case kHostOrion:
    case kHostSawStudio:
      AdjustPinsForHost();
      break;
    default:
      break;
  }
  mInputSpeakers.numChannels = mAEffect.numInputs = NInChannels();
  mOutputSpeakers.numChannels = mAEffect.numOutputs = NOutChannels();
  HostIdentified();
}

// ---- Editor and latency ----

void IPlugVST::AttachEditor(IGraphics* graphics) {
  IPlugBase::AttachEditor(graphics);
  IGraphics* gui = GetGUI();
  if (!gui) return;
  mAEffect.flags |= effFlagsHasEditor;
  mEditorRect = {0, 0, static_cast<VstInt16>(gui->Height()), static_cast<VstInt16>(gui->Width())};
}

void IPlugVST::ResizeEditor(int /*width*/, int /*height*/) {
  if (IGraphics* gui = GetGUI()) {
    mEditorRect.bottom = static_cast<VstInt16>(gui->Height());
    mEditorRect.right = static_cast<VstInt16>(gui->Width());
  }
  EditorResized();
}

void IPlugVST::SetProcessingDelay(int samples) {
  mAEffect.initialDelay = samples;
  IPlugBase::SetProcessingDelay(samples);
}
