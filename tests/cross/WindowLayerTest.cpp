// The Windows editor window's rules that hold without a display: the translation of keys and
// wheel turns, the redraw timer, the text box's character filter and the file dialog's filter.
// What needs a display (menus, text boxes, clicks) is tried by tests/cross/editor-under-wine.
#define NOMINMAX
#include <windows.h>
#undef DrawText

#include <gtest/gtest.h>

#include "framework/IParameter.h"
#include "platform/win/IGraphicsWin.h"

namespace {

TEST(WindowLayer, TimerTicksAtTheRefreshRate) {
  EXPECT_EQ(IGraphicsWin::TimerInterval(25), 40);
  EXPECT_EQ(IGraphicsWin::TimerInterval(30), 33);
  EXPECT_GT(IGraphicsWin::TimerInterval(0), 0);
}

TEST(WindowLayer, KeysMapToTheEditorsCodesAndOthersAreLeftToTheHost) {
  EXPECT_EQ(IGraphicsWin::TranslateKey(VK_SPACE), IGraphics::kKeySpace);
  EXPECT_EQ(IGraphicsWin::TranslateKey(VK_UP), 1);
  EXPECT_EQ(IGraphicsWin::TranslateKey(VK_DOWN), 2);
  EXPECT_EQ(IGraphicsWin::TranslateKey(VK_LEFT), 3);
  EXPECT_EQ(IGraphicsWin::TranslateKey(VK_RIGHT), 4);
  EXPECT_EQ(IGraphicsWin::TranslateKey('0'), 5);
  EXPECT_EQ(IGraphicsWin::TranslateKey('9'), 14);
  EXPECT_EQ(IGraphicsWin::TranslateKey('A'), 15);
  EXPECT_EQ(IGraphicsWin::TranslateKey('Z'), 40);
  for (int key : {VK_F5, VK_RETURN, VK_ESCAPE, VK_NUMPAD1, VK_TAB}) {
    EXPECT_EQ(IGraphicsWin::TranslateKey(key), -1) << key;
  }
}

TEST(WindowLayer, WheelDeliversWholeNotchesOnly) {
  EXPECT_EQ(IGraphicsWin::WheelNotches(120), 1);
  EXPECT_EQ(IGraphicsWin::WheelNotches(-120), -1);
  EXPECT_EQ(IGraphicsWin::WheelNotches(60), 0);
  EXPECT_EQ(IGraphicsWin::WheelNotches(-60), 0);
  EXPECT_EQ(IGraphicsWin::WheelNotches(359), 2);
  EXPECT_EQ(IGraphicsWin::WheelNotches(-359), -2);
}

TEST(WindowLayer, TextBoxTakesOnlyWhatTheParameterCanRead) {
  for (int type : {ParamTypeBool, ParamTypeInt, ParamTypeEnum}) {
    EXPECT_TRUE(IGraphicsWin::AcceptsCharacter(type, '7')) << type;
    EXPECT_TRUE(IGraphicsWin::AcceptsCharacter(type, '-')) << type;
    EXPECT_TRUE(IGraphicsWin::AcceptsCharacter(type, '+')) << type;
    EXPECT_FALSE(IGraphicsWin::AcceptsCharacter(type, '.')) << type;
    EXPECT_FALSE(IGraphicsWin::AcceptsCharacter(type, 'a')) << type;
    EXPECT_TRUE(IGraphicsWin::AcceptsCharacter(type, '\b')) << type;
  }
  EXPECT_TRUE(IGraphicsWin::AcceptsCharacter(ParamTypeDouble, '.'));
  EXPECT_FALSE(IGraphicsWin::AcceptsCharacter(ParamTypeDouble, 'e'));
  // A box without a numeric parameter takes any text.
  EXPECT_TRUE(IGraphicsWin::AcceptsCharacter(ParamTypeNone, 'e'));
}

TEST(WindowLayer, FileFilterJoinsTheExtensions) {
  EXPECT_EQ(IGraphicsWin::FilePattern("fxp fxb"), "*.fxp;*.fxb");
  EXPECT_EQ(IGraphicsWin::FilePattern("mid"), "*.mid");
  EXPECT_EQ(IGraphicsWin::FilePattern("  fxp   fxb "), "*.fxp;*.fxb");
  EXPECT_EQ(IGraphicsWin::FilePattern(""), "");
  EXPECT_EQ(IGraphicsWin::FilePattern(nullptr), "");
}

TEST(WindowLayer, ChoosersAnswerNothingWithoutAWindow) {
  IGraphicsWin gui(nullptr);
  EXPECT_FALSE(gui.HasWindow());
  EXPECT_STREQ(gui.GetDrawingApiName(), "Windows GDI");
  std::string file = "old.fxp", folder = "C:\\";
  gui.AskForFile(&file, IGraphics::kFileOpen, &folder, "fxp");
  EXPECT_EQ(file, "");
  Color color(255, 1, 2, 3);
  EXPECT_FALSE(gui.AskForColor(&color, "Colour"));
  EXPECT_EQ(color, Color(255, 1, 2, 3));
  // A window needs a parent to live in.
  EXPECT_EQ(gui.OpenEditorWindow(nullptr), nullptr);
  EXPECT_EQ(IGraphicsWin::WindowCount(), 0);
}

TEST(WindowLayer, BitmapsComeFromThisModulesPngResources) {
  IGraphicsWin gui(nullptr);
  auto back = gui.LoadBitmapResource(101, "back.PNG");
  ASSERT_TRUE(back);
  EXPECT_EQ(back->getWidth(), 800);
  EXPECT_EQ(back->getHeight(), 409);
  EXPECT_FALSE(gui.LoadBitmapResource(101, "back.bmp"));
  EXPECT_FALSE(gui.LoadBitmapResource(9999, "none.png"));
}

}  // namespace
