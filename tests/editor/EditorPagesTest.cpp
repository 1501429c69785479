// The editor's pages driven like a user: clicks at the controls' window positions, scripted menu
// answers, and the plug-in's state afterwards.
#include <atomic>
#include <thread>

#include "editor/IMVBitmapControl.h"
#include "editor/IMVKeyControl.h"
#include "editor/IMVOptionMenu.h"
#include "editor/IMVRhythmMenu.h"
#include "editor/IMVStepActiveControl.h"
#include "editor/IMVSwitchControl.h"
#include "editor/IMVSwitchMidiLearn.h"
#include "editor/IMVUtilityKick.h"
#include "framework/vst2/VstInterface.h"
#include "tests/editor/EditorPagesFixture.h"

namespace editor_test {
namespace {

bool AllHidden(const std::vector<IControl*>& list, bool hidden) {
  for (const IControl* control : list) {
    if (control->IsHidden() != hidden) return false;
  }
  return true;
}

TEST_F(EditorPagesTest, PageButtonsLeadToThePageTheyNameAndAReopenedEditorKeepsIt) {
  EXPECT_EQ(pages().CurrentPage(), EditorPages::kMainPage);
  EXPECT_EQ(pages().pageButtons[0]->GetLabel(), "SEQUENCE");
  EXPECT_EQ(pages().pageButtons[1]->GetLabel(), "SETTINGS");
  gui().Click(at::kPageBX, at::kBarY);
  EXPECT_EQ(pages().CurrentPage(), EditorPages::kSettingsPage);
  EXPECT_TRUE(AllHidden(pages().PageControls(EditorPages::kMainPage), true));
  EXPECT_TRUE(AllHidden(pages().PageControls(EditorPages::kSettingsPage), false));
  EXPECT_EQ(pages().pageButtons[0]->GetLabel(), "MAIN PAGE");
  gui().Click(at::kPageBX, at::kBarY);
  EXPECT_EQ(pages().CurrentPage(), EditorPages::kSequencePage);
  EXPECT_EQ(pages().pageButtons[1]->GetLabel(), "MAIN PAGE");
  gui().Click(at::kPageAX, at::kBarY);
  EXPECT_EQ(pages().CurrentPage(), EditorPages::kSettingsPage);
  gui().Click(at::kPageAX, at::kBarY);
  EXPECT_EQ(pages().CurrentPage(), EditorPages::kMainPage);
  gui().Click(at::kPageAX, at::kBarY);
  EXPECT_EQ(pages().CurrentPage(), EditorPages::kSequencePage);
  EXPECT_EQ(plug.EditorPage(), EditorPages::kSequencePage);

  // Slot 6 chosen in the selector; closing and reopening shows the same page and slot.
  gui().popupAnswers = {6};
  gui().Click(40, 13);
  EXPECT_EQ(plug.EditedSlot(), 6);
  gui().Close();
  gui().Open();
  gui().Tick();
  EXPECT_EQ(pages().CurrentPage(), EditorPages::kSequencePage);
  EXPECT_TRUE(AllHidden(pages().PageControls(EditorPages::kSequencePage), false));
  EXPECT_EQ(pages().slotSelector->Slot(), 6);

  // Without a window the page buttons do nothing.
  gui().Close();
  gui().HandleMouseDown(at::kPageAX, at::kBarY, MouseModifiers{.L = true});
  EXPECT_EQ(pages().CurrentPage(), EditorPages::kSequencePage);
}

TEST_F(EditorPagesTest, BackdropsNeverTakeClicks) {
  ShowPage(EditorPages::kSettingsPage);
  // Between two trimpots of the sound section only the backdrop lies.
  EXPECT_EQ(gui().GetMouseControlIdx(50, 150), 0);
  ShowPage(EditorPages::kSequencePage);
  EXPECT_EQ(gui().GetMouseControlIdx(300, 15), 0);
}

TEST_F(EditorPagesTest, PrevAndNextWrapAroundTheProgramList) {
  plug.RestoreProgram(0);
  gui().Click(at::kPrevX, at::kBarY);
  plug.RestoreProgram(63);
  gui().Click(at::kNextX, at::kBarY);
  plug.RestoreProgram(10);
  gui().Click(at::kNextX, at::kBarY);
  EXPECT_EQ(plug.selected, (std::vector<int>{63, 0, 11}));
}

TEST_F(EditorPagesTest, ProgramMenuSelectsAndTheNameBoxRenames) {
  plug.RestoreProgram(3);
  // Four sub-menus of sixteen come first; program 20 is the fifth item of the second.
  gui().popupAnswers = {4 + 16 + 4};
  gui().Click(80, 386);
  ASSERT_EQ(gui().menusShown.size(), 1u);
  EXPECT_EQ(gui().menusShown[0].labels,
            (std::vector<std::string>{"00 - 15", "16 - 31", "32 - 47", "48 - 63"}));
  EXPECT_EQ(plug.selected, std::vector<int>{20});

  gui().textAnswers = {std::string("Night Drive")};
  gui().Click(280, 385);
  EXPECT_STREQ(plug.GetProgramName(3), "Night Drive");
  ASSERT_EQ(gui().textEntriesShown.size(), 1u);
  EXPECT_EQ(gui().textEntriesShown[0].rect, Rect(170, 377, 392, 393));
  // A cancelled box renames nothing.
  gui().Click(280, 385);
  EXPECT_STREQ(plug.GetProgramName(3), "Night Drive");
}

TEST_F(EditorPagesTest, LearnSwitchRightClicksChangeTheModeOnlyWhileDisarmed) {
  IMVSwitchMidiLearn& learn = *pages().learnSwitch;
  gui().Click(at::kLearnX, at::kBarY);
  EXPECT_TRUE(plug.LearnArmed());
  gui().Click(at::kLearnX, at::kBarY, MouseModifiers{.R = true});
  EXPECT_TRUE(learn.LearnMode());
  gui().Click(at::kLearnX, at::kBarY);
  EXPECT_FALSE(plug.LearnArmed());
  gui().Click(at::kLearnX, at::kBarY, MouseModifiers{.R = true});
  EXPECT_FALSE(learn.LearnMode());
  gui().Click(at::kLearnX, at::kBarY, MouseModifiers{.R = true});
  EXPECT_TRUE(learn.LearnMode());

  // An armed learn takes the PLAY switch as its target instead of starting the sequencer; the
  // switch shows the learn finished on the next tick.
  gui().Click(at::kLearnX, at::kBarY);
  gui().Click(at::kPlayX, at::kBarY);
  EXPECT_FALSE(plug.GetSequencer().running);
  EXPECT_TRUE(plug.LearnController(20));
  gui().Tick();
  EXPECT_EQ(learn.GetValue(), 0.0);
  EXPECT_EQ(plug.ControllerTarget(20), Synth::kPlaySwitchTarget);
}

TEST_F(EditorPagesTest, StartButtonBeginsAtTheFirstStepWhilePlayResumes) {
  plug.Start();
  plug.Set(kRhythm1, 1.0);
  gui().Click(687, 312);
  ASSERT_TRUE(plug.GetSequencer().running);
  for (int i = 0; i < 20; ++i) plug.RenderBlock(512);
  gui().Click(at::kPlayX, at::kBarY);
  ASSERT_FALSE(plug.GetSequencer().running);
  const int stoppedAt = plug.GetSequencer().step;
  ASSERT_GT(stoppedAt, 0);

  gui().Click(at::kPlayX, at::kBarY);
  EXPECT_TRUE(plug.GetSequencer().running);
  EXPECT_EQ(plug.GetSequencer().step, stoppedAt);
  gui().Click(at::kPlayX, at::kBarY);
  gui().Click(at::kPlayX, at::kBarY, MouseModifiers{.S = true});
  EXPECT_EQ(plug.GetSequencer().step, 0);
  for (int i = 0; i < 20; ++i) plug.RenderBlock(512);
  gui().Click(at::kPlayX, at::kBarY);
  ASSERT_GT(plug.GetSequencer().step, 0);
  gui().Click(687, 312);
  EXPECT_TRUE(plug.GetSequencer().running);
  EXPECT_EQ(plug.GetSequencer().step, 0);
  // The switch draws the run state, whatever its own value was.
  gui().Tick();
  EXPECT_EQ(pages().playSwitch->GetValue(), 1.0);
}

TEST_F(EditorPagesTest, LampsFollowPowerRowAndRunState) {
  plug.Set(kRhythmRow, 1.0);
  Idle();
  EXPECT_FALSE(pages().greenLamp->IsHidden());
  EXPECT_TRUE(pages().redLamp->IsHidden());
  plug.Set(kRhythmRow, 0.0);
  Idle();
  EXPECT_TRUE(pages().greenLamp->IsHidden());
  EXPECT_FALSE(pages().redLamp->IsHidden());
  plug.Set(kPower, 0.0);
  Idle();
  EXPECT_TRUE(pages().greenLamp->IsHidden());
  EXPECT_TRUE(pages().redLamp->IsHidden());
}

TEST_F(EditorPagesTest, OutputMenuTogglesAnExtraOutputAndTheSumSeparately) {
  ShowPage(EditorPages::kSettingsPage);
  const int voice = 2;
  // "Sum Output", separator, then "Extra Output 1" .. "Extra Output 7".
  gui().popupAnswers = {4, 4, 0, 4};
  gui().Click(at::ColumnX(voice), at::kOutputY);
  EXPECT_EQ(plug.ExtraOutput(voice), 3);
  EXPECT_TRUE(plug.ToSum(voice));
  gui().Click(at::ColumnX(voice), at::kOutputY);
  EXPECT_EQ(plug.ExtraOutput(voice), 0);
  EXPECT_TRUE(plug.ToSum(voice));
  gui().Click(at::ColumnX(voice), at::kOutputY);
  gui().Click(at::ColumnX(voice), at::kOutputY);
  EXPECT_FALSE(plug.ToSum(voice));
  EXPECT_EQ(plug.ExtraOutput(voice), 3);
  EXPECT_EQ(gui().menusShown.back().labels.size(), 9u);
  // A dismissed menu changes nothing.
  gui().Click(at::ColumnX(voice), at::kOutputY);
  EXPECT_EQ(plug.ExtraOutput(voice), 3);
}

TEST_F(EditorPagesTest, NoteNamesFollowTheMiddleCSetting) {
  EXPECT_EQ(IMVKeyControl::NoteName(60, Synth::MiddleC3), "C3");
  EXPECT_EQ(IMVKeyControl::NoteName(60, Synth::MiddleC4), "C4");
  EXPECT_EQ(IMVKeyControl::NoteName(61, Synth::MiddleC5), "C#5");
  EXPECT_EQ(IMVKeyControl::NoteName(0, Synth::MiddleC5), "C0");
  EXPECT_EQ(IMVKeyControl::NoteName(127, Synth::MiddleC5), "G10");
  EXPECT_EQ(IMVKeyControl::NoteName(-1, Synth::MiddleC5), "Off");
  EXPECT_EQ(IMVKeyControl::NoteName(128, Synth::MiddleC5), "Off");
}

TEST_F(EditorPagesTest, NoteMenuSetsTheNoteAndTheOctaveNaming) {
  const int middleC = plug.GetMiddleC();
  ShowPage(EditorPages::kSettingsPage);
  const int voice = 5;
  IMVKeyControl& key = *pages().keyControls[voice];
  // Top menu: "Set Middle C...", separator, "Off", eleven octaves (14 items); then the naming
  // sub-menu (3 items) and the octaves of twelve.
  gui().popupAnswers = {2};
  gui().Click(at::ColumnX(voice), at::kKeyY, MouseModifiers{.R = true});
  EXPECT_EQ(plug.GetParam(kNoteFirst + voice)->Value(), -1.0);
  gui().Tick();
  EXPECT_EQ(key.NoteText(), "Off");

  gui().popupAnswers = {14 + 3 + 12 * 5 + 1};
  gui().Click(at::ColumnX(voice), at::kKeyY, MouseModifiers{.C = true});
  EXPECT_EQ(plug.GetParam(kNoteFirst + voice)->Value(), 61.0);
  ASSERT_FALSE(gui().menusShown.empty());
  EXPECT_EQ(gui().menusShown.back().labels.size(), 14u);

  gui().popupAnswers = {14};
  gui().Click(at::ColumnX(voice), at::kKeyY, MouseModifiers{.S = true});
  EXPECT_EQ(plug.GetMiddleC(), Synth::MiddleC3);
  gui().Tick();
  EXPECT_EQ(key.NoteText(), "C#3");
  plug.SetMiddleC(middleC);  // the naming is a user setting shared through the settings file
}

TEST_F(EditorPagesTest, KeyPreviewPlaysTheVoiceAndLightsItsLamp) {
  plug.Start();
  ShowPage(EditorPages::kSettingsPage);
  const int voice = 7;
  const int note = static_cast<int>(plug.GetParam(kNoteFirst + voice)->Value());
  gui().MouseDown(at::ColumnX(voice), at::kKeyY, MouseModifiers{.L = true});
  EXPECT_TRUE(plug.GetHeldNotes().IsHeld(note));
  Idle();
  EXPECT_TRUE(pages().keyControls[voice]->Lamp());
  EXPECT_FALSE(pages().keyControls[voice + 1]->Lamp());
  gui().MouseUp(at::ColumnX(voice), at::kKeyY, MouseModifiers{.L = true});
  EXPECT_FALSE(plug.GetHeldNotes().IsHeld(note));
  // The trigger keeps it lit for 128 ms.
  for (int i = 0; i < 12; ++i) plug.RenderBlock(512);
  Idle();
  EXPECT_FALSE(pages().keyControls[voice]->Lamp());
}

TEST_F(EditorPagesTest, InstrumentMenuResetsTheVoice) {
  ShowPage(EditorPages::kSettingsPage);
  const int voice = 4;
  plug.Set(kLevelFirst + voice, 0.1);
  plug.Set(kNoteFirst + voice, 90);
  plug.SetOutputRouting(voice, false, 6);
  gui().popupAnswers = {1};
  gui().Click(at::ColumnX(voice), 10);
  EXPECT_EQ(plug.GetParam(kNoteFirst + voice)->Value(),
            plug.GetParam(kNoteFirst + voice)->Default());
  EXPECT_EQ(plug.GetParam(kLevelFirst + voice)->Value(), 0.1);
  gui().popupAnswers = {0};
  gui().Click(at::ColumnX(voice), 10);
  EXPECT_EQ(plug.GetParam(kLevelFirst + voice)->Value(),
            plug.GetParam(kLevelFirst + voice)->Default());
  EXPECT_TRUE(plug.ToSum(voice));
  EXPECT_EQ(plug.ExtraOutput(voice), 0);
}

TEST_F(EditorPagesTest, OptionsMenuGreysWhatCannotRunAndOpensTheHomePage) {
  gui().popupAnswers = {1, 10, 26};
  gui().Click(at::kOptionsX, at::kBarY);  // "Paste Program" with nothing copied
  gui().Click(at::kOptionsX, at::kBarY);  // "Load Startup Bank" without one
  gui().Click(at::kOptionsX, at::kBarY);  // "Go Online..." > "Visit ..."
  ASSERT_EQ(gui().menusShown.size(), 3u);
  EXPECT_EQ(gui().menusShown[0].labels.size(), 21u);
  EXPECT_EQ(gui().webPagesOpened, std::vector<std::string>{IMVOptionMenu::kHomePage});
}

TEST_F(EditorPagesTest, ReportsItsEditorToTheHost) {
  AEffect* effect = plug.GetAEffect();
  EXPECT_EQ(effect->flags, 0x1131);
  ERect* rect = nullptr;
  ASSERT_EQ(effect->dispatcher(effect, effEditGetRect, 0, 0, &rect, 0.0f), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->right - rect->left, 800);
  EXPECT_EQ(rect->bottom - rect->top, 409);
}

// Automation from the host's thread while blocks render on the audio thread: the editor's thread
// sees the value through its ticks, and nothing is shared without synchronisation (TSan).
TEST(EditorPagesThreads, AutomationWhileBlocksRunReachesTheControls) {
  HeadlessFactoryScope factory;
  PagesHost plug;
  plug.Start();
  auto& gui = *static_cast<IGraphicsHeadless*>(plug.GetGUI());
  gui.Open();
  plug.Pages()->SwitchPage(EditorPages::kSequencePage);
  std::atomic<bool> stop{false};
  std::thread audio([&] {
    while (!stop.load()) plug.RenderBlock(256);
  });
  std::thread host([&] {
    AEffect* effect = plug.GetAEffect();
    for (int i = 0; i < 200; ++i) {
      effect->setParameter(effect, kRhythm1 + (i % 10), (i % 2) ? 1.0f : 0.0f);
      effect->setParameter(effect, kTempo, static_cast<float>(i % 100) / 100.0f);
    }
    effect->setParameter(effect, kTempo, 0.25f);
  });
  for (int i = 0; i < 200; ++i) {
    plug.HostIdle();
    gui.Tick();
  }
  host.join();
  stop = true;
  audio.join();
  gui.Tick();
  const int tempoControl = [&] {
    for (int i = 0; i < gui.NControls(); ++i) {
      if (gui.GetControl(i)->ParamIdx() == kTempo) return i;
    }
    return -1;
  }();
  ASSERT_GE(tempoControl, 0);
  EXPECT_NEAR(gui.GetControl(tempoControl)->GetValue(), 0.25, 1e-6);
}

}  // namespace
}  // namespace editor_test
