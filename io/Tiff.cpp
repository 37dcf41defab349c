// TIFF through libtiff: every kind its RGBA interface reads (strips and tiles, 1 to 16 bits,
// palette, grey, RGB, YCbCr, CMYK, every compression it was built with), and a direct path for
// the stitchers' usual 8- and 16-bit grey and RGB strips.

#include <tiffio.h>

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

#include "core/Errors.h"
#include "io/Decoders.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

// libtiff's largest single allocation, its buffer for one strip or tile: up to the whole of the
// largest picture in 16-bit RGBA, and no more, whatever a header of a few bytes says.
constexpr tmsize_t kMaxSingleAlloc = tmsize_t{1} << 30;

constexpr std::uint32_t kOpaque = 0xff000000u;

struct Handle {
  ImageSource& source;
  std::uint64_t offset = 0;
  bool outOfMemory = false;
};

tmsize_t ReadProc(thandle_t h, void* buffer, tmsize_t size) {
  auto* handle = static_cast<Handle*>(h);
  if (size <= 0) return 0;
  const std::size_t n =
      handle->source.ReadAt(buffer, static_cast<std::size_t>(size), handle->offset);
  handle->offset += n;
  return static_cast<tmsize_t>(n);
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) {
  return -1;
}

toff_t SeekProc(thandle_t h, toff_t offset, int whence) {
  auto* handle = static_cast<Handle*>(h);
  switch (whence) {
    case SEEK_SET:
      handle->offset = offset;
      break;
    case SEEK_CUR:
      handle->offset += offset;
      break;
    case SEEK_END:
      handle->offset = handle->source.Size() + offset;
      break;
    default:
      return static_cast<toff_t>(-1);
  }
  return handle->offset;
}

int CloseProc(thandle_t) {
  return 0;
}

toff_t SizeProc(thandle_t h) {
  return static_cast<Handle*>(h)->source.Size();
}

// A file in memory is handed over whole, so that libtiff reads its strips in place.
int MapProc(thandle_t h, void** base, toff_t* size) {
  const ImageSource& source = static_cast<Handle*>(h)->source;
  if (source.Data() == nullptr) return 0;
  *base = const_cast<unsigned char*>(source.Data());
  *size = source.Size();
  return 1;
}

void UnmapProc(thandle_t, void*, toff_t) {}

// libtiff says what went wrong in English only; that memory ran out shows in errno.
int ErrorHandler(TIFF*, void* user, const char*, const char*, va_list) {
  if (errno == ENOMEM) static_cast<Handle*>(user)->outOfMemory = true;
  return 1;
}

int WarningHandler(TIFF*, void*, const char*, const char*, va_list) {
  return 1;
}

struct Closer {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};

template <typename T>
T Field(TIFF* tif, ttag_t tag, T fallback) {
  T value = fallback;
  return TIFFGetFieldDefaulted(tif, tag, &value) == 1 ? value : fallback;
}

// 16 bits to 8, rounded, as libpng and libtiff's RGBA interface do it.
constexpr std::uint32_t To8(std::uint16_t v) {
  return (v + 128u) / 257u;
}

template <typename Sample>
void GreyRow(const Sample* in, std::uint32_t* out, std::uint32_t width, int samples,
             bool whiteIsZero) {
  for (std::uint32_t x = 0; x < width; ++x, in += samples) {
    const std::uint32_t v = sizeof(Sample) == 1 ? in[0] : To8(in[0]);
    out[x] = kOpaque | (whiteIsZero ? 255 - v : v) * 0x010101u;
  }
}

template <typename Sample>
void RgbRowScalar(const Sample* in, std::uint32_t* out, std::uint32_t width, int samples) {
  for (std::uint32_t x = 0; x < width; ++x, in += samples) {
    if constexpr (sizeof(Sample) == 1) {
      out[x] = kOpaque | std::uint32_t{in[0]} << 16 | std::uint32_t{in[1]} << 8 | in[2];
    } else {
      out[x] = kOpaque | To8(in[0]) << 16 | To8(in[1]) << 8 | To8(in[2]);
    }
  }
}

