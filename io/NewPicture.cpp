#include <sys/mman.h>
#include <unistd.h>

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

QImage NewPicture(std::int64_t width, std::int64_t height) {
  QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
  // The size was checked; a null image is memory that was not to be had.
  if (image.isNull()) throw TorbelError(kMsgOutOfMemory);
  // Faulting in a fresh 300 MB picture page by page costs about as much as decoding a fast format;
  // with huge pages it is a few hundred faults instead of 70000. Only a hint: the kernel may
  // ignore it. Blocks this large always get a mapping of their own from malloc.
  const auto size = static_cast<std::size_t>(image.sizeInBytes());
  if (size >= (std::size_t{32} << 20)) {
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto at = reinterpret_cast<std::uintptr_t>(image.bits());
    const auto begin = (at + page - 1) / page * page;
    const auto end = (at + size) / page * page;
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
  }
  return image;
}
