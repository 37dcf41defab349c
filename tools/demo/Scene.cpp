#include "tools/demo/Scene.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "geometry/Mapping.h"

namespace demo {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180;

// The ground rises smoothly to the north: A tanh(y / L). It is level at P0 and far away, so that
// the horizon stays on the horizon row, and slopes gently (at most A / L) between the stations.
constexpr double kSlopeHeight = 2.0;
constexpr double kSlopeLength = 20.0;
// P1 and P2 stand where the ground is 1 m below and above P0's.
const double kStationY = kSlopeLength * std::atanh(0.5);

// Each panorama's own zero direction: the cameras were set up without caring where north is.
constexpr double kCameraZero[3] = {23.4, 161.7, 287.2};

constexpr double kMarkRadius = 0.6;
constexpr double kMarkRing = 0.54;  // the black ring round a station mark starts here
constexpr double kRimShare = 0.92;  // and the black rim of a target here, as a share of its radius
constexpr double kEpsilon = 1e-7;

const Vec3 kSun = Normalized({std::sin(150 * kDeg) * std::cos(40 * kDeg),
                              std::cos(150 * kDeg) * std::cos(40 * kDeg), std::sin(40 * kDeg)});

double Clamp01(double x) {
  return x < 0 ? 0 : x > 1 ? 1 : x;
}
double SmoothStep(double lo, double hi, double x) {
  const double t = Clamp01((x - lo) / (hi - lo));
  return t * t * (3 - 2 * t);
}
Vec3 Mix(Vec3 a, Vec3 b, double t) {
  return a + (b - a) * t;
}
double Lerp(double a, double b, double t) {
  return a + (b - a) * t;
}

std::uint32_t Hash(std::int64_t x, std::int64_t y, std::uint32_t seed) {
  std::uint64_t h = static_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15ull ^
                    static_cast<std::uint64_t>(y) * 0xC2B2AE3D27D4EB4Full ^ seed * 0x165667B1ull;
  h ^= h >> 31;
  h *= 0xBF58476D1CE4E5B9ull;
  h ^= h >> 29;
  return static_cast<std::uint32_t>(h >> 32);
}
double Random01(std::int64_t x, std::int64_t y, std::uint32_t seed) {
  return Hash(x, y, seed) * (1.0 / 4294967296.0);
}

double ValueNoise(double x, double y, std::uint32_t seed) {
  const double fx = std::floor(x), fy = std::floor(y);
  const auto ix = static_cast<std::int64_t>(fx), iy = static_cast<std::int64_t>(fy);
  double tx = x - fx, ty = y - fy;
  tx = tx * tx * (3 - 2 * tx);
  ty = ty * ty * (3 - 2 * ty);
  const double a = Random01(ix, iy, seed), b = Random01(ix + 1, iy, seed);
  const double c = Random01(ix, iy + 1, seed), d = Random01(ix + 1, iy + 1, seed);
  return a + (b - a) * tx + (c - a) * ty + (a - b - c + d) * tx * ty;
}

// Fractal noise around 0.5. `footprint` is the sample's size in the same units as x and y; octaves
// finer than it fade to their mean instead of aliasing.
double Fbm(double x, double y, int octaves, double footprint, std::uint32_t seed) {
  double sum = 0, amplitude = 0.5, wavelength = 1, total = 0;
  for (int i = 0; i < octaves; ++i) {
    const double keep = 1 - SmoothStep(0.25, 1.0, footprint / wavelength);
    if (keep <= 0) {
      sum += amplitude * 0.5;
    } else {
      const double v = ValueNoise(x / wavelength, y / wavelength, seed + static_cast<unsigned>(i));
      sum += amplitude * (0.5 + (v - 0.5) * keep);
    }
    total += amplitude;
    amplitude *= 0.5;
    wavelength *= 0.5;
  }
  return sum / total;
}

double Lighting(Vec3 normal, Vec3 dir) {
  if (Dot(normal, dir) > 0) normal = normal * -1;
  return 0.45 + 0.65 * std::max(0.0, Dot(normal, kSun));
}

Sample Lit(Vec3 albedo, double light, std::uint32_t key) {
  return {static_cast<float>(albedo.x * light), static_cast<float>(albedo.y * light),
          static_cast<float>(albedo.z * light), key};
}

// Sample size on a surface at distance t, stretched where the sight line grazes it.
double Footprint(double t, double pixelAngle, Vec3 normal, Vec3 dir) {
  return t * pixelAngle / std::max(std::abs(Dot(normal, dir)), 0.03);
}

Sample SkySample(Vec3 d, double pixelAngle) {
  const Vec3 horizon{0.80, 0.86, 0.93}, zenith{0.28, 0.48, 0.82};
  Vec3 colour = Mix(horizon, zenith, std::sqrt(std::max(d.z, 0.0)));
  // A cloud layer 1500 m up; the stations' few metres of parallax do not show there. Where the
  // coarse noise is below 0.2, the finer octaves cannot lift the sum to a cloud (above 0.08 its
  // first octave is never blurred, so the test is exact there).
  const double s = 1500 / d.z;
  if (d.z > 0.015 && (d.z < 0.08 || ValueNoise(d.x * s / 900, d.y * s / 900, 7) > 0.2)) {
    const double n = Fbm(d.x * s / 900, d.y * s / 900, 5, pixelAngle * s / d.z / 900, 7);
    const double cover = SmoothStep(0.56, 0.72, n) * SmoothStep(0.015, 0.08, d.z);
    colour = Mix(colour, Vec3{0.97, 0.97, 0.98} * (0.82 + 0.3 * (n - 0.5)), cover);
  }
  return {static_cast<float>(colour.x), static_cast<float>(colour.y), static_cast<float>(colour.z),
          MakeKey(Kind::Sky, 0, 0)};
}

double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
  const double vx = bx - ax, vy = by - ay;
  const double t = Clamp01(((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy));
  return std::hypot(px - ax - t * vx, py - ay - t * vy);
}

bool Paved(double x, double y) {
  return (std::abs(x) < 4.5 && std::abs(y) < 4.5) || SegmentDistance(x, y, 0, 0, -70, -26) < 1.4 ||
         SegmentDistance(x, y, -3, 4, -26, 22) < 1.1;
}

// Intersections return the distance along the ray, or kNoHit when there is none before tMax.
double HitBox(const Scene::Prim& b, const Vec3& o, const Vec3& d, double tMax) {
  const double qx = o.x - b.c.x, qy = o.y - b.c.y;
  const double lo[3] = {-b.hx, -b.hy, b.z0}, hi[3] = {b.hx, b.hy, b.z1};
  const double org[3] = {b.cs * qx + b.sn * qy, -b.sn * qx + b.cs * qy, o.z};
  const double dir[3] = {b.cs * d.x + b.sn * d.y, -b.sn * d.x + b.cs * d.y, d.z};
  double t0 = -kNoHit, t1 = kNoHit;
  for (int a = 0; a < 3; ++a) {
    if (std::abs(dir[a]) < 1e-15) {
      if (org[a] < lo[a] || org[a] > hi[a]) return kNoHit;
      continue;
    }
    double ta = (lo[a] - org[a]) / dir[a], tb = (hi[a] - org[a]) / dir[a];
    if (ta > tb) std::swap(ta, tb);
    t0 = std::max(t0, ta);
    t1 = std::min(t1, tb);
  }
  return t0 <= t1 && t0 > kEpsilon && t0 < tMax ? t0 : kNoHit;
}

double HitCylinder(const Scene::Prim& c, const Vec3& o, const Vec3& d, double tMax) {
  const double qx = o.x - c.c.x, qy = o.y - c.c.y;
  double best = kNoHit;
  const double a = d.x * d.x + d.y * d.y;
  if (a > 1e-18) {
    const double b = qx * d.x + qy * d.y;
    const double disc = b * b - a * (qx * qx + qy * qy - c.r * c.r);
    if (disc >= 0) {
      const double t = (-b - std::sqrt(disc)) / a;
      const double z = o.z + t * d.z;
      if (t > kEpsilon && z >= c.z0 && z <= c.z1) best = t;
    }
  }
  if (d.z < 0 && o.z > c.z1) {  // the top, seen from above
    const double t = (c.z1 - o.z) / d.z;
    const double x = qx + t * d.x, y = qy + t * d.y;
    if (x * x + y * y <= c.r * c.r) best = std::min(best, t);
  }
  return best < tMax ? best : kNoHit;
}

double HitSphere(const Scene::Prim& s, const Vec3& o, const Vec3& d, double tMax) {
  const Vec3 q = o - s.c;
  const double b = Dot(q, d);
  const double disc = b * b - (Dot(q, q) - s.r * s.r);
  if (disc < 0) return kNoHit;
  const double t = -b - std::sqrt(disc);
  return t > kEpsilon && t < tMax ? t : kNoHit;
}

double HitDisc(const Scene::Prim& s, const Vec3& o, const Vec3& d, double tMax) {
  const double denom = Dot(d, s.n);
  if (std::abs(denom) < 1e-12) return kNoHit;
  const double t = Dot(s.c - o, s.n) / denom;
  if (t <= kEpsilon || t >= tMax) return kNoHit;
  const Vec3 q = o + d * t - s.c;
  return Dot(q, q) <= s.r * s.r ? t : kNoHit;
}

double HitPrim(const Scene::Prim& p, const Vec3& o, const Vec3& d, double tMax) {
  switch (p.shape) {
    case Shape::Box:
      return HitBox(p, o, d, tMax);
    case Shape::Cylinder:
      return HitCylinder(p, o, d, tMax);
    case Shape::Sphere:
      return HitSphere(p, o, d, tMax);
    case Shape::Disc:
      return HitDisc(p, o, d, tMax);
  }
  return kNoHit;
}

struct BuildingPlan {
  double x, y, halfX, halfY, yaw, height;
  Look look;
  Vec3 colour;
};

struct TargetPlan {
  double azimuth, distance, height;  // seen from P0's ground point; height above the ground
};

// The horizontal direction that turns least away from any of the stations: the middle of the
// narrowest arc that holds the directions to all three.
Vec3 FacingAll(const Vec3& from, const std::array<Vec3, 3>& stations) {
  std::array<double, 3> az;
  for (std::size_t k = 0; k < 3; ++k)
    az[k] = std::atan2(stations[k].x - from.x, stations[k].y - from.y);
  std::sort(az.begin(), az.end());
  // The arc begins after the widest gap between neighbouring directions.
  double widest = az[0] + 2 * kPi - az[2], start = az[0], end = az[2];
  for (std::size_t k = 0; k < 2; ++k) {
    if (az[k + 1] - az[k] > widest) {
      widest = az[k + 1] - az[k];
      start = az[k + 1];
      end = az[k] + 2 * kPi;
    }
  }
  const double middle = (start + end) / 2;
  return {std::sin(middle), std::cos(middle), 0};
}

// The pixel size straight from the width in double: rounding Panorama's extended value to double
// again would miss the nearest double for some widths.
double DegreesPerPixel(const Panorama& panorama) {
  return 360.0 / panorama.Width();
}

// A turn into [0, 360).
Real Wrapped360(Real hor) {
  hor -= 360 * std::floor(hor / 360);
  return hor >= 360 ? hor - 360 : hor;
}

}  // namespace

