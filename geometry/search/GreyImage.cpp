#include "geometry/search/GreyImage.h"

#include <algorithm>

namespace search {

GreyImage::GreyImage(const PanoPixels& p) : p_(p), turn_(p.shape.Width()) {
  if (p.bits == nullptr || p.width <= 0 || p.height <= 0) return;
  wraps_ = p.originX == 0 && p.width >= turn_;
  left_ = wraps_ ? -kMargin : p.originX;
  width_ = wraps_ ? turn_ + 2 * kMargin : p.width;
  top_ = p.originY;
  height_ = p.height;
  blocksX_ = (width_ + kBlockW - 1) / kBlockW;
  blocksY_ = (height_ + kBlockH - 1) / kBlockH;
  // Left unset: only the blocks a search reads are ever filled, and so only their pages used.
  values_.reset(new float[static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_)]);
  const std::size_t blocks =
      static_cast<std::size_t>(blocksX_) * static_cast<std::size_t>(blocksY_);
  ready_.reset(new std::atomic<std::uint8_t>[blocks]);
  for (std::size_t k = 0; k < blocks; ++k) ready_[k].store(0, std::memory_order_relaxed);
}

int GreyImage::Source(int column, int row) const {
  int x = column + left_ - p_.originX;
  if (wraps_) {
    x = ((x % turn_) + turn_) % turn_;
  } else {
    x = std::clamp(x, 0, p_.width - 1);
  }
  const int y = std::clamp(row, 0, p_.height - 1);
  return GreyOf(p_.bits[y * p_.stride + x]);
}

void GreyImage::FillOnce(int bx, int by, std::atomic<std::uint8_t>& ready) {
  const std::lock_guard<std::mutex> lock(*filling_);
  if (ready.load(std::memory_order_relaxed)) return;
  Fill(bx, by);
  ready.store(1, std::memory_order_release);
}

void GreyImage::Fill(int bx, int by) {
  const int c0 = bx * kBlockW, c1 = std::min(c0 + kBlockW, width_);
  const int r0 = by * kBlockH, r1 = std::min(r0 + kBlockH, height_);
  const int w = c1 - c0 + 2, h = r1 - r0 + 2;
  int grey[(kBlockW + 2) * (kBlockH + 2)];
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) grey[j * w + i] = Source(c0 + i - 1, r0 + j - 1);
  int across[kBlockW * (kBlockH + 2)];
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w - 2; ++i)
      across[j * (w - 2) + i] = grey[j * w + i] + 2 * grey[j * w + i + 1] + grey[j * w + i + 2];
  for (int j = 0; j < h - 2; ++j)
    for (int i = 0; i < w - 2; ++i)
      values_[Index(c0 + i, r0 + j)] =
          static_cast<float>(across[j * (w - 2) + i] + 2 * across[(j + 1) * (w - 2) + i] +
                             across[(j + 2) * (w - 2) + i]) /
          16.0f;
}

}  // namespace search
