// Feeds arbitrary bytes to the bitmap decoder. Panoramas come from cameras, stitchers and other
// people's disks; a bad one may only ever end in TorbelError, or in a picture the views can use.

#include <sys/prctl.h>

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "geometry/Mapping.h"
#include "geometry/TorbelError.h"
#include "io/Decoders.h"

namespace {

// Every pixel is checked in images up to this size; in larger ones the first and last rows.
constexpr std::int64_t kFullCheckPixels = std::int64_t{1} << 20;

std::uint32_t U16(const std::uint8_t* p) {
  return p[0] | std::uint32_t{p[1]} << 8;
}
std::int32_t I32(const std::uint8_t* p) {
  return static_cast<std::int32_t>(U16(p) | U16(p + 2) << 16);
}

[[noreturn]] void Fail(const char* what, const QImage& image) {
  std::fprintf(stderr, "bitmap_fuzz: %s (format %d, %d x %d)\n", what,
               static_cast<int>(image.format()), image.width(), image.height());
  std::abort();
}

// RGB32 requires alpha 0xff everywhere; a pixel without it was never written.
void CheckRowOpaque(const QImage& image, int y) {
  const auto* row = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
  for (int x = 0; x < image.width(); ++x) {
    if (row[x] >> 24 != 0xff) Fail("a pixel was left unwritten", image);
  }
}

}  // namespace

// The decoder asks for huge pages for large images. Gathering them sometimes stalls the kernel for
// more than a second (seen on the first large image of a process, and now and then later), which
// would show up as timeouts that have nothing to do with the decoder; without them the largest
// image the caps allow takes a steady 0.2 to 0.7 s here.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  QImage image;
  try {
    ImageSource source(data, size);
    image = DecodeBitmap(source).Image;
  } catch (const TorbelError&) {
    return 0;  // the message the user sees; any other exception escapes and is a finding
  }

  if (image.isNull() || image.format() != QImage::Format_RGB32) Fail("wrong format", image);
  const std::int64_t width = image.width();
  const std::int64_t height = image.height();
  if (width <= 0 || width > Panorama::kMaxWidth || height <= 0 || height > Panorama::kMaxHeight) {
    Fail("size beyond the caps", image);
  }
  // A decoded file has at least its headers, so their sizes can be read back to compare.
  const bool os2 = U16(data + 14) == 12;
  const std::int64_t fileWidth = os2 ? std::int64_t{U16(data + 18)} : I32(data + 18);
  const std::int64_t fileHeight = os2 ? std::int64_t{U16(data + 20)} : I32(data + 22);
  if (width != fileWidth || height != (fileHeight < 0 ? -fileHeight : fileHeight)) {
    Fail("size differs from the header", image);
  }
  if (width * height <= kFullCheckPixels) {
    for (int y = 0; y < image.height(); ++y) CheckRowOpaque(image, y);
  } else {
    CheckRowOpaque(image, 0);
    CheckRowOpaque(image, image.height() - 1);
  }
  return 0;
}