Direction Project(const Camera& camera, const Vec3& point) {
  const Real dx = static_cast<Real>(point.x) - camera.eye.x;
  const Real dy = static_cast<Real>(point.y) - camera.eye.y;
  const Real dz = static_cast<Real>(point.z) - camera.eye.z;
  if (camera.Level())
    return {Wrapped360(std::atan2(dx, dy) * RadToDeg - camera.zero),
            std::atan2(dz, std::hypot(dx, dy)) * RadToDeg};
  // Back into the camera's frame: Rz(zero), then Rx(-pitch), then Ry(-roll).
  const Real z = camera.zero * DegToRad, p = camera.pitch * DegToRad, r = camera.roll * DegToRad;
  const Real x0 = dx * std::cos(z) - dy * std::sin(z), y0 = dx * std::sin(z) + dy * std::cos(z);
  const Real y1 = y0 * std::cos(p) + dz * std::sin(p), z1 = dz * std::cos(p) - y0 * std::sin(p);
  const Real x2 = x0 * std::cos(r) - z1 * std::sin(r), z2 = x0 * std::sin(r) + z1 * std::cos(r);
  return {Wrapped360(std::atan2(x2, y1) * RadToDeg), std::atan2(z2, std::hypot(x2, y1)) * RadToDeg};
}

