#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "geometry/Frame.h"
#include "geometry/Real.h"

// The rows of the full sphere cut off above a picture of `width` x `height` pixels, in its own
// pixels, from the photo-sphere tags (GPano) of the file's XMP packet: 0 when there are none.
// A crop must span the full turn; its left edge only turns the headings, which the survey measures
// in the same pictures, and is not read. A picture resized after tagging scales the crop with it.
// Raises TorbelError: kMsgPanoramaNotFullTurn for a crop of less than 360 degrees;
// kMsgPanoramaNotEquirectangular for another projection; kMsgPanoramaTagsInvalid for tags that
// are no whole numbers, negative, contradict one another or this picture's size, or sit in a
// packet that cannot be read; kMsgOutOfMemory.
Real PanoramaTop(const std::string& xmpPacket, std::int32_t width, std::int32_t height);

// How far off level the camera stood, from the same tags (PosePitchDegrees, PoseRollDegrees; a
// tag not given counts as 0): nothing where neither is given. Raises kMsgPanoramaTagsInvalid for
// a pose that is no number or lies beyond its range (pitch -90 ... 90, roll -180 ... 180).
std::optional<Tilt> PanoramaPose(const std::string& xmpPacket);
