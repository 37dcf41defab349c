#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "geometry/Mapping.h"
#include "geometry/Real.h"
#include "tools/demo/Vec3.h"

// The demo survey: one synthetic outdoor scene seen from the standpoint P0 and the survey stations
// P1 and P2, drawn in exactly Torbel's equirectangular projection, with survey targets at known
// positions so that every measurement made on it can be checked against the truth.
namespace demo {

// Every camera's nodal point stands this high above its station's ground point.
inline constexpr double kNodalHeight = 1.6;

// A panorama camera. Azimuths are clockwise from north, as Torbel's angles grow to the right.
// A camera set up off level is tilted as photo-sphere XMP's pose says (PosePitchDegrees,
// PoseRollDegrees): a picture direction (hor, vert) is the camera vector
// c = (sin hor cos vert, cos hor cos vert, sin vert), and the level one is Rx(pitch) Ry(roll) c,
// turned by `zero` about the vertical. So a positive pitch raises the picture's centre (hor 0,
// vert 0 looks up at pitch), and a positive roll lowers its hor 90 (which looks down at roll).
struct Camera {
  Vec3 eye;
  double zero = 0;  // world azimuth (degrees) shown at the panorama's 0/360 degree column
  double pitch = 0, roll = 0;  // degrees
  bool Level() const { return pitch == 0 && roll == 0; }
};

// Each station's camera's tilt, in the order P0, P1, P2.
struct Tilt {
  double pitch = 0, roll = 0;
};
using Tilts = std::array<Tilt, 3>;

// Panorama angles in degrees, as Torbel reads them from a pixel.
struct Direction {
  Real hor = 0, vert = 0;
};

// Where a world point appears in a camera's panorama, in extended precision.
Direction Project(const Camera& camera, const Vec3& point);
// The sight line through a continuous position (column, row) of the camera's panorama; pixel
// centres lie on whole numbers, as Panorama's Column and Row give them.
Vec3 RayDirection(const Camera& camera, const Panorama& panorama, double column, double row);

struct Target {
  std::string name;
  Vec3 centre;  // the target point
  Vec3 normal;  // horizontal, towards the stations
  double radius = 0;
};

// What a sample sees: its colour (0...1) and a key naming the surface and the part of its pattern,
// so that the renderer can tell where an edge runs through a pixel.
struct Sample {
  float r = 0, g = 0, b = 0;
  std::uint32_t key = 0;
};

enum class Kind : std::uint32_t { Sky = 0, Ground = 1, Mark = 2, Target = 3, Thing = 4 };
// Parts of a target: the four quarters of its face, its rim, its back and its post.
enum TargetPart : std::uint32_t {
  kUpperRight = 0,  // black
  kUpperLeft = 1,   // white
  kLowerLeft = 2,   // black
  kLowerRight = 3,  // white
  kRim = 4,
  kBack = 5,
  kPost = 6,
};
inline constexpr std::uint32_t MakeKey(Kind kind, std::uint32_t index, std::uint32_t part) {
  return static_cast<std::uint32_t>(kind) << 24 | index << 8 | part;
}
inline constexpr Kind KindOf(std::uint32_t key) {
  return static_cast<Kind>(key >> 24);
}
inline constexpr std::uint32_t IndexOf(std::uint32_t key) {
  return key >> 8 & 0xffff;
}
inline constexpr std::uint32_t PartOf(std::uint32_t key) {
  return key & 0xff;
}

inline constexpr double kNoHit = std::numeric_limits<double>::infinity();

struct Hit {
  double t = kNoHit;
  int prim = -1;  // index into the scene's primitives; -1 for the ground (or sky when t is kNoHit)
};

class Scene {
 public:
  // Builds the demo scene.
  Scene();

  double GroundHeight(double x, double y) const;
  const std::array<Vec3, 3>& GroundPoints() const { return ground_; }
  const std::array<Camera, 3>& Cameras() const { return cameras_; }
  const std::vector<Target>& Targets() const { return targets_; }
  // Sets the cameras up off level.
  void SetTilts(const Tilts& tilts);

  // The first surface along the ray from `origin` in the unit direction `dir`.
  Hit Trace(const Vec3& origin, const Vec3& dir) const;
  // The same, testing only the `count` primitives listed in `prims` besides the ground.
  Hit Trace(const Vec3& origin, const Vec3& dir, const int* prims, int count) const;
  // The colour and key of that surface; `pixelAngle` (radians) is the angle one sample covers,
  // which blurs the procedural textures where they would alias.
  Sample Shade(const Vec3& origin, const Vec3& dir, const Hit& hit, double pixelAngle) const;

  struct Prim;
  const std::vector<Prim>& Prims() const { return prims_; }
  static constexpr int kMaxPrims = 128;

 private:
  std::array<Vec3, 3> ground_;
  std::array<Camera, 3> cameras_;
  std::vector<Target> targets_;
  std::vector<Prim> prims_;

  double GroundHit(const Vec3& origin, const Vec3& dir) const;
  Sample ShadeGround(const Vec3& p, const Vec3& dir, double t, double pixelAngle) const;
  Sample ShadePrim(const Prim& prim, const Vec3& p, const Vec3& dir, double t,
                   double pixelAngle) const;
};

enum class Shape { Box, Cylinder, Sphere, Disc };
enum class Look { Plaster, Brick, Concrete, Wood, Glass, Metal, RangingPole, Bark, Leaves, Target };

struct Scene::Prim {
  Shape shape = Shape::Box;
  Look look = Look::Metal;
  std::uint32_t index = 0;  // the target's index for its disc and post, else the primitive's own
  Vec3 colour;
  Vec3 c;         // box: footprint centre; cylinder: axis foot; sphere and disc: centre
  double r = 0;   // cylinder, sphere and disc radius
  double z0 = 0;  // box and cylinder: bottom and top
  double z1 = 0;
  double hx = 0, hy = 0;  // box half sizes along its own axes
  double cs = 1, sn = 0;  // box: cosine and sine of its yaw (own x axis = (cs, sn))
  Vec3 n, u;              // disc: normal and its horizontal in-plane axis to the viewer's right
  Vec3 boundCentre;       // a sphere around it all, for culling
  double boundRadius = 0;
};

// One camera's view of the scene in its panorama: samples at continuous pixel positions, testing
// only the primitives whose bounds come near the sight line.
class View {
 public:
  View(const Scene& scene, int station, const Panorama& panorama);
  const Camera& camera() const { return camera_; }
  const Panorama& panorama() const { return panorama_; }
  Sample At(double column, double row) const;
  // The sight line's first hit.
  Hit TraceAt(double column, double row) const;

 private:
  struct Bounds {
    double elLo = -90, elHi = 90;  // elevation range, degrees
    double az = 0, azHalf = 180;   // azimuth centre and half width, degrees
  };
  // Fills `out` with the primitives whose bounds hold the sight line at this azimuth and
  // elevation (degrees) on this row; returns how many.
  int Candidates(double azimuth, double elevation, double row, int* out) const;
  Hit TraceAlong(double column, double row, const Vec3& dir) const;

  const Scene& scene_;
  Camera camera_;
  Panorama panorama_;
  double degPerPix_, top_;  // the panorama's, in the precision the sight lines are traced in
  std::vector<Bounds> bounds_;
  // For each band of one row, rows -1 to the panorama's height + 1: the primitives reaching into
  // it.
  std::vector<std::vector<int>> rowBands_;
};

}  // namespace demo
