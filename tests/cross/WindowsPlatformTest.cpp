// The Windows services behind platform/Platform.h: the system's private-profile functions with the
// promises our header adds (null names read as missing, no line breaks written), and the shell's
// folders.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Platform.h"

namespace {

namespace fs = std::filesystem;

class WindowsPlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("rhythmoria-platform-" + std::to_string(GetCurrentProcessId()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder);
    path = (folder / "settings.ini").string();
  }
  void TearDown() override { fs::remove_all(folder); }

  std::string Get(const char* section, const char* key, const char* fallback = "?",
                  std::size_t size = 260) {
    char buffer[260];
    std::memset(buffer, 'x', sizeof(buffer));
    const std::size_t n = platform::IniGetString(section, key, fallback, buffer, size, path);
    EXPECT_EQ(n, std::strlen(buffer));
    return buffer;
  }
  std::string Text() const {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path folder;
  std::string path;
};

TEST_F(WindowsPlatformTest, ReadsAsTheHeaderPromises) {
  std::ofstream(path, std::ios::binary) << "[Startup Bank]\r\nFile = \"C:\\banks\\a b.fxb\"  \r\n"
                                           "[MIDI Global]\r\nMIDI Thru=true\r\n";
  EXPECT_EQ(Get("startup bank", "FILE"), "C:\\banks\\a b.fxb");
  EXPECT_EQ(Get("MIDI Global", "MIDI Thru", "?", 3), "tr");
  EXPECT_EQ(Get("MIDI Global", "Missing", "fallback  "), "fallback");
  EXPECT_EQ(Get(nullptr, "File", "none  "), "none");
  EXPECT_EQ(Get("Startup Bank", nullptr, "none", 3), "no");
  char untouched[2] = {'x', 'x'};
  EXPECT_EQ(platform::IniGetString("Startup Bank", "File", "", untouched, 0, path), 0u);
  EXPECT_EQ(untouched[0], 'x');
}

TEST_F(WindowsPlatformTest, WritesKeysAndSectionsAndRefusesLineBreaks) {
  ASSERT_TRUE(platform::IniWriteString("Editor", "MiddleC", "C5", path));
  ASSERT_TRUE(platform::IniWriteString("MIDI Control", "CC7", "0", path));
  ASSERT_TRUE(platform::IniWriteString("MIDI Control", "CC8", "-150", path));
  EXPECT_EQ(Get("editor", "middlec"), "C5");
  ASSERT_TRUE(platform::IniWriteSection("MIDI Control", "CC1=5\0CC2=6\0", path));
  EXPECT_EQ(Get("MIDI Control", "CC7"), "?");
  EXPECT_EQ(Get("MIDI Control", "CC2"), "6");
  ASSERT_TRUE(platform::IniWriteString("MIDI Control", "CC1", nullptr, path));
  EXPECT_EQ(Get("MIDI Control", "CC1"), "?");
  ASSERT_TRUE(platform::IniWriteString("MIDI Control", nullptr, nullptr, path));
  EXPECT_EQ(Get("MIDI Control", "CC2"), "?");
  EXPECT_EQ(Get("Editor", "MiddleC"), "C5");

  const std::string before = Text();
  EXPECT_FALSE(platform::IniWriteString("Editor", "MiddleC", "C3\r\n[Forged]", path));
  EXPECT_FALSE(platform::IniWriteString("Edi\ntor", "MiddleC", "C3", path));
  EXPECT_FALSE(platform::IniWriteSection("Editor", "A=1\0B=2\n[Forged]\0", path));
  EXPECT_FALSE(platform::IniWriteString(nullptr, "MiddleC", "C3", path));
  EXPECT_EQ(Text(), before);
}

TEST_F(WindowsPlatformTest, FoldersAndFiles) {
  const std::string appData = platform::LocalAppDataFolder();
  EXPECT_TRUE(platform::FolderExists(appData)) << appData;
  EXPECT_TRUE(platform::FolderExists(platform::DocumentsFolder()));
  EXPECT_EQ(platform::JoinPath("C:\\Users", "a.ini"), "C:\\Users\\a.ini");
  EXPECT_EQ(platform::JoinPath("C:\\", "a.ini"), "C:\\a.ini");

  const std::string nested = platform::JoinPath(folder.string(), "One\\Two/Three");
  EXPECT_FALSE(platform::FolderExists(nested));
  EXPECT_TRUE(platform::CreateFolder(nested));
  EXPECT_TRUE(platform::FolderExists(nested));
  EXPECT_TRUE(platform::CreateFolder(nested)) << "an existing folder is fine";
  EXPECT_FALSE(platform::FileExists(nested));

  std::ofstream(path) << "";
  EXPECT_TRUE(platform::FileExists(path));
  EXPECT_FALSE(platform::FolderExists(path));
  EXPECT_FALSE(platform::CreateFolder(platform::JoinPath(path, "below a file")));
  EXPECT_FALSE(platform::FileExists(""));
  EXPECT_FALSE(platform::CreateFolder(""));
}

}  // namespace
