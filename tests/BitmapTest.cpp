#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "core/Errors.h"
#include "geometry/TorbelError.h"
#include "io/Decoders.h"
#include "tests/MemoryLimit.h"
#include "tests/TestFiles.h"

namespace {

using Bytes = std::vector<unsigned char>;
using Rows = std::vector<std::vector<std::uint32_t>>;  // top row first

void Put(Bytes& b, std::size_t at, std::uint32_t value, int size) {
  for (int i = 0; i < size; ++i) b[at + i] = static_cast<unsigned char>(value >> 8 * i);
}

// The rows as a file stores them: palette indices up to 8 bits, else the little-endian pixel
// value; each row padded to four bytes with junk that must not show.
Bytes Pack(const Rows& rows, int bitCount, bool topDown = false) {
  Bytes out;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const auto& row = rows[topDown ? r : rows.size() - 1 - r];
    Bytes packed((row.size() * bitCount + 31) / 32 * 4, 0xa5);
    if (bitCount < 8) std::fill(packed.begin(), packed.end(), 0);
    for (std::size_t x = 0; x < row.size(); ++x) {
      if (bitCount < 8) {
        const std::size_t bit = x * bitCount;
        packed[bit / 8] |= row[x] << (8 - bitCount - bit % 8);
      } else {
        Put(packed, x * bitCount / 8, row[x], bitCount / 8);
      }
    }
    out.insert(out.end(), packed.begin(), packed.end());
  }
  return out;
}

// A file with a 40-byte header unless told otherwise; masks go where a 40-byte header ends,
// after it or inside a larger one.
struct Bmp {
  Bmp(std::int32_t width, std::int32_t height, int bitCount, Bytes pixels)
      : width(width), height(height), bitCount(bitCount), pixels(std::move(pixels)) {}

  std::int32_t width;
  std::int32_t height;
  int bitCount;
  Bytes pixels;
  std::uint32_t headerSize = 40;
  std::uint32_t compression = 0;
  std::vector<std::uint32_t> palette;  // 0xRRGGBB
  std::vector<std::uint32_t> masks;

  Bytes File() const {
    const bool core = headerSize == 12;
    const std::size_t paletteAt =
        14 + (core ? 12 : std::max<std::size_t>(headerSize, 40 + 4 * masks.size()));
    const std::size_t dataAt = paletteAt + palette.size() * (core ? 3 : 4);
    Bytes f(dataAt, 0);
    f[0] = 'B';
    f[1] = 'M';
    Put(f, 2, static_cast<std::uint32_t>(dataAt + pixels.size()), 4);
    Put(f, 10, static_cast<std::uint32_t>(dataAt), 4);
    Put(f, 14, headerSize, 4);
    if (core) {
      Put(f, 18, width, 2), Put(f, 20, height, 2), Put(f, 22, 1, 2), Put(f, 24, bitCount, 2);
    } else {
      Put(f, 18, width, 4), Put(f, 22, height, 4), Put(f, 26, 1, 2), Put(f, 28, bitCount, 2);
      Put(f, 30, compression, 4), Put(f, 46, static_cast<std::uint32_t>(palette.size()), 4);
      for (std::size_t i = 0; i < masks.size(); ++i) Put(f, 54 + 4 * i, masks[i], 4);
    }
    for (std::size_t i = 0; i < palette.size(); ++i) {
      Put(f, paletteAt + i * (core ? 3 : 4), palette[i], 3);
    }
    f.insert(f.end(), pixels.begin(), pixels.end());
    return f;
  }
};

QImage Decode(const Bytes& f) {
  ImageSource source(f.data(), f.size());
  return DecodeBitmap(source).Image;
}

using ::ErrorOf;

std::string ErrorOf(const Bytes& f) {
  return ErrorOf([&] { Decode(f); });
}

// The picture's pixels without the opaque alpha, which the checks demand separately.
Rows Pixels(const QImage& image) {
  EXPECT_EQ(image.format(), QImage::Format_RGB32);
  Rows rows(image.height());
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = image.pixel(x, y);
      EXPECT_EQ(qAlpha(p), 255) << x << "," << y;
      rows[y].push_back(p & 0xffffff);
    }
  }
  return rows;
}

Rows Gradient(int width, int height) {
  Rows rows(height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      rows[y].push_back((x * 31 + y * 7) % 256 << 16 | (x * 5 + y * 59) % 256 << 8 | (x ^ y) * 3);
    }
  }
  return rows;
}

// Colour 0 is not black, so that black can only come from a pixel left out.
const std::vector<std::uint32_t> kShades = [] {
  std::vector<std::uint32_t> palette;
  for (std::uint32_t i = 0; i < 16; ++i) palette.push_back(0x123456 + i * 0x010101);
  return palette;
}();

