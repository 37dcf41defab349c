#include "io/PointCsv.h"

#include "core/NumberText.h"
#include "geometry/Coordinates.h"
#include "geometry/Firmness.h"

QByteArray PointCsvBytes(const PointList& points, const SolverState& stations,
                         const PanoShapes& shapes, char decimalSeparator, Real pointingPx) {
  QByteArray out =
      "Punkt;HorP0;VertP0;EntfP0;HorP1;VertP1;HorP2;VertP2;X;Y;Z;cm_je_Pixel;"
      "sigma_quer_cm;sigma_laengs_cm;Schnittwinkel_P1;Schnittwinkel_P2\r\n";
  out.reserve(out.size() + static_cast<qsizetype>(points.size()) * 300);
  SolverState at = stations;
  std::string line;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const PointRec& p = points[i];
    line = "." + std::to_string(points.Label(i));
    for (const double value : {p.Hor0, p.Vert0, p.Dist0, p.Hor1, p.Vert1, p.Hor2, p.Vert2}) {
      line += ';' + FullText(value, decimalSeparator);
    }
    const LocalPosition xyz =
        PositionOf(p.Hor0, p.Vert0, p.Dist0, stations.NodalHeight, stations.PanoTilt[0]);
    for (const Real value : {xyz.X, xyz.Y, xyz.Z}) line += ';' + FullText(value, decimalSeparator);
    at.CurHor = p.Hor0;
    at.CurVert = p.Vert0;
    at.CurDist = p.Dist0;
    line += ';';
    if (const std::optional<Real> best = StrengthOf(at, shapes).Best()) {
      line += FullText(*best, decimalSeparator);
    }
    const Firmness firm = FirmnessOf(at, shapes, pointingPx);
    for (const std::optional<Real>& value :
         {firm.AcrossCm, firm.AlongCm, firm.AngleP1, firm.AngleP2}) {
      line += ';';
      if (value) line += FullText(*value, decimalSeparator);
    }
    out.append(line.data(), static_cast<qsizetype>(line.size()));
    out += "\r\n";
  }
  return out;
}
