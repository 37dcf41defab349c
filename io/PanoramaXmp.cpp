#include "io/PanoramaXmp.h"

#include <exiv2/error.hpp>
#include <exiv2/properties.hpp>
#include <exiv2/xmp_exiv2.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <new>
#include <optional>
#include <string_view>

#include "core/Errors.h"

namespace {

constexpr char kGPanoNamespace[] = "http://ns.google.com/photos/1.0/panorama/";

[[noreturn]] void Invalid() {
  throw TorbelError(kMsgPanoramaTagsInvalid);
}

// Exiv2's XMP toolkit and its namespace registry are one for the whole process, and not safe to
// use from two threads at once (three panoramas may well be read side by side); its log would go to
// stderr.
std::mutex& Exiv2Lock() {
  static std::mutex lock;
  static std::once_flag once;
  std::call_once(once, [] {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    Exiv2::XmpParser::initialize();
  });
  return lock;
}

// A whole number of pixels, as GPano writes them: digits, perhaps blanks around them.
std::optional<std::int64_t> Pixels(const Exiv2::XmpData& xmp, const char* name) {
  const auto it = xmp.findKey(Exiv2::XmpKey(std::string("Xmp.GPano.") + name));
  if (it == xmp.end()) return std::nullopt;
  const std::string text = it->toString();
  std::string_view digits = text;
  while (!digits.empty() && std::isspace(static_cast<unsigned char>(digits.front()))) {
    digits.remove_prefix(1);
  }
  while (!digits.empty() && std::isspace(static_cast<unsigned char>(digits.back()))) {
    digits.remove_suffix(1);
  }
  std::int64_t value = 0;
  const char* end = digits.data() + digits.size();
  const auto [at, error] = std::from_chars(digits.data(), end, value);
  if (error != std::errc() || at != end || value < 0 || value > INT32_MAX) Invalid();
  return value;
}

// An angle in degrees, as GPano writes its pose: a decimal number, perhaps blanks around it.
std::optional<double> Degrees(const Exiv2::XmpData& xmp, const char* name, double limit) {
  const auto it = xmp.findKey(Exiv2::XmpKey(std::string("Xmp.GPano.") + name));
  if (it == xmp.end()) return std::nullopt;
  const std::string text = it->toString();
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  const std::size_t last = text.find_last_not_of(" \t\r\n");
  if (first == std::string::npos) Invalid();
  double value = 0;
  const char* end = text.data() + last + 1;
  const auto [at, error] = std::from_chars(text.data() + first, end, value);
  if (error != std::errc() || at != end || !(std::fabs(value) <= limit)) Invalid();
  return value;
}

bool SameText(std::string a, const char* b) {
  std::transform(a.begin(), a.end(), a.begin(), [](unsigned char c) { return std::tolower(c); });
  return a == b;
}

Real TopFromTags(const Exiv2::XmpData& xmp, std::int32_t width, std::int32_t height) {
  const auto projection = xmp.findKey(Exiv2::XmpKey("Xmp.GPano.ProjectionType"));
  if (projection != xmp.end() && !SameText(projection->toString(), "equirectangular")) {
    throw TorbelError(kMsgPanoramaNotEquirectangular);
  }
  const std::array<std::optional<std::int64_t>, 5> tags = {
      Pixels(xmp, "CroppedAreaTopPixels"), Pixels(xmp, "CroppedAreaImageWidthPixels"),
      Pixels(xmp, "CroppedAreaImageHeightPixels"), Pixels(xmp, "FullPanoWidthPixels"),
      Pixels(xmp, "FullPanoHeightPixels")};
  const auto given = std::count_if(tags.begin(), tags.end(), [](auto& t) { return t.has_value(); });
  if (given == 0) return 0;  // a viewer's hint (projection, heading) without a crop
  if (given < static_cast<long>(tags.size())) Invalid();
  const std::int64_t top = *tags[0], cropWidth = *tags[1], cropHeight = *tags[2];
  const std::int64_t fullWidth = *tags[3], fullHeight = *tags[4];
  if (cropWidth == 0 || cropHeight == 0 || fullWidth == 0 || fullHeight == 0) Invalid();
  if (top + cropHeight > fullHeight || cropWidth > fullWidth) Invalid();
  // The full sphere of square pixels is twice as wide as high; an odd width rounds either way.
  if (std::abs(2 * fullHeight - fullWidth) > 1) Invalid();
  if (cropWidth != fullWidth) throw TorbelError(kMsgPanoramaNotFullTurn);
  // Resized after tagging: in proportion, up to the rounding of the new height.
  if (std::abs(std::int64_t{height} * cropWidth - cropHeight * width) > cropWidth) Invalid();
  return static_cast<Real>(top) * width / cropWidth;
}

}  // namespace

std::optional<Tilt> PanoramaPose(const std::string& xmpPacket) {
  if (xmpPacket.find(kGPanoNamespace) == std::string::npos) return std::nullopt;
  const std::lock_guard<std::mutex> exiv2(Exiv2Lock());
  try {
    Exiv2::XmpData xmp;
    if (Exiv2::XmpParser::decode(xmp, xmpPacket) != 0) Invalid();
    const std::optional<double> pitch = Degrees(xmp, "PosePitchDegrees", 90);
    const std::optional<double> roll = Degrees(xmp, "PoseRollDegrees", 180);
    if (!pitch && !roll) return std::nullopt;
    return Tilt{pitch.value_or(0), roll.value_or(0)};
  } catch (const std::bad_alloc&) {
    throw TorbelError(kMsgOutOfMemory);
  } catch (const TorbelError&) {
    throw;
  } catch (const std::exception&) {
    Invalid();
  }
}

Real PanoramaTop(const std::string& xmpPacket, std::int32_t width, std::int32_t height) {
  // Most files carry XMP about other things, or none; only the panorama namespace matters.
  if (xmpPacket.find(kGPanoNamespace) == std::string::npos) return 0;
  const std::lock_guard<std::mutex> exiv2(Exiv2Lock());
  try {
    Exiv2::XmpData xmp;
    if (Exiv2::XmpParser::decode(xmp, xmpPacket) != 0) Invalid();
    return TopFromTags(xmp, width, height);
  } catch (const std::bad_alloc&) {
    throw TorbelError(kMsgOutOfMemory);
  } catch (const TorbelError&) {
    throw;
  } catch (const std::exception&) {  // Exiv2's own errors, for what the toolkit let through
    Invalid();
  }
}
