#include "tools/demo/Sight.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace demo {

namespace {

constexpr double kPi = 3.14159265358979323846;
// The directions the narrowest extent is looked for in, over half a turn.
constexpr int kSpanDirections = 720;

struct Point2 {
  double x = 0, y = 0;
};

// The narrowest extent of the points over all directions (for a convex outline it lies across one
// of its edges; a fine fan of directions comes within a part in ten thousand of it).
double NarrowestExtent(const std::vector<Point2>& points) {
  if (points.size() < 2) return 0;
  double narrowest = std::numeric_limits<double>::infinity();
  for (int i = 0; i < kSpanDirections; ++i) {
    const double angle = kPi * i / kSpanDirections, c = std::cos(angle), s = std::sin(angle);
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (const Point2& p : points) {
      const double along = p.x * c + p.y * s;
      lo = std::min(lo, along);
      hi = std::max(hi, along);
    }
    narrowest = std::min(narrowest, hi - lo);
  }
  return narrowest;
}

}  // namespace

FootprintSight SightOf(const std::vector<Vec3>& footprint, const Camera& camera,
                       const Panorama& panorama, const Vec3& p0eye, const SceneTrace& trace) {
  FootprintSight sight;
  if (footprint.empty()) return sight;
  const double width = static_cast<double>(panorama.Width());
  std::vector<Point2> pixels;
  std::size_t seen = 0;
  for (const Vec3& point : footprint) {
    const Direction d = Project(camera, point);
    Point2 pixel{static_cast<double>(panorama.Column(d.hor)),
                 static_cast<double>(panorama.Row(d.vert))};
    // Columns by whole turns next to the first point's, so that the seam does not tear it apart.
    if (!pixels.empty()) pixel.x -= width * std::round((pixel.x - pixels.front().x) / width);
    pixels.push_back(pixel);

    const Vec3 to = point - camera.eye;
    const SurfaceHit hit = trace(camera.eye, Normalized(to));
    const bool inside = pixel.y >= -0.5 && pixel.y <= panorama.Height() - 0.5;
    seen += inside && std::abs(hit.t - Length(to)) <= kSightSlack &&
            Dot(hit.normal, camera.eye - point) * Dot(hit.normal, p0eye - point) >= 0;
  }
  sight.seen = static_cast<double>(seen) / static_cast<double>(footprint.size());
  sight.whole = seen == footprint.size();
  sight.span = NarrowestExtent(pixels);
  return sight;
}

bool Allowed(const FootprintSight& sight, double spread) {
  return sight.whole && spread >= kAllowedSpread && sight.span >= kAllowedSpan;
}

}  // namespace demo
