#pragma once

#include <cstdint>

#include "framework/IPlugBase.h"

struct AEffect;
using audioMasterCallback = std::intptr_t (*)(AEffect* effect, std::int32_t opcode,
                                              std::int32_t index, std::intptr_t value, void* ptr,
                                              float opt);

// What the host hands the entry point for one instance.
struct IPlugInstanceInfo {
  audioMasterCallback mHostCallback = nullptr;
};

// Binds the plug-in base to a host that speaks the VST 2.4 interface. Without a host callback
// (tests, offline tools) every host-facing operation is a quiet no-op.
class IPlugVST : public IPlugBase {
 public:
  IPlugVST(const IPlugInstanceInfo& info, const IPlugConfig& config);
  ~IPlugVST() override;

  void BeginParamGesture(int paramIdx) override;
  void ReportParamToHost(int paramIdx, double normalizedValue) override;
  void EndParamGesture(int paramIdx) override;
  void ReportProgramChangeToHost() override;
  int GetTransportSample() override;
  double GetHostTempo() override;
  void GetHostTimeSignature(int* numerator, int* denominator) override;
  void GetTransportInfo(ITransportInfo* info) override;
  void ResizeEditor(int width, int height) override;
  bool SendMidiToHost(const IMidiMessage& msg) override;

 protected:
  audioMasterCallback mHostCallback;
};
