#include "io/PlanDocument.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include "core/Errors.h"
#include "core/NumberText.h"
#include "paint/PlanPainter.h"

namespace {

// Page layout in millimetres: a margin all round, the legend in a strip along the bottom, and
// room kept free inside the drawing's frame for labels.
constexpr double kMarginMm = 10, kLegendMm = 30, kInsideMm = 5, kScaleBarMm = 60;

QString PaperName(const PlanPaper& paper) {
  return (paper.size == QPageSize::A3 ? QStringLiteral("A3") : QStringLiteral("A4")) +
         (paper.orientation == QPageLayout::Landscape ? QStringLiteral(" quer")
                                                      : QStringLiteral(" hoch"));
}

// Draws the page: `unitsPerMm` device units a millimetre, the page `pageMm` large.
void DrawPage(QPainter& painter, double unitsPerMm, QSizeF pageMm, const WorkingState& s,
              const PlanPaper& paper, const PlanLegend& legend, char decimalSeparator) {
  const std::optional<PlanStations> stations = PlanStationsOf(s);
  const PlanPoints points = PlanPointsOf(s.Points, s.NodalHeight, s.PanoTilt[0]);
  const std::optional<QRectF> extent = PlanExtent(stations, points);
  if (!extent) throw TorbelError(kMsgPlanEmpty);

  const auto mm = [unitsPerMm](double x) { return x * unitsPerMm; };
  const QRectF frame(mm(kMarginMm), mm(kMarginMm), mm(pageMm.width() - 2 * kMarginMm),
                     mm(pageMm.height() - 2 * kMarginMm - kLegendMm));
  const QRectF room = frame.adjusted(mm(kInsideMm), mm(kInsideMm), -mm(kInsideMm), -mm(kInsideMm));
  const double perMetre = mm(1000.0 / paper.scale);
  if (extent->width() * perMetre > room.width() || extent->height() * perMetre > room.height()) {
    throw TorbelError(
        QString::fromUtf8(kMsgPlanTooLarge).arg(paper.scale).arg(PaperName(paper)).toStdString());
  }

  PlanStyle style;
  style.pixel = mm(25.4 / 96);
  style.everyLabel = true;
  const PlanTransform transform = PlanTransform::Centred(*extent, room, perMetre);
  PlanPainter plan(painter, transform, style);
  plan.Background(QRectF(0, 0, mm(pageMm.width()), mm(pageMm.height())));
  painter.setPen(QPen(style.line, style.pixel));
  painter.drawRect(frame);
  if (stations) plan.Stations(*stations);
  plan.Points(points, frame);
  plan.NorthArrow(QPointF(frame.right() - mm(8), frame.top() + mm(4)));

  QString project = legend.project.isEmpty() ? QStringLiteral("nicht gespeichert")
                                             : QFileInfo(legend.project).fileName();
  QString stationText = QStringLiteral("nicht eingemessen");
  if (stations) {
    stationText.clear();
    const QPointF at[] = {stations->p0, stations->p1, stations->p2};
    const auto fix = [decimalSeparator](Real x) {
      return QString::fromStdString(FixText(x, decimalSeparator));
    };
    for (int i = 0; i < 3; ++i) {
      stationText += QStringLiteral("%1P%2 %3 / %4")
                         .arg(i == 0 ? QString() : QStringLiteral(", "))
                         .arg(i)
                         .arg(fix(at[i].x()), fix(at[i].y()));
    }
  }
  const QPointF legendAt(frame.left(), frame.bottom() + mm(4));
  plan.Legend(legendAt,
              {QStringLiteral("Grundriss 1:%1, %2").arg(paper.scale).arg(PaperName(paper)),
               QStringLiteral("Projekt: ") + project,
               QStringLiteral("Datum: ") + legend.date.toString(QStringLiteral("dd.MM.yyyy")),
               QStringLiteral("Standpunkte (X / Y in m): ") + stationText,
               QStringLiteral("Punkte: %1").arg(points.at.size())});
  plan.ScaleBar(QPointF(frame.right() - mm(kScaleBarMm), frame.bottom() + mm(kLegendMm - 6)),
                mm(kScaleBarMm));
}

QSizeF PageMm(const PlanPaper& paper) {
  const QSizeF size = QPageSize(paper.size).size(QPageSize::Millimeter);
  return paper.orientation == QPageLayout::Landscape ? size.transposed() : size;
}

}  // namespace

QByteArray PlanPdf(const WorkingState& s, const PlanPaper& paper, const PlanLegend& legend,
                   char decimalSeparator) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    writer.setCreator(QStringLiteral("Torbel"));
    writer.setTitle(QStringLiteral("Grundriss"));
    writer.setPageLayout(QPageLayout(QPageSize(paper.size), paper.orientation, QMarginsF()));
    QPainter painter(&writer);
    DrawPage(painter, writer.resolution() / 25.4, PageMm(paper), s, paper, legend,
             decimalSeparator);
  }
  return bytes;
}

QByteArray PlanSvg(const WorkingState& s, const PlanPaper& paper, const PlanLegend& legend,
                   char decimalSeparator) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  const QSizeF pageMm = PageMm(paper);
  constexpr int kDpi = 96;
  const QSize pixels((pageMm / 25.4 * kDpi).toSize());
  {
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setTitle(QStringLiteral("Grundriss"));
    svg.setResolution(kDpi);
    svg.setSize(pixels);
    svg.setViewBox(QRect(QPoint(0, 0), pixels));
    QPainter painter(&svg);
    DrawPage(painter, kDpi / 25.4, pageMm, s, paper, legend, decimalSeparator);
  }
  return bytes;
}
