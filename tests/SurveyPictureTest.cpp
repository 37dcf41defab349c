// The generators' pictures of other sizes and crops of the sphere: a rendered window, written as
// a tagged JPEG and read back through Qt's reader and exiv2, shows its target where the mapping
// of the panorama its tags describe puts it.

#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cmath>
#include <exiv2/exiv2.hpp>
#include <map>
#include <string>

#include "geometry/Mapping.h"
#include "tools/demo/PictureFile.h"
#include "tools/demo/Render.h"
#include "tools/demo/Scene.h"
#include "tools/demo/Survey.h"

namespace {

using namespace demo;

std::map<std::string, std::string> PhotoSphereTags(const std::vector<std::uint8_t>& jpeg) {
  const auto image = Exiv2::ImageFactory::open(jpeg.data(), static_cast<long>(jpeg.size()));
  image->readMetadata();
  std::map<std::string, std::string> tags;
  for (const Exiv2::Xmpdatum& tag : image->xmpData())
    if (tag.groupName() == "GPano") tags[tag.tagName()] = tag.toString();
  return tags;
}

// Where the quarters of a target meet, to a fraction of a pixel, in a picture whose face holds
// the square of `reach` pixels round (x, y). Each row above the centre runs white then black,
// each row below black then white, and the share of white in it says where it turns; the
// columns likewise. Rows next to the centre are left out, as they cross the other boundary.
std::pair<double, double> QuarterCentre(const QImage& image, int x, int y, int reach) {
  auto grey = [&](int i, int j) { return qGray(image.pixel(x + i, y + j)); };
  const double white = (grey(-reach, -reach) + grey(reach, reach)) / 2.0;
  const double black = (grey(reach, -reach) + grey(-reach, reach)) / 2.0;
  auto share = [&](int i, int j) {
    return std::clamp((grey(i, j) - black) / (white - black), 0., 1.);
  };
  double sumX = 0, sumY = 0;
  int lines = 0;
  for (int n = 2; n <= reach; ++n) {
    for (const int side : {-1, 1}) {
      double acrossRow = 0, downColumn = 0;
      for (int m = -reach; m <= reach; ++m)
        acrossRow += share(m, side * n), downColumn += share(side * n, m);
      // Above the centre (side -1) white comes first along the row; left of it, down the column.
      sumX += side < 0 ? x - reach - 0.5 + acrossRow : x + reach + 0.5 - acrossRow;
      sumY += side < 0 ? y - reach - 0.5 + downColumn : y + reach + 0.5 - downColumn;
      ++lines;
    }
  }
  return {sumX / lines, sumY / lines};
}

TEST(SurveyPicture, TaggedJpegWindowShowsTheTargetWhereItsPanoramaPutsIt) {
  const Scene scene;
  const Target& target = scene.Targets()[0];  // T01, about three metres from P0: a big face
  // A whole sphere of a camera's size, and a crop of another width that starts low in the sky.
  for (const Panorama& panorama : {Panorama(5376, 2688), Panorama(3000, 900, 417)}) {
    SCOPED_TRACE(std::to_string(panorama.Width()) + " wide from row " +
                 std::to_string(static_cast<int>(panorama.Top())));
    const View view(scene, 0, panorama);
    const Direction d = Project(view.camera(), target.centre);
    const Pixel centre = NearestPixel(panorama, d);
    constexpr int kW = 25, kH = 21;
    const int x0 = centre.x - kW / 2, y0 = centre.y - kH / 2;
    const CropArea area{panorama.Width(),
                        panorama.Width() / 2,
                        panorama.Wrapped(x0),
                        static_cast<int>(panorama.Top()) + y0,
                        kW,
                        kH};
    const std::vector<std::uint8_t> jpeg =
        TaggedAsCrop(JpegBytes(kW, kH, RenderWindow(view, x0, y0, kW, kH), kJpegQuality), area);

    const std::map<std::string, std::string> tags = PhotoSphereTags(jpeg);
    const std::map<std::string, std::string> written = {
        {"ProjectionType", "equirectangular"},
        {"UsePanoramaViewer", "True"},
        {"CroppedAreaImageWidthPixels", std::to_string(kW)},
        {"CroppedAreaImageHeightPixels", std::to_string(kH)},
        {"FullPanoWidthPixels", std::to_string(area.fullWidth)},
        {"FullPanoHeightPixels", std::to_string(area.fullHeight)},
        {"CroppedAreaLeftPixels", std::to_string(area.left)},
        {"CroppedAreaTopPixels", std::to_string(area.top)}};
    ASSERT_EQ(tags, written);

    const QImage image = QImage::fromData(jpeg.data(), static_cast<int>(jpeg.size()), "JPG");
    ASSERT_EQ(image.width(), kW);
    ASSERT_EQ(image.height(), kH);
    // The window as a panorama of its own, from its tags alone; its columns start at the left.
    const Panorama read(std::stoi(tags.at("FullPanoWidthPixels")), image.height(),
                        std::stoi(tags.at("CroppedAreaTopPixels")));
    const double column =
        static_cast<double>(read.Column(d.hor)) - std::stoi(tags.at("CroppedAreaLeftPixels"));
    const auto [x, y] = QuarterCentre(image, kW / 2, kH / 2, 8);
    EXPECT_NEAR(x, column - read.Width() * std::round(column / read.Width()), 0.25);
    EXPECT_NEAR(y, static_cast<double>(read.Row(d.vert)), 0.25);
  }
}

}  // namespace
