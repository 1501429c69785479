#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace synth_test {

// Gives every test a fresh settings folder of its own: XDG_CONFIG_HOME points into a new temporary
// folder (not yet created, as on a first start) and XDG_DOCUMENTS_DIR is unset, so no test reads
// or writes the machine's own settings. The environment is restored afterwards.
class ConfigHomeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "rhythmoria-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root = pattern;
    configHome = root / "config";
    for (const char* name : kVariables) {
      const char* value = std::getenv(name);
      saved.emplace_back(value ? std::optional<std::string>(value) : std::nullopt);
    }
    ::setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
    ::unsetenv("XDG_DOCUMENTS_DIR");
  }

  void TearDown() override {
    for (std::size_t i = 0; i < saved.size(); ++i) {
      if (saved[i]) {
        ::setenv(kVariables[i], saved[i]->c_str(), 1);
      } else {
        ::unsetenv(kVariables[i]);
      }
    }
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }

  std::string IniPath() const { return (configHome / "MorvaneMusic" / "rhythmoria.ini").string(); }

  // Writes the settings file, creating its folder, as a user or another instance would.
  void WriteIni(const std::string& text) const {
    std::filesystem::create_directories(configHome / "MorvaneMusic");
    WriteFile(IniPath(), text);
  }

  static void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
  }

  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  static constexpr const char* kVariables[] = {"XDG_CONFIG_HOME", "XDG_DOCUMENTS_DIR", "HOME"};
  std::filesystem::path root;
  std::filesystem::path configHome;
  std::vector<std::optional<std::string>> saved;
};

}  // namespace synth_test
