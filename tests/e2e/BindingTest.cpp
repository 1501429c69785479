// The plug-in binary as a host sees it: identity, dispatcher answers, text bounds, chunks and
// robustness against what careless hosts send.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "framework/vst2/HostTextBounds.h"
#include "host/SharedLibrary.h"
#include "tests/e2e/PluginFixture.h"

namespace {

using vsthost::HostSettings;
using vsthost::PluginHost;

constexpr VstInt32 FourChars(const char (&c)[5]) {
  return (VstInt32{c[0]} << 24) | (VstInt32{c[1]} << 16) | (VstInt32{c[2]} << 8) | c[3];
}

TEST(BindingTest, IdentityAndFlags) {
  auto host = e2e::LoadPlugin();
  ASSERT_TRUE(host);
  const AEffect* effect = host->Effect();
  EXPECT_EQ(effect->magic, kEffectMagic);
  EXPECT_EQ(effect->numParams, 146);
  EXPECT_EQ(effect->numPrograms, 64);
  EXPECT_EQ(effect->numInputs, 0);
  EXPECT_EQ(effect->numOutputs, 16);
  // Editor, replacing, program chunks, double replacing, synth.
  EXPECT_EQ(effect->flags, 0x1131);
  ERect* rect = nullptr;
  ASSERT_EQ(host->Dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->right - rect->left, 800);
  EXPECT_EQ(rect->bottom - rect->top, 409);
  EXPECT_EQ(effect->uniqueID, FourChars("krx7"));
  EXPECT_EQ(effect->version, 10106);
  EXPECT_EQ(effect->initialDelay, 0);
  EXPECT_EQ(effect->ioRatio, 1.0f);
  EXPECT_NE(effect->processReplacing, nullptr);
  EXPECT_NE(effect->processDoubleReplacing, nullptr);

  EXPECT_EQ(host->EffectName(), "Rhythmoria");
  EXPECT_EQ(host->Vendor(), "Morvane Music");
  EXPECT_EQ(host->Product(), "");
  EXPECT_EQ(host->Dispatch(effGetVendorVersion), 10106);
  EXPECT_EQ(host->Dispatch(effGetVstVersion), 2400);
  EXPECT_EQ(host->Dispatch(effGetPlugCategory), kPlugCategSynth);
  EXPECT_EQ(host->Dispatch(effIdentify), FourChars("NvEf"));
  EXPECT_EQ(host->Dispatch(effGetTailSize), 0);
  EXPECT_EQ(host->Dispatch(effCanBeAutomated, 5), 1);
  EXPECT_EQ(host->Dispatch(effProcessVarIo), 0);
  // Opcodes outside the table; the editor opens only in a window of the host's.
  for (VstInt32 opcode : {9, 16, 44, 56, 71, 200, -1}) EXPECT_EQ(host->Dispatch(opcode), 0);
  EXPECT_EQ(host->Dispatch(effEditOpen), 0);
}

TEST(BindingTest, ExportsOnlyTheTwoEntryPoints) {
  std::string error;
  auto library = vsthost::SharedLibrary::Open(e2e::PluginPath(), &error);
  ASSERT_TRUE(library) << error;
  void* entry = library->Function("VSTPluginMain");
  EXPECT_NE(entry, nullptr);
  EXPECT_EQ(library->Function("main"), entry);
  // Our classes stay inside: two plug-ins built from different versions of them can share a
  // host process.
  EXPECT_EQ(library->Function("_ZTV10Rhythmoria"), nullptr);
  EXPECT_EQ(library->Function("_ZN8IPlugVST13VSTDispatcherEP7AEffectiilPvf"), nullptr);
}

TEST(BindingTest, CanDoAnswers) {
  auto host = e2e::LoadPlugin();
  ASSERT_TRUE(host);
  auto canDo = [&](const char* text) {
    std::string copy = text;
    return host->Dispatch(effCanDo, 0, 0, copy.data());
  };
  for (const char* text : {"receiveVstTimeInfo", "sendVstEvents", "sendVstMidiEvent",
                           "receiveVstEvents", "receiveVstMidiEvent"}) {
    EXPECT_EQ(canDo(text), 1) << text;
  }
  EXPECT_EQ(canDo("hasCockosExtensions"), static_cast<VstIntPtr>(0xBEEF0000));
  EXPECT_EQ(canDo("hasCockosViewAsConfig"), static_cast<VstIntPtr>(0xBEEF0000));
  for (const char* text :
       {"", "receiveVstMidiEvents", "ReceiveVstMidiEvent", "offline", "bypass"}) {
    EXPECT_EQ(canDo(text), 0) << text;
  }
  EXPECT_EQ(host->Dispatch(effCanDo, 0, 0, nullptr), 0);
}

TEST(BindingTest, PinPropertiesAndSpeakers) {
  auto host = e2e::LoadPlugin();
  ASSERT_TRUE(host);
  // A host need not clear the record: what the plug-in does not fill reads as empty.
  VstPinProperties pin;
  std::memset(&pin, 0x5A, sizeof(pin));
  ASSERT_EQ(host->Dispatch(effGetOutputProperties, 14, 0, &pin), 1);
  EXPECT_EQ(pin.flags, kVstPinIsActive | kVstPinIsStereo);
  EXPECT_STREQ(pin.label, "Extra 7 L");
  EXPECT_STREQ(pin.shortLabel, "");
  EXPECT_EQ(pin.arrangementType, 0);
  ASSERT_EQ(host->Dispatch(effGetOutputProperties, 15, 0, &pin), 1);
  EXPECT_EQ(pin.flags, kVstPinIsActive);
  EXPECT_STREQ(pin.label, "Extra 7 R");
  ASSERT_EQ(host->Dispatch(effGetOutputProperties, 0, 0, &pin), 1);
  EXPECT_STREQ(pin.label, "Sum L");
  EXPECT_EQ(host->Dispatch(effGetOutputProperties, 16, 0, &pin), 0);
  EXPECT_EQ(host->Dispatch(effGetOutputProperties, -1, 0, &pin), 0);
  EXPECT_EQ(host->Dispatch(effGetOutputProperties, 0, 0, nullptr), 0);
  EXPECT_EQ(host->Dispatch(effGetInputProperties, 0, 0, &pin), 0);

  VstSpeakerArrangement* input = nullptr;
  VstSpeakerArrangement* output = nullptr;
  ASSERT_EQ(
      host->Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&input), &output), 1);
  ASSERT_TRUE(input && output);
  EXPECT_EQ(input->type, kSpeakerArrEmpty);
  EXPECT_EQ(input->numChannels, 0);
  EXPECT_EQ(output->type, kSpeakerArrUserDefined);
  EXPECT_EQ(output->numChannels, 16);
}

