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

// The blotched wall 20 m north of P0 as each station sees it, with the survey views of the aim
// that the station geometry gives: `p1` is P1 as it stood.
struct WallViews {
  explicit WallViews(const wall::Station& p1)
      : pictures{wall::Render(kStations[0], wall::Blotches, PanoWidth, kTop, kRows),
                 wall::Render(p1, wall::Blotches, PanoWidth, kTop, kRows),
                 wall::Render(kStations[2], wall::Blotches, PanoWidth, kTop, kRows)} {}
  std::vector<std::uint32_t> pictures[3];
  std::array<PanoPixels, 3> panos = {Pano(0), Pano(1), Pano(2)};
  const SolverState s = wall::Survey(kStations);
  search::Aim aim{panos[0], s.CurHor, s.CurVert};
  const std::optional<search::Stations> stations = search::PlaceStations(s);
  const SearchSettings set;
  search::Views views{aim, panos[1], panos[2], *stations, set};
  search::Patch patch{7};
  search::Layout layout{7, 15};
  const std::vector<search::Plane> planes =
      search::PlanesTried(aim.Rays(patch, search::Footprint{}), aim.Ray(), stations->ground);
  const double u = 1 / wall::AimedDistance();

 private:
  PanoPixels Pano(int i) const {
    return {pictures[i].data(), PanoWidth, kRows, PanoWidth, 0, kTop, Panorama()};
  }
};

TEST(Views, TheAimedPatchMatchesAtItsPlaceAndNotBesideIt) {
  WallViews w(kStations[1]);
  // Where the place falls is where each station sees the aimed point (the aim is up to half a
  // pixel off it).
  for (int view = 0; view < 2; ++view) {
    double hor, vert;
    wall::Angles(kStations[view + 1], wall::kAimed, hor, vert);
    const search::Pixel at = w.views.Centre(view, w.u);
    EXPECT_NEAR(std::remainder(at.column - double(Panorama().Column(hor)), PanoWidth), 0, 1);
    EXPECT_NEAR(at.row, double(Panorama().Row(vert)), 1);
  }
  const search::Scored there = w.views.Best(w.patch, w.planes, w.u, w.layout, w.set.slide);
  EXPECT_GT(there.score[0], 0.9);
  EXPECT_GT(there.score[1], 0.9);
  // Three pixels further along the line in either view, the patch does not match.
  for (int view = 0; view < 2; ++view) {
    const double du = 1e-6 * w.u, step = 3 * du / w.views.Moved(view, w.u, du);
    const search::Scored beside =
        w.views.Best(w.patch, w.planes, w.u + step, w.layout, w.set.slide);
    EXPECT_LT(beside.score[view], there.score[view] - 0.3) << view;
  }
}

// P1's picture turned a few pixels from where the station geometry puts it: sought freely, every
// other pixel first and then pixel by pixel, the place is found where the picture shows it.
TEST(Views, TheFreeSearchFindsAPictureTurnedBesideItsPlace) {
  for (const int turned : {0, 5, -7, 11}) {
    wall::Station p1 = kStations[1];
    p1.zero += turned * DegPerPix;
    WallViews w(p1);
    const int plane = w.views.Best(w.patch, w.planes, w.u, w.layout, w.set.slide).plane;
    ASSERT_GE(plane, 0) << turned;
    const search::Views::Free free = w.views.FreeOffset(
        w.patch, w.planes[static_cast<std::size_t>(plane)], w.u, w.layout, 0, 12, 2);
    EXPECT_NEAR(free.offset.column, -turned, 0.3) << turned;
    EXPECT_NEAR(free.offset.row, 0, 0.3) << turned;
    EXPECT_GT(free.best, 0.9) << turned;
  }
}

}  // namespace
