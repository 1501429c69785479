#include "host/Cli.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "host/MidiFile.h"

namespace {

namespace fs = std::filesystem;
using vsthost::RunCli;

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("rhythmoria-cli-" + std::to_string(getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  int Run(std::vector<std::string> args) {
    args.insert(args.begin(), "rhythmoria");
    if (args.size() > 1 && args[1] != "--help") {
      args.insert(args.begin() + 2, {"--plugin", RHYTHMORIA_PLUGIN_PATH});
    }
    std::vector<const char*> argv;
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    out.str("");
    err.str("");
    return RunCli(static_cast<int>(argv.size()), argv.data(), out, err, false);
  }
  std::string File(const char* name) const { return (dir / name).string(); }

  fs::path dir;
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(CliTest, InfoDescribesThePlugIn) {
  ASSERT_EQ(Run({"info"}), vsthost::kExitOk) << err.str();
  const std::string text = out.str();
  for (const char* expected :
       {"Name:        Rhythmoria", "Vendor:      Morvane Music", "Unique ID:   krx7",
        "Flags:       0x1131", "Outputs:     16", "15  Extra 7 R", "Parameters:  146",
        "1  Power = on", "Programs:    64"}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
  }
}

TEST_F(CliTest, RendersTheRequestedLengthChannelsAndMidi) {
  const std::string wav = File("out.wav");
  ASSERT_EQ(Run({"render", "--seconds", "0.5", "--set", "Rhythm 1=on", "--midi-out",
                 File("out.mid"), "--channels", "all", wav}),
            vsthost::kExitOk)
      << err.str();
  EXPECT_NE(out.str().find("wrote " + fs::absolute(wav).string()), std::string::npos);
  // 22050 frames of 16 float channels behind the header.
  EXPECT_GE(fs::file_size(wav), 22050u * 16 * 4);
  EXPECT_LT(fs::file_size(wav), 22050u * 16 * 4 + 1024);

  std::vector<std::uint8_t> smf;
  std::vector<vsthost::TimedMidi> notes;
  std::string error;
  ASSERT_TRUE(vsthost::ReadFileBytes(File("out.mid"), &smf, &error));
  ASSERT_TRUE(vsthost::DecodeMidiFile(smf, &notes, &error)) << error;
  EXPECT_FALSE(notes.empty());

  // Eight bars of four beats at 150 beats per minute are 12.8 seconds.
  ASSERT_EQ(Run({"render", "--tempo", "150", "--rate", "16000", "--quiet", File("bars.flac")}),
            vsthost::kExitOk)
      << err.str();
  EXPECT_NE(out.str().find("(12.80 s, 2 channels, 16000 Hz)"), std::string::npos) << out.str();
}

TEST_F(CliTest, StateSavedByOneRenderLoadsInTheNext) {
  ASSERT_EQ(Run({"render", "--seconds", "0.1", "--sync", "off", "--set", "Tempo=97", "--save-state",
                 File("state.bin"), File("a.wav")}),
            vsthost::kExitOk)
      << err.str();
  ASSERT_EQ(Run({"render", "--load-state", File("state.bin"), "--sync", "off", "--bars", "1",
                 File("b.wav")}),
            vsthost::kExitOk)
      << err.str();
  // One bar of four beats at the restored tempo of 97.
  EXPECT_NE(out.str().find("(2.47 s"), std::string::npos) << out.str();
}

TEST_F(CliTest, BadCommandLinesAndInputsFailClearly) {
  struct Case {
    std::vector<std::string> args;
    int exit;
    const char* message;
  };
  const std::vector<Case> cases = {
      {{}, vsthost::kExitUsage, "no command"},
      {{"play"}, vsthost::kExitUsage, "unknown command"},
      {{"render"}, vsthost::kExitUsage, "needs an output file"},
      {{"render", "x.mp3"}, vsthost::kExitUsage, "unknown audio file type"},
      {{"render", "--bars", "2", "--seconds", "1", "x.wav"}, vsthost::kExitUsage, "either"},
      {{"render", "--rate", "fast", "x.wav"}, vsthost::kExitUsage, "--rate wants"},
      {{"render", "--block", "0", "x.wav"}, vsthost::kExitUsage, "--block wants"},
      {{"render", "--tempo"}, vsthost::kExitUsage, "--tempo needs a value"},
      {{"render", "--frobnicate", "x.wav"}, vsthost::kExitUsage, "unknown option"},
      {{"render", "--program", "Nowhere", "--seconds", "0.1", File("x.wav")},
       vsthost::kExitFailure,
       "unknown program 'Nowhere'"},
      {{"render", "--program", "64", "--seconds", "0.1", File("x.wav")},
       vsthost::kExitFailure,
       "does not exist"},
      {{"render", "--set", "Wobble=1", "--seconds", "0.1", File("x.wav")},
       vsthost::kExitFailure,
       "unknown parameter"},
      {{"render", "--set", "Power=maybe", "--seconds", "0.1", File("x.wav")},
       vsthost::kExitFailure,
       "does not take 'maybe'"},
      {{"render", "--load-state", File("missing.bin"), File("x.wav")},
       vsthost::kExitFailure,
       "cannot open"},
      {{"render", "--midi-in", File("missing.mid"), File("x.wav")},
       vsthost::kExitFailure,
       "cannot open"},
      {{"render", "--channels", "all", "--seconds", "0.1", File("x.flac")},
       vsthost::kExitFailure,
       "cannot hold 16 channels"},
      {{"render", "--seconds", "0.1", (dir / "no" / "such" / "dir.wav").string()},
       vsthost::kExitFailure,
       "cannot write"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.args), c.exit) << c.message;
    EXPECT_NE(err.str().find(c.message), std::string::npos) << c.message << "\n" << err.str();
  }

  std::vector<const char*> argv = {"rhythmoria", "info", "--plugin", "/nonexistent/plugin.so"};
  EXPECT_EQ(RunCli(4, argv.data(), out, err, false), vsthost::kExitFailure);
  EXPECT_NE(err.str().find("cannot load /nonexistent/plugin.so"), std::string::npos);
}

}  // namespace
