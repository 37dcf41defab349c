// The photographic formats, on the fuzzers' seeds: small files of every kind, written by the
// formats' own libraries and exiv2 (fuzz/MakeImageSeeds.cpp says how each is made).

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QTemporaryDir>
#include <string>

#include "core/Errors.h"
#include "fuzz/ImageFiles.h"
#include "io/PanoramaFile.h"
#include "io/PanoramaXmp.h"
#include "tests/MemoryLimit.h"
#include "tests/TestFiles.h"

#ifndef TORBEL_SOURCE_DIR
#error "TORBEL_SOURCE_DIR (the repository root) must be defined to find the seeds"
#endif

namespace {

using namespace image_files;

Bytes Seed(const char* kind, const char* name) {
  const QByteArray bytes = ReadTestFile(QStringLiteral(TORBEL_SOURCE_DIR "/fuzz/corpus/%1/%2")
                                            .arg(QLatin1String(kind), QLatin1String(name)));
  EXPECT_NE(bytes, "(unreadable)") << kind << "/" << name;
  return Bytes(bytes.begin(), bytes.end());
}

PanoPicture Decode(const Bytes& f) {
  return DecodePanoramaFile(f.data(), f.size());
}

using ::ErrorOf;

std::string ErrorOf(const Bytes& f) {
  return ErrorOf([&] { Decode(f); });
}

// The picture the samples make: grey spread to RGB, palette looked up, alpha left out, 16 bits
// rounded to 8.
QRgb Expected(const Samples& s, int x, int y, bool palette, bool whiteIsZero) {
  if (palette) {
    const png_color c = PaletteColour(s.At(x, y, 0));
    return qRgb(c.red, c.green, c.blue);
  }
  const auto at = [&](int c) {
    const unsigned v = s.At(x, y, c);
    return (s.depth == 16 ? (v * 255 + 32767) / 65535 : v * 255 / ((1u << s.depth) - 1)) ^
           (whiteIsZero ? 255 : 0);
  };
  return s.channels < 3 ? qRgb(at(0), at(0), at(0)) : qRgb(at(0), at(1), at(2));
}

// Nothing when the picture is what the samples make, opaque; else the first pixel that is not.
std::string Mismatch(const QImage& image, const Samples& s, bool palette, bool whiteIsZero) {
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

// The seeds' quadrants, read back within what the lossy format keeps.
TEST(PanoramaFile, EveryKindOfJpeg) {
  const std::vector<unsigned> colours[] = {
      {200, 30, 40}, {20, 180, 60}, {30, 40, 220}, {240, 240, 20}};
  const std::vector<unsigned> greys[] = {{20}, {90}, {160}, {230}};
  // The inks (none, cyan, some of each, black) as the screen shows them.
  const std::vector<unsigned> inks[] = {{255, 255, 255}, {0, 255, 255}, {190, 46, 164}, {0, 0, 0}};
  const std::pair<const char*, const std::vector<unsigned>*> cases[] = {
      {"baseline", colours}, {"progressive", colours}, {"stored_as_rgb", colours},
      {"grey", greys},       {"cmyk_adobe", inks},     {"cmyk_plain", inks},
      {"ycck", inks}};
  for (const auto& [name, quadrants] : cases) {
    const QImage image = Decode(Seed("jpeg", name)).Image;
    ASSERT_EQ(image.format(), QImage::Format_RGB32) << name;
    for (int q = 0; q < 4; ++q) {
      const QRgb got = image.pixel(8 + q % 2 * 16, 8 + q / 2 * 16);
      const std::vector<unsigned>& want = quadrants[q];
      const int channels[] = {qRed(got), qGreen(got), qBlue(got)};
      for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(channels[i], int(want[want.size() == 1 ? 0 : i]), 3) << name << " " << q;
      }
    }
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 32; ++x) ASSERT_EQ(qAlpha(image.pixel(x, y)), 255) << name;
    }
  }
}

