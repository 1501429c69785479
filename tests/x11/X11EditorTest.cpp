// The X11 editor driven like a user would drive it: a real window on a display (Xvfb in the test
// script), real pointer and key events from xdotool. The plug-in is built in-process with its own
// pages plus a few controls that open menus, text boxes and message boxes. Skipped unless
// RHYTHMORIA_X11_TESTS is set (they move the pointer), and without $DISPLAY or xdotool.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "editor/GraphicsFactory.h"
#include "editor/IControl.h"
#include "engine/ParameterIndex.h"
#include "platform/headless/IGraphicsHeadless.h"
#include "platform/x11/IGraphicsX11.h"
#include "tests/support/FakeHost.h"
#include "tools/EditorPreview.h"

namespace x11_test {
namespace {

using testing_support::FakeHost;

// Where the main page puts its controls, in editor pixels.
constexpr int kPowerX = 740, kPowerY = 70;
// The Quijada slider's handle at its default 0.5: only the handle takes the pointer.
constexpr int kFaderX = 190, kFaderY = 100;
// Our own controls along the top-left edge of the editor.
const Rect kMenuRect(10, 10, 60, 30);
const Rect kTextRect(70, 10, 130, 30);
const Rect kAskRect(140, 10, 190, 30);
const Rect kFileRect(200, 10, 250, 30);

bool HaveTool(const char* tool) {
  return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

void Xdo(const std::string& args) {
  const int rc = std::system(("xdotool " + args + " >/dev/null 2>&1").c_str());
  ASSERT_EQ(rc, 0) << "xdotool " << args;
}

bool WaitFor(const std::function<bool()>& done, int ms = 3000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

// Runs a function on the editor's thread when pressed, as the editor's own menus and boxes do.
class ActionControl : public IControl {
 public:
  ActionControl(IPlugBase* plug, const Rect& rect, int paramIdx, std::function<void(IControl*)> act)
      : IControl(plug, rect, paramIdx), mAct(std::move(act)) {}
  bool Draw(IGraphics* g) override { return g->FillRect(Color(255, 90, 90, 200), mRECT); }
  void MouseDown(int, int, const MouseModifiers&) override { mAct(this); }

 private:
  std::function<void(IControl*)> mAct;
};

// One plug-in with its editor in a top-level window of the test's own connection.
class Editor {
 public:
  Editor(int x, int y) : mX(x), mY(y) {
    mConn = xcb_connect(nullptr, nullptr);
    mScreen = xcb_setup_roots_iterator(xcb_get_setup(mConn)).data;
    // The plug-in lays its pages out on the system's window layer as it is constructed.
    gui = dynamic_cast<IGraphicsX11*>(plug.GetGUI());
    EXPECT_NE(gui, nullptr) << "the plug-in made no X11 editor";
    if (!gui) return;
    gui->AttachControl(std::make_unique<ActionControl>(&plug, kMenuRect, -1, [this](IControl*) {
      menuShown = true;
      PopupMenu* chosen = gui->ShowPopupMenu(&menu, kMenuRect);
      chosenMenu = chosen;
      chosenIdx = chosen ? chosen->GetChosenItemIdx() : -1;
      menuDone = true;
    }));
    gui->AttachControl(
        std::make_unique<ActionControl>(&plug, kTextRect, kTempo, [this](IControl* c) {
          gui->ShowTextEntry(c, TextStyle(), kTextRect, "120", plug.GetParam(kTempo));
        }));
    gui->AttachControl(std::make_unique<ActionControl>(&plug, kAskRect, -1, [this](IControl*) {
      answer = gui->ShowMessageBox("Replace the rhythm?", "Question", IGraphicsX11::kMbYesNo);
    }));
    gui->AttachControl(std::make_unique<ActionControl>(&plug, kFileRect, -1, [this](IControl*) {
      std::string name = "bank.fxb";
      std::string folder;
      {
        std::lock_guard<std::mutex> lock(fileLock);
        folder = fileFolder;
      }
      gui->AskForFile(&name, IGraphics::kFileOpen, &folder, "fxb fxp");
      std::lock_guard<std::mutex> lock(fileLock);
      chosenFile = name;
      chosenFolder = folder;
      fileDone = true;
    }));
    menu.SetNumbering(PopupMenu::kThreeDigits);
    menu.AddItem("Alpha");
    menu.AddItem("Beta", PopupMenuItem::kGrayed);
    menu.AddSeparator();
    auto sub = std::make_unique<PopupMenu>();
    sub->AddItem("One");
    sub->AddItem("Two", PopupMenuItem::kChecked);
    subMenu = sub.get();
    menu.AddSubmenu("Sub", std::move(sub));
    menu.AddItem("Gamma");
    Open();
  }
  ~Editor() {
    CloseUnderLock();
    if (mTop) xcb_destroy_window(mConn, mTop);
    xcb_disconnect(mConn);
  }

  void Open() {
    mTop = xcb_generate_id(mConn);
    const std::uint32_t values[] = {1u};
    xcb_create_window(
        mConn, XCB_COPY_FROM_PARENT, mTop, mScreen->root, static_cast<std::int16_t>(mX),
        static_cast<std::int16_t>(mY), IGraphics::kDefaultWidth, IGraphics::kDefaultHeight, 0,
        XCB_WINDOW_CLASS_INPUT_OUTPUT, mScreen->root_visual, XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(mConn, mTop);
    // The editor's connection may only name the window once the server has made it.
    std::free(xcb_get_input_focus_reply(mConn, xcb_get_input_focus(mConn), nullptr));
    {
      // As effEditOpen does: under the plug-in's mutex, which the editor's own thread takes too.
      IPlugBase::ScopedLock lock(plug.GetMutex());
      ASSERT_NE(gui->OpenEditorWindow(reinterpret_cast<void*>(static_cast<std::uintptr_t>(mTop))),
                nullptr);
      plug.EditorOpened();
    }
    // The first paint shows everything.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
  }
  // As effEditClose does: under the plug-in's mutex.
  void CloseUnderLock() {
    IPlugBase::ScopedLock lock(plug.GetMutex());
    gui->CloseEditorWindow();
  }
  void Reopen() {
    CloseUnderLock();
    xcb_destroy_window(mConn, mTop);
    mTop = 0;
    Open();
  }

  double Param(int idx) {
    IPlugBase::ScopedLock lock(plug.GetMutex());
    return plug.GetParam(idx)->Value();
  }
  // Screen coordinates of an editor point.
  std::string At(int x, int y) const {
    return std::to_string(mX + x) + " " + std::to_string(mY + y);
  }
  // (--sync would wait forever for a pointer that is already there.)
  void Click(int x, int y) { Xdo("mousemove " + At(x, y) + " sleep 0.05 click 1"); }
  std::uint32_t TopWindow() const { return mTop; }

  FakeHost plug;
  IGraphicsX11* gui = nullptr;  // owned by the plug-in
  PopupMenu menu;
  PopupMenu* subMenu = nullptr;
  std::atomic<bool> menuShown{false};
  std::atomic<bool> menuDone{false};
  std::atomic<PopupMenu*> chosenMenu{nullptr};
  std::atomic<int> chosenIdx{-1};
  std::atomic<int> answer{0};
  std::string fileFolder;
  std::mutex fileLock;
  std::string chosenFile;
  std::string chosenFolder;
  std::atomic<bool> fileDone{false};

 private:
  int mX, mY;
  xcb_connection_t* mConn = nullptr;
  xcb_screen_t* mScreen = nullptr;
  xcb_window_t mTop = 0;
};

class X11EditorTest : public testing::Test {
 protected:
  void SetUp() override {
    // They move the pointer and type: only on a display made for them.
    if (!std::getenv("RHYTHMORIA_X11_TESTS")) {
      GTEST_SKIP()
          << "set RHYTHMORIA_X11_TESTS=1 on a virtual display (tests/x11/editor-under-xvfb)";
    }
    if (!std::getenv("DISPLAY"))
      GTEST_SKIP() << "no X display (tests/x11/editor-under-xvfb runs these)";
    if (!HaveTool("xdotool")) GTEST_SKIP() << "xdotool is not installed";
    // The system's own window layer, not the headless one test programs get by default.
    SetGraphicsFactory(nullptr);
  }
};

TEST_F(X11EditorTest, SwitchKnobAndDoubleClick) {
  Editor e(0, 0);
  const double power = e.Param(kPower);
  e.Click(kPowerX, kPowerY);
  EXPECT_TRUE(WaitFor([&] { return e.Param(kPower) != power; }));
  // A second press soon after at the same place is a double-click; a switch steps on it as well.
  e.Click(kPowerX, kPowerY);
  EXPECT_TRUE(WaitFor([&] { return e.Param(kPower) == power; }));

  Xdo("mousemove --sync " + e.At(kFaderX, kFaderY) + " mousedown 1 mousemove --sync " +
      e.At(kFaderX, kFaderY - 20) + " mousemove --sync " + e.At(kFaderX, kFaderY - 40) +
      " mouseup 1");
  ASSERT_TRUE(WaitFor([&] { return e.Param(kQuijadaBalance) > 0.65; })) << e.Param(kQuijadaBalance);
  // The wheel moves it by whole notches.
  const double dragged = e.Param(kQuijadaBalance);
  Xdo("click 5");
  EXPECT_TRUE(WaitFor([&] { return e.Param(kQuijadaBalance) < dragged; }));
}

TEST_F(X11EditorTest, PopupMenuItemsSubMenusAndDismissal) {
  Editor e(0, 0);
  const int below = kMenuRect.B;
  // Items 20 pixels high from 2; the separator takes 8: Alpha, Beta, -, Sub, Gamma.
  e.Click(kMenuRect.L + 5, kMenuRect.T + 5);
  ASSERT_TRUE(WaitFor([&] { return e.menuShown.load(); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  e.Click(kMenuRect.L + 30, below + 80);
  ASSERT_TRUE(WaitFor([&] { return e.menuDone.load(); }));
  EXPECT_EQ(e.chosenMenu.load(), &e.menu);
  EXPECT_EQ(e.chosenIdx.load(), 4);

  // A greyed item cannot be chosen; Escape dismisses the menu with nothing chosen.
  e.menuDone = false;
  e.Click(kMenuRect.L + 5, kMenuRect.T + 5);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  e.Click(kMenuRect.L + 30, below + 30);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(e.menuDone.load());
  Xdo("key Escape");
  ASSERT_TRUE(WaitFor([&] { return e.menuDone.load(); }));
  EXPECT_EQ(e.chosenMenu.load(), nullptr);

  // Hovering the sub-menu's entry opens it; the keys choose in it.
  e.menuDone = false;
  e.Click(kMenuRect.L + 5, kMenuRect.T + 5);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  Xdo("mousemove --sync " + e.At(kMenuRect.L + 30, below + 60));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  Xdo("key Down Down Return");
  ASSERT_TRUE(WaitFor([&] { return e.menuDone.load(); }));
  EXPECT_EQ(e.chosenMenu.load(), e.subMenu);
  EXPECT_EQ(e.chosenIdx.load(), 1);

  // A click outside every menu dismisses it, and the editor works on.
  e.menuDone = false;
  e.Click(kMenuRect.L + 5, kMenuRect.T + 5);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  e.Click(700, 300);
  ASSERT_TRUE(WaitFor([&] { return e.menuDone.load(); }));
  EXPECT_EQ(e.chosenMenu.load(), nullptr);
  const double power = e.Param(kPower);
  e.Click(kPowerX, kPowerY);
  EXPECT_TRUE(WaitFor([&] { return e.Param(kPower) != power; }));
}

TEST_F(X11EditorTest, TextBoxCommitsOnReturnAndCancelsOnEscape) {
  Editor e(0, 0);
  e.Click(kTextRect.L + 5, kTextRect.T + 5);
  ASSERT_TRUE(WaitFor([&] { return e.gui->TextEntryOpen(); }));
  // Letters do not pass a number's filter; the first accepted character replaces the selection.
  Xdo("type --delay 20 x2.5");
  Xdo("key Return");
  EXPECT_TRUE(WaitFor([&] { return std::fabs(e.Param(kTempo) - 2.5) < 1e-6; })) << e.Param(kTempo);
  EXPECT_TRUE(WaitFor([&] { return !e.gui->TextEntryOpen(); }));

  std::this_thread::sleep_for(std::chrono::milliseconds(600));  // not a double-click
  e.Click(kTextRect.L + 5, kTextRect.T + 5);
  ASSERT_TRUE(WaitFor([&] { return e.gui->TextEntryOpen(); }));
  Xdo("type --delay 20 77");
  Xdo("key Escape");
  EXPECT_TRUE(WaitFor([&] { return !e.gui->TextEntryOpen(); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_NEAR(e.Param(kTempo), 2.5, 1e-6);
}

TEST_F(X11EditorTest, MessageBoxAnswersYesAndNo) {
  Editor e(0, 0);
  e.Click(kAskRect.L + 5, kAskRect.T + 5);
  ASSERT_EQ(std::system("xdotool search --sync --name '^Question$' >/dev/null 2>&1"), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  Xdo("key Return");
  EXPECT_TRUE(WaitFor([&] { return e.answer.load() == IGraphicsX11::kIdYes; })) << e.answer;
  e.answer = 0;
  e.Click(kAskRect.L + 5, kAskRect.T + 5);
  ASSERT_EQ(std::system("xdotool search --sync --name '^Question$' >/dev/null 2>&1"), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  Xdo("key Escape");
  EXPECT_TRUE(WaitFor([&] { return e.answer.load() == IGraphicsX11::kIdNo; })) << e.answer;
}

// Without zenity or kdialog the built-in prompt asks for the path; only an existing file opens.
TEST_F(X11EditorTest, FileChooserAnswersTheFileOrNothing) {
  setenv("RHYTHMORIA_FILE_CHOOSER", "builtin", 1);
  const std::string folder = testing::TempDir() + "x11-chooser/";
  std::system(("mkdir -p " + folder + " && touch " + folder + "bank.fxb").c_str());
  Editor e(0, 0);
  {
    std::lock_guard<std::mutex> lock(e.fileLock);
    e.fileFolder = folder;
  }
  std::string lastFolder;
  auto ask = [&](const std::string& keys) {
    e.fileDone = false;
    e.Click(kFileRect.L + 5, kFileRect.T + 5);
    EXPECT_EQ(std::system("xdotool search --sync --name '^File$' >/dev/null 2>&1"), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    Xdo(keys);
    EXPECT_TRUE(WaitFor([&] { return e.fileDone.load(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(600));  // no double-click next
    std::lock_guard<std::mutex> lock(e.fileLock);
    lastFolder = e.chosenFolder;
    return e.chosenFile;
  };
  // The prompt starts at the folder and name given.
  EXPECT_EQ(ask("key Return"), folder + "bank.fxb");
  EXPECT_EQ(lastFolder, folder);
  EXPECT_EQ(ask("key Escape"), "");
  EXPECT_EQ(ask("key BackSpace BackSpace BackSpace key Return"), "");  // "bank.f" does not exist
  unsetenv("RHYTHMORIA_FILE_CHOOSER");
}

TEST_F(X11EditorTest, ScreenMatchesTheHeadlessRender) {
  if (!HaveTool("import")) GTEST_SKIP() << "imagemagick's import is not installed";
  Editor e(0, 0);
  Xdo("mousemove 1000 900");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const std::string shot = testing::TempDir() + "x11-editor.png";
  const std::string command =
      "import -window " + std::to_string(e.TopWindow()) + " " + shot + " 2>/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream file(shot, std::ios::binary);
  const std::string data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::unique_ptr<LICE_MemBitmap> screen = LICE_LoadPNGFromMemory(data.data(), data.size());
  ASSERT_NE(screen, nullptr);

  SetGraphicsFactory(MakeHeadlessGraphics);
  FakeHost reference;
  IGraphicsHeadless* headless = OpenPreviewEditor(reference, {});
  ASSERT_NE(headless, nullptr);
  // The test's own controls are not in the preview: draw them the same way.
  headless->AttachControl(std::make_unique<ActionControl>(&reference, kMenuRect, -1, nullptr));
  headless->AttachControl(std::make_unique<ActionControl>(&reference, kTextRect, -1, nullptr));
  headless->AttachControl(std::make_unique<ActionControl>(&reference, kAskRect, -1, nullptr));
  headless->AttachControl(std::make_unique<ActionControl>(&reference, kFileRect, -1, nullptr));
  headless->RedrawAll();
  const LICE_MemBitmap& expected = headless->Screen();
  ASSERT_EQ(screen->getWidth(), expected.getWidth());
  ASSERT_EQ(screen->getHeight(), expected.getHeight());
  int differing = 0;
  for (int y = 0; y < expected.getHeight(); ++y) {
    for (int x = 0; x < expected.getWidth(); ++x) {
      const LICE_pixel a = LICE_GetPixel(screen.get(), x, y);
      const LICE_pixel b = LICE_GetPixel(&expected, x, y);
      if (std::abs(LICE_GETR(a) - LICE_GETR(b)) > 2 || std::abs(LICE_GETG(a) - LICE_GETG(b)) > 2 ||
          std::abs(LICE_GETB(a) - LICE_GETB(b)) > 2) {
        ++differing;
      }
    }
  }
  EXPECT_LE(differing, expected.getWidth() * expected.getHeight() / 1000) << differing;
}

TEST_F(X11EditorTest, TwoEditorsAtOnceAndReopening) {
  Editor a(0, 0);
  Editor b(0, 450);
  const double powerA = a.Param(kPower);
  const double powerB = b.Param(kPower);
  b.Click(kPowerX, kPowerY);
  EXPECT_TRUE(WaitFor([&] { return b.Param(kPower) != powerB; }));
  EXPECT_EQ(a.Param(kPower), powerA);

  a.Reopen();
  EXPECT_TRUE(a.gui->HasWindow());
  a.Click(kPowerX, kPowerY);
  EXPECT_TRUE(WaitFor([&] { return a.Param(kPower) != powerA; }));
  EXPECT_NE(b.Param(kPower), powerB);
}

// effEditClose comes with the plug-in's mutex held, while our thread waits in a menu: the close
// must neither wait for the user nor deadlock, and the menu ends with nothing chosen.
TEST_F(X11EditorTest, HostClosesTheEditorWhileAMenuIsOpen) {
  Editor e(0, 0);
  e.Click(kMenuRect.L + 5, kMenuRect.T + 5);
  ASSERT_TRUE(WaitFor([&] { return e.menuShown.load(); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const auto start = std::chrono::steady_clock::now();
  {
    IPlugBase::ScopedLock lock(e.plug.GetMutex());
    e.gui->CloseEditorWindow();
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_FALSE(e.gui->HasWindow());
  ASSERT_TRUE(WaitFor([&] { return e.menuDone.load(); }));
  EXPECT_EQ(e.chosenMenu.load(), nullptr);
  e.Reopen();
  const double power = e.Param(kPower);
  e.Click(kPowerX, kPowerY);
  EXPECT_TRUE(WaitFor([&] { return e.Param(kPower) != power; }));
}

// Under the thread sanitizer: blocks render and the host's idle runs the redraw on other threads
// while the user clicks and drags in the editor.
TEST_F(X11EditorTest, EditorStaysUsableWhileBlocksRender) {
  Editor e(0, 0);
  e.plug.Start();
  std::atomic<bool> stop{false};
  std::thread audio([&] {
    while (!stop) e.plug.RenderBlock(256);
  });
  std::thread hostIdle([&] {
    while (!stop) {
      {
        IPlugBase::ScopedLock lock(e.plug.GetMutex());
        e.gui->HostIdleTick();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(33));
    }
  });
  const double power = e.Param(kPower);
  for (int i = 0; i < 3; ++i) {
    e.Click(kPowerX, kPowerY);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));  // no double-click
  }
  Xdo("mousemove --sync " + e.At(kFaderX, kFaderY) + " mousedown 1 mousemove --sync " +
      e.At(kFaderX, kFaderY - 30) + " mouseup 1");
  EXPECT_TRUE(WaitFor([&] { return e.Param(kPower) != power; }));
  stop = true;
  audio.join();
  hostIdle.join();
}

}  // namespace
}  // namespace x11_test
