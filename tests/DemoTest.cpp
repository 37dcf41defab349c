// The demo survey end to end: the scene's targets are where the renderer draws them, Torbel's
// solver fed with the station geometry the demo project holds puts them there, and turning the
// distance in centimetre steps until the guide line sits on a target finds its true distance.

#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <cstdio>
#include <optional>
#include <sstream>

#include "geometry/Mapping.h"
#include "io/Decoders.h"
#include "io/ProjectFile.h"
#include "tools/demo/Render.h"
#include "tools/demo/Scene.h"
#include "tools/demo/Survey.h"
#include "tools/demo/Ties.h"

namespace {

using namespace demo;

constexpr double kDeg = 3.14159265358979323846 / 180;
// The demo survey's panoramas, unless a test says otherwise.
const Panorama kClassic;

const Scene& TheScene() {
  static const Scene scene;
  return scene;
}

// Into [-180, 180).
Real Turn(Real degrees) {
  return degrees - 360 * std::floor((degrees + 180) / 360);
}

Real Length(const Vec3& a, const Vec3& b) {
  return demo::Length(a - b);
}

// The station geometry as Torbel reads it back from the demo project's bytes.
SolverState ProjectStations(const Panoramas& panoramas = Panoramas{}) {
  const QByteArray bytes = ProjectFileBytes(MeasuredStations(TheScene(), panoramas),
                                            {"S0.bmp", "S1.bmp", "S2.bmp"}, {}, '.');
  return ReadProject(bytes, SolverState()).state;
}

SolverState Solved(SolverState s, const Direction& p0, Real distance) {
  s.CurHor = p0.hor;
  s.CurVert = p0.vert;
  s.CurDist = distance;
  SolvePoint(s);
  return s;
}

Direction SolvedIn(const SolverState& s, int station) {
  return station == 1 ? Direction{s.P1Hor, s.P1Vert} : Direction{s.P2Hor, s.P2Vert};
}

const Direction& TruthIn(const TargetTruth& t, int station) {
  return station == 1 ? t.p1 : t.p2;
}

TEST(DemoScene, EveryStationSeesEveryTargetWholeAndFaceOn) {
  const Scene& scene = TheScene();
  for (std::size_t i = 0; i < scene.Targets().size(); ++i) {
    const Target& target = scene.Targets()[i];
    const Vec3 right{-target.normal.y, target.normal.x, 0};
    for (int k = 0; k < 3; ++k) {
      SCOPED_TRACE(target.name + " from P" + std::to_string(k));
      const Vec3 eye = scene.Cameras()[static_cast<std::size_t>(k)].eye;
      // Seen at less than 70 degrees from square on, so that its quarters can be told apart.
      EXPECT_LT(Dot(Normalized(target.centre - eye), target.normal), -std::cos(70 * kDeg));
      // Its centre and a ring round it are in sight: nothing stands in front of the face.
      for (int n = -1; n < 8; ++n) {
        const double angle = n * 45 * kDeg, reach = n < 0 ? 0 : 0.8 * target.radius;
        const Vec3 point =
            target.centre + right * (reach * std::cos(angle)) + Vec3{0, 0, reach * std::sin(angle)};
        const Vec3 dir = Normalized(point - eye);
        const Hit hit = scene.Trace(eye, dir);
        const Sample seen = scene.Shade(eye, dir, hit, 1e-4);
        EXPECT_EQ(KindOf(seen.key), Kind::Target) << n;
        EXPECT_EQ(IndexOf(seen.key), i) << n;
        EXPECT_LE(PartOf(seen.key), std::uint32_t{kLowerRight}) << n;  // the front, not the back
        EXPECT_NEAR(hit.t, Length(point, eye), 1e-6) << n;
      }
    }
  }
}

TEST(DemoSurvey, TheProjectAimsAtTheStationMarksAndTapesTheirDistances) {
  const Scene& scene = TheScene();
  struct Aim {
    int from, to;
    Real hor, vert;
  };
  // The classic panoramas, and three of other sizes, one a crop: each station aims in its own.
  for (const Panoramas& panoramas :
       {Panoramas{},
        Panoramas{Panorama(5376, 2688), Panorama(3000, 900, 417), Panorama(11008, 5504)}}) {
    const SolverState s = ProjectStations(panoramas);
    const Aim aims[] = {{0, 1, s.P0zu1Hor, s.P0zu1Vert},
                        {0, 2, s.P0zu2Hor, s.P0zu2Vert},
                        {1, 0, s.P1zu0Hor, s.P1zu0Vert},
                        {2, 0, s.P2zu0Hor, s.P2zu0Vert}};
    for (const Aim& aim : aims) {
      const Panorama& own = panoramas[static_cast<std::size_t>(aim.from)];
      const std::string line = "P" + std::to_string(aim.from) + " to P" + std::to_string(aim.to) +
                               " (" + std::to_string(own.Width()) + " wide)";
      SCOPED_TRACE(line);
      const Camera& camera = scene.Cameras()[static_cast<std::size_t>(aim.from)];
      const Vec3 mark = scene.GroundPoints()[static_cast<std::size_t>(aim.to)];
      // Nothing stands between the camera and the mark's centre.
      const Hit hit = scene.Trace(camera.eye, Normalized(mark - camera.eye));
      EXPECT_EQ(hit.prim, -1);
      EXPECT_NEAR(hit.t, Length(mark, camera.eye), 1e-6);
      // The aimed pixel shows the mark, and is the one its centre falls in.
      const Pixel aimed = NearestPixel(own, {aim.hor, aim.vert});
      const Sample seen = View(scene, aim.from, own).At(aimed.x, aimed.y);
      EXPECT_EQ(KindOf(seen.key), Kind::Mark);
      EXPECT_EQ(IndexOf(seen.key), static_cast<std::uint32_t>(aim.to));
      // At the centre of a pixel of the station's own panorama, as the user clicks it there.
      EXPECT_NEAR(own.Column(aim.hor), aimed.x, 1e-6);
      EXPECT_NEAR(own.Row(aim.vert), aimed.y, 1e-6);
      const Direction exact = Project(camera, mark);
      const Real horOff = Turn(aim.hor - exact.hor) * own.PixPerDeg();
      const Real vertOff = (aim.vert - exact.vert) * own.PixPerDeg();
      EXPECT_LE(std::abs(horOff), 0.5L + 1e-9L);
      EXPECT_LE(std::abs(vertOff), 0.5L + 1e-9L);
      std::printf("%s aimed %+.2Lf px across, %+.2Lf px up from the mark's centre\n", line.c_str(),
                  horOff, -vertOff);
    }
  }
  const SolverState s = ProjectStations();
  const auto& ground = scene.GroundPoints();
  for (int k = 1; k <= 2; ++k) {
    const Real taped = k == 1 ? s.DistP0P1 : s.DistP0P2;
    const Real truth = Length(ground[static_cast<std::size_t>(k)], ground[0]);
    EXPECT_LE(std::abs(taped - truth), 0.005L + 1e-12L);
    std::printf("P0 to P%d taped %.2Lf m, %+.1Lf mm from the truth\n", k, taped,
                (taped - truth) * 1000);
  }
}

TEST(DemoSurvey, ATiltedSurveyIsAimedToAHundredthOfAPixelAndTapedWithItsErrors) {
  Scene scene;
  scene.SetTilts({{{0.3, -0.2}, {-0.4, 0.25}, {0.1, 0.5}}});
  const SolverState s = MeasuredStations(scene, Panoramas{}, {true, {0.018, -0.012}});
  const SolverState exact = ExactStations(scene);
  const std::pair<Real, Real> aims[] = {
      {s.P0zu1Hor, exact.P0zu1Hor}, {s.P0zu1Vert, exact.P0zu1Vert},
      {s.P0zu2Hor, exact.P0zu2Hor}, {s.P0zu2Vert, exact.P0zu2Vert},
      {s.P1zu0Hor, exact.P1zu0Hor}, {s.P1zu0Vert, exact.P1zu0Vert},
      {s.P2zu0Hor, exact.P2zu0Hor}, {s.P2zu0Vert, exact.P2zu0Vert}};
  for (const auto& [aimed, truth] : aims)
    EXPECT_LE(std::abs(Turn(aimed - truth)) * kClassic.PixPerDeg(), 0.005L + 1e-9L);
  EXPECT_NEAR(s.DistP0P1, exact.DistP0P1 + 0.018L, 0.005L + 1e-12L);
  EXPECT_NEAR(s.DistP0P2, exact.DistP0P2 - 0.012L, 0.005L + 1e-12L);
}

// Where the four quarters of a target meet in the rendered image, found to a quarter pixel: the
// mean of the 2 x 2 sample blocks that hold all four. The samples are offset by an eighth of a
// pixel from the guess, so that a boundary through the guess does not run along a row of them.
std::optional<std::pair<double, double>> DrawnCentre(const View& view, std::uint32_t target,
                                                     double column, double row) {
  constexpr int kReach = 12;  // quarter pixels either side
  std::uint32_t part[2 * kReach + 1][2 * kReach + 1];
  for (int j = 0; j <= 2 * kReach; ++j) {
    for (int i = 0; i <= 2 * kReach; ++i) {
      const Sample s = view.At(column + (i - kReach + 0.5) / 4.0, row + (j - kReach + 0.5) / 4.0);
      const bool face =
          KindOf(s.key) == Kind::Target && IndexOf(s.key) == target && PartOf(s.key) <= kLowerRight;
      part[j][i] = face ? PartOf(s.key) : 99;
    }
  }
  double sumX = 0, sumY = 0;
  int blocks = 0;
  for (int j = 0; j < 2 * kReach; ++j) {
    for (int i = 0; i < 2 * kReach; ++i) {
      unsigned seen = 0;
      for (int n = 0; n < 4; ++n) {
        const std::uint32_t p = part[j + n / 2][i + n % 2];
        if (p < 4) seen |= 1u << p;
      }
      if (seen != 0xf) continue;
      sumX += column + (i + 1 - kReach) / 4.0;
      sumY += row + (j + 1 - kReach) / 4.0;
      ++blocks;
    }
  }
  if (blocks == 0) return std::nullopt;
  return std::pair{sumX / blocks, sumY / blocks};
}

// Tilted by whole degrees, so that a sight line traced past the wrong primitives misses a target.
Scene TiltedScene() {
  Scene scene;
  scene.SetTilts({{{2.5, -3}, {-3.5, 1.5}, {1, 4}}});
  return scene;
}

TEST(DemoCamera, TiltTurnsThePictureAsPhotoSpherePoseSays) {
  struct Case {
    double pitch, roll;
    Real hor;        // a direction on the picture's own horizon
    Real elevation;  // where it looks in the level world
  };
  // A positive pitch raises the picture's centre; a positive roll lowers its hor 90.
  const Case cases[] = {{4, 0, 0, 4},   {-4, 0, 0, -4}, {0, 4, 90, -4},
                        {0, 4, 270, 4}, {0, -4, 90, 4}, {4, 3, 180, -4}};
  for (const Case& c : cases) {
    SCOPED_TRACE("pitch " + std::to_string(c.pitch) + ", roll " + std::to_string(c.roll) +
                 ", hor " + std::to_string(static_cast<double>(c.hor)));
    const Camera camera{{1, 2, 3}, 161.7, c.pitch, c.roll};
    const Vec3 dir = RayDirection(camera, kClassic, static_cast<double>(kClassic.Column(c.hor)),
                                  static_cast<double>(kClassic.Row(0)));
    EXPECT_NEAR(std::asin(dir.z) / kDeg, c.elevation, 1e-9);
  }
  // Projecting a sight line gives back the place between the pixels it came from.
  for (const demo::Tilt tilt : {demo::Tilt{0.3, -0.2}, demo::Tilt{-7, 12}, demo::Tilt{25, -40}}) {
    const Camera camera{{1, 2, 3}, 161.7, tilt.pitch, tilt.roll};
    for (const auto& [column, row] : {std::pair{0.25, 10.5},
                                      {4080.0, 2040.0},
                                      {6120.3, 1500.7},
                                      {8159.6, 3059.0},
                                      {1234.5, 40.2}}) {
      SCOPED_TRACE(std::to_string(tilt.pitch) + " " + std::to_string(column) + " " +
                   std::to_string(row));
      const Direction d =
          Project(camera, camera.eye + RayDirection(camera, kClassic, column, row) * 37);
      EXPECT_NEAR(Turn(d.hor - kClassic.HorAt(column)), 0, 1e-9);
      EXPECT_NEAR(d.vert, kClassic.VertAt(row), 1e-9);
    }
  }
}

TEST(DemoScene, RenderedTargetCentresLieWhereTheCameraModelProjectsThem) {
  for (const Scene& scene : {TheScene(), TiltedScene()})
    for (int k = 0; k < 3; ++k) {
      const View view(scene, k, kClassic);
      for (std::size_t i = 0; i < scene.Targets().size(); ++i) {
        const Target& target = scene.Targets()[i];
        SCOPED_TRACE(target.name + " in P" + std::to_string(k) +
                     (view.camera().Level() ? "" : ", tilted"));
        const Direction d = Project(view.camera(), target.centre);
        const double column = static_cast<double>(kClassic.Column(d.hor));
        const double row = static_cast<double>(kClassic.Row(d.vert));
        const auto drawn = DrawnCentre(view, static_cast<std::uint32_t>(i), column, row);
        ASSERT_TRUE(drawn.has_value());
        EXPECT_NEAR(drawn->first, column, 0.25);
        EXPECT_NEAR(drawn->second, row, 0.25);
      }
    }
}

// Read back from the text as ties.truth holds it, each tie point lies where the camera model
// shows it in every picture, in sight of all three stations, and apart from the targets and the
// other ties.
TEST(DemoSurvey, TiePointsAreSeenWhereTheyAreListedByAllThreeStationsOffTheTargets) {
  const Scene scene = TiltedScene();
  const auto& cams = scene.Cameras();
  std::vector<Vec3> centres;
  for (const Target& t : scene.Targets()) centres.push_back(t.centre);
  std::istringstream text(TiesText(TiePoints(cams, Panoramas{}, centres, SightLines(scene))));
  std::string line;
  std::getline(text, line);
  std::vector<Vec3> ties;
  while (std::getline(text, line)) {
    SCOPED_TRACE(line);
    char name[8];
    double angles[6];
    Vec3 p;
    ASSERT_EQ(
        std::sscanf(line.c_str(), "%7s %lf %lf %lf %lf %lf %lf %lf %lf %lf", name, &angles[0],
                    &angles[1], &angles[2], &angles[3], &angles[4], &angles[5], &p.x, &p.y, &p.z),
        10);
    EXPECT_LE(Length(p, cams[0].eye), kTieReach);
    for (std::size_t k = 0; k < 3; ++k) {
      const Direction d = Project(cams[k], p);
      EXPECT_NEAR(Turn(d.hor - angles[2 * k]), 0, 1e-4) << k;
      EXPECT_NEAR(d.vert, angles[2 * k + 1], 1e-4) << k;
      EXPECT_NEAR(scene.Trace(cams[k].eye, Normalized(p - cams[k].eye)).t, Length(p, cams[k].eye),
                  kTieSightSlack)
          << k;
    }
    for (const Vec3& c : centres) EXPECT_GE(Length(p, c), kTieOffTarget);
    for (const Vec3& other : ties) EXPECT_GE(Length(p, other), kTieSpacing);
    ties.push_back(p);
  }
  EXPECT_EQ(ties.size(), std::size_t{kTieCount});
}

TEST(DemoBitmap, RenderedWindowReadsBackThroughTorbelsLoaderTheRightWayUp) {
  // T01, three metres from P0, fills this odd-width window (its rows need padding).
  const Scene& scene = TheScene();
  const View view(scene, 0, kClassic);
  const Direction d = Project(view.camera(), scene.Targets()[0].centre);
  const Pixel centre = NearestPixel(kClassic, d);
  constexpr int kW = 21, kH = 15;
  const auto rgb = RenderWindow(view, centre.x - kW / 2, centre.y - kH / 2, kW, kH);
  const auto bmp = BmpBytes(kW, kH, rgb);
  ASSERT_EQ(bmp.size(), 54u + 64u * kH);
  ImageSource source(bmp.data(), bmp.size());
  const QImage image = DecodeBitmap(source).Image;
  ASSERT_EQ(image.width(), kW);
  ASSERT_EQ(image.height(), kH);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      const std::uint8_t* p = &rgb[static_cast<std::size_t>(y * kW + x) * 3];
      ASSERT_EQ(image.pixel(x, y), qRgb(p[0], p[1], p[2])) << x << "," << y;
    }
  }
  // Upper right and lower left are black, the other two quarters white.
  auto grey = [&](int dx, int dy) { return qGray(image.pixel(kW / 2 + dx, kH / 2 + dy)); };
  EXPECT_LT(grey(5, -5), 40);
  EXPECT_GT(grey(-5, -5), 200);
  EXPECT_LT(grey(-5, 5), 40);
  EXPECT_GT(grey(5, 5), 200);
}

