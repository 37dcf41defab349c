#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QTemporaryDir>
#include <string>

#include "core/Errors.h"
#include "io/PanoramaFile.h"
#include "io/PanoramaXmp.h"
#include "tests/ImageFiles.h"
#include "tests/MemoryLimit.h"
#include "tests/TestFiles.h"

namespace {

using namespace image_files;

PanoPicture Decode(const Bytes& f) {
  return DecodePanoramaFile(f.data(), f.size());
}

template <typename Read>
std::string ErrorOf(Read read) {
  try {
    read();
  } catch (const TorbelError& e) {
    return e.Message();
  }
  return "kein Fehler";
}

std::string ErrorOf(const Bytes& f) {
  return ErrorOf([&] { Decode(f); });
}

unsigned To8(unsigned v, int depth) {
  return depth == 16 ? (v * 255 + 32767) / 65535 : v * 255 / ((1u << depth) - 1);
}

// The picture the samples make: grey spread to RGB, palette looked up, alpha left out.
QRgb Expected(const Samples& s, int x, int y, bool palette, bool whiteIsZero = false) {
  if (palette) {
    const png_color c = PaletteColour(s.At(x, y, 0));
    return qRgb(c.red, c.green, c.blue);
  }
  const auto at = [&](int c) { return To8(s.At(x, y, c), s.depth) ^ (whiteIsZero ? 255 : 0); };
  return s.channels < 3 ? qRgb(at(0), at(0), at(0)) : qRgb(at(0), at(1), at(2));
}

// Nothing when the picture is what the samples make, opaque; else the first pixel that is not.
std::string Mismatch(const QImage& image, const Samples& s, bool palette,
                     bool whiteIsZero = false) {
  if (image.format() != QImage::Format_RGB32 || image.size() != QSize(s.width, s.height)) {
    return "format or size";
  }
  for (int y = 0; y < s.height; ++y) {
    for (int x = 0; x < s.width; ++x) {
      const QRgb got = reinterpret_cast<const QRgb*>(image.constScanLine(y))[x];
      const QRgb want = Expected(s, x, y, palette, whiteIsZero);
      if (got != want)
        return QString::asprintf("%d,%d: %08x, not %08x", x, y, got, want).toStdString();
    }
  }
  return {};
}

const std::vector<std::vector<unsigned>> kColours = {
    {200, 30, 40}, {20, 180, 60}, {30, 40, 220}, {240, 240, 20}};
const std::vector<std::vector<unsigned>> kGreys = {{20}, {90}, {160}, {230}};
const std::vector<std::vector<unsigned>> kInks = {  // cyan, magenta, yellow, black
    {0, 0, 0, 0},
    {255, 0, 0, 0},
    {30, 200, 60, 40},
    {0, 0, 0, 255}};
const std::vector<std::vector<unsigned>> kInkColours = {
    {255, 255, 255}, {0, 255, 255}, {190, 46, 164}, {0, 0, 0}};

std::vector<std::vector<unsigned>> Inverted(std::vector<std::vector<unsigned>> inks) {
  for (auto& ink : inks) {
    for (auto& v : ink) v = 255 - v;
  }
  return inks;
}

TEST(PanoramaFile, EveryKindOfJpeg) {
  const struct {
    const char* kind;
    Bytes file;
    std::vector<std::vector<unsigned>> colours;
  } cases[] = {
      {"baseline", Jpeg(Quadrants(kColours), JCS_RGB, JCS_YCbCr), kColours},
      {"progressive", Jpeg(Quadrants(kColours), JCS_RGB, JCS_YCbCr, Scans::kProgressive), kColours},
      {"stored as RGB", Jpeg(Quadrants(kColours), JCS_RGB, JCS_RGB), kColours},
      {"grey", Jpeg(Quadrants(kGreys), JCS_GRAYSCALE, JCS_GRAYSCALE), {{20}, {90}, {160}, {230}}},
      {"Adobe's inverted CMYK", Jpeg(Quadrants(Inverted(kInks)), JCS_CMYK, JCS_CMYK), kInkColours},
      {"plain CMYK", Jpeg(Quadrants(kInks), JCS_CMYK, JCS_CMYK, Scans::kOne, false), kInkColours},
      {"YCCK", Jpeg(Quadrants(Inverted(kInks)), JCS_CMYK, JCS_YCCK, Scans::kProgressive),
       kInkColours},
  };
  for (const auto& c : cases) {
    const QImage image = Decode(c.file).Image;
    ASSERT_EQ(image.format(), QImage::Format_RGB32) << c.kind;
    for (int q = 0; q < 4; ++q) {
      const QRgb got = image.pixel(8 + q % 2 * 16, 8 + q / 2 * 16);
      const auto& want = c.colours[q];
      const int channels[] = {qRed(got), qGreen(got), qBlue(got)};
      for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(channels[i], int(want[want.size() == 1 ? 0 : i]), 3) << c.kind << " " << q;
      }
    }
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 32; ++x) ASSERT_EQ(qAlpha(image.pixel(x, y)), 255) << c.kind;
    }
  }
}

