#pragma once

// What the fuzz targets of the photographic formats share. Panoramas come from cameras, stitchers
// and other people's disks: a bad file may only ever end in TorbelError, or in a picture the views
// can use, whose photo-sphere tags then end in TorbelError or a crop inside the sphere.

#include <sys/prctl.h>

#include <QImage>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "geometry/Mapping.h"
#include "geometry/TorbelError.h"
#include "io/Decoders.h"
#include "io/PanoramaXmp.h"

// The XMP target's input: the picture's width and height less one (two bytes each,
// little-endian, wrapped to the caps), then the packet.
inline constexpr std::size_t kXmpSizeBytes = 4;
inline std::int32_t XmpFuzzWidth(const std::uint8_t* data) {
  return 1 + (data[0] | data[1] << 8) % Panorama::kMaxWidth;
}
inline std::int32_t XmpFuzzHeight(const std::uint8_t* data) {
  return 1 + (data[2] | data[3] << 8) % Panorama::kMaxHeight;
}

[[noreturn]] inline void FuzzFail(const char* what, const QImage& image) {
  std::fprintf(stderr, "picture fuzz: %s (format %d, %d x %d)\n", what,
               static_cast<int>(image.format()), image.width(), image.height());
  std::abort();
}

// A crop starts at or below the pole and ends above the other, give or take the rounding that a
// picture resized after tagging brings. (A picture without one starts at the pole, whatever its
// size.)
inline void FuzzCrop(const std::string& xmp, std::int32_t width, std::int32_t height) {
  Real top = 0;
  try {
    top = PanoramaTop(xmp, width, height);
  } catch (const TorbelError&) {
    return;
  }
  if (!std::isfinite(static_cast<double>(top)) || top < 0 ||
      (top > 0 && top + height > width / 2.0L + 2)) {
    std::fprintf(stderr, "picture fuzz: crop %Lg of %d x %d\n", top, width, height);
    std::abort();
  }
}

// Every pixel is checked in pictures up to this size; in larger ones the first and last rows.
inline constexpr std::int64_t kFullCheckPixels = std::int64_t{1} << 20;

template <typename Decode>
int FuzzPicture(const std::uint8_t* data, std::size_t size, Decode decode) {
  ImageSource source(data, size);
  DecodedPicture picture;
  try {
    picture = decode(source);
  } catch (const TorbelError&) {
    return 0;  // the message the user sees; any other exception escapes and is a finding
  }
  const QImage& image = picture.Image;
  if (image.isNull() || image.format() != QImage::Format_RGB32) FuzzFail("wrong format", image);
  if (image.width() > Panorama::kMaxWidth || image.height() > Panorama::kMaxHeight) {
    FuzzFail("size beyond the caps", image);
  }
  // RGB32 requires alpha 0xff everywhere; a pixel without it was never written.
  const auto checkRow = [&](int y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      if (row[x] >> 24 != 0xff) FuzzFail("a pixel was left unwritten", image);
    }
  };
  const bool all = std::int64_t{image.width()} * image.height() <= kFullCheckPixels;
  for (int y = 0; y < image.height(); y += all ? 1 : image.height() - 1) checkRow(y);
  FuzzCrop(picture.Xmp, image.width(), image.height());
  return 0;
}

// Large pictures get huge pages. Gathering them sometimes stalls the kernel for more than a
// second, which would show up as timeouts that have nothing to do with the decoders.
inline void FuzzWithoutHugePages() {
  prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0);
}