Rows Through(Rows indices, const std::vector<std::uint32_t>& palette) {
  for (auto& row : indices) {
    for (auto& p : row) p = p < palette.size() ? palette[p] : 0;
  }
  return indices;
}

Bmp Indexed(int bitCount, const Rows& indices) {
  Bmp bmp(static_cast<std::int32_t>(indices[0].size()), static_cast<std::int32_t>(indices.size()),
          bitCount, Pack(indices, bitCount));
  bmp.palette = kShades;
  return bmp;
}

Bmp Rle(int bitCount, std::int32_t width, std::int32_t height, Bytes stream) {
  Bmp bmp(width, height, bitCount, std::move(stream));
  bmp.compression = bitCount == 8 ? 1 : 2;
  bmp.palette = kShades;
  return bmp;
}

Bytes Valid24() {
  return Bmp(3, 2, 24, Pack(Gradient(3, 2), 24)).File();
}
Bytes Valid4() {
  return Indexed(4, {{1, 2, 3, 4, 5}, {5, 4, 3, 2, 1}}).File();
}
Bytes ValidRle8() {
  return Rle(8, 4, 2, {4, 1, 0, 0, 0, 4, 2, 3, 4, 5, 0, 1}).File();
}

const std::string kInvalid = kMsgInvalidBitmap;

TEST(Bitmap, TwentyFourBitRowsBothWaysUp) {
  for (int width : {1, 3, 5, 13, 64}) {
    for (bool topDown : {false, true}) {
      const Rows rows = Gradient(width, 3);
      const Bmp bmp(width, topDown ? -3 : 3, 24, Pack(rows, 24, topDown));
      EXPECT_EQ(Pixels(Decode(bmp.File())), rows) << width << (topDown ? " top-down" : "");
    }
  }
}

// The palette has 16 colours: 8-bit indices past it give black.
TEST(Bitmap, PaletteImagesOfOneFourAndEightBits) {
  const Rows indices[] = {{{1, 0, 0, 1, 1, 0, 1, 0, 1}, {0, 1, 1, 0, 0, 1, 0, 1, 0}},
                          {{1, 15, 0, 7, 9}, {3, 3, 12, 5, 1}},
                          {{0, 1, 15, 16}, {200, 2, 255, 0}}};
  const int bitCounts[] = {1, 4, 8};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Pixels(Decode(Indexed(bitCounts[i], indices[i]).File())),
              Through(indices[i], kShades))
        << bitCounts[i];
  }
}

TEST(Bitmap, SixteenAndThirtyTwoBits) {
  // 5 bits spread over 8 as the bits repeated: 16 -> 132; the top bit of 555 is unused.
  Bmp bmp(4, 1, 16, Pack({{0x7c00, 0x03e0, 0x801f, 0x4210}}, 16));
  EXPECT_EQ(Pixels(Decode(bmp.File())), (Rows{{0xff0000, 0x00ff00, 0x0000ff, 0x848484}}));
  bmp.compression = 3;
  bmp.masks = {0xf800, 0x07e0, 0x001f};
  bmp.pixels = Pack({{0xf800, 0x07e0, 0x001f, 0x8410}}, 16);
  EXPECT_EQ(Pixels(Decode(bmp.File())), (Rows{{0xff0000, 0x00ff00, 0x0000ff, 0x848284}}));

  // The alpha byte is ignored, not multiplied in.
  const Bmp argb(2, 1, 32, Pack({{0x00123456, 0x80abcdef}}, 32));
  EXPECT_EQ(Pixels(Decode(argb.File())), (Rows{{0x123456, 0xabcdef}}));
}

TEST(Bitmap, EveryHeaderSize) {
  const Rows rows = Gradient(3, 2);
  Bmp core(3, 2, 24, Pack(rows, 24));
  core.headerSize = 12;
  EXPECT_EQ(Pixels(Decode(core.File())), rows);
  Bmp mono = Indexed(1, {{1, 0}});
  mono.headerSize = 12;
  mono.palette = {0x0000ff, 0xffff00};  // three bytes each, and no count in the header
  EXPECT_EQ(Pixels(Decode(mono.File())), (Rows{{0xffff00, 0x0000ff}}));

  // The masks follow a 40-byte header and sit inside all larger ones.
  for (std::uint32_t headerSize : {40u, 52u, 56u, 108u, 124u}) {
    Bmp bmp(2, 1, 32, Pack({{0x00123456, 0x80abcdef}}, 32));
    bmp.headerSize = headerSize;
    bmp.compression = 3;
    bmp.masks = {0x000000ff, 0x0000ff00, 0x00ff0000};
    EXPECT_EQ(Pixels(Decode(bmp.File())), (Rows{{0x563412, 0xefcdab}})) << headerSize;
  }
}

