// Windows bitmaps, decoded by our own code: a handful of plain layouts, and the 24-bit panoramas
// converted row by row as fast as the file is read.

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <future>
#include <system_error>
#include <vector>

#include "core/Errors.h"
#include "io/Decoders.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

constexpr std::size_t kFileHeaderSize = 14;
// The file header, the largest info header (V5) and the masks that may follow a 40-byte one.
constexpr std::size_t kMaxHeadSize = kFileHeaderSize + 124 + 12;
// Large enough to keep the number of system calls negligible, small enough to stay in the cache
// while its rows are converted.
constexpr std::size_t kChunkSize = std::size_t{1} << 20;

constexpr std::uint32_t kOpaque = 0xff000000u;

enum Compression : std::uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3 };

using Palette = std::array<std::uint32_t, 256>;

[[noreturn]] void Invalid() {
  throw TorbelError(kMsgInvalidBitmap);
}

// Little-endian fields, each checked against the bytes at hand.
class Bytes {
 public:
  Bytes(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

  std::uint32_t U16(std::size_t at) const {
    Need(at, 2);
    return data_[at] | std::uint32_t{data_[at + 1]} << 8;
  }
  std::uint32_t U32(std::size_t at) const { return U16(at) | U16(at + 2) << 16; }
  std::int64_t I32(std::size_t at) const { return static_cast<std::int32_t>(U32(at)); }

 private:
  void Need(std::size_t at, std::size_t n) const {
    if (at > size_ || n > size_ - at) Invalid();
  }

  const unsigned char* data_;
  std::size_t size_;
};

// Where everything is in the file, taken from the headers and checked against the file size, so
// that reading [paletteOffset, +paletteBytes) and [dataOffset, +dataSize) cannot fail.
struct Layout {
  std::int64_t width = 0;
  std::int64_t height = 0;  // always positive; the sign in the file is in topDown
  bool topDown = false;
  unsigned bitCount = 0;
  std::uint32_t compression = kRgb;
  std::array<std::uint32_t, 3> masks{};  // red, green, blue for 16 and 32 bits
  std::uint64_t paletteOffset = 0;
  std::size_t paletteEntries = 0;  // only the ones a pixel can reach
  std::size_t paletteEntrySize = 4;
  std::uint64_t dataOffset = 0;
  std::uint64_t dataSize = 0;
  std::uint64_t stride = 0;  // bytes per row of uncompressed data

  bool Rle() const { return compression == kRle8 || compression == kRle4; }
  std::size_t PaletteBytes() const { return paletteEntries * paletteEntrySize; }
};

bool Allowed(unsigned bitCount, std::uint32_t compression) {
  switch (compression) {
    case kRgb:
      return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
             bitCount == 32;
    case kRle8:
      return bitCount == 8;
    case kRle4:
      return bitCount == 4;
    case kBitfields:
      return bitCount == 16 || bitCount == 32;
    default:
      return false;
  }
}

// `head` holds the first min(fileSize, kMaxHeadSize) bytes of the file, or all of it.
Layout ParseLayout(const Bytes& head, std::uint64_t fileSize) {
  if (head.U16(0) != 0x4d42) Invalid();  // "BM"
  Layout l;
  const std::uint32_t headerSize = head.U32(14);
  std::int64_t height = 0;
  std::uint32_t planes = 0;
  std::uint32_t colorsUsed = 0;
  if (headerSize == 12) {  // OS/2: unsigned 16-bit sizes, three-byte palette entries
    l.width = head.U16(18);
    height = head.U16(20);
    planes = head.U16(22);
    l.bitCount = head.U16(24);
    l.paletteEntrySize = 3;
  } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 ||
             headerSize == 124) {
    l.width = head.I32(18);
    height = head.I32(22);
    planes = head.U16(26);
    l.bitCount = head.U16(28);
    l.compression = head.U32(30);
    colorsUsed = head.U32(46);
  } else {
    Invalid();
  }
  if (planes != 1 || !Allowed(l.bitCount, l.compression)) Invalid();
  l.topDown = height < 0;
  l.height = l.topDown ? -height : height;
  if (l.topDown && l.Rle()) Invalid();
  // Before anything is allocated, so that a header of a few bytes cannot make us reserve
  // gigabytes.
  CheckPictureSize(l.width, l.height, kMsgInvalidBitmap);

