#include "tools/demo/Ties.h"

#include <cmath>
#include <cstdio>
#include <random>

namespace demo {

namespace {

constexpr double kDegree = 3.14159265358979323846 / 180;
constexpr std::uint32_t kSeed = 20250611;
constexpr int kMaxDraws = 20000;
// With a degree to spare above and below a station's picture, as the targets have.
constexpr Real kPictureMargin = 1;

bool Inside(const Panorama& panorama, const Direction& d) {
  return d.vert >= panorama.PixelToVert(panorama.Height()) + kPictureMargin &&
         d.vert <= panorama.PixelToVert(0) - kPictureMargin;
}

bool FarFromAll(const Vec3& point, const std::vector<Vec3>& others, double distance) {
  for (const Vec3& other : others)
    if (Length(point - other) < distance) return false;
  return true;
}

}  // namespace

std::vector<TiePoint> TiePoints(const std::array<Camera, 3>& cameras, const Panoramas& panoramas,
                                const std::vector<Vec3>& targets, const SceneTrace& trace) {
  // Drawn from the generator's own bits: the standard distributions differ between libraries.
  std::mt19937 bits(kSeed);
  auto uniform = [&] { return (static_cast<double>(bits()) + 0.5) / 4294967296.0; };
  const double lowest = std::sin(-35 * kDegree), highest = std::sin(25 * kDegree);
  const Panorama& own0 = panoramas[0];
  std::vector<TiePoint> ties;
  std::vector<Vec3> taken;
  for (int draw = 0; draw < kMaxDraws && static_cast<int>(ties.size()) < kTieCount; ++draw) {
    // Even over the sphere's band, not over its angles.
    const Real hor = 360 * uniform();
    const Real vert = std::asin(lowest + (highest - lowest) * uniform()) / kDegree;
    const Vec3 dir = RayDirection(cameras[0], own0, static_cast<double>(own0.Column(hor)),
                                  static_cast<double>(own0.Row(vert)));
    const SurfaceHit hit = trace(cameras[0].eye, dir);
    if (hit.t > kTieReach) continue;  // the sky too
    const Vec3 point = cameras[0].eye + dir * hit.t;
    if (!FarFromAll(point, targets, kTieOffTarget) || !FarFromAll(point, taken, kTieSpacing))
      continue;
    const double side0 = Dot(hit.normal, cameras[0].eye - point);
    TiePoint tie{"", {}, point};
    bool seen = true;
    for (std::size_t k = 0; k < 3 && seen; ++k) {
      const Vec3 to = point - cameras[k].eye;
      const SurfaceHit there = trace(cameras[k].eye, Normalized(to));
      tie.seen[k] = Project(cameras[k], point);
      seen = std::abs(there.t - Length(to)) <= kTieSightSlack &&
             Dot(hit.normal, cameras[k].eye - point) * side0 >= 0 &&
             Inside(panoramas[k], tie.seen[k]);
    }
    if (!seen) continue;
    const std::size_t number = ties.size() + 1;
    tie.name = (number < 10 ? "T0" : "T") + std::to_string(number);
    ties.push_back(tie);
    taken.push_back(point);
  }
  return ties;
}

std::string TiesText(const std::vector<TiePoint>& ties) {
  std::string text =
      "name hor0 vert0 hor1 vert1 hor2 vert2 x y z (degrees in each station's picture; metres in "
      "the scene)\n";
  for (const TiePoint& t : ties) {
    char line[256];
    std::snprintf(line, sizeof line, "%s %.6Lf %.6Lf %.6Lf %.6Lf %.6Lf %.6Lf %.6f %.6f %.6f\n",
                  t.name.c_str(), t.seen[0].hor, t.seen[0].vert, t.seen[1].hor, t.seen[1].vert,
                  t.seen[2].hor, t.seen[2].vert, t.point.x, t.point.y, t.point.z);
    text += line;
  }
  return text;
}

}  // namespace demo
