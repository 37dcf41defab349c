#pragma once

#include <QString>
#include <cstddef>

#include "core/PanoPicture.h"

// Reads the panorama at `path`: a JPEG, PNG, TIFF or Windows bitmap, told apart by its first
// bytes rather than its name. The picture is QImage::Format_RGB32, row 0 at the top; its shape is
// its own size, with the crop its photo-sphere tags (XMP, GPano) give, or none.
// Raises TorbelError: FileError(errno) when the file cannot be opened or read; kMsgEmptyFile;
// kMsgPanoramaFileTooLarge beyond kMaxPanoramaFileBytes, before anything is read; kMsgJpegJunk;
// kMsgUnknownPictureFormat for anything else; the format's message for a damaged, cut-short or
// unreadable kind of file (see io/Decoders.h); kMsgPictureTooLarge beyond 16384 x 8192 pixels,
// before any pixel memory is taken; kMsgOutOfMemory; the crop's messages (see io/PanoramaXmp.h).
PanoPicture ReadPanoramaFile(const QString& path);

// The same from the bytes of a whole file in memory.
PanoPicture DecodePanoramaFile(const unsigned char* data, std::size_t size);
