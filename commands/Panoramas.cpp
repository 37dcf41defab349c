#include "commands/Panoramas.h"

#include "core/PathText.h"

#include "io/PanoramaFile.h"

void LoadPanorama(Context& c, int station) {
  static const QString kTitles[] = {QStringLiteral("Standortpano laden"),
                                    QStringLiteral("Vermessungspano 1 laden"),
                                    QStringLiteral("Vermessungspano 2 laden")};
  c.OpenDialog2.Title = kTitles[station];
  if (!c.platform.ExecuteOpenDialog(c.OpenDialog2)) return;
  const QString path = c.OpenDialog2.FileName;
  CheckPath(path);
  auto fields = c.s.Station(station);
  // A name typed for a file that is not there is kept (a project moved between machines names
  // such files), but a file that fails to load leaves the path as it was, so a later save never
  // writes a path that cannot be opened again.
  if (PathExists(path)) {
    const Busy busy(c.platform);
    fields.Pano = ReadPanoramaFile(path);
  }
  fields.PanoFile = path;
  c.window.MarkViewForRepaint(station);

  if (station == 0) {
    const QString answer = c.platform.InputBox(
        QStringLiteral("Nodalpunkthöhe Standortpano eingeben"), QStringLiteral("Nodalhöhe (m):"),
        QStringLiteral("1") + QChar::fromLatin1(c.separator) + QStringLiteral("6"));
    c.s.NodalHeight = ParseReal(answer.toStdString());
    c.window.SetLabel(Window::Label::P0NP, c.Fix(c.s.NodalHeight));
  }
}