TEST(PanoramaFile, EveryKindOfPng) {
  const struct {
    int type, depth;
    bool interlaced = false, transparent = false;
  } cases[] = {{PNG_COLOR_TYPE_GRAY, 1},          {PNG_COLOR_TYPE_GRAY, 2},
               {PNG_COLOR_TYPE_GRAY, 4, true},    {PNG_COLOR_TYPE_GRAY, 8, false, true},
               {PNG_COLOR_TYPE_GRAY, 16},         {PNG_COLOR_TYPE_GA, 8},
               {PNG_COLOR_TYPE_GA, 16, true},     {PNG_COLOR_TYPE_RGB, 8, false, true},
               {PNG_COLOR_TYPE_RGB, 16},          {PNG_COLOR_TYPE_RGBA, 8, true},
               {PNG_COLOR_TYPE_RGBA, 16},         {PNG_COLOR_TYPE_PALETTE, 1},
               {PNG_COLOR_TYPE_PALETTE, 4, true}, {PNG_COLOR_TYPE_PALETTE, 8, true, true}};
  for (const auto& c : cases) {
    const bool palette = c.type == PNG_COLOR_TYPE_PALETTE;
    const int channels =
        palette ? 1 : (c.type & PNG_COLOR_MASK_COLOR ? 3 : 1) + (c.type & 4 ? 1 : 0);
    const Samples s = Noise(13, 11, channels, c.depth);
    EXPECT_EQ(Mismatch(Decode(Png(s, c.type, c.interlaced, c.transparent)).Image, s, palette), "")
        << "type " << c.type << ", " << c.depth << " bits" << (c.interlaced ? ", interlaced" : "");
  }
}

TEST(PanoramaFile, EveryKindOfTiff) {
  const struct {
    int channels, depth;
    TiffKind kind;
  } cases[] = {
      {3, 8, {PHOTOMETRIC_RGB}},
      {3, 8, {PHOTOMETRIC_RGB, COMPRESSION_LZW, false, true}},
      {3, 8, {PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE, true}},
      {3, 8, {PHOTOMETRIC_RGB, COMPRESSION_NONE, false, false, true}},
      {4, 8, {PHOTOMETRIC_RGB, COMPRESSION_PACKBITS}},
      {3, 16, {PHOTOMETRIC_RGB, COMPRESSION_NONE, true, true}},
      {4, 16, {PHOTOMETRIC_RGB, COMPRESSION_LZW, true, true}},
      {1, 8, {PHOTOMETRIC_MINISBLACK}},
      {1, 8, {PHOTOMETRIC_MINISWHITE}},
      {2, 16, {PHOTOMETRIC_MINISBLACK, COMPRESSION_ADOBE_DEFLATE}},
      {1, 8, {PHOTOMETRIC_PALETTE, COMPRESSION_LZW}},
  };
  for (const auto& c : cases) {
    const Samples s = Noise(37, 21, c.channels, c.depth);
    EXPECT_EQ(Mismatch(Decode(Tiff(s, c.kind)).Image, s, c.kind.photometric == PHOTOMETRIC_PALETTE,
                       c.kind.photometric == PHOTOMETRIC_MINISWHITE),
              "")
        << c.channels << " x " << c.depth << " bits, photometric " << c.kind.photometric
        << ", compression " << c.kind.compression << (c.kind.tiled ? ", tiled" : "")
        << (c.kind.bigEndian ? ", MM" : "") << (c.kind.separate ? ", planes" : "");
  }
}

