// What the plug-in asks of its host, seen from our host: identification, transport, automation,
// MIDI out. The engine is built into the test program here so the tests can call the plug-in's
// host-facing operations directly; the last test checks that the binary renders exactly what this
// built-in engine renders.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "engine/Rhythmoria.h"
#include "tests/e2e/PluginFixture.h"

namespace {

using vsthost::HostSettings;
using vsthost::MidiOut;
using vsthost::PluginHost;

IPlugVST* Plug(PluginHost& host) {
  return static_cast<IPlugVST*>(host.Effect()->object);
}

TEST(HostIdentificationTest, ProductStringsAndVersion) {
  struct Case {
    const char* product;
    int kind;
  };
  const Case cases[] = {
      {"Cubase Pro 12 bridging REAPER", kHostCubase},
      {"cUbAsE", kHostCubase},
      {"REAPER", kHostReaper},
      {"Oliver's Deliverance Studio", kHostLive},  // inside longer words still counts
      {"Reaper Live", kHostReaper},                // an earlier word of the table wins
      {"Digital Performer", kHostDigital},
      {"vst3PluginTestHost", kHostVst3PluginTestHost},
      {"Some Other DAW", kHostUnknown},
  };
  for (const Case& c : cases) {
    HostSettings settings;
    settings.product = c.product;
    settings.vendorVersion = 120304;
    auto host = e2e::CreateInProcess(settings);
    ASSERT_TRUE(host);
    EXPECT_EQ(Plug(*host)->IdentifyHost(), c.kind) << c.product;
    EXPECT_EQ(Plug(*host)->GetHostVersion(), (12 << 16) | (3 << 8) | 4) << c.product;
    // Asked once, on the first effOpen.
    host->Dispatch(effOpen);
    EXPECT_EQ(host->CallCount(audioMasterGetProductString), 1) << c.product;
  }

  HostSettings silent;
  silent.product = "";
  auto host = e2e::CreateInProcess(silent);
  ASSERT_TRUE(host);
  EXPECT_EQ(Plug(*host)->IdentifyHost(), kHostUnknown);
  EXPECT_EQ(Plug(*host)->GetHostVersion(), 0);
  EXPECT_EQ(host->CallCount(audioMasterGetVendorVersion), 0);
}

TEST(HostTransportTest, TimeInformationReachesThePlugIn) {
  HostSettings settings;
  settings.tempo = 133.0;
  settings.timeSigNumerator = 3;
  settings.timeSigDenominator = 4;
  auto host = e2e::CreateInProcess(settings);
  ASSERT_TRUE(host);
  host->SetPosition(4 * 44100 + 10);
  host->ProcessReplacing(16);  // the host's time now answers for this block
  IPlugVST* plug = Plug(*host);

  EXPECT_EQ(plug->GetTransportSample(), 4 * 44100 + 10);
  EXPECT_DOUBLE_EQ(plug->GetHostTempo(), 133.0);
  int numerator = 0, denominator = 0;
  plug->GetHostTimeSignature(&numerator, &denominator);
  EXPECT_EQ(numerator, 3);
  EXPECT_EQ(denominator, 4);
  ITransportInfo info;
  plug->GetTransportInfo(&info);
  const double ppq = (4.0 * 44100 + 10) / 44100.0 * 133.0 / 60.0;
  EXPECT_DOUBLE_EQ(info.mPPQPos, ppq);
  EXPECT_DOUBLE_EQ(info.mLastBar, 6.0);  // bars of three beats: the third bar starts at beat 6
  EXPECT_DOUBLE_EQ(info.mTempo, 133.0);
  EXPECT_EQ(info.mNumerator, 3);
  EXPECT_TRUE(info.mTransportIsRunning);
  EXPECT_FALSE(info.mTransportLoopEnabled);

  host->Settings().answerTime = false;
  EXPECT_EQ(plug->GetTransportSample(), 0);
  EXPECT_EQ(plug->GetHostTempo(), 0.0);
  plug->GetHostTimeSignature(&numerator, &denominator);
  EXPECT_EQ(numerator, 0);
  EXPECT_EQ(denominator, 0);
  ITransportInfo untouched;
  untouched.mTempo = 77.0;
  plug->GetTransportInfo(&untouched);
  EXPECT_EQ(untouched.mTempo, 77.0);
  EXPECT_EQ(untouched.mNumerator, 4);
  EXPECT_FALSE(untouched.mTransportIsRunning);
}

TEST(HostReportTest, AutomationGesturesMidiAndProcessLevel) {
  HostSettings settings;
  settings.processLevel = kVstProcessLevelRealtime;
  auto host = e2e::CreateInProcess(settings);
  ASSERT_TRUE(host);
  IPlugVST* plug = Plug(*host);
  host->TakeReports();

  plug->BeginParamGesture(7);
  plug->SetParamFromEditor(7, 0.25);
  plug->EndParamGesture(7);
  const auto reports = host->TakeReports();
  ASSERT_EQ(reports.size(), 3u);
  EXPECT_EQ(reports[0].opcode, audioMasterBeginEdit);
  EXPECT_EQ(reports[1].opcode, audioMasterAutomate);
  EXPECT_EQ(reports[1].index, 7);
  EXPECT_EQ(reports[1].value, 0.25f);
  EXPECT_EQ(reports[2].opcode, audioMasterEndEdit);
  EXPECT_EQ(host->GetParameter(7), 0.25f);

  const int updates = host->CallCount(audioMasterUpdateDisplay);
  plug->ReportProgramChangeToHost();
  EXPECT_EQ(host->CallCount(audioMasterUpdateDisplay), updates + 1);

  EXPECT_FALSE(plug->IsOfflineRender());
  host->Settings().processLevel = kVstProcessLevelOffline;
  EXPECT_TRUE(plug->IsOfflineRender());

  // MIDI goes out at its offset within the block being rendered; the first block after the host
  // switches processing on asks for MIDI in, the others do not.
  host->SetMains(false);
  host->SetMains(true);
  const int midiRequests = host->CallCount(audioMasterWantMidi);
  host->ProcessReplacing(64);
  host->SetPosition(1000);
  host->ProcessReplacing(64);
  EXPECT_EQ(host->CallCount(audioMasterWantMidi), midiRequests + 1);
  host->TakeMidiOut();
  EXPECT_TRUE(plug->SendMidiToHost(IMidiMessage(10, 0x91, 60, 100)));
  const auto midi = host->TakeMidiOut();
  ASSERT_EQ(midi.size(), 1u);
  EXPECT_EQ(midi[0].frame, 1010);
  EXPECT_EQ(midi[0].status, 0x91);
  EXPECT_EQ(midi[0].data1, 60);
  EXPECT_EQ(midi[0].data2, 100);
  const std::uint8_t dump[] = {0xF0, 0x7D, 0x01, 0xF7};
  ISysExMessage sysex;
  sysex.mSize = sizeof(dump);
  sysex.mData = dump;
  EXPECT_TRUE(plug->SendSysExToHost(sysex));
}

// Records the order of activation calls the dispatcher makes.
class ActivationProbe : public Rhythmoria {
 public:
  using Rhythmoria::Rhythmoria;
  void SetActive(bool active) override {
    calls.push_back(active ? "active" : "inactive");
    Rhythmoria::SetActive(active);
  }
  void OnReset() override {
    calls.push_back("reset");
    Rhythmoria::OnReset();
  }
  std::vector<std::string> calls;
};

AEffect* ProbeEntry(audioMasterCallback callback) {
  return (new ActivationProbe(IPlugInstanceInfo{callback}))->GetAEffect();
}

TEST(HostReportTest, MainsOffResetsAfterDeactivating) {
  std::string error;
  auto host = PluginHost::Create(ProbeEntry, {}, &error);
  ASSERT_TRUE(host) << error;
  auto* probe = static_cast<ActivationProbe*>(Plug(*host));
  host->SetMains(true);
  EXPECT_EQ(probe->calls, std::vector<std::string>{"active"});
  probe->calls.clear();
  host->SetMains(false);
  EXPECT_EQ(probe->calls, (std::vector<std::string>{"inactive", "reset"}));
}

// Renders seconds of the running rhythm, all 16 channels, and the MIDI it sent.
struct Rendered {
  std::vector<std::vector<float>> channels;
  std::vector<MidiOut> midi;
};

Rendered Render(PluginHost& host, int block, int frames) {
  Rendered out;
  out.channels.assign(16, {});
  for (int done = 0; done < frames; done += block) {
    const int n = std::min(block, frames - done);
    host.ProcessReplacing(n);
    for (int c = 0; c < 16; ++c) {
      out.channels[c].insert(out.channels[c].end(), host.Output(c), host.Output(c) + n);
    }
  }
  out.midi = host.TakeMidiOut();
  return out;
}

bool SameMidi(const std::vector<MidiOut>& a, const std::vector<MidiOut>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].frame != b[i].frame || a[i].status != b[i].status || a[i].data1 != b[i].data1 ||
        a[i].data2 != b[i].data2) {
      return false;
    }
  }
  return true;
}

