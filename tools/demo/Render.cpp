#include "tools/demo/Render.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

namespace demo {

namespace {

constexpr int kSuper = 4;  // samples per side in a pixel with an edge

std::uint8_t Byte(float v) {
  return static_cast<std::uint8_t>(std::clamp(v, 0.0f, 1.0f) * 255 + 0.5f);
}

void RenderInto(const View& view, int x0, int y0, int width, int height, std::uint8_t* out,
                std::size_t stride) {
  // Corners are shared by four pixels, so a flat area costs about two sight lines a pixel.
  const auto w = static_cast<std::size_t>(width);
  std::vector<Sample> corners((w + 1) * static_cast<std::size_t>(height + 1));
  std::vector<Sample> centres(w * static_cast<std::size_t>(height));
  for (int j = 0; j <= height; ++j)
    for (int i = 0; i <= width; ++i)
      corners[static_cast<std::size_t>(j) * (w + 1) + static_cast<std::size_t>(i)] =
          view.At(x0 + i - 0.5, y0 + j - 0.5);
  for (int j = 0; j < height; ++j)
    for (int i = 0; i < width; ++i)
      centres[static_cast<std::size_t>(j) * w + static_cast<std::size_t>(i)] =
          view.At(x0 + i, y0 + j);

  for (int j = 0; j < height; ++j) {
    std::uint8_t* row = out + static_cast<std::size_t>(j) * stride;
    for (int i = 0; i < width; ++i) {
      const std::size_t at = static_cast<std::size_t>(j) * (w + 1) + static_cast<std::size_t>(i);
      const Sample& c = centres[static_cast<std::size_t>(j) * w + static_cast<std::size_t>(i)];
      const Sample* around[4] = {&corners[at], &corners[at + 1], &corners[at + w + 1],
                                 &corners[at + w + 2]};
      float r = 0, g = 0, b = 0;
      if (std::all_of(around, around + 4, [&](const Sample* s) { return s->key == c.key; })) {
        r = c.r / 2, g = c.g / 2, b = c.b / 2;
        for (const Sample* s : around) r += s->r / 8, g += s->g / 8, b += s->b / 8;
      } else {
        for (int sy = 0; sy < kSuper; ++sy) {
          for (int sx = 0; sx < kSuper; ++sx) {
            const Sample s =
                view.At(x0 + i - 0.5 + (sx + 0.5) / kSuper, y0 + j - 0.5 + (sy + 0.5) / kSuper);
            r += s.r, g += s.g, b += s.b;
          }
        }
        r /= kSuper * kSuper, g /= kSuper * kSuper, b /= kSuper * kSuper;
      }
      std::uint8_t* px = row + static_cast<std::size_t>(i) * 3;
      px[0] = Byte(r), px[1] = Byte(g), px[2] = Byte(b);
    }
  }
}

}  // namespace

std::vector<std::uint8_t> RenderWindow(const View& view, int x0, int y0, int width, int height) {
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
  RenderInto(view, x0, y0, width, height, rgb.data(), static_cast<std::size_t>(width) * 3);
  return rgb;
}

std::vector<std::uint8_t> RenderPanorama(const Scene& scene, int station, const Panorama& panorama,
                                         int threads) {
  const View view(scene, station, panorama);
  const int width = panorama.Width(), height = panorama.Height();
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  std::vector<std::uint8_t> rgb(stride * static_cast<std::size_t>(height));
  // Bands of rows handed out one by one: the sky bands are cheap, the ground bands are not.
  constexpr int kBand = 16;
  std::atomic<int> next{0};
  auto work = [&] {
    for (int y; (y = next.fetch_add(kBand)) < height;)
      RenderInto(view, 0, y, width, std::min(kBand, height - y),
                 rgb.data() + static_cast<std::size_t>(y) * stride, stride);
  };
  std::vector<std::thread> pool;
  for (int i = 1; i < threads; ++i) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
  return rgb;
}

std::vector<std::uint8_t> BmpBytes(int width, int height, const std::vector<std::uint8_t>& rgb) {
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
  const std::size_t dataSize = stride * static_cast<std::size_t>(height);
  std::vector<std::uint8_t> out(54 + dataSize, 0);
  auto put = [&](std::size_t at, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out[at + static_cast<std::size_t>(i)] = (v >> (8 * i)) & 0xff;
  };
  out[0] = 'B', out[1] = 'M';
  put(2, static_cast<std::uint32_t>(out.size()), 4);
  put(10, 54, 4);  // pixel data offset
  put(14, 40, 4);  // info header size
  put(18, static_cast<std::uint32_t>(width), 4);
  put(22, static_cast<std::uint32_t>(height), 4);  // positive: bottom row first
  put(26, 1, 2);                                   // planes
  put(28, 24, 2);                                  // bits per pixel
  put(34, static_cast<std::uint32_t>(dataSize), 4);
  put(38, 2835, 4);  // 72 dpi, as most programs write it
  put(42, 2835, 4);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* src = rgb.data() + static_cast<std::size_t>(y) * width * 3;
    std::uint8_t* dst = out.data() + 54 + static_cast<std::size_t>(height - 1 - y) * stride;
    for (int x = 0; x < width; ++x, src += 3, dst += 3)
      dst[0] = src[2], dst[1] = src[1], dst[2] = src[0];
  }
  return out;
}

}  // namespace demo
