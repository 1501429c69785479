// The OPTIONS and MIDI FILE menus' commands as a user meets them: the boxes they show, the
// dialogs they open (where, with which name and extension), and what they change.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "engine/ParameterIndex.h"
#include "platform/Platform.h"
#include "platform/headless/IGraphicsHeadless.h"
#include "synth/DialogFolders.h"
#include "tests/support/FakeHost.h"
#include "tests/synth/ConfigHome.h"

namespace {

using synth_test::ConfigHomeTest;
using testing_support::FakeHost;

constexpr int kYes = Synth::kAnswerYes;
constexpr int kNo = Synth::kAnswerNo;

class OptionCommandsTest : public ConfigHomeTest {
 protected:
  void SetUp() override {
    ConfigHomeTest::SetUp();
    // Each test is a process's first instance.
    DialogFolders::Reset();
    ::setenv("XDG_DOCUMENTS_DIR", (root / "documents").c_str(), 1);
    plug = std::make_unique<FakeHost>();
    gui = dynamic_cast<IGraphicsHeadless*>(plug->GetGUI());
    ASSERT_NE(gui, nullptr);
    gui->Open();
  }
  void TearDown() override {
    plug.reset();
    DialogFolders::Reset();
    ConfigHomeTest::TearDown();
  }

  void Run(int code) { plug->RunOptionCommand(gui, code); }
  std::string Path(const char* name) const { return (root / name).string(); }
  std::string Folder() const { return root.string() + "/"; }
  void ExpectBox(std::size_t index, const std::string& text, const std::string& caption, int type) {
    ASSERT_LT(index, gui->messageBoxesShown.size());
    EXPECT_EQ(gui->messageBoxesShown[index].text, text);
    EXPECT_EQ(gui->messageBoxesShown[index].caption, caption);
    EXPECT_EQ(gui->messageBoxesShown[index].type, type);
  }
  // Selects the rhythm button of slot (0..9 on the upper row) alone, which the sequence editor
  // then works on.
  void EditSlot(int slot) {
    for (int b = 0; b < 10; ++b) plug->Set(kRhythm1 + b, b == slot ? 1.0 : 0.0);
    ASSERT_EQ(plug->EditedSlot(), slot);
  }

