// The state file of `rhythmoria edit --state`, which a person watches and the Windows editor tests
// read: what it says of a loaded plug-in, and that it hears the plug-in once the rhythm plays.
// No window is needed for either.
#include "host/EditorSession.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;

class EditorSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path = fs::temp_directory_path() / ("rhythmoria-state-" + std::to_string(getpid()));
    vsthost::HostSettings settings;
    std::string error;
    host = vsthost::PluginHost::Load(RHYTHMORIA_PLUGIN_PATH, settings, &error);
    ASSERT_TRUE(host) << error;
    host->Start();
  }
  void TearDown() override { fs::remove(path); }

  std::string Read() const {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  // The state file's text once a line starting with prefix appears in it (up to 5 s of audio).
  std::string WaitFor(vsthost::EditorSession& session, const vsthost::EditorView& view,
                      const std::string& line) {
    for (int i = 0; i < 100; ++i) {
      session.Idle(view);
      const std::string text = Read();
      if (text.find("\n" + line) != std::string::npos || text.rfind(line, 0) == 0) return text;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return Read();
  }

  fs::path path;
  std::unique_ptr<vsthost::PluginHost> host;
};

TEST_F(EditorSessionTest, StateFileFollowsTheEditorProgramParametersAndSound) {
  vsthost::EditorWindowOptions options;
  options.stateFile = path.string();
  vsthost::EditorSession session(*host, options);
  vsthost::EditorView view{true, 1, true, 3, 22, 800, 409};
  std::string text = WaitFor(session, view, "editor\topen\t1\t3\t22\t800\t409\n");
  EXPECT_EQ(text.rfind("editor\topen\t1\t3\t22\t800\t409\ntransport\tstopped\nsound\tno\n", 0), 0u)
      << text;
  EXPECT_NE(text.find("\nprogram\t0\tClassic 1\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nparam\t1\tPower\t1.000000\ton\n"), std::string::npos) << text;
  std::size_t params = 0;
  for (std::size_t at = text.find("\nparam\t"); at != std::string::npos;
       at = text.find("\nparam\t", at + 1)) {
    ++params;
  }
  EXPECT_EQ(static_cast<int>(params), host->NumParams());

  // A change made by the host shows at the next idle round; the file is replaced whole.
  host->SetProgram(2);
  ASSERT_TRUE(host->SetParameterText(host->FindParameter("Tempo Sync"), "on"));
  text = WaitFor(session, view, "program\t2\t");
  EXPECT_NE(text.find("\nparam\t3\tTempo Sync\t1.000000\ton\n"), std::string::npos) << text;
  EXPECT_FALSE(fs::exists(path.string() + ".new"));

  view.open = false;
  session.Finish(view);
  EXPECT_EQ(Read().rfind("editor\tclosed\t1\n", 0), 0u) << Read();
}

TEST_F(EditorSessionTest, SoundIsHeardWhenTheRhythmPlays) {
  vsthost::EditorWindowOptions options;
  options.stateFile = path.string();
  options.play = true;
  // The rhythm follows the host's playing transport.
  ASSERT_TRUE(host->SetParameterText(host->FindParameter("Tempo Sync"), "on"));
  vsthost::EditorSession session(*host, options);
  const std::string text = WaitFor(session, {true, 1}, "sound\tyes\n");
  EXPECT_NE(text.find("\ntransport\tplaying\nsound\tyes\n"), std::string::npos) << text;
  session.Finish({false, 1});
}

}  // namespace
