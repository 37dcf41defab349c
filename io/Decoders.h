#pragma once

#include <QImage>
#include <cstdint>
#include <string>

#include "io/ImageSource.h"

// The decoders of the photographic formats, each over its Debian library. What they share:
// a QImage::Format_RGB32 picture (alpha 0xFF, row 0 at the top) and the file's XMP packet, if any,
// for the crop it may describe. Each raises TorbelError: kMsgPictureTooLarge beyond 16384 x 8192
// pixels before any pixel memory is taken; kMsgOutOfMemory; FileError(errno) when a read fails;
// its format's message for a damaged or cut-short file, and for a kind its library does not read.
struct DecodedPicture {
  QImage Image;
  std::string Xmp;
};

DecodedPicture DecodeJpeg(ImageSource& source);
DecodedPicture DecodePng(ImageSource& source);
DecodedPicture DecodeTiff(ImageSource& source);

// For the decoders: the size's checks (`invalid` for a size of zero), then the picture's memory.
void CheckPictureSize(std::int64_t width, std::int64_t height, const char* invalid);
QImage NewPicture(std::int64_t width, std::int64_t height);