TEST(BindingTest, StereoSpeakerArrangementTakesTwoHostBuffers) {
  auto host = e2e::LoadPlugin();
  ASSERT_TRUE(host);
  e2e::StartRhythm(*host);
  VstSpeakerArrangement stereo = {};
  stereo.type = kSpeakerArrStereo;
  stereo.numChannels = 2;
  ASSERT_EQ(host->Dispatch(effSetSpeakerArrangement, 0, 0, &stereo), 1);

  // A host that set a stereo output passes two buffers; the plug-in must touch no third.
  constexpr int kFrames = 256;
  std::vector<float> left(kFrames, 7.0f), right(kFrames, 7.0f);
  float* outputs[2] = {left.data(), right.data()};
  for (int block = 0; block < 40; ++block) {
    host->Effect()->processReplacing(host->Effect(), nullptr, outputs, kFrames);
  }
  EXPECT_NE(left[0], 7.0f);
  EXPECT_FALSE(e2e::HasBadSample(left.data(), kFrames));
}

TEST(BindingTest, String2Parameter) {
  auto host = e2e::LoadPlugin();
  ASSERT_TRUE(host);
  const int power = host->FindParameter("Power");
  const int tempo = host->FindParameter("Tempo");
  ASSERT_GE(power, 0);
  ASSERT_GE(tempo, 0);

  EXPECT_TRUE(host->SetParameterText(power, "off"));
  EXPECT_EQ(host->GetParameter(power), 0.0f);
  EXPECT_TRUE(host->SetParameterText(power, "on"));
  EXPECT_EQ(host->GetParameter(power), 1.0f);
  EXPECT_EQ(host->ParamDisplay(power), "on");
  EXPECT_FALSE(host->SetParameterText(power, "maybe"));
  EXPECT_FALSE(host->SetParameterText(power, "On"));
  EXPECT_EQ(host->GetParameter(power), 1.0f);

  EXPECT_TRUE(host->SetParameterText(tempo, "100"));
  EXPECT_EQ(host->ParamDisplay(tempo), "100.000000");
  EXPECT_TRUE(host->SetParameterText(tempo, "1000"));  // clamped to the range
  EXPECT_EQ(host->ParamDisplay(tempo), "240.000000");
  // Text that is no number leaves the value alone instead of setting it to 0.
  EXPECT_FALSE(host->SetParameterText(tempo, "fast"));
  EXPECT_EQ(host->ParamDisplay(tempo), "240.000000");

  EXPECT_EQ(host->Dispatch(effString2Parameter, tempo, 0, nullptr), 1);
  char text[] = "on";
  EXPECT_EQ(host->Dispatch(effString2Parameter, 146, 0, text), 0);
  EXPECT_EQ(host->Dispatch(effString2Parameter, -1, 0, text), 0);
}