TEST(PanoramaFile, EveryKindOfPngAndTiff) {
  const struct {
    const char* kind;
    const char* name;
    int width, channels, depth;
    bool palette = false, whiteIsZero = false;
  } cases[] = {
      {"png", "grey_1", 13, 1, 1},
      {"png", "grey_4_interlaced", 13, 1, 4},
      {"png", "grey_8_transparent", 13, 1, 8},
      {"png", "grey_16", 13, 1, 16},
      {"png", "grey_alpha_8", 13, 2, 8},
      {"png", "grey_alpha_16_interlaced", 13, 2, 16},
      {"png", "rgb_8_transparent", 13, 3, 8},
      {"png", "rgb_16", 13, 3, 16},
      {"png", "rgba_8_interlaced", 13, 4, 8},
      {"png", "rgba_16", 13, 4, 16},
      {"png", "palette_2", 13, 1, 2, true},
      {"png", "palette_8_interlaced_transparent", 13, 1, 8, true},
      {"tiff", "rgb_8", 21, 3, 8},
      {"tiff", "rgb_8_lzw_mm", 21, 3, 8},
      {"tiff", "rgb_8_deflate_tiled", 21, 3, 8},
      {"tiff", "rgb_8_planes", 21, 3, 8},
      {"tiff", "rgba_8_packbits", 21, 4, 8},
      {"tiff", "rgb_16_tiled_mm", 21, 3, 16},
      {"tiff", "rgba_16_lzw_tiled_mm", 21, 4, 16},
      {"tiff", "rgba_16_lzw", 21, 4, 16},
      {"tiff", "grey_8", 21, 1, 8},
      {"tiff", "white_is_zero_8", 21, 1, 8, false, true},
      {"tiff", "white_is_zero_8_tiled", 21, 1, 8, false, true},
      {"tiff", "grey_alpha_16_deflate", 21, 2, 16},
      {"tiff", "palette_8_lzw", 21, 1, 8, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Mismatch(Decode(Seed(c.kind, c.name)).Image, Noise(c.width, 9, c.channels, c.depth),
                       c.palette, c.whiteIsZero),
              "")
        << c.kind << "/" << c.name;
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
  // A sphere 65 wide, tagged on the picture 64 wide.
  const auto odd = [](const char* fullHeight) {
    auto tags = Crop("6", "65", "16", fullHeight);
    tags["FullPanoWidthPixels"] = "65";
    return Packet(tags);
  };
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
      {"odd width, half of it rounded down", odd("32"), 6.0L * 64 / 65},
      {"odd width, half of it rounded up", odd("33"), 6.0L * 64 / 65},
      {"odd width, off by more than its rounding", odd("34"), 0, invalid},
      {"even width, off by one", Packet(Crop("6", "64", "16", "33")), 0, invalid},
      {"unreadable", "<x:xmpmeta xmlns:GPano='http://ns.google.com/photos/1.0/panorama/'>", 0,
       invalid},
  };
  for (const auto& c : cases) {
    Real top = 0;
    EXPECT_EQ(ErrorOf([&] { top = PanoramaTop(c.packet, 64, 16); }),
              c.message != nullptr ? c.message : "kein Fehler")
        << c.what;
    EXPECT_EQ(top, c.top) << c.what;
  }
}

// The pose of the camera, as photo-sphere tags give it, is the panorama's starting tilt.
TEST(PanoramaFile, PoseFromPhotoSphereTags) {
  const char* invalid = kMsgPanoramaTagsInvalid;
  const struct {
    const char* what;
    std::map<std::string, std::string> tags;
    std::optional<Tilt> pose;
    const char* message = nullptr;
  } cases[] = {
      {"none", {{"ProjectionType", "equirectangular"}}, std::nullopt},
      {"heading only", {{"PoseHeadingDegrees", "90"}}, std::nullopt},
      {"pitch and roll",
       {{"PosePitchDegrees", " 0.36"}, {"PoseRollDegrees", "-1.25 "}},
       Tilt{0.36, -1.25}},
      {"roll alone", {{"PoseRollDegrees", "180"}}, Tilt{0, 180}},
      {"not a number", {{"PosePitchDegrees", "flach"}}, std::nullopt, invalid},
      {"pitch beyond the zenith", {{"PosePitchDegrees", "90.5"}}, std::nullopt, invalid},
  };
  for (const auto& c : cases) {
    std::optional<Tilt> pose;
    EXPECT_EQ(ErrorOf([&] { pose = PanoramaPose(Packet(c.tags)); }),
              c.message != nullptr ? c.message : "kein Fehler")
        << c.what;
    EXPECT_EQ(pose, c.pose) << c.what;
  }
}

TEST(PanoramaFile, CropTagsWhereExiv2WritesThem) {
  for (const char* kind : {"jpeg", "png", "tiff"}) {
    EXPECT_EQ(Decode(Seed(kind, "gpano")).Shape, Panorama(64, 16, 8)) << kind;
    EXPECT_EQ(ErrorOf(Seed(kind, "invalid_partial_turn")), kMsgPanoramaNotFullTurn) << kind;
  }
}