TEST(DemoSurvey, SolvedPositionsLieOnTheRenderedTargets) {
  const Scene& scene = TheScene();
  const SolverState exact = ExactStations(scene);
  const SolverState measured = ProjectStations();
  for (const TargetTruth& t : Truth(scene)) {
    for (int station = 1; station <= 2; ++station) {
      SCOPED_TRACE(t.name + " in P" + std::to_string(station));
      const Direction truth = TruthIn(t, station);
      // The solver's model is exact for stations at different heights: with the camera model's
      // own station geometry it lands on the target's centre.
      const Direction ideal = SolvedIn(Solved(exact, t.p0, t.distance), station);
      EXPECT_NEAR(Turn(ideal.hor - truth.hor) * kClassic.PixPerDeg(), 0, 1e-6);
      EXPECT_NEAR((ideal.vert - truth.vert) * kClassic.PixPerDeg(), 0, 1e-6);
      // With the geometry the user measured (pixel-rounded aims, centimetre-rounded tape) it
      // lands within a pixel of it.
      const Direction got = SolvedIn(Solved(measured, t.p0, t.distance), station);
      EXPECT_LE(std::abs(Turn(got.hor - truth.hor) * kClassic.PixPerDeg()), 1);
      EXPECT_LE(std::abs((got.vert - truth.vert) * kClassic.PixPerDeg()), 1);
    }
  }
}

