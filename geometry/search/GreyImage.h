#pragma once

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "geometry/search/PanoPixels.h"

namespace search {

// A panorama's grey values, smoothed by a 3 x 3 binomial so that they can be read between the
// pixels and a little beside the true place without the match falling apart, and with part of the
// sensor noise gone. A search reads a thin band along two curves: the values are worked out in
// blocks as they are first read. A picture that spans the full turn is stored with a margin on
// either side that repeats the other end, so that a patch may cross the seam.
class GreyImage {
 public:
  // Columns the margin repeats on either side of a full turn.
  static constexpr int kMargin = 256;

  // Reads `p` as long as the image is used.
  explicit GreyImage(const PanoPixels& p);

  // Makes the pixels x0..x1, y0..y1 (panorama coordinates, inclusive) readable; false where some
  // lie outside the picture. Threads may prepare and read at once: a block is filled by one of
  // them, and read by others once it is.
  bool Prepare(int x0, int y0, int x1, int y1) {
    if (!values_ || x0 < left_ || y0 < top_ || x1 >= left_ + width_ || y1 >= top_ + height_)
      return false;
    for (int by = (y0 - top_) / kBlockH; by <= (y1 - top_) / kBlockH; ++by) {
      for (int bx = (x0 - left_) / kBlockW; bx <= (x1 - left_) / kBlockW; ++bx) {
        std::atomic<std::uint8_t>& ready = ready_[static_cast<std::size_t>(by) * blocksX_ + bx];
        if (!ready.load(std::memory_order_acquire)) FillOnce(bx, by, ready);
      }
    }
    return true;
  }
  // The caller has prepared the pixels read.
  float At(int x, int y) const { return values_[Index(x - left_, y - top_)]; }
  float Bilinear(double x, double y) const {
    x -= left_;
    y -= top_;
    const int ix = static_cast<int>(x), iy = static_cast<int>(y);
    const float fx = static_cast<float>(x - ix), fy = static_cast<float>(y - iy);
    const float* a = &values_[Index(ix, iy)];
    const float* b = a + width_;
    const float top = a[0] + (a[1] - a[0]) * fx, bottom = b[0] + (b[1] - b[0]) * fx;
    return top + (bottom - top) * fy;
  }
  // Shifts a column by whole turns so that it lies within half a turn of `near`.
  double Near(double column, double near) const {
    return column - turn_ * std::round((column - near) / turn_);
  }
  // Pixels in a full turn.
  int Turn() const { return turn_; }

 private:
  static constexpr int kBlockW = 32, kBlockH = 16;

  std::size_t Index(int column, int row) const {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(width_) +
           static_cast<std::size_t>(column);
  }
  // The source's grey value for a stored column and row, beyond the picture's edge the edge's.
  int Source(int column, int row) const;
  void Fill(int bx, int by);
  void FillOnce(int bx, int by, std::atomic<std::uint8_t>& ready);

  const PanoPixels& p_;
  int turn_;
  bool wraps_ = false;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0, blocksX_ = 0, blocksY_ = 0;
  std::unique_ptr<float[]> values_;
  std::unique_ptr<std::atomic<std::uint8_t>[]> ready_;
  std::unique_ptr<std::mutex> filling_ = std::make_unique<std::mutex>();
};

}  // namespace search
