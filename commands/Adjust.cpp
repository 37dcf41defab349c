#include "commands/Adjust.h"

#include <QStringList>
#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <optional>
#include <utility>

#include "adjust/Adjustment.h"
#include "commands/Points.h"
#include "commands/Search.h"
#include "commands/StationFrame.h"
#include "core/Errors.h"
#include "ties/FindTies.h"

namespace {

const QString kTitle = QStringLiteral("Stationen aus den Bildern bestimmen");
const QString kFindTitle = QStringLiteral("Verknüpfungspunkte suchen");
// The tie points found in the pictures are labelled from here on, past any table's labels.
constexpr int kFirstFound = 100000;
constexpr char kAskFind[] =
    "Verknüpfungspunkte in den Bildern suchen?\n\nJa: suchen und mit den markierten Punkten "
    "ausgleichen. Nein: nur die markierten Punkte.";
// Found tie points fewer than this say the pictures do not agree: the adjustment itself asks for
// fewer marked by hand, each placed with care.
constexpr std::size_t kLeastFound = 8;

// The recorded values' names, as the report's flagged list gives them and as the labels show them.
struct ValueName {
  const char* key;
  const char* shown;
  bool metres;
};
constexpr ValueName kValueNames[adjust::kValueCount] = {
    {"P0zu1Hor", "P0 zu P1 Hor.", false},   {"P0zu1Vert", "P0 zu P1 Vert.", false},
    {"DistP0P1", "Entf. P0-P1", true},      {"P0zu2Hor", "P0 zu P2 Hor.", false},
    {"P0zu2Vert", "P0 zu P2 Vert.", false}, {"DistP0P2", "Entf. P0-P2", true},
    {"P1zu0Hor", "P1 zu P0 Hor.", false},   {"P1zu0Vert", "P1 zu P0 Vert.", false},
    {"P2zu0Hor", "P2 zu P0 Hor.", false},   {"P2zu0Vert", "P2 zu P0 Vert.", false},
    {"Pitch0", "Neigung P0 Nick", false},   {"Roll0", "Neigung P0 Roll", false},
    {"Pitch1", "Neigung P1 Nick", false},   {"Roll1", "Neigung P1 Roll", false},
    {"Pitch2", "Neigung P2 Nick", false},   {"Roll2", "Neigung P2 Roll", false},
};

QString Shown(adjust::Value v) {
  return QString::fromUtf8(kValueNames[v].shown);
}

// A number with a fixed count of decimals and the context's separator; a zero is never "-0".
QString Decimal(const Context& c, double x, int decimals) {
  QString text = QString::number(x, 'f', decimals);
  if (text.startsWith(QLatin1Char('-')) && text.count(QLatin1Char('0')) == text.size() - 2) {
    text.remove(0, 1);
  }
  if (c.separator != '.') text.replace(QLatin1Char('.'), QLatin1Char(c.separator));
  return text;
}

// A value with its unit: metres to the millimetre, degrees to the ten-thousandth.
QString WithUnit(const Context& c, adjust::Value v, double x) {
  return kValueNames[v].metres ? Decimal(c, x, 3) + QStringLiteral(" m")
                               : Decimal(c, x, 4) + QStringLiteral("°");
}

QString Labels(const std::vector<int>& labels) {
  if (labels.empty()) return QStringLiteral("keine");
  QStringList texts;
  for (const int label : labels) texts << QStringLiteral(".%1").arg(label);
  return texts.join(QLatin1Char(' '));
}

QString ResidualText(const Context& c, const adjust::Residual& r) {
  using Kind = adjust::Residual::Kind;
  QString what;
  switch (r.kind) {
    case Kind::Tie:
      what = (r.label >= kFirstFound
                  ? QStringLiteral("Gefundener Punkt %1").arg(r.label - kFirstFound + 1)
                  : QStringLiteral(".%1").arg(r.label)) +
             QStringLiteral(" in P%1: %2 px").arg(r.station).arg(Decimal(c, r.px, 2));
      break;
    case Kind::Aim:
      what = Shown(r.value) + QStringLiteral(": %1 px").arg(Decimal(c, r.px, 2));
      break;
    case Kind::Tape:
      what = Shown(r.value) + QStringLiteral(": %1 m").arg(Decimal(c, r.px, 3));
      break;
    case Kind::Tilt:
      what = Shown(r.value) + QStringLiteral(": %1°").arg(Decimal(c, r.px, 3));
      break;
  }
  return what + QStringLiteral(" (%1 σ)").arg(Decimal(c, r.normalised, 2));
}

// The labels of the marked tie points, and how many of the found ones there are.
std::pair<std::vector<int>, int> Marked(const std::vector<int>& labels) {
  std::vector<int> marked;
  int found = 0;
  for (const int label : labels) {
    if (label >= kFirstFound)
      ++found;
    else
      marked.push_back(label);
  }
  return {marked, found};
}

// The report as the dialog shows it; `found` where tie points were sought in the pictures.
QString ReportText(const Context& c, const adjust::Report& r,
                   const std::optional<ties::Found>& found) {
  QStringList lines;
  const auto [used, usedFound] = Marked(r.used);
  const auto [leftOut, leftOutFound] = Marked(r.leftOut);
  if (found) {
    const char* pairs[] = {"P0-P1", "P0-P2", "P1-P2"};
    QStringList counts;
    for (std::size_t k = 0; k < 3; ++k)
      counts << QStringLiteral("%1 %2 (%3 stimmig)")
                    .arg(QString::fromLatin1(pairs[k]))
                    .arg(found->pairs[k].matched)
                    .arg(found->pairs[k].agreed);
    lines
        << QStringLiteral("Zuordnungen in den Bildern: %1").arg(counts.join(QStringLiteral(", ")));
    lines << QStringLiteral(
                 "Gefundene Verknüpfungspunkte in allen drei Bildern: %1, davon %2 "
                 "genommen: %3 verwendet, %4 ausgelassen")
                 .arg(found->tracks)
                 .arg(found->ties.size())
                 .arg(usedFound)
                 .arg(leftOutFound);
  }
  lines
      << QStringLiteral("Verknüpfungspunkte verwendet (%1): %2").arg(used.size()).arg(Labels(used));
  lines << QStringLiteral("Verknüpfungspunkte ausgelassen (%1): %2")
               .arg(leftOut.size())
               .arg(Labels(leftOut));
  QStringList flagged;
  for (const std::string& name : r.flagged) {
    const auto* known = std::find_if(std::begin(kValueNames), std::end(kValueNames),
                                     [&name](const ValueName& v) { return name == v.key; });
    flagged << (known != std::end(kValueNames) ? QString::fromUtf8(known->shown)
                                               : QString::fromStdString(name));
  }
  lines << QStringLiteral("Auffällige Messwerte: %1")
               .arg(flagged.isEmpty() ? QStringLiteral("keine")
                                      : flagged.join(QStringLiteral(", ")));
  lines << QStringLiteral("σ0: %1").arg(Decimal(c, r.sigma0, 2));
  lines << QStringLiteral("Mittlerer Restfehler (RMS): P0 %1 px, P1 %2 px, P2 %3 px")
               .arg(Decimal(c, r.rmsPx[0], 2), Decimal(c, r.rmsPx[1], 2),
                    Decimal(c, r.rmsPx[2], 2));
  lines << QString() << QStringLiteral("Größte Restfehler:");
  for (const adjust::Residual& residual : r.largest)
    lines << QStringLiteral("  ") + ResidualText(c, residual);
  lines << QString() << QStringLiteral("Wert: vorher → nachher ± Standardabweichung");
  for (int i = 0; i < adjust::kValueCount; ++i) {
    const auto v = static_cast<adjust::Value>(i);
    lines << QStringLiteral("  %1: %2 → %3 ± %4")
                 .arg(Shown(v), WithUnit(c, v, r.before[v]), WithUnit(c, v, r.after[v]),
                      WithUnit(c, v, r.sigmaAfter[v]));
  }
  return lines.join(QLatin1Char('\n'));
}

adjust::Input InputOf(const WorkingState& s) {
  adjust::Input input;
  input.recorded = frame::Cast<double>(MeasuredOf(s));
  const PanoShapes shapes = s.Shapes();
  for (std::size_t i = 0; i < 3; ++i) input.pixPerDeg[i] = ToDouble(shapes[i].PixPerDeg());
  for (std::size_t i = 0; i < s.Points.size(); ++i) {
    const PointRec& p = s.Points[i];
    if (!p.Tie()) continue;
    input.ties.push_back({s.Points.Label(i),
                          {p.Hor0, p.Mark1->Hor, p.Mark2->Hor},
                          {p.Vert0, p.Mark1->Vert, p.Mark2->Vert}});
  }
  return input;
}

// The stored points with their survey angles solved in a frame; the work stays as it is.
std::vector<PointRec> SolvedIn(const WorkingState& s, const frame::Measured<Real>& m) {
  SolverState t = s;
  SetStationValues(t, m);
  std::vector<PointRec> points;
  points.reserve(s.Points.size());
  for (PointRec p : s.Points) {
    SolveSurveyAngles(t, p);
    points.push_back(p);
  }
  // The current point as well, so that putting the frame in place cannot fail half-way.
  t.CurHor = s.CurHor;
  t.CurVert = s.CurVert;
  t.CurDist = s.CurDist;
  SolvePoint(t);
  return points;
}

// The tie points found in the three loaded pictures, the stages shown with "Abbrechen"; nothing
// where it was pressed.
std::optional<ties::Found> FindInPictures(Context& c) {
  const WorkingState& s = c.s;
  const PanoPicture p0 = Rgb32(s.Pano0), p1 = Rgb32(s.Pano1), p2 = Rgb32(s.Pano2);
  ties::TieSettings settings;
  settings.firstLabel = kFirstFound;
  ties::Found found;
  c.platform.WithProgress(kFindTitle, [&](const Platform::Progress& report) {
    const QString stages[] = {
        QStringLiteral("Merkmale in P0 suchen ..."), QStringLiteral("Merkmale in P1 suchen ..."),
        QStringLiteral("Merkmale in P2 suchen ..."), QStringLiteral("Merkmale zuordnen ...")};
    found = ties::FindTies(
        {PixelsOf(p0), PixelsOf(p1), PixelsOf(p2)}, frame::Cast<double>(MeasuredOf(s)), settings,
        [&](ties::Stage stage, double done) {
          return report(stages[static_cast<int>(stage)], static_cast<int>(std::lround(100 * done)));
        });
  });
  if (found.cancelled) return std::nullopt;
  return found;
}

// The report, with the found tie points drawn in the three views while it is open (those the
// adjustment used in one colour, those it left out in another); whether it was taken over.
bool ShowWithTies(Context& c, const QString& text, const std::vector<adjust::TiePoint>& found,
                  const std::vector<int>& used) {
  const auto repaint = [&c] {
    for (int station = 0; station < 3; ++station) c.window.MarkViewForRepaint(station);
    c.window.PaintNow();
  };
  for (const adjust::TiePoint& t : found) {
    WorkingState::ShownTie shown;
    for (std::size_t k = 0; k < 3; ++k) shown.at[k] = Mark{t.hor[k], t.vert[k]};
    shown.used = std::find(used.begin(), used.end(), t.label) != used.end();
    c.s.ShownTies.push_back(shown);
  }
  if (!found.empty()) repaint();
  bool taken = false;
  try {
    taken = c.platform.ShowAdjustment(kTitle, text);
  } catch (...) {
    c.s.ShownTies.clear();
    throw;
  }
  if (!c.s.ShownTies.empty()) {
    c.s.ShownTies.clear();
    repaint();
  }
  return taken;
}

}  // namespace

