// The committed editor bitmaps against what the layout draws from them: each decodes, has the size
// and frame count the controls cut it by, and does what its control relies on (opaque backdrops,
// distinct frames); and every binary carries every one under its id (linked in here, listed in the
// Windows resource script there).
#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "resources/EmbeddedResources.h"

namespace {

struct BitmapSpec {
  int id;
  const char* name;
  int width;
  int height;
  int frames;
};

constexpr BitmapSpec kBitmaps[] = {
    {101, "back.png", 800, 409, 1},       {102, "settings.png", 800, 364, 1},
    {103, "sequence.png", 800, 364, 1},   {104, "button.png", 80, 80, 2},
    {105, "button_small.png", 54, 80, 2}, {106, "button_mini.png", 36, 50, 2},
    {107, "handle_b.png", 48, 27, 1},     {108, "handle_y.png", 48, 27, 1},
    {110, "switch.png", 40, 112, 2},      {111, "rhythm.png", 56, 96, 2},
    {112, "start.png", 55, 96, 2},        {113, "tempo.png", 90, 5670, 63},
    {114, "tempo_cap.png", 90, 90, 1},    {115, "trimpot.png", 32, 2080, 65},
    {116, "trimpot_base.png", 32, 32, 1}, {117, "digits.png", 13, 200, 10},
    {118, "lamp_green.png", 20, 20, 1},   {119, "lamp_red.png", 20, 20, 1},
    {120, "userlabel.png", 54, 22, 1},
};

struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;  // straight alpha, rows top to bottom

  const std::uint8_t* Pixel(int x, int y) const { return &rgba[(size_t(y) * width + x) * 4]; }
};

std::string PathOf(const char* name) {
  return std::string(RHYTHMORIA_PNG_DIR) + "/" + name;
}

// Decodes the whole file, so a truncated or damaged one fails here rather than in the editor.
bool Decode(const std::string& path, Image& out) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGBA;
  out.width = int(image.width);
  out.height = int(image.height);
  out.rgba.assign(PNG_IMAGE_SIZE(image), 0);
  if (!png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr)) {
    png_image_free(&image);
    return false;
  }
  return true;
}

const Image& Load(const BitmapSpec& bitmap) {
  static std::map<std::string, Image> cache;
  auto [it, inserted] = cache.try_emplace(bitmap.name);
  if (inserted) {
    EXPECT_TRUE(Decode(PathOf(bitmap.name), it->second)) << bitmap.name;
  }
  return it->second;
}

const BitmapSpec& BitmapNamed(const std::string& name) {
  for (const auto& bitmap : kBitmaps)
    if (name == bitmap.name) return bitmap;
  std::abort();
}

// Mean absolute difference per channel (0..255) between frames a and b, alpha included.
double FrameDifference(const BitmapSpec& bitmap, int a, int b) {
  const Image& image = Load(bitmap);
  const int frameHeight = bitmap.height / bitmap.frames;
  double sum = 0;
  for (int y = 0; y < frameHeight; ++y)
    for (int x = 0; x < bitmap.width; ++x)
      for (int c = 0; c < 4; ++c)
        sum += std::abs(int(image.Pixel(x, a * frameHeight + y)[c]) -
                        int(image.Pixel(x, b * frameHeight + y)[c]));
  return sum / (double(frameHeight) * bitmap.width * 4);
}

TEST(Artwork, EveryBitmapDecodesWithTheSizeAndFramesTheLayoutCutsItBy) {
  for (const auto& bitmap : kBitmaps) {
    SCOPED_TRACE(bitmap.name);
    const Image& image = Load(bitmap);
    EXPECT_EQ(image.width, bitmap.width);
    EXPECT_EQ(image.height, bitmap.height);
    EXPECT_EQ(bitmap.height % bitmap.frames, 0);
  }
}

TEST(Artwork, BackdropsAndUserLabelsAreOpaque) {
  // The page backdrops are blended over back.png and the "USER" labels over the factory names
  // printed on it: any see-through pixel would let the layer below show.
  for (const char* name : {"back.png", "settings.png", "sequence.png", "userlabel.png"}) {
    SCOPED_TRACE(name);
    const Image& image = Load(BitmapNamed(name));
    int transparent = 0;
    for (int y = 0; y < image.height; ++y)
      for (int x = 0; x < image.width; ++x) transparent += image.Pixel(x, y)[3] != 255;
    EXPECT_EQ(transparent, 0);
  }
}

TEST(Artwork, OffAndOnFramesOfTwoFrameControlsLookDifferent) {
  for (const char* name : {"button.png", "button_small.png", "button_mini.png", "switch.png",
                           "rhythm.png", "start.png"}) {
    SCOPED_TRACE(name);
    EXPECT_GT(FrameDifference(BitmapNamed(name), 0, 1), 8.0);
  }
}

TEST(Artwork, KnobStripsTurnAtEveryStepAndDigitsAreAllDistinct) {
  for (const char* name : {"tempo.png", "trimpot.png", "digits.png"}) {
    const BitmapSpec& bitmap = BitmapNamed(name);
    SCOPED_TRACE(name);
    for (int frame = 1; frame < bitmap.frames; ++frame)
      EXPECT_GT(FrameDifference(bitmap, frame - 1, frame), 0.05) << "frame " << frame + 1;
    EXPECT_GT(FrameDifference(bitmap, 0, bitmap.frames - 1), 1.0);
  }
}

TEST(Artwork, EveryBitmapIsEmbeddedByteForByteUnderItsId) {
  for (const auto& bitmap : kBitmaps) {
    SCOPED_TRACE(bitmap.name);
    std::ifstream file(PathOf(bitmap.name), std::ios::binary);
    const std::vector<unsigned char> committed((std::istreambuf_iterator<char>(file)),
                                               std::istreambuf_iterator<char>());
    const std::string name = "#" + std::to_string(bitmap.id);
    const EmbeddedResource embedded = FindEmbeddedResource(name.c_str(), "PNG");
    ASSERT_NE(embedded.data, nullptr);
    EXPECT_EQ(std::vector<unsigned char>(embedded.data, embedded.data + embedded.size), committed);
  }
  EXPECT_EQ(FindEmbeddedResource("#109", "PNG").data, nullptr);
  EXPECT_EQ(FindEmbeddedResource("#101", "PROGDATA").data, nullptr);
  EXPECT_EQ(FindEmbeddedResource("101", "PNG").data, nullptr);
}

TEST(Artwork, WindowsResourceScriptCarriesEveryBitmapUnderItsId) {
  std::ifstream file(RHYTHMORIA_RESOURCE_SCRIPT);
  ASSERT_TRUE(file) << RHYTHMORIA_RESOURCE_SCRIPT;
  std::stringstream text;
  text << file.rdbuf();
  const std::string script = text.str();
  const std::regex line(R"re((\d+)\s+PNG\s+"([^"]+)")re");
  std::map<int, std::string> listed;
  for (std::sregex_iterator it(script.begin(), script.end(), line), end; it != end; ++it)
    listed[std::stoi((*it)[1])] = (*it)[2];
  std::map<int, std::string> expected;
  for (const auto& bitmap : kBitmaps) expected[bitmap.id] = bitmap.name;
  EXPECT_EQ(listed, expected);
}

}  // namespace