Vec3 RayDirection(const Camera& camera, const Panorama& panorama, double column, double row) {
  // The same reading as PixelToHor and PixelToVert, for any position between the pixels.
  const double degPerPix = DegreesPerPixel(panorama);
  const double a = column * degPerPix;
  const double hor = a > 180 ? a - 180 : a + 180;
  const double elevation = (90 - (row + static_cast<double>(panorama.Top())) * degPerPix) * kDeg;
  const double c = std::cos(elevation);
  if (camera.Level()) {
    const double azimuth = (hor + camera.zero) * kDeg;
    return {c * std::sin(azimuth), c * std::cos(azimuth), std::sin(elevation)};
  }
  // The camera's vector, turned level by Ry(roll), then Rx(pitch), then Rz(-zero).
  const double x = c * std::sin(hor * kDeg), y = c * std::cos(hor * kDeg), z = std::sin(elevation);
  const double r = camera.roll * kDeg, p = camera.pitch * kDeg, zero = camera.zero * kDeg;
  const double x1 = x * std::cos(r) + z * std::sin(r), z1 = z * std::cos(r) - x * std::sin(r);
  const double y2 = y * std::cos(p) - z1 * std::sin(p), z2 = y * std::sin(p) + z1 * std::cos(p);
  return {x1 * std::cos(zero) + y2 * std::sin(zero), y2 * std::cos(zero) - x1 * std::sin(zero), z2};
}

