#include "commands/Search.h"

#include <algorithm>

#include "commands/Views.h"
#include "core/Errors.h"
#include "core/PanoPicture.h"

namespace {

const char* Why(Refusal refusal) {
  switch (refusal) {
    case Refusal::Plain:
      return kMsgNoDistancePlain;
    case Refusal::NoMatch:
      return kMsgNoDistanceNoMatch;
    case Refusal::Ambiguous:
      return kMsgNoDistanceAmbiguous;
    case Refusal::OneView:
      return kMsgNoDistanceOneView;
    case Refusal::FrameOff:
      return kMsgNoDistanceFrameOff;
    case Refusal::Edge:
      return kMsgNoDistanceEdge;
    case Refusal::None:
    case Refusal::NoPicture:
      break;
  }
  return kMsgNoDistancePicture;
}

}  // namespace

void FindDistance(Context& c) {
  const auto refuse = [&c](Refusal why) {
    c.platform.InformationBox(
        QString::fromUtf8(kMsgNoDistance) + QLatin1Char('\n') + QString::fromUtf8(Why(why)),
        {Platform::Button::Ok}, Platform::Button::Ok, Platform::Button::Ok);
  };
  WorkingState& s = c.s;
  if (s.Pano0.isNull() || s.Pano1.isNull() || s.Pano2.isNull()) {
    refuse(Refusal::NoPicture);
    return;
  }
  DistanceMatch match;
  {
    const Busy busy(c.platform);
    // The search reads 32-bit pixels; pictures come that way from the loader, and are then
    // shared, not copied.
    const PanoPicture p0 = Rgb32(s.Pano0), p1 = Rgb32(s.Pano1), p2 = Rgb32(s.Pano2);
    match = SearchDistance(s, {PixelsOf(p0), PixelsOf(p1), PixelsOf(p2)});
  }
  if (!match.found) {
    refuse(match.refusal);
    return;
  }
  s.CurDist = std::clamp(match.distance, Real{1}, Real{55000});
  c.found = Context::FoundDistance{s.CurHor, s.CurVert, s.CurDist, match.score1, match.score2};
  ShowSolvedPoint(c, false, PointLabel::Metres);
}