// How far the distance must change to move the target's image in the station's panorama by one
// pixel sideways, with the model's own geometry.
Real MetresPerPixel(const SolverState& exact, const TargetTruth& t, int station) {
  constexpr Real h = 0.001L;
  const Real a = SolvedIn(Solved(exact, t.p0, t.distance - h), station).hor;
  const Real b = SolvedIn(Solved(exact, t.p0, t.distance + h), station).hor;
  return 2 * h / std::abs(Turn(b - a) * kClassic.PixPerDeg());
}

struct Search {
  Real lo = 0, hi = 0;    // the distances, in whole centimetres, that put the guide on the column
  bool onColumn = false;  // false: the steps jump over the column; lo = hi is the nearest step
  Real Found() const { return (lo + hi) / 2; }
};

// What the user does with + and -: starting at 5 m, step by a centimetre towards the target's
// column until the guide line stands on it, then find how far it stays there.
Search SearchColumn(const SolverState& s, const TargetTruth& t, int station) {
  const std::int32_t column = NearestPixel(kClassic, TruthIn(t, station)).x;
  auto guide = [&](long cm) { return SolvedIn(Solved(s, t.p0, cm / 100.0L), station).hor; };
  auto offset = [&](long cm) {
    return Turn(guide(cm) - kClassic.PixelToHor(column)) * kClassic.PixPerDeg();
  };
  auto onColumn = [&](long cm) {
    return kClassic.Wrapped(kClassic.HorToPixel(guide(cm))) == column;
  };
  long cm = 500;
  const long step = (offset(cm + 1) - offset(cm) > 0) == (offset(cm) > 0) ? -1 : 1;
  while (!onColumn(cm)) {
    const Real before = offset(cm);
    cm += step;
    if ((offset(cm) > 0) != (before > 0) && !onColumn(cm)) {
      // Jumped over the column: the nearer of the two steps is as close as one gets.
      if (std::abs(before) < std::abs(offset(cm))) cm -= step;
      return {cm / 100.0L, cm / 100.0L, false};
    }
    if (cm < 10 || cm > 100000) {
      ADD_FAILURE() << "the guide line never reaches the target's column";
      return {};
    }
  }
  long lo = cm, hi = cm;
  while (onColumn(lo - 1)) --lo;
  while (onColumn(hi + 1)) ++hi;
  return {lo / 100.0L, hi / 100.0L, true};
}

