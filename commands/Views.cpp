#include "commands/Views.h"

#include <optional>

#include "commands/Readouts.h"
#include "core/Errors.h"
#include "core/NumberText.h"
#include "geometry/Centring.h"
#include "geometry/Mapping.h"
#include "geometry/Solver.h"

namespace {

void Drag(Context& c, int station, int X, int Y) {
  // The drag follows the mouse slower than it moves; the P0 view, being larger, a bit faster.
  CentredView& view = c.window.View(station);
  const Real divisor = station == 0 ? 1.3L : 1.6L;
  view.SetHorizontalPosition(view.HorizontalPosition() + RoundToInt((X - c.s.DragX) / divisor));
  view.SetVerticalPosition(view.VerticalPosition() + RoundToInt((Y - c.s.DragY) / divisor));
  c.s.DragX = X;
  c.s.DragY = Y;
}

// Whether a mouse move over the station's view repaints it at once: where the mode aims there.
bool AimsIn(Mode mode, int station) {
  switch (station) {
    case 0:
      return mode == Mode::ModeP0zu1 || mode == Mode::ModeP0zu2;
    case 1:
      return mode == Mode::ModeP1zu0;
    default:
      return mode == Mode::ModeP2zu0;
  }
}

}  // namespace

void PanoramaMouseMove(Context& c, int station, bool shift, bool leftButton, const MouseAt& at) {
  const Panorama& pano = c.s.Station(station).Pano.Shape;
  // The pixel aimed at, or the one the aim falls in between pixels.
  if (!(at.x >= -0.5L && at.y >= -0.5L && at.x < pano.Width() - 0.5L &&
        at.y < pano.Height() - 0.5L)) {
    // Beside the picture (the strip left of P0's first column, or anywhere while a drag goes on
    // outside the view) there is nothing to aim at; only the drag follows.
    if (leftButton) Drag(c, station, at.dragX, at.dragY);
    c.window.PaintNow();
    return;
  }
  const bool held = station == 0 && c.s.Mode == Mode::ModePoint && c.aimHeld;
  auto fields = c.s.Station(station);
  if (!held) {
    fields.Hor = pano.HorAt(at.x);
    fields.Vert = pano.VertAt(at.y);
  }

  if (!shift && !held) {
    c.window.SetLabel(Window::Label::Cp, station == 0 ? CurrentPointText(c)
                                                      : c.DirectionText(fields.Hor, fields.Vert));
  }

  if (station == 0 && c.s.Mode == Mode::ModePoint && !held) {
    ShowSolvedPoint(c, false, PointLabel::Keep, false);
  } else if (AimsIn(c.s.Mode, station)) {
    c.window.View(station).RepaintViewAndMagnifier();
  }

  if (leftButton) Drag(c, station, at.dragX, at.dragY);

  c.s.CursorX = RoundToInt(at.x);
  c.s.CursorY = RoundToInt(at.y);
  c.s.CursorSubX = at.x - c.s.CursorX;
  c.s.CursorSubY = at.y - c.s.CursorY;
  c.window.MarkMagnifierForRepaint(station);
  // The repaints of this move reach the screen together, as one picture: the magnifiers keep the
  // centre each was asked for, and the last mark above wins for the view under the mouse.
  c.window.PaintNow();
}

void PanoramaMouseDown(Context& c, bool leftButton, int X, int Y) {
  if (!leftButton) return;
  c.s.DragX = X;
  c.s.DragY = Y;
}

void RepaintAll(Context& c) {
  for (int station = 0; station < 3; ++station) {
    c.window.MarkViewForRepaint(station);
    c.window.MarkMagnifierForRepaint(station);
  }
  c.window.PaintNow();
}

void CenterViews(Context& c, bool ScrollP0) {
  CentreViewsUnpainted(c, ScrollP0);
  c.window.PaintNow();
}

void CenterViews(bool ScrollP0, const WorkingState& s, const std::array<CentredView*, 3>& views,
                 std::int32_t& CursorX, std::int32_t& CursorY, Real* CursorSubX, Real* CursorSubY) {
  for (int station = 0; station < 3; ++station) {
    CentredView& view = *views[static_cast<std::size_t>(station)];
    const auto fields = s.Station(station);
    const Centred at = CentreOf(fields.Pano.Shape, fields.Hor, fields.Vert, view.ClientWidth(),
                                view.ClientHeight(), view.Scale(), view.SurfaceOffsetX());
    CursorX = at.markerX;
    CursorY = at.markerY;
    if (CursorSubX != nullptr) *CursorSubX = fields.Pano.Shape.Column(fields.Hor) - at.markerX;
    if (CursorSubY != nullptr) *CursorSubY = fields.Pano.Shape.Row(fields.Vert) - at.markerY;
    if (station > 0 || ScrollP0) {
      view.SetHorizontalPosition(at.scrollX);
      view.SetVerticalPosition(at.scrollY);
    }
    view.RepaintViewAndMagnifier();
  }
}

