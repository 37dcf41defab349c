// Writes the seed corpora of the photographic formats' fuzz targets into <corpus folder>/jpeg, png,
// tiff and xmp, with the formats' own libraries (the helpers the tests use):
//   image_seeds fuzz/corpus
// Run it again after changing it; it rewrites the files it owns and leaves others alone.
// Seeds whose name starts with "invalid_" must be refused; every other one must be read
// (tests/FuzzRegressionTest.cpp holds them to that).

#include <filesystem>
#include <fstream>

#include "fuzz/PictureFuzz.h"
#include "tests/ImageFiles.h"

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

void Jpegs() {
  const Samples rgb = Noise(24, 16, 3, 8), grey = Noise(24, 16, 1, 8), ink = Noise(24, 16, 4, 8);
  Write("jpeg", "baseline", Jpeg(rgb, JCS_RGB, JCS_YCbCr));
  Write("jpeg", "progressive", Jpeg(rgb, JCS_RGB, JCS_YCbCr, Scans::kProgressive));
  Write("jpeg", "stored_as_rgb", Jpeg(rgb, JCS_RGB, JCS_RGB));
  Write("jpeg", "grey", Jpeg(grey, JCS_GRAYSCALE, JCS_GRAYSCALE, Scans::kProgressive));
  Write("jpeg", "cmyk_adobe", Jpeg(ink, JCS_CMYK, JCS_CMYK));
  Write("jpeg", "cmyk_plain", Jpeg(ink, JCS_CMYK, JCS_CMYK, Scans::kOne, false));
  Write("jpeg", "ycck", Jpeg(ink, JCS_CMYK, JCS_YCCK, Scans::kProgressive));
  Write("jpeg", "gpano", WithGPano(Jpeg(Noise(64, 16, 3, 8), JCS_RGB, JCS_YCbCr), Crop("8")));
  Write("jpeg", "invalid_cut_short", Cut(Jpeg(rgb, JCS_RGB, JCS_YCbCr), 400));
  Write("jpeg", "invalid_partial_turn",
        WithGPano(Jpeg(Noise(64, 16, 1, 8), JCS_GRAYSCALE, JCS_GRAYSCALE), Crop("8", "32")));
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
  const Bytes whole = Png(Noise(13, 9, 3, 8), PNG_COLOR_TYPE_RGB);
  Write("png", "invalid_cut_short", Cut(whole, whole.size() - 20));
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
      {"rgba_16_lzw", 4, 16, {PHOTOMETRIC_RGB, COMPRESSION_LZW}},
      {"grey_8", 1, 8, {PHOTOMETRIC_MINISBLACK}},
      {"white_is_zero_8_tiled", 1, 8, {PHOTOMETRIC_MINISWHITE, COMPRESSION_NONE, true}},
      {"grey_alpha_16_deflate", 2, 16, {PHOTOMETRIC_MINISBLACK, COMPRESSION_ADOBE_DEFLATE}},
      {"palette_8_lzw", 1, 8, {PHOTOMETRIC_PALETTE, COMPRESSION_LZW}},
      {"invalid_floating_point", 1, 32, {PHOTOMETRIC_MINISBLACK}},
  };
  for (const auto& k : kinds)
    Write("tiff", k.name, Tiff(Noise(21, 9, k.channels, k.depth), k.kind));
  Write("tiff", "gpano", WithGPano(Tiff(Noise(64, 16, 3, 8), {PHOTOMETRIC_RGB}), Crop("8")));
  const Bytes whole = Tiff(Noise(21, 9, 3, 8), {PHOTOMETRIC_RGB, COMPRESSION_LZW});
  Write("tiff", "invalid_cut_short", Cut(whole, whole.size() - 30));
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
