#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "editor/BitmapCache.h"
#include "editor/IBitmapControl.h"
#include "resources/EmbeddedResources.h"
#include "tests/editor/EditorFixture.h"
#include "tests/support/FakeHost.h"
#include "tools/EditorPreview.h"

namespace editor_test {
namespace {

std::vector<unsigned char> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct TableEntry {
  int id;
  const char* file;
  int width;
  int height;
  int frames;
};

// The editor's bitmaps: every strip's frames are stacked vertically.
const TableEntry kBitmaps[] = {
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

TEST(Bitmaps, EveryCommittedImageHasItsSizeAndIsCarriedUnderItsId) {
  EditorPlug plug;
  IGraphicsHeadless gui(&plug);
  for (const TableEntry& entry : kBitmaps) {
    SCOPED_TRACE(entry.file);
    const std::vector<unsigned char> bytes =
        ReadFile(std::string(RHYTHMORIA_PNG_DIR) + "/" + entry.file);
    const auto decoded = LICE_LoadPNGFromMemory(bytes.data(), bytes.size());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->getWidth(), entry.width);
    EXPECT_EQ(decoded->getHeight(), entry.height);
    EXPECT_EQ(entry.height % entry.frames, 0) << "frames of equal height";

    const BitmapStrip strip = gui.LoadBitmap(entry.id, entry.file, entry.frames);
    EXPECT_EQ(strip.W, entry.width);
    EXPECT_EQ(strip.FrameHeight() * entry.frames, entry.height);
    char name[16];
    std::snprintf(name, sizeof name, "#%d", entry.id);
    const EmbeddedResource carried = FindEmbeddedResource(name, "PNG");
    ASSERT_EQ(carried.size, bytes.size());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), carried.data));
  }
}

// A window layer whose only bitmap resource is the bytes it is given.
class ResourceLayer : public IGraphicsHeadless {
 public:
  ResourceLayer(IPlugBase* plug, std::vector<unsigned char> bytes)
      : IGraphicsHeadless(plug, 16, 16), mBytes(std::move(bytes)) {}
  std::unique_ptr<LICE_MemBitmap> LoadBitmapResource(int, const char*) override {
    ++decodes;
    return LICE_LoadPNGFromMemory(mBytes.data(), mBytes.size());
  }
  int decodes = 0;

 private:
  std::vector<unsigned char> mBytes;
};

TEST(Bitmaps, ADamagedResourceDrawsNothingAndIsDecodedOnce) {
  EditorPlug plug;
  std::vector<unsigned char> bytes = ReadFile(std::string(RHYTHMORIA_PNG_DIR) + "/switch.png");
  bytes.resize(bytes.size() / 2);
  ResourceLayer gui(&plug, bytes);
  // The size comes from the embedded switch.png; the pixels from the truncated copy.
  const BitmapStrip strip = gui.LoadBitmap(110, "switch.png", 2);
  BitmapStrip damaged = strip;
  damaged.mCached =
      BitmapCache::Instance().Acquire(9110, "damaged.png", [](int, const char*, int* w, int* h) {
        *w = 40;
        *h = 112;
        return true;
      });
  gui.AttachControl(std::make_unique<IBitmapControl>(&plug, 0, 0, -1, damaged));
  gui.RedrawAll();
  gui.RedrawAll();
  EXPECT_EQ(gui.decodes, 1);
  EXPECT_EQ(LICE_GetPixel(&gui.Screen(), 5, 5), 0u);
}

TEST(Bitmaps, InstancesShareOneDecodedCopyAndDrawTheBackdrop) {
  testing_support::FakeHost first;
  testing_support::FakeHost second;
  IGraphicsHeadless* a = OpenPreviewEditor(first, {});
  a->Tick();
  const int known = BitmapCache::Instance().NBitmaps();
  const int decoded = BitmapCache::Instance().NDecoded();
  IGraphicsHeadless* b = OpenPreviewEditor(second, {});
  b->Tick();
  EXPECT_EQ(BitmapCache::Instance().NBitmaps(), known);
  EXPECT_EQ(BitmapCache::Instance().NDecoded(), decoded);

  auto* backA = static_cast<IBitmapControl*>(a->GetControl(0));
  auto* backB = static_cast<IBitmapControl*>(b->GetControl(0));
  ASSERT_NE(backA->GetBitmap().mCached, nullptr);
  EXPECT_EQ(backA->GetBitmap().mCached, backB->GetBitmap().mCached);

  // The backdrop shows where no control lies, as back.png has it.
  const std::vector<unsigned char> bytes = ReadFile(std::string(RHYTHMORIA_PNG_DIR) + "/back.png");
  const auto back = LICE_LoadPNGFromMemory(bytes.data(), bytes.size());
  ASSERT_TRUE(back);
  for (const auto& [x, y] : {std::pair{2, 2}, std::pair{400, 250}, std::pair{790, 180}}) {
    EXPECT_EQ(LICE_GetPixel(&a->Screen(), x, y), LICE_GetPixel(back.get(), x, y));
    EXPECT_EQ(LICE_GetPixel(&b->Screen(), x, y), LICE_GetPixel(back.get(), x, y));
  }
}

}  // namespace
}  // namespace editor_test