void CentreViewsUnpainted(Context& c, bool ScrollP0) {
  CenterViews(ScrollP0, c.s, {&c.window.View(0), &c.window.View(1), &c.window.View(2)}, c.s.CursorX,
              c.s.CursorY, &c.s.CursorSubX, &c.s.CursorSubY);
}

void CentreOnWork(Context& c) {
  const PointList& points = c.s.Points;
  for (int station = 0; station < 3; ++station) {
    Real hor = 360, vert = 0;
    if (!points.empty()) {
      hor = points[points.size() - 1].HorIn(station);
      vert = points[points.size() - 1].VertIn(station);
    }
    CentredView& view = c.window.View(station);
    const Centred at = CentreOf(c.s.Station(station).Pano.Shape, hor, vert, view.ClientWidth(),
                                view.ClientHeight(), view.Scale(), view.SurfaceOffsetX());
    view.SetHorizontalPosition(at.scrollX);
    view.SetVerticalPosition(at.scrollY);
    c.window.MarkViewForRepaint(station);
  }
}

void ShowSolvedPoint(Context& c, bool ScrollP0, PointLabel label, bool paint) {
  SolvePoint(c.s);
  CentreViewsUnpainted(c, ScrollP0);
  if (label != PointLabel::Keep) {
    c.window.SetLabel(
        Window::Label::Cp,
        CurrentPointText(c) + (label == PointLabel::Metres ? QStringLiteral("m") : QString()));
  }
  ShowPosition(c);
  if (paint) c.window.PaintNow();
}

void PlaceAtClick(Context& c, int station, Real hor) {
  if (c.s.Mode != Mode::ModePoint || (station != 1 && station != 2)) return;
  const std::optional<Real> dist = DistanceForGuideLine(c.s, station, hor);
  if (!dist) {
    c.platform.InformationBox(QString::fromUtf8(kMsgNoDistanceAtClick).arg(station),
                              {Platform::Button::Ok}, Platform::Button::Ok, Platform::Button::Ok);
    return;
  }
  c.s.CurDist = *dist;
  CentredView& clicked = c.window.View(station);
  const std::int32_t x = clicked.HorizontalPosition(), y = clicked.VerticalPosition();
  ShowSolvedPoint(c, false, PointLabel::Metres, false);
  clicked.SetHorizontalPosition(x);
  clicked.SetVerticalPosition(y);
  c.window.PaintNow();
}

void PanoramaClick(Context& c, int station, const MouseAt& at, bool shift) {
  const Panorama& pano = c.s.Station(station).Pano.Shape;
  if (c.s.Mode != Mode::ModePoint || !(at.x >= -0.5L && at.y >= -0.5L &&
                                       at.x < pano.Width() - 0.5L && at.y < pano.Height() - 0.5L)) {
    return;
  }
  if (station > 0 && shift) {
    const Real hor = pano.HorAt(at.x), vert = pano.VertAt(at.y);
    (station == 1 ? c.s.CurMark1 : c.s.CurMark2) = Mark{ToDouble(hor), ToDouble(vert)};
    // The pointer's way over the survey views took the point's angles there along; the view is
    // drawn anew with the guide lines where the distance puts them.
    SolvePoint(c.s);
    c.window.SetLabel(Window::Label::Cp,
                      QStringLiteral("P%1 markiert: ").arg(station) + c.DirectionText(hor, vert));
    c.window.MarkViewForRepaint(station);
    c.window.MarkMagnifierForRepaint(station);
    c.window.PaintNow();
    return;
  }
  if (station > 0) {
    PlaceAtClick(c, station, pano.HorAt(at.x));
    return;
  }
  // In P0 the click aims there and holds the aim.
  c.s.CurMark1.reset();
  c.s.CurMark2.reset();
  c.s.CurHor = pano.HorAt(at.x);
  c.s.CurVert = pano.VertAt(at.y);
  c.aimHeld = true;
  ShowSolvedPoint(c, false, PointLabel::Bare);
}

void EditSettings(Context& c) {
  const std::optional<QString> answer = c.platform.InputQuery(
      QStringLiteral("Einstellungen"),
      QStringLiteral("Zielgenauigkeit in Pixeln (eine Standardabweichung):"), c.Fix(c.pointingPx));
  if (!answer) return;
  const Real px = ParseReal(answer->toStdString());
  if (!(px >= Real{0.05L} && px <= 20)) throw TorbelError(kMsgPointingRange);
  c.pointingPx = px;
  ShowPosition(c);
}
