#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "commands/Views.h"
#include "geometry/TorbelError.h"

namespace {

struct FakeView : CentredView {
  FakeView(int w, int h, std::string name, std::vector<std::string>& log, const std::int32_t& x,
           const std::int32_t& y)
      : width(w), height(h), name(std::move(name)), log(log), cursorX(x), cursorY(y) {}
  int ClientWidth() const override { return width; }
  int ClientHeight() const override { return height; }
  void SetHorizontalPosition(std::int32_t p) override { horizontal = p; }
  void SetVerticalPosition(std::int32_t p) override { vertical = p; }
  std::int32_t HorizontalPosition() const override { return horizontal.value_or(0); }
  std::int32_t VerticalPosition() const override { return vertical.value_or(0); }
  void RepaintViewAndMagnifier() override {
    log.push_back(name + "@" + std::to_string(cursorX) + "," + std::to_string(cursorY));
  }

  int width, height;
  std::string name;
  std::vector<std::string>& log;
  const std::int32_t& cursorX;
  const std::int32_t& cursorY;
  std::optional<std::int32_t> horizontal, vertical;
};

struct Centring : ::testing::Test {
  std::vector<std::string> log;
  std::int32_t CursorX = 0, CursorY = 0;
  FakeView p0{347, 601, "P0", log, CursorX, CursorY};
  FakeView p1{350, 300, "P1", log, CursorX, CursorY};
  FakeView p2{345, 300, "P2", log, CursorX, CursorY};
  WorkingState s;

  void Centre(bool scrollP0) { CenterViews(scrollP0, s, {&p0, &p1, &p2}, CursorX, CursorY); }
};

TEST_F(Centring, ScrollsEachViewToItsMarker) {
  s.CurHor = 0;
  s.CurVert = 0;
  s.P1Hor = 200;
  s.P1Vert = 10;
  s.P2Hor = -190;
  s.P2Vert = 95;
  Centre(true);
  // Marker 4080, 2040 in a 347 x 601 client: 3906.5 -> 3906 and 1739.5 -> 1740 (ties to even).
  EXPECT_EQ(p0.horizontal, 3906);
  EXPECT_EQ(p0.vertical, 1740);
  EXPECT_EQ(p1.horizontal, 278);
  EXPECT_EQ(p1.vertical, 1663);
  // A marker above or left of the panorama scrolls to 0, never below.
  EXPECT_EQ(p2.horizontal, 0);
  EXPECT_EQ(p2.vertical, 0);
  // Each view and its magnifier paint while the cursor holds that view's marker.
  EXPECT_EQ(log, (std::vector<std::string>{"P0@4080,2040", "P1@453,1813", "P2@-227,-113"}));
  EXPECT_EQ(CursorX, -227);
  EXPECT_EQ(CursorY, -113);
}

TEST_F(Centring, OddWidthsRoundTheHalfToEven) {
  s.P2Hor = 0;
  Centre(false);
  EXPECT_EQ(p2.horizontal, 3908);  // 4080 - 345 / 2 = 3907.5
}

TEST_F(Centring, EachViewCentresInItsOwnPanoramasPixels) {
  // P1 from a 2:1 camera a third smaller, P2 a crop whose first row lies 600 rows below the zenith.
  s.Pano1.Shape = Panorama(5376, 2688);
  s.Pano2.Shape = Panorama(11968, 4000, 600);
  s.P1Hor = s.P2Hor = 90;
  s.P1Vert = s.P2Vert = 0;
  Centre(false);
  EXPECT_EQ(log[1], "P1@4032,1344");
  EXPECT_EQ(log[2], "P2@8976,2392");
  EXPECT_EQ(p1.horizontal, 4032 - 175);
  EXPECT_EQ(p2.vertical, 2392 - 150);
}

TEST_F(Centring, WithoutScrollP0TheP0ViewStaysButRepaints) {
  s.CurHor = 90;
  Centre(false);
  EXPECT_FALSE(p0.horizontal.has_value());
  EXPECT_FALSE(p0.vertical.has_value());
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0], "P0@6120,2040");
}

TEST_F(Centring, APixelOutOfRangeStopsBeforeTheRepaint) {
  s.P1Hor = 1e12L;
  EXPECT_THROW(Centre(true), TorbelError);
  EXPECT_EQ(log, std::vector<std::string>{"P0@4080,2040"});
}

}  // namespace
