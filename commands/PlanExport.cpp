#include "commands/PlanExport.h"

#include <QFileInfo>
#include <algorithm>
#include <functional>

#include "core/Errors.h"
#include "io/PlanDocument.h"
#include "io/TextFile.h"

namespace {

// What the choices' indices stand for.
constexpr int kScales[] = {50, 100, 200, 500};
constexpr QPageSize::PageSizeId kPapers[] = {QPageSize::A4, QPageSize::A3};

}  // namespace

void SavePlan(Context& c) {
  Context::PlanChoices& chosen = c.planChoices;
  std::vector<Platform::Choice> choices = {
      {QStringLiteral("&Maßstab:"),
       {QStringLiteral("1:50"), QStringLiteral("1:100"), QStringLiteral("1:200"),
        QStringLiteral("1:500")},
       chosen.scale},
      {QStringLiteral("&Papier:"), {QStringLiteral("A4"), QStringLiteral("A3")}, chosen.paper},
      {QStringLiteral("&Ausrichtung:"),
       {QStringLiteral("Hochformat"), QStringLiteral("Querformat")},
       chosen.orientation}};
  if (!c.platform.ExecuteChoiceDialog(QStringLiteral("Grundriss als PDF oder SVG speichern"),
                                      choices)) {
    return;
  }
  chosen.scale = std::clamp(choices[0].chosen, 0, 3);
  chosen.paper = std::clamp(choices[1].chosen, 0, 1);
  chosen.orientation = std::clamp(choices[2].chosen, 0, 1);
  if (!c.platform.ExecuteSaveDialog(c.PlanDialog)) return;

  const PlanPaper paper{kScales[chosen.scale], kPapers[chosen.paper],
                        chosen.orientation == 1 ? QPageLayout::Landscape : QPageLayout::Portrait};
  const QString suffix = QFileInfo(c.PlanDialog.FileName).suffix().toLower();
  const std::function<QByteArray(const WorkingState&, const PlanPaper&, const PlanLegend&, char)>
      document = suffix == QStringLiteral("pdf")   ? PlanPdf
                 : suffix == QStringLiteral("svg") ? PlanSvg
                                                   : nullptr;
  if (!document) throw TorbelError(kMsgPlanSuffix);
  const Busy busy(c.platform);
  WriteFileSafely(
      c.PlanDialog.FileName,
      document(c.s, paper, {c.SaveDialog1.FileName, QDate::currentDate()}, c.separator));
}