// Pixels the stream skips stay black, not palette colour 0.
TEST(Bitmap, Rle8) {
  const Bytes stream{3, 1, 0, 3, 2, 3, 2, 0,  // run, absolute with padding
                     0, 0,                    // end of line
                     0, 2, 2, 1,              // delta: rest of row 1 and two of row 2
                     2, 3, 0, 1};             // run, end of bitmap
  const std::uint32_t c1 = kShades[1], c2 = kShades[2], c3 = kShades[3];
  EXPECT_EQ(Pixels(Decode(Rle(8, 6, 3, stream).File())),
            (Rows{{0, 0, c3, c3, 0, 0}, {0, 0, 0, 0, 0, 0}, {c1, c1, c1, c2, c3, c2}}));
}

TEST(Bitmap, Rle4) {
  const Bytes stream{4, 0x12, 0,    3,    0x13, 0x40,  // run of 1 2 1 2, absolute 1 3 4
                     0, 0,                             // end of line
                     0, 5,    0x56, 0x78, 0x90, 0,     // absolute 5 6 7 8 9, padded
                     2, 0xab, 0,    1};                // run of 10 11, end of bitmap
  EXPECT_EQ(Pixels(Decode(Rle(4, 7, 2, stream).File())),
            Through({{5, 6, 7, 8, 9, 10, 11}, {1, 2, 1, 2, 1, 3, 4}}, kShades));
}

TEST(BitmapHostile, BadSignatureAndTinyFiles) {
  Bytes f = Valid24();
  f[1] = 'A';
  EXPECT_EQ(ErrorOf(f), kInvalid);
  EXPECT_EQ(ErrorOf({}), kInvalid);
  EXPECT_EQ(ErrorOf({'B'}), kInvalid);
  EXPECT_EQ(ErrorOf({'B', 'M'}), kInvalid);
}

TEST(BitmapHostile, SizesThatWouldAllocateWithoutBound) {
  const std::string tooLarge = kMsgPictureTooLarge;
  const std::tuple<std::int32_t, std::int32_t, std::string> sizes[] = {
      {100000, 100000, tooLarge}, {32769, 1, tooLarge},    {1, -32769, tooLarge},
      {32768, 32768, tooLarge},   {16385, 1, tooLarge},    {1, 8193, tooLarge},
      {1, -8193, tooLarge},       {0, 1, kInvalid},        {-3, 2, kInvalid},
      {3, 0, kInvalid},           {1, INT32_MIN, tooLarge}};
  for (const auto& [width, height, message] : sizes) {
    Bytes f = Valid24();
    Put(f, 18, width, 4);
    Put(f, 22, height, 4);
    EXPECT_EQ(ErrorOf(f), message) << width << " x " << height;
  }
}

TEST(BitmapHostile, OffsetsAndSizesPastTheEnd) {
  Bytes f = Valid24();
  Put(f, 10, static_cast<std::uint32_t>(f.size()), 4);
  EXPECT_EQ(ErrorOf(f), kInvalid) << "data offset at the end";
  Put(f, 10, 0xffffffff, 4);
  EXPECT_EQ(ErrorOf(f), kInvalid) << "data offset far past the end";
  Put(f, 10, 20, 4);
  EXPECT_EQ(ErrorOf(f), kInvalid) << "data offset inside the header";

  f = Valid4();
  Put(f, 46, 0xffffffff, 4);
  EXPECT_EQ(ErrorOf(f), kInvalid) << "palette larger than the file";
  Put(f, 46, 40, 4);
  EXPECT_EQ(ErrorOf(f), kInvalid) << "palette running past the end";

  Bmp masked(2, 1, 16, {0, 0, 0, 0});
  masked.compression = 3;
  masked.masks = {0xf800, 0x07e0, 0x001f};
  f = masked.File();
  f.resize(54 + 8);
  EXPECT_EQ(ErrorOf(f), kInvalid) << "bit-field masks cut off";
}

// Not a partial image: every cut through a file is found out, wherever it falls.
TEST(BitmapHostile, EveryTruncationIsInvalid) {
  for (const Bytes& file : {Valid24(), Valid4(), ValidRle8()}) {
    EXPECT_NO_THROW(Decode(file));
    for (std::size_t size = 0; size < file.size(); ++size) {
      EXPECT_EQ(ErrorOf(Bytes(file.begin(), file.begin() + size)), kInvalid) << size;
    }
  }
}

