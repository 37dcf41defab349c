// A survey from three cameras of different sizes, end to end: the demo scene rendered as 2:1
// JPEGs, its project read back as Torbel reads it, each panorama through the reader of every
// kind, and F3 on the targets judged in each panorama's own pixels.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "commands/Search.h"
#include "core/PanoPicture.h"
#include "geometry/search/DistanceSearch.h"
#include "io/PanoramaFile.h"
#include "io/ProjectFile.h"
#include "tools/demo/PictureFile.h"
#include "tools/demo/Render.h"
#include "tools/demo/Scene.h"
#include "tools/demo/Survey.h"

namespace {

using namespace demo;

// Pixels apart in a panorama, the shorter way round the turn.
double Apart(const Panorama& pano, Real horA, Real vertA, Real horB, Real vertB) {
  double dx = std::fabs(double(pano.Column(horA) - pano.Column(horB)));
  dx = std::min(dx, pano.Width() - dx);
  return std::hypot(dx, double(pano.Row(vertA) - pano.Row(vertB)));
}

TEST(CameraSurvey, ThreeJpegSizesAreMeasuredInTheirOwnPixels) {
  const Scene scene;
  // The common one-inch camera's size for P0, two others for the stations.
  const Panoramas shapes = {Panorama(5376, 2688), Panorama(4096, 2048), Panorama(3840, 1920)};
  const QTemporaryDir dir;
  std::array<QString, 3> paths;
  for (int k = 0; k < 3; ++k) {
    const Panorama& pano = shapes[static_cast<std::size_t>(k)];
    // The band where the targets stand, from 12 degrees up to 20 down; the rest plain grey.
    const int top = pano.VertToPixel(12), bottom = pano.VertToPixel(-20);
    std::vector<std::uint8_t> rgb(std::size_t(pano.Width()) * std::size_t(pano.Height()) * 3, 128);
    const std::vector<std::uint8_t> band =
        RenderWindow(View(scene, k, pano), 0, top, pano.Width(), bottom - top);
    std::copy(band.begin(), band.end(), rgb.begin() + std::ptrdiff_t(top) * pano.Width() * 3);
    const std::vector<std::uint8_t> jpeg =
        JpegBytes(pano.Width(), pano.Height(), rgb, kJpegQuality);
    paths[std::size_t(k)] = dir.filePath(QStringLiteral("S%1.jpg").arg(k));
    QFile file(paths[std::size_t(k)]);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(jpeg.data()), qint64(jpeg.size()));
  }

  const ProjectLoad load =
      ReadProject(ProjectFileBytes(MeasuredStations(scene, shapes), paths, {}, '.'), {});
  std::array<PanoPicture, 3> pictures;
  for (std::size_t k = 0; k < 3; ++k) {
    pictures[k] = ReadPanoramaFile(*load.panoFiles[k]);
    ASSERT_EQ(pictures[k].Shape, shapes[k]);
  }
  const std::array<PanoPixels, 3> pixels = {PixelsOf(pictures[0]), PixelsOf(pictures[1]),
                                            PixelsOf(pictures[2])};

  int answered = 0;
  std::vector<std::string> close;
  for (const TargetTruth& t : Truth(scene)) {
    SolverState s = load.state;
    // Aimed at the pixel of P0 that holds the target's centre.
    s.CurHor = shapes[0].PixelToHor(shapes[0].Wrapped(shapes[0].HorToPixel(t.p0.hor)));
    s.CurVert = shapes[0].PixelToVert(shapes[0].VertToPixel(t.p0.vert));
    const DistanceMatch m = SearchDistance(s, pixels);
    if (!m.found) continue;
    ++answered;
    SolverState want = s, got = s;
    want.CurDist = t.distance;
    got.CurDist = m.distance;
    SolvePoint(want);
    SolvePoint(got);
    const double off = std::max(Apart(shapes[1], got.P1Hor, got.P1Vert, want.P1Hor, want.P1Vert),
                                Apart(shapes[2], got.P2Hor, got.P2Vert, want.P2Hor, want.P2Vert));
    EXPECT_LE(off, 3) << t.name;
    if (off <= 1.5) close.push_back(t.name);
  }
  // What is answered must be right. T08, 50 m away, is 12 pixels across in P0 and 9 in the survey
  // views: a patch of 15 of P0's pixels held more of what lies behind it than of the target.
  EXPECT_GE(answered, 6);
  EXPECT_EQ(int(close.size()), answered);
  EXPECT_NE(std::find(close.begin(), close.end(), "T08"), close.end());
}

}  // namespace
