#include <gtest/gtest.h>

#include <array>

#include "geometry/search/GreyImage.h"
#include "tests/GreyPicture.h"

namespace {

using search::GreyImage;

constexpr int kTurn = 720, kRows = 360;

int Texture(int x, int y) {
  return (x * 37 + y * 11) % 256;
}

TEST(GreyImage, SmoothsWithTheBinomialAndReadsBetweenThePixels) {
  const GreyPicture picture(kTurn, kRows, 0, 0,
                            [](int x, int y) { return x == 100 && y == 50 ? 160 : 0; });
  GreyImage image(picture.pixels);
  ASSERT_TRUE(image.Prepare(98, 48, 102, 52));
  const float weights[3] = {1, 2, 1};
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx)
      EXPECT_FLOAT_EQ(image.At(100 + dx, 50 + dy), 10.0f * weights[dx + 1] * weights[dy + 1]);
  EXPECT_EQ(image.At(102, 50), 0);
  EXPECT_FLOAT_EQ(image.Bilinear(100.5, 50.25), 0.75f * 30 + 0.25f * 15);
}

// A picture of the full turn repeats the other end in a margin either side, so that a patch may
// cross the seam; a part of the turn has its edges and nothing beyond them.
TEST(GreyImage, APictureOfTheFullTurnReadsAcrossTheSeam) {
  const GreyPicture full(kTurn, kRows, 0, 0, Texture);
  GreyImage image(full.pixels);
  const int m = GreyImage::kMargin;
  ASSERT_TRUE(image.Prepare(-m, 0, kTurn + m - 1, 20));
  EXPECT_FALSE(image.Prepare(-m - 1, 0, 0, 20));
  EXPECT_FALSE(image.Prepare(0, 0, kTurn + m, 20));
  for (const int x : {-m, -1, 0, 1, m - 1})
    EXPECT_EQ(image.At(x, 10), image.At(x + kTurn, 10)) << x;
  EXPECT_EQ(image.Near(kTurn - 5, 2), -5);
  EXPECT_EQ(image.Near(-5, kTurn - 10), kTurn - 5);

  const GreyPicture part(200, 100, 100, 40, Texture);
  GreyImage cropped(part.pixels);
  EXPECT_TRUE(cropped.Prepare(100, 40, 299, 139));
  for (const auto& [x0, y0, x1, y1] : {std::array{99, 40, 120, 60}, std::array{280, 40, 300, 60},
                                       std::array{100, 39, 120, 60}, std::array{100, 40, 120, 140}})
    EXPECT_FALSE(cropped.Prepare(x0, y0, x1, y1)) << x0 << " " << y0 << " " << x1 << " " << y1;
  // At the edge the smoothing takes the edge's pixels for those beyond it.
  const float top = (3 * Texture(100, 40) + Texture(101, 40)) / 4.0f;
  const float below = (3 * Texture(100, 41) + Texture(101, 41)) / 4.0f;
  EXPECT_FLOAT_EQ(cropped.At(100, 40), (3 * top + below) / 4);
}

TEST(GreyImage, NoPicturePreparesNothing) {
  GreyImage image(PanoPixels{});
  EXPECT_FALSE(image.Prepare(0, 0, 0, 0));
}

}  // namespace
