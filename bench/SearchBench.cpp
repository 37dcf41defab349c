// The distance search on a rendered survey (the demo, or a photographic scene): for every target
// of its truth table, aim at the target's pixel in P0, search, and compare with the true
// distance; and the time one search takes, against its budget.
//   search_bench <survey folder>            the median and slowest search, as rows of the table
//   search_bench <survey folder> --targets  and the table of every target
//   search_bench <survey folder> --targets --ties N
//                 the station frame adjusted first from N tie points of ties.truth, each marked
//                 to a quarter pixel (as zoomed in 4x), and compared with frame.truth
// The folder holds the three panoramas, one project file and truth.txt; a target's kind (textured,
// repeating, plain, sky) says what the search should do with it, and is "textured" where the
// column is missing. The three columns after it, where given, say how much picture P0, P1 and P2
// see over the target's footprint (the grey value's standard deviation without noise over what
// 31 x 31 pixels of P0 around it show): a textured target that one of them sees flatter than
// kFlatSpread is a flat spot of its photograph, and counts as plain paint, to be refused. The
// column "allowed", where given, says whether the search is held to a textured target: whether
// P1 and P2 both see the target's own surface in its footprint whole, with structure, and at a
// fifth of P0's scale at least.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTextStream>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>

#include "adjust/Adjustment.h"
#include "bench/Bench.h"
#include "commands/Search.h"
#include "core/PanoPicture.h"
#include "geometry/Mapping.h"
#include "geometry/search/DistanceSearch.h"
#include "io/PanoramaFile.h"
#include "io/ProjectFile.h"
#include "ties/FindTies.h"

namespace {

// The answer column: accepted, or refused with the reason the user is told.
const char* Answer(Refusal refusal) {
  switch (refusal) {
    case Refusal::None:
      return "accepted";
    case Refusal::NoPicture:
      return "refused: no picture";
    case Refusal::Plain:
      return "refused: plain";
    case Refusal::NoMatch:
      return "refused: no match";
    case Refusal::Ambiguous:
      return "refused: ambiguous";
    case Refusal::OneView:
      return "refused: one view";
    case Refusal::FrameOff:
      return "refused: frame off";
    case Refusal::Edge:
      return "refused: edge";
  }
  return "refused";
}

struct Seen {
  double x1, y1, x2, y2;
};

// Where the directions appear in P1 and P2, in each panorama's own pixels.
Seen InPixels(const PanoShapes& shapes, Real hor1, Real vert1, Real hor2, Real vert2) {
  return {double(shapes[1].Column(hor1)), double(shapes[1].Row(vert1)),
          double(shapes[2].Column(hor2)), double(shapes[2].Row(vert2))};
}

// Where the aimed point at `distance` appears in P1 and P2, by the survey's measured geometry.
Seen Projections(SolverState s, Real distance, const PanoShapes& shapes) {
  s.CurDist = distance;
  SolvePoint(s);
  return InPixels(shapes, s.P1Hor, s.P1Vert, s.P2Hor, s.P2Vert);
}

// Twice the grey noise of the noisiest panorama (3 levels in each channel, 2 in the grey value):
// less than that over a whole footprint leaves a station nothing but noise to match.
constexpr double kFlatSpread = 4;

double Apart(double ax, double ay, double bx, double by, const Panorama& pano) {
  double dx = std::fabs(ax - bx);
  dx = std::min(dx, pano.Width() - dx);
  return std::hypot(dx, ay - by);
}

PanoPicture Read(const QString& path) {
  return ReadPanoramaFile(path);
}

// A direction as a zoomed-in click gives it: on the nearest quarter pixel.
void QuarterPixel(const Panorama& pano, double& hor, double& vert) {
  hor = double(pano.HorAt(std::round(double(pano.Column(hor)) * 4) / 4));
  vert = double(pano.VertAt(std::round(double(pano.Row(vert)) * 4) / 4));
}

// The key-value lines of frame.truth.
std::map<QString, double> FrameTruth(const QDir& folder) {
  std::map<QString, double> values;
  QFile file(folder.filePath(QStringLiteral("frame.truth")));
  if (!file.open(QIODevice::ReadOnly)) return values;
  QTextStream in(&file);
  while (!in.atEnd()) {
    const QStringList f = in.readLine().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (f.size() == 2) values[f[0]] = f[1].toDouble();
  }
  return values;
}

// Up to `count` tie points of ties.truth, each mark on the quarter pixel; nothing where there
// is no such file.
std::vector<adjust::TiePoint> TruthTies(const QDir& folder, int count, const PanoShapes& shapes) {
  std::vector<adjust::TiePoint> ties;
  QFile file(folder.filePath(QStringLiteral("ties.truth")));
  if (!file.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "search_bench: no ties.truth\n");
    return ties;
  }
  QTextStream in(&file);
  in.readLine();
  while (!in.atEnd() && static_cast<int>(ties.size()) < count) {
    const QStringList f = in.readLine().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (f.size() < 7) continue;
    adjust::TiePoint t;
    t.label = static_cast<int>(ties.size());
    for (std::size_t k = 0; k < 3; ++k) {
      t.hor[k] = f[1 + 2 * static_cast<int>(k)].toDouble();
      t.vert[k] = f[2 + 2 * static_cast<int>(k)].toDouble();
      QuarterPixel(shapes[k], t.hor[k], t.vert[k]);
    }
    ties.push_back(t);
  }
  return ties;
}

