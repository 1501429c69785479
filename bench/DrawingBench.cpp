// The drawing library under an editor's load: a full redraw of the 800 x 409 window (backdrop,
// sixty translucent 32 x 32 sprites, twenty labels) and its parts, and decoding the backdrop PNG.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "drawing/LICE.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 409;

struct Scene {
  Scene() : window(kWidth, kHeight), backdrop(kWidth, kHeight), sprite(32, 32) {
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        backdrop.getBits()[y * kWidth + x] = LICE_RGBA(x & 255, y & 255, (x ^ y) & 255, 255);
      }
    }
    // A round knob-like sprite: opaque centre, antialiased rim, transparent corners.
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 32; ++x) {
        const int dx = 2 * x - 31, dy = 2 * y - 31;
        const int d2 = dx * dx + dy * dy;
        const int alpha = d2 < 26 * 26   ? 255
                          : d2 < 32 * 32 ? 255 * (32 * 32 - d2) / (32 * 32 - 26 * 26)
                                         : 0;
        sprite.getBits()[y * 32 + x] = LICE_RGBA(200, 160 + x, 40 + y, alpha);
      }
    }
    font = LICE_CachedFont::Create(LICE_FontSpec{"Verdana", 12, false, false, 0, 0});
  }

  void Backdrop() {
    LICE_Blit(&window, &backdrop, 0, 0, 0, 0, kWidth, kHeight, 1.0f, LICE_BLIT_MODE_COPY);
  }
  void Sprites() {
    for (int i = 0; i < 60; ++i) {
      LICE_Blit(&window, &sprite, 10 + (i % 15) * 52, 20 + (i / 15) * 95, 0, 0, 32, 32, 1.0f,
                LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA);
    }
  }
  void Labels() {
    static const char* const kLabels[] = {"Tempo", "Power", "Level", "Pan", "Accent", "Swing"};
    for (int i = 0; i < 20; ++i) {
      const int x = 20 + (i % 5) * 150, y = 60 + (i / 5) * 90;
      font->DrawText(&window, kLabels[i % 6], x, y, x + 100, y + 16, 0xff202020,
                     LICE_DT_CENTER | LICE_DT_VCENTER);
    }
  }

  LICE_MemBitmap window, backdrop, sprite;
  std::unique_ptr<LICE_CachedFont> font;
};

void BM_FullRedraw(benchmark::State& state) {
  Scene scene;
  for (auto _ : state) {
    scene.Backdrop();
    scene.Sprites();
    scene.Labels();
    benchmark::DoNotOptimize(scene.window.getBits()[0]);
  }
}
BENCHMARK(BM_FullRedraw)->Unit(benchmark::kMicrosecond);

void BM_BackdropCopy(benchmark::State& state) {
  Scene scene;
  for (auto _ : state) {
    scene.Backdrop();
    benchmark::DoNotOptimize(scene.window.getBits()[0]);
  }
}
BENCHMARK(BM_BackdropCopy)->Unit(benchmark::kMicrosecond);

void BM_SixtyAlphaSprites(benchmark::State& state) {
  Scene scene;
  scene.Backdrop();
  for (auto _ : state) {
    scene.Sprites();
    benchmark::DoNotOptimize(scene.window.getBits()[0]);
  }
}
BENCHMARK(BM_SixtyAlphaSprites)->Unit(benchmark::kMicrosecond);

void BM_TwentyLabels(benchmark::State& state) {
  Scene scene;
  scene.Backdrop();
  for (auto _ : state) {
    scene.Labels();
    benchmark::DoNotOptimize(scene.window.getBits()[0]);
  }
}
BENCHMARK(BM_TwentyLabels)->Unit(benchmark::kMicrosecond);

// Decoding the main backdrop, as the first editor in a process does.
void BM_DecodeBackdropPng(benchmark::State& state) {
  std::vector<unsigned char> data;
  if (std::FILE* file = std::fopen(RHYTHMORIA_BACKDROP_PNG, "rb")) {
    unsigned char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof(buffer), file)) > 0;) {
      data.insert(data.end(), buffer, buffer + n);
    }
    std::fclose(file);
  }
  if (!LICE_LoadPNGFromMemory(data.data(), data.size())) {
    state.SkipWithError("cannot decode " RHYTHMORIA_BACKDROP_PNG);
    return;
  }
  for (auto _ : state) {
    auto bitmap = LICE_LoadPNGFromMemory(data.data(), data.size());
    benchmark::DoNotOptimize(bitmap.get());
  }
}
BENCHMARK(BM_DecodeBackdropPng)->Unit(benchmark::kMicrosecond);

}  // namespace
