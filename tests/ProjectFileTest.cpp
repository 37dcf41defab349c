#include <gtest/gtest.h>

#include <cmath>

#include "core/NumberText.h"
#include "geometry/TorbelError.h"
#include "io/ProjectFile.h"

namespace {

SolverState Stations() {
  SolverState s;
  s.NodalHeight = 1.6L;
  s.P0zu1Hor = 12.5L;
  s.P0zu1Vert = -9.0902769208208L;
  s.DistP0P1 = 10;
  s.P0zu2Hor = 102.5L;
  s.P0zu2Vert = -9.0902769208208L;
  s.DistP0P2 = 10;
  s.P1zu0Hor = 180;
  s.P1zu0Vert = -9.0902769208208L;
  s.P2zu0Hor = 270;
  s.P2zu0Vert = -9.0902769208208L;
  return s;
}

std::string FailureOf(const QByteArray& bytes) {
  try {
    ReadProject(bytes, SolverState());
  } catch (const TorbelError& e) {
    return e.Message();
  }
  return "loaded";
}

const QByteArray kHead16 =
    "a.bmp\r\nb.bmp\r\nc.bmp\r\nP0NPH\xF6he P1v0a/e/m P2v0a/e/m P0v1a/e P0v2a/e:\r\n"
    "1,6\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\nPunkte P0a/e/m P1a/e P2a/e:\r\n";

TEST(ProjectFile, WritesTheFormatByteForByte) {
  const std::vector<PointRec> points = {{123.456, -2.5, 15, 200.1, -1.25, 75.5, -0.75},
                                        {1.0 / 3, 0, 1e-7, 0, 0, 360, 90}};
  const QByteArray bytes =
      ProjectFileBytes(Stations(), {"/pano/s0.bmp", "", "/pano/s\xC3\xA4.bmp"}, points, ',');
  EXPECT_EQ(bytes.toStdString(),
            "/pano/s0.bmp\r\n"
            "\r\n"
            "/pano/s\xC3\xA4.bmp\r\n"
            "P0NPH\xF6he P1v0a/e/m P2v0a/e/m P0v1a/e P0v2a/e:\r\n"
            "1,6\r\n12,5\r\n-9,0902769208208\r\n10\r\n102,5\r\n-9,0902769208208\r\n10\r\n"
            "180\r\n-9,0902769208208\r\n270\r\n-9,0902769208208\r\n"
            "Punkte P0a/e/m P1a/e P2a/e:\r\n"
            "123,456;-2,5;15;200,1;-1,25;75,5;-0,75\r\n"
            "0,333333333333333;0;1E-07;0;0;360;90\r\n"
            "EOF\r\n");
}

TEST(ProjectFile, ReadsBackWhatItWrote) {
  SolverState s = Stations();
  s.P0zu1Hor = 1.0L / 7;  // more digits than the file keeps
  const std::vector<PointRec> points = {{45, 10.025, 14.3614, 90, 14.0362, 360, 14.0362},
                                        {359, 0, 5, 180.9997, 0, 243.4349, 0}};
  for (char separator : {',', '.'}) {
    const QByteArray bytes = ProjectFileBytes(s, {"p0", "p1", "p2"}, points, separator);
    const ProjectLoad load = ReadProject(bytes, SolverState());
    EXPECT_EQ(load.panoFiles[0], QStringLiteral("p0"));
    EXPECT_EQ(load.panoFiles[2], QStringLiteral("p2"));
    EXPECT_EQ(FullText(load.state.P0zu1Hor, '.'), FullText(s.P0zu1Hor, '.'));
    EXPECT_NEAR(load.state.P0zu1Hor, s.P0zu1Hor, 1e-15L);
    EXPECT_EQ(load.state.P2zu0Vert, s.P2zu0Vert);
    ASSERT_EQ(load.points.size(), 2u);
    EXPECT_EQ(load.points[1].Hor1, 180.9997);
    EXPECT_EQ(load.points[0].Dist0, 14.3614);
  }
}

TEST(ProjectFile, ShortAndEmptyFilesApplyWhatTheyHave) {
  SolverState before = Stations();
  before.CurDist = 7;
  const ProjectLoad empty = ReadProject(QByteArray(), before);
  EXPECT_FALSE(empty.panoFiles[0].has_value());
  EXPECT_EQ(empty.state.P0zu1Hor, 12.5L);
  EXPECT_TRUE(empty.points.empty());

  // Six lines: the paths, the header and the nodal height; LF alone ends a line as well.
  const ProjectLoad six = ReadProject("x\ny\r\nz\nheader\n2,5\n99", before);
  EXPECT_EQ(six.panoFiles[1], QStringLiteral("y"));
  EXPECT_EQ(six.state.NodalHeight, 2.5L);
  EXPECT_EQ(six.state.P0zu1Hor, 99);
  EXPECT_EQ(six.state.P0zu1Vert, before.P0zu1Vert);

  const ProjectLoad head = ReadProject(kHead16 + "EOF\r\n", before);
  EXPECT_EQ(head.state.NodalHeight, 1.6L);
  EXPECT_EQ(head.state.P2zu0Vert, 10);
  EXPECT_TRUE(head.points.empty());
}

TEST(ProjectFile, ReadingGoesOnPastEof) {
  const QByteArray point = "10;0;5;1;2;3;4\r\n";
  const ProjectLoad load = ReadProject(kHead16 + point + "EOF\r\n" + point + "EOF\r\n", {});
  EXPECT_EQ(load.points.size(), 2u);
  EXPECT_EQ(FailureOf(kHead16 + point + "EOF\r\n\r\n"), "'' ist kein gültiger Gleitkommawert");
  // "eof" in another case is a point line whose first field is missing.
  EXPECT_EQ(FailureOf(kHead16 + "eof\r\n"), "'' ist kein gültiger Gleitkommawert");
}

TEST(ProjectFile, BadLinesNameTheTextThatFailed) {
  EXPECT_EQ(FailureOf(kHead16 + "1;2;3;4;5;6\r\n"), "'' ist kein gültiger Gleitkommawert");
  EXPECT_EQ(FailureOf(kHead16 + "1;2;3;4;5;6;7;8\r\n"), "'7;8' ist kein gültiger Gleitkommawert");
  EXPECT_EQ(FailureOf(kHead16 + "1;2;x;4;5;6;7\r\n"), "'x' ist kein gültiger Gleitkommawert");
  EXPECT_EQ(FailureOf("a\r\nb\r\nc\r\nh\r\n1,6m\r\n"), "'1,6m' ist kein gültiger Gleitkommawert");
  // The file's single bytes show as the characters they stand for.
  EXPECT_EQ(FailureOf("a\r\nb\r\nc\r\nh\r\nH\xF6he\r\n"),
            "'H\xC3\xB6he' ist kein gültiger Gleitkommawert");
  // A number a point cannot hold is one, only too large.
  EXPECT_EQ(FailureOf(kHead16 + "1;2;1e400;4;5;6;7\r\n"), "Gleitkommaüberlauf");
  EXPECT_EQ(FailureOf(kHead16 + "1;2;3;4;5;6;-1e400\r\n"), "Gleitkommaüberlauf");
}

TEST(ProjectFile, PointsWithoutSurveyAnglesAreSolvedAgain) {
  const QByteArray stations =
      ProjectFileBytes(Stations(), {"", "", ""}, {}, ',').replace("EOF\r\n", "");
  const ProjectLoad load =
      ReadProject(stations + "57,5;0;14,142135623731;-1;0;0;0\r\n11;1;12;0;0;0;0\r\n", {});
  ASSERT_EQ(load.points.size(), 2u);
  // 45 degrees from P1 and P2 in the level square, turned by the 12.5 degrees of the file.
  EXPECT_NEAR(load.points[0].Hor1, 90, 1e-9);
  EXPECT_NEAR(load.points[0].Hor2, 360, 1e-9);
  EXPECT_NEAR(static_cast<double>(load.state.CurHor), 57.5, 1e-12);  // the last point solved
  EXPECT_EQ(load.points[1].Hor1, 0);
  EXPECT_EQ(load.points[1].Vert2, 0);

  // A point the solver cannot place fails the whole load.
  SolverState unmeasured;
  unmeasured.NodalHeight = 1.6L;
  const QByteArray noDistances =
      ProjectFileBytes(unmeasured, {"", "", ""}, {}, ',').replace("EOF\r\n", "");
  EXPECT_EQ(FailureOf(noDistances + "1;0;5;-1;0;0;0\r\n"), "Gleitkommadivision durch Null");
}

// Tilts and marks ride on the two header lines, where an older Torbel reads past them.
TEST(ProjectFile, TiltsAndMarksGoAfterTheHeaders) {
  SolverState s = Stations();
  s.PanoTilt = {Tilt{1.5L, -0.25L}, Tilt{}, Tilt{0, 2}};
  std::vector<PointRec> points(3, PointRec{10, 0, 5, 1, 2, 3, 4});
  points[0].Mark2 = Mark{12.5, -3};
  points[2].Mark1 = Mark{1.0 / 3, 0.5};
  points[2].Mark2 = Mark{359.75, 0};
  const QByteArray bytes = ProjectFileBytes(s, {"", "", ""}, points, ',');
  const QList<QByteArray> lines = bytes.split('\n');
  EXPECT_EQ(lines[3].toStdString(),
            "P0NPH\xF6he P1v0a/e/m P2v0a/e/m P0v1a/e P0v2a/e: Neigung 1,5;-0,25;0;0;0;2\r");
  EXPECT_EQ(lines[15].toStdString(),
            "Punkte P0a/e/m P1a/e P2a/e: 0/2:12,5;-3 2/1:0,333333333333333;0,5 2/2:359,75;0\r");

  for (char separator : {',', '.'}) {
    const ProjectLoad load =
        ReadProject(ProjectFileBytes(s, {"", "", ""}, points, separator), SolverState());
    EXPECT_EQ(load.state.PanoTilt, s.PanoTilt);
    ASSERT_EQ(load.points.size(), 3u);
    EXPECT_FALSE(load.points[0].Mark1 || load.points[1].Mark1 || load.points[1].Mark2);
    EXPECT_EQ(load.points[0].Mark2, points[0].Mark2);
    EXPECT_NEAR(load.points[2].Mark1->Hor, 1.0 / 3, 1e-15);
    EXPECT_TRUE(load.points[2].Tie());
    EXPECT_EQ(load.points[2].Mark2, points[2].Mark2);
  }
}

TEST(ProjectFile, HeadersReadAsTheyComeAndRefuseBadNumbers) {
  SolverState tilted = Stations();
  tilted.PanoTilt[1] = Tilt{3, 4};
  const QByteArray point = "10;0;5;1;2;3;4\r\n";
  // A file that names no tilt is level, whatever the work was before; other header words are
  // the human reader's; marks of points the file lacks are dropped.
  QByteArray other = kHead16 + point + "EOF\r\n";
  other.replace("P0v2a/e:", "P0v2a/e: alt").replace("P2a/e:", "P2a/e: Stand 2019 0/1:5;6 7/2:1;1");
  const ProjectLoad load = ReadProject(other, tilted);
  EXPECT_TRUE(load.state.PanoTilt[1].Level());
  ASSERT_EQ(load.points.size(), 1u);
  EXPECT_EQ(load.points[0].Mark1, (Mark{5, 6}));
  EXPECT_FALSE(load.points[0].Mark2);

  const auto withHeaders = [&](const char* tilts, const char* marks) {
    QByteArray bytes = kHead16 + point;
    bytes.replace("P0v2a/e:", QByteArray("P0v2a/e:") + tilts);
    return bytes.replace("P2a/e:", QByteArray("P2a/e:") + marks);
  };
  const struct {
    const char *tilts, *marks, *failure;
  } bad[] = {
      {" Neigung 1;2;3;4;5", "", "'1;2;3;4;5' ist kein gültiger Gleitkommawert"},
      {" Neigung 1;2;3;x;5;6", "", "'x' ist kein gültiger Gleitkommawert"},
      {"", " 0/3:1;2", "'0/3:1;2' ist kein gültiger Gleitkommawert"},
      {"", " 0x/1:1;2", "'0x' ist kein gültiger Gleitkommawert"},
      {"", " 0/1:1;1e400", "Gleitkommaüberlauf"},
  };
  for (const auto& b : bad) EXPECT_EQ(FailureOf(withHeaders(b.tilts, b.marks)), b.failure);
}

}  // namespace
