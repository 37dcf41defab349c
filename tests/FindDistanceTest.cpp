#include <gtest/gtest.h>

#include "geometry/Mapping.h"
#include "tests/ClassicPanorama.h"
#include "tests/CommandsFixture.h"
#include "tests/WallScene.h"

namespace {

using namespace wall;

// The wall scene with every panorama turned so that the aimed wall point stands near column 500:
// pictures of 1200 x 2400 pixels then hold all the search needs.
struct FindDistance : Commands {
  Station stations[3];

  void SetUp() override {
    for (int i = 0; i < 3; ++i) {
      double bearing, vert;
      Angles({kGrounds[i], 0}, kAimed, bearing, vert);
      stations[i] = {kGrounds[i], bearing - static_cast<double>(PixelToHor(500))};
    }
    const SolverState survey = Survey(stations);
    static_cast<SolverState&>(s) = survey;
    s.CurDist = 5;
  }

  void Pictures(const Texture& texture) {
    // Parts of the classic panorama: the pictures keep its shape.
    QImage* panos[] = {&s.Pano0.Image, &s.Pano1.Image, &s.Pano2.Image};
    // The wall lies in the rows from 1500 on; above them, plain sky.
    constexpr int kTop = 1500, kRows = 900;
    for (int i = 0; i < 3; ++i) {
      const std::vector<std::uint32_t> pixels = Render(stations[i], texture, 1200, kTop, kRows);
      QImage& image = *panos[i];
      image = QImage(1200, kTop + kRows, QImage::Format_RGB32);
      image.fill(QColor(200, 200, 200));
      for (int row = 0; row < kRows; ++row) {
        std::copy_n(pixels.data() + row * 1200, 1200,
                    reinterpret_cast<std::uint32_t*>(image.scanLine(kTop + row)));
      }
    }
  }

  // Point entry, aimed at the wall point as the survey has it.
  void Aim() {
    const Real hor = s.CurHor, vert = s.CurVert;
    Key(VkF2);
    ASSERT_EQ(s.Mode, Mode::ModePoint);
    MoveOver(0, HorToPixel(hor), VertToPixel(vert));
  }
};

TEST_F(FindDistance, PutsTheDistanceWhereThePicturesAgree) {
  Pictures(Blotches);
  Aim();
  Key(VkF3);
  EXPECT_TRUE(platform.informations.empty());
  EXPECT_NEAR(static_cast<double>(s.CurDist), AimedDistance(), 0.03);
  EXPECT_TRUE(Label(Window::Label::Cp).endsWith(QStringLiteral("m")));
  // How firmly, for as long as the point is the one found.
  EXPECT_TRUE(Label(Window::Label::Strength).contains(QStringLiteral("\nF3: P1 1,00, P2 1,00")))
      << Label(Window::Label::Strength).toStdString();
  Key(VkOemPlus);
  EXPECT_FALSE(Label(Window::Label::Strength).contains(QStringLiteral("F3")));
  // The survey views follow, as after a distance key.
  EXPECT_NEAR(window.views[1].HorizontalPosition(),
              HorToPixel(s.P1Hor) - window.views[1].ClientWidth() / 2, 1);
}

TEST_F(FindDistance, WithoutAClearMatchNothingChanges) {
  Pictures([](double, double) { return 90; });
  Aim();
  Key(VkF3);
  ASSERT_EQ(platform.informations.size(), 1u);
  EXPECT_EQ(platform.informations[0],
            QStringLiteral("Keine eindeutige Entfernung gefunden.\nZu wenig Struktur um den "
                           "Zielpunkt: auf eine Kante oder Ecke zielen oder die Entfernung von "
                           "Hand einstellen."));
  EXPECT_EQ(s.CurDist, 5);
  EXPECT_EQ(s.Mode, Mode::ModePoint);
}

TEST_F(FindDistance, NeedsThreePanoramasAndPointEntry) {
  Key(VkF3);  // not in point entry: nothing at all
  EXPECT_TRUE(platform.informations.empty());
  Aim();
  Key(VkF3);
  ASSERT_EQ(platform.informations.size(), 1u);
  EXPECT_EQ(platform.informations[0],
            QStringLiteral("Keine eindeutige Entfernung gefunden.\nUm den Zielpunkt fehlt Bild in "
                           "einem der Panoramen: alle drei laden oder anderswo zielen."));
  EXPECT_EQ(s.CurDist, 5);
}

}  // namespace