  std::uint64_t headerEnd = kFileHeaderSize + headerSize;
  if (l.compression == kBitfields) {
    // Larger headers carry the masks inside; a 40-byte one is followed by them.
    const std::size_t at = kFileHeaderSize + 40;
    l.masks = {head.U32(at), head.U32(at + 4), head.U32(at + 8)};
    if (headerSize == 40) headerEnd += 12;
  } else if (l.bitCount == 16) {
    l.masks = {0x7c00, 0x03e0, 0x001f};
  } else if (l.bitCount == 32) {
    l.masks = {0xff0000, 0x00ff00, 0x0000ff};
  }
  if (headerEnd > fileSize) Invalid();

  if (l.bitCount <= 8) {
    const std::uint64_t reachable = std::uint64_t{1} << l.bitCount;
    const std::uint64_t declared = colorsUsed != 0 ? colorsUsed : reachable;
    l.paletteOffset = headerEnd;
    if (declared * l.paletteEntrySize > fileSize - headerEnd) Invalid();
    l.paletteEntries = std::min(declared, reachable);
  }

  l.dataOffset = head.U32(10);
  if (l.dataOffset < headerEnd || l.dataOffset >= fileSize) Invalid();
  const std::uint64_t available = fileSize - l.dataOffset;
  if (l.Rle()) {
    // No sensible encoder spends more than three bytes on a pixel (a one-pixel run and a delta)
    // and two on the end of each row; the cap keeps an endless stream of no-op commands from
    // making us read gigabytes first.
    const auto cap = static_cast<std::uint64_t>(4 * (l.width + 1) * l.height + 2);
    l.dataSize = std::min(available, cap);
  } else {
    // Width, height and bit count are bounded above, so none of this can overflow 64 bits.
    l.stride = (static_cast<std::uint64_t>(l.width) * l.bitCount + 31) / 32 * 4;
    l.dataSize = l.stride * static_cast<std::uint64_t>(l.height);
    if (l.dataSize > available) Invalid();
  }
  return l;
}

Palette ReadPalette(const Layout& l, const unsigned char* bytes) {
  Palette palette;
  palette.fill(kOpaque);  // indices past the palette give black
  for (std::size_t i = 0; i < l.paletteEntries; ++i) {
    const unsigned char* e = bytes + i * l.paletteEntrySize;
    palette[i] = kOpaque | std::uint32_t{e[2]} << 16 | std::uint32_t{e[1]} << 8 | e[0];
  }
  return palette;
}

// One colour component under a bit-field mask, scaled to 0..255.
class Channel {
 public:
  explicit Channel(std::uint32_t mask)
      : mask_(mask), shift_(mask != 0 ? std::countr_zero(mask) : 0), max_(mask >> shift_) {}

  std::uint32_t operator()(std::uint32_t pixel) const {
    if (max_ == 0) return 0;
    const std::uint64_t value = (pixel & mask_) >> shift_;
    return static_cast<std::uint32_t>((value * 255 + max_ / 2) / max_);
  }

 private:
  std::uint32_t mask_;
  int shift_;
  std::uint64_t max_;
};

static_assert(std::endian::native == std::endian::little, "pixels are read as little-endian words");

std::uint32_t Load32(const unsigned char* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// Four pixels from three 32-bit loads: no byte loads, no shifts per byte.
void Row24Scalar(const unsigned char* src, std::uint32_t* dst, std::size_t width) {
  std::size_t x = 0;
  for (; x + 4 <= width; x += 4, src += 12) {
    const std::uint32_t a = Load32(src);      // B0 G0 R0 B1
    const std::uint32_t b = Load32(src + 4);  // G1 R1 B2 G2
    const std::uint32_t c = Load32(src + 8);  // R2 B3 G3 R3
    dst[x] = kOpaque | a;
    dst[x + 1] = kOpaque | a >> 24 | b << 8;
    dst[x + 2] = kOpaque | b >> 16 | c << 16;
    dst[x + 3] = kOpaque | c >> 8;
  }
  for (; x < width; ++x, src += 3) {
    dst[x] = kOpaque | std::uint32_t{src[2]} << 16 | std::uint32_t{src[1]} << 8 | src[0];
  }
}

#if defined(__x86_64__)
// The panoramas are 24-bit and this loop is most of the load time. GCC does not vectorise the
// byte loop at -O2, and its SSE2 attempt at -O3 is slower than the scalar one above; one byte
// shuffle per four pixels halves the time. SSSE3 is in every x86-64 processor since 2008, but is
// still checked for.
__attribute__((target("ssse3"))) void Row24Ssse3(const unsigned char* src, std::uint32_t* dst,
                                                 std::size_t width) {
  const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(kOpaque));
  std::size_t x = 0;
  // Each step loads 16 bytes for 12: stop while the load still ends inside the row.
  for (; x + 6 <= width; x += 4, src += 12) {
    const __m128i bgr = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x),
                     _mm_or_si128(_mm_shuffle_epi8(bgr, spread), alpha));
  }
  Row24Scalar(src, dst + x, width - x);
}
#endif