Scene::Scene() {
  ground_[0] = {0, 0, 0};
  ground_[1] = {10.2, -kStationY, 0};
  ground_[2] = {6.5, kStationY, 0};
  for (int k = 0; k < 3; ++k) {
    Vec3& g = ground_[static_cast<std::size_t>(k)];
    g.z = GroundHeight(g.x, g.y);
    cameras_[static_cast<std::size_t>(k)] = {{g.x, g.y, g.z + kNodalHeight}, kCameraZero[k]};
  }

  const BuildingPlan buildings[] = {
      {-32, 28, 7, 4.5, 20, 7.5, Look::Plaster, {0.86, 0.80, 0.66}},
      {42, -38, 6, 6, -10, 10, Look::Brick, {0.62, 0.30, 0.22}},
      {-55, -60, 9, 5, 35, 6, Look::Concrete, {0.66, 0.66, 0.64}},
      {-12, 30, 1.6, 1.1, 5, 2.4, Look::Wood, {0.48, 0.33, 0.20}},
      {130, 75, 9, 9, 0, 22, Look::Glass, {0.45, 0.55, 0.62}},
      {-20, 95, 12, 6, -15, 12, Look::Plaster, {0.80, 0.84, 0.78}},
  };
  for (const BuildingPlan& b : buildings) {
    Prim p;
    p.shape = Shape::Box;
    p.look = b.look;
    p.colour = b.colour;
    p.c = {b.x, b.y, 0};
    p.hx = b.halfX;
    p.hy = b.halfY;
    p.cs = std::cos(b.yaw * kDeg);
    p.sn = std::sin(b.yaw * kDeg);
    p.z0 = -kSlopeHeight - 1;  // deep enough to meet the ground on every side
    p.z1 = GroundHeight(b.x, b.y) + b.height;
    prims_.push_back(p);
  }

  // Lamp posts, a ranging pole, trees.
  auto pole = [&](double x, double y, double r, double height, Look look, Vec3 colour) {
    Prim p;
    p.shape = Shape::Cylinder;
    p.look = look;
    p.colour = colour;
    p.c = {x, y, 0};
    p.r = r;
    p.z0 = GroundHeight(x, y) - 0.3;
    p.z1 = GroundHeight(x, y) + height;
    prims_.push_back(p);
  };
  for (auto [x, y] : {std::pair{4.5, -5.5}, {-10.0, 9.0}, {22.0, 2.0}, {-3.0, -20.0}})
    pole(x, y, 0.06, 5, Look::Metal, {0.42, 0.44, 0.46});
  pole(-4, 6, 0.025, 2, Look::RangingPole, {0.85, 0.12, 0.10});
  for (auto [x, y] : {std::pair{23.0, -27.0}, {-28.0, 6.0}, {28.0, 31.0}}) {
    pole(x, y, 0.18, 3.4, Look::Bark, {0.36, 0.26, 0.18});
    Prim crown;
    crown.shape = Shape::Sphere;
    crown.look = Look::Leaves;
    crown.colour = {0.20, 0.38, 0.14};
    crown.c = {x, y, GroundHeight(x, y) + 4.8};
    crown.r = 2.4;
    prims_.push_back(crown);
  }

  // The survey targets, each on a post, turned to face all three stations as squarely as it can.
  const TargetPlan plans[] = {
      {290, 3, 1.0},  {250, 5, 1.4}, {175, 8, 1.2},   {225, 12, 2.0},
      {280, 18, 1.5}, {60, 25, 3.0}, {350, 35, 1.8},  {110, 50, 2.5},
      {240, 70, 4.0}, {5, 95, 3.0},  {160, 120, 3.0}, {285, 150, 5.0},
  };
  for (const TargetPlan& plan : plans) {
    const double x = plan.distance * std::sin(plan.azimuth * kDeg);
    const double y = plan.distance * std::cos(plan.azimuth * kDeg);
    Target t;
    t.name =
        "T" + std::string(targets_.size() < 9 ? "0" : "") + std::to_string(targets_.size() + 1);
    t.centre = {x, y, GroundHeight(x, y) + plan.height};
    t.normal = FacingAll(t.centre, ground_);
    // Large enough to be aimed at from afar, small enough to be a sharp point close by.
    t.radius = 0.5 * std::clamp(0.3 + 0.008 * plan.distance, 0.3, 1.5);
    const auto index = static_cast<std::uint32_t>(targets_.size());
    targets_.push_back(t);

    Prim disc;
    disc.shape = Shape::Disc;
    disc.look = Look::Target;
    disc.index = index;
    disc.c = t.centre;
    disc.r = t.radius;
    disc.n = t.normal;
    disc.u = {-t.normal.y, t.normal.x, 0};  // to the right of a viewer facing the target
    prims_.push_back(disc);

    Prim post;
    post.shape = Shape::Cylinder;
    post.look = Look::Target;
    post.index = index;
    post.colour = {0.30, 0.30, 0.32};
    post.r = 0.015 + 0.04 * t.radius;
    post.c = t.centre - t.normal * (post.r + 0.02);  // wholly behind the disc
    post.z0 = GroundHeight(post.c.x, post.c.y) - 0.3;
    post.z1 = t.centre.z;
    prims_.push_back(post);
  }

  if (prims_.size() > static_cast<std::size_t>(kMaxPrims))
    throw std::logic_error("too many primitives in the demo scene");
  for (std::size_t i = 0; i < prims_.size(); ++i) {
    Prim& p = prims_[i];
    if (p.look != Look::Target) p.index = static_cast<std::uint32_t>(i);
    switch (p.shape) {
      case Shape::Box:
        p.boundCentre = {p.c.x, p.c.y, (p.z0 + p.z1) / 2};
        p.boundRadius = std::sqrt(p.hx * p.hx + p.hy * p.hy + (p.z1 - p.z0) * (p.z1 - p.z0) / 4);
        break;
      case Shape::Cylinder:
        p.boundCentre = {p.c.x, p.c.y, (p.z0 + p.z1) / 2};
        p.boundRadius = std::sqrt(p.r * p.r + (p.z1 - p.z0) * (p.z1 - p.z0) / 4);
        break;
      case Shape::Sphere:
      case Shape::Disc:
        p.boundCentre = p.c;
        p.boundRadius = p.r;
        break;
    }
  }
}

