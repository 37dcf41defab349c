#include "tools/demo/PictureFile.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <exiv2/exiv2.hpp>
#include <memory>
#include <stdexcept>
#include <string>

// After <cstdio>: it uses FILE without including it.
#include <jpeglib.h>

#include "tools/demo/Render.h"

namespace demo {

namespace {

// libjpeg reports a failure by calling back, and must not return there: the encoder jumps back
// to where it began. Everything the jump needs lives here, on the heap, so that nothing it reads
// was held in a register the jump forgot.
struct JpegEncoder {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  std::jmp_buf failed{};
  unsigned char* buffer = nullptr;
  unsigned long size = 0;

  ~JpegEncoder() {
    jpeg_destroy_compress(&info);
    std::free(buffer);
  }
};

[[noreturn]] void JumpOnError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegEncoder*>(info->client_data)->failed, 1);
}

}  // namespace

std::vector<std::uint8_t> JpegBytes(int width, int height, const std::vector<std::uint8_t>& rgb,
                                    int quality) {
  const auto encoder = std::make_unique<JpegEncoder>();
  JpegEncoder* const e = encoder.get();
  e->info.err = jpeg_std_error(&e->errors);
  e->errors.error_exit = JumpOnError;
  e->info.client_data = e;
  if (setjmp(e->failed) != 0) throw std::runtime_error("the JPEG encoder failed");
  jpeg_create_compress(&e->info);
  jpeg_mem_dest(&e->info, &e->buffer, &e->size);
  e->info.image_width = static_cast<JDIMENSION>(width);
  e->info.image_height = static_cast<JDIMENSION>(height);
  e->info.input_components = 3;
  e->info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&e->info);
  jpeg_set_quality(&e->info, quality, TRUE);
  e->info.optimize_coding = TRUE;
  jpeg_start_compress(&e->info, TRUE);
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  while (e->info.next_scanline < e->info.image_height) {
    // libjpeg's row type is not const, but the rows are only read.
    JSAMPROW row = const_cast<JSAMPROW>(rgb.data() + e->info.next_scanline * stride);
    jpeg_write_scanlines(&e->info, &row, 1);
  }
  jpeg_finish_compress(&e->info);
  return {e->buffer, e->buffer + e->size};
}

std::vector<std::uint8_t> TaggedAsCrop(const std::vector<std::uint8_t>& jpeg,
                                       const CropArea& area) {
  try {
    const auto image = Exiv2::ImageFactory::open(jpeg.data(), static_cast<long>(jpeg.size()));
    Exiv2::XmpData xmp;
    xmp["Xmp.GPano.ProjectionType"] = "equirectangular";
    xmp["Xmp.GPano.UsePanoramaViewer"] = "True";
    xmp["Xmp.GPano.CroppedAreaImageWidthPixels"] = std::to_string(area.width);
    xmp["Xmp.GPano.CroppedAreaImageHeightPixels"] = std::to_string(area.height);
    xmp["Xmp.GPano.FullPanoWidthPixels"] = std::to_string(area.fullWidth);
    xmp["Xmp.GPano.FullPanoHeightPixels"] = std::to_string(area.fullHeight);
    xmp["Xmp.GPano.CroppedAreaLeftPixels"] = std::to_string(area.left);
    xmp["Xmp.GPano.CroppedAreaTopPixels"] = std::to_string(area.top);
    image->setXmpData(xmp);
    image->writeMetadata();
    Exiv2::BasicIo& io = image->io();
    if (io.open() != 0 || io.seek(0, Exiv2::BasicIo::beg) != 0)
      throw std::runtime_error("the tagged JPEG file cannot be read back");
    const Exiv2::DataBuf tagged = io.read(static_cast<long>(io.size()));
    io.close();
    return {tagged.pData_, tagged.pData_ + tagged.size_};
  } catch (const Exiv2::AnyError& e) {
    throw std::runtime_error(std::string("the JPEG file cannot be tagged: ") + e.what());
  }
}

std::vector<std::uint8_t> PictureBytes(const StationPicture& picture, bool jpeg,
                                       const std::vector<std::uint8_t>& rgb) {
  const Panorama& p = picture.panorama;
  if (!jpeg) return BmpBytes(p.Width(), p.Height(), rgb);
  std::vector<std::uint8_t> bytes = JpegBytes(p.Width(), p.Height(), rgb, kJpegQuality);
  if (!picture.crop) return bytes;
  return TaggedAsCrop(
      bytes, {p.Width(), p.Width() / 2, 0, static_cast<int>(p.Top()), p.Width(), p.Height()});
}

}  // namespace demo