TEST(BitmapHostile, UnsupportedKinds) {
  const auto with = [](std::size_t at, std::uint32_t value, int size) {
    Bytes f = Valid24();
    Put(f, at, value, size);
    return ErrorOf(f);
  };
  EXPECT_EQ(with(30, 4, 4), kInvalid) << "JPEG";
  EXPECT_EQ(with(30, 5, 4), kInvalid) << "PNG";
  EXPECT_EQ(with(30, 1, 4), kInvalid) << "RLE8 on 24 bits";
  EXPECT_EQ(with(26, 2, 2), kInvalid) << "two planes";
  EXPECT_EQ(with(14, 64, 4), kInvalid) << "OS/2 2.x header";
  for (std::uint32_t bitCount : {0u, 2u, 64u}) {
    EXPECT_EQ(with(28, bitCount, 2), kInvalid) << bitCount;
  }
  EXPECT_EQ(ErrorOf(Rle(8, 2, -1, {2, 1, 0, 1}).File()), kInvalid) << "top-down RLE";
}

TEST(BitmapHostile, RleRunningPastTheRowOrImage) {
  const Bytes streams[] = {
      {5, 1, 0, 1},                    // run longer than the row
      {2, 1, 0, 3, 1, 2, 3, 0, 0, 1},  // absolute mode past the row
      {0, 2, 5, 0, 0, 1},              // delta past the row
      {0, 2, 0, 3, 0, 1},              // delta past the last row
      {0, 0, 0, 0, 1, 1, 0, 1},        // run below the last row
      {0, 5, 1, 2},                    // absolute mode past the data
      {4, 1},                          // no end of bitmap
  };
  for (const Bytes& stream : streams) {
    EXPECT_EQ(ErrorOf(Rle(8, 4, 2, stream).File()), kInvalid) << testing::PrintToString(stream);
  }
}

// Whatever a damaged header says, the answer is an image or the German message, never a crash.
TEST(BitmapHostile, DamagedHeadersNeverCrash) {
  for (const Bytes& original : {Valid4(), ValidRle8()}) {
    for (std::size_t at = 0; at < 54; ++at) {
      for (unsigned char value : {0x00, 0x01, 0x7f, 0x80, 0xff}) {
        Bytes f = original;
        f[at] = value;
        try {
          Decode(f);
        } catch (const TorbelError& e) {
          EXPECT_TRUE(e.Message() == kInvalid || e.Message() == kMsgPictureTooLarge) << e.Message();
        }
      }
    }
  }
}

class BitmapFile : public testing::Test {
 protected:
  QString Write(const char* name, const Bytes& contents) {
    const QString path = dir_.filePath(QString::fromUtf8(name));
    std::ofstream(QFile::encodeName(path).toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(contents.data()),
               static_cast<std::streamsize>(contents.size()));
    return path;
  }

  QTemporaryDir dir_;
};

QImage Load(const QString& path) {
  ImageSource source(path);
  return DecodeBitmap(source).Image;
}

std::string LoadError(const QString& path) {
  return ErrorOf([&] { Load(path); });
}

TEST_F(BitmapFile, LoadAgreesWithDecode) {
  // The first is large enough to be read in several chunks and shared between two threads.
  const Bytes large = Bmp(2001, 1500, 24, Pack(Gradient(2001, 1500), 24)).File();
  const Bytes topDown32 = Bmp(7, -3, 32, Pack(Gradient(7, 3), 32, true)).File();
  for (const Bytes& file : {large, topDown32, Valid4(), ValidRle8()}) {
    const QImage loaded = Load(Write("Pänorama.bmp", file));
    EXPECT_EQ(loaded.format(), QImage::Format_RGB32);
    EXPECT_EQ(loaded, Decode(file));
  }
  EXPECT_EQ(LoadError(Write("kurz.bmp", Bytes(large.begin(), large.end() - 1))), kInvalid);
  EXPECT_EQ(LoadError(Write("leer.bmp", {})), kInvalid);
}

TEST_F(BitmapFile, FileErrorsInGerman) {
  EXPECT_EQ(LoadError(dir_.filePath("fehlt.bmp")), "Datei nicht gefunden");
  EXPECT_EQ(LoadError(dir_.path()), "Das ist ein Ordner, keine Datei");
}

TEST_F(BitmapFile, APictureWhoseMemoryIsNotToBeHadSaysSo) {
  if (kAddressSanitizer) GTEST_SKIP() << "no address-space limit under AddressSanitizer";
  // A few bytes that declare 16320 x 6120 pixels, 400 MB once decoded.
  const QString path = Write("gross.bmp", Rle(8, 16320, 6120, {0, 1}).File());
  const auto load = [&] { return LoadError(path); };
  EXPECT_EQ(WithinMemory(64 << 20, load), "Zu wenig Arbeitsspeicher");
  EXPECT_EQ(WithinMemory(600 << 20, load), "kein Fehler");
}

}  // namespace
