#pragma once

#include <QByteArray>
#include <QDate>
#include <QPageLayout>
#include <QPageSize>
#include <QString>

#include "core/WorkingState.h"

// The plan on paper: at a chosen scale on A4 or A3, as a PDF or an SVG document.

struct PlanPaper {
  int scale = 100;  // 1:scale
  QPageSize::PageSizeId size = QPageSize::A4;
  QPageLayout::Orientation orientation = QPageLayout::Portrait;
};

// What the legend says besides the scale and the stations.
struct PlanLegend {
  QString project;  // the project file's path, empty before it is saved
  QDate date;
};

// The plan's document, the stations' coordinates in the legend written with the given decimal
// separator; raises when there is nothing to draw, or when it does not fit the paper at the scale.
QByteArray PlanPdf(const WorkingState& s, const PlanPaper& paper, const PlanLegend& legend,
                   char decimalSeparator);
QByteArray PlanSvg(const WorkingState& s, const PlanPaper& paper, const PlanLegend& legend,
                   char decimalSeparator);