// Every text the plug-in writes into a host buffer stays within its bound: the bytes from the
// bound on keep the pattern the host filled the buffer with.
class TextBoundsTest : public ::testing::Test {
 protected:
  static constexpr unsigned char kFill = 0xA5;
  static constexpr std::size_t kBuffer = 512;

  void SetUp() override {
    host = e2e::LoadPlugin();
    ASSERT_TRUE(host);
  }

  // The text the plug-in wrote, after checking it stayed within bound bytes.
  std::string Query(VstInt32 opcode, VstInt32 index, std::size_t bound, VstIntPtr value = 0,
                    float opt = 0.0f) {
    buffer.fill(kFill);
    host->Dispatch(opcode, index, value, buffer.data(), opt);
    const auto* end = static_cast<const unsigned char*>(std::memchr(buffer.data(), 0, bound));
    EXPECT_NE(end, nullptr) << "opcode " << opcode << " index " << index << ": no NUL within "
                            << bound << " bytes";
    for (std::size_t i = bound; i < kBuffer; ++i) {
      if (buffer[i] != kFill) {
        ADD_FAILURE() << "opcode " << opcode << " index " << index << " wrote byte " << i;
        break;
      }
    }
    return end ? std::string(reinterpret_cast<const char*>(buffer.data())) : std::string();
  }

  std::unique_ptr<PluginHost> host;
  std::array<unsigned char, kBuffer> buffer{};
};

TEST_F(TextBoundsTest, ParameterTextsStayWithinTheirBounds) {
  for (int i = 0; i < host->NumParams(); ++i) {
    for (float value : {0.0f, 0.37f, 1.0f}) {
      host->SetParameter(i, value);
      EXPECT_FALSE(Query(effGetParamName, i, host_text::kParamName).empty()) << i;
      Query(effGetParamLabel, i, host_text::kParamLabel);
      EXPECT_FALSE(Query(effGetParamDisplay, i, host_text::kParamDisplay).empty()) << i;
      Query(effVendorSpecific, 7, host_text::kParamDisplay, i, value);
    }
  }
  // The longest names and displays come through whole.
  EXPECT_EQ(
      Query(effGetParamName, host->FindParameter("Small Bongo Frequency"), host_text::kParamName),
      "Small Bongo Frequency");
  host->SetParameterText(host->FindParameter("Tempo"), "120");
  EXPECT_EQ(Query(effGetParamDisplay, host->FindParameter("Tempo"), host_text::kParamDisplay),
            "120.000000");
}

