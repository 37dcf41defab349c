// Feeds arbitrary bytes to the PNG decoder, and what it reads of the photo-sphere tags to their
// reader (see fuzz/PictureFuzz.h).

#include "fuzz/PictureFuzz.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzWithoutHugePages();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return FuzzPicture(data, size, DecodePng);
}
