#pragma once

#include <cstdint>

#include "framework/IPlugBase.h"
#include "framework/vst2/VstInterface.h"

// What the host hands the entry point for one instance.
struct IPlugInstanceInfo {
  audioMasterCallback mHostCallback = nullptr;
};

// Host programs the plug-in tells apart by their product string; 0 is any other host, -1 not yet
// asked.
enum HostKind : std::int32_t {
  kHostUninit = -1,
  kHostUnknown = 0,
  kHostReaper = 1,
  kHostProTools = 2,
  kHostCubase = 3,
  kHostNuendo = 4,
  kHostCakewalk = 5,
  kHostFruity = 7,
  kHostSamplitude = 8,
  kHostLive = 9,
  kHostMelodyne = 12,
  kHostVstManLib = 13,
  kHostAULab = 14,
  kHostForte = 15,
  kHostChainer = 16,
  kHostAudition = 17,
  kHostOrion = 18,
  kHostSawStudio = 20,
  kHostLogic = 21,
  kHostGarageBand = 22,
  kHostDigital = 23,
  kHostStandalone = 24,
  kHostAudioMulch = 25,
  kHostPresonus = 26,
  kHostVst3PluginTestHost = 27,
  kHostArdour = 28,
  kHostRenoise = 29,
  kHostOpenMPT = 30,
};

// Binds the plug-in base to a host that speaks the VST 2.4 interface: fills the AEffect record
// the host talks to, answers its dispatcher, runs the audio and parameter callbacks, and carries
// the plug-in's requests (automation, MIDI out, transport queries) to the host callback.
//
// Threads: the host calls the dispatcher from its user-interface thread and the process and
// parameter callbacks from its audio thread (parameters sometimes from either); every entry
// takes the plug-in mutex for its whole run, so they never overlap. The host callback is called
// with the mutex held. Without a host callback (tests, offline tools) every request to the host
// is a quiet no-op.
class IPlugVST : public IPlugBase {
 public:
  IPlugVST(const IPlugInstanceInfo& info, const IPlugConfig& config);
  ~IPlugVST() override;

  void BeginParamGesture(int paramIdx) override;
  void ReportParamToHost(int paramIdx, double normalizedValue) override;
  void EndParamGesture(int paramIdx) override;
  void ReportProgramChangeToHost() override;
  bool IsOfflineRender() override;
  int GetTransportSample() override;
  double GetHostTempo() override;
  void GetHostTimeSignature(int* numerator, int* denominator) override;
  void GetTransportInfo(ITransportInfo* info) override;
  int IdentifyHost() override;
  void ResizeEditor(int width, int height) override;
  void AdaptToHost() override;
  void AttachEditor(IGraphics* graphics) override;
  void SetProcessingDelay(int samples) override;
  bool SendMidiToHost(const IMidiMessage& msg) override;
  bool SendSysExToHost(const ISysExMessage& msg) override;

  AEffect* GetAEffect() { return &mAEffect; }

  // The HostKind of a product string: the first word of the table found anywhere in it, letter
  // case ignored.
  static int HostKindFromProduct(const char* product);
  // A host's decimal vendor version (major*10000 + minor*100 + patch) as 0xMMMMmmpp.
  static int HostVersionFromVendorVersion(VstIntPtr version);
  // Hosts that send and expect every chunk, banks included, through the program path: the whole
  // vendor string compared without letter case.
  static bool IsProgramPathVendor(const char* vendor);

 private:
  static VstIntPtr VSTCALLBACK VSTDispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                             VstIntPtr value, void* ptr, float opt);
  static void VSTCALLBACK VSTProcess(AEffect* effect, float** inputs, float** outputs,
                                     VstInt32 frames);
  static void VSTCALLBACK VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs,
                                              VstInt32 frames);
  static void VSTCALLBACK VSTProcessDoubleReplacing(AEffect* effect, double** inputs,
                                                    double** outputs, VstInt32 frames);
  static float VSTCALLBACK VSTGetParameter(AEffect* effect, VstInt32 index);
  static void VSTCALLBACK VSTSetParameter(AEffect* effect, VstInt32 index, float value);

  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
  VstIntPtr HostCall(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);
  const VstTimeInfo* HostTime(VstInt32 flags);
  void RequestHostMidi();

  void OpenForHost();
  void SetMainsOn(bool on);
  VstIntPtr GetParamText(VstInt32 opcode, VstInt32 index, char* text);
  VstIntPtr GetChunk(bool isBank, void** data);
  VstIntPtr SetChunk(bool isBank, const void* data, VstIntPtr size);
  VstIntPtr ProcessEvents(const VstEvents* events);
  VstIntPtr String2Parameter(VstInt32 index, const char* text);
  VstIntPtr GetPinProperties(bool input, VstInt32 index, VstPinProperties* properties);
  VstIntPtr SetSpeakerArrangement(const VstSpeakerArrangement* input,
                                  const VstSpeakerArrangement* output);
  VstIntPtr VendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt);
  VstIntPtr CanDo(const char* text);
  bool IsProgramPathHost();

  ERect mEditorRect = {0, 0, 0, 0};
  audioMasterCallback mHostCallback;
  VstSpeakerArrangement mInputSpeakers = {};
  VstSpeakerArrangement mOutputSpeakers = {};
  bool mHostSetupDone = false;
  // Set by the first block after the host switches processing on, which asks it for MIDI.
  bool mMidiRequested = false;
  std::uint32_t mExtensions = 0;  // bit 0, bit 1: the host asked about these extensions
  bool mVendorAsked = false;
  bool mProgramPathHost = false;
  AEffect mAEffect = {};
};