// The table shows, per survey station: the distance found and its error in millimetres and in
// pixels (of the target's sideways shift in that panorama), how many millimetres one pixel is
// worth there, and how far off the guide line stands at the true distance, in pixels.
TEST(DemoSurvey, TurningTheDistanceOntoTheTargetFindsItsTrueDistance) {
  const Scene& scene = TheScene();
  const SolverState exact = ExactStations(scene);
  const SolverState measured = ProjectStations();
  std::printf("target   true m |%s |%s\n", "    P1: found m  err mm  err px   mm/px  guide px",
              "    P2: found m  err mm  err px   mm/px  guide px");
  for (const TargetTruth& t : Truth(scene)) {
    std::printf("%-6s %8.3Lf", t.name.c_str(), t.distance);
    for (int station = 1; station <= 2; ++station) {
      SCOPED_TRACE(t.name + " in P" + std::to_string(station));
      const Search search = SearchColumn(measured, t, station);
      const Real perPixel = MetresPerPixel(exact, t, station);
      const Real error = search.Found() - t.distance;
      const Real guide = Turn(SolvedIn(Solved(measured, t.p0, t.distance), station).hor -
                              TruthIn(t, station).hor) *
                         kClassic.PixPerDeg();
      std::printf(" | %s%10.3Lf %7.1Lf %7.2Lf %7.1Lf %9.2Lf", search.onColumn ? " " : "~",
                  search.Found(), error * 1000, error / perPixel, perPixel * 1000, guide);
      // The midpoint of the distances that show the target's column misses by the target's place
      // within its pixel (up to half a pixel) plus the guide's offset at the true distance, which
      // the pixel-rounded station directions cause (the column above, within a pixel). For this
      // scene the sum stays below one pixel's worth of distance: the user finds every target to
      // the resolution the panoramas allow.
      EXPECT_LE(std::abs(error), std::max(perPixel, 0.005L));
    }
    std::printf("\n");
  }
}

