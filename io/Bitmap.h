#pragma once

#include <QImage>
#include <QString>
#include <cstddef>

#include "core/Errors.h"

// Reads the Windows bitmap file at `path` into a QImage::Format_RGB32 image, row 0 at the top.
// Every ordinary kind is read: OS/2 and Windows headers up to V5, 1/4/8-bit palette images,
// 16 and 32 bits with or without bit-field masks, 24 bits, RLE8 and RLE4; alpha is dropped.
// Pixels an RLE stream skips over (delta, early end of line or bitmap) stay black.
// Raises TorbelError: FileError(errno) when the file cannot be opened or read; kMsgEndOfFile when
// it shrinks while being read; kMsgInvalidBitmap for anything that is not a readable bitmap,
// including a truncated one; kMsgPictureTooLarge beyond 16384 x 8192 pixels, before any memory is
// taken; kMsgOutOfMemory where the picture's memory is not to be had.
QImage LoadBitmap(const QString& path);

// The same from the bytes of a whole file in memory.
QImage DecodeBitmap(const unsigned char* data, std::size_t size);
