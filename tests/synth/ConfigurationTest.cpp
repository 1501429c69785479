// The global settings: where the file lives, how each key is read, what each change writes, and
// the start-up bank with its silent fallback.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/ParameterIndex.h"
#include "platform/Platform.h"
#include "tests/support/FakeHost.h"
#include "tests/synth/ConfigHome.h"

namespace {

using synth_test::ConfigHomeTest;
using testing_support::FakeHost;

class ConfigurationTest : public ConfigHomeTest {
 protected:
  std::string IniValue(const char* section, const char* key) const {
    char text[260];
    platform::IniGetString(section, key, "<missing>", text, sizeof(text), IniPath());
    return text;
  }
};

TEST_F(ConfigurationTest, FirstStartCreatesTheFolderAndAnEmptyFile) {
  ::setenv("XDG_DOCUMENTS_DIR", "/srv/documents", 1);
  ASSERT_FALSE(std::filesystem::exists(configHome));
  FakeHost plug;
  EXPECT_EQ(plug.IniPath(), IniPath());
  ASSERT_TRUE(std::filesystem::is_regular_file(IniPath()));
  EXPECT_EQ(std::filesystem::file_size(IniPath()), 0u);
  EXPECT_EQ(plug.ProgramFolder(), "/srv/documents") << "dialogs open in the documents folder";
  EXPECT_EQ(plug.GetMiddleC(), Synth::MiddleC4);
  EXPECT_FALSE(plug.MidiThru());
  EXPECT_FALSE(plug.IgnoreProgramChange());
  for (int cc = 0; cc < Synth::kNumMappableControllers; ++cc) {
    EXPECT_EQ(plug.ControllerTarget(cc), Synth::kUnmapped);
  }
  EXPECT_FALSE(plug.TryLoadStartupBank()) << "no start-up bank: the factory bank is used";

  std::filesystem::remove(IniPath());
  plug.SetControllerTarget(7, kTempo);
  EXPECT_FALSE(plug.ReadConfiguration()) << "a missing file is reported";
  EXPECT_EQ(plug.ControllerTarget(7), kTempo) << "and changes nothing";
}

TEST_F(ConfigurationTest, EveryKeyIsReadByItsRules) {
  FakeHost plug;
  plug.SetControllerTarget(10, kTempo);
  plug.SetControllerTarget(11, kTempo);
  plug.SetMidiThru(true);
  WriteIni(
      "[Startup Bank]\nFile=/banks/start.fxb\n"
      "[Editor]\nMiddleC=c5\n"
      "[Global]\nPath to Program Files=/music/programs\n"
      "[MIDI Global]\nIgnore Program Change=TRUE\n"
      "[MIDI Control]\n"
      "CC7=0\nCC8=abc\nCC9=-150\nCC10=\nCC12=+12\nCC13=0abc\nCC14=-0\nCC15=500\n"
      "CC16=99999999999\nCC119=3\nCC120=2\nCC127=2\n");
  static_assert(kTempo == 2);
  ASSERT_TRUE(plug.ReadConfiguration());
  EXPECT_EQ(plug.StartupBankPath(), "/banks/start.fxb");
  EXPECT_EQ(plug.GetMiddleC(), Synth::MiddleC5) << "compared without regard to case";
  EXPECT_EQ(plug.ProgramFolder(), "/music/programs");
  EXPECT_TRUE(plug.MidiThru()) << "a missing switch keeps its value";
  EXPECT_TRUE(plug.IgnoreProgramChange());
  EXPECT_EQ(plug.ControllerTarget(7), 0) << "0 counts when written as 0";
  EXPECT_EQ(plug.ControllerTarget(8), Synth::kUnmapped) << "text unmaps";
  EXPECT_EQ(plug.ControllerTarget(9), Synth::kPlaySwitchTarget);
  EXPECT_EQ(plug.ControllerTarget(10), kTempo) << "an empty value keeps the entry";
  EXPECT_EQ(plug.ControllerTarget(11), Synth::kUnmapped) << "a missing key unmaps";
  EXPECT_EQ(plug.ControllerTarget(12), 12);
  EXPECT_EQ(plug.ControllerTarget(13), 0);
  EXPECT_EQ(plug.ControllerTarget(14), Synth::kUnmapped) << "-0 does not start with the digit 0";
  EXPECT_EQ(plug.ControllerTarget(15), 500) << "values are not limited when read";
  EXPECT_EQ(plug.ControllerTarget(16), 2147483647) << "a huge number saturates";
  EXPECT_EQ(plug.ControllerTarget(119), 3);

  // Controllers from 120 on are channel-mode messages: a key for one never maps it.
  plug.Start();
  const double tempo = plug.GetParam(kTempo)->Value();
  plug.OnMidiMessage(IMidiMessage(0, 0xB0, 127, 0));
  plug.RenderDouble(512);
  EXPECT_EQ(plug.GetParam(kTempo)->Value(), tempo);

  // Middle C: any other text means C4, an empty or missing value keeps the setting.
  const struct {
    const char* file;
    int expected;
  } middleC[] = {{"MiddleC=C3", Synth::MiddleC3}, {"MiddleC=", Synth::MiddleC3},
                 {"", Synth::MiddleC3},           {"MiddleC=C5x", Synth::MiddleC4},
                 {"MiddleC=C5", Synth::MiddleC5}, {"MiddleC= c4 ", Synth::MiddleC4}};
  for (const auto& c : middleC) {
    WriteIni(std::string("[Editor]\n") + c.file + "\n[MIDI Global]\nMIDI Thru=yes\n");
    ASSERT_TRUE(plug.ReadConfiguration());
    EXPECT_EQ(plug.GetMiddleC(), c.expected) << c.file;
    EXPECT_FALSE(plug.MidiThru()) << "only \"true\" is true";
    EXPECT_EQ(plug.StartupBankPath(), "") << "read afresh each time";
    EXPECT_EQ(plug.ProgramFolder(), "/music/programs");
  }
}

TEST_F(ConfigurationTest, SavedSettingsReachTheNextInstance) {
  {
    FakeHost plug;
    plug.SetControllerTarget(64, Synth::kPlaySwitchTarget);
    plug.SetControllerTarget(3, kTempo);
    plug.SetControllerTarget(7, 0);
    plug.SetMidiThru(true);
    plug.SetMiddleC(Synth::MiddleC3);
    plug.WriteConfiguration(Synth::ConfigItem::All);
  }
  EXPECT_EQ(IniValue("Global", "Path to Program Files"), "<missing>")
      << "the program folder is written only when it is set";
  const std::string text = ReadFile(IniPath());
  EXPECT_NE(text.find("[MIDI Control]\nCC3=" + std::to_string(kTempo) + "\nCC7=0\nCC64=-150\n"),
            std::string::npos)
      << text;

  FakeHost next;
  EXPECT_EQ(next.ControllerTarget(3), kTempo);
  EXPECT_EQ(next.ControllerTarget(7), 0);
  EXPECT_EQ(next.ControllerTarget(64), Synth::kPlaySwitchTarget);
  EXPECT_EQ(next.ControllerTarget(4), Synth::kUnmapped);
  EXPECT_TRUE(next.MidiThru());
  EXPECT_FALSE(next.IgnoreProgramChange());
  EXPECT_EQ(next.GetMiddleC(), Synth::MiddleC3);

  // Learning changes the map in memory only; saving writes it again from scratch.
  next.SetControllerTarget(3, Synth::kUnmapped);
  EXPECT_EQ(IniValue("MIDI Control", "CC3"), std::to_string(kTempo));
  next.WriteConfiguration(Synth::ConfigItem::All);
  EXPECT_EQ(IniValue("MIDI Control", "CC3"), "<missing>");
  EXPECT_EQ(IniValue("MIDI Control", "CC7"), "0");
}

TEST_F(ConfigurationTest, EachChangeWritesOnlyItsOwnKey) {
  const std::string before =
      "; kept\n"
      "[Startup Bank]\nFile=/gone/bank.fxb\nStray=1\n\n"
      "[Editor]\nMiddleC=C5\n\n"
      "[Global]\nPath to Program Files=/music\n\n"
      "[MIDI Global]\nMIDI Thru=false\nIgnore Program Change=false\n\n"
      "[MIDI Control]\nCC1=4\n\n"
      "[Someone Else]\nx=y\n";
  WriteIni(before);
  FakeHost plug;
  EXPECT_FALSE(plug.TryLoadStartupBank());
  plug.SetControllerTarget(1, kTempo);  // learned, not saved
  plug.ToggleMidiThru();
  EXPECT_TRUE(plug.MidiThru());
  std::string expected = before;
  expected.replace(expected.find("File=/gone/bank.fxb\nStray=1\n"), 28, "File=\n");
  expected.replace(expected.find("MIDI Thru=false"), 15, "MIDI Thru=true");
  EXPECT_EQ(ReadFile(IniPath()), expected)
      << "the start-up section from memory and the MIDI Thru key, nothing else";

  plug.ToggleIgnoreProgramChange();
  EXPECT_EQ(IniValue("MIDI Global", "Ignore Program Change"), "true");
  plug.SetMiddleC(Synth::MiddleC3);
  EXPECT_EQ(IniValue("Editor", "MiddleC"), "C3");
  plug.SetMiddleC(7);
  EXPECT_EQ(plug.GetMiddleC(), Synth::MiddleC3) << "no such naming";
  plug.SetProgramFolder("/elsewhere");
  EXPECT_EQ(IniValue("Global", "Path to Program Files"), "/elsewhere");
  EXPECT_EQ(IniValue("MIDI Control", "CC1"), "4");
  EXPECT_EQ(IniValue("Someone Else", "x"), "y");

  plug.SetStartupBank("/banks/mine.fxb");
  EXPECT_EQ(IniValue("Startup Bank", "File"), "/banks/mine.fxb");
  plug.ClearStartupBank();
  EXPECT_EQ(plug.StartupBankPath(), "");
  EXPECT_EQ(IniValue("Startup Bank", "File"), "<missing>") << "the section is emptied";
  plug.SetStartupBank("/banks/mine.fxb");
  plug.SetStartupBank("/banks/two\nlines.fxb");
  EXPECT_EQ(IniValue("Startup Bank", "File"), "<missing>")
      << "a path the file cannot hold names no bank there";
}

TEST_F(ConfigurationTest, StartupBankLoadsOrFallsBackSilently) {
  const std::string bank = (root / "start.fxb").string();
  {
    FakeHost plug;
    plug.Set(kTempo, 150.0);
    plug.ModifyCurrentPreset("Start");
    ASSERT_TRUE(plug.SaveBankFile(bank));
    plug.SetStartupBank(bank);
  }
  {
    FakeHost plug;
    EXPECT_EQ(plug.StartupBankPath(), bank);
    ASSERT_TRUE(plug.TryLoadStartupBank());
    EXPECT_EQ(plug.GetParam(kTempo)->Value(), 150.0);
    EXPECT_STREQ(plug.GetProgramName(plug.GetCurrentProgram()), "Start");
  }

  std::filesystem::remove(bank);
  FakeHost plug;
  const double tempo = plug.GetParam(kTempo)->Value();
  EXPECT_FALSE(plug.TryLoadStartupBank());
  EXPECT_EQ(plug.GetParam(kTempo)->Value(), tempo);
  EXPECT_EQ(plug.StartupBankPath(), "") << "the editor sees no start-up bank";
  EXPECT_EQ(IniValue("Startup Bank", "File"), bank) << "the file keeps naming it";
  plug.ToggleIgnoreProgramChange();
  EXPECT_EQ(IniValue("Startup Bank", "File"), "") << "until the section is written again";
}

// An instance stores the start-up bank's programs without applying each one; what it stores must
// be what loading them one by one stores.
TEST_F(ConfigurationTest, StartupBankIsStoredAsLoadingItProgramByProgramStoresIt) {
  const std::string bank = (root / "start.fxb").string();
  FakeHost loadedLater;
  {
    FakeHost plug;
    for (int program = 0; program < 4; ++program) {
      plug.RestoreProgram(program);
      plug.Set(kTempo, 90.0 + 10.0 * program);
      plug.Set(kRhythm1 + 2 * program, 1.0);
      plug.Set(kRhythmRow, program % 2);
      plug.Set(kReservedFirst, 5.0);
      plug.SetOutputRouting(program, program != 1, program + 1);
      plug.ModifyCurrentPreset(("Start " + std::to_string(program)).c_str());
    }
    plug.RestoreProgram(2);
    ASSERT_TRUE(plug.SaveBankFile(bank));
    plug.SetStartupBank(bank);
  }
  FakeHost atStart;
  ASSERT_TRUE(loadedLater.LoadBankFile(bank));
  EXPECT_EQ(atStart.GetCurrentProgram(), loadedLater.GetCurrentProgram());
  ChunkBuffer stored;
  ChunkBuffer expected;
  ASSERT_TRUE(atStart.SerializePresets(stored));
  ASSERT_TRUE(loadedLater.SerializePresets(expected));
  ASSERT_EQ(stored.Size(), expected.Size());
  EXPECT_EQ(std::memcmp(stored.Data(), expected.Data(), static_cast<std::size_t>(stored.Size())),
            0);
}

}  // namespace
