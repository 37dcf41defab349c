// Feeds arbitrary XMP packets to the reader of the photo-sphere tags, for a picture of the size the
// first four bytes give (see fuzz/PictureFuzz.h).

#include "fuzz/PictureFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kXmpSizeBytes) return 0;
  FuzzCrop(std::string(reinterpret_cast<const char*>(data) + kXmpSizeBytes, size - kXmpSizeBytes),
           XmpFuzzWidth(data), XmpFuzzHeight(data));
  return 0;
}