// A target 10 m north of P0, on a wall across the north or on a disc of its own before a wall
// further back, and stations placed round it: how much of the target's own surface in the
// footprint each sees and how large, and whether that lets the search be held to it.
TEST(DemoSight, AStationMustSeeTheTargetsSurfaceWholeWithStructureAndAtAFifthOfP0sScale) {
  const Camera p0{{0, 0, 0}};
  const Panorama panorama;
  const Pixel aimed = NearestPixel(panorama, Project(p0, {0, 10, 0}));
  struct Case {
    const char* name;
    Vec3 eye;
    double disc;  // the radius of a disc at the target, facing P0; 0: the target is on the wall
    double wall;  // the wall's y
    bool post;    // a post hides the wall's western half from the station
    double spread, seenLo, seenHi, span;
    bool allowed;
  };
  const double across = kFootprintPixels - 1;
  const Case cases[] = {
      {"beside P0", {1, 0, 0}, 0, 10, false, 50, 1, 1, across, true},
      {"60 degrees aside", {8.66, 5, 0}, 0, 10, false, 50, 1, 1, across / 2, true},
      {"45 m off: 0.22 of the scale", {0, -35, 0}, 0, 10, false, 50, 1, 1, across / 4.5, true},
      {"60 m off: 0.17 of the scale", {0, -50, 0}, 0, 10, false, 50, 1, 1, across / 6, false},
      {"half behind a post", {1, 0, 0}, 0, 10, true, 50, 0.4, 0.6, across, false},
      {"behind the wall", {0, 20, 0}, 0, 10, false, 50, 0, 0, across, false},
      {"flat", {1, 0, 0}, 0, 10, false, 3.9, 1, 1, across, false},
      // The disc hides some of the wall beside it from the station, but none of itself.
      {"a disc before a wall, beside P0", {1, 0, 0}, 0.06, 10.5, false, 50, 1, 1, across, true},
      // The far wall's points would look three times as large as the disc's.
      {"a disc 60 m off, a far wall", {0, -50, 0}, 0.06, 100, false, 50, 1, 1, across / 6, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SceneTrace trace = [&](const Vec3& origin, const Vec3& dir) {
      const double t = (10 - origin.y) / dir.y;
      const Vec3 at = origin + dir * t;
      if (c.post && Length(origin, c.eye) < 1e-9 && at.x < 0) return SurfaceHit{t / 2, {}, 2};
      if (c.disc == 0 || (t > 0 && Length(at, {0, 10, 0}) <= c.disc))
        return SurfaceHit{t, {0, -1, 0}, 1};
      return SurfaceHit{(c.wall - origin.y) / dir.y, {0, -1, 0}, 0};
    };
    const FootprintSight sight = SightOf(FootprintRays(p0, panorama, aimed.x, aimed.y), p0.eye,
                                         {0, -1, 0}, Camera{c.eye}, panorama, trace);
    EXPECT_GE(sight.seen, c.seenLo);
    EXPECT_LE(sight.seen, c.seenHi);
    EXPECT_EQ(sight.whole, c.seenLo == 1);
    EXPECT_NEAR(sight.span, c.span, 0.03 * c.span);
    EXPECT_EQ(Allowed(sight, c.spread), c.allowed);
  }
}

// P0 sees every target's disc in the footprint whole, and the footprint laid on the disc's plane
// as its own pixels: from the first to the last across, whether or not some of them show the sky.
TEST(DemoSight, P0SeesEachTargetsFootprintWholeAtItsOwnScale) {
  const Scene& scene = TheScene();
  const Camera& p0 = scene.Cameras()[0];
  const std::vector<TargetTruth> truth = Truth(scene);
  for (std::size_t i = 0; i < truth.size(); ++i) {
    const TargetTruth& t = truth[i];
    SCOPED_TRACE(t.name);
    const Pixel aimed = NearestPixel(kClassic, t.p0);
    const FootprintSight sight =
        SightOf(FootprintRays(p0, kClassic, aimed.x, aimed.y), p0.eye, scene.Targets()[i].normal,
                p0, kClassic, SightLines(scene));
    EXPECT_TRUE(sight.whole);
    EXPECT_NEAR(sight.span, kFootprintPixels - 1, 0.01);
  }
}

}  // namespace