void Scene::SetTilts(const Tilts& tilts) {
  for (std::size_t k = 0; k < 3; ++k) {
    cameras_[k].pitch = tilts[k].pitch;
    cameras_[k].roll = tilts[k].roll;
  }
}

double Scene::GroundHeight(double /*x: the slope runs north*/, double y) const {
  return kSlopeHeight * std::tanh(y / kSlopeLength);
}

// Along the ray the ground height is a sigmoid of t, so the ray's height above the ground changes
// its direction at most twice: between those turning points it is monotonic, and the first
// interval that ends below the ground holds the one crossing to find.
double Scene::GroundHit(const Vec3& o, const Vec3& d) const {
  constexpr double A = kSlopeHeight, L = kSlopeLength;
  if (d.z >= 0 && o.z >= A) return kNoHit;
  auto above = [&](double t) { return o.z + t * d.z - A * std::tanh((o.y + t * d.y) / L); };
  if (std::abs(d.y) < 1e-12) {
    const double h = A * std::tanh(o.y / L);
    return d.z < 0 ? (o.z - h) / -d.z : kNoHit;
  }
  // Beyond tFar a falling ray is below the lowest ground; a rising one has long stopped turning.
  const double tFar = d.z < 0 ? (o.z + A) / -d.z + 1 : 1e7;
  double stops[4];
  int n = 0;
  stops[n++] = 0;
  const double k = A * d.y / L;  // d/dt above(t) = d.z - k / cosh^2
  const double c = d.z / k;
  if (c > 0 && c < 1) {
    const double s = std::acosh(1 / std::sqrt(c)) * L;
    const double ta = (-s - o.y) / d.y, tb = (s - o.y) / d.y;
    for (double t : {std::min(ta, tb), std::max(ta, tb)})
      if (t > 0 && t < tFar) stops[n++] = t;
  }
  stops[n++] = tFar;

  double lo = stops[0], gLo = above(lo);
  for (int i = 1; i < n; ++i) {
    const double hi = stops[i], gHi = above(hi);
    if (gHi <= 0) {
      // Newton's steps, kept inside the bracket [lo, hi] by bisection.
      // Started where level ground at the height below the ray's origin would be hit: close to
      // the answer for all but the most grazing rays.
      double a = lo, b = hi, t = gLo / (gLo - gHi) * (hi - lo) + lo;
      const double level = d.z < 0 ? (o.z - A * std::tanh(o.y / L)) / -d.z : -1;
      if (level > lo && level < hi) t = level;
      for (int iter = 0; iter < 80; ++iter) {
        const double g = above(t);
        if (std::abs(g) < 1e-10) break;
        if (g > 0) {
          a = t;
        } else {
          b = t;
        }
        const double th = std::tanh((o.y + t * d.y) / L);
        const double slope = d.z - k * (1 - th * th);
        double next = slope != 0 ? t - g / slope : (a + b) / 2;
        if (!(next > a && next < b)) next = (a + b) / 2;
        if (std::abs(next - t) <= 1e-12 * (1 + t)) {
          t = next;
          break;
        }
        t = next;
      }
      return t;
    }
    lo = hi;
    gLo = gHi;
  }
  return kNoHit;
}

