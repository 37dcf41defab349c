#include "io/PanoramaFile.h"

#include <array>
#include <cstring>
#include <new>

#include "core/Errors.h"
#include "io/Decoders.h"
#include "io/PanoramaXmp.h"

namespace {

enum class Kind { kBitmap, kJpeg, kPng, kTiff, kUnknown };

Kind KindOf(const unsigned char* head, std::size_t size) {
  const auto starts = [&](const char* signature, std::size_t length) {
    return size >= length && std::memcmp(head, signature, length) == 0;
  };
  if (starts("BM", 2)) return Kind::kBitmap;
  if (starts("\xff\xd8\xff", 3)) return Kind::kJpeg;
  if (starts("\x89PNG\r\n\x1a\n", 8)) return Kind::kPng;
  // Classic and BigTIFF, in either byte order.
  if (starts("II*\0", 4) || starts("MM\0*", 4) || starts("II+\0", 4) || starts("MM\0+", 4)) {
    return Kind::kTiff;
  }
  return Kind::kUnknown;
}

PanoPicture Read(ImageSource& source) {
  if (source.Size() == 0) throw TorbelError(kMsgEmptyFile);
  if (source.Size() > kMaxPanoramaFileBytes) throw TorbelError(kMsgPanoramaFileTooLarge);
  std::array<unsigned char, 8> head{};
  const std::size_t headSize = source.ReadAt(head.data(), head.size(), 0);
  source.ThrowIfReadFailed();
  try {
    DecodedPicture decoded;
    switch (KindOf(head.data(), headSize)) {
      case Kind::kBitmap:
        decoded = DecodeBitmap(source);
        break;
      case Kind::kJpeg:
        decoded = DecodeJpeg(source);
        break;
      case Kind::kPng:
        decoded = DecodePng(source);
        break;
      case Kind::kTiff:
        decoded = DecodeTiff(source);
        break;
      case Kind::kUnknown:
        throw TorbelError(kMsgUnknownPictureFormat);
    }
    const int width = decoded.Image.width(), height = decoded.Image.height();
    const Real top = PanoramaTop(decoded.Xmp, width, height);
    PanoPicture picture(std::move(decoded.Image), Panorama(width, height, top));
    picture.Pose = PanoramaPose(decoded.Xmp);
    return picture;
  } catch (const std::bad_alloc&) {
    throw TorbelError(kMsgOutOfMemory);
  }
}

}  // namespace

PanoPicture ReadPanoramaFile(const QString& path) {
  ImageSource source(path);
  return Read(source);
}

PanoPicture DecodePanoramaFile(const unsigned char* data, std::size_t size) {
  ImageSource source(data, size);
  return Read(source);
}
