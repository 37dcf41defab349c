#include "app/PlanExport.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <functional>

#include "core/Errors.h"
#include "io/TextFile.h"
#include "paint/PlanPainter.h"

namespace {

// Page layout in millimetres: a margin all round, the legend in a strip along the bottom, and
// room kept free inside the drawing's frame for labels.
constexpr double kMarginMm = 10, kLegendMm = 30, kInsideMm = 5, kScaleBarMm = 60;
constexpr int kScales[] = {50, 100, 200, 500};
constexpr QPageSize::PageSizeId kPapers[] = {QPageSize::A4, QPageSize::A3};

QString PaperName(const PlanPaper& paper) {
  return (paper.size == QPageSize::A3 ? QStringLiteral("A3") : QStringLiteral("A4")) +
         (paper.orientation == QPageLayout::Landscape ? QStringLiteral(" quer")
                                                      : QStringLiteral(" hoch"));
}

// Draws the page: `unitsPerMm` device units a millimetre, the page `pageMm` large.
void DrawPage(QPainter& painter, double unitsPerMm, QSizeF pageMm, const Context& c,
              const PlanPaper& paper, const PlanLegend& legend) {
  const std::optional<PlanStations> stations = PlanStationsOf(c.s);
  const PlanPoints points = PlanPointsOf(c.s.Points, c.s.NodalHeight);
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
    for (int i = 0; i < 3; ++i) {
      stationText += QStringLiteral("%1P%2 %3 / %4")
                         .arg(i == 0 ? QString() : QStringLiteral(", "))
                         .arg(i)
                         .arg(c.Fix(at[i].x()), c.Fix(at[i].y()));
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

QByteArray PlanPdf(const Context& c, const PlanPaper& paper, const PlanLegend& legend) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    writer.setCreator(QStringLiteral("Torbel"));
    writer.setTitle(QStringLiteral("Grundriss"));
    writer.setPageLayout(QPageLayout(QPageSize(paper.size), paper.orientation, QMarginsF()));
    QPainter painter(&writer);
    DrawPage(painter, writer.resolution() / 25.4, PageMm(paper), c, paper, legend);
  }
  return bytes;
}

QByteArray PlanSvg(const Context& c, const PlanPaper& paper, const PlanLegend& legend) {
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
    DrawPage(painter, kDpi / 25.4, pageMm, c, paper, legend);
  }
  return bytes;
}

void SavePlan(Context& c, PlanExportSettings& settings) {
  std::vector<Platform::Choice> choices = {
      {QStringLiteral("&Maßstab:"),
       {QStringLiteral("1:50"), QStringLiteral("1:100"), QStringLiteral("1:200"),
        QStringLiteral("1:500")},
       settings.scale},
      {QStringLiteral("&Papier:"), {QStringLiteral("A4"), QStringLiteral("A3")}, settings.paper},
      {QStringLiteral("&Ausrichtung:"),
       {QStringLiteral("Hochformat"), QStringLiteral("Querformat")},
       settings.orientation}};
  if (!c.platform.ExecuteChoiceDialog(QStringLiteral("Grundriss als PDF oder SVG speichern"),
                                      choices)) {
    return;
  }
  settings.scale = std::clamp(choices[0].chosen, 0, 3);
  settings.paper = std::clamp(choices[1].chosen, 0, 1);
  settings.orientation = std::clamp(choices[2].chosen, 0, 1);
  if (!c.platform.ExecuteSaveDialog(settings.dialog)) return;

  const PlanPaper paper{kScales[settings.scale], kPapers[settings.paper],
                        settings.orientation == 1 ? QPageLayout::Landscape : QPageLayout::Portrait};
  const QString suffix = QFileInfo(settings.dialog.FileName).suffix().toLower();
  const std::function<QByteArray(const Context&, const PlanPaper&, const PlanLegend&)> document =
      suffix == QStringLiteral("pdf")   ? PlanPdf
      : suffix == QStringLiteral("svg") ? PlanSvg
                                        : nullptr;
  if (!document) throw TorbelError(kMsgPlanSuffix);
  const Busy busy(c.platform);
  WriteFileSafely(settings.dialog.FileName,
                  document(c, paper, {c.SaveDialog1.FileName, QDate::currentDate()}));
}