void Row24(const unsigned char* src, std::uint32_t* dst, std::size_t width) {
#if defined(__x86_64__)
  static const bool ssse3 = __builtin_cpu_supports("ssse3");
  if (ssse3) return Row24Ssse3(src, dst, width);
#endif
  Row24Scalar(src, dst, width);
}

void Row32(const unsigned char* src, std::uint32_t* dst, std::size_t width) {
  for (std::size_t x = 0; x < width; ++x) dst[x] = kOpaque | Load32(src + 4 * x);
}

void DecodeRow(const Layout& l, const Palette& palette, const unsigned char* src,
               std::uint32_t* dst) {
  const auto width = static_cast<std::size_t>(l.width);
  switch (l.bitCount) {
    case 1:
      for (std::size_t x = 0; x < width; ++x) dst[x] = palette[(src[x / 8] >> (7 - x % 8)) & 1];
      return;
    case 4:
      for (std::size_t x = 0; x < width; ++x) {
        dst[x] = palette[(src[x / 2] >> (x % 2 ? 0 : 4)) & 15];
      }
      return;
    case 8:
      for (std::size_t x = 0; x < width; ++x) dst[x] = palette[src[x]];
      return;
    case 24:
      Row24(src, dst, width);
      return;
    default:
      break;
  }
  if (l.bitCount == 32 && l.compression == kRgb) return Row32(src, dst, width);
  const Channel red(l.masks[0]), green(l.masks[1]), blue(l.masks[2]);
  for (std::size_t x = 0; x < width; ++x) {
    const std::uint32_t pixel =
        l.bitCount == 16 ? src[2 * x] | std::uint32_t{src[2 * x + 1]} << 8 : Load32(src + 4 * x);
    dst[x] = kOpaque | red(pixel) << 16 | green(pixel) << 8 | blue(pixel);
  }
}

// Faulting in a fresh 100 MB image page by page costs more than reading the file; with huge pages
// it is some fifty faults instead of 25000. Only a hint: the kernel may ignore it. Blocks this
// large always get a mapping of their own from malloc, so the advice touches nothing else.
void AdviseHugePages(uchar* bits, std::size_t size) {
  if (size < (std::size_t{32} << 20)) return;
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto begin = (reinterpret_cast<std::uintptr_t>(bits) + page - 1) / page * page;
  const auto end = (reinterpret_cast<std::uintptr_t>(bits) + size) / page * page;
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

// Writes through bits() taken once: scanLine() on a shared image would detach on every call.
class Target {
 public:
  explicit Target(const Layout& l)
      : image_(NewPicture(l.width, l.height)),
        bits_(image_.bits()),
        bytesPerLine_(image_.bytesPerLine()),
        height_(l.height),
        topDown_(l.topDown) {
    AdviseHugePages(bits_, static_cast<std::size_t>(image_.sizeInBytes()));
  }

  // The picture row that the file's row `row` holds; safe to call from several threads.
  std::uint32_t* FileRow(std::int64_t row) {
    const std::int64_t y = topDown_ ? row : height_ - 1 - row;
    return reinterpret_cast<std::uint32_t*>(bits_ + y * bytesPerLine_);
  }

  QImage& Image() { return image_; }

 private:
  QImage image_;
  uchar* bits_;
  qsizetype bytesPerLine_;
  std::int64_t height_;
  bool topDown_;
};

// Rows [first, first + count) of the file, from their uncompressed data.
void DecodeRows(const Layout& l, const Palette& palette, const unsigned char* data,
                std::int64_t first, std::int64_t count, Target& target) {
  for (std::int64_t i = 0; i < count; ++i) {
    DecodeRow(l, palette, data + i * l.stride, target.FileRow(first + i));
  }
}

// Anything that would write outside the picture is an invalid file, not something to clip.
void DecodeRle(const Layout& l, const Palette& palette, const unsigned char* data, std::size_t size,
               Target& target) {
  target.Image().fill(kOpaque);
  const bool four = l.compression == kRle4;
  std::size_t at = 0;
  std::int64_t x = 0;
  std::int64_t y = 0;  // file row, counted from the bottom
  const auto next = [&] {
    if (at >= size) Invalid();
    return unsigned{data[at++]};
  };
  const auto checkRun = [&](unsigned count) {
    if (y >= l.height || x + count > l.width) Invalid();
  };
  for (;;) {
    const unsigned count = next();
    const unsigned value = next();
    if (count > 0) {  // a run of one index, or of two alternating ones in RLE4
      checkRun(count);
      std::uint32_t* row = target.FileRow(y);
      for (unsigned i = 0; i < count; ++i) {
        row[x++] = palette[four ? (i % 2 ? value & 15 : value >> 4) : value];
      }
    } else if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      return;
    } else if (value == 2) {  // delta
      x += next();
      y += next();
    } else {  // `value` literal indices, padded to a 16-bit boundary
      checkRun(value);
      const std::size_t bytes = four ? (value + 1) / 2 : value;
      const std::size_t padded = bytes + bytes % 2;
      if (padded > size - at) Invalid();
      std::uint32_t* row = target.FileRow(y);
      for (unsigned i = 0; i < value; ++i) {
        const unsigned index = four ? data[at + i / 2] >> (i % 2 ? 0 : 4) & 15 : data[at + i];
        row[x++] = palette[index];
      }
      at += padded;
    }
    // An end of line after the last row is common; moving further is not.
    if (x > l.width || y > l.height) Invalid();
  }
}