  std::unique_ptr<FakeHost> plug;
  IGraphicsHeadless* gui = nullptr;  // owned by the plug-in
};

TEST_F(OptionCommandsTest, PasteCopiesProgramThreeOntoProgramTenWithItsName) {
  plug->SelectProgram(3);
  const std::string name3 = plug->GetProgramName(3);
  plug->Set(kTempo, 97.0);
  Run(Synth::kCmdCopyProgram);
  EXPECT_TRUE(gui->messageBoxesShown.empty());

  plug->SelectProgram(10);
  ASSERT_EQ(plug->GetCurrentProgram(), 10);
  ASSERT_NE(plug->GetParam(kTempo)->Value(), 97.0);
  const std::string name10 = plug->GetProgramName(10);

  gui->messageBoxAnswers = {kNo};
  Run(Synth::kCmdPasteProgram);
  ExpectBox(0, "Do you really want to overwrite the current program?", "Paste Program", 4);
  EXPECT_EQ(plug->GetProgramName(10), name10) << "No changes nothing";

  plug->reportedParams.clear();
  gui->messageBoxAnswers = {kYes};
  Run(Synth::kCmdPasteProgram);
  EXPECT_EQ(plug->GetCurrentProgram(), 10);
  EXPECT_EQ(plug->GetProgramName(10), name3);
  EXPECT_EQ(plug->GetParam(kTempo)->Value(), 97.0);
  EXPECT_EQ(plug->reportedParams.size(), static_cast<std::size_t>(plug->NParams()))
      << "the host hears every parameter";
  // Program 10 now holds the pasted state: leaving it and coming back keeps it.
  plug->SelectProgram(11);
  plug->SelectProgram(10);
  EXPECT_EQ(plug->GetParam(kTempo)->Value(), 97.0);
}

TEST_F(OptionCommandsTest, PasteWithNothingCopiedAsksAndChangesNothing) {
  const std::string name = plug->GetProgramName(plug->GetCurrentProgram());
  gui->messageBoxAnswers = {kYes};
  Run(Synth::kCmdPasteProgram);
  EXPECT_TRUE(gui->messageBoxesShown.empty());
  EXPECT_EQ(plug->GetProgramName(plug->GetCurrentProgram()), name);
}

TEST_F(OptionCommandsTest, SelectProgramKeepsTheLiveStateOfTheProgramLeft) {
  plug->SelectProgram(0);
  plug->Set(kTempo, 133.0);
  plug->SelectProgram(63);
  EXPECT_EQ(plug->GetCurrentProgram(), 63);
  plug->SelectProgram(64);
  plug->SelectProgram(-1);
  EXPECT_EQ(plug->GetCurrentProgram(), 63) << "out-of-range indices do nothing";
  plug->SelectProgram(0);
  EXPECT_EQ(plug->GetParam(kTempo)->Value(), 133.0);
}

TEST_F(OptionCommandsTest, InitProgramActsUnlessTheAnswerIsNo) {
  plug->SelectProgram(5);
  const std::string name = plug->GetProgramName(5);
  ASSERT_NE(name, "Init");
  gui->messageBoxAnswers = {kNo};
  Run(Synth::kCmdInitProgram);
  ExpectBox(0, "Do you really want to initialize the current program?", "Initialize Program", 4);
  EXPECT_EQ(plug->GetProgramName(5), name);
  gui->messageBoxAnswers = {kYes};
  Run(Synth::kCmdInitProgram);
  EXPECT_EQ(std::string(plug->GetProgramName(5)), "Init");
}

TEST_F(OptionCommandsTest, CancelledDialogsDoNothing) {
  const std::string before = ReadFile(IniPath());
  const std::string folder = plug->ProgramFolder();
  const std::string name = plug->GetProgramName(plug->GetCurrentProgram());
  const int codes[] = {4, 5, 6, 7, 9, 13, 23, 24, 26, 27, 28, 29};
  for (int code : codes) Run(code);
  EXPECT_EQ(gui->filesAsked.size(), std::size(codes));
  EXPECT_TRUE(gui->messageBoxesShown.empty());
  EXPECT_EQ(ReadFile(IniPath()), before);
  EXPECT_EQ(plug->ProgramFolder(), folder);
  EXPECT_EQ(plug->StartupBankPath(), "");
  EXPECT_EQ(plug->GetProgramName(plug->GetCurrentProgram()), name);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root), {}), 1) << "no file written";
}

TEST_F(OptionCommandsTest, ProgramAndBankFilesRoundTripThroughTheirDialogs) {
  plug->SelectProgram(2);
  plug->GetProgram(2)->mName = "Live: A/B?";
  plug->Set(kTempo, 111.0);
  gui->fileAnswers = {Path("one.fxp")};
  Run(Synth::kCmdSaveProgram);
  ASSERT_EQ(gui->filesAsked.size(), 1u);
  EXPECT_EQ(gui->filesAsked[0].fileName, "Live_ A_B_") << "unsafe characters replaced";
  EXPECT_EQ(gui->filesAsked[0].action, IGraphics::kFileSave);
  EXPECT_EQ(gui->filesAsked[0].extensions, "fxp");
  EXPECT_EQ(gui->filesAsked[0].folder, plug->ProgramFolder()) << "first dialog: program folder";
  ASSERT_TRUE(std::filesystem::exists(Path("one.fxp")));

  gui->fileAnswers = {Path("all.fxb")};
  Run(Synth::kCmdSaveBank);
  EXPECT_EQ(gui->filesAsked[1].fileName, "Rhythmoria");
  EXPECT_EQ(gui->filesAsked[1].extensions, "fxb");
  EXPECT_EQ(gui->filesAsked[1].folder, Folder()) << "the folder follows the chosen file";

  plug->Set(kTempo, 80.0);
  gui->fileAnswers = {Path("one.fxp")};
  Run(Synth::kCmdLoadProgram);
  EXPECT_EQ(gui->filesAsked[2].action, IGraphics::kFileOpen);
  EXPECT_EQ(gui->filesAsked[2].fileName, "");
  EXPECT_EQ(plug->GetParam(kTempo)->Value(), 111.0);

  plug->SelectProgram(7);
  plug->GetProgram(2)->mName = "changed";
  gui->fileAnswers = {Path("all.fxb")};
  Run(Synth::kCmdLoadBank);
  EXPECT_EQ(std::string(plug->GetProgramName(2)), "Live: A/B?");
  EXPECT_TRUE(gui->messageBoxesShown.empty());
}

