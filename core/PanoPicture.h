#pragma once

#include <QImage>
#include <optional>
#include <utility>

#include "geometry/Frame.h"
#include "geometry/Mapping.h"

// A loaded panorama: its pixels (QImage::Format_RGB32, row 0 at the top) and where they look.
// The shape is the picture's own size with the file's crop; an empty picture keeps the classic
// shape, so that a view without a picture keeps its 8160 x 3060 surface.
struct PanoPicture {
  PanoPicture() = default;
  // A picture that is no crop: its shape is its own size.
  PanoPicture(QImage image)  // NOLINT(google-explicit-constructor): a whole picture is one
      : Image(std::move(image)),
        Shape(Image.isNull() ? Panorama() : Panorama(Image.width(), Image.height())) {}
  PanoPicture(QImage image, const Panorama& shape) : Image(std::move(image)), Shape(shape) {}

  QImage Image;
  Panorama Shape;
  // How far off level the file's tags say the camera stood; nothing where they do not say.
  std::optional<Tilt> Pose;

  bool isNull() const { return Image.isNull(); }
};
