#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "drawing/LICE.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xffffffffu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
  }
  return crc ^ 0xffffffffu;
}

void PutChunk(Bytes& out, const char* type, const Bytes& body) {
  Put32(out, static_cast<std::uint32_t>(body.size()));
  Bytes typed(type, type + 4);
  typed.insert(typed.end(), body.begin(), body.end());
  out.insert(out.end(), typed.begin(), typed.end());
  Put32(out, Crc32(typed.data(), typed.size()));
}

// A zlib stream of one stored (uncompressed) deflate block, as the format allows.
Bytes Stored(const Bytes& raw) {
  Bytes out{0x78, 0x01, 0x01};
  const auto n = static_cast<std::uint16_t>(raw.size());
  out.push_back(n & 0xff);
  out.push_back(n >> 8);
  out.push_back(~n & 0xff);
  out.push_back((~n >> 8) & 0xff);
  out.insert(out.end(), raw.begin(), raw.end());
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  Put32(out, (b << 16) | a);
  return out;
}

// A PNG written byte by byte from the format's layout, so that our own writer cannot hide a
// reader fault. rows holds each scanline's bytes without the filter byte (filter 0 is added).
Bytes MakePng(std::uint32_t width, std::uint32_t height, int depth, int colorType,
              const std::vector<Bytes>& rows,
              const std::vector<std::pair<const char*, Bytes>>& extra = {}) {
  Bytes png{0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a};
  Bytes header;
  Put32(header, width);
  Put32(header, height);
  header.insert(header.end(),
                {static_cast<std::uint8_t>(depth), static_cast<std::uint8_t>(colorType), 0, 0, 0});
  PutChunk(png, "IHDR", header);
  for (const auto& [type, body] : extra) PutChunk(png, type, body);
  Bytes raw;
  for (const Bytes& row : rows) {
    raw.push_back(0);
    raw.insert(raw.end(), row.begin(), row.end());
  }
  PutChunk(png, "IDAT", Stored(raw));
  PutChunk(png, "IEND", {});
  return png;
}

std::unique_ptr<LICE_MemBitmap> Load(const Bytes& png) {
  return LICE_LoadPNGFromMemory(png.data(), png.size());
}

TEST(Png, DecodesEveryColourTypeToStraightArgb) {
  // RGBA 8-bit: translucent and fully transparent pixels keep their colour.
  auto rgba = Load(MakePng(2, 1, 8, 6, {{255, 0, 0, 128, 10, 20, 30, 0}}));
  ASSERT_TRUE(rgba);
  EXPECT_EQ(rgba->getWidth(), 2);
  EXPECT_EQ(rgba->getHeight(), 1);
  EXPECT_EQ(LICE_GetPixel(rgba.get(), 0, 0), 0x80ff0000u);
  EXPECT_EQ(LICE_GetPixel(rgba.get(), 1, 0) >> 24, 0u);

  // Grey + alpha 8-bit.
  auto greyAlpha = Load(MakePng(1, 2, 8, 4, {{0x40, 0xff}, {0xc0, 0x20}}));
  ASSERT_TRUE(greyAlpha);
  EXPECT_EQ(LICE_GetPixel(greyAlpha.get(), 0, 0), 0xff404040u);
  EXPECT_EQ(LICE_GetPixel(greyAlpha.get(), 0, 1), 0x20c0c0c0u);

  // 2-bit palette with transparency: index 1 is half transparent, index 2 has no tRNS entry.
  auto palette =
      Load(MakePng(3, 1, 2, 3, {{0b00011000}},
                   {{"PLTE", {1, 2, 3, 40, 50, 60, 200, 100, 0}}, {"tRNS", {255, 128}}}));
  ASSERT_TRUE(palette);
  EXPECT_EQ(LICE_GetPixel(palette.get(), 0, 0), 0xff010203u);
  EXPECT_EQ(LICE_GetPixel(palette.get(), 1, 0), 0x8028323cu);
  EXPECT_EQ(LICE_GetPixel(palette.get(), 2, 0), 0xffc86400u);

  // 16-bit RGB scales by 255/65535 (n x 257 becomes n), and no alpha means opaque.
  auto deep = Load(MakePng(
      1, 2, 16, 2, {{0x80, 0x80, 0x20, 0x20, 0xff, 0xff}, {0x20, 0xff, 0x00, 0x80, 0x00, 0x7f}}));
  ASSERT_TRUE(deep);
  EXPECT_EQ(LICE_GetPixel(deep.get(), 0, 0), 0xff8020ffu);
  EXPECT_EQ(LICE_GetPixel(deep.get(), 0, 1), 0xff210000u);

  // 1-bit grey.
  auto mono = Load(MakePng(2, 1, 1, 0, {{0b01000000}}));
  ASSERT_TRUE(mono);
  EXPECT_EQ(LICE_GetPixel(mono.get(), 0, 0), 0xff000000u);
  EXPECT_EQ(LICE_GetPixel(mono.get(), 1, 0), 0xffffffffu);
}

TEST(Png, DamagedTruncatedOrOversizedDataFailsCleanly) {
  const Bytes good =
      MakePng(2, 2, 8, 6, {{1, 2, 3, 4, 5, 6, 7, 8}, {9, 10, 11, 12, 13, 14, 15, 16}});
  ASSERT_TRUE(Load(good));
  for (std::size_t size = 0; size < good.size(); ++size) {
    EXPECT_FALSE(LICE_LoadPNGFromMemory(good.data(), size)) << "truncated to " << size;
  }
  Bytes flipped = good;
  flipped[good.size() - 20] ^= 0x55;  // inside IDAT: its CRC no longer matches
  EXPECT_FALSE(Load(flipped));
  Bytes signature = good;
  signature[1] = 'Q';
  EXPECT_FALSE(Load(signature));
  // Too few rows of pixel data for the header's height.
  EXPECT_FALSE(Load(MakePng(1, 4, 8, 0, {{1}, {2}})));
  // Sizes past the library's limit, and zero, are refused before any pixel memory is taken.
  EXPECT_FALSE(Load(MakePng(9000, 1, 1, 0, {Bytes(1125, 0)})));
  EXPECT_FALSE(Load(MakePng(0, 1, 8, 0, {{}})));
  EXPECT_FALSE(LICE_LoadPNGFromMemory(nullptr, 100));
}

TEST(Png, WrittenFilesReadBackExactly) {
  LICE_MemBitmap bitmap(3, 2);
  const LICE_pixel pixels[6] = {0xff000000, 0xffffffff, 0x80ff8040,
                                0x01020304, 0xfe7f7f7f, 0x40123456};
  for (int i = 0; i < 6; ++i) bitmap.getBits()[i] = pixels[i];
  const auto path = std::filesystem::temp_directory_path() / "rhythmoria-drawing-test.png";
  ASSERT_TRUE(LICE_WritePNG(path.string().c_str(), &bitmap));
  Bytes data(std::filesystem::file_size(path));
  std::FILE* file = std::fopen(path.string().c_str(), "rb");
  ASSERT_TRUE(file);
  ASSERT_EQ(std::fread(data.data(), 1, data.size(), file), data.size());
  std::fclose(file);
  std::filesystem::remove(path);
  auto back = Load(data);
  ASSERT_TRUE(back);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(back->getBits()[i], pixels[i]) << i;
  EXPECT_FALSE(
      LICE_WritePNG((path.parent_path() / "no-such-folder" / "x.png").string().c_str(), &bitmap));
}

}  // namespace
