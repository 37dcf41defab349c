#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "geometry/Mapping.h"
#include "tools/demo/Survey.h"

// The generators' command line: how big each station's panorama is, in which format it is
// written and which rows of the sphere it holds; and how far the field is off the ideal, in the
// cameras' tilts and the tape's errors.
namespace demo {

struct StationPicture {
  Panorama panorama;  // its size, and the rows of the full sphere cut off above it
  // A crop of the full sphere (width x width / 2), written with the tags that say so. Without
  // them a reader takes the picture to begin straight up, as an untagged one does.
  bool crop = false;
};

struct SurveyOptions {
  bool truthOnly = false;  // --truth: only the truth table, for panoramas rendered already
  bool jpeg = false;
  std::array<StationPicture, 3> pictures;  // P0, P1, P2; classic bitmaps unless told otherwise
  std::optional<Tilts> tilts;              // --tilts: level unless given
  std::array<double, 2> tapeErrors = {0, 0};
  std::vector<std::string> operands;

  Panoramas AllPanoramas() const;
  // Zoomed in to the stations' marks where the cameras may stand off level.
  Measuring StationMeasuring() const { return {tilts.has_value(), tapeErrors}; }
  // S0.bmp, or S0.jpg with --jpeg.
  std::string FileName(int station) const;
};

// The part of the usage that both generators share.
extern const char kPictureOptionsUsage[];

// For a program that takes `operands` plain arguments: the exit status when the command line
// asks for the usage (0) or is not one (2: an unknown option, a value that does not fit, the
// wrong count), said on standard error; nothing when the program should go on with `options`.
std::optional<int> ParseSurveyOptions(int argc, char** argv, int operands, const char* name,
                                      const std::string& usage, SurveyOptions& options);

}  // namespace demo
