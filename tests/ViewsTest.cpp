#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "geometry/search/Views.h"
#include "tests/ClassicPanorama.h"
#include "tests/WallScene.h"

namespace {

constexpr int kTop = 1600, kRows = 700;  // the rows around the horizon
const wall::Station kStations[3] = {
    {wall::kGrounds[0], 17}, {wall::kGrounds[1], 131}, {wall::kGrounds[2], 250}};

// The blotched wall 20 m north of P0, as the survey views see it from where the aim points.
TEST(Views, TheAimedPatchMatchesAtItsPlaceAndNotBesideIt) {
  const SolverState s = wall::Survey(kStations);
  std::vector<std::uint32_t> pictures[3];
  std::array<PanoPixels, 3> panos;
  for (int i = 0; i < 3; ++i) {
    pictures[i] = wall::Render(kStations[i], wall::Blotches, PanoWidth, kTop, kRows);
    panos[i] = {pictures[i].data(), PanoWidth, kRows, PanoWidth, 0, kTop, Panorama()};
  }
  search::Aim aim(panos[0], s.CurHor, s.CurVert);
  const std::optional<search::Stations> stations = search::PlaceStations(s);
  ASSERT_TRUE(stations);
  const SearchSettings set;
  search::Views views(aim, panos[1], panos[2], *stations, set);
  search::Patch patch(7);
  search::Layout layout(7, 15);
  const double u = 1 / wall::AimedDistance();

  // Where the place falls is where each station sees the aimed point (the aim is up to half a
  // pixel off it).
  for (int view = 0; view < 2; ++view) {
    double hor, vert;
    wall::Angles(kStations[view + 1], wall::kAimed, hor, vert);
    const search::Pixel at = views.Centre(view, u);
    EXPECT_NEAR(std::remainder(at.column - double(Panorama().Column(hor)), PanoWidth), 0, 1);
    EXPECT_NEAR(at.row, double(Panorama().Row(vert)), 1);
  }
  const std::vector<search::Plane> planes =
      search::PlanesTried(aim.Rays(patch, search::Footprint{}), aim.Ray(), stations->ground);
  const search::Scored there = views.Best(patch, planes, u, layout, set.slide);
  EXPECT_GT(there.score[0], 0.9);
  EXPECT_GT(there.score[1], 0.9);
  // Three pixels further along the line in either view, the patch does not match.
  for (int view = 0; view < 2; ++view) {
    const double du = 1e-6 * u, step = 3 * du / views.Moved(view, u, du);
    const search::Scored beside = views.Best(patch, planes, u + step, layout, set.slide);
    EXPECT_LT(beside.score[view], there.score[view] - 0.3) << view;
  }
}

}  // namespace
