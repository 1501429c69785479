// The X11 editor driven like a user would drive it: a real window on a display (Xvfb in the test
// script), real pointer and key events from xdotool. The plug-in is built in-process with its own
// pages plus a few controls that open menus, text boxes and message boxes. Skipped unless
// RHYTHMORIA_X11_TESTS is set (they move the pointer), and without $DISPLAY or xdotool.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
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
#include <vector>

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
const Rect kColorRect(260, 10, 310, 30);

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
      gui->AskForFile(&name, fileSave ? IGraphics::kFileSave : IGraphics::kFileOpen, &folder,
                      "fxb fxp");
      std::lock_guard<std::mutex> lock(fileLock);
      chosenFile = name;
      chosenFolder = folder;
      fileDone = true;
    }));
    gui->AttachControl(std::make_unique<ActionControl>(&plug, kColorRect, -1, [this](IControl*) {
      const int rgb = colorRgb;
      Color c(255, (rgb >> 16) & 0xff, (rgb >> 8) & 0xff, rgb & 0xff);
      colorChosen = gui->AskForColor(&c, "Pad colour");
      colorRgb = (c.R << 16) | (c.G << 8) | c.B;
      colorDone = true;
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
  std::atomic<bool> fileSave{false};
  std::atomic<int> colorRgb{0x0a141e};
  std::atomic<bool> colorChosen{false};
  std::atomic<bool> colorDone{false};

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
    // An X server resets when its last client leaves and refuses connections meanwhile: one
    // connection kept for the whole program stops that between one editor and the next.
    static const struct Keeper {
      xcb_connection_t* conn = xcb_connect(nullptr, nullptr);
      ~Keeper() { xcb_disconnect(conn); }
    } keeper;
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

// Debian's python, which has python3-dbus, before any other python3 on PATH.
std::string Python() {
  return ::access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
}

// A session bus of the tests' own, on which no desktop's portal answers. libdbus reads the bus's
// address once per process, so the bus lives as long as the test program; each test starts and
// stops its own stand-in portal (tests/x11/fake-portal.py) on it.
class PrivateBus {
 public:
  static PrivateBus& Get() {
    static PrivateBus bus;
    return bus;
  }
  bool Ok() const { return !mAddress.empty(); }
  // The stand-in answers each request as answer says ("choose URI", "cancel", "fail", "hang").
  bool StartPortal(const std::string& answer) {
    StopPortal();
    SetAnswer(answer);
    std::remove(LogPath().c_str());
    const std::string command = "DBUS_SESSION_BUS_ADDRESS='" + mAddress + "' " + Python() + " " +
                                RHYTHMORIA_FAKE_PORTAL + " " + AnswerPath() + " " + LogPath() +
                                " >/dev/null 2>&1 & echo $!";
    mPortalPid = std::stoi(Output(command));
    return WaitFor([&] { return Log().find("\"ready\"") != std::string::npos; }, 10000);
  }
  void SetAnswer(const std::string& answer) { std::ofstream(AnswerPath()) << answer << "\n"; }
  void StopPortal() {
    if (mPortalPid > 0) {
      ::kill(mPortalPid, SIGTERM);
      ::waitpid(mPortalPid, nullptr, 0);
    }
    mPortalPid = 0;
  }
  std::string Log() const {
    std::ifstream in(LogPath());
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  PrivateBus() {
    mFolder = testing::TempDir() + "x11-bus-" + std::to_string(::getpid()) + "/";
    std::system(("mkdir -p " + mFolder).c_str());
    // The system's session bus settings, listening in our folder and starting no services.
    std::ifstream in("/usr/share/dbus-1/session.conf");
    std::string config((std::istreambuf_iterator<char>(in)), {});
    const std::size_t listen = config.find("<listen>");
    const std::size_t listenEnd = config.find("</listen>");
    if (listen == std::string::npos || listenEnd == std::string::npos) return;
    config.replace(listen, listenEnd - listen, "<listen>unix:tmpdir=" + mFolder);
    for (const std::string dirs :
         {"<standard_session_servicedirs />", "<standard_session_servicedirs/>"}) {
      for (std::size_t at; (at = config.find(dirs)) != std::string::npos;)
        config.erase(at, dirs.size());
    }
    std::ofstream(mFolder + "bus.conf") << config;
    const std::string out = Output("dbus-daemon --fork --config-file=" + mFolder +
                                   "bus.conf --print-address=1 --print-pid=1 2>/dev/null");
    const std::size_t newline = out.find('\n');
    if (newline == std::string::npos) return;
    mAddress = out.substr(0, newline);
    mBusPid = std::atoi(out.c_str() + newline + 1);
    setenv("DBUS_SESSION_BUS_ADDRESS", mAddress.c_str(), 1);
  }
  ~PrivateBus() {
    StopPortal();
    if (mBusPid > 0) ::kill(mBusPid, SIGTERM);
  }
  static std::string Output(const std::string& command) {
    std::string out;
    if (FILE* f = ::popen(command.c_str(), "r")) {
      char buffer[512];
      std::size_t n;
      while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
      ::pclose(f);
    }
    return out;
  }
  std::string AnswerPath() const { return mFolder + "answer"; }
  std::string LogPath() const { return mFolder + "log"; }

  std::string mFolder;
  std::string mAddress;
  int mBusPid = 0;
  int mPortalPid = 0;
};

class X11PortalTest : public X11EditorTest {
 protected:
  void SetUp() override {
    X11EditorTest::SetUp();
    if (IsSkipped()) return;
    if (!HaveTool("dbus-daemon") ||
        std::system((Python() + " -c 'import dbus, gi.repository.GLib' >/dev/null 2>&1").c_str()) !=
            0) {
      GTEST_SKIP() << "dbus-daemon, python3-dbus or python3-gi is missing";
    }
    ASSERT_TRUE(PrivateBus::Get().Ok()) << "no private session bus";
    setenv("RHYTHMORIA_FILE_CHOOSER", "portal,builtin", 1);
    std::system(("mkdir -p '" + mFolder + "' && touch '" + mFolder + "My Bank.fxb'").c_str());
  }
  void TearDown() override {
    PrivateBus::Get().StopPortal();
    unsetenv("RHYTHMORIA_FILE_CHOOSER");
  }
  // Clicks the file control and waits for AskForFile's answer.
  std::string Ask(Editor& e) {
    e.fileDone = false;
    {
      std::lock_guard<std::mutex> lock(e.fileLock);
      e.fileFolder = mFolder;
    }
    e.Click(kFileRect.L + 5, kFileRect.T + 5);
    EXPECT_TRUE(WaitFor([&] { return e.fileDone.load(); }, 5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(600));  // no double-click next
    std::lock_guard<std::mutex> lock(e.fileLock);
    return e.chosenFile;
  }
  const std::string mFolder = testing::TempDir() + "x11-portal/";
};

TEST_F(X11PortalTest, PortalAnswersTheChosenFileOrNothing) {
  PrivateBus& bus = PrivateBus::Get();
  ASSERT_TRUE(bus.StartPortal("choose file://" + mFolder + "My%20Bank.fxb"));
  Editor e(0, 0);
  EXPECT_EQ(Ask(e), mFolder + "My Bank.fxb");
  std::string log = bus.Log();
  EXPECT_NE(log.find("\"method\": \"OpenFile\""), std::string::npos) << log;
  EXPECT_NE(log.find("\"parent\": \"x11:"), std::string::npos) << log;
  EXPECT_NE(log.find("\"folder\": \"" + mFolder + "\""), std::string::npos) << log;
  EXPECT_NE(log.find("[\"Files (*.fxb *.fxp)\", [[0, \"*.fxb\"], [0, \"*.fxp\"]]]"),
            std::string::npos)
      << log;

  // Saving offers the name; the chosen file need not exist yet.
  e.fileSave = true;
  bus.SetAnswer("choose file://" + mFolder + "new.fxb");
  EXPECT_EQ(Ask(e), mFolder + "new.fxb");
  log = bus.Log();
  EXPECT_NE(log.find("\"method\": \"SaveFile\""), std::string::npos) << log;
  EXPECT_NE(log.find("\"name\": \"bank.fxb\""), std::string::npos) << log;
  e.fileSave = false;

  // Cancelled, failed, or no local file: nothing chosen, and no other chooser is asked.
  for (const char* answer : {"cancel", "fail", "choose https://example.org/bank.fxb",
                             "choose file:///nowhere/bank.fxb"}) {
    bus.SetAnswer(answer);
    EXPECT_EQ(Ask(e), "") << answer;
  }
  EXPECT_NE(std::system("xdotool search --name '^File$' >/dev/null 2>&1"), 0);
}

TEST_F(X11PortalTest, WithoutAPortalTheBuiltInPromptAsks) {
  Editor e(0, 0);
  e.fileDone = false;
  {
    std::lock_guard<std::mutex> lock(e.fileLock);
    e.fileFolder = mFolder;
  }
  e.Click(kFileRect.L + 5, kFileRect.T + 5);
  ASSERT_EQ(std::system("xdotool search --sync --name '^File$' >/dev/null 2>&1"), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  Xdo("key Escape");
  EXPECT_TRUE(WaitFor([&] { return e.fileDone.load(); }));
  std::lock_guard<std::mutex> lock(e.fileLock);
  EXPECT_EQ(e.chosenFile, "");
}

TEST_F(X11PortalTest, ClosingTheEditorClosesThePortalsDialog) {
  PrivateBus& bus = PrivateBus::Get();
  ASSERT_TRUE(bus.StartPortal("hang"));
  auto e = std::make_unique<Editor>(0, 0);
  e->Click(kFileRect.L + 5, kFileRect.T + 5);
  ASSERT_TRUE(WaitFor([&] { return bus.Log().find("OpenFile") != std::string::npos; }, 5000));
  const auto start = std::chrono::steady_clock::now();
  e->CloseUnderLock();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_TRUE(WaitFor([&] { return bus.Log().find("\"closed\"") != std::string::npos; }));
  EXPECT_TRUE(WaitFor([&] { return e->fileDone.load(); }));
  std::lock_guard<std::mutex> lock(e->fileLock);
  EXPECT_EQ(e->chosenFile, "");
}

// Clicks the colour control and waits for AskForColor's answer.
bool AskColor(Editor& e, const std::vector<std::string>& keys, int* rgb) {
  e.colorDone = false;
  e.Click(kColorRect.L + 5, kColorRect.T + 5);
  if (!keys.empty()) {
    EXPECT_EQ(std::system("xdotool search --sync --name '^Pad colour$' >/dev/null 2>&1"), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    for (const std::string& k : keys) Xdo(k);
  }
  EXPECT_TRUE(WaitFor([&] { return e.colorDone.load(); }, 5000));
  std::this_thread::sleep_for(std::chrono::milliseconds(600));  // no double-click next
  *rgb = e.colorRgb;
  return e.colorChosen;
}

// The built-in chooser: hex digits only, whole colours only; Escape keeps the colour.
TEST_F(X11EditorTest, BuiltInColourChooser) {
  // The environment changes only while no editor thread reads it.
  setenv("RHYTHMORIA_COLOR_CHOOSER", "builtin", 1);
  auto e = std::make_unique<Editor>(0, 0);
  int rgb = 0;
  EXPECT_FALSE(AskColor(*e, {"key Escape"}, &rgb));
  EXPECT_EQ(rgb, 0x0a141e);
  // Starts at the colour given; six backspaces empty it, "x" is no hex digit.
  EXPECT_TRUE(AskColor(*e,
                       {"key BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace",
                        "type --delay 20 x80c0fF", "key Return"},
                       &rgb));
  EXPECT_EQ(rgb, 0x80c0ff);
  // A colour cut short is not answered by Return.
  e->colorDone = false;
  e->Click(kColorRect.L + 5, kColorRect.T + 5);
  ASSERT_EQ(std::system("xdotool search --sync --name '^Pad colour$' >/dev/null 2>&1"), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  Xdo("key BackSpace Return");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(e->colorDone.load());
  Xdo("key Escape");
  EXPECT_TRUE(WaitFor([&] { return e->colorDone.load(); }));
  EXPECT_EQ(e->colorRgb.load(), 0x80c0ff);
  e.reset();
  unsetenv("RHYTHMORIA_COLOR_CHOOSER");
}

// A chooser program's answers in the forms zenity and kdialog give, through stand-ins on PATH.
TEST_F(X11EditorTest, ColourFromAChooserProgram) {
  const std::string bin = testing::TempDir() + "x11-color-bin/";
  const std::string args = bin + "args";
  std::system(("mkdir -p " + bin).c_str());
  const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", (bin + ":" + oldPath).c_str(), 1);
  auto program = [&](const char* name, const std::string& body) {
    std::ofstream(bin + name) << "#!/bin/sh\necho \"$@\" >" << args << "\n" << body << "\n";
    std::system(("chmod +x " + bin + name).c_str());
  };
  auto readArgs = [&] {
    std::ifstream in(args);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  int rgb = 0;
  // The environment changes only while no editor thread reads it.
  setenv("RHYTHMORIA_COLOR_CHOOSER", "zenity", 1);
  auto e = std::make_unique<Editor>(0, 0);
  program("zenity", "echo 'rgb(255,128,0)'");
  EXPECT_TRUE(AskColor(*e, {}, &rgb));
  EXPECT_EQ(rgb, 0xff8000);
  EXPECT_EQ(readArgs(), "--color-selection --title=Pad colour --color=#0a141e\n");
  program("zenity", "echo 'rgba(1,2,3,0.5)'");
  EXPECT_TRUE(AskColor(*e, {}, &rgb));
  EXPECT_EQ(rgb, 0x010203);
  // Cancelled (exit 1) or unreadable: nothing chosen, the colour kept.
  program("zenity", "exit 1");
  EXPECT_FALSE(AskColor(*e, {}, &rgb));
  program("zenity", "echo 'rgb(300,0,0)'");
  EXPECT_FALSE(AskColor(*e, {}, &rgb));
  EXPECT_EQ(rgb, 0x010203);

  e.reset();
  setenv("RHYTHMORIA_COLOR_CHOOSER", "kdialog", 1);
  e = std::make_unique<Editor>(0, 0);
  program("kdialog", "echo '#A0b0C0'");
  EXPECT_TRUE(AskColor(*e, {}, &rgb));
  EXPECT_EQ(rgb, 0xa0b0c0);
  EXPECT_EQ(readArgs(), "--getcolor --default #0a141e --title Pad colour\n");
  e.reset();
  unsetenv("RHYTHMORIA_COLOR_CHOOSER");
  setenv("PATH", oldPath.c_str(), 1);
}

TEST_F(X11EditorTest, ScreenMatchesTheHeadlessRender) {
  if (!HaveTool("import")) GTEST_SKIP() << "imagemagick's import is not installed";
  Editor e(0, 0);
  // The script runs this on a server with MIT-SHM and on one without: the picture is the same.
  if (const char* shm = std::getenv("RHYTHMORIA_X11_EXPECT_SHM")) {
    EXPECT_EQ(e.gui->UsesSharedMemory(), std::string(shm) == "1");
  }
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
  headless->AttachControl(std::make_unique<ActionControl>(&reference, kColorRect, -1, nullptr));
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