TEST_F(TextBoundsTest, ProgramAndPlugInNamesStayWithinTheirBounds) {
  std::string longName(300, 'x');
  longName.replace(0, 24, "Twenty-four characters!A");  // the 24th is 'A'
  ASSERT_EQ(host->Dispatch(effSetProgramName, 0, 0, longName.data()), 0);
  // Cut at the 24th character: factory names that differ there stay apart.
  EXPECT_EQ(Query(effGetProgramName, 0, host_text::kProgramName), longName.substr(0, 24));
  EXPECT_EQ(Query(effGetProgramNameIndexed, host->CurrentProgram(), host_text::kProgramName),
            longName.substr(0, 24));
  for (int i = 0; i < host->NumPrograms(); ++i) {
    Query(effGetProgramNameIndexed, i, host_text::kProgramName);
  }
  EXPECT_EQ(Query(effGetEffectName, 0, host_text::kEffectName), "Rhythmoria");
  EXPECT_EQ(Query(effGetVendorString, 0, host_text::kVendor), "Morvane Music");
  Query(effGetProductString, 0, host_text::kProduct);
}

TEST(BindingTest, NullPointersOutOfRangeIndicesAndEmptyBlocks) {
  auto host = e2e::LoadPlugin();
  ASSERT_TRUE(host);
  AEffect* effect = host->Effect();
  for (VstInt32 opcode = 0; opcode < 80; ++opcode) {
    if (opcode == effClose) continue;
    host->Dispatch(opcode, 0, 0, nullptr, 0.0f);
  }

  char text[64];
  for (VstInt32 index : {-1, 146, 1000, INT_MAX, INT_MIN}) {
    for (VstInt32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
      std::memset(text, 'q', sizeof(text));
      EXPECT_EQ(host->Dispatch(opcode, index, 0, text), 0);
      EXPECT_EQ(text[0], 'q') << "opcode " << opcode << " index " << index;
    }
    EXPECT_EQ(effect->getParameter(effect, index), 0.0f);
    effect->setParameter(effect, index, 0.5f);
    EXPECT_EQ(host->Dispatch(effGetProgramNameIndexed, index, 0, text), 0);
  }
  const int program = host->CurrentProgram();
  // The largest value is past 32 bits on 64-bit hosts.
  for (VstIntPtr value : {VstIntPtr{-1}, VstIntPtr{64}, std::numeric_limits<VstIntPtr>::max()}) {
    host->Dispatch(effSetProgram, 0, value);
    EXPECT_EQ(host->CurrentProgram(), program);
  }
  // A host's odd values for a parameter stay inside its range.
  const int tempo = host->FindParameter("Tempo");
  effect->setParameter(effect, tempo, -3.0f);
  EXPECT_EQ(host->ParamDisplay(tempo), "1.000000");
  effect->setParameter(effect, tempo, 7.0f);
  EXPECT_EQ(host->ParamDisplay(tempo), "240.000000");

  // Blocks of no frames, or fewer than none, touch no buffer.
  std::vector<std::vector<float>> buffers(16, std::vector<float>(8, 3.0f));
  std::vector<std::vector<double>> doubles(16, std::vector<double>(8, 3.0));
  std::vector<float*> outputs;
  std::vector<double*> doubleOutputs;
  for (auto& b : buffers) outputs.push_back(b.data());
  for (auto& b : doubles) doubleOutputs.push_back(b.data());
  for (VstInt32 frames : {0, -5}) {
    effect->processReplacing(effect, nullptr, outputs.data(), frames);
    effect->process(effect, nullptr, outputs.data(), frames);
    effect->processDoubleReplacing(effect, nullptr, doubleOutputs.data(), frames);
  }
  for (int c = 0; c < 16; ++c) {
    EXPECT_EQ(buffers[c][0], 3.0f);
    EXPECT_EQ(doubles[c][0], 3.0);
  }
  // A host that passes no output array gets nothing written anywhere.
  effect->processReplacing(effect, nullptr, nullptr, 64);
  // Events without entries, and entries that are null.
  VstEvents events = {};
  events.numEvents = 2;
  EXPECT_EQ(host->Dispatch(effProcessEvents, 0, 0, &events), 1);
}

TEST(BindingTest, MainsAndBlockSizeChangesKeepRendering) {
  auto host = e2e::LoadPlugin();
  ASSERT_TRUE(host);
  e2e::StartRhythm(*host);
  // A block size of 0 announces nothing usable; the plug-in keeps rendering what it is sent.
  host->Dispatch(effSetBlockSize, 0, 0);
  host->SetMains(false);
  host->SetMains(true);
  float peak = 0.0f;
  for (int block = 0; block < 100; ++block) {
    host->ProcessReplacing(512);
    for (int s = 0; s < 512; ++s) peak = std::max(peak, std::fabs(host->Output(0)[s]));
  }
  EXPECT_GT(peak, 0.0f);
}