Hit Scene::Trace(const Vec3& origin, const Vec3& dir) const {
  int all[kMaxPrims];
  const int count = static_cast<int>(prims_.size());
  for (int i = 0; i < count; ++i) all[i] = i;
  return Trace(origin, dir, all, count);
}

Hit Scene::Trace(const Vec3& origin, const Vec3& dir, const int* prims, int count) const {
  Hit hit;
  hit.t = GroundHit(origin, dir);
  for (int i = 0; i < count; ++i) {
    const double t = HitPrim(prims_[static_cast<std::size_t>(prims[i])], origin, dir, hit.t);
    if (t < hit.t) {
      hit.t = t;
      hit.prim = prims[i];
    }
  }
  return hit;
}

Sample Scene::Shade(const Vec3& origin, const Vec3& dir, const Hit& hit, double pixelAngle) const {
  if (hit.t == kNoHit) return SkySample(dir, pixelAngle);
  const Vec3 p = origin + dir * hit.t;
  if (hit.prim < 0) return ShadeGround(p, dir, hit.t, pixelAngle);
  return ShadePrim(prims_[static_cast<std::size_t>(hit.prim)], p, dir, hit.t, pixelAngle);
}

Sample Scene::ShadeGround(const Vec3& p, const Vec3& dir, double t, double pixelAngle) const {
  const double th = std::tanh(p.y / kSlopeLength);
  const Vec3 normal = Normalized({0, -kSlopeHeight / kSlopeLength * (1 - th * th), 1});
  const double light = Lighting(normal, dir);
  const double footprint = Footprint(t, pixelAngle, normal, dir);

  // The station marks: red and white quarters in a black ring, centred on the ground point.
  for (std::uint32_t k = 0; k < 3; ++k) {
    const double dx = p.x - ground_[k].x, dy = p.y - ground_[k].y;
    const double r2 = dx * dx + dy * dy;
    if (r2 >= kMarkRadius * kMarkRadius) continue;
    if (r2 >= kMarkRing * kMarkRing)
      return Lit({0.06, 0.06, 0.06}, light, MakeKey(Kind::Mark, k, 4));
    const std::uint32_t quarter = dx >= 0 ? (dy >= 0 ? 0 : 3) : (dy >= 0 ? 1 : 2);
    const Vec3 colour = quarter % 2 == 0 ? Vec3{0.88, 0.08, 0.06} : Vec3{0.96, 0.96, 0.94};
    return Lit(colour, light, MakeKey(Kind::Mark, k, quarter));
  }

  if (Paved(p.x, p.y)) {
    // Stone tiles of 0.5 m with dark joints, blurred to their mean when a sample covers several.
    constexpr double kTile = 0.5, kJoint = 0.012;
    const double fx = std::floor(p.x / kTile), fy = std::floor(p.y / kTile);
    const double tint = Random01(static_cast<std::int64_t>(fx), static_cast<std::int64_t>(fy), 3);
    const double blur = Clamp01(footprint / kTile);
    const double shade = 0.58 + (0.1 * (tint - 0.5)) * (1 - blur);
    const double ex = std::min(p.x - fx * kTile, (fx + 1) * kTile - p.x);
    const double ey = std::min(p.y - fy * kTile, (fy + 1) * kTile - p.y);
    const double edge = std::min(ex, ey);
    const double jointMean = 2 * kJoint / kTile;
    const double joint =
        Lerp(1 - SmoothStep(kJoint - footprint / 2, kJoint + footprint / 2, edge), jointMean, blur);
    const double grain = Fbm(p.x * 8, p.y * 8, 3, footprint * 8, 11);
    const double v = Lerp(shade, 0.30, joint) * (0.9 + 0.2 * grain);
    return Lit({v, v * 0.97, v * 0.92}, light, MakeKey(Kind::Ground, 0, 1));
  }

  // Grass: patches of lighter and darker green, and blades as fine noise.
  const double patches = Fbm(p.x / 7, p.y / 7, 4, footprint / 7, 21);
  const double blades = Fbm(p.x * 6, p.y * 6, 3, footprint * 6, 31);
  Vec3 grass = Mix(Vec3{0.22, 0.36, 0.12}, Vec3{0.44, 0.56, 0.22}, SmoothStep(0.3, 0.7, patches));
  grass = grass * (0.8 + 0.4 * blades);
  return Lit(grass, light, MakeKey(Kind::Ground, 0, 0));
}