// Tie points found in the pictures, with how many matches each pair gave and kept.
std::vector<adjust::TiePoint> FoundTies(const std::array<PanoPixels, 3>& panos,
                                        const SolverState& s) {
  ties::Found found;
  const double ms =
      bench::Millis([&] { found = ties::FindTies(panos, frame::Cast<double>(MeasuredOf(s))); });
  std::printf(
      "tie points found in %.0f ms: %d tracks in all three, %zu taken; matches (agreed) P0-P1 "
      "%d (%d), P0-P2 %d (%d), P1-P2 %d (%d)\n",
      ms, found.tracks, found.ties.size(), found.pairs[0].matched, found.pairs[0].agreed,
      found.pairs[1].matched, found.pairs[1].agreed, found.pairs[2].matched, found.pairs[2].agreed);
  return found.ties;
}

// The frame adjusted from `ties`, printed with what the truth says; the state then holds the
// adjusted values. False where there are no ties or the adjustment fails.
bool AdjustFrame(const QDir& folder, const std::vector<adjust::TiePoint>& ties,
                 const PanoShapes& shapes, SolverState& s) {
  if (ties.empty()) return false;
  adjust::Input input;
  const frame::Measured<Real> measured = MeasuredOf(s);
  input.recorded = frame::Cast<double>(measured);
  for (std::size_t k = 0; k < 3; ++k) input.pixPerDeg[k] = double(shapes[k].PixPerDeg());
  input.ties = ties;
  adjust::Report report;
  const double ms = bench::Millis([&] { report = adjust::Adjust(input); });
  if (!report.failure.empty()) {
    std::printf("adjustment from %zu ties failed: %s\n", input.ties.size(), report.failure.c_str());
    return false;
  }
  std::printf(
      "adjusted from %zu tie points (%zu left out) in %.1f ms: sigma0 %.2f, RMS px P0 %.2f, P1 "
      "%.2f, P2 %.2f\n",
      report.used.size(), report.leftOut.size(), ms, report.sigma0, report.rmsPx[0],
      report.rmsPx[1], report.rmsPx[2]);
  for (const std::string& name : report.flagged)
    std::printf("recorded value that fails: %s\n", name.c_str());
  const std::map<QString, double> truth = FrameTruth(folder);
  const char* tilts[] = {"p0pitch", "p0roll", "p1pitch", "p1roll", "p2pitch", "p2roll"};
  double worstAngle = 0, worstTilt = 0;
  std::printf(
      "| value | recorded | adjusted | sigma | truth | error |\n|---|---|---|---|---|---|\n");
  for (int v = 0; v < adjust::kValueCount; ++v) {
    const QString name = v >= adjust::kPitch0
                             ? QString::fromLatin1(tilts[v - adjust::kPitch0])
                             : QString::fromStdString(adjust::NameOf(adjust::Value(v)));
    const auto it = truth.find(name);
    const double after = report.after[static_cast<std::size_t>(v)];
    double error = it == truth.end() ? std::nan("") : after - it->second;
    if (!std::isnan(error) && v != adjust::kDistP0P1 && v != adjust::kDistP0P2) {
      error = std::remainder(error, 360.0);
      (v >= adjust::kPitch0 ? worstTilt : worstAngle) =
          std::max(v >= adjust::kPitch0 ? worstTilt : worstAngle, std::fabs(error));
    }
    std::printf("| %s | %.4f | %.4f | %.4f | %.4f | %.4f |\n", qPrintable(name),
                report.before[static_cast<std::size_t>(v)], after,
                report.sigmaAfter[static_cast<std::size_t>(v)],
                it == truth.end() ? std::nan("") : it->second, error);
  }
  if (truth.count(QStringLiteral("DistP0P1")) && truth.count(QStringLiteral("DistP0P2"))) {
    const double trueRatio =
        truth.at(QStringLiteral("DistP0P1")) / truth.at(QStringLiteral("DistP0P2"));
    const double ratio = report.after[adjust::kDistP0P1] / report.after[adjust::kDistP0P2];
    const double recorded = report.before[adjust::kDistP0P1] / report.before[adjust::kDistP0P2];
    std::printf(
        "station angles worst %.4f deg, tilts worst %.4f deg, tape ratio off %.3f %% (recorded "
        "%.3f %%)\n",
        worstAngle, worstTilt, 100 * (ratio / trueRatio - 1), 100 * (recorded / trueRatio - 1));
  }
  SetStationValues(
      s, frame::Cast<Real>(adjust::MeasuredFrom(report.after, input.recorded.nodalHeight)));
  return true;
}

