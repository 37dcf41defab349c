#include "tools/demo/PictureOptions.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <stdexcept>

namespace demo {

const char kPictureOptionsUsage[] =
    "Picture options, for the panoramas of P0, P1 and P2:\n"
    "  --size WxH       W x H pixels each, the width spanning the full turn and row 0 looking\n"
    "                   straight up; without it 8160x3060 (360 x 135 degrees)\n"
    "  --sizes A,B,C    a size for each station, in the order P0, P1, P2\n"
    "  --jpeg           S0.jpg, S1.jpg, S2.jpg at quality 95 instead of bitmaps\n"
    "  --crop TOP:ROWS  only the rows TOP to TOP+ROWS-1 of the full sphere that a 2:1 size gives,\n"
    "                   tagged as a crop (photo-sphere XMP); with --jpeg only\n"
    "  --crops A,B,C    a crop for each station, - for none\n"
    "Field options:\n"
    "  --tilts P0PITCH,P0ROLL,P1PITCH,P1ROLL,P2PITCH,P2ROLL\n"
    "                   the cameras set up off level by these degrees (photo-sphere XMP's pose:\n"
    "                   a positive pitch raises the picture's centre, a positive roll lowers\n"
    "                   its hor 90); the stations' marks are then aimed at to a hundredth of a\n"
    "                   pixel\n"
    "  --tape-errors E1,E2\n"
    "                   metres the tape adds to the distances P0-P1 and P0-P2\n";

namespace {

std::int32_t Number(const std::string& text, const std::string& what) {
  std::int32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [at, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || at != end) throw std::invalid_argument("not a number: " + what);
  return value;
}

// `count` numbers apart by commas.
std::vector<double> Numbers(const std::string& text, std::size_t count, const std::string& option) {
  std::vector<double> values;
  const char* at = text.data();
  const char* end = text.data() + text.size();
  while (values.size() < count) {
    double value = 0;
    const auto [next, error] = std::from_chars(at, end, value);
    if (error != std::errc() || !std::isfinite(value)) break;
    values.push_back(value);
    at = next;
    if (values.size() < count && (at == end || *at++ != ',')) break;
  }
  if (values.size() != count || at != end)
    throw std::invalid_argument(option + " wants " + std::to_string(count) +
                                " numbers apart by commas: " + text);
  return values;
}

// The option's value for each station: one for all with the singular option, three with the
// plural one.
std::array<std::string, 3> PerStation(const std::string& value, bool each,
                                      const std::string& option) {
  if (!each) return {value, value, value};
  std::array<std::string, 3> parts;
  std::size_t from = 0;
  for (std::size_t k = 0; k < 3; ++k) {
    const std::size_t comma = value.find(',', from);
    if ((comma == std::string::npos) != (k == 2))
      throw std::invalid_argument(option + " wants three values, for P0, P1 and P2: " + value);
    parts[k] = value.substr(from, comma - from);
    from = comma + 1;
  }
  return parts;
}

void SetSize(StationPicture& picture, const std::string& text) {
  const std::size_t x = text.find('x');
  if (x == std::string::npos) throw std::invalid_argument("a size is WxH: " + text);
  const std::int32_t width = Number(text.substr(0, x), text);
  const std::int32_t height = Number(text.substr(x + 1), text);
  if (width <= 0 || height <= 0 || width > Panorama::kMaxWidth || height > Panorama::kMaxHeight)
    throw std::invalid_argument("Torbel reads sizes from 1x1 to " +
                                std::to_string(Panorama::kMaxWidth) + "x" +
                                std::to_string(Panorama::kMaxHeight) + ", not " + text);
  // Square pixels over the full turn leave width / 2 rows from straight up to straight down.
  if (2 * std::int64_t{height} > width)
    throw std::invalid_argument("taller than the sphere its width spans: " + text);
  picture.panorama = Panorama(width, height);
}

void SetCrop(StationPicture& picture, const std::string& text, int station) {
  if (text == "-") return;
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos) throw std::invalid_argument("a crop is TOP:ROWS: " + text);
  const std::int32_t top = Number(text.substr(0, colon), text);
  const std::int32_t rows = Number(text.substr(colon + 1), text);
  const Panorama& full = picture.panorama;
  const std::string size = std::to_string(full.Width()) + "x" + std::to_string(full.Height());
  if (2 * std::int64_t{full.Height()} != full.Width())
    throw std::invalid_argument("a crop is cut from a full sphere, which P" +
                                std::to_string(station) + "'s size " + size +
                                " is not: give a 2:1 size");
  if (top < 0 || rows <= 0 || std::int64_t{top} + rows > full.Height())
    throw std::invalid_argument("the crop " + text + " does not fit in the " +
                                std::to_string(full.Height()) + " rows of P" +
                                std::to_string(station) + "'s sphere");
  picture.panorama = Panorama(full.Width(), rows, top);
  picture.crop = true;
}

}  // namespace