// ---- Chunks ----

std::vector<float> AllParameters(PluginHost& host) {
  std::vector<float> values;
  for (int i = 0; i < host.NumParams(); ++i) values.push_back(host.GetParameter(i));
  return values;
}

void Scramble(PluginHost& host, unsigned seed) {
  std::srand(seed);
  for (int i = 0; i < host.NumParams(); ++i) {
    host.SetParameter(i, static_cast<float>(std::rand()) / static_cast<float>(RAND_MAX));
  }
}

TEST(ChunkTest, BankAndProgramChunksRoundTrip) {
  auto host = e2e::LoadPlugin();
  ASSERT_TRUE(host);
  Scramble(*host, 1);
  char name[] = "Round Trip";
  host->Dispatch(effSetProgramName, 0, 0, name);
  const std::vector<float> saved = AllParameters(*host);
  const std::vector<std::uint8_t> bank = host->GetChunk(true);
  const std::vector<std::uint8_t> program = host->GetChunk(false);
  ASSERT_FALSE(bank.empty());
  ASSERT_FALSE(program.empty());
  EXPECT_LT(program.size(), bank.size());

  Scramble(*host, 2);
  ASSERT_TRUE(host->SetChunk(bank, true));
  EXPECT_EQ(AllParameters(*host), saved);
  EXPECT_EQ(host->ProgramName(host->CurrentProgram()), "Round Trip");
  // Each stored program is rewritten as it is read, so the bytes may change; what they hold
  // may not.
  auto other = e2e::LoadPlugin();
  ASSERT_TRUE(other);
  ASSERT_TRUE(other->SetChunk(host->GetChunk(true), true));
  for (int i = 0; i < host->NumPrograms(); ++i) {
    EXPECT_EQ(other->ProgramName(i), host->ProgramName(i)) << i;
  }
  EXPECT_EQ(AllParameters(*other), saved);

  Scramble(*host, 3);
  ASSERT_TRUE(host->SetChunk(program, false));
  EXPECT_EQ(AllParameters(*host), saved);

  EXPECT_EQ(host->Dispatch(effGetChunk, 0, 0, nullptr), 0);
  EXPECT_EQ(host->Dispatch(effSetChunk, 0, 16, nullptr), 0);
  std::vector<std::uint8_t> garbage(7, 0x11);
  EXPECT_FALSE(host->SetChunk(garbage, true));
  EXPECT_FALSE(host->SetChunk({}, false));
  EXPECT_EQ(AllParameters(*host), saved);
}

// A host that keeps only the bank chunk of a project (no program number beside it) reopens it on
// the program it was saved on, with the edits made to it.
TEST(ChunkTest, AProjectReopensOnItsProgram) {
  auto saving = e2e::LoadPlugin();
  ASSERT_TRUE(saving);
  saving->SetProgram(5);
  const int tempo = saving->FindParameter("Tempo");
  saving->SetParameter(tempo, 0.123f);
  const std::vector<float> saved = AllParameters(*saving);
  const std::vector<std::uint8_t> project = saving->GetChunk(true);

  auto reopened = e2e::LoadPlugin();
  ASSERT_TRUE(reopened);
  ASSERT_TRUE(reopened->SetChunk(project, true));
  EXPECT_EQ(reopened->CurrentProgram(), 5);
  EXPECT_EQ(AllParameters(*reopened), saved);
}

