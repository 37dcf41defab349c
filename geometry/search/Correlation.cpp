#include "geometry/search/Correlation.h"

#include <algorithm>
#include <cmath>

namespace search {

namespace {

// The quadratic between the control points strays beyond them by up to this share of their
// extent.
constexpr double kStray = 0.2;
// The most taps a side a sample may average (the settings allow no more).
constexpr int kMostTaps = 8;

}  // namespace

double Correlation(GreyImage& image, const Grid& grid, const Layout& layout,
                   const std::vector<double>& reference, Pixel shift, const SearchSettings& set,
                   std::vector<double>* values) {
  double left = grid.p[0].column, right = left, top = grid.p[0].row, bottom = top;
  for (const Pixel& p : grid.p) {
    left = std::min(left, p.column);
    right = std::max(right, p.column);
    top = std::min(top, p.row);
    bottom = std::max(bottom, p.row);
  }
  // Where the survey view sees the place larger than P0 does, one P0 sample covers several of its
  // pixels: each sample then averages the survey picture over that stretch, as P0's pixel
  // averaged the surface it saw; read at single points, the survey picture's finer detail would
  // count as misfit.
  const double span = 2.0 * grid.half;
  const Pixel alongA{(grid.p[5].column - grid.p[3].column) / span,
                     (grid.p[5].row - grid.p[3].row) / span};
  const Pixel alongB{(grid.p[7].column - grid.p[1].column) / span,
                     (grid.p[7].row - grid.p[1].row) / span};
  const auto taps = [&set](const Pixel& along) {
    const double stretch = std::hypot(along.column, along.row);
    return std::clamp(static_cast<int>(std::lround(stretch / set.tapSpacing)), 1,
                      std::min(set.maxTaps, kMostTaps));
  };
  const int tapsA = taps(alongA), tapsB = taps(alongB);
  const double reach =
      kStray * std::max(right - left, bottom - top) + 1 +
      0.5 * (std::hypot(alongA.column, alongA.row) + std::hypot(alongB.column, alongB.row));
  const double base = std::floor(grid.p[4].column / image.Turn()) * image.Turn() - shift.column;
  if (!image.Prepare(static_cast<int>(std::floor(left - base - reach)),
                     static_cast<int>(std::floor(top + shift.row - reach)),
                     static_cast<int>(std::ceil(right - base + reach)) + 1,
                     static_cast<int>(std::ceil(bottom + shift.row + reach)) + 1))
    return std::nan("");
  // Where each tap lies from its sample, worked out once.
  Pixel tapped[kMostTaps * kMostTaps];
  const int tapCount = tapsA * tapsB;
  for (int tb = 0, k = 0; tb < tapsB; ++tb)
    for (int ta = 0; ta < tapsA; ++ta, ++k) {
      const double s = (ta + 0.5) / tapsA - 0.5, t = (tb + 0.5) / tapsB - 0.5;
      tapped[k] = {s * alongA.column + t * alongB.column, s * alongA.row + t * alongB.row};
    }
  double sum = 0, squares = 0, cross = 0;
  std::size_t i = 0;
  for (const auto& wy : layout.weights) {
    // The row's own three control points, then the quadratic along it.
    Pixel row[3];
    for (int a = 0; a < 3; ++a) {
      row[a].column = wy[0] * grid.p[a].column + wy[1] * grid.p[3 + a].column +
                      wy[2] * grid.p[6 + a].column - base;
      row[a].row =
          wy[0] * grid.p[a].row + wy[1] * grid.p[3 + a].row + wy[2] * grid.p[6 + a].row + shift.row;
    }
    for (const auto& wx : layout.weights) {
      const double x = wx[0] * row[0].column + wx[1] * row[1].column + wx[2] * row[2].column;
      const double y = wx[0] * row[0].row + wx[1] * row[1].row + wx[2] * row[2].row;
      double v = 0;
      if (tapCount == 1) {
        v = image.Bilinear(x, y);
      } else {
        for (int k = 0; k < tapCount; ++k)
          v += image.Bilinear(x + tapped[k].column, y + tapped[k].row);
        v /= tapCount;
      }
      if (values) values->push_back(v);
      sum += v;
      squares += v * v;
      cross += reference[i++] * v;
    }
  }
  const double spread = squares - sum * sum / static_cast<double>(reference.size());
  return spread > 1e-6 ? cross / std::sqrt(spread) : 0;
}

double Fisher(double r) {
  return std::atanh(std::clamp(r, -0.999, 0.999));
}

double Sure(double r, double independent) {
  // Fisher's z of a correlation over n values has the standard deviation 1 / sqrt(n - 3).
  return Fisher(r) - kSureSigmas / std::sqrt(std::max(independent - 3, 1.0));
}

double Independent(const std::vector<double>& a, const std::vector<double>& b, std::size_t n) {
  constexpr int kLags = 4;
  auto autocorrelation = [n](const std::vector<double>& v, int dx, int dy) {
    double mean = 0;
    for (double x : v) mean += x;
    mean /= static_cast<double>(v.size());
    double all = 0, shifted = 0;
    const int side = static_cast<int>(n);
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x) {
        const double here = v[static_cast<std::size_t>(y * side + x)] - mean;
        all += here * here;
        const int x2 = x + dx, y2 = y + dy;
        if (x2 < 0 || x2 >= side || y2 >= side) continue;
        shifted += here * (v[static_cast<std::size_t>(y2 * side + x2)] - mean);
      }
    return all > 1e-12 ? shifted / all : 1.0;
  };
  double sum = 1;
  for (int dy = 0; dy <= kLags; ++dy)
    for (int dx = -kLags; dx <= kLags; ++dx) {
      if (dy == 0 && dx <= 0) continue;
      sum += 2 * autocorrelation(a, dx, dy) * autocorrelation(b, dx, dy);
    }
  return static_cast<double>(n * n) / std::max(sum, 1.0);
}

std::optional<double> ParabolaPeak(double a, double b, double d, double reach) {
  const double curve = a - 2 * b + d;
  if (std::isnan(a) || std::isnan(b) || std::isnan(d) || !(curve < 0)) return std::nullopt;
  return std::clamp(0.5 * (a - d) / curve, -reach, reach);
}

}  // namespace search
