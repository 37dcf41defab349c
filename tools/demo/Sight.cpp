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

std::vector<Vec3> FootprintRays(const Camera& p0, const Panorama& panorama, double column,
                                double row) {
  std::vector<Vec3> rays;
  const int half = kFootprintPixels / 2;
  for (int dy = -half; dy <= half; ++dy)
    for (int dx = -half; dx <= half; ++dx)
      rays.push_back(RayDirection(p0, panorama, column + dx, row + dy));
  return rays;
}

FootprintSight SightOf(const std::vector<Vec3>& rays, const Vec3& p0eye, const Vec3& normal,
                       const Camera& camera, const Panorama& panorama, const SceneTrace& trace) {
  FootprintSight sight;
  if (rays.empty()) return sight;
  const Vec3& middle = rays[rays.size() / 2];
  const SurfaceHit target = trace(p0eye, middle);
  if (target.t == kNoHit) return sight;
  const Vec3 centre = p0eye + middle * target.t;
  const double width = static_cast<double>(panorama.Width());
  auto pixelOf = [&](const Vec3& point) {
    const Direction d = Project(camera, point);
    return Point2{static_cast<double>(panorama.Column(d.hor)),
                  static_cast<double>(panorama.Row(d.vert))};
  };
  const Point2 centrePixel = pixelOf(centre);
  std::vector<Point2> pixels;
  std::size_t own = 0, seen = 0;
  for (const Vec3& ray : rays) {
    // The sight line on the tangent plane, where it meets it in front of P0.
    const double facing = Dot(ray, normal);
    if (facing != 0) {
      const double along = Dot(centre - p0eye, normal) / facing;
      if (along > 0) {
        Point2 pixel = pixelOf(p0eye + ray * along);
        // Columns by whole turns next to the centre's, so that the seam does not tear it apart.
        pixel.x -= width * std::round((pixel.x - centrePixel.x) / width);
        pixels.push_back(pixel);
      }
    }

    const SurfaceHit hit = trace(p0eye, ray);
    if (hit.t == kNoHit || hit.surface != target.surface) continue;
    ++own;
    const Vec3 point = p0eye + ray * hit.t;
    const Vec3 to = point - camera.eye;
    const SurfaceHit there = trace(camera.eye, Normalized(to));
    const double row = pixelOf(point).y;
    const bool inside = row >= -0.5 && row <= panorama.Height() - 0.5;
    seen += inside && there.surface == target.surface &&
            std::abs(there.t - Length(to)) <= kSightSlack &&
            Dot(there.normal, camera.eye - point) * Dot(there.normal, p0eye - point) >= 0;
  }
  // The middle sight line is the target's own.
  sight.seen = static_cast<double>(seen) / static_cast<double>(own);
  sight.whole = seen == own;
  sight.span = NarrowestExtent(pixels);
  return sight;
}

bool Allowed(const FootprintSight& sight, double spread) {
  return sight.whole && spread >= kAllowedSpread && sight.span >= kAllowedSpan;
}

}  // namespace demo
