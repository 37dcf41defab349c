// The DXF export read back by an independent reader (python3-ezdxf), as a CAD program would.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "geometry/Coordinates.h"
#include "io/PointDxf.h"
#include "tests/Surveys.h"

namespace {

// Audits the drawing and lists what it holds, a line per entity: "layer kind x y z [text]", a
// line's end and then its start.
constexpr char kReader[] = R"(
import sys, ezdxf
doc = ezdxf.readfile(sys.argv[1])
auditor = doc.audit()
print("errors", len(auditor.errors))
print("units", doc.header.get("$INSUNITS"))
# (the reader adds "Defpoints", which every drawing has, itself)
print("layers", " ".join(sorted(l.dxf.name for l in doc.layers if l.dxf.name != "Defpoints")))
for e in doc.modelspace():
    kind = e.dxftype()
    if kind == "POINT":
        p = e.dxf.location
    elif kind == "TEXT":
        p = e.dxf.insert
    else:
        p = e.dxf.end
    extra = e.dxf.text if kind == "TEXT" else ""
    if kind == "LINE":
        extra = " ".join(repr(c) for c in e.dxf.start)
    print(e.dxf.layer, kind, repr(p.x), repr(p.y), repr(p.z), extra)
)";

std::vector<std::string> ReadBack(const QByteArray& dxf) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("punkte.dxf"));
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(dxf) == dxf.size());
  file.close();
  QProcess python;
  // The system interpreter, which the Debian package installs the reader for.
  python.start(QStringLiteral("/usr/bin/python3"),
               {QStringLiteral("-c"), QString::fromUtf8(kReader), path});
  EXPECT_TRUE(python.waitForFinished(120000));
  EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
  std::vector<std::string> lines;
  for (const QByteArray& line : python.readAllStandardOutput().split('\n'))
    if (!line.isEmpty()) lines.push_back(line.toStdString());
  return lines;
}

TEST(PointDxf, AnIndependentReaderFindsEveryPointLabelAndStationWhereTheCoordinatesSay) {
  std::mt19937 random(5);
  std::uniform_real_distribution<double> hor(0, 360), vert(-45, 60), dist(1, 2000);
  std::vector<PointRec> list;
  for (int i = 0; i < 300; ++i) list.push_back({hor(random), vert(random), dist(random)});
  PointList points;
  points.Assign(list);
  points.Erase(3);                          // labels are not renumbered
  const SolverState level = LevelSurvey();  // P1 10 m along 0 degrees, P2 along 90, level ground

  for (const bool sightLines : {true, false}) {
    SCOPED_TRACE(sightLines);
    const std::vector<std::string> lines = ReadBack(PointDxfBytes(points, level, sightLines));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "errors 0");
    EXPECT_EQ(lines[1], "units 6");  // metres
    EXPECT_EQ(lines[2], sightLines ? "layers 0 Punkte Punktnummern Sichtlinien Standpunkte"
                                   : "layers 0 Punkte Punktnummern Standpunkte");
    std::map<std::string, std::vector<std::vector<std::string>>> byLayer;
    for (std::size_t k = 3; k < lines.size(); ++k) {
      std::istringstream in(lines[k]);
      std::vector<std::string> fields;
      for (std::string f; in >> f;) fields.push_back(f);
      byLayer[fields[0]].push_back(fields);
    }
    // Each station's ground point, then its name.
    const std::vector<std::vector<std::string>>& stations = byLayer["Standpunkte"];
    const double where[3][2] = {{0, 0}, {0, 10}, {10, 0}};
    ASSERT_EQ(stations.size(), 6u);
    for (std::size_t k = 0; k < 3; ++k) {
      EXPECT_NEAR(std::stod(stations[2 * k][2]), where[k][0], 1e-9);
      EXPECT_NEAR(std::stod(stations[2 * k][3]), where[k][1], 1e-9);
      EXPECT_NEAR(std::stod(stations[2 * k][4]), 0, 1e-9);
      EXPECT_EQ(stations[2 * k + 1].back(), "P" + std::to_string(k));
    }
    // Every point where the CSV export puts it, to the last bit, and its table label.
    const auto& rows = byLayer["Punkte"];
    const auto& labels = byLayer["Punktnummern"];
    ASSERT_EQ(rows.size(), points.size());
    ASSERT_EQ(labels.size(), points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
      const PointRec& p = points[i];
      const LocalPosition xyz = PositionOf(p.Hor0, p.Vert0, p.Dist0, level.NodalHeight);
      EXPECT_EQ(std::stod(rows[i][2]), static_cast<double>(xyz.X)) << i;
      EXPECT_EQ(std::stod(rows[i][3]), static_cast<double>(xyz.Y)) << i;
      EXPECT_EQ(std::stod(rows[i][4]), static_cast<double>(xyz.Z)) << i;
      EXPECT_EQ(labels[i].back(), "." + std::to_string(points.Label(i)));
    }
    // From each station's lens, its nodal height above the ground point, to every point.
    const auto& sights = byLayer["Sichtlinien"];
    ASSERT_EQ(sights.size(), sightLines ? 3 * points.size() : 0u);
    for (std::size_t j = 0; j < sights.size(); ++j) {
      ASSERT_EQ(std::vector(sights[j].begin() + 2, sights[j].begin() + 5),
                std::vector(rows[j / 3].begin() + 2, rows[j / 3].end()));
      ASSERT_NEAR(std::stod(sights[j][5]), where[j % 3][0], 1e-9);
      ASSERT_NEAR(std::stod(sights[j][6]), where[j % 3][1], 1e-9);
      ASSERT_NEAR(std::stod(sights[j][7]), static_cast<double>(level.NodalHeight), 1e-9) << j;
    }
  }
  // Nothing measured: the points alone, no stations.
  const std::vector<std::string> bare = ReadBack(PointDxfBytes(points, SolverState{}, true));
  ASSERT_FALSE(bare.empty());
  EXPECT_EQ(bare[0], "errors 0");
  const auto count = [&](const std::string& start) {
    return std::count_if(bare.begin(), bare.end(),
                         [&](const std::string& l) { return l.rfind(start, 0) == 0; });
  };
  EXPECT_EQ(count("Standpunkte "), 0);
  EXPECT_EQ(count("Punkte POINT"), static_cast<long>(points.size()));
}

// The layer table's header counts the layers that follow: some readers size the table by it.
TEST(PointDxf, TheLayerTableCountsItsLayers) {
  for (const bool sightLines : {true, false}) {
    SCOPED_TRACE(sightLines);
    const QList<QByteArray> lines =
        PointDxfBytes(PointList(), LevelSurvey(), sightLines).split('\n');
    std::vector<std::pair<int, QByteArray>> groups;  // code and value
    for (qsizetype i = 0; i + 1 < lines.size(); i += 2)
      groups.emplace_back(lines[i].trimmed().toInt(), lines[i + 1]);
    const auto table = std::find(groups.begin(), groups.end(), std::pair(2, QByteArray("LAYER")));
    const auto end = std::find(table, groups.end(), std::pair(0, QByteArray("ENDTAB")));
    const auto count = std::find_if(table, end, [](const auto& g) { return g.first == 70; });
    ASSERT_NE(count, end);
    EXPECT_EQ(count->second.toInt(), std::count(table, end, std::pair(0, QByteArray("LAYER"))));
  }
}

}  // namespace
