#pragma once

#include <QColor>
#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <QStringList>
#include <optional>
#include <vector>

#include "core/WorkingState.h"

// The survey seen from above, in metres: X to the right, Y up (towards the P0 panorama's zero
// direction), P0's ground point at the origin. The same drawing serves the screen, PDF and SVG.

// The three stations' ground points.
struct PlanStations {
  QPointF p0, p1, p2;
};

// The stored points in list order, with the numbers of their table labels.
struct PlanPoints {
  std::vector<QPointF> at;
  std::vector<int> labels;
  QRectF bounds;  // of all points; empty when there are none
};

// The current point of point entry, and how firmly the views fix it in plan: the half axes (in
// metres) of its ellipse along P0's sight line, whose azimuth is given, and across it.
struct PlanCurrent {
  QPointF at;
  double azimuthDeg = 0;
  std::optional<double> alongM, acrossM;
};

// The ellipse spans this many standard deviations each way.
inline constexpr double kPlanEllipseSigmas = 2;

// The stations where the station geometry places them; nothing until it is measured.
std::optional<PlanStations> PlanStationsOf(const WorkingState& s);
PlanPoints PlanPointsOf(const PointList& points, Real nodalHeight, const Tilt& tilt0 = {});
// Only in point entry.
std::optional<PlanCurrent> PlanCurrentOf(const WorkingState& s);

// The label a point carries in the table.
inline QString PlanLabel(int label) {
  return QStringLiteral(".") + QString::number(label);
}

// Metres to device units: one scale for both axes, and where the origin lands. Y grows upwards in
// metres and downwards on the device.
struct PlanTransform {
  double scale = 10;  // device units per metre
  QPointF origin;

  QPointF ToDevice(QPointF m) const {
    return {origin.x() + scale * m.x(), origin.y() - scale * m.y()};
  }
  QPointF ToWorld(QPointF d) const {
    return {(d.x() - origin.x()) / scale, (origin.y() - d.y()) / scale};
  }
  // Shows `world` whole and centred in `device`, leaving `margin` device units free around it.
  static PlanTransform Fitting(const QRectF& world, const QRectF& device, double margin);
  // Centres `world` in `device` at the given scale.
  static PlanTransform Centred(const QRectF& world, const QRectF& device, double scale);
};

// What a plan covers: the stations, the points and one more place; nothing where there is none.
std::optional<QRectF> PlanExtent(const std::optional<PlanStations>& stations,
                                 const PlanPoints& points,
                                 const std::optional<QPointF>& more = std::nullopt);

// Colours, and the size of one screen pixel in device units (1 on screen, more on paper).
struct PlanStyle {
  QColor background = Qt::white;
  QColor ink = Qt::black;        // stations, text, scale bar, arrow
  QColor line{128, 128, 128};    // P0-P1, P0-P2
  QColor point{0, 0, 160};       // stored points
  QColor label{64, 64, 64};      // their labels
  QColor selected{0, 120, 215};  // selected points (the palette's highlight on screen)
  QColor current{255, 0, 0};     // the current point, its sight lines and ellipse
  double pixel = 1;
  // Paper shows every label; the screen only those with room, so that none overlaps another.
  bool everyLabel = false;
};

// Draws the parts of a plan onto a painter in device units.
class PlanPainter {
 public:
  PlanPainter(QPainter& painter, const PlanTransform& transform, const PlanStyle& style);

  void Background(const QRectF& area);
  // P0-P1, P0-P2 and the three stations as labelled triangles.
  void Stations(const PlanStations& stations);
  // The points inside `area` as dots with their labels.
  void Points(const PlanPoints& points, const QRectF& area);
  // The given points (indices into the list; others are ignored) in the selection colour; two of
  // them joined by a line with its level length, in metres to the millimetre with `separator`.
  void Selected(const PlanPoints& points, const std::vector<int>& indices, QChar separator);
  // The current point with the sight lines from the stations and its ellipse.
  void Current(const PlanCurrent& current, const std::optional<PlanStations>& stations);
  // A bar of a round length no longer than `maxLength` device units, its left end at `at`, with
  // its length written above it; returns the length in metres.
  double ScaleBar(QPointF at, double maxLength);
  // An arrow pointing to +Y, its tip at `tip`.
  void NorthArrow(QPointF tip);
  // Lines of text, the first one's top left at `at`.
  void Legend(QPointF at, const QStringList& lines);

 private:
  QFont Font(double pixels) const;

  QPainter& painter_;
  PlanTransform t_;
  PlanStyle style_;
};

// The longest round length (1, 2 or 5 times a power of ten, in metres) that fits `maxMetres`.
double RoundBarLength(double maxMetres);
// The scale bar's length as its label writes it: in the largest unit of m, cm and mm that it is
// at least one of.
QString ScaleBarLabel(double metres);