// Both the binary and the built-in engine start from a fresh process-wide noise generator, so
// this test must run in a process of its own (the test runner gives it one).
TEST(InProcessTest, BinaryRendersExactlyWhatTheEngineRenders) {
  auto binary = e2e::LoadPlugin();
  auto engine = e2e::CreateInProcess();
  ASSERT_TRUE(binary && engine);
  e2e::StartRhythm(*binary);
  e2e::StartRhythm(*engine);
  const Rendered a = Render(*binary, 512, 3 * 44100);
  const Rendered b = Render(*engine, 512, 3 * 44100);
  float peak = 0.0f;
  for (int c = 0; c < 16; ++c) {
    EXPECT_EQ(a.channels[c], b.channels[c]) << "channel " << c;
    for (float s : a.channels[c]) peak = std::max(peak, std::fabs(s));
  }
  EXPECT_GT(peak, 0.0f);
  EXPECT_FALSE(a.midi.empty());
  EXPECT_TRUE(SameMidi(a.midi, b.midi));
}

std::vector<MidiOut> InTimeOrder(std::vector<MidiOut> midi) {
  std::sort(midi.begin(), midi.end(), [](const MidiOut& a, const MidiOut& b) {
    return std::tie(a.frame, a.status, a.data1) < std::tie(b.frame, b.status, b.data1);
  });
  return midi;
}

