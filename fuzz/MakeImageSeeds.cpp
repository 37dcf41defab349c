// Writes the seed corpora of the photographic formats' fuzz targets into <corpus folder>/jpeg, png,
// tiff and xmp, with the formats' own libraries:
//   image_seeds fuzz/corpus
// Run it again after changing it; it rewrites the files it owns and leaves others alone.
// Seeds whose name starts with "invalid_" must be refused; every other one must be read
// (tests/FuzzRegressionTest.cpp holds them to that). tests/PanoramaFileTest.cpp checks their
// pixels and messages, and so knows how each is made.

#include <filesystem>
#include <fstream>

#include "fuzz/ImageFiles.h"

namespace {

using namespace image_files;

std::filesystem::path root;

void Write(const char* kind, const char* name, const Bytes& bytes) {
  std::filesystem::create_directories(root / kind);
  std::ofstream(root / kind / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Bytes Cut(Bytes bytes, std::size_t keep) {
  bytes.resize(keep);
  return bytes;
}

// A 64 x 16 picture cropped from a sphere 64 round, or the tags of another.
std::map<std::string, std::string> Crop(const char* top, const char* width = "64") {
  return {{"ProjectionType", "equirectangular"},  {"CroppedAreaTopPixels", top},
          {"CroppedAreaLeftPixels", "0"},         {"CroppedAreaImageWidthPixels", width},
          {"CroppedAreaImageHeightPixels", "16"}, {"FullPanoWidthPixels", "64"},
          {"FullPanoHeightPixels", "32"}};
}

// Where a JPEG's segment of this marker or the other starts, walking the headers.
std::size_t Segment(const Bytes& f, unsigned char marker, unsigned char other) {
  std::size_t at = 2;
  while (f[at + 1] != marker && f[at + 1] != other) at += 2 + (f[at + 2] << 8 | f[at + 3]);
  return at;
}

// The size in a JPEG's frame header, the pixels left as they are.
Bytes JpegSized(Bytes f, unsigned width, unsigned height) {
  const std::size_t at = Segment(f, 0xc0, 0xc2);
  f[at + 5] = height >> 8, f[at + 6] = height & 0xff;
  f[at + 7] = width >> 8, f[at + 8] = width & 0xff;
  return f;
}

const std::vector<std::vector<unsigned>> kColours = {
    {200, 30, 40}, {20, 180, 60}, {30, 40, 220}, {240, 240, 20}};
const std::vector<std::vector<unsigned>> kGreys = {{20}, {90}, {160}, {230}};
// Cyan, magenta, yellow and black ink, as printers count it and as Adobe stores it.
const std::vector<std::vector<unsigned>> kInks = {
    {0, 0, 0, 0}, {255, 0, 0, 0}, {30, 200, 60, 40}, {0, 0, 0, 255}};
const std::vector<std::vector<unsigned>> kAdobeInks = {
    {255, 255, 255, 255}, {0, 255, 255, 255}, {225, 55, 195, 215}, {255, 255, 255, 0}};

// Flat quadrants (the format is lossy), so that the tests can check the colours.
void Jpegs() {
  const Samples rgb = Quadrants(kColours);
  const Bytes baseline = Jpeg(rgb, JCS_RGB, JCS_YCbCr);
  Write("jpeg", "baseline", baseline);
  Write("jpeg", "progressive", Jpeg(rgb, JCS_RGB, JCS_YCbCr, Scans::kProgressive));
  Write("jpeg", "stored_as_rgb", Jpeg(rgb, JCS_RGB, JCS_RGB));
  Write("jpeg", "grey", Jpeg(Quadrants(kGreys), JCS_GRAYSCALE, JCS_GRAYSCALE, Scans::kProgressive));
  Write("jpeg", "cmyk_adobe", Jpeg(Quadrants(kAdobeInks), JCS_CMYK, JCS_CMYK));
  Write("jpeg", "cmyk_plain", Jpeg(Quadrants(kInks), JCS_CMYK, JCS_CMYK, Scans::kOne, false));
  Write("jpeg", "ycck", Jpeg(Quadrants(kAdobeInks), JCS_CMYK, JCS_YCCK, Scans::kProgressive));
  Write("jpeg", "gpano", WithGPano(Jpeg(Noise(64, 16, 3, 8), JCS_RGB, JCS_YCbCr), Crop("8")));
  Write("jpeg", "invalid_partial_turn",
        WithGPano(Jpeg(Noise(64, 16, 1, 8), JCS_GRAYSCALE, JCS_GRAYSCALE), Crop("8", "32")));
  Write("jpeg", "invalid_cut_short", Cut(baseline, baseline.size() / 2));
  Bytes twelveBits = baseline, cut = baseline;
  twelveBits[Segment(baseline, 0xc0, 0xc2) + 4] = 12;
  Write("jpeg", "invalid_12_bits", twelveBits);
  // An end marker amid the pixels, which follow the scan header of three components.
  const std::size_t middle = (Segment(baseline, 0xda, 0xda) + 14 + baseline.size()) / 2;
  cut[middle] = 0xff, cut[middle + 1] = 0xd9;
  Write("jpeg", "invalid_cut_by_a_marker", cut);
  Write("jpeg", "invalid_193_scans", Jpeg(rgb, JCS_RGB, JCS_YCbCr, Scans::kEveryFrequency));
  Write("jpeg", "invalid_claims_65535_square", JpegSized(baseline, 65535, 65535));
  Write("jpeg", "invalid_claims_20000_wide", JpegSized(baseline, 20000, 100));
  Write("jpeg", "invalid_claims_16000_by_8000", JpegSized(baseline, 16000, 8000));
}

void Pngs() {
  const struct {
    const char* name;
    int type, depth;
    bool interlaced = false, transparent = false;
  } kinds[] = {{"grey_1", PNG_COLOR_TYPE_GRAY, 1},
               {"grey_4_interlaced", PNG_COLOR_TYPE_GRAY, 4, true},
               {"grey_8_transparent", PNG_COLOR_TYPE_GRAY, 8, false, true},
               {"grey_16", PNG_COLOR_TYPE_GRAY, 16},
               {"grey_alpha_8", PNG_COLOR_TYPE_GA, 8},
               {"grey_alpha_16_interlaced", PNG_COLOR_TYPE_GA, 16, true},
               {"rgb_8_transparent", PNG_COLOR_TYPE_RGB, 8, false, true},
               {"rgb_16", PNG_COLOR_TYPE_RGB, 16},
               {"rgba_8_interlaced", PNG_COLOR_TYPE_RGBA, 8, true},
               {"rgba_16", PNG_COLOR_TYPE_RGBA, 16},
               {"palette_2", PNG_COLOR_TYPE_PALETTE, 2},
               {"palette_8_interlaced_transparent", PNG_COLOR_TYPE_PALETTE, 8, true, true}};
  for (const auto& k : kinds) {
    const int channels = k.type == PNG_COLOR_TYPE_PALETTE
                             ? 1
                             : (k.type & PNG_COLOR_MASK_COLOR ? 3 : 1) + (k.type & 4 ? 1 : 0);
    Write("png", k.name, Png(Noise(13, 9, channels, k.depth), k.type, k.interlaced, k.transparent));
  }
  Write("png", "gpano", WithGPano(Png(Noise(64, 16, 3, 8), PNG_COLOR_TYPE_RGB), Crop("8")));
  Write("png", "invalid_partial_turn",
        WithGPano(Png(Noise(64, 16, 1, 8), PNG_COLOR_TYPE_GRAY), Crop("8", "32")));
  Bytes whole = Png(Noise(13, 9, 3, 8), PNG_COLOR_TYPE_RGB);
  Write("png", "invalid_cut_short", Cut(whole, whole.size() - 20));
  whole[whole.size() - 20] ^= 1;  // in the pixels' checksum
  Write("png", "invalid_wrong_checksum", whole);
  Write("png", "invalid_claims_100000_square", Png({100000, 100000, 3, 8, {}}, PNG_COLOR_TYPE_RGB));
  Write("png", "invalid_claims_2000000_wide", Png({2000000, 1, 3, 8, {}}, PNG_COLOR_TYPE_RGB));
  Write("png", "invalid_claims_16000_by_8000", Png({16000, 8000, 3, 8, {}}, PNG_COLOR_TYPE_RGB));
}

void Tiffs() {
  const struct {
    const char* name;
    int channels, depth;
    TiffKind kind;
  } kinds[] = {
      {"rgb_8", 3, 8, {PHOTOMETRIC_RGB}},
      {"rgb_8_lzw_mm", 3, 8, {PHOTOMETRIC_RGB, COMPRESSION_LZW, false, true}},
      {"rgb_8_deflate_tiled", 3, 8, {PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE, true}},
      {"rgb_8_planes", 3, 8, {PHOTOMETRIC_RGB, COMPRESSION_NONE, false, false, true}},
      {"rgb_8_jpeg", 3, 8, {PHOTOMETRIC_RGB, COMPRESSION_JPEG}},
      {"rgba_8_packbits", 4, 8, {PHOTOMETRIC_RGB, COMPRESSION_PACKBITS}},
      {"rgb_16_tiled_mm", 3, 16, {PHOTOMETRIC_RGB, COMPRESSION_NONE, true, true}},
      {"rgba_16_lzw_tiled_mm", 4, 16, {PHOTOMETRIC_RGB, COMPRESSION_LZW, true, true}},
      {"rgba_16_lzw", 4, 16, {PHOTOMETRIC_RGB, COMPRESSION_LZW}},
      {"grey_8", 1, 8, {PHOTOMETRIC_MINISBLACK}},
      {"white_is_zero_8", 1, 8, {PHOTOMETRIC_MINISWHITE}},
      {"white_is_zero_8_tiled", 1, 8, {PHOTOMETRIC_MINISWHITE, COMPRESSION_NONE, true}},
      {"grey_alpha_16_deflate", 2, 16, {PHOTOMETRIC_MINISBLACK, COMPRESSION_ADOBE_DEFLATE}},
      {"palette_8_lzw", 1, 8, {PHOTOMETRIC_PALETTE, COMPRESSION_LZW}},
      {"invalid_floating_point", 1, 32, {PHOTOMETRIC_MINISBLACK}},
  };
  for (const auto& k : kinds)
    Write("tiff", k.name, Tiff(Noise(21, 9, k.channels, k.depth), k.kind));
  Write("tiff", "gpano", WithGPano(Tiff(Noise(64, 16, 3, 8), {PHOTOMETRIC_RGB}), Crop("8")));
  Write("tiff", "invalid_partial_turn",
        WithGPano(Tiff(Noise(64, 16, 1, 8), {PHOTOMETRIC_MINISBLACK}), Crop("8", "32")));
  const Bytes whole = Tiff(Noise(21, 9, 3, 8), {PHOTOMETRIC_RGB, COMPRESSION_LZW});
  Write("tiff", "invalid_cut_short", Cut(whole, whole.size() - 30));
  Write("tiff", "invalid_claims_100000_square",
        Tiff({100000, 100000, 3, 8, {}}, {PHOTOMETRIC_RGB}));
  Write("tiff", "invalid_claims_16000_by_8000", Tiff({16000, 8000, 3, 8, {}}, {PHOTOMETRIC_RGB}));
}

// The packets exiv2 writes, behind the picture's size (64 x 16).
void Packets() {
  const auto write = [](const char* name, const std::map<std::string, std::string>& tags) {
    Exiv2::XmpData xmp;
    for (const auto& [tag, value] : tags) xmp["Xmp.GPano." + tag] = value;
    std::string packet;
    Exiv2::XmpParser::encode(packet, xmp);
    Bytes bytes{63, 0, 15, 0};
    bytes.insert(bytes.end(), packet.begin(), packet.end());
    Write("xmp", name, bytes);
  };
  write("crop", Crop("8"));
  write("no_crop", {{"ProjectionType", "equirectangular"}, {"UsePanoramaViewer", "True"}});
  write("tagged_at_twice_the_size", {{"CroppedAreaTopPixels", "16"},
                                     {"CroppedAreaImageWidthPixels", "128"},
                                     {"CroppedAreaImageHeightPixels", "32"},
                                     {"FullPanoWidthPixels", "128"},
                                     {"FullPanoHeightPixels", "64"}});
  write("invalid_partial_turn", Crop("8", "48"));
  write("invalid_not_a_number", Crop("acht"));
  auto cylinder = Crop("8");
  cylinder["ProjectionType"] = "cylindrical";
  write("invalid_cylindrical", cylinder);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: image_seeds <corpus folder>\n");
    return 2;
  }
  root = argv[1];
  Jpegs();
  Pngs();
  Tiffs();
  Packets();
  return 0;
}
