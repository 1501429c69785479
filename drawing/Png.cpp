#include <png.h>

#include <bit>
#include <cstring>

#include "drawing/LICE.h"

namespace {

// Large enough for any artwork, small enough that a hostile header cannot make us allocate more
// than 256 MB before the first pixel is read.
constexpr png_uint_32 kMaxDimension = 8192;

// libpng's BGRA byte order is 0xAARRGGBB when read as a little-endian 32-bit word.
static_assert(std::endian::native == std::endian::little,
              "pixel format assumes a little-endian machine");

// libpng stops reading once the last row is decoded, so a file cut short after its image data
// would still load. Walking the chunk list to IEND refuses every truncation alike.
bool ReachesEnd(const unsigned char* data, std::size_t size) {
  std::size_t at = 8;
  while (size - at >= 12) {
    const std::size_t length = (std::size_t{data[at]} << 24) | (std::size_t{data[at + 1]} << 16) |
                               (std::size_t{data[at + 2]} << 8) | data[at + 3];
    if (std::memcmp(data + at + 4, "IEND", 4) == 0) return true;
    if (length > size - at - 12) return false;
    at += 12 + length;
  }
  return false;
}

}  // namespace

std::unique_ptr<LICE_MemBitmap> LICE_LoadPNGFromMemory(const void* data, std::size_t size) {
  if (!data || size < 8 || !ReachesEnd(static_cast<const unsigned char*>(data), size)) {
    return nullptr;
  }
  png_image image;
  std::memset(&image, 0, sizeof(image));
  image.version = PNG_IMAGE_VERSION;
  // The simplified reader keeps its own setjmp: every error returns 0 with the state released.
  if (!png_image_begin_read_from_memory(&image, data, size)) return nullptr;
  if (image.width == 0 || image.height == 0 || image.width > kMaxDimension ||
      image.height > kMaxDimension) {
    png_image_free(&image);
    return nullptr;
  }
  // 16-bit files without colour-space chunks hold the same encoding as 8-bit ones; without this
  // flag libpng would take them as linear light and brighten them on the way down to 8 bits.
  image.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
  image.format = PNG_FORMAT_BGRA;
  auto bitmap = std::make_unique<LICE_MemBitmap>(static_cast<int>(image.width),
                                                 static_cast<int>(image.height));
  const auto stride = static_cast<png_int_32>(bitmap->getRowSpan() * sizeof(LICE_pixel));
  if (!png_image_finish_read(&image, nullptr, bitmap->getBits(), stride, nullptr)) {
    png_image_free(&image);
    return nullptr;
  }
  return bitmap;
}

bool LICE_WritePNG(const char* path, const LICE_IBitmap* bitmap) {
  if (!path || !bitmap || bitmap->getWidth() <= 0 || bitmap->getHeight() <= 0) return false;
  png_image image;
  std::memset(&image, 0, sizeof(image));
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(bitmap->getWidth());
  image.height = static_cast<png_uint_32>(bitmap->getHeight());
  image.format = PNG_FORMAT_BGRA;
  const auto stride = static_cast<png_int_32>(bitmap->getRowSpan() * sizeof(LICE_pixel));
  const int ok = png_image_write_to_file(&image, path, 0, bitmap->getBits(), stride, nullptr);
  png_image_free(&image);
  return ok != 0;
}
