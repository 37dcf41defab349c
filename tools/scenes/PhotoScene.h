#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/demo/Scene.h"
#include "tools/demo/Sight.h"
#include "tools/demo/Survey.h"

// A survey of walls and ground covered with photographs, described by a small text file, rendered
// in Torbel's projection as the demo survey is: to see whether the distance search copes with
// real pictures seen at different angles, exposures and noise.
namespace photo {

using demo::Camera;
using demo::Vec3;

// What a surface offers the distance search, as the truth table names it.
enum class Kind { Textured, Repeating, Plain, Sky };
const char* KindName(Kind kind);

// An RGB picture with its halvings, for sampling at any footprint. Values 0...1.
class Texture {
 public:
  // Loads an image file; sides beyond `maxSide` are scaled down first.
  static Texture Load(const std::string& path, int maxSide);
  static Texture Plain(Vec3 colour);
  // (u, v) in pictures: 0...1 spans the picture once, beyond it the picture repeats; v grows
  // downwards in the picture. `footprint` is the sample's size in pictures.
  Vec3 At(double u, double v, double footprint) const;

 private:
  struct Level {
    int width = 0, height = 0;
    std::vector<float> rgb;
  };
  std::vector<Level> levels_;
  Vec3 Bilinear(const Level& level, double u, double v) const;
};

// A panorama's exposure: out = 255 (gain in)^gamma plus Gaussian noise of `noise` grey levels.
struct Exposure {
  double gain = 1, gamma = 1, noise = 0;
};

struct Surface {
  std::string name;
  Kind kind = Kind::Textured;
  // Walls: the rectangle from `origin` along the horizontal unit `along` for `length` metres and
  // up for `height`. The ground is the plane z = slopeX x + slopeY y.
  bool ground = false;
  Vec3 origin, along;
  double length = 0, height = 0;
  double slopeX = 0, slopeY = 0;
  // Metres one copy of the picture covers, across and up (on the ground: east and north).
  double tileWidth = 1, tileHeight = 1;
  int texture = -1;
  Vec3 Normal() const;
};

struct TargetEntry {
  std::string name;
  std::string surface;  // the surface aimed at, or "sky"
  double a = 0,
         b = 0;  // wall: metres along and above its foot; ground: x, y; sky: azimuth, elevation
};

class Scene {
 public:
  // Reads a scene description; throws std::runtime_error naming the line at fault.
  static Scene Parse(const std::string& text);

  const std::array<Camera, 3>& Cameras() const { return cameras_; }
  const std::array<Vec3, 3>& Grounds() const { return grounds_; }
  const std::array<Exposure, 3>& Exposures() const { return exposures_; }
  const std::vector<TargetEntry>& Targets() const { return targets_; }
  const std::vector<Surface>& Surfaces() const { return surfaces_; }
  // Sets the cameras up off level.
  void SetTilts(const demo::Tilts& tilts);

  // The first surface along a ray: its index, or -1 for the sky; `t` the distance to it.
  int Trace(const Vec3& origin, const Vec3& dir, double& t) const;
  // Linear colour seen along a ray, before exposure; `pixelAngle` is the sample's angle (radians).
  Vec3 Shade(const Vec3& origin, const Vec3& dir, double pixelAngle) const;
  double GroundHeight(double x, double y) const;

 private:
  std::array<Camera, 3> cameras_;
  std::array<Vec3, 3> grounds_;
  std::array<Exposure, 3> exposures_;
  std::vector<Surface> surfaces_;
  std::vector<Texture> textures_;
  std::vector<TargetEntry> targets_;
  Vec3 skyHorizon_{0.78, 0.84, 0.92}, skyZenith_{0.36, 0.52, 0.80};
};

// The scene's sight lines as demo::SightOf and demo::TiePoints follow them. Walls are thin: a
// station behind one sees its other face.
demo::SceneTrace SightLines(const Scene& scene);

// The station's whole panorama as 8-bit RGB, exposed and with noise. A crop holds the very pixels
// of the same rows of its full sphere, noise and all.
std::vector<std::uint8_t> RenderPanorama(const Scene& scene, int station, const Panorama& panorama,
                                         int threads);

// One target as aimed at from P0: the pixel of P0's panorama that holds the named point, the
// surface its centre's sight line meets, and where that point lies in the three panoramas.
struct TargetTruth {
  std::string name;
  Kind kind = Kind::Sky;
  demo::Direction p0, p1, p2;
  Real distance = 0;                // from P0's nodal point; 0 for the sky
  Vec3 point;                       // where P0's sight line meets the surface; none for the sky
  double obliquity[3] = {0, 0, 0};  // degrees between each station's sight line and the normal
  // How much picture each station sees over the target's footprint: the surface that
  // kFootprintPixels x kFootprintPixels pixels of P0's panorama around the target cover. The
  // standard deviation of the grey value without noise, exposed as that station's panorama is, at
  // the footprint's points as the station's own pixels filter the photograph there.
  double spread[3] = {0, 0, 0};
  // How P1 and P2 see the footprint; none for the sky.
  demo::FootprintSight sight[2];
  // Whether the distance search is held to a textured target: both P1 and P2 see it as
  // demo::Allowed says.
  bool Allowed() const;
};
inline constexpr int kFootprintPixels = demo::kFootprintPixels;
// Throws std::runtime_error when a target's point is hidden from a station, misses its surface or
// lies outside a station's panorama.
std::vector<TargetTruth> Truth(const Scene& scene, const demo::Panoramas& panoramas);
std::string TruthText(const std::vector<TargetTruth>& truth);

}  // namespace photo
