#pragma once

#include <cstdint>
#include <vector>

#include "tools/demo/PictureOptions.h"

// The station pictures' files: bitmaps as Torbel has always read them, JPEGs as 360-degree
// cameras write them, and crops of the sphere tagged as photo-sphere viewers expect.
namespace demo {

inline constexpr int kJpegQuality = 95;

// Where a picture lies on its full equirectangular sphere, as the photo-sphere tags (XMP GPano)
// give it: the sphere's size, the picture's first column and row on it, and its own size.
struct CropArea {
  int fullWidth = 0, fullHeight = 0;
  int left = 0, top = 0;
  int width = 0, height = 0;
};

// A JPEG file of RGB pixels given top row first.
std::vector<std::uint8_t> JpegBytes(int width, int height, const std::vector<std::uint8_t>& rgb,
                                    int quality);
// The same JPEG file, tagged as showing `area` of an equirectangular sphere. Throws
// std::runtime_error when the file cannot be tagged.
std::vector<std::uint8_t> TaggedAsCrop(const std::vector<std::uint8_t>& jpeg, const CropArea& area);
// The file of a station's rendered panorama, in the format the options ask for.
std::vector<std::uint8_t> PictureBytes(const StationPicture& picture, bool jpeg,
                                       const std::vector<std::uint8_t>& rgb);

}  // namespace demo
