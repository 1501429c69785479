#include "framework/vst2/IPlugVST.h"

namespace {
constexpr int kDefaultBlockSize = 1024;
}

IPlugVST::IPlugVST(const IPlugInstanceInfo& info, const IPlugConfig& config)
    : IPlugBase(config), mHostCallback(info.mHostCallback) {
  for (int i = 0; i < NInChannels(); ++i) SetInputChannelConnected(i, true);
  for (int i = 0; i < NOutChannels(); ++i) SetOutputChannelConnected(i, true);
  SetHostBlockSize(kDefaultBlockSize);
}

IPlugVST::~IPlugVST() = default;

void IPlugVST::BeginParamGesture(int /*paramIdx*/) {}

void IPlugVST::ReportParamToHost(int /*paramIdx*/, double /*normalizedValue*/) {}

void IPlugVST::EndParamGesture(int /*paramIdx*/) {}

void IPlugVST::ReportProgramChangeToHost() {}

int IPlugVST::GetTransportSample() {
  return 0;
}

double IPlugVST::GetHostTempo() {
  return 0.0;
}

void IPlugVST::GetHostTimeSignature(int* numerator, int* denominator) {
  if (numerator) *numerator = 0;
  if (denominator) *denominator = 0;
}

void IPlugVST::GetTransportInfo(ITransportInfo* /*info*/) {}

void IPlugVST::ResizeEditor(int /*width*/, int /*height*/) {
  EditorResized();
}

bool IPlugVST::SendMidiToHost(const IMidiMessage& /*msg*/) {
  return false;
}
