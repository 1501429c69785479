// The settings file is the user's: reads follow the private-profile rules whatever the file holds,
// and writes change only what they must, whole or not at all.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/Platform.h"
#include "tests/synth/ConfigHome.h"

namespace {

using synth_test::ConfigHomeTest;

class PrivateProfileTest : public ConfigHomeTest {
 protected:
  void SetUp() override {
    ConfigHomeTest::SetUp();
    path = (root / "settings.ini").string();
  }

  std::string Get(const char* section, const char* key, const char* fallback = "?",
                  std::size_t size = 260) {
    char buffer[260];
    std::memset(buffer, 'x', sizeof(buffer));
    const std::size_t n = platform::IniGetString(section, key, fallback, buffer, size, path);
    EXPECT_EQ(n, std::strlen(buffer)) << "the count matches what was copied";
    return buffer;
  }

  std::string path;
};

TEST_F(PrivateProfileTest, ReadsValuesLikeTheSystemFunction) {
  WriteFile(path,
            "\xEF\xBB\xBF[Startup Bank]\r\n"
            "File = 'C:\\banks\\my bank.fxb'  \r\n"
            "\r\n"
            "  [MIDI global]  \r\n"
            "midi thru=TRUE\r\n"
            "Bare key\r\n"
            "Empty=\r\n"
            "Quoted=\"mismatched'\r\n"
            "[Broken\r\n"
            "Last=from the first section\r\n"
            "[Midi Global]\r\n"
            "Second=never read\r\n");
  EXPECT_EQ(Get("startup bank", "FILE"), "C:\\banks\\my bank.fxb")
      << "letter case ignored, blanks trimmed, one pair of quotes removed, a leading BOM skipped";
  EXPECT_EQ(Get("MIDI Global", "MIDI Thru"), "TRUE");
  EXPECT_EQ(Get("MIDI Global", "Empty"), "") << "an empty value is a value";
  EXPECT_EQ(Get("MIDI Global", "Quoted"), "\"mismatched'");
  EXPECT_EQ(Get("MIDI Global", "Bare key"), "?") << "a key line without = holds no value";
  EXPECT_EQ(Get("MIDI Global", "Second"), "?") << "only the first of equal sections is read";
  EXPECT_EQ(Get("MIDI Global", "Last"), "from the first section")
      << "a bracket line without its closing bracket opens no section";

  EXPECT_EQ(Get("Nowhere", "File", "fallback  "), "fallback") << "default loses trailing blanks";
  EXPECT_EQ(Get("Startup Bank", "Missing", nullptr), "");
  EXPECT_EQ(Get(nullptr, "File"), "?");
  std::filesystem::remove(path);
  EXPECT_EQ(Get("Startup Bank", "File", "none"), "none");
  std::filesystem::create_directory(path);
  EXPECT_EQ(Get("Startup Bank", "File", "none"), "none") << "a folder reads as a missing file";
}

// An instance reads all its settings from one snapshot of the file: the same answers as reading
// key by key, and the file as it was when the snapshot was taken.
TEST_F(PrivateProfileTest, ASnapshotAnswersAsTheFileDidWhenTaken) {
  WriteFile(path, "[MIDI Global]\nMIDI Thru = 'true'  \nBare\n[Editor]\nMiddleC=C5\n");
  const platform::IniSnapshot snapshot(path);
  for (const char* key : {"midi thru", "Bare", "Missing"}) {
    char fromSnapshot[8];
    const std::size_t n =
        snapshot.GetString("MIDI Global", key, "none  ", fromSnapshot, sizeof(fromSnapshot));
    EXPECT_EQ(fromSnapshot, Get("MIDI Global", key, "none  ", sizeof(fromSnapshot))) << key;
    EXPECT_EQ(n, std::strlen(fromSnapshot));
  }
  char value[8];
  EXPECT_EQ(snapshot.GetString("Editor", "MiddleC", "", value, 3), 2u);
  EXPECT_STREQ(value, "C5");
  EXPECT_EQ(snapshot.GetString("Editor", "MiddleC", "", value, 0), 0u);

  ASSERT_TRUE(platform::IniWriteString("Editor", "MiddleC", "C3", path));
  snapshot.GetString("Editor", "MiddleC", "", value, sizeof(value));
  EXPECT_STREQ(value, "C5") << "a write reaches the file, not a snapshot taken before it";
  platform::IniSnapshot(path).GetString("Editor", "MiddleC", "", value, sizeof(value));
  EXPECT_STREQ(value, "C3") << "a new snapshot reads the file again";

  std::filesystem::remove(path);
  platform::IniSnapshot(path).GetString("Editor", "MiddleC", "gone", value, sizeof(value));
  EXPECT_STREQ(value, "gone") << "a missing file gives the defaults";
}

TEST_F(PrivateProfileTest, CopiesAtMostSizeMinusOneCharacters) {
  using namespace std::string_literals;
  WriteFile(path, "[S]\nKey=abcdefgh\nNul=ab\0cd\n"s);
  EXPECT_EQ(Get("S", "Key", "", 5), "abcd");
  EXPECT_EQ(Get("S", "Key", "", 9), "abcdefgh");
  EXPECT_EQ(Get("S", "Key", "", 1), "");
  EXPECT_EQ(Get("S", "Missing", "123456", 4), "123") << "the default is cut the same way";
  EXPECT_EQ(Get("S", "Nul"), "ab") << "a NUL in the file ends the value";

  char untouched[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(platform::IniGetString("S", "Key", "", untouched, 0, path), 0u);
  EXPECT_EQ(untouched[0], 'x') << "size 0 writes nothing";
}

TEST_F(PrivateProfileTest, WritesKeepEveryOtherLine) {
  const std::string before =
      "; written by hand\r\n"
      "[Global]\r\n"
      "Path to Program Files = /home/me/progs  ; note\r\n"
      "\r\n"
      "[MIDI Global]\r\n"
      "MIDI Thru=false\r\n"
      "Ignore Program Change=true\r\n"
      "\r\n"
      "[Unknown]\r\n"
      "Whatever=1\r\n";
  WriteFile(path, before);

  ASSERT_TRUE(platform::IniWriteString("midi global", "midi thru", "true", path));
  ASSERT_TRUE(platform::IniWriteString("MIDI Global", "New", "x", path));
  ASSERT_TRUE(platform::IniWriteString("Editor", "MiddleC", "C5", path));
  EXPECT_EQ(ReadFile(path),
            "; written by hand\r\n"
            "[Global]\r\n"
            "Path to Program Files = /home/me/progs  ; note\r\n"
            "\r\n"
            "[MIDI Global]\r\n"
            "midi thru=true\r\n"
            "Ignore Program Change=true\r\n"
            "New=x\r\n"
            "\r\n"
            "[Unknown]\r\n"
            "Whatever=1\r\n"
            "\r\n"
            "[Editor]\r\n"
            "MiddleC=C5\r\n")
      << "a key replaced in place, a new key at its section's end, a new section at the end";

  ASSERT_TRUE(platform::IniWriteSection("MIDI GLOBAL", "A=1\0B=2\0", path));
  EXPECT_EQ(Get("MIDI Global", "Ignore Program Change"), "?") << "the old content is gone";
  EXPECT_EQ(Get("MIDI Global", "B"), "2");
  ASSERT_TRUE(platform::IniWriteSection("Unknown", "", path));
  EXPECT_EQ(Get("Unknown", "Whatever"), "?");
  EXPECT_NE(ReadFile(path).find("[Unknown]\r\n"), std::string::npos) << "an emptied section stays";
  EXPECT_EQ(Get("Global", "Path to Program Files"), "/home/me/progs  ; note");
  EXPECT_EQ(Get("Editor", "MiddleC"), "C5");

  ASSERT_TRUE(platform::IniWriteString("MIDI Global", "A", nullptr, path));
  EXPECT_EQ(Get("MIDI Global", "A"), "?") << "a null value removes the key";
  ASSERT_TRUE(platform::IniWriteString("MIDI Global", nullptr, nullptr, path));
  EXPECT_EQ(Get("MIDI Global", "B"), "?") << "a null key removes the section";
  EXPECT_EQ(Get("Editor", "MiddleC"), "C5");
  EXPECT_EQ(ReadFile(path).rfind("; written by hand\r\n", 0), 0u);

  const std::string fresh = (root / "fresh.ini").string();
  ASSERT_TRUE(platform::IniWriteString("S", "K", "v", fresh)) << "a missing file is created";
  EXPECT_EQ(ReadFile(fresh), "[S]\nK=v\n");
}

TEST_F(PrivateProfileTest, AFailedWriteLeavesTheOldFile) {
  const std::string before = "[Keep]\nA=1\n";
  WriteFile(path, before);
  auto leftovers = [&] {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(root))
      files += entry.is_regular_file();
    return files;
  };

  EXPECT_FALSE(platform::IniWriteString("Keep", "A", "two\nlines", path));
  EXPECT_FALSE(platform::IniWriteString("Keep", "B=", "1", path));
  EXPECT_FALSE(platform::IniWriteSection("Keep", "A=1\0[Forged]\nB=2\0", path));
  EXPECT_EQ(ReadFile(path), before) << "a line break would forge lines of its own";

  // The file system refuses the new content part way through: the file keeps its old content and
  // no temporary file stays behind. (Root ignores permissions; a file-size limit binds it too.)
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 64;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written =
      platform::IniWriteString("Keep", "Long", std::string(200, 'v').c_str(), path);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_FALSE(written);
  EXPECT_EQ(ReadFile(path), before);
  EXPECT_EQ(leftovers(), 1);

  EXPECT_FALSE(platform::IniWriteString("S", "K", "v", (root / "no folder" / "x.ini").string()));
  const std::string folder = (root / "folder.ini").string();
  std::filesystem::create_directory(folder);
  EXPECT_FALSE(platform::IniWriteString("S", "K", "v", folder)) << "what cannot be read is kept";
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  const std::uintmax_t huge = 32u << 20;
  std::filesystem::resize_file(path, huge);
  EXPECT_FALSE(platform::IniWriteString("Keep", "A", "2", path));
  EXPECT_EQ(std::filesystem::file_size(path), huge) << "a file too large to be ours is left alone";
}

TEST_F(PrivateProfileTest, AFileBehindALinkStaysThere) {
  const std::string target = (root / "real.ini").string();
  WriteFile(target, "[S]\nK=old\n");
  std::filesystem::create_symlink(target, path);
  ASSERT_TRUE(platform::IniWriteString("S", "K", "new", path));
  EXPECT_TRUE(std::filesystem::is_symlink(path));
  EXPECT_EQ(ReadFile(target), "[S]\nK=new\n");
}

TEST_F(PrivateProfileTest, FoldersFollowTheDesktopConventions) {
  ::setenv("HOME", (root / "home").c_str(), 1);
  EXPECT_EQ(platform::LocalAppDataFolder(), configHome.string());
  ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
  EXPECT_EQ(platform::LocalAppDataFolder(), (root / "home" / ".config").string())
      << "a relative XDG_CONFIG_HOME is ignored";
  ::setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);