Sample Scene::ShadePrim(const Prim& prim, const Vec3& p, const Vec3& dir, double t,
                        double pixelAngle) const {
  switch (prim.shape) {
    case Shape::Disc: {
      const Vec3 q = p - prim.c;
      const double a = Dot(q, prim.u), b = q.z;
      if (Dot(dir, prim.n) > 0)
        return Lit({0.5, 0.5, 0.5}, Lighting(prim.n, dir),
                   MakeKey(Kind::Target, prim.index, kBack));
      // Matte paper: little shading, so that the quarters stay as sharp in the shade as in sun.
      const double light = 0.85 + 0.15 * (Lighting(prim.n, dir) - 0.45);
      if (a * a + b * b >= kRimShare * kRimShare * prim.r * prim.r)
        return Lit({0.05, 0.05, 0.05}, light, MakeKey(Kind::Target, prim.index, kRim));
      const TargetPart part =
          b >= 0 ? (a >= 0 ? kUpperRight : kUpperLeft) : (a >= 0 ? kLowerRight : kLowerLeft);
      const double v = part % 2 == 0 ? 0.05 : 0.95;
      return Lit({v, v, v}, light, MakeKey(Kind::Target, prim.index, part));
    }
    case Shape::Sphere: {
      const Vec3 normal = Normalized(p - prim.c);
      const double footprint = Footprint(t, pixelAngle, normal, dir);
      const double leaves = Fbm(p.x * 3 + p.z, p.y * 3 - p.z * 2, 4, footprint * 3, 41);
      return Lit(prim.colour * (0.7 + 0.6 * leaves), Lighting(normal, dir),
                 MakeKey(Kind::Thing, prim.index, 0));
    }
    case Shape::Cylinder: {
      Vec3 normal{p.x - prim.c.x, p.y - prim.c.y, 0};
      normal = p.z >= prim.z1 - 1e-9 ? Vec3{0, 0, 1} : Normalized(normal);
      const Kind kind = prim.look == Look::Target ? Kind::Target : Kind::Thing;
      std::uint32_t part = prim.look == Look::Target ? std::uint32_t{kPost} : 0;
      Vec3 colour = prim.colour;
      if (prim.look == Look::RangingPole) {
        // Red and white bands of half a metre.
        part = static_cast<std::uint32_t>(std::floor((prim.z1 - p.z) / 0.5)) % 2;
        if (part == 1) colour = {0.95, 0.95, 0.93};
      }
      return Lit(colour, Lighting(normal, dir), MakeKey(kind, prim.index, part));
    }
    case Shape::Box:
      break;
  }

  // A building: which side was hit, and where on it.
  const double qx = p.x - prim.c.x, qy = p.y - prim.c.y;
  const double lx = prim.cs * qx + prim.sn * qy, ly = -prim.sn * qx + prim.cs * qy;
  const double gaps[5] = {std::abs(lx + prim.hx), std::abs(lx - prim.hx), std::abs(ly + prim.hy),
                          std::abs(ly - prim.hy), std::abs(p.z - prim.z1)};
  const int face = static_cast<int>(std::min_element(gaps, gaps + 5) - gaps);
  Vec3 normal{0, 0, 1};
  if (face < 2) normal = Vec3{prim.cs, prim.sn, 0} * (face == 0 ? -1 : 1);
  if (face == 2 || face == 3) normal = Vec3{-prim.sn, prim.cs, 0} * (face == 2 ? -1 : 1);
  const double light = Lighting(normal, dir);
  if (face == 4) return Lit({0.34, 0.32, 0.31}, light, MakeKey(Kind::Thing, prim.index, 8));

  const double along = face < 2 ? ly : lx;
  const double half = face < 2 ? prim.hy : prim.hx;
  const double base = GroundHeight(prim.c.x, prim.c.y);
  const double up = p.z - base;
  const double footprint = Footprint(t, pixelAngle, normal, dir);
  Vec3 colour = prim.colour;
  bool window = false;
  switch (prim.look) {
    case Look::Wood: {
      // Vertical planks of 15 cm, fading to the wood's colour far away.
      const double planks = 0.5 + 0.5 * std::cos(along / 0.15 * 2 * kPi);
      colour = colour * (0.9 + 0.15 * planks * (1 - Clamp01(footprint / 0.15)));
      break;
    }
    case Look::Glass: {
      // Glass bands between storeys of 3.5 m.
      const double storey = up / 3.5 - std::floor(up / 3.5);
      window = storey > 0.25 && up > 1;
      if (window) colour = {0.22, 0.30, 0.38};
      break;
    }
    default: {
      const double storey = up / 3 - std::floor(up / 3);
      const double bay = (along + half) / 2.5 - std::floor((along + half) / 2.5);
      window = storey > 0.3 && storey < 0.78 && bay > 0.3 && bay < 0.7 && up > 1 &&
               p.z < prim.z1 - 0.8 && std::abs(along) < half - 0.8;
      if (window) {
        colour = {0.12, 0.15, 0.20};
      } else if (prim.look != Look::Concrete) {
        colour = colour * (0.94 + 0.12 * Fbm(along * 2, up * 2, 3, footprint * 2, 51));
      }
      break;
    }
  }
  return Lit(colour, light,
             MakeKey(Kind::Thing, prim.index, static_cast<std::uint32_t>(face * 2 + window)));
}