void DetermineStations(Context& c) {
  if (c.s.Mode != Mode::ModeIdle) return;
  adjust::Input input = InputOf(c.s);
  std::optional<ties::Found> found;
  if (!c.s.Pano0.isNull() && !c.s.Pano1.isNull() && !c.s.Pano2.isNull()) {
    const Platform::Button ask = c.platform.InformationBox(
        QString::fromUtf8(kAskFind),
        {Platform::Button::Yes, Platform::Button::No, Platform::Button::Cancel},
        Platform::Button::Yes, Platform::Button::Cancel);
    if (ask == Platform::Button::Cancel) return;
    if (ask == Platform::Button::Yes) {
      found = FindInPictures(c);
      if (!found) return;
      if (found->ties.size() < kLeastFound) throw TorbelError(kMsgTooFewAgree);
      input.ties.insert(input.ties.end(), found->ties.begin(), found->ties.end());
    }
  }
  adjust::Report report;
  {
    const Busy busy(c.platform);
    report = adjust::Adjust(input);
  }
  if (!report.failure.empty()) throw TorbelError(report.failure);
  const QString text = ReportText(c, report, found);
  const bool taken =
      ShowWithTies(c, text, found ? found->ties : std::vector<adjust::TiePoint>{}, report.used);
  if (!taken) return;

  FrameEdit edit;
  edit.before = MeasuredOf(c.s);
  edit.after = frame::Cast<Real>(adjust::MeasuredFrom(report.after, ToDouble(c.s.NodalHeight)));
  edit.after.nodalHeight = c.s.NodalHeight;
  edit.pointsBefore.assign(c.s.Points.begin(), c.s.Points.end());
  edit.pointsAfter = SolvedIn(c.s, edit.after);
  edit.covarianceBefore = c.s.FrameCovariance;
  auto covariance =
      std::make_shared<std::array<double, frame::kFrameValues * frame::kFrameValues>>();
  std::copy_n(report.covariance.begin(), std::min(report.covariance.size(), covariance->size()),
              covariance->begin());
  edit.covarianceAfter = std::move(covariance);
  PutFrame(c, edit.after, edit.pointsAfter, edit.covarianceAfter);
  Remember(c, std::move(edit));
}
