#include "paint/MarkIndex.h"

#include <algorithm>
#include <cmath>

#include "geometry/Mapping.h"

namespace {

// As the angle is stored: narrowed to a double, shifted and narrowed again; only the product is
// taken in extended precision.
double Shifted(double hor) {
  return hor >= 180 ? hor - 180 : hor + 180;
}

}  // namespace

bool StoredMarkPixel(const Panorama& pano, double hor, double vert, QPoint& pixel, QPointF* at) {
  return Shifted(hor) >= 0 && ViewPixel(pano, hor, vert, pixel, at);
}

bool ViewPixel(const Panorama& pano, double hor, double vert, QPoint& pixel, QPointF* at) {
  const double t = Shifted(hor);
  const Real x = static_cast<Real>(t) * pano.PixPerDeg();
  const Real y = static_cast<Real>(90 - vert) * pano.PixPerDeg() - pano.Top();
  // Far enough inside the 32-bit range that arms added to it cannot overflow.
  constexpr Real kLimit = 1e9L;
  if (!(std::fabs(x) < kLimit && std::fabs(y) < kLimit)) return false;
  pixel = QPoint(RoundToInt(x), RoundToInt(y));
  if (at != nullptr) *at = QPointF(static_cast<double>(x), static_cast<double>(y));
  return true;
}

void MarkIndex::Rebuild(const PointList& points, const Panorama& pano) {
  // Marks more than a tile outside the panorama never show in a view or magnifier.
  bounds_ = QRect(-kTile, -kTile, pano.Width() + 2 * kTile, pano.Height() + 2 * kTile);
  columns_ = (bounds_.width() + kTile - 1) / kTile;
  rows_ = (bounds_.height() + kTile - 1) / kTile;
  tiles_.assign(static_cast<std::size_t>(columns_ * rows_), {});
  for (std::size_t i = 0; i < points.size(); ++i) {
    const PointRec& r = points[i];
    const double hor = r.HorIn(station_);
    const double vert = r.VertIn(station_);
    QPoint pixel;
    QPointF at;
    if (!StoredMarkPixel(pano, hor, vert, pixel, &at) || !bounds_.contains(pixel)) continue;
    const int column = (pixel.x() - bounds_.x()) / kTile;
    const int row = (pixel.y() - bounds_.y()) / kTile;
    tiles_[static_cast<std::size_t>(row * columns_ + column)].push_back(
        {static_cast<int>(i), pixel, at});
  }
  revision_ = points.Revision();
  pano_ = pano;
}

const std::vector<MarkIndex::Mark>& MarkIndex::Near(const PointList& points, const Panorama& pano,
                                                    const QRect& area, int reach) {
  if (revision_ != points.Revision() || !(pano_ == pano)) Rebuild(points, pano);
  found_.clear();
  const QRect wanted = area.adjusted(-reach, -reach, reach, reach) & bounds_;
  if (wanted.isEmpty()) return found_;
  const int c0 = (wanted.left() - bounds_.x()) / kTile, c1 = (wanted.right() - bounds_.x()) / kTile;
  const int r0 = (wanted.top() - bounds_.y()) / kTile, r1 = (wanted.bottom() - bounds_.y()) / kTile;
  for (int row = r0; row <= r1; ++row) {
    for (int column = c0; column <= c1; ++column) {
      for (const Mark& m : tiles_[static_cast<std::size_t>(row * columns_ + column)]) {
        if (wanted.contains(m.pixel)) found_.push_back(m);
      }
    }
  }
  std::sort(found_.begin(), found_.end(),
            [](const Mark& a, const Mark& b) { return a.index < b.index; });
  return found_;
}
