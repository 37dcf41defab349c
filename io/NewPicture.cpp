#include <cstdint>

#include "core/Errors.h"
#include "geometry/Mapping.h"
#include "io/Decoders.h"

void CheckPictureSize(std::int64_t width, std::int64_t height, const char* invalid) {
  if (width <= 0 || height <= 0) throw TorbelError(invalid);
  if (width > Panorama::kMaxWidth || height > Panorama::kMaxHeight) {
    throw TorbelError(kMsgPictureTooLarge);
  }
}

// No huge-page hint here, unlike the bitmap decoder's: at 300 MB a picture, every third load
// stalled for 0.4 to 1 s while the kernel gathered the huge pages (measured with
// load_bench --formats), against some 90 ms of ordinary page faults that every load pays.
QImage NewPicture(std::int64_t width, std::int64_t height) {
  QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
  // The size was checked; a null image is memory that was not to be had.
  if (image.isNull()) throw TorbelError(kMsgOutOfMemory);
  return image;
}
