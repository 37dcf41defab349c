#include "tools/demo/Survey.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace demo {

namespace {

Real Distance(const Vec3& a, const Vec3& b) {
  const Real dx = static_cast<Real>(a.x) - b.x, dy = static_cast<Real>(a.y) - b.y,
             dz = static_cast<Real>(a.z) - b.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// `aim` turns the camera model's direction, seen from the station it is given, into the one
// entered.
template <typename Aim>
SolverState Stations(const std::array<Camera, 3>& cams, const std::array<Vec3, 3>& ground, Aim aim,
                     bool taped, const std::array<double, 2>& tapeErrors = {0, 0}) {
  SolverState s;
  s.NodalHeight = kNodalHeight;
  const Direction p0to1 = aim(0, Project(cams[0], ground[1]));
  const Direction p0to2 = aim(0, Project(cams[0], ground[2]));
  const Direction p1to0 = aim(1, Project(cams[1], ground[0]));
  const Direction p2to0 = aim(2, Project(cams[2], ground[0]));
  s.P0zu1Hor = p0to1.hor, s.P0zu1Vert = p0to1.vert;
  s.P0zu2Hor = p0to2.hor, s.P0zu2Vert = p0to2.vert;
  s.P1zu0Hor = p1to0.hor, s.P1zu0Vert = p1to0.vert;
  s.P2zu0Hor = p2to0.hor, s.P2zu0Vert = p2to0.vert;
  s.DistP0P1 = Distance(ground[0], ground[1]) + tapeErrors[0];
  s.DistP0P2 = Distance(ground[0], ground[2]) + tapeErrors[1];
  if (taped) {
    s.DistP0P1 = std::round(s.DistP0P1 * 100) / 100;
    s.DistP0P2 = std::round(s.DistP0P2 * 100) / 100;
  }
  return s;
}

}  // namespace

Pixel NearestPixel(const Panorama& panorama, const Direction& d) {
  return {panorama.Wrapped(panorama.HorToPixel(d.hor)), panorama.VertToPixel(d.vert)};
}

Direction PixelDirection(const Panorama& panorama, const Pixel& p) {
  return {panorama.PixelToHor(p.x), panorama.PixelToVert(p.y)};
}

SolverState MeasuredStations(const std::array<Camera, 3>& cameras,
                             const std::array<Vec3, 3>& grounds, const Panoramas& panoramas,
                             const Measuring& measuring) {
  return Stations(
      cameras, grounds,
      [&](int from, const Direction& d) {
        const Panorama& own = panoramas[static_cast<std::size_t>(from)];
        if (!measuring.zoomedIn) return PixelDirection(own, NearestPixel(own, d));
        auto hundredth = [](Real pixels) { return std::round(pixels * 100) / 100; };
        return Direction{own.HorAt(hundredth(own.Column(d.hor))),
                         own.VertAt(hundredth(own.Row(d.vert)))};
      },
      true, measuring.tapeErrors);
}

SolverState MeasuredStations(const Scene& scene, const Panoramas& panoramas,
                             const Measuring& measuring) {
  return MeasuredStations(scene.Cameras(), scene.GroundPoints(), panoramas, measuring);
}

SolverState ExactStations(const std::array<Camera, 3>& cameras,
                          const std::array<Vec3, 3>& grounds) {
  return Stations(
      cameras, grounds, [](int, const Direction& d) { return d; }, false);
}

SolverState ExactStations(const Scene& scene) {
  return ExactStations(scene.Cameras(), scene.GroundPoints());
}

std::string FrameText(const std::array<Camera, 3>& cameras, const std::array<Vec3, 3>& grounds) {
  std::string text;
  auto put = [&](const std::string& key, long double value) {
    char line[96];
    std::snprintf(line, sizeof line, "%s %.12Lf\n", key.c_str(), value);
    text += line;
  };
  for (std::size_t k = 0; k < 3; ++k) {
    const std::string p = "p" + std::to_string(k);
    put(p + "pitch", cameras[k].pitch);
    put(p + "roll", cameras[k].roll);
  }
  const SolverState s = ExactStations(cameras, grounds);
  put("P0zu1Hor", s.P0zu1Hor), put("P0zu1Vert", s.P0zu1Vert), put("DistP0P1", s.DistP0P1);
  put("P0zu2Hor", s.P0zu2Hor), put("P0zu2Vert", s.P0zu2Vert), put("DistP0P2", s.DistP0P2);
  put("P1zu0Hor", s.P1zu0Hor), put("P1zu0Vert", s.P1zu0Vert);
  put("P2zu0Hor", s.P2zu0Hor), put("P2zu0Vert", s.P2zu0Vert);
  for (std::size_t k = 0; k < 3; ++k) {
    const std::string p = "p" + std::to_string(k);
    for (const auto& [name, at] : {std::pair{"eye", cameras[k].eye}, {"ground", grounds[k]}}) {
      put(p + name + "x", at.x);
      put(p + name + "y", at.y);
      put(p + name + "z", at.z);
    }
    put(p + "zero", cameras[k].zero);
  }
  return text;
}

bool TargetTruth::Allowed() const {
  return demo::Allowed(sight[0], spread[1]) && demo::Allowed(sight[1], spread[2]);
}

std::vector<TargetTruth> Truth(const Scene& scene) {
  const auto& cams = scene.Cameras();
  std::vector<TargetTruth> truth;
  for (const Target& t : scene.Targets()) {
    TargetTruth entry;
    entry.name = t.name;
    entry.p0 = Project(cams[0], t.centre);
    entry.p1 = Project(cams[1], t.centre);
    entry.p2 = Project(cams[2], t.centre);
    entry.distance = Distance(cams[0].eye, t.centre);
    truth.push_back(entry);
  }
  return truth;
}

SceneTrace SightLines(const Scene& scene) {
  return [&scene](const Vec3& origin, const Vec3& dir) {
    const Hit hit = scene.Trace(origin, dir);
    return SurfaceHit{hit.t, {}, hit.prim};
  };
}

std::vector<Vec3> Footprint(const View& p0, const Direction& target) {
  const Pixel aimed = NearestPixel(p0.panorama(), target);
  std::vector<Vec3> footprint;
  const int half = kFootprintPixels / 2;
  for (int dy = -half; dy <= half; ++dy)
    for (int dx = -half; dx <= half; ++dx) {
      const double column = aimed.x + dx, row = aimed.y + dy;
      const Hit hit = p0.TraceAt(column, row);
      if (hit.t == kNoHit) continue;
      footprint.push_back(p0.camera().eye +
                          RayDirection(p0.camera(), p0.panorama(), column, row) * hit.t);
    }
  return footprint;
}

void AddSpreads(const Scene& scene, const Panoramas& panoramas, std::vector<TargetTruth>& truth) {
  const View views[3] = {View(scene, 0, panoramas[0]), View(scene, 1, panoramas[1]),
                         View(scene, 2, panoramas[2])};
  for (std::size_t i = 0; i < truth.size(); ++i) {
    TargetTruth& t = truth[i];
    const std::vector<Vec3> footprint = Footprint(views[0], t.p0);
    for (int k = 0; k < 3; ++k) {
      double sum = 0, squares = 0;
      for (const Vec3& point : footprint) {
        const Direction d = Project(views[k].camera(), point);
        const Panorama& own = views[k].panorama();
        const Sample v = views[k].At(static_cast<double>(own.Column(d.hor)),
                                     static_cast<double>(own.Row(d.vert)));
        const double grey = 255 * (77 * v.r + 150 * v.g + 29 * v.b) / 256;
        sum += grey;
        squares += grey * grey;
      }
      const double n = static_cast<double>(footprint.size());
      t.spread[k] = n > 0 ? std::sqrt(std::max(squares / n - (sum / n) * (sum / n), 0.0)) : 0;
    }
    // Its disc, which P0's sight line through the target's pixel meets.
    const Pixel aimed = NearestPixel(panoramas[0], t.p0);
    const std::vector<Vec3> rays =
        FootprintRays(scene.Cameras()[0], panoramas[0], aimed.x, aimed.y);
    for (std::size_t k = 1; k < 3; ++k)
      t.sight[k - 1] = SightOf(rays, scene.Cameras()[0].eye, scene.Targets()[i].normal,
                               scene.Cameras()[k], panoramas[k], SightLines(scene));
  }
}

std::string TruthText(const std::vector<TargetTruth>& truth) {
  std::string text =
      "target hor0 vert0 dist0 hor1 vert1 hor2 vert2 kind spread0 spread1 spread2 seen1 seen2 "
      "span1 span2 allowed (degrees; metres from P0's nodal point; grey levels; shares of the "
      "target's surface in the footprint that P1 and P2 see; the footprint's narrowest extent in "
      "their pixels on that surface; whether F3 is held to the target)\n";
  for (const TargetTruth& t : truth) {
    char line[256];
    std::snprintf(
        line, sizeof line,
        "%s %.6Lf %.6Lf %.4Lf %.6Lf %.6Lf %.6Lf %.6Lf textured %.2f %.2f %.2f %.2f %.2f %.1f "
        "%.1f %s\n",
        t.name.c_str(), t.p0.hor, t.p0.vert, t.distance, t.p1.hor, t.p1.vert, t.p2.hor, t.p2.vert,
        t.spread[0], t.spread[1], t.spread[2], t.sight[0].seen, t.sight[1].seen, t.sight[0].span,
        t.sight[1].span, t.Allowed() ? "yes" : "no");
    text += line;
  }
  return text;
}

}  // namespace demo