// The name does not matter, the first bytes do; reading from the file gives what memory gives,
// also where the file is read in several blocks.
TEST(PanoramaFile, ReadFromTheFileAsFromMemory) {
  QTemporaryDir dir;
  // 60000 bytes of an application's data to pass over, end markers should they be read, and a
  // stray byte before a marker, as some cameras leave.
  Bytes jpeg = Seed("jpeg", "baseline"), segment{0xff, 0xe2, 0xea, 0x62};
  for (int i = 0; i < 30000; ++i) segment.insert(segment.end(), {0xff, 0xd9});
  for (int i = 0; i < 20; ++i) jpeg.insert(jpeg.begin() + 2, segment.begin(), segment.end());
  jpeg.insert(jpeg.begin() + 2 + segment.size(), 0);
  // A private chunk of 1.2 MB before the pixels.
  Bytes png = Seed("png", "rgb_16"), chunk{0x00, 0x12, 0x4f, 0x80, 'p', 'r', 'V', 't'};
  chunk.resize(chunk.size() + 0x124f80 + 4, 'c');
  png.insert(png.begin() + 33, chunk.begin(), chunk.end());
  for (const Bytes& f : {jpeg, png, Seed("tiff", "rgb_8_lzw_mm"), Seed("png", "gpano")}) {
    const QString path =
        WriteTestFile(dir.path(), QStringLiteral("Pänorama.bmp"),
                      QByteArray(reinterpret_cast<const char*>(f.data()), qsizetype(f.size())));
    const PanoPicture read = ReadPanoramaFile(path), decoded = Decode(f);
    EXPECT_FALSE(read.isNull());
    EXPECT_EQ(read.Image, decoded.Image);
    EXPECT_EQ(read.Shape, decoded.Shape);
  }
  EXPECT_EQ(ErrorOf([&] { ReadPanoramaFile(dir.filePath("fehlt.jpg")); }), "Datei nicht gefunden");
  EXPECT_EQ(ErrorOf([&] { ReadPanoramaFile(dir.path()); }), "Das ist ein Ordner, keine Datei");
  ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
  EXPECT_EQ(ErrorOf([&] { ReadPanoramaFile(dir.filePath("fifo")); }), kMsgNotAFile);
}

// Not a partial picture: every cut through a file is found out, wherever it falls.
TEST(PanoramaFileHostile, EveryTruncationIsRefused) {
  const std::tuple<const char*, const char*, std::size_t, std::string> files[] = {
      {"jpeg", "baseline", 3, kMsgInvalidJpeg},
      {"jpeg", "progressive", 3, kMsgInvalidJpeg},
      {"png", "rgba_8_interlaced", 8, kMsgInvalidPng},
      {"tiff", "rgb_8_lzw_mm", 4, kMsgInvalidTiff},
      {"tiff", "rgb_8_deflate_tiled", 4, kMsgInvalidTiff}};
  for (const auto& [kind, name, signature, message] : files) {
    const Bytes file = Seed(kind, name);
    EXPECT_EQ(ErrorOf(file), "kein Fehler") << name;
    for (std::size_t size = 1; size < file.size(); ++size) {
      ASSERT_EQ(ErrorOf(Bytes(file.begin(), file.begin() + size)),
                size < signature ? kMsgUnknownPictureFormat : message)
          << name << ": " << size << " of " << file.size();
    }
  }
}

TEST(PanoramaFileHostile, RefusedWithTheirMessage) {
  const std::tuple<const char*, const char*, std::string> seeds[] = {
      {"jpeg", "invalid_claims_20000_wide", kMsgPictureTooLarge},
      {"jpeg", "invalid_claims_65535_square", kMsgPictureTooLarge},
      {"png", "invalid_claims_100000_square", kMsgPictureTooLarge},
      {"png", "invalid_claims_2000000_wide", kMsgPictureTooLarge},
      {"tiff", "invalid_claims_100000_square", kMsgPictureTooLarge},
      {"jpeg", "invalid_12_bits", kMsgUnsupportedJpeg},
      {"jpeg", "invalid_cut_by_a_marker", kMsgInvalidJpeg},
      {"jpeg", "invalid_193_scans", kMsgInvalidJpeg},
      {"png", "invalid_wrong_checksum", kMsgInvalidPng},
      {"tiff", "invalid_floating_point", kMsgUnsupportedTiff},
  };
  for (const auto& [kind, name, message] : seeds)
    EXPECT_EQ(ErrorOf(Seed(kind, name)), message) << name;
  EXPECT_EQ(ErrorOf(Bytes{}), kMsgEmptyFile);
  EXPECT_EQ(ErrorOf(Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0}), kMsgUnknownPictureFormat);
  EXPECT_EQ(ErrorOf(Bytes{'B', 'M'}), kMsgInvalidBitmap);
}