// The rhythm's notes reach the host at sample offsets that put them on the clock's grid, and
// where a note lands does not depend on how the host cuts the render into blocks, also when the
// blocks are longer than the size it announced (0 announces nothing; the plug-in then assumes
// 1024) and the plug-in renders each in pieces.
TEST(InProcessTest, RhythmMidiOutLandsOnTheClockWhateverTheBlockSize) {
  std::vector<std::vector<MidiOut>> renders;
  const std::pair<int, int> announcedAndRendered[] = {
      {64, 64}, {1000, 1000}, {256, 1024}, {0, 4096}};
  for (const auto& [announced, block] : announcedAndRendered) {
    HostSettings settings;
    settings.blockSize = announced;
    auto host = e2e::LoadPlugin(settings);
    ASSERT_TRUE(host);
    e2e::StartRhythm(*host);
    std::vector<MidiOut> midi = Render(*host, block, 4 * 44100).midi;
    // In the order sent, no note ends at the host before it has begun.
    std::map<int, std::int64_t> lastOn;
    for (const MidiOut& event : midi) {
      if ((event.status & 0xF0) == 0x90) lastOn[event.data1] = event.frame;
      if ((event.status & 0xF0) == 0x80 && lastOn.count(event.data1)) {
        EXPECT_GE(event.frame, lastOn[event.data1]) << "note " << int(event.data1);
      }
    }
    renders.push_back(InTimeOrder(std::move(midi)));
  }
  ASSERT_GT(renders[0].size(), 20u);
  for (std::size_t i = 1; i < renders.size(); ++i) {
    EXPECT_TRUE(SameMidi(renders[0], renders[i])) << "render " << i;
  }

  // 24 clock ticks a beat at the host's 120 beats per minute; a tick falls between samples, and
  // the clock counts whole samples.
  const double samplesPerTick = 44100.0 * 60.0 / 120.0 / 24.0;
  for (const MidiOut& event : renders[0]) {
    const double ticks = event.frame / samplesPerTick;
    EXPECT_NEAR(event.frame, std::round(ticks) * samplesPerTick, 2.0) << event.frame;
  }
}

}  // namespace
