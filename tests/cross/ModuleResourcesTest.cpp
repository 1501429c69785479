// What the Windows binaries carry as module resources: the factory bank, byte for byte the
// committed file, and the editor's bitmaps at the sizes the layout expects; both in the plug-in
// DLL and in a program that links the resources.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/MidiFile.h"
#include "resources/EmbeddedResources.h"

namespace {

struct Bitmap {
  int id;
  std::uint32_t width;
  std::uint32_t height;
};

// The layout's table; frames are stacked, so the heights are whole strips.
constexpr Bitmap kBitmaps[] = {
    {101, 800, 409}, {102, 800, 364}, {103, 800, 364}, {104, 80, 80},   {105, 54, 80},
    {106, 36, 50},   {107, 48, 27},   {108, 48, 27},   {110, 40, 112},  {111, 56, 96},
    {112, 55, 96},   {113, 90, 5670}, {114, 90, 90},   {115, 32, 2080}, {116, 32, 32},
    {117, 13, 200},  {118, 20, 20},   {119, 20, 20},   {120, 54, 22},
};

std::vector<std::uint8_t> CommittedBank() {
  std::vector<std::uint8_t> bytes;
  std::string error;
  EXPECT_TRUE(vsthost::ReadFileBytes(RHYTHMORIA_FACTORY_BANK, &bytes, &error)) << error;
  return bytes;
}

std::uint32_t BigEndian(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         p[3];
}

// Checks a PNG's signature and the size in its header.
void ExpectPng(const void* data, std::size_t size, const Bitmap& bitmap) {
  ASSERT_NE(data, nullptr) << "bitmap " << bitmap.id;
  ASSERT_GE(size, 24u) << "bitmap " << bitmap.id;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), 8), "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 12), 4), "IHDR");
  EXPECT_EQ(BigEndian(bytes + 16), bitmap.width) << "bitmap " << bitmap.id;
  EXPECT_EQ(BigEndian(bytes + 20), bitmap.height) << "bitmap " << bitmap.id;
}

TEST(ModuleResourcesTest, ThisProgramFindsTheBankAndTheBitmaps) {
  const EmbeddedResource bank = FindEmbeddedResource("PROGINIT", "PROGDATA");
  ASSERT_NE(bank.data, nullptr);
  EXPECT_EQ(std::vector<std::uint8_t>(bank.data, bank.data + bank.size), CommittedBank());
  for (const Bitmap& bitmap : kBitmaps) {
    // "#101" names the integer id 101.
    std::string name = "#";
    name += std::to_string(bitmap.id);
    const EmbeddedResource png = FindEmbeddedResource(name.c_str(), "PNG");
    ExpectPng(png.data, png.size, bitmap);
  }
  EXPECT_EQ(FindEmbeddedResource("PROGINIT", "PNG").data, nullptr);
  EXPECT_EQ(FindEmbeddedResource("#109", "PNG").data, nullptr);
  EXPECT_EQ(FindEmbeddedResource(nullptr, "PROGDATA").data, nullptr);
  EXPECT_EQ(FindEmbeddedResource("PROGINIT", nullptr).data, nullptr);
}

TEST(ModuleResourcesTest, ThePlugInCarriesTheBankTheBitmapsAndItsVersion) {
  HMODULE dll = LoadLibraryExA(RHYTHMORIA_PLUGIN_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(dll, nullptr) << RHYTHMORIA_PLUGIN_PATH;
  auto bytes = [dll](const char* name, const char* type) {
    HRSRC found = FindResourceA(dll, name, type);
    if (!found) return std::vector<std::uint8_t>{};
    const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(dll, found)));
    return std::vector<std::uint8_t>(data, data + SizeofResource(dll, found));
  };
  EXPECT_EQ(bytes("PROGINIT", "PROGDATA"), CommittedBank());
  for (const Bitmap& bitmap : kBitmaps) {
    const std::vector<std::uint8_t> png = bytes(MAKEINTRESOURCEA(bitmap.id), "PNG");
    ExpectPng(png.empty() ? nullptr : png.data(), png.size(), bitmap);
  }
  EXPECT_FALSE(bytes(MAKEINTRESOURCEA(VS_VERSION_INFO), MAKEINTRESOURCEA(16)).empty());
  FreeLibrary(dll);
}

}  // namespace