// Gigabytes of nothing in a file (a sparse one here, so that nothing large is written) are not
// read through: a file larger than any panorama is refused by its size, and below that a JPEG
// with more junk between its markers than a damaged camera file holds. A few stray bytes load.
TEST(PanoramaFileHostile, APaddedFileIsRefusedBeforeItIsReadThrough) {
  QTemporaryDir dir;
  const Bytes jpeg = Seed("jpeg", "baseline");
  // Before the start of the first scan: the segments up to it, by their lengths.
  qint64 scan = 2;
  while (jpeg.at(std::size_t(scan) + 1) != 0xda) scan += 2 + jpeg[scan + 2] * 256 + jpeg[scan + 3];
  const auto padded = [&](std::uint64_t junk, bool rest = true) {
    QFile file(dir.filePath(QStringLiteral("padded.jpg")));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(reinterpret_cast<const char*>(jpeg.data()), scan);
    if (rest) {
      file.seek(qint64(scan + junk));
      file.write(reinterpret_cast<const char*>(jpeg.data()) + scan, qint64(jpeg.size()) - scan);
    } else {
      file.resize(qint64(scan + junk));
    }
    file.close();
    return ErrorOf([&] { ReadPanoramaFile(file.fileName()); });
  };
  EXPECT_EQ(padded(4ull << 30), kMsgPanoramaFileTooLarge);
  EXPECT_EQ(padded((2ull << 30) - jpeg.size() + 1), kMsgPanoramaFileTooLarge);
  EXPECT_EQ(padded(1200ull << 20), kMsgJpegJunk);
  // Refused while the junk is read, not at its end: junk up to the end of the file would end as
  // a cut-short file.
  EXPECT_EQ(padded(1200ull << 20, false), kMsgJpegJunk);
  EXPECT_EQ(padded((1 << 20) + 1), kMsgJpegJunk);  // found once the marker is
  EXPECT_EQ(padded(1 << 20), "kein Fehler");
  EXPECT_EQ(padded(3), "kein Fehler");
}

// A progressive file of many scans would keep the decoder busy for minutes: up to 32 scans are
// read, one more is refused. Grey, its DC first, then the AC frequencies a scan each, the last
// scan taking the rest.
TEST(PanoramaFileHostile, AProgressiveJpegOfUpTo32ScansIsRead) {
  for (const int scans : {32, 33}) {
    std::vector<jpeg_scan_info> script = {{1, {0}, 0, 0, 0, 0}};
    for (int k = 1; k < scans; ++k) script.push_back({1, {0}, k, k + 1 < scans ? k : 63, 0, 0});
    const Bytes file = Jpeg(Quadrants({{20}, {90}, {160}, {230}}), JCS_GRAYSCALE, JCS_GRAYSCALE,
                            Scans::kOne, true, script);
    EXPECT_EQ(ErrorOf(file), scans <= 32 ? "kein Fehler" : kMsgInvalidJpeg) << scans;
  }
}

// Memory runs out at the picture, before the missing pixel data is noticed.
TEST(PanoramaFileHostile, APictureWhoseMemoryIsNotToBeHadSaysSo) {
  if (kAddressSanitizer) GTEST_SKIP() << "no address-space limit under AddressSanitizer";
  const std::pair<const char*, std::string> files[] = {
      {"jpeg", kMsgInvalidJpeg}, {"png", kMsgInvalidPng}, {"tiff", kMsgInvalidTiff}};
  for (const auto& [kind, message] : files) {
    const Bytes file = Seed(kind, "invalid_claims_16000_by_8000");
    const auto decode = [&] { return ErrorOf(file); };
    EXPECT_EQ(WithinMemory(64 << 20, decode), "Zu wenig Arbeitsspeicher") << kind;
    EXPECT_EQ(WithinMemory(700 << 20, decode), message) << kind;
  }
}

}  // namespace
