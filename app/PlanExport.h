#pragma once

#include <QByteArray>
#include <QDate>
#include <QPageLayout>
#include <QPageSize>
#include <QString>

#include "commands/Context.h"

// The plan on paper: at a chosen scale on A4 or A3, as a PDF or an SVG document.

struct PlanPaper {
  int scale = 100;  // 1:scale
  QPageSize::PageSizeId size = QPageSize::A4;
  QPageLayout::Orientation orientation = QPageLayout::Portrait;
};

// The dialogs' remembered settings.
struct PlanExportSettings {
  FileDialog dialog{QStringLiteral("Grundriss speichern"),
                    QStringLiteral("PDF oder SVG [*.pdf *.svg]|*.pdf *.svg"),
                    QStringLiteral("*.pdf"),
                    {}};
  int scale = 1, paper = 0, orientation = 0;  // the choices' indices
};

// What the legend says besides the scale and the stations.
struct PlanLegend {
  QString project;  // the project file's path, empty before it is saved
  QDate date;
};

// The plan's document; raises when there is nothing to draw, or when it does not fit the paper at
// the scale.
QByteArray PlanPdf(const Context& c, const PlanPaper& paper, const PlanLegend& legend);
QByteArray PlanSvg(const Context& c, const PlanPaper& paper, const PlanLegend& legend);

// "Grundriss als PDF oder SVG speichern...": asks for the scale and the paper, then for the file,
// whose suffix decides between PDF and SVG, and writes it with the safe writer.
void SavePlan(Context& c, PlanExportSettings& settings);