TEST_F(OptionCommandsTest, FailuresShowTheErrorBoxes) {
  WriteFile(Path("junk.fxp"), "not a program file at all, just text");
  const std::string name = plug->GetProgramName(plug->GetCurrentProgram());
  gui->fileAnswers = {Path("junk.fxp"), Path("junk.fxp"), Path("junk.fxp"), Path("missing.mid")};
  Run(Synth::kCmdLoadProgram);
  Run(Synth::kCmdLoadBank);
  Run(Synth::kCmdImportRhythm);
  Run(Synth::kCmdImportRhythmAsTriplets);
  ASSERT_EQ(gui->messageBoxesShown.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) ExpectBox(i, "Cannot load file!", "Error", 0);
  EXPECT_EQ(plug->GetProgramName(plug->GetCurrentProgram()), name);

  gui->messageBoxesShown.clear();
  const std::string nowhere = Path("no-such-folder/x");
  gui->fileAnswers = {nowhere, nowhere, nowhere, nowhere, nowhere, nowhere};
  for (int code : {5, 7, 26, 27, 28, 29}) Run(code);
  ASSERT_EQ(gui->messageBoxesShown.size(), 6u);
  for (std::size_t i = 0; i < 6; ++i) ExpectBox(i, "Cannot save file!", "Error", 0);
}

TEST_F(OptionCommandsTest, RhythmExportProposesTheSlotsNameAndImportReadsItBack) {
  EditSlot(8);
  gui->fileAnswers = {Path("march.mid")};
  Run(Synth::kCmdExportRhythmType0);
  ASSERT_EQ(gui->filesAsked.size(), 1u);
  EXPECT_EQ(gui->filesAsked[0].fileName, "March 2_4");
  EXPECT_EQ(gui->filesAsked[0].extensions, "mid");
  EXPECT_EQ(gui->filesAsked[0].action, IGraphics::kFileSave);
  ASSERT_TRUE(std::filesystem::exists(Path("march.mid")));

  plug->SetRhythmCell(0, 1, !plug->GetRhythmBank().grid[8][0][1]);
  ASSERT_TRUE(plug->IsRhythmModified(8));
  Run(Synth::kCmdExportRhythmType1);  // cancelled
  EXPECT_EQ(gui->filesAsked[1].fileName, "user_9");
  EXPECT_EQ(gui->filesAsked[1].folder, Folder()) << "the MIDI folder follows the export";

  plug->GetProgram(plug->GetCurrentProgram())->mName = "Mix|1";
  Run(Synth::kCmdExportAllType1);
  EXPECT_EQ(gui->filesAsked[2].fileName, "Mix_1");

  gui->fileAnswers = {Path("march.mid")};
  Run(Synth::kCmdImportRhythm);
  EXPECT_EQ(gui->filesAsked[3].action, IGraphics::kFileOpen);
  EXPECT_FALSE(plug->IsRhythmModified(8)) << "the exported factory rhythm came back";
  EXPECT_TRUE(gui->messageBoxesShown.empty());
}

