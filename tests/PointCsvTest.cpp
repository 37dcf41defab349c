// The CSV export read back as a spreadsheet, a GIS or a point-cloud program reads it: one header
// line, ";" between fields, the locale's decimal separator.

#include <gtest/gtest.h>

#include <QList>
#include <random>

#include "core/NumberText.h"
#include "geometry/Coordinates.h"
#include "geometry/Firmness.h"
#include "io/PointCsv.h"
#include "tests/Surveys.h"

namespace {

// Fifteen significant digits, as the project file holds them.
void ExpectSameNumber(const QByteArray& field, Real want, Real relative = 1e-14L) {
  const Real got = ParseReal(field.toStdString());
  EXPECT_NEAR(got, want, std::fabs(want) * relative + 1e-300L) << field.toStdString();
}

TEST(PointCsv, TenThousandPointsReadBackToTheSameNumbers) {
  std::mt19937 random(11);
  std::uniform_real_distribution<double> hor(0, 360), vert(-45, 60), dist(1, 2000), any(-180, 540);
  std::vector<PointRec> list;
  for (int i = 0; i < 10000; ++i) {
    list.push_back({hor(random), vert(random), dist(random), any(random), vert(random), any(random),
                    vert(random)});
  }
  list[5].Hor0 = 0;  // straight towards P1: only P2 fixes the distance
  PointList points;
  points.Assign(list);
  points.Erase(3);  // labels are not renumbered
  const SolverState survey = LevelSurvey();

  const QByteArray csv = PointCsvBytes(points, survey, {}, ',');
  ASSERT_TRUE(csv.endsWith("\r\n"));
  const QList<QByteArray> lines = csv.chopped(1).split('\n');
  ASSERT_EQ(lines.size(), 10000);
  EXPECT_EQ(lines[0],
            "Punkt;HorP0;VertP0;EntfP0;HorP1;VertP1;HorP2;VertP2;X;Y;Z;cm_je_Pixel;"
            "sigma_quer_cm;sigma_laengs_cm;Schnittwinkel_P1;Schnittwinkel_P2\r");
  for (std::size_t i = 0; i < points.size(); ++i) {
    SCOPED_TRACE(i);
    const QList<QByteArray> fields = lines[static_cast<qsizetype>(i) + 1].chopped(1).split(';');
    ASSERT_EQ(fields.size(), 16);
    EXPECT_EQ(fields[0], "." + QByteArray::number(i < 3 ? i : i + 1));
    const PointRec& p = points[i];
    const double stored[] = {p.Hor0, p.Vert0, p.Dist0, p.Hor1, p.Vert1, p.Hor2, p.Vert2};
    for (int f = 0; f < 7; ++f) ExpectSameNumber(fields[f + 1], stored[f]);
    const LocalPosition xyz = PositionOf(p.Hor0, p.Vert0, p.Dist0, survey.NodalHeight);
    ExpectSameNumber(fields[8], xyz.X);
    ExpectSameNumber(fields[9], xyz.Y);
    ExpectSameNumber(fields[10], xyz.Z);
    SolverState at = survey;
    at.CurHor = p.Hor0;
    at.CurVert = p.Vert0;
    at.CurDist = p.Dist0;
    // A difference of two columns a tiny step apart: good to some eleven digits.
    ExpectSameNumber(fields[11], *StrengthOf(at, {}).Best(), 1e-9L);
    // Empty where a station does not show the point (below its picture's bottom edge).
    const Firmness firm = FirmnessOf(at, {});
    const std::optional<Real> figures[] = {firm.AcrossCm, firm.AlongCm, firm.AngleP1, firm.AngleP2};
    for (int f = 0; f < 4; ++f) {
      EXPECT_EQ(fields[12 + f].isEmpty(), !figures[f]);
      if (figures[f]) ExpectSameNumber(fields[12 + f], *figures[f]);
    }
    if (HasFailure()) return;
  }
}

TEST(PointCsv, WithoutPointsOnlyTheHeaderAndAPointNoViewFixesHasNoFigure) {
  EXPECT_EQ(PointCsvBytes({}, LevelSurvey(), {}, '.').count("\r\n"), 1);
  PointList points;
  points.Assign({{12.5, -1, 20, 0, 0, 0, 0}});
  // Stations never measured place no distance and fix nothing: the last five fields stay empty.
  const QByteArray line = PointCsvBytes(points, SolverState{}, {}, '.').split('\n')[1];
  EXPECT_TRUE(line.startsWith(".0;12.5;-1;20;0;0;0;0;")) << line.toStdString();
  EXPECT_TRUE(line.endsWith(";;;;;\r")) << line.toStdString();
  EXPECT_EQ(line.count(';'), 15);
}

}  // namespace
