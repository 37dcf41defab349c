#pragma once

// Small picture files of every kind the panorama decoders read, made with the formats' own
// libraries (and exiv2 for the photo-sphere tags), for the fuzzers' seeds (MakeImageSeeds.cpp),
// which the tests read back as well.

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

// clang-format off
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>
#include <exiv2/exiv2.hpp>
// clang-format on

namespace image_files {

using Bytes = std::vector<unsigned char>;

// Samples row by row, `channels` a pixel, of `depth` bits; palette indices for a palette image.
struct Samples {
  int width = 0, height = 0, channels = 0, depth = 8;
  std::vector<unsigned> values;
  unsigned At(int x, int y, int c) const {
    return values[(std::size_t(y) * width + x) * channels + c];
  }
};

// Values strewn over the whole range of the depth, unrelated between pixels and channels.
inline Samples Noise(int width, int height, int channels, int depth) {
  Samples s{width, height, channels, depth, {}};
  for (unsigned i = 0; i < unsigned(width * height * channels); ++i) {
    unsigned h = (i + 1) * 0x9e3779b1u;
    h ^= h >> 15;
    s.values.push_back(depth < 32 ? h % (1u << depth) : h);
  }
  return s;
}

// Four flat 16 x 16 quadrants, for the lossy format: their middles come back nearly exact.
inline Samples Quadrants(const std::vector<std::vector<unsigned>>& colours) {
  Samples s{32, 32, int(colours[0].size()), 8, {}};
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      for (unsigned v : colours[y / 16 * 2 + x / 16]) s.values.push_back(v);
    }
  }
  return s;
}

inline png_color PaletteColour(unsigned i) {
  return {png_byte(i * 7), png_byte(255 - i * 3), png_byte(i * 13)};
}

// Baseline, progressive as libjpeg does it, or progressive with every frequency of every
// component in a scan of its own (193 scans); or progressive by the `script` given.
enum class Scans { kOne, kProgressive, kEveryFrequency };

