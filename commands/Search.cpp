#include "commands/Search.h"

#include <algorithm>

#include "commands/Modes.h"
#include "commands/Views.h"
#include "core/Errors.h"
#include "io/Bitmap.h"

void FindDistance(Context& c) {
  const auto refuse = [&c] {
    c.platform.InformationBox(QString::fromUtf8(kMsgNoDistance), {Platform::Button::Ok},
                              Platform::Button::Ok, Platform::Button::Ok);
  };
  WorkingState& s = c.s;
  if (s.Pano0.isNull() || s.Pano1.isNull() || s.Pano2.isNull()) {
    refuse();
    return;
  }
  DistanceMatch match;
  {
    const Busy busy(c.platform);
    // The search reads 32-bit pixels; pictures come that way from the loader.
    const auto rgb32 = [](const QImage& image) {
      return image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
                 ? image
                 : image.convertToFormat(QImage::Format_RGB32);
    };
    const QImage p0 = rgb32(s.Pano0), p1 = rgb32(s.Pano1), p2 = rgb32(s.Pano2);
    match = SearchDistance(s, {PixelsOf(p0), PixelsOf(p1), PixelsOf(p2)});
  }
  if (!match.found) {
    refuse();
    return;
  }
  s.CurDist = std::clamp(match.distance, Real{1}, Real{55000});
  SolvePoint(s);
  CenterViews(c, false);
  c.window.SetLabel(Window::Label::Cp, CurrentPointText(c) + QStringLiteral("m"));
  ShowPosition(c);
}
