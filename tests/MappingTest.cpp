#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "geometry/Mapping.h"
#include "geometry/TorbelError.h"
#include "tests/ClassicPanorama.h"

namespace {

std::string Digits22(Real x) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.22Lg", x);
  return buffer;
}

TEST(Mapping, ConstantsAreTheNearestExtendedValues) {
  EXPECT_EQ(Digits22(PixPerDeg), "22.66666666666666666609");
  EXPECT_EQ(Digits22(DegPerPix), "0.04411764705882352941276");
}

TEST(Mapping, EveryPixelSurvivesTheRoundTrip) {
  for (int x = 0; x < PanoWidth; ++x) ASSERT_EQ(HorToPixel(PixelToHor(x)), x) << x;
  for (int y = 0; y < PanoHeight; ++y) ASSERT_EQ(VertToPixel(PixelToVert(y)), y) << y;
}

TEST(Mapping, PixelToAngleAtTheEdges) {
  EXPECT_EQ(PixelToHor(0), 180.0L);
  EXPECT_EQ(PixelToHor(4080), 360.0L);  // the middle column reads 360, not 0
  EXPECT_NEAR(PixelToHor(1), 180.0441176L, 1e-6L);
  EXPECT_NEAR(PixelToHor(4079), 359.9558824L, 1e-6L);
  EXPECT_NEAR(PixelToHor(4081), 0.0441176L, 1e-6L);
  EXPECT_NEAR(PixelToHor(8159), 179.9558824L, 1e-6L);
  // Outside the surface (the mouse held during a drag) nothing wraps.
  EXPECT_NEAR(PixelToHor(-10), 179.5588235L, 1e-6L);
  EXPECT_NEAR(PixelToHor(8200), 181.7647059L, 1e-6L);
  EXPECT_EQ(PixelToVert(0), 90.0L);
  EXPECT_EQ(PixelToVert(2040), 0.0L);
  EXPECT_NEAR(PixelToVert(3059), -44.9558824L, 1e-6L);
  EXPECT_NEAR(PixelToVert(-5), 90.2205882L, 1e-6L);
}

TEST(Mapping, AngleToPixelNeitherWrapsNorClamps) {
  EXPECT_EQ(HorToPixel(180), 0);
  EXPECT_EQ(HorToPixel(360), 4080);
  EXPECT_EQ(HorToPixel(0), 4080);
  EXPECT_EQ(HorToPixel(179.99L), 8160);  // one past the last column, not 0
  EXPECT_EQ(HorToPixel(-10), 3853);
  EXPECT_EQ(HorToPixel(350), 3853);
  EXPECT_EQ(HorToPixel(450), 6120);
  EXPECT_EQ(HorToPixel(-179), 23);
  EXPECT_EQ(HorToPixel(-180), 0);
  EXPECT_EQ(HorToPixel(-190), -227);
  EXPECT_EQ(VertToPixel(90), 0);
  EXPECT_EQ(VertToPixel(0), 2040);
  EXPECT_EQ(VertToPixel(-45), 3060);
  EXPECT_EQ(VertToPixel(-50), 3173);
  EXPECT_EQ(VertToPixel(95), -113);
}

TEST(Mapping, PixelsBeyondThe32BitRangeRaise) {
  EXPECT_THROW(HorToPixel(1e9L), TorbelError);
  EXPECT_THROW(VertToPixel(-1e9L), TorbelError);
}

TEST(Mapping, EveryCameraSizeMapsItsOwnPixels) {
  // The classic size built from its numbers is the classic mapping, to the last bit.
  EXPECT_EQ(Panorama(8160, 3060), Panorama());
  // Sizes the common cameras write, and a crop whose first row lies 1000 rows below the zenith.
  const struct {
    std::int32_t width, height;
    Real top, firstRowVert, middleColumnHor;
  } cases[] = {{5376, 2688, 0, 90, 360},
               {11968, 5984, 0, 90, 360},
               {6720, 3360, 0, 90, 360},
               {5952, 2976, 1000, 90 - 1000 * 360.0L / 5952, 360}};
  for (const auto& c : cases) {
    const Panorama pano(c.width, c.height, c.top);
    EXPECT_NEAR(pano.PixelToVert(0), c.firstRowVert, 1e-15L) << c.width;
    EXPECT_NEAR(pano.PixelToHor(c.width / 2), c.middleColumnHor, 1e-15L) << c.width;
    EXPECT_EQ(pano.VertToPixel(0), RoundToInt(c.width / 4 - c.top)) << c.width;
    for (int x = 0; x < c.width; ++x) ASSERT_EQ(pano.HorToPixel(pano.PixelToHor(x)), x) << x;
    for (int y = 0; y < c.height; ++y) ASSERT_EQ(pano.VertToPixel(pano.PixelToVert(y)), y) << y;
  }
  EXPECT_THROW(Panorama(0, 100), TorbelError);
  EXPECT_THROW(Panorama(100, -1), TorbelError);
}

}  // namespace
