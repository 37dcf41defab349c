#pragma once

#include <QImage>
#include <cstdint>
#include <string>

#include "io/ImageSource.h"

// The decoders of the panorama formats: Windows bitmaps by our own code, JPEG, PNG and TIFF each
// over its Debian library. What they share: a QImage::Format_RGB32 picture (alpha 0xFF, row 0 at
// the top) and the file's XMP packet, if any, for the crop it may describe. Each raises
// TorbelError: kMsgPictureTooLarge beyond 16384 x 8192 pixels before any pixel memory is taken;
// kMsgOutOfMemory; FileError(errno) when a read fails; its format's message for a damaged or
// cut-short file, and for a kind its library does not read.
struct DecodedPicture {
  QImage Image;
  std::string Xmp;
};

// Every ordinary kind of bitmap is read: OS/2 and Windows headers up to V5, 1/4/8-bit palette
// images, 16 and 32 bits with or without bit-field masks, 24 bits, RLE8 and RLE4; alpha is
// dropped. Pixels an RLE stream skips over (delta, early end of line or bitmap) stay black. A
// bitmap has no XMP. Its format's message is kMsgInvalidBitmap, for a truncated file too;
// kMsgEndOfFile when the file shrinks while being read.
DecodedPicture DecodeBitmap(ImageSource& source);
DecodedPicture DecodeJpeg(ImageSource& source);
DecodedPicture DecodePng(ImageSource& source);
DecodedPicture DecodeTiff(ImageSource& source);

// For the decoders: the size's checks (`invalid` for a size of zero), then the picture's memory.
void CheckPictureSize(std::int64_t width, std::int64_t height, const char* invalid);
QImage NewPicture(std::int64_t width, std::int64_t height);
