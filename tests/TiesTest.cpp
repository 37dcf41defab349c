#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "ties/FindTies.h"
#include "ties/Relative.h"
#include "ties/Tiles.h"

namespace {

constexpr double kRad = std::numbers::pi / 180;

ties::Dir Unit(double az, double el) {
  return {std::sin(az) * std::cos(el), std::cos(az) * std::cos(el), std::sin(el)};
}

ties::Dir Normalised(const std::array<double, 3>& v) {
  const double n = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  return {v[0] / n, v[1] / n, v[2] / n};
}

// Points around two stations 11 m apart, the second turned 73 degrees and tipped a little, seen
// from both; a third of the pairs wrong (the second direction anywhere). The eight-point search
// keeps the right pairs and no wrong one.
TEST(Relative, KeepsThePairsTheStationsAgreeOnAndNoOther) {
  std::mt19937 random(4);
  std::uniform_real_distribution<double> unit(0, 1);
  const double turn = 73 * kRad, tip = 0.4 * kRad;
  const std::array<double, 3> base{11, 2, 0.3};
  const auto seenFromB = [&](const std::array<double, 3>& p) {
    std::array<double, 3> r{p[0] - base[0], p[1] - base[1], p[2] - base[2]};
    // The second camera's frame: turned about z, then tipped about x.
    const double x = std::cos(turn) * r[0] - std::sin(turn) * r[1];
    const double y = std::sin(turn) * r[0] + std::cos(turn) * r[1];
    return Normalised(
        {x, std::cos(tip) * y - std::sin(tip) * r[2], std::sin(tip) * y + std::cos(tip) * r[2]});
  };
  std::vector<ties::Dir> a, b;
  std::vector<bool> right;
  for (int i = 0; i < 300; ++i) {
    const double az = 2 * std::numbers::pi * unit(random), dist = 4 + 40 * unit(random);
    const std::array<double, 3> p{dist * std::sin(az), dist * std::cos(az),
                                  -1.5 + 6 * unit(random)};
    a.push_back(Normalised(p));
    right.push_back(i % 3 != 0);
    b.push_back(right.back() ? seenFromB(p)
                             : Unit(2 * std::numbers::pi * unit(random), (unit(random) - 0.5) * 2));
  }
  const ties::Relative r = ties::EstimateRelative(a, b, 1e-4);
  ASSERT_EQ(r.inlier.size(), a.size()) << r.inliers;
  int kept = 0, wrong = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    kept += r.inlier[i] && right[i];
    wrong += r.inlier[i] && !right[i];
  }
  EXPECT_EQ(kept, 200);
  EXPECT_EQ(wrong, 0);
  // Too few pairs: nothing.
  EXPECT_EQ(
      ties::EstimateRelative({a.begin(), a.begin() + 7}, {b.begin(), b.begin() + 7}, 1e-4).inliers,
      0);
}

// Every direction a panorama shows belongs to exactly one tile, which shows it where it says, and
// the panorama's own positions and directions go back and forth: for the classic 135 degrees, a
// whole sphere and a strip of 60 degrees.
TEST(Tiles, EveryDirectionBelongsToOneTileThatShowsIt) {
  const Panorama shapes[] = {Panorama(8160, 3060), Panorama(4096, 2048),
                             Panorama(6720, 1120, 1120)};
  std::mt19937 random(9);
  std::uniform_real_distribution<double> unit(0, 1);
  for (const Panorama& shape : shapes) {
    const std::vector<ties::Tile> tiles = ties::TilesFor(shape, 0.05);
    for (int i = 0; i < 2000; ++i) {
      const double column = unit(random) * shape.Width(), row = unit(random) * (shape.Height() - 1);
      const ties::Dir d = ties::DirectionOf(shape, column, row);
      double c, r;
      ties::PositionOf(shape, d, c, r);
      EXPECT_NEAR(std::remainder(c - column, shape.Width()), 0, 1e-6);
      EXPECT_NEAR(r, row, 1e-6);
      int owners = 0;
      for (const ties::Tile& t : tiles) {
        if (!t.Owns(d)) continue;
        ++owners;
        double x, y;
        ASSERT_TRUE(t.PositionOf(d, x, y));
        EXPECT_TRUE(x >= 0 && y >= 0 && x < t.width && y < t.height) << x << " " << y;
        const ties::Dir back = t.DirectionAt(x, y);
        EXPECT_NEAR(back[0] * d[0] + back[1] * d[1] + back[2] * d[2], 1, 1e-12);
      }
      EXPECT_EQ(owners, 1) << shape.Width() << ": " << column << " " << row;
    }
  }
}

// Blobs drawn at known places all round a whole-sphere panorama, across the seam and far up, are
// found there to a tenth of a pixel.
TEST(Features, AreFoundWhereTheBlobsAre) {
  const Panorama shape(4096, 2048);
  const int width = shape.Width(), height = shape.Height();
  struct Blob {
    double column, row;
  };
  std::vector<Blob> blobs;
  for (int i = 0; i < 16; ++i)
    blobs.push_back({std::fmod(i * 256.37 + 0.5, width), 300 + 97.3 * i});
  blobs.push_back({4095.6, 1000.25});  // on the seam
  std::vector<ties::Dir> centres;
  for (const Blob& b : blobs) centres.push_back(ties::DirectionOf(shape, b.column, b.row));
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
  const double sigma = 0.3 * kRad;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const ties::Dir d = ties::DirectionOf(shape, x, y);
      double v = 40;
      for (const ties::Dir& c : centres) {
        const double cosine = d[0] * c[0] + d[1] * c[1] + d[2] * c[2];
        if (cosine < 0.99) continue;
        const double angle = std::acos(std::min(1.0, cosine));
        v += 180 * std::exp(-angle * angle / (2 * sigma * sigma));
      }
      const auto g = static_cast<std::uint32_t>(std::lround(std::min(v, 255.0)));
      pixels[static_cast<std::size_t>(y) * width + x] = 0xff000000u | g << 16 | g << 8 | g;
    }
  const PanoPixels pano{pixels.data(), width, height, width, 0, 0, shape};
  const std::vector<std::array<double, 2>> found = ties::FeaturesAt(pano);
  for (const Blob& b : blobs) {
    double nearest = 1e9;
    for (const auto& f : found)
      nearest = std::min(nearest, std::hypot(std::remainder(f[0] - b.column, width), f[1] - b.row));
    EXPECT_LT(nearest, 0.1) << b.column << " " << b.row;
  }
}

// Of 200 points crowded on one wall and one each in three other places, the 10 taken hold the
// three others: the frame is fixed all round, not by the wall alone.
TEST(Features, TheTiePointsTakenAreSpreadAllRound) {
  std::vector<adjust::TiePoint> ties;
  for (int i = 0; i < 200; ++i) ties.push_back({i, {10 + 0.01 * i, 0, 0}, {2, 0, 0}});
  for (const double hor : {100.0, 200.0, 300.0})
    ties.push_back({1000 + int(hor), {hor, 0, 0}, {-20, 0, 0}});
  const std::vector<adjust::TiePoint> taken = ties::SpreadOver(ties, 10);
  ASSERT_EQ(taken.size(), 10u);
  for (const int label : {1100, 1200, 1300})
    EXPECT_TRUE(std::any_of(taken.begin(), taken.end(), [&](const auto& t) {
      return t.label == label;
    })) << label;
  EXPECT_EQ(ties::SpreadOver(ties, 500).size(), ties.size());
}

}  // namespace
