#include <QFileInfo>

#include "app/QtPlatform.h"
#include "app/TForm1.h"
#include "io/Bitmap.h"
#include "io/ProjectFile.h"
#include "io/TextFile.h"
#include "ui/PanoramaView.h"
#include "ui/PointTable.h"

namespace {

// A project of 700,000 points is some 64 MB, far beyond any survey; a larger file is not one.
constexpr qint64 kMaxProjectBytes = qint64{64} << 20;
constexpr char kMsgProjectTooLarge[] = "Die Datei ist zu groß für ein Projekt (über 64 MB)";

}  // namespace

void TForm1::Speichern1Click() {
  if (!platform_.ExecuteSaveDialog(SaveDialog1)) return;
  WriteFileSafely(SaveDialog1.FileName,
                  ProjectFileBytes(s_, {s_.PanoFile0, s_.PanoFile1, s_.PanoFile2},
                                   s_.Points.Items(), decimalSeparator_));
}

void TForm1::Laden1Click() {
  if (!platform_.ExecuteOpenDialog(OpenDialog1)) return;
  const QString path = OpenDialog1.FileName;
  BusyCursor busy;

  // Everything is read and checked before anything changes, so that a file that fails leaves
  // the work as it was and can be mended and loaded again.
  const ProjectLoad load = ReadProject(ReadWholeFile(path, kMaxProjectBytes, kMsgProjectTooLarge), s_);
  std::array<std::optional<QImage>, 3> images;
  QStringList unreadable;
  for (std::size_t i = 0; i < 3; ++i) {
    const std::optional<QString>& file = load.panoFiles[i];
    if (!file || !QFileInfo::exists(*file)) continue;
    // A picture that cannot be read is kept out like a missing one, not the whole project.
    try {
      images[i] = LoadBitmap(*file);
    } catch (const TorbelError& e) {
      unreadable << QString::fromStdString(e.Message()) + QStringLiteral(": ") + *file;
    }
  }

  SaveDialog1.FileName = path;
  Laden1->setEnabled(false);
  setWindowTitle(windowTitle() + QStringLiteral(" - ") + path);
  QString* panoFiles[] = {&s_.PanoFile0, &s_.PanoFile1, &s_.PanoFile2};
  QImage* panos[] = {&s_.Pano0, &s_.Pano1, &s_.Pano2};
  for (std::size_t i = 0; i < 3; ++i) {
    if (!load.panoFiles[i]) continue;
    *panoFiles[i] = *load.panoFiles[i];
    if (images[i]) *panos[i] = std::move(*images[i]);
    View(static_cast<int>(i))->MarkForRepaint();
  }
  static_cast<SolverState&>(s_) = load.state;
  SetStationLabels();

  // Rows only for the points read: points entered before the load keep their one row.
  std::vector<PointRec> points = s_.Points.Items();
  std::vector<PointTableModel::Row> rows;
  rows.reserve(load.points.size());
  for (const PointRec& p : load.points) {
    points.push_back(p);
    rows.push_back({QStringLiteral(".") + QString::number(GridModel->PointRows() + rows.size()),
                    Fix(p.Hor0), Fix(p.Vert0), Fix(p.Dist0)});
  }
  s_.Points.Assign(std::move(points));
  GridModel->AppendRows(std::move(rows));
  SelectGridRow(GridModel->PointRows() + 1);

  if (!unreadable.isEmpty()) platform_.ErrorBox(unreadable.join(QLatin1Char('\n')));
}

void TForm1::SetStationLabels() {
  LblP0zu1->setText(DirectionText(s_.P0zu1Hor, s_.P0zu1Vert) + QStringLiteral(" ") +
                    Fix(s_.DistP0P1) + QStringLiteral("m"));
  LblP0zu2->setText(DirectionText(s_.P0zu2Hor, s_.P0zu2Vert) + QStringLiteral(" ") +
                    Fix(s_.DistP0P2) + QStringLiteral("m"));
  LblP1zu0->setText(DirectionText(s_.P1zu0Hor, s_.P1zu0Vert));
  LblP2zu0->setText(DirectionText(s_.P2zu0Hor, s_.P2zu0Vert));
}