Panoramas SurveyOptions::AllPanoramas() const {
  return {pictures[0].panorama, pictures[1].panorama, pictures[2].panorama};
}

std::string SurveyOptions::FileName(int station) const {
  return "S" + std::to_string(station) + (jpeg ? ".jpg" : ".bmp");
}

std::optional<int> ParseSurveyOptions(int argc, char** argv, int operands, const char* name,
                                      const std::string& usage, SurveyOptions& options) {
  // The usage follows only an option not known at all.
  auto refuse = [&](const std::string& why, bool withUsage = false) {
    std::fprintf(stderr, "%s: %s\n", name, why.c_str());
    if (withUsage) std::fputs(usage.c_str(), stderr);
    return 2;
  };
  std::optional<std::string> size, crop, tilts, tapeErrors;
  bool sizeEach = false, cropEach = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      std::fputs(usage.c_str(), stdout);
      return 0;
    }
    const bool sizeOption = argument == "--size" || argument == "--sizes";
    const bool cropOption = argument == "--crop" || argument == "--crops";
    if (argument == "--truth") {
      options.truthOnly = true;
    } else if (argument == "--jpeg") {
      options.jpeg = true;
    } else if (sizeOption || cropOption) {
      std::optional<std::string>& value = sizeOption ? size : crop;
      if (value)
        return refuse("more than one " + std::string(sizeOption ? "size" : "crop") + " option");
      if (i + 1 == argc) return refuse(argument + " wants a value");
      value = argv[++i];
      (sizeOption ? sizeEach : cropEach) = argument.back() == 's';
    } else if (argument == "--tilts" || argument == "--tape-errors") {
      std::optional<std::string>& value = argument == "--tilts" ? tilts : tapeErrors;
      if (value) return refuse("more than one " + argument + " option");
      if (i + 1 == argc) return refuse(argument + " wants a value");
      value = argv[++i];
    } else if (argument.empty() || argument[0] == '-') {
      return refuse("unknown option '" + argument + "'", true);
    } else {
      options.operands.push_back(argument);
    }
  }
  if (options.operands.size() != static_cast<std::size_t>(operands)) {
    std::fputs(usage.c_str(), stderr);
    return 2;
  }
  try {
    if (size) {
      const auto sizes = PerStation(*size, sizeEach, "--sizes");
      for (std::size_t k = 0; k < 3; ++k) SetSize(options.pictures[k], sizes[k]);
    }
    if (crop) {
      if (!options.jpeg) return refuse("a crop is tagged in its JPEG file: add --jpeg");
      const auto crops = PerStation(*crop, cropEach, "--crops");
      for (std::size_t k = 0; k < 3; ++k)
        SetCrop(options.pictures[k], crops[k], static_cast<int>(k));
    }
    if (tilts) {
      const std::vector<double> angles = Numbers(*tilts, 6, "--tilts");
      options.tilts.emplace();
      for (std::size_t k = 0; k < 3; ++k) (*options.tilts)[k] = {angles[2 * k], angles[2 * k + 1]};
    }
    if (tapeErrors) {
      const std::vector<double> metres = Numbers(*tapeErrors, 2, "--tape-errors");
      options.tapeErrors = {metres[0], metres[1]};
    }
  } catch (const std::invalid_argument& e) {
    return refuse(e.what());
  }
  return std::nullopt;
}

}  // namespace demo