#if defined(__x86_64__)
// Four pixels a byte shuffle; the scalar loop takes as long as libtiff's own decoding of an
// uncompressed file.
__attribute__((target("ssse3"))) void RgbRowSsse3(const std::uint8_t* in, std::uint32_t* out,
                                                  std::uint32_t width) {
  const __m128i spread = _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(kOpaque));
  std::uint32_t x = 0;
  // Each step loads 16 bytes for 12: stop while the load still ends inside the row.
  for (; x + 6 <= width; x += 4, in += 12) {
    const __m128i rgb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                     _mm_or_si128(_mm_shuffle_epi8(rgb, spread), alpha));
  }
  RgbRowScalar(in, out + x, width - x, 3);
}
#endif

template <typename Sample>
void RgbRow(const Sample* in, std::uint32_t* out, std::uint32_t width, int samples) {
#if defined(__x86_64__)
  static const bool ssse3 = __builtin_cpu_supports("ssse3");
  if constexpr (sizeof(Sample) == 1) {
    if (ssse3 && samples == 3) return RgbRowSsse3(in, out, width);
  }
#endif
  RgbRowScalar(in, out, width, samples);
}

// Rows of 8- or 16-bit grey or RGB in strips, top row first, extra samples (alpha) ignored: read
// one at a time into a buffer that stays in the cache, and converted from there. libtiff hands
// 16-bit samples over in this machine's byte order.
template <typename Sample>
bool ReadDirect(TIFF* tif, QImage& image) {
  const int samples = Field<std::uint16_t>(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
  const bool rgb = Field<std::uint16_t>(tif, TIFFTAG_PHOTOMETRIC, 0) == PHOTOMETRIC_RGB;
  const bool whiteIsZero =
      Field<std::uint16_t>(tif, TIFFTAG_PHOTOMETRIC, 0) == PHOTOMETRIC_MINISWHITE;
  const auto width = static_cast<std::uint32_t>(image.width());
  const std::size_t rowSize = std::size_t{width} * samples;
  std::vector<Sample> row(static_cast<std::size_t>(TIFFScanlineSize64(tif)) / sizeof(Sample));
  if (row.size() < rowSize || (rgb && samples < 3)) return false;
  uchar* const bits = image.bits();
  for (int y = 0; y < image.height(); ++y) {
    if (TIFFReadScanline(tif, row.data(), static_cast<std::uint32_t>(y), 0) < 0) return false;
    auto* out = reinterpret_cast<std::uint32_t*>(bits + y * image.bytesPerLine());
    if (rgb) {
      RgbRow(row.data(), out, width, samples);
    } else {
      GreyRow(row.data(), out, width, samples, whiteIsZero);
    }
  }
  return true;
}

bool Direct(TIFF* tif) {
  const std::uint16_t photometric = Field<std::uint16_t>(tif, TIFFTAG_PHOTOMETRIC, 0xffff);
  const std::uint16_t compression = Field<std::uint16_t>(tif, TIFFTAG_COMPRESSION, 0);
  const std::uint16_t bits = Field<std::uint16_t>(tif, TIFFTAG_BITSPERSAMPLE, 0);
  return !TIFFIsTiled(tif) && (bits == 8 || bits == 16) &&
         Field<std::uint16_t>(tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT) == SAMPLEFORMAT_UINT &&
         Field<std::uint16_t>(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) ==
             ORIENTATION_TOPLEFT &&
         (Field<std::uint16_t>(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) ==
              PLANARCONFIG_CONTIG ||
          Field<std::uint16_t>(tif, TIFFTAG_SAMPLESPERPIXEL, 1) == 1) &&
         compression != COMPRESSION_OJPEG &&
         (photometric == PHOTOMETRIC_RGB || photometric == PHOTOMETRIC_MINISBLACK ||
          photometric == PHOTOMETRIC_MINISWHITE);
}

// libtiff's RGBA words hold red in the low byte; the picture's, blue.
void ToPictureOrder(QImage& image) {
  auto* p = reinterpret_cast<std::uint32_t*>(image.bits());
  const std::size_t count = std::size_t(image.width()) * std::size_t(image.height());
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t v = p[i];
    p[i] = kOpaque | (v & 0x00ff00u) | (v & 0xffu) << 16 | (v >> 16 & 0xffu);
  }
}