// A perfect click on each target in P1 sets the distance; how far from the target P2 then puts it.
double WorstP2AfterP1Click(const QDir& folder, const SolverState& stations,
                           const PanoShapes& shapes) {
  QFile file(folder.filePath(QStringLiteral("truth.txt")));
  if (!file.open(QIODevice::ReadOnly)) return std::nan("");
  QTextStream in(&file);
  in.readLine();
  double worst = 0;
  while (!in.atEnd()) {
    const QStringList f = in.readLine().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (f.size() < 8 || !(f[3].toDouble() > 0)) continue;
    SolverState s = stations;
    s.CurHor = f[1].toDouble(), s.CurVert = f[2].toDouble();
    const std::optional<Real> d = DistanceForGuideLine(s, 1, f[4].toDouble());
    if (!d) continue;
    s.CurDist = *d;
    SolvePoint(s);
    worst =
        std::max(worst, Apart(double(shapes[2].Column(s.P2Hor)), double(shapes[2].Row(s.P2Vert)),
                              double(shapes[2].Column(f[6].toDouble())),
                              double(shapes[2].Row(f[7].toDouble())), shapes[2]));
  }
  return worst;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: search_bench <survey folder> [--targets [--ties N | --found-ties]]\n");
    return 2;
  }
  const bool targets = argc > 2 && QByteArray(argv[2]) == "--targets";
  // --ties N: the frame adjusted from N tie points of ties.truth first; --found-ties: from those
  // found in the pictures.
  const bool found = argc > 3 && QByteArray(argv[3]) == "--found-ties";
  const int ties = argc > 4 && QByteArray(argv[3]) == "--ties" ? QByteArray(argv[4]).toInt() : 0;
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  QStringList projects = folder.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name);
  projects.removeAll(QStringLiteral("truth.txt"));
  if (projects.size() != 1) {
    std::fprintf(stderr, "search_bench: %s needs one project file beside truth.txt\n", argv[1]);
    return 1;
  }
  QFile project(folder.filePath(projects[0]));
  if (!project.open(QIODevice::ReadOnly)) return 1;
  ProjectLoad load = ReadProject(project.readAll(), SolverState());
  const PanoPicture p0 = Read(*load.panoFiles[0]), p1 = Read(*load.panoFiles[1]),
                    p2 = Read(*load.panoFiles[2]);
  const std::array<PanoPixels, 3> panos = {PixelsOf(p0), PixelsOf(p1), PixelsOf(p2)};
  const PanoShapes shapes = {p0.Shape, p1.Shape, p2.Shape};

  if (ties > 0 || found) {
    std::printf("P2 after a perfect P1 click, worst: %.2f px recorded\n",
                WorstP2AfterP1Click(folder, load.state, shapes));
    if (!AdjustFrame(folder, found ? FoundTies(panos, load.state) : TruthTies(folder, ties, shapes),
                     shapes, load.state))
      return 1;
    std::printf("P2 after a perfect P1 click, worst: %.2f px adjusted\n\n",
                WorstP2AfterP1Click(folder, load.state, shapes));
  }

  QFile truthFile(folder.filePath(QStringLiteral("truth.txt")));
  if (!truthFile.open(QIODevice::ReadOnly)) return 1;
  QTextStream truth(&truthFile);
  truth.readLine();
  if (targets)
    std::printf(
        "| target | kind | spread P0 / P1 / P2 | counted as | allowed | true m | found m | error m "
        "| error px P1 | error px P2 | seen px P1 | seen px P2 | geometry px P1 | geometry px P2 | "
        "score P1 | score P2 | weighed | next best | patch | answer | ms |\n"
        "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
  int textured = 0, texturedGood = 0, accepted = 0, wrong = 0, blank = 0, blankRefused = 0;
  int repeating = 0, repeatingGood = 0, texturedSeen = 0, wrongSeen = 0;
  // Textured targets the search is held to (truth tables that say so: the column "allowed").
  int allowed = 0, allowedGood = 0;
  bool allowedKnown = false;
  double worst = 0, worstSeen = 0, worstGeometry = 0;
  std::vector<double> times;
  while (!truth.atEnd()) {
    const QStringList f = truth.readLine().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (f.size() < 8) continue;
    const QString kind = f.size() > 8 ? f[8] : QStringLiteral("textured");
    const bool spreadKnown = f.size() > 11;
    const double spreads[3] = {spreadKnown ? f[9].toDouble() : 0,
                               spreadKnown ? f[10].toDouble() : 0,
                               spreadKnown ? f[11].toDouble() : 0};
    const bool flat = kind == QLatin1String("textured") && spreadKnown &&
                      *std::min_element(spreads, spreads + 3) < kFlatSpread;
    const QString counted = flat ? QStringLiteral("plain (flat spot)") : kind;
    const QString held = f.size() > 16 ? f[16] : QStringLiteral("-");
    allowedKnown = allowedKnown || f.size() > 16;
    SolverState s = load.state;
    // Aimed at the target's nearest pixel in P0.
    s.CurHor = p0.Shape.PixelToHor(p0.Shape.HorToPixel(f[1].toDouble()));
    s.CurVert = p0.Shape.PixelToVert(p0.Shape.VertToPixel(f[2].toDouble()));
    const double trueDistance = f[3].toDouble();
    DistanceMatch m;
    const double ms = bench::Millis([&] { m = SearchDistance(s, panos); });
    times.push_back(ms);

    const bool hasDistance = trueDistance > 0;
    // Two ways to be off: from where the true distance lies by the project's geometry, and
    // from where the target's point really is in the survey pictures. They differ by what the
    // station geometry's own measuring error (aimed to the pixel, taped to the centimetre) puts
    // between them, shown as "geometry px".
    const Seen seen =
        InPixels(shapes, f[4].toDouble(), f[5].toDouble(), f[6].toDouble(), f[7].toDouble());
    double error1 = 0, error2 = 0, seen1 = 0, seen2 = 0, geometry1 = 0, geometry2 = 0;
    if (hasDistance) {
      const Seen want = Projections(s, trueDistance, shapes);
      geometry1 = Apart(want.x1, want.y1, seen.x1, seen.y1, shapes[1]);
      geometry2 = Apart(want.x2, want.y2, seen.x2, seen.y2, shapes[2]);
      if (m.distance > 0) {
        const Seen at = Projections(s, m.distance, shapes);
        error1 = Apart(at.x1, at.y1, want.x1, want.y1, shapes[1]);
        error2 = Apart(at.x2, at.y2, want.x2, want.y2, shapes[2]);
        seen1 = Apart(at.x1, at.y1, seen.x1, seen.y1, shapes[1]);
        seen2 = Apart(at.x2, at.y2, seen.x2, seen.y2, shapes[2]);
      }
    }
    const bool good = m.found && hasDistance && error1 <= 1.5 && error2 <= 1.5;
    const bool goodSeen = m.found && hasDistance && seen1 <= 1.5 && seen2 <= 1.5;
    if (m.found) {
      ++accepted;
      if (!hasDistance || std::max(error1, error2) > 3) ++wrong;
      if (!hasDistance || std::max(seen1, seen2) > 3) ++wrongSeen;
      if (hasDistance) worst = std::max({worst, error1, error2});
      if (hasDistance) worstSeen = std::max({worstSeen, seen1, seen2});
    }
    if (hasDistance) worstGeometry = std::max({worstGeometry, geometry1, geometry2});
    if (held == QLatin1String("yes")) {
      ++allowed;
      allowedGood += good;
    }
    if (counted == QLatin1String("textured")) {
      ++textured;
      texturedGood += good;
      texturedSeen += goodSeen;
    } else if (counted == QLatin1String("repeating")) {
      ++repeating;
      repeatingGood += good || !m.found;
    } else {
      ++blank;
      blankRefused += !m.found;
    }
    if (targets) {
      const QString found =
          m.distance > 0 ? QString::number(double(m.distance), 'f', 3) : QStringLiteral("-");
      const QString err = hasDistance && m.distance > 0
                              ? QString::number(double(m.distance) - trueDistance, 'f', 3)
                              : QStringLiteral("-");
      auto px = [&](double v, bool known) {
        return known ? QString::number(v, 'f', 2) : QStringLiteral("-");
      };
      const bool known = hasDistance && m.distance > 0;
      const QString spread =
          spreadKnown && kind != QLatin1String("sky")
              ? QString::asprintf("%.1f / %.1f / %.1f", spreads[0], spreads[1], spreads[2])
              : QStringLiteral("-");
      std::printf(
          "| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %.3f | %.3f | "
          "%.3f | %.3f | %d | %s | %.1f |\n",
          qPrintable(f[0]), qPrintable(kind), qPrintable(spread), qPrintable(counted),
          qPrintable(held), hasDistance ? qPrintable(QString::number(trueDistance, 'f', 3)) : "-",
          qPrintable(found), qPrintable(err), qPrintable(px(error1, known)),
          qPrintable(px(error2, known)), qPrintable(px(seen1, known)), qPrintable(px(seen2, known)),
          qPrintable(px(geometry1, hasDistance)), qPrintable(px(geometry2, hasDistance)), m.score1,
          m.score2, m.combined, m.runnerUp, 2 * m.half + 1, Answer(m.refusal), ms);
    }
  }
  if (targets) {
    std::printf(
        "\ntextured targets within 1.5 px in P1 and P2: %d of %d (of where they are seen: %d)\n",
        texturedGood, textured, texturedSeen);
    if (allowedKnown)
      std::printf("allowed textured targets within 1.5 px in P1 and P2: %d of %d\n", allowedGood,
                  allowed);
    std::printf("repeating targets refused or within 1.5 px: %d of %d\n", repeatingGood, repeating);
    std::printf("sky, plain and flat-spot targets refused: %d of %d\n", blankRefused, blank);
    std::printf(
        "answers given: %d, more than 3 px off or on sky or plain: %d (of where seen: %d), largest "
        "error %.2f px (of where seen: %.2f px)\n",
        accepted, wrong, wrongSeen, worst, worstSeen);
    std::printf(
        "largest distance between a true point by the project's geometry and where it is "
        "seen: %.2f px\n",
        worstGeometry);
    std::printf("search time: median %.1f ms, slowest %.1f ms\n\n", bench::Median(times),
                *std::max_element(times.begin(), times.end()));
  }
  if (allowedKnown && allowed > 0) {
    const QByteArray found =
        "F3: allowed textured targets within 1.5 px, " + QDir(folder).dirName().toUtf8();
    const double share = 100.0 * allowedGood / allowed;
    bench::Row(found.constData(), share, "%", "the bar", 90, share / 90, "at least 1");
  }
  const QByteArray what = "distance search (F3), median, " + QDir(folder).dirName().toUtf8();
  bench::Row(what.constData(), bench::Median(times), "ms", "the budget", 100,
             bench::Median(times) / 100, "at most 1");
  const QByteArray slowest = "distance search (F3), slowest, " + QDir(folder).dirName().toUtf8();
  const double max = *std::max_element(times.begin(), times.end());
  bench::Row(slowest.constData(), max, "ms", "the budget", 300, max / 300, "at most 1");
  return 0;
}