  EXPECT_EQ(platform::DocumentsFolder(), (root / "home").string()) << "no documents folder named";
  std::filesystem::create_directories(configHome);
  WriteFile((configHome / "user-dirs.dirs").string(),
            "# written by the desktop\n"
            "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
            "XDG_DOCUMENTS_DIR=\"$HOME/Old\"\n"
            "XDG_DOCUMENTS_DIR=\"$HOME/My \\\"Docs\\\"\"\n");
  EXPECT_EQ(platform::DocumentsFolder(), (root / "home" / "My \"Docs\"").string())
      << "$HOME expanded, escapes undone, the last assignment wins";
  WriteFile((configHome / "user-dirs.dirs").string(), "XDG_DOCUMENTS_DIR=\"Documents\"\n");
  EXPECT_EQ(platform::DocumentsFolder(), (root / "home").string()) << "a relative path names none";
  ::setenv("XDG_DOCUMENTS_DIR", "/srv/docs/", 1);
  EXPECT_EQ(platform::DocumentsFolder(), "/srv/docs") << "the environment wins";

  const std::string deep = (root / "a" / "b" / "c").string();
  EXPECT_FALSE(platform::FolderExists(deep));
  EXPECT_TRUE(platform::CreateFolder(deep)) << "missing parents are created";
  EXPECT_TRUE(platform::FolderExists(deep));
  EXPECT_FALSE(platform::FileExists(deep));
}

}  // namespace