View::View(const Scene& scene, int station, const Panorama& panorama)
    : scene_(scene),
      camera_(scene.Cameras()[static_cast<std::size_t>(station)]),
      panorama_(panorama),
      degPerPix_(DegreesPerPixel(panorama)),
      top_(static_cast<double>(panorama.Top())) {
  constexpr double kPad = 0.05;  // degrees, for rounding
  for (const Scene::Prim& p : scene.Prims()) {
    Bounds b;
    const Vec3 v = p.boundCentre - camera_.eye;
    const double dist = Length(v);
    if (dist > p.boundRadius * 1.001 + 0.01) {
      const double half = std::asin(p.boundRadius / dist) / kDeg + kPad;
      const double el = std::asin(v.z / dist) / kDeg;
      b.elLo = el - half;
      b.elHi = el + half;
      b.az = std::atan2(v.x, v.y) / kDeg;
      // A cone round the centre's direction spans asin(sin(half) / cos(el)) of azimuth.
      const double steepest = std::max(std::abs(b.elLo), std::abs(b.elHi));
      if (steepest < 89) {
        const double s = std::sin(half * kDeg) / std::cos(steepest * kDeg);
        b.azHalf = s < 1 ? std::asin(s) / kDeg + kPad : 180;
      }
    }
    bounds_.push_back(b);
  }
  // A tilted camera's row rises and falls across the turn by as much as the camera is tilted.
  const double sway = std::abs(camera_.pitch) + std::abs(camera_.roll);
  rowBands_.resize(static_cast<std::size_t>(panorama.Height()) + 2);
  for (std::size_t band = 0; band < rowBands_.size(); ++band) {
    const double top = 90 - (static_cast<double>(band) - 1 + top_) * degPerPix_;
    for (std::size_t i = 0; i < bounds_.size(); ++i)
      if (bounds_[i].elLo <= top + sway && bounds_[i].elHi >= top - degPerPix_ - sway)
        rowBands_[band].push_back(static_cast<int>(i));
  }
}

int View::Candidates(double azimuth, double elevation, double row, int* out) const {
  // Only the primitives of the row's band, if it has one; all of them elsewhere.
  std::vector<int> all;
  const double band = std::floor(row) + 1;
  const std::vector<int>* prims = &all;
  if (band >= 0 && band < static_cast<double>(rowBands_.size())) {
    prims = &rowBands_[static_cast<std::size_t>(band)];
  } else {
    for (std::size_t i = 0; i < bounds_.size(); ++i) all.push_back(static_cast<int>(i));
  }
  int n = 0;
  for (int i : *prims) {
    const Bounds& b = bounds_[static_cast<std::size_t>(i)];
    if (elevation < b.elLo || elevation > b.elHi) continue;
    if (b.azHalf < 180) {
      double d = azimuth - b.az;
      d -= 360 * std::floor((d + 180) / 360);
      if (std::abs(d) > b.azHalf) continue;
    }
    out[n++] = i;
  }
  return n;
}

Hit View::TraceAt(double column, double row) const {
  return TraceAlong(column, row, RayDirection(camera_, panorama_, column, row));
}

Hit View::TraceAlong(double column, double row, const Vec3& dir) const {
  double azimuth, elevation;
  if (camera_.Level()) {
    const double a = column * degPerPix_;
    azimuth = (a > 180 ? a - 180 : a + 180) + camera_.zero;
    elevation = 90 - (row + top_) * degPerPix_;
  } else {
    azimuth = std::atan2(dir.x, dir.y) / kDeg;
    elevation = std::asin(std::clamp(dir.z, -1.0, 1.0)) / kDeg;
  }
  int prims[Scene::kMaxPrims];
  const int count = Candidates(azimuth, elevation, row, prims);
  return scene_.Trace(camera_.eye, dir, prims, count);
}

Sample View::At(double column, double row) const {
  const Vec3 dir = RayDirection(camera_, panorama_, column, row);
  return scene_.Shade(camera_.eye, dir, TraceAlong(column, row, dir), degPerPix_ * kDeg);
}

}  // namespace demo