// Photo-sphere tags of a 64 x 16 picture: a full sphere 64 wide is 32 high.
std::map<std::string, std::string> Crop(const char* top, const char* width = "64",
                                        const char* height = "16", const char* fullHeight = "32") {
  return {{"CroppedAreaTopPixels", top},          {"CroppedAreaLeftPixels", "9"},
          {"CroppedAreaImageWidthPixels", width}, {"CroppedAreaImageHeightPixels", height},
          {"FullPanoWidthPixels", "64"},          {"FullPanoHeightPixels", fullHeight}};
}

std::string Packet(const std::map<std::string, std::string>& tags) {
  Exiv2::XmpData xmp;
  for (const auto& [name, value] : tags) xmp["Xmp.GPano." + name] = value;
  std::string packet;
  Exiv2::XmpParser::encode(packet, xmp);
  return packet;
}

TEST(PanoramaFile, CropFromPhotoSphereTags) {
  auto missing = Crop("6");
  missing.erase("CroppedAreaTopPixels");
  auto larger = Crop("12", "128", "32", "64");  // tagged at twice the size
  larger["FullPanoWidthPixels"] = "128";
  auto cylinder = Crop("6");
  cylinder["ProjectionType"] = "cylindrical";
  const char* invalid = kMsgPanoramaTagsInvalid;
  const struct {
    const char* what;
    std::string packet;
    Real top;
    const char* message = nullptr;
  } cases[] = {
      {"none", "", 0},
      {"only a viewer's hint", Packet({{"ProjectionType", "equirectangular"}}), 0},
      {"cropped", Packet(Crop(" 6 ")), 6},
      {"resized after tagging", Packet(larger), 6},
      {"partial turn", Packet(Crop("6", "48")), 0, kMsgPanoramaNotFullTurn},
      {"cylindrical", Packet(cylinder), 0, kMsgPanoramaNotEquirectangular},
      {"taller than the picture", Packet(Crop("0", "64", "32")), 0, invalid},
      {"not a number", Packet(Crop("sechs")), 0, invalid},
      {"fraction", Packet(Crop("6.5")), 0, invalid},
      {"negative", Packet(Crop("-6")), 0, invalid},
      {"down to the sphere's foot", Packet(Crop("16")), 16},
      {"below the sphere", Packet(Crop("17")), 0, invalid},
      {"tag missing", Packet(missing), 0, invalid},
      {"sphere not half as high as wide", Packet(Crop("6", "64", "16", "40")), 0, invalid},
      {"unreadable", "<x:xmpmeta xmlns:GPano='http://ns.google.com/photos/1.0/panorama/'>", 0,
       invalid},
  };
  for (const auto& c : cases) {
    if (c.message == nullptr) {
      EXPECT_EQ(PanoramaTop(c.packet, 64, 16), c.top) << c.what;
    } else {
      EXPECT_EQ(ErrorOf([&] { PanoramaTop(c.packet, 64, 16); }), c.message) << c.what;
    }
  }
}

TEST(PanoramaFile, CropTagsWhereExiv2WritesThem) {
  const Samples s = Noise(64, 16, 3, 8);
  for (const Bytes& plain :
       {Jpeg(s, JCS_RGB, JCS_YCbCr), Png(s, PNG_COLOR_TYPE_RGB), Tiff(s, {PHOTOMETRIC_RGB})}) {
    EXPECT_EQ(Decode(plain).Shape, Panorama(64, 16, 0));
    EXPECT_EQ(Decode(WithGPano(plain, Crop("6"))).Shape, Panorama(64, 16, 6));
    EXPECT_EQ(ErrorOf(WithGPano(plain, Crop("6", "32"))), kMsgPanoramaNotFullTurn);
  }
}