TEST_F(OptionCommandsTest, StartupBankCommandsAskWithThePath) {
  gui->fileAnswers = {Path("start.fxb")};
  Run(Synth::kCmdSaveBank);
  Run(Synth::kCmdLoadStartupBank);
  Run(Synth::kCmdUnselectStartupBank);
  EXPECT_TRUE(gui->messageBoxesShown.empty()) << "no start-up bank: nothing to ask about";

  gui->fileAnswers = {Path("start.fxb")};
  Run(Synth::kCmdSelectStartupBank);
  EXPECT_EQ(gui->filesAsked.back().extensions, "fxb");
  EXPECT_EQ(gui->filesAsked.back().folder, plug->ProgramFolder())
      << "the start-up bank has its own folder";
  EXPECT_EQ(plug->StartupBankPath(), Path("start.fxb"));
  EXPECT_NE(ReadFile(IniPath()).find("File=" + Path("start.fxb")), std::string::npos);

  plug->GetProgram(4)->mName = "renamed";
  gui->messageBoxAnswers = {kNo};
  Run(Synth::kCmdLoadStartupBank);
  const std::string reload = "The Startup Bank is:\n" + Path("start.fxb") +
                             "\n\nDo you really want to reload all programs?";
  ExpectBox(0, reload, "Load Startup Bank", 4);
  EXPECT_EQ(std::string(plug->GetProgramName(4)), "renamed");
  Run(Synth::kCmdLoadStartupBank);  // no scripted answer: neither No nor Yes
  EXPECT_NE(std::string(plug->GetProgramName(4)), "renamed");

  std::filesystem::remove(Path("start.fxb"));
  gui->messageBoxesShown.clear();
  gui->messageBoxAnswers = {kYes};
  Run(Synth::kCmdLoadStartupBank);
  ExpectBox(1, "Cannot load file!", "Error", 0);

  gui->messageBoxesShown.clear();
  gui->messageBoxAnswers = {kNo, kYes};
  Run(Synth::kCmdUnselectStartupBank);
  ExpectBox(0,
            "The Startup Bank is:\n" + Path("start.fxb") + "\n\nDo you really want to unselect it?",
            "Unselect Startup Bank", 4);
  EXPECT_EQ(plug->StartupBankPath(), Path("start.fxb"));
  Run(Synth::kCmdUnselectStartupBank);
  EXPECT_EQ(plug->StartupBankPath(), "");
  EXPECT_EQ(ReadFile(IniPath()).find("start.fxb"), std::string::npos);
}

TEST_F(OptionCommandsTest, DefaultPathForProgramFilesTakesTheChosenFolder) {
  gui->fileAnswers = {Path("anything.txt")};
  Run(Synth::kCmdDefaultProgramFolder);
  EXPECT_EQ(gui->filesAsked[0].fileName, "[file name is ignored]");
  EXPECT_EQ(gui->filesAsked[0].extensions, " ");
  EXPECT_EQ(gui->filesAsked[0].action, IGraphics::kFileSave);
  EXPECT_EQ(plug->ProgramFolder(), Folder());
  EXPECT_NE(ReadFile(IniPath()).find("Path to Program Files=" + Folder()), std::string::npos);
}

