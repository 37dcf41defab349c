#pragma once

#include <string>
#include <vector>

#include "geometry/Solver.h"
#include "tools/demo/Scene.h"
#include "tools/demo/Sight.h"

namespace demo {

struct Pixel {
  int x = 0, y = 0;
};

// The panoramas of P0, P1 and P2, each of its own size (by default all three classic).
using Panoramas = std::array<Panorama, 3>;

// The pixel a direction falls in, its column wrapped into the panorama.
Pixel NearestPixel(const Panorama& panorama, const Direction& d);
// The direction Torbel reads from a pixel.
Direction PixelDirection(const Panorama& panorama, const Pixel& p);

// How carefully the station geometry is measured: each station's ground mark aimed at to the
// pixel, or zoomed in to a hundredth of one; and what the tape adds to the distances P0-P1 and
// P0-P2 (metres).
struct Measuring {
  bool zoomedIn = false;
  std::array<double, 2> tapeErrors = {0, 0};
};

// The station geometry as a user measures it on the rendered panoramas: each station's ground mark
// aimed at in the pixel of the aiming station's own panorama that holds its centre, the distances
// taped from P0's ground point and rounded to the centimetre.
SolverState MeasuredStations(const Scene& scene, const Panoramas& panoramas,
                             const Measuring& measuring = {});
// The same for any three cameras standing kNodalHeight above their ground points.
SolverState MeasuredStations(const std::array<Camera, 3>& cameras,
                             const std::array<Vec3, 3>& grounds, const Panoramas& panoramas,
                             const Measuring& measuring = {});
// The same without rounding: what the camera model itself says.
SolverState ExactStations(const Scene& scene);
SolverState ExactStations(const std::array<Camera, 3>& cameras, const std::array<Vec3, 3>& grounds);

// The survey's true frame, one "key value" a line: the cameras' tilts (p0pitch, p0roll, ...), the
// station values a perfect surveyor enters (P0zu1Hor ... P2zu0Vert, DistP0P1, DistP0P2), each
// camera's eye and ground point (p0eyex, p0eyey, p0eyez, p0groundx, ...) and zero (p0zero, ...).
std::string FrameText(const std::array<Camera, 3>& cameras, const std::array<Vec3, 3>& grounds);

// A target's true directions in the three panoramas and its distance from P0's nodal point.
struct TargetTruth {
  std::string name;
  Direction p0, p1, p2;
  Real distance = 0;
  // How much picture each station sees over the target's footprint, the scene that
  // kFootprintPixels x kFootprintPixels pixels of P0's panorama around the target show: the
  // standard deviation of the grey value (0...255) at the footprint's points as each station's
  // own pixels see them.
  double spread[3] = {0, 0, 0};
  // How P1 and P2 see the footprint.
  FootprintSight sight[2];
  // Whether the distance search is held to the target: both P1 and P2 see it as Allowed says.
  bool Allowed() const;
};
std::vector<TargetTruth> Truth(const Scene& scene);
// The scene's sight lines as SightOf and TiePoints follow them: every primitive a surface of its
// own and the ground one more, without normals, for the stations see each from outside (a
// target's disc from its front).
SceneTrace SightLines(const Scene& scene);
// The scene points that the footprint's pixels of P0's view around the target's pixel show; none
// for the sky.
std::vector<Vec3> Footprint(const View& p0, const Direction& target);
// Works out TargetTruth::spread and TargetTruth::sight; `truth` as Truth gives it, a target after
// the other in the scene's order.
void AddSpreads(const Scene& scene, const Panoramas& panoramas, std::vector<TargetTruth>& truth);
// One line per target under a header line.
std::string TruthText(const std::vector<TargetTruth>& truth);

}  // namespace demo