inline Bytes Jpeg(const Samples& s, J_COLOR_SPACE input, J_COLOR_SPACE stored,
                  Scans scans = Scans::kOne, bool adobe = true,
                  std::vector<jpeg_scan_info> script = {}) {
  jpeg_compress_struct c{};
  jpeg_error_mgr e{};
  c.err = jpeg_std_error(&e);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = s.width, c.image_height = s.height, c.input_components = s.channels;
  c.in_color_space = input;
  jpeg_set_defaults(&c);
  jpeg_set_colorspace(&c, stored);
  jpeg_set_quality(&c, 95, TRUE);
  if (scans == Scans::kProgressive) jpeg_simple_progression(&c);
  for (int k = 0; k < 64 && scans == Scans::kEveryFrequency; ++k) {
    for (int i = 0; i < (k == 0 ? 1 : c.num_components); ++i) {
      script.push_back({k == 0 ? c.num_components : 1, {k == 0 ? 0 : i, 1, 2, 3}, k, k, 0, 0});
    }
  }
  if (!script.empty()) c.scan_info = script.data(), c.num_scans = int(script.size());
  c.write_Adobe_marker = adobe && c.write_Adobe_marker;
  jpeg_start_compress(&c, TRUE);
  std::vector<JSAMPLE> row;
  for (int y = 0; y < s.height; ++y) {
    row.assign(s.values.begin() + y * s.width * s.channels,
               s.values.begin() + (y + 1) * s.width * s.channels);
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  const Bytes bytes(out, out + size);
  std::free(out);
  return bytes;
}

// With `transparent`, a tRNS chunk the decoder must ignore. Without samples, the header and the
// first bytes of the pixels only.
inline Bytes Png(const Samples& s, int colourType, bool interlaced = false,
                 bool transparent = false) {
  Bytes out;
  png_structp p = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(p);
  png_set_user_limits(p, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
  png_set_write_fn(
      p, &out,
      [](png_structp p, png_bytep d, std::size_t n) {
        static_cast<Bytes*>(png_get_io_ptr(p))
            ->insert(static_cast<Bytes*>(png_get_io_ptr(p))->end(), d, d + n);
      },
      nullptr);
  png_set_IHDR(p, info, s.width, s.height, s.depth, colourType,
               interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> palette;
  for (unsigned i = 0; i < 256; ++i) palette.push_back(PaletteColour(i));
  if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(p, info, palette.data(), 1 << s.depth);
  const png_byte alphas[] = {0, 64, 128};
  if (transparent) {  // the first pixel's colour, or the first palette entries
    png_color_16 key{0, png_uint_16(s.At(0, 0, 0)), png_uint_16(s.At(0, 0, s.channels > 2)),
                     png_uint_16(s.At(0, 0, s.channels - 1)), png_uint_16(s.At(0, 0, 0))};
    png_set_tRNS(p, info, alphas, 3, &key);
  }
  png_write_info(p, info);
  if (!s.values.empty()) {
    png_set_packing(p);
    std::vector<Bytes> rows(s.height);
    std::vector<png_bytep> pointers;
    for (int y = 0; y < s.height; ++y) {
      for (int i = 0; i < s.width * s.channels; ++i) {
        const unsigned v = s.values[y * s.width * s.channels + i];
        if (s.depth == 16) rows[y].push_back(png_byte(v >> 8));
        rows[y].push_back(png_byte(v));
      }
      pointers.push_back(rows[y].data());
    }
    png_write_image(p, pointers.data());
    png_write_end(p, info);
  } else {  // the start of a compressed stream, so that the header is read up to the pixels
    png_write_chunk(p, reinterpret_cast<png_const_bytep>("IDAT"),
                    reinterpret_cast<png_const_bytep>("\x78\x9c\x62"), 3);
  }
  png_destroy_write_struct(&p, &info);
  return out;
}

struct TiffKind {
  std::uint16_t photometric;
  std::uint16_t compression = COMPRESSION_NONE;
  bool tiled = false, bigEndian = false, separate = false;
};

// Strips of two rows (JPEG: 16), or tiles of 16 x 16; a fourth channel (or a second with grey) is
// alpha. Without samples, the header and one byte of pixels only.
inline Bytes Tiff(const Samples& s, const TiffKind& k) {
  char name[] = "/tmp/torbel-tiff-XXXXXX";
  TIFF* t = TIFFFdOpen(::mkstemp(name), name, k.bigEndian ? "wb" : "wl");
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, s.width);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, s.height);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, s.depth);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, s.channels);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, k.photometric);
  TIFFSetField(t, TIFFTAG_COMPRESSION, k.compression);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, k.separate ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
  if (s.depth == 32) TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
  const std::uint16_t alpha = EXTRASAMPLE_UNASSALPHA;
  if (s.channels == 4 || s.channels == 2) TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &alpha);
  std::vector<std::uint16_t> map[3];
  for (unsigned i = 0; i < 256; ++i) {
    const png_color c = PaletteColour(i);
    map[0].push_back(c.red * 257), map[1].push_back(c.green * 257), map[2].push_back(c.blue * 257);
  }
  if (k.photometric == PHOTOMETRIC_PALETTE) {
    TIFFSetField(t, TIFFTAG_COLORMAP, map[0].data(), map[1].data(), map[2].data());
  }
  if (k.tiled) {
    TIFFSetField(t, TIFFTAG_TILEWIDTH, 16), TIFFSetField(t, TIFFTAG_TILELENGTH, 16);
  } else {
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP,
                 s.values.empty()                    ? s.height
                 : k.compression == COMPRESSION_JPEG ? 16
                                                     : 2);
  }
  const auto put = [&](std::vector<unsigned char>& buffer, std::size_t at, unsigned v) {
    if (s.depth == 32) return void(reinterpret_cast<float*>(buffer.data())[at] = v / 4e9f);
    if (s.depth == 16) return void(reinterpret_cast<std::uint16_t*>(buffer.data())[at] = v);
    buffer[at] = static_cast<unsigned char>(v);
  };
  std::vector<unsigned char> buffer(16 * 16 * s.channels * 4);
  // Separate planes are written one after the other.
  for (int c = 0; c < (k.separate ? s.channels : 1) && !s.values.empty(); ++c) {
    for (int y = 0; y < s.height; y += k.tiled ? 16 : 1) {
      for (int x = 0; x < s.width; x += k.tiled ? 16 : s.width) {
        std::vector<unsigned char> row(s.width * s.channels * 4);
        std::vector<unsigned char>& b = k.tiled ? buffer : row;
        for (int ty = 0; ty < (k.tiled ? 16 : 1); ++ty) {
          for (int tx = 0; tx < (k.tiled ? 16 : s.width); ++tx) {
            for (int i = 0; i < (k.separate ? 1 : s.channels); ++i) {
              const bool inside = x + tx < s.width && y + ty < s.height;
              const int at =
                  (ty * (k.tiled ? 16 : s.width) + tx) * (k.separate ? 1 : s.channels) + i;
              put(b, at, inside ? s.At(x + tx, y + ty, k.separate ? c : i) : 0);
            }
          }
        }
        if (k.tiled) TIFFWriteTile(t, b.data(), x, y, 0, 0);
        if (!k.tiled) TIFFWriteScanline(t, b.data(), y, c);
      }
    }
  }
  if (s.values.empty()) TIFFWriteRawStrip(t, 0, const_cast<char*>("?"), 1);
  TIFFClose(t);
  std::ifstream in(name, std::ios::binary);
  const Bytes bytes{std::istreambuf_iterator<char>(in), {}};
  ::unlink(name);
  return bytes;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"  // exiv2 0.27 hands out auto_ptr
// The file with the given photo-sphere tags ("CroppedAreaTopPixels" → "100"), written by exiv2
// where it puts XMP in each format.
inline Bytes WithGPano(const Bytes& file, const std::map<std::string, std::string>& tags) {
  Exiv2::XmpData xmp;
  for (const auto& [name, value] : tags) xmp["Xmp.GPano." + name] = value;
  Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(file.data(), long(file.size()));
  image->readMetadata();
  image->setXmpData(xmp);
  image->writeMetadata();
  Exiv2::BasicIo& io = image->io();
  io.seek(0, Exiv2::BasicIo::beg);
  Bytes out(io.size());
  io.read(out.data(), long(out.size()));
  return out;
}
#pragma GCC diagnostic pop

}  // namespace image_files