void SilenceGlobalHandlers() {
  // Some of libtiff's messages still go to the process-wide handlers, which print to stderr.
  static std::once_flag once;
  std::call_once(once, [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
  });
}

[[noreturn]] void Fail(const Handle& handle) {
  handle.source.ThrowIfReadFailed();
  throw TorbelError(handle.outOfMemory ? kMsgOutOfMemory : kMsgInvalidTiff);
}

}  // namespace

DecodedPicture DecodeTiff(ImageSource& source) {
  SilenceGlobalHandlers();
  Handle handle{source};
  const std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(TIFFOpenOptionsAlloc(),
                                                                             TIFFOpenOptionsFree);
  if (!options) throw TorbelError(kMsgOutOfMemory);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxSingleAlloc);
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), ErrorHandler, &handle);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), WarningHandler, &handle);
  errno = 0;
  const std::unique_ptr<TIFF, Closer> tif(
      TIFFClientOpenExt("panorama", "r", &handle, ReadProc, WriteProc, SeekProc, CloseProc,
                        SizeProc, MapProc, UnmapProc, options.get()));
  if (!tif) Fail(handle);

  std::uint32_t width = 0, height = 0;
  if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) ||
      !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height)) {
    Fail(handle);
  }
  CheckPictureSize(width, height, kMsgInvalidTiff);
  DecodedPicture out;
  std::uint32_t xmpSize = 0;
  const char* xmp = nullptr;
  if (TIFFGetField(tif.get(), TIFFTAG_XMLPACKET, &xmpSize, &xmp) == 1 && xmp != nullptr) {
    out.Xmp.assign(xmp, xmpSize);
  }

  if (Direct(tif.get())) {
    out.Image = NewPicture(width, height);
    const bool read = Field<std::uint16_t>(tif.get(), TIFFTAG_BITSPERSAMPLE, 0) == 8
                          ? ReadDirect<std::uint8_t>(tif.get(), out.Image)
                          : ReadDirect<std::uint16_t>(tif.get(), out.Image);
    if (!read) Fail(handle);
    return out;
  }
  // Alpha is ignored, as in the other formats; libtiff would multiply it into the colours.
  std::uint16_t extraCount = 0;
  const std::uint16_t* extra = nullptr;
  if (TIFFGetField(tif.get(), TIFFTAG_EXTRASAMPLES, &extraCount, &extra) == 1 && extraCount > 0) {
    const std::vector<std::uint16_t> unspecified(extraCount, EXTRASAMPLE_UNSPECIFIED);
    TIFFSetField(tif.get(), TIFFTAG_EXTRASAMPLES, extraCount, unspecified.data());
  }
  char why[1024];
  if (TIFFRGBAImageOK(tif.get(), why) != 1) {
    if (handle.outOfMemory) throw TorbelError(kMsgOutOfMemory);
    throw TorbelError(kMsgUnsupportedTiff);
  }
  out.Image = NewPicture(width, height);
  if (TIFFReadRGBAImageOriented(tif.get(), width, height,
                                reinterpret_cast<std::uint32_t*>(out.Image.bits()),
                                ORIENTATION_TOPLEFT, 1) != 1) {
    Fail(handle);
  }
  ToPictureOrder(out.Image);
  return out;
}