// The name does not matter, the first bytes do; reading from the file gives what memory gives,
// also where the file is read in several chunks.
TEST(PanoramaFile, ReadFromTheFileAsFromMemory) {
  QTemporaryDir dir;
  const Samples large = Noise(1000, 400, 3, 8);
  Bytes padded = Jpeg(Noise(64, 16, 3, 8), JCS_RGB, JCS_YCbCr);
  // 60000 bytes of an application's data, to be passed over: end markers, should they be read.
  Bytes segment{0xff, 0xe2, 0xea, 0x62};
  for (int i = 0; i < 30000; ++i) segment.insert(segment.end(), {0xff, 0xd9});
  for (int i = 0; i < 20; ++i) padded.insert(padded.begin() + 2, segment.begin(), segment.end());
  // A stray byte before a marker, as some cameras leave.
  padded.insert(padded.begin() + 2 + segment.size(), 0);
  for (const Bytes& f : {Jpeg(large, JCS_RGB, JCS_YCbCr), Png(large, PNG_COLOR_TYPE_RGB), padded,
                         Tiff(large, {PHOTOMETRIC_RGB, COMPRESSION_LZW}),
                         WithGPano(Png(Noise(64, 16, 1, 8), PNG_COLOR_TYPE_GRAY), Crop("6"))}) {
    const QString path =
        WriteTestFile(dir.path(), "Pänorama.bmp",
                      QByteArray(reinterpret_cast<const char*>(f.data()), qsizetype(f.size())));
    const PanoPicture read = ReadPanoramaFile(path), decoded = Decode(f);
    EXPECT_EQ(read.Image, decoded.Image);
    EXPECT_EQ(read.Shape, decoded.Shape);
  }
  EXPECT_EQ(ErrorOf([&] { ReadPanoramaFile(dir.filePath("fehlt.jpg")); }), "Datei nicht gefunden");
  EXPECT_EQ(ErrorOf([&] { ReadPanoramaFile(dir.path()); }), "Dateizugriff verweigert");
  ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
  EXPECT_EQ(ErrorOf([&] { ReadPanoramaFile(dir.filePath("fifo")); }), kMsgNotAFile);
}

// Not a partial picture: every cut through a file is found out, wherever it falls.
TEST(PanoramaFileHostile, EveryTruncationIsRefused) {
  const Samples s = Noise(19, 17, 3, 8);
  const std::tuple<Bytes, std::size_t, std::string> files[] = {
      {Jpeg(s, JCS_RGB, JCS_YCbCr), 3, kMsgInvalidJpeg},
      {Jpeg(s, JCS_RGB, JCS_YCbCr, Scans::kProgressive), 3, kMsgInvalidJpeg},
      {Png(s, PNG_COLOR_TYPE_RGB, true), 8, kMsgInvalidPng},
      {Tiff(s, {PHOTOMETRIC_RGB, COMPRESSION_LZW}), 4, kMsgInvalidTiff},
      {Tiff(s, {PHOTOMETRIC_RGB, COMPRESSION_NONE, true, true}), 4, kMsgInvalidTiff}};
  for (const auto& [file, signature, message] : files) {
    EXPECT_EQ(ErrorOf(file), "kein Fehler");
    for (std::size_t size = 1; size < file.size(); ++size) {
      ASSERT_EQ(ErrorOf(Bytes(file.begin(), file.begin() + size)),
                size < signature ? kMsgUnknownPictureFormat : message)
          << size << " of " << file.size();
    }
  }
}

// Where a JPEG's segment of this marker or the other starts, walking the headers.
std::size_t Segment(const Bytes& f, unsigned char marker, unsigned char other) {
  std::size_t at = 2;
  while (f[at + 1] != marker && f[at + 1] != other) at += 2 + (f[at + 2] << 8 | f[at + 3]);
  return at;
}