TEST(ChunkTest, ProgramPathVendorsGetProgramChunksAndTheirBanksRead) {
  auto reference = e2e::LoadPlugin();
  ASSERT_TRUE(reference);
  char name[] = "Sent As Program";
  reference->Dispatch(effSetProgramName, 0, 0, name);
  Scramble(*reference, 4);
  const std::vector<std::uint8_t> bank = reference->GetChunk(true);
  const std::vector<float> saved = AllParameters(*reference);

  for (const char* vendor :
       {"Native Instruments", "NATIVE INSTRUMENTS", "juce vst host", "JUCE VST Host"}) {
    HostSettings settings;
    settings.vendor = vendor;
    auto host = e2e::LoadPlugin(settings);
    ASSERT_TRUE(host);
    Scramble(*host, 5);
    EXPECT_EQ(host->GetChunk(true).size(), host->GetChunk(false).size()) << vendor;
    EXPECT_LT(host->GetChunk(true).size(), bank.size()) << vendor;
    // A bank sent through the program path is recognised as one.
    ASSERT_TRUE(host->SetChunk(bank, true)) << vendor;
    EXPECT_EQ(AllParameters(*host), saved) << vendor;
    EXPECT_EQ(host->ProgramName(host->CurrentProgram()), "Sent As Program") << vendor;
  }

  // Compared whole: a vendor string that merely contains the name is an ordinary host.
  HostSettings settings;
  settings.vendor = "Native Instruments GmbH";
  auto ordinary = e2e::LoadPlugin(settings);
  ASSERT_TRUE(ordinary);
  EXPECT_GT(ordinary->GetChunk(true).size(), ordinary->GetChunk(false).size());
}

// ---- Loading ----

TEST(LoadTest, HundredLoadUnloadCycles) {
  for (int cycle = 0; cycle < 100; ++cycle) {
    auto host = e2e::LoadPlugin();
    ASSERT_TRUE(host) << "cycle " << cycle;
    host->ProcessReplacing(64);
  }
}

TEST(LoadTest, HostsThatCannotLoadGetAClearReason) {
  std::string error;
  EXPECT_EQ(PluginHost::Load("/nonexistent/Rhythmoria.so", {}, &error), nullptr);
  EXPECT_NE(error.find("/nonexistent/Rhythmoria.so"), std::string::npos);
  // A shared library that is no plug-in.
#ifdef _WIN32
  EXPECT_EQ(PluginHost::Load("kernel32.dll", {}, &error), nullptr);
#else
  EXPECT_EQ(PluginHost::Load("libm.so.6", {}, &error), nullptr);
#endif
  EXPECT_NE(error.find("VSTPluginMain"), std::string::npos) << error;
}

// Another program's VST2 loader reads our identity: the layouts we declared are the ones the
// rest of the world uses, not merely the ones our own host agrees with.
TEST(LoadTest, IndependentScannerReadsIdentity) {
  const std::filesystem::path scanner = "/usr/lib/ardour7/ardour-vst-scanner";
#ifdef _WIN32
  GTEST_SKIP() << "the scanner loads Linux plug-ins only";
#endif
  if (!std::filesystem::exists(scanner)) GTEST_SKIP() << "no independent VST2 scanner installed";
#ifdef RHYTHMORIA_SANITIZED
  GTEST_SKIP() << "a sanitizer build's binary loads only into programs with its runtime";
#endif
  const std::filesystem::path home =
      std::filesystem::temp_directory_path() / ("vst-scan-home-" + std::to_string(getpid()));
  std::filesystem::create_directories(home);
  const std::filesystem::path log = home / "scan.txt";
  const std::string command = "HOME='" + home.string() + "' XDG_CACHE_HOME='" + home.string() +
                              "' LD_LIBRARY_PATH=/usr/lib/ardour7 " + scanner.string() +
                              " -f -v '" + e2e::PluginPath() + "' > '" + log.string() + "' 2>&1";
  const int status = std::system(command.c_str());
  std::ifstream in(log);
  std::stringstream text;
  text << in.rdbuf();
  std::filesystem::remove_all(home);
  ASSERT_EQ(status, 0) << text.str();
  const std::string output = text.str();
  for (const char* expected :
       {"id=\"1802663991\"", "name=\"Rhythmoria\"", "creator=\"Morvane Music\"",
        "category=\"Instrument\"", "n_inputs=\"0\"", "n_outputs=\"16\"", "n_midi_inputs=\"1\"",
        "n_midi_outputs=\"1\"", "is_instrument=\"1\"", "can_process_replace=\"1\"",
        "has_editor=\"1\""}) {
    EXPECT_NE(output.find(expected), std::string::npos) << expected << "\n" << output;
  }
}

}  // namespace
