#include "geometry/search/Aim.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace search {

namespace {

// Taps a side at most of a sample that averages P0: two pixels apart at the widest spacing.
constexpr int kMostTaps = 8;

}  // namespace

Aim::Aim(const PanoPixels& p0, Real hor, Real vert)
    : scale_(p0.shape),
      picture_(p0),
      column_(p0.shape.Wrapped(p0.shape.HorToPixel(hor))),
      row_(p0.shape.VertToPixel(vert)),
      ray_(RayOf(column_, row_, scale_)) {}

const std::array<V3, 9>& Aim::Rays(Patch& patch, const Footprint& footprint) const {
  const auto key = static_cast<std::size_t>(footprint.Index());
  std::int32_t& slot = patch.slot[key];
  if (slot == 0) {
    double ax, ay, bx, by;
    footprint.Axes(ax, ay, bx, by);
    std::array<V3, 9>& rays = patch.rays.emplace_back();
    for (int g = 0; g < 9; ++g) {
      const double i = (g % 3 - 1) * patch.half, j = (g / 3 - 1) * patch.half;
      rays[static_cast<std::size_t>(g)] = RayOf(column_ + patch.column + i * ax + j * bx,
                                                row_ + patch.row + i * ay + j * by, scale_);
    }
    slot = static_cast<std::int32_t>(patch.rays.size());
  }
  return patch.rays[static_cast<std::size_t>(slot - 1)];
}

const std::vector<double>* Aim::Reference(const Patch& patch, Layout& layout,
                                          const Footprint& footprint) {
  const auto key = static_cast<std::size_t>(footprint.Index());
  std::int32_t& slot = layout.slot[key];
  if (slot == 0) {
    slot = -1;
    double ax, ay, bx, by;
    footprint.Axes(ax, ay, bx, by);
    // Each sample averages P0 over its spacing, in a few steps a pixel or so apart.
    const int taps[2] = {std::min(1 << ((footprint.stretch[0] + 1) / 2), kMostTaps),
                         std::min(1 << ((footprint.stretch[1] + 1) / 2), kMostTaps)};
    const double reach = layout.half + 1;
    const int across = static_cast<int>(std::ceil(reach * (std::fabs(ax) + std::fabs(bx)))) + 2;
    const int down = static_cast<int>(std::ceil(reach * (std::fabs(ay) + std::fabs(by)))) + 2;
    const int column = column_ + patch.column, row = row_ + patch.row;
    if (!picture_.Prepare(column - across, row - down, column + across, row + down)) return nullptr;
    std::vector<double> values;
    values.reserve(layout.offsets.size() * layout.offsets.size());
    double sum = 0;
    for (int j : layout.offsets)
      for (int i : layout.offsets) {
        double v = 0;
        if (footprint.Unit()) {
          v = picture_.At(column + i, row + j);
        } else {
          for (int tb = 0; tb < taps[1]; ++tb)
            for (int ta = 0; ta < taps[0]; ++ta) {
              const double s = i + (ta + 0.5) / taps[0] - 0.5, t = j + (tb + 0.5) / taps[1] - 0.5;
              v += picture_.Bilinear(column + s * ax + t * bx, row + s * ay + t * by);
            }
          v /= taps[0] * taps[1];
        }
        values.push_back(v);
        sum += v;
      }
    const double mean = sum / static_cast<double>(values.size());
    double squares = 0;
    for (double& v : values) {
      v -= mean;
      squares += v * v;
    }
    const double norm = std::sqrt(squares);
    for (double& v : values) v = norm > 1e-9 ? v / norm : 0;
    layout.references.push_back(std::move(values));
    slot = static_cast<std::int32_t>(layout.references.size());
  }
  return slot > 0 ? &layout.references[static_cast<std::size_t>(slot - 1)] : nullptr;
}

std::optional<double> Aim::Spread(int half, int column, int row) {
  column += column_;
  row += row_;
  if (!picture_.Prepare(column - half, row - half, column + half, row + half)) return std::nullopt;
  double sum = 0, squares = 0;
  for (int oy = -half; oy <= half; ++oy)
    for (int ox = -half; ox <= half; ++ox) {
      const double v = picture_.At(column + ox, row + oy);
      sum += v;
      squares += v * v;
    }
  const double n = static_cast<double>((2 * half + 1) * (2 * half + 1));
  return std::sqrt(std::max(squares / n - (sum / n) * (sum / n), 0.0));
}

}  // namespace search
