#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/IPlugBase.h"

namespace framework_test {

// A plug-in base with this product's identity and the default state (every parameter as a
// double). Parameter ranges cycle through four kinds, so clamping, shapes and integer steps all
// show: i % 4 == 0: 0..1; 1: -5..5; 2: 1..100 with shape 2; 3: integer 0..10.
class TestPlug : public IPlugBase {
 public:
  static IPlugConfig Config(int nParams, int nPrograms) {
    IPlugConfig config;
    config.effectName = "Test";
    config.uniqueID = FourCharCode("krx7");
    config.mfrID = FourCharCode("MoVn");
    config.version = 0x00010106;
    config.channelIOString = "0-2";
    config.nParams = nParams;
    config.nPrograms = nPrograms;
    config.doesChunks = true;
    return config;
  }

  explicit TestPlug(int nParams = 146, int nPrograms = 64) : IPlugBase(Config(nParams, nPrograms)) {
    for (int i = 0; i < NParams(); ++i) {
      IParameter* param = GetParam(i);
      switch (i % 4) {
        case 0:
          param->InitContinuous("unit", 0.5, 0.0, 1.0, 0.01, 1.0);
          break;
        case 1:
          param->InitContinuous("bipolar", 0.0, -5.0, 5.0, 0.01, 1.0);
          break;
        case 2:
          param->InitContinuous("shaped", 10.0, 1.0, 100.0, 0.01, 2.0);
          break;
        default:
          param->SetType(ParamTypeInt);
          param->InitContinuous("steps", 3.0, 0.0, 10.0, 1.0, 1.0);
          break;
      }
    }
  }

  void SetValues(const std::vector<double>& values) {
    for (int i = 0; i < NParams() && i < static_cast<int>(values.size()); ++i) {
      GetParam(i)->SetValue(values[i]);
    }
  }
  std::vector<double> Values() const {
    std::vector<double> values;
    for (int i = 0; i < NParams(); ++i) values.push_back(GetParam(i)->Value());
    return values;
  }
  // A distinct, in-range sound for program number seed.
  void SetSeededValues(int seed) {
    for (int i = 0; i < NParams(); ++i) {
      IParameter* param = GetParam(i);
      const double x = ((seed * 37 + i * 11) % 101) / 100.0;
      param->SetFromNormalized(x);
    }
  }

  void BeginParamGesture(int) override {}
  void ReportParamToHost(int, double) override {}
  void EndParamGesture(int) override {}
  void ReportProgramChangeToHost() override { ++programChangesReported; }
  int GetTransportSample() override { return 0; }
  double GetHostTempo() override { return 120.0; }
  void GetHostTimeSignature(int*, int*) override {}
  void GetTransportInfo(ITransportInfo*) override {}
  void ResizeEditor(int, int) override {}
  bool SendMidiToHost(const IMidiMessage&) override { return false; }
  void OnParameterChange(int idx) override {
    if (recordChanges) changed.push_back(idx);
  }

  int programChangesReported = 0;
  bool recordChanges = false;
  std::vector<int> changed;
};

// Everything a failed read must leave alone, for comparing before and after.
struct Fingerprint {
  std::vector<double> values;
  std::vector<std::string> names;
  std::vector<bool> initialized;
  std::vector<std::vector<std::uint8_t>> states;
  int current = -1;

  explicit Fingerprint(TestPlug& plug) : values(plug.Values()), current(plug.GetCurrentProgram()) {
    for (int i = 0; i < plug.NPrograms(); ++i) {
      const IProgramSlot* slot = plug.GetProgram(i);
      names.push_back(slot->mName);
      initialized.push_back(slot->mInitialized);
      states.emplace_back(slot->mState.Data(), slot->mState.Data() + slot->mState.Size());
    }
  }
  bool operator==(const Fingerprint&) const = default;
};

inline void ExpectUnchanged(const Fingerprint& before, const Fingerprint& after) {
  EXPECT_EQ(before.values, after.values);
  EXPECT_EQ(before.names, after.names);
  EXPECT_EQ(before.initialized, after.initialized);
  EXPECT_TRUE(before.states == after.states) << "a slot's stored state changed";
  EXPECT_EQ(before.current, after.current);
}

inline std::vector<std::uint8_t> Bytes(const ChunkBuffer& chunk) {
  return {chunk.Data(), chunk.Data() + chunk.Size()};
}

}  // namespace framework_test
