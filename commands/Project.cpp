#include "commands/Project.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cstddef>
#include <new>
#include <optional>
#include <stdexcept>

#include "commands/Points.h"
#include "commands/StationFrame.h"
#include "commands/Views.h"
#include "core/Errors.h"
#include "core/PathText.h"
#include "io/PanoramaFile.h"
#include "io/PointCsv.h"
#include "io/PointDxf.h"
#include "io/ProjectFile.h"
#include "io/TextFile.h"

namespace {

constexpr qint64 kMaxProjectBytes = qint64{64} << 20;
const QString kSettingsName = QStringLiteral("MolvanQuv.ini");
// A path is one line; whatever a damaged file holds beyond this is not read.
constexpr qint64 kMaxSettingsLine = 64 * 1024;

// The settings live beside the program where its folder takes new files, so that a copy run
// from a folder of its own keeps them with it; an installed program's folder is the system's, and
// the settings then live in the user's configuration folder.
bool ProgramFolderTakesSettings(Context& c) {
  return c.platform.FolderTakesNewFiles(c.platform.ExeDir());
}

QString UserSettingsFolder(Context& c) {
  return c.platform.ConfigDir() + QStringLiteral("torbel/");
}

// Missing folders are made for the user alone, as the base directory rules ask; one that cannot
// be made is reported by the write that needs it.
void MakePrivateFolder(const QString& folder) {
  const QString path = QDir::cleanPath(folder);
  if (QFileInfo::exists(path) || path == QDir::cleanPath(QFileInfo(path).path())) return;
  MakePrivateFolder(QFileInfo(path).path());
  QDir().mkdir(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QByteArray ProjectBytes(const Context& c, const PointList& points) {
  const WorkingState& s = c.s;
  return ProjectFileBytes(s, {s.PanoFile0, s.PanoFile1, s.PanoFile2}, points, c.separator);
}

// A digest of the project as the state would be written now. The points go in as their numbers,
// not their text: the file's text follows from them, and writing 100,000 points as text would
// double the time a load takes. Nothing when memory runs out for it, as it may at the end of a
// load that has changed everything: the project then counts as changed, and the close asks
// rather than fail or lose it.
std::optional<QByteArray> Digest(const Context& c) {
  try {
    QByteArray digest =
        QCryptographicHash::hash(ProjectBytes(c, PointList()), QCryptographicHash::Md5);
    static_assert(offsetof(PointRec, Vert2) == 6 * sizeof(double), "the numbers lie in a row");
    std::size_t points = 0;
    for (const PointRec& p : c.s.Points) {
      points = qHashBits(&p, 7 * sizeof(double), points);
      for (const std::optional<Mark>& mark : {p.Mark1, p.Mark2}) {
        const Mark m = mark.value_or(Mark{-1000, -1000});  // no picture angle is this
        points = qHashBits(&m, sizeof m, points);
      }
    }
    digest.append(reinterpret_cast<const char*>(&points), sizeof points);
    return digest;
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  return std::nullopt;
}

// The warning that another Torbel has the project open, with what follows from it.
QString OpenElsewhere(const QString& project, const ProjectLock::Holder& other, const char* then) {
  return QString::fromUtf8(kMsgOpenElsewhere).arg(project, QString::number(other.pid), other.host) +
         QLatin1Char('\n') + QString::fromUtf8(then);
}

}  // namespace

void StartSession(Context& c) {
  WorkingState& s = c.s;
  s.Pano0 = PanoPicture();
  s.Pano1 = PanoPicture();
  s.Pano2 = PanoPicture();
  s.Points.Clear();
  s.CursorX = 0;
  s.CursorY = 0;
  s.PanoFile0.clear();
  s.PanoFile1.clear();
  s.PanoFile2.clear();
  s.Mode = Mode::ModeIdle;
  s.CurDist = 5;
  s.RepeatCount = 0;
  s.P0zu1Hor = s.P0zu1Vert = s.DistP0P1 = 0;
  s.P0zu2Hor = s.P0zu2Vert = s.DistP0P2 = 0;
  s.P1zu0Hor = s.P1zu0Vert = s.P2zu0Hor = s.P2zu0Vert = 0;
  s.PanoTilt = {};
  s.FrameCovariance = nullptr;
  c.OpenDialog1 = {QStringLiteral("Koordinaten &laden.."),
                   QStringLiteral("Textdateien [*.txt)|*.txt"),
                   QStringLiteral("*.txt"),
                   {}};
  c.SaveDialog1 = {{}, QStringLiteral("Textdateien [*.txt)|*.txt"), QStringLiteral("*.txt"), {}};
  c.OpenDialog2 = {{}, QString::fromUtf8(kPanoramaFilter), QStringLiteral("*.bmp"), {}};
  c.ExportDialog = {QStringLiteral("Punkte exportieren"),
                    QStringLiteral("CSV-Dateien [*.csv]|*.csv"),
                    QStringLiteral("*.csv"),
                    {}};
  c.DxfDialog = {QStringLiteral("Punkte als DXF exportieren"),
                 QStringLiteral("DXF-Zeichnungen [*.dxf]|*.dxf"),
                 QStringLiteral("*.dxf"),
                 {}};
  c.PlanDialog = {QStringLiteral("Grundriss speichern"),
                  QStringLiteral("PDF oder SVG [*.pdf *.svg]|*.pdf *.svg"),
                  QStringLiteral("*.pdf"),
                  {}};
  c.planChoices = {};
  c.undoEdits.clear();
  c.redoEdits.clear();
  c.savedProject = Digest(c);
  c.projectLock.Release();
}

bool SaveProject(Context& c) {
  FileDialog dialog = c.SaveDialog1;
  if (!c.platform.ExecuteSaveDialog(dialog)) return false;
  // The settings file names the project on a line of its own; a name it cannot hold is not
  // remembered either.
  CheckPath(dialog.FileName);
  using Button = Platform::Button;
  if (const auto other = c.projectLock.Take(dialog.FileName)) {
    const QString question = OpenElsewhere(dialog.FileName, *other, kMsgSaveAnyway);
    if (c.platform.InformationBox(question, {Button::Yes, Button::No}, Button::No, Button::No) !=
        Button::Yes) {
      return false;
    }
    c.projectLock.Release();
  }
  c.SaveDialog1 = dialog;
  WriteFileSafely(c.SaveDialog1.FileName, ProjectBytes(c, c.s.Points));
  c.savedProject = Digest(c);
  return true;
}

bool HasUnsavedChanges(const Context& c) {
  const std::optional<QByteArray> now = Digest(c);
  return !now || now != c.savedProject;
}

bool SaveAtClose(Context& c) {
  if (SaveProject(c) || !HasUnsavedChanges(c)) return true;
  using Button = Platform::Button;
  return c.platform.InformationBox(QString::fromUtf8(kMsgDiscardChanges), {Button::Yes, Button::No},
                                   Button::No, Button::No) == Button::Yes;
}

namespace {

void LoadProjectFile(Context& c, const QString& path) {
  CheckPath(path);
  const Busy busy(c.platform);
  // Changes made before the load are in no file, and the load does not make them saved.
  const bool wasSaved = !HasUnsavedChanges(c);

  // Everything is read and checked before anything changes, so that a file that fails leaves
  // the work as it was and can be mended and loaded again.
  const ProjectLoad load =
      ReadProject(ReadWholeFile(path, kMaxProjectBytes, kMsgProjectTooLarge), c.s);
  std::array<std::optional<PanoPicture>, 3> images;
  QStringList unreadable;
  for (std::size_t i = 0; i < 3; ++i) {
    const std::optional<QString>& file = load.panoFiles[i];
    if (!file || !PathExists(*file)) continue;
    // A picture named twice is read and held once.
    const auto same = std::find(load.panoFiles.begin(), load.panoFiles.begin() + i, file);
    if (same != load.panoFiles.begin() + i) {
      images[i] = images[static_cast<std::size_t>(same - load.panoFiles.begin())];
      continue;
    }
    // A picture that cannot be read is kept out like a missing one, not the whole project.
    try {
      images[i] = ReadPanoramaFile(*file);
    } catch (const TorbelError& e) {
      unreadable << QString::fromStdString(e.Message()) + QStringLiteral(": ") + *file;
    }
  }

  // Everything the load adds is made before anything changes: should memory run out, the work
  // stays as it was.
  const int firstLabel = static_cast<int>(c.s.Points.size());
  std::vector<TableRow> rows;
  rows.reserve(load.points.size());
  for (std::size_t i = 0; i < load.points.size(); ++i) {
    rows.push_back(PointRow(c, load.points[i], firstLabel + static_cast<int>(i)));
  }
  c.s.Points.Reserve(load.points.size());
  const QString caption = c.window.Caption() + QStringLiteral(" - ") + path;
  const std::array<QString, 4> labels = StationLabels(c, load.state);
  // Rows only for the points read: points entered before the load keep their one row.
  c.window.AppendRows(std::move(rows));

  c.s.Points.AppendAll(load.points);
  c.SaveDialog1.FileName = path;
  c.window.EnableLoad(false);
  c.window.SetCaption(caption);
  // A project that does not say how its cameras stood starts from their own word, where the
  // pictures' tags give it.
  Tilts tilts = load.state.PanoTilt;
  for (std::size_t i = 0; i < 3; ++i) {
    if (!load.state.Tilted() && images[i] && images[i]->Pose) tilts[i] = *images[i]->Pose;
  }
  for (std::size_t i = 0; i < 3; ++i) {
    if (!load.panoFiles[i]) continue;
    auto fields = c.s.Station(static_cast<int>(i));
    fields.PanoFile = *load.panoFiles[i];
    if (images[i]) fields.Pano = std::move(*images[i]);
    c.window.MarkViewForRepaint(static_cast<int>(i));
  }
  static_cast<SolverState&>(c.s) = load.state;
  c.s.PanoTilt = tilts;
  c.s.FrameCovariance = nullptr;
  const Window::Label labelled[] = {Window::Label::P0zu1, Window::Label::P0zu2,
                                    Window::Label::P1zu0, Window::Label::P2zu0};
  for (std::size_t i = 0; i < 4; ++i) c.window.SetLabel(labelled[i], labels[i]);
  c.window.SetLabel(Window::Label::P0NP, c.Fix(c.s.NodalHeight));
  // Selecting the new empty row: no point is shown as selected. The points entered before the
  // load cannot be taken back across it.
  SelectRow(c, c.window.PointRows());
  ForgetEdits(c);
  CentreOnWork(c);
  // As the state now stands, not as the file reads: its numbers may be written otherwise.
  c.savedProject = wasSaved ? Digest(c) : std::nullopt;
  if (const auto other = c.projectLock.Take(path)) {
    c.projectLock.Release();
    c.platform.InformationBox(OpenElsewhere(path, *other, kMsgBothSaving), {Platform::Button::Ok},
                              Platform::Button::Ok, Platform::Button::Ok);
  }

  if (!unreadable.isEmpty()) c.platform.ErrorBox(unreadable.join(QLatin1Char('\n')));
}

}  // namespace

void LoadProject(Context& c) {
  if (c.platform.ExecuteOpenDialog(c.OpenDialog1)) LoadProjectFile(c, c.OpenDialog1.FileName);
}

void OpenInNewWindow(Context& c) {
  // The load's dialog, with a name of its own: this window's project stays as it is.
  FileDialog dialog = c.OpenDialog1;
  if (!c.platform.ExecuteOpenDialog(dialog)) return;
  CheckPath(dialog.FileName);
  if (!c.platform.StartDetached(c.platform.ExeFile(), {dialog.FileName})) {
    throw TorbelError(kMsgNoNewWindow);
  }
}

void OpenAtStart(Context& c, const QString& project) {
  if (project.isEmpty()) return ReadSettingsFile(c);
  FinishInterruptedRewrites();
  c.OpenDialog1.FileName = project;
  LoadProjectFile(c, project);
}

void ReadSettingsFile(Context& c) {
  // Rewrites in place that a crash broke off are finished first, whatever file they were for.
  FinishInterruptedRewrites();
  QString path = c.platform.ExeDir() + kSettingsName;
  if (!ProgramFolderTakesSettings(c)) {
    // One left beside the installed program (by whoever installed it) counts until the user has
    // one of their own.
    const QString own = UserSettingsFolder(c) + kSettingsName;
    if (PathExists(own)) path = own;
  }
  if (!PathExists(path)) return;
  c.OpenDialog1.FileName = PathFromBytes(ReadFirstLine(path, kMaxSettingsLine));
  LoadProject(c);
}

void WriteSettingsFile(Context& c) {
  QString folder = c.platform.ExeDir();
  if (!ProgramFolderTakesSettings(c)) {
    folder = UserSettingsFolder(c);
    MakePrivateFolder(folder);
  }
  WriteFileSafely(folder + kSettingsName,
                  PathBytes(c.SaveDialog1.FileName) + QByteArrayLiteral("\r\n"));
}

void ExportPoints(Context& c) {
  if (!c.platform.ExecuteSaveDialog(c.ExportDialog)) return;
  const Busy busy(c.platform);
  WriteFileSafely(c.ExportDialog.FileName,
                  PointCsvBytes(c.s.Points, c.s, c.s.Shapes(), c.separator, c.pointingPx));
}

void ExportDxf(Context& c) {
  if (!c.platform.ExecuteSaveDialog(c.DxfDialog)) return;
  using Button = Platform::Button;
  const Button lines = c.platform.InformationBox(QString::fromUtf8(kMsgDxfSightLines),
                                                 {Button::Yes, Button::No, Button::Cancel},
                                                 Button::No, Button::Cancel);
  if (lines == Button::Cancel) return;
  const Busy busy(c.platform);
  WriteFileSafely(c.DxfDialog.FileName, PointDxfBytes(c.s.Points, c.s, lines == Button::Yes));
}
