#pragma once

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <cstdint>
#include <vector>

#include "core/WorkingState.h"

// Where the stored points' marks stand in one station's view, sorted into tiles, so that a paint
// of a small area (a mouse move repaints often, and only parts) looks at the few points near it
// rather than at every point. It follows the point list by its revision.
class MarkIndex {
 public:
  struct Mark {
    int index;  // position in the point list: marks are drawn in list order
    QPoint pixel;
    QPointF at;  // unrounded, where a magnified view draws it
  };

  explicit MarkIndex(int station) : station_(station) {}

  // The marks whose point lies within `reach` pixels of `area` in the view of `pano`, in list
  // order.
  const std::vector<Mark>& Near(const PointList& points, const Panorama& pano, const QRect& area,
                                int reach);

 private:
  void Rebuild(const PointList& points, const Panorama& pano);

  static constexpr int kTile = 128;
  const int station_;
  std::uint64_t revision_ = ~std::uint64_t{0};
  Panorama pano_;  // the panorama the marks were placed in
  QRect bounds_;   // the tiles' area, in pixels
  int columns_ = 0, rows_ = 0;
  std::vector<std::vector<Mark>> tiles_;  // row-major
  std::vector<Mark> found_;               // reused between queries
};

// The pixel of an angle pair as the view of `pano` places it, or false when it lies too far
// outside any view to be drawn (or is not a number).
bool ViewPixel(const Panorama& pano, double hor, double vert, QPoint& pixel, QPointF* at = nullptr);
// The same for a stored point, which is also not drawn when its shifted horizontal angle is
// negative (below -180 degrees).
bool StoredMarkPixel(const Panorama& pano, double hor, double vert, QPoint& pixel,
                     QPointF* at = nullptr);
