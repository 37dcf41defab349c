// PNG through libpng, whose own transformations turn every kind of row into the picture's
// blue-green-red-opaque words as it writes them into the picture. No gamma is applied: the
// pixels are measured as the file holds them.

#include <png.h>
#include <strings.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/Errors.h"
#include "io/Decoders.h"

namespace {

constexpr char kXmpKeyword[] = "XML:com.adobe.xmp";
// libpng reads a text chunk (XMP among them) whole, into a buffer of the length the file gives,
// before it finds that the file is shorter: a few bytes could reserve 2 GB. Its other buffers are
// a few rows at most. Beyond this, a text chunk is passed over as one memory was not to be had for.
constexpr png_alloc_size_t kMaxAllocation = png_alloc_size_t{32} << 20;

// Everything the decoding changes lives here, outside the frame that calls setjmp, so that
// nothing is left indeterminate when libpng jumps back.
struct Job {
  explicit Job(ImageSource& source) : stream(source) {}
  ~Job() { png_destroy_read_struct(&png, &info, nullptr); }
  Job(const Job&) = delete;
  Job& operator=(const Job&) = delete;

  SourceStream stream;
  png_structp png = nullptr;
  png_infop info = nullptr;
  bool outOfMemory = false;
  DecodedPicture out;
  std::vector<png_bytep> rows;
};

[[noreturn]] void Error(png_structp png, png_const_charp message) {
  // libpng says so in English only: "Out of memory", "Out of Memory", "Insufficient memory ...".
  auto* job = static_cast<Job*>(png_get_error_ptr(png));
  job->outOfMemory = ::strcasestr(message, "of memory") != nullptr ||
                     ::strcasestr(message, "insufficient memory") != nullptr;
  png_longjmp(png, 1);
}

void Warning(png_structp, png_const_charp) {}

png_voidp Allocate(png_structp, png_alloc_size_t size) {
  return size > kMaxAllocation ? nullptr : std::malloc(size);
}

void Free(png_structp, png_voidp p) {
  std::free(p);
}

void Read(png_structp png, png_bytep out, std::size_t size) {
  auto* job = static_cast<Job*>(png_get_io_ptr(png));
  if (job->stream.Read(out, size) != size) png_error(png, "cut short");
}

void KeepXmp(Job& job) {
  png_textp text = nullptr;
  const int count = png_get_text(job.png, job.info, &text, nullptr);
  for (int i = 0; i < count; ++i) {
    if (std::strcmp(text[i].key, kXmpKeyword) == 0 && text[i].text != nullptr) {
      const bool international = text[i].compression >= PNG_ITXT_COMPRESSION_NONE;
      job.out.Xmp.assign(text[i].text, international ? text[i].itxt_length : text[i].text_length);
      return;
    }
  }
}

bool Run(Job& job) {
  if (setjmp(png_jmpbuf(job.png)) != 0) return false;
  png_structp png = job.png;
  png_infop info = job.info;
  png_set_read_fn(png, &job, Read);
  // Our own limit decides, with its own message.
  png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
  png_read_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  CheckPictureSize(width, height, kMsgInvalidPng);
  const int type = png_get_color_type(png, info);
  const bool grey = (type & PNG_COLOR_MASK_COLOR) == 0;
  if (type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  png_set_scale_16(png);  // rounds, where stripping would cut off
  png_set_strip_alpha(png);
  if (grey) png_set_gray_to_rgb(png);  // widening 1, 2 and 4 bits to 8 first
  png_set_bgr(png);
  png_set_filler(png, 0xff, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != std::size_t{width} * 4) png_error(png, "unexpected rows");

  job.out.Image = NewPicture(width, height);
  uchar* const bits = job.out.Image.bits();
  const qsizetype stride = job.out.Image.bytesPerLine();
  job.rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) job.rows[y] = bits + y * stride;
  png_read_image(png, job.rows.data());
  // The rest of the file, for an XMP packet written after the pixels.
  png_read_end(png, info);
  KeepXmp(job);
  return true;
}

}  // namespace

DecodedPicture DecodePng(ImageSource& source) {
  Job job(source);
  job.png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &job, Error, Warning, nullptr, Allocate,
                                     Free);
  if (job.png != nullptr) job.info = png_create_info_struct(job.png);
  if (job.info == nullptr) throw TorbelError(kMsgOutOfMemory);
  if (!Run(job)) {
    source.ThrowIfReadFailed();
    throw TorbelError(job.outOfMemory ? kMsgOutOfMemory : kMsgInvalidPng);
  }
  return std::move(job.out);
}
