#include "commands/Panoramas.h"

#include "core/Errors.h"
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
  // A name typed for a file that is not there would stand in the project for the picture still
  // shown, and a save would lose that picture: it is refused. Nor does a file that fails to load
  // change anything.
  if (!PathExists(path)) throw TorbelError(std::string(kMsgNoSuchFile) + path.toStdString());
  {
    const Busy busy(c.platform);
    PanoPicture picture = ReadPanoramaFile(path);
    auto fields = c.s.Station(station);
    // The camera's own word on its tilt is where the station frame starts from.
    if (picture.Pose) {
      c.s.PanoTilt[static_cast<std::size_t>(station)] = *picture.Pose;
      c.s.FrameCovariance = nullptr;
    }
    fields.Pano = std::move(picture);
    fields.PanoFile = path;
  }
  c.window.MarkViewForRepaint(station);

  if (station == 0) {
    // The height in use is offered, and stays when the question is cancelled.
    const QString present =
        c.s.NodalHeight != 0
            ? QString::fromStdString(FullText(c.s.NodalHeight, c.separator))
            : QStringLiteral("1") + QChar::fromLatin1(c.separator) + QStringLiteral("6");
    const std::optional<QString> answer =
        c.platform.InputBox(QStringLiteral("Nodalpunkthöhe Standortpano eingeben"),
                            QStringLiteral("Nodalhöhe (m):"), present);
    if (!answer) return;
    c.s.NodalHeight = ParseReal(answer->toStdString());
    c.s.FrameCovariance = nullptr;
    c.window.SetLabel(Window::Label::P0NP, c.Fix(c.s.NodalHeight));
  }
}