// The picture from its palette and its pixel data in memory.
QImage Decode(const Layout& l, const unsigned char* paletteBytes, const unsigned char* data) {
  const Palette palette = ReadPalette(l, paletteBytes);
  Target target(l);
  if (l.Rle()) {
    DecodeRle(l, palette, data, l.dataSize, target);
  } else {
    DecodeRows(l, palette, data, 0, l.height, target);
  }
  return std::move(target.Image());
}

// The layout was checked against the size, so running short means the file shrank meanwhile.
void ReadExactly(ImageSource& source, unsigned char* buffer, std::size_t size,
                 std::uint64_t offset) {
  if (source.ReadAt(buffer, size, offset) == size) return;
  source.ThrowIfReadFailed();
  throw TorbelError(kMsgEndOfFile);
}

}  // namespace

DecodedPicture DecodeBitmap(ImageSource& source) {
  const std::uint64_t fileSize = source.Size();
  std::array<unsigned char, kMaxHeadSize> head;
  const auto headSize = static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, head.size()));
  ReadExactly(source, head.data(), headSize, 0);
  const Layout l = ParseLayout(Bytes(head.data(), headSize), fileSize);

  std::array<unsigned char, 256 * 4> paletteBytes;
  ReadExactly(source, paletteBytes.data(), l.PaletteBytes(), l.paletteOffset);
  if (const unsigned char* data = source.Data()) {  // all in memory: decoded where it lies
    return {Decode(l, paletteBytes.data(), data + l.dataOffset), {}};
  }
  if (l.Rle()) {  // small and rare: the simple way
    std::vector<unsigned char> data(l.dataSize);
    ReadExactly(source, data.data(), data.size(), l.dataOffset);
    return {Decode(l, paletteBytes.data(), data.data()), {}};
  }

  // The panoramas: no copy of the whole file, rows converted while the chunk is still in cache.
  const Palette palette = ReadPalette(l, paletteBytes.data());
  Target target(l);
  const auto rowsPerChunk =
      static_cast<std::int64_t>(std::max<std::uint64_t>(1, kChunkSize / l.stride));
  const auto convert = [&](std::int64_t first, std::int64_t last) {
    std::vector<unsigned char> chunk(rowsPerChunk * l.stride);
    for (std::int64_t row = first; row < last; row += rowsPerChunk) {
      const std::int64_t rows = std::min(rowsPerChunk, last - row);
      ReadExactly(source, chunk.data(), rows * l.stride, l.dataOffset + row * l.stride);
      DecodeRows(l, palette, chunk.data(), row, rows, target);
    }
  };
  // Half of the time goes into the kernel clearing the fresh image's pages as they are first
  // written, which a second core can share for large images.
  std::int64_t split = l.height;
  std::future<void> lower;
  if (l.dataSize >= 8 * kChunkSize) {
    try {
      lower = std::async(std::launch::async, convert, l.height / 2, l.height);
      split = l.height / 2;
    } catch (const std::system_error&) {  // no thread to be had: all of it here, then
    }
  }
  convert(0, split);
  if (lower.valid()) lower.get();
  return {std::move(target.Image()), {}};
}