// The size in a JPEG's frame header.
Bytes JpegSized(Bytes f, unsigned width, unsigned height) {
  const std::size_t at = Segment(f, 0xc0, 0xc2);
  f[at + 5] = height >> 8, f[at + 6] = height & 0xff, f[at + 7] = width >> 8,
         f[at + 8] = width & 0xff;
  return f;
}

TEST(PanoramaFileHostile, RefusedWithTheirMessage) {
  const Samples s = Noise(64, 64, 3, 8);
  const Bytes jpeg = Jpeg(s, JCS_RGB, JCS_YCbCr);
  Bytes twelveBits = jpeg, cut = jpeg, badCrc = Png(s, PNG_COLOR_TYPE_RGB);
  twelveBits[Segment(jpeg, 0xc0, 0xc2) + 4] = 12;
  // An end marker amid the pixels, which follow the scan header of three components.
  const std::size_t middle = (Segment(jpeg, 0xda, 0xda) + 14 + jpeg.size()) / 2;
  cut[middle] = 0xff, cut[middle + 1] = 0xd9;
  badCrc[badCrc.size() - 20] ^= 1;
  const Samples huge{100000, 100000, 3, 8, {}};
  Samples floats = Noise(8, 8, 1, 32);
  const std::tuple<const char*, Bytes, std::string> cases[] = {
      {"empty", {}, kMsgEmptyFile},
      {"GIF", {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0}, kMsgUnknownPictureFormat},
      {"bitmap", {'B', 'M'}, kMsgInvalidBitmap},
      {"JPEG 20000 wide", JpegSized(jpeg, 20000, 100), kMsgPictureTooLarge},
      {"JPEG 65535 square", JpegSized(jpeg, 65535, 65535), kMsgPictureTooLarge},
      {"PNG 100000 square", Png(huge, PNG_COLOR_TYPE_RGB), kMsgPictureTooLarge},
      {"PNG 2000000 wide", Png({2000000, 1, 3, 8, {}}, PNG_COLOR_TYPE_RGB), kMsgPictureTooLarge},
      {"TIFF 100000 square", Tiff(huge, {PHOTOMETRIC_RGB}), kMsgPictureTooLarge},
      {"JPEG of 12 bits", twelveBits, kMsgUnsupportedJpeg},
      {"JPEG cut by a marker", cut, kMsgInvalidJpeg},
      {"JPEG of 193 scans", Jpeg(s, JCS_RGB, JCS_YCbCr, Scans::kEveryFrequency), kMsgInvalidJpeg},
      {"PNG with a wrong checksum", badCrc, kMsgInvalidPng},
      {"TIFF of floating-point grey", Tiff(floats, {PHOTOMETRIC_MINISBLACK}), kMsgUnsupportedTiff},
  };
  for (const auto& [what, file, message] : cases) EXPECT_EQ(ErrorOf(file), message) << what;
}

// Memory runs out at the picture, before the missing pixel data is noticed.
TEST(PanoramaFileHostile, APictureWhoseMemoryIsNotToBeHadSaysSo) {
  if (kAddressSanitizer) GTEST_SKIP() << "no address-space limit under AddressSanitizer";
  const Samples header{16000, 8000, 3, 8, {}};
  const std::pair<Bytes, std::string> files[] = {
      {JpegSized(Jpeg(Noise(16, 16, 3, 8), JCS_RGB, JCS_YCbCr), 16000, 8000), kMsgInvalidJpeg},
      {Png(header, PNG_COLOR_TYPE_RGB), kMsgInvalidPng},
      {Tiff(header, {PHOTOMETRIC_RGB}), kMsgInvalidTiff}};
  for (const auto& [file, message] : files) {
    const auto decode = [&] { return ErrorOf(file); };
    EXPECT_EQ(WithinMemory(64 << 20, decode), "Zu wenig Arbeitsspeicher");
    EXPECT_EQ(WithinMemory(700 << 20, decode), message);
  }
}

}  // namespace