TEST_F(OptionCommandsTest, ConfigurationCommandsActOnlyOnYes) {
  plug->SetControllerTarget(20, kTempo);
  const std::string text = "The INI configuration file is:\n" + IniPath();
  Run(Synth::kCmdSaveConfiguration);  // no answer: not Yes
  ExpectBox(0, text + "\n\nDo you really want to overwrite it?", "Save Configuration", 4);
  EXPECT_EQ(ReadFile(IniPath()).find("CC20"), std::string::npos);
  gui->messageBoxAnswers = {kYes};
  Run(Synth::kCmdSaveConfiguration);
  EXPECT_NE(ReadFile(IniPath()).find("CC20=" + std::to_string(kTempo)), std::string::npos);

  plug->SetControllerTarget(20, Synth::kUnmapped);
  gui->messageBoxesShown.clear();
  Run(Synth::kCmdReloadConfiguration);
  ExpectBox(0, text + "\n\nDo you really want to reload it?", "Reload Configuration", 4);
  EXPECT_EQ(plug->ControllerTarget(20), Synth::kUnmapped);
  gui->messageBoxAnswers = {kYes};
  Run(Synth::kCmdReloadConfiguration);
  EXPECT_EQ(plug->ControllerTarget(20), kTempo);
  EXPECT_EQ(gui->messageBoxesShown.size(), 2u);

  std::filesystem::remove(IniPath());
  gui->messageBoxAnswers = {kYes};
  Run(Synth::kCmdReloadConfiguration);
  ExpectBox(3, "The INI file does not exist.", "Problem with INI File", 0);
  EXPECT_EQ(plug->ControllerTarget(20), kTempo) << "settings stay as they were";
}

TEST_F(OptionCommandsTest, MidiSwitchesToggleAndWriteAtOnce) {
  Run(Synth::kCmdMidiThru);
  Run(Synth::kCmdIgnoreProgramChange);
  EXPECT_TRUE(plug->MidiThru());
  EXPECT_TRUE(plug->IgnoreProgramChange());
  EXPECT_NE(ReadFile(IniPath()).find("MIDI Thru=true"), std::string::npos);
  EXPECT_NE(ReadFile(IniPath()).find("Ignore Program Change=true"), std::string::npos);
  Run(Synth::kCmdMidiThru);
  EXPECT_FALSE(plug->MidiThru());
  EXPECT_TRUE(gui->messageBoxesShown.empty());
  for (int code : {3, 8, 12, 14, 17, 18, 19, 20, 25, 31, 99, -4}) Run(code);
  EXPECT_TRUE(gui->messageBoxesShown.empty());
  EXPECT_TRUE(gui->filesAsked.empty());
}

TEST_F(OptionCommandsTest, DialogFoldersAreSharedByTheProcessAndSetByItsFirstUser) {
  WriteIni("[Global]\nPath to Program Files=/first/programs/\n");
  FakeHost first;
  auto* firstGui = dynamic_cast<IGraphicsHeadless*>(first.GetGUI());
  ASSERT_NE(firstGui, nullptr);
  firstGui->Open();
  WriteIni("[Global]\nPath to Program Files=/second/programs/\n");
  FakeHost second;
  auto* secondGui = dynamic_cast<IGraphicsHeadless*>(second.GetGUI());
  ASSERT_NE(secondGui, nullptr);
  secondGui->Open();
  ASSERT_EQ(second.ProgramFolder(), "/second/programs/");

  first.RunOptionCommand(firstGui, Synth::kCmdImportRhythm);  // cancelled
  for (int code : {Synth::kCmdLoadProgram, Synth::kCmdSelectStartupBank, Synth::kCmdImportRhythm}) {
    second.RunOptionCommand(secondGui, code);
    EXPECT_EQ(secondGui->filesAsked.back().folder, "/first/programs/") << code;
  }
  secondGui->fileAnswers = {"/picked/bank.fxb"};
  second.RunOptionCommand(secondGui, Synth::kCmdSelectStartupBank);
  first.RunOptionCommand(firstGui, Synth::kCmdSelectStartupBank);
  EXPECT_EQ(firstGui->filesAsked.back().folder, "/picked/");
  first.RunOptionCommand(firstGui, Synth::kCmdLoadBank);
  EXPECT_EQ(firstGui->filesAsked.back().folder, "/first/programs/") << "each dialog its own folder";
}

}  // namespace
