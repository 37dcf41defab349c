#include "io/ProjectFile.h"

#include <QList>
#include <cctype>
#include <charconv>

#include "core/Errors.h"
#include "core/NumberText.h"
#include "core/PathText.h"

namespace {

// Index 4 to 14: the nodal height and the station geometry, in file order.
Real SolverState::*const kStationFields[] = {
    &SolverState::NodalHeight, &SolverState::P0zu1Hor,  &SolverState::P0zu1Vert,
    &SolverState::DistP0P1,    &SolverState::P0zu2Hor,  &SolverState::P0zu2Vert,
    &SolverState::DistP0P2,    &SolverState::P1zu0Hor,  &SolverState::P1zu0Vert,
    &SolverState::P2zu0Hor,    &SolverState::P2zu0Vert,
};
constexpr int kFirstStationLine = 4;
constexpr int kPointHeaderLine = 15;
constexpr int kFirstPointLine = 16;

// The header of line 4, with "ö" as the single byte 0xF6.
const QByteArray kStationHeader = QByteArray("P0NPH\xF6he P1v0a/e/m P2v0a/e/m P0v1a/e P0v2a/e:");
const QByteArray kPointHeader = QByteArray("Punkte P0a/e/m P1a/e P2a/e:");
// What follows line 4's header when a panorama is tilted.
const QByteArray kTiltWord = QByteArray(" Neigung ");
const QByteArray kEof = QByteArray("EOF");
const QByteArray kLineEnd = QByteArray("\r\n");

// The message shows the file's single-byte text as it is.
TorbelError NotANumber(const QByteArray& text) {
  return NotANumberError(QString::fromLatin1(text).toStdString());
}

Real Number(const QByteArray& text) {
  try {
    return ParseReal(std::string_view(text.data(), static_cast<std::size_t>(text.size())));
  } catch (const TorbelError&) {
    throw NotANumber(text);
  }
}

// Points are kept as doubles. A value beyond their range would turn into infinity, be saved as
// "INF" and make the saved file unreadable: it is refused as the overflow it is.
double PointNumber(const QByteArray& text) {
  return ToDouble(Number(text));
}

QByteArray Text(Real x, char separator) {
  return QByteArray::fromStdString(FullText(x, separator));
}

PointRec ReadPoint(const QByteArray& line) {
  double fields[7];
  qsizetype at = 0;
  for (int i = 0; i < 6; ++i) {
    // The text before the next ";" (all that is left, when there is none, is not a number).
    const qsizetype semicolon = line.indexOf(';', at);
    fields[i] = PointNumber(semicolon < 0 ? QByteArray() : line.mid(at, semicolon - at));
    if (semicolon >= 0) at = semicolon + 1;
  }
  fields[6] = PointNumber(line.mid(at));
  return {fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], fields[6]};
}

// Line 4: the header, and the tilts where there are any.
QByteArray StationHeader(const SolverState& s, char separator) {
  QByteArray out = kStationHeader;
  if (!s.Tilted()) return out;
  out += kTiltWord;
  for (std::size_t i = 0; i < s.PanoTilt.size(); ++i) {
    if (i > 0) out += ';';
    out += Text(s.PanoTilt[i].Pitch, separator) + ';' + Text(s.PanoTilt[i].Roll, separator);
  }
  return out;
}

// Line 16: the header, and every mark by hand.
QByteArray PointHeader(const PointList& points, char separator) {
  QByteArray out = kPointHeader;
  for (std::size_t i = 0; i < points.size(); ++i) {
    for (const int station : {1, 2}) {
      const std::optional<Mark>& mark = points[i].MarkIn(station);
      if (!mark) continue;
      out += ' ' + QByteArray::number(static_cast<qulonglong>(i)) + '/' +
             QByteArray::number(station) + ':' + Text(mark->Hor, separator) + ';' +
             Text(mark->Vert, separator);
    }
  }
  return out;
}

// The tilts line 4 names after its header; level where it names none.
Tilts ReadTilts(const QByteArray& line) {
  const QByteArray prefix = kStationHeader + kTiltWord;
  if (!line.startsWith(prefix)) return {};
  const QByteArray numbers = line.mid(prefix.size());
  const QList<QByteArray> fields = numbers.split(';');
  if (fields.size() != 6) throw NotANumber(numbers);
  Tilts tilts;
  for (std::size_t i = 0; i < tilts.size(); ++i) {
    tilts[i] = {Number(fields[static_cast<qsizetype>(2 * i)]),
                Number(fields[static_cast<qsizetype>(2 * i + 1)])};
  }
  return tilts;
}

// The marks line 16 lists after its header. A mark starts with a digit and holds a "/"; other
// words ("Stand 2019") are the human reader's.
void ReadMarks(const QByteArray& line, std::vector<ProjectLoad::PointMark>& marks) {
  if (!line.startsWith(kPointHeader)) return;
  for (const QByteArray& word : line.mid(kPointHeader.size()).split(' ')) {
    const qsizetype slash = word.indexOf('/');
    if (slash < 0 || !std::isdigit(static_cast<unsigned char>(word[0]))) continue;
    const qsizetype semicolon = word.indexOf(';');
    if (word.size() < slash + 3 || word[slash + 2] != ':' || semicolon < slash + 3 ||
        (word[slash + 1] != '1' && word[slash + 1] != '2')) {
      throw NotANumber(word);
    }
    std::size_t index = 0;
    const char* end = word.constData() + slash;
    const auto [at, error] = std::from_chars(word.constData(), end, index);
    if (error != std::errc() || at != end) throw NotANumber(word.left(slash));
    const int station = word[slash + 1] - '0';
    marks.push_back({index, station,
                     Mark{PointNumber(word.mid(slash + 3, semicolon - slash - 3)),
                          PointNumber(word.mid(semicolon + 1))}});
  }
}

}  // namespace

QByteArray ProjectFileBytes(const SolverState& s, const std::array<QString, 3>& panoFiles,
                            const PointList& points, char decimalSeparator) {
  QByteArray out;
  out.reserve(1024 + static_cast<qsizetype>(points.size()) * 140);
  for (const QString& path : panoFiles) {
    // One path a line: a line break would shift every line after it.
    if (path.contains(QLatin1Char('\n'))) {
      throw TorbelError(std::string(kMsgLineBreakInPath) + ": " + path.toStdString());
    }
    out += PathBytes(path) + kLineEnd;
  }
  out += StationHeader(s, decimalSeparator) + kLineEnd;
  for (Real SolverState::*field : kStationFields)
    out += Text(s.*field, decimalSeparator) + kLineEnd;
  out += PointHeader(points, decimalSeparator) + kLineEnd;
  for (const PointRec& p : points) {
    const double fields[] = {p.Hor0, p.Vert0, p.Dist0, p.Hor1, p.Vert1, p.Hor2, p.Vert2};
    for (int i = 0; i < 7; ++i) {
      if (i > 0) out += ';';
      out += Text(fields[i], decimalSeparator);
    }
    out += kLineEnd;
  }
  out += kEof + kLineEnd;
  return out;
}

void ApplyProjectLine(const QByteArray& line, int index, ProjectLoad& load) {
  if (index < kFirstStationLine - 1) {
    load.panoFiles[static_cast<std::size_t>(index)] = PathFromBytes(line);
  } else if (index == kFirstStationLine - 1) {
    // A header for the human reader, with the tilts after it.
    load.state.PanoTilt = ReadTilts(line);
  } else if (index == kPointHeaderLine) {
    ReadMarks(line, load.marks);
  } else if (index < kFirstPointLine) {
    load.state.*kStationFields[index - kFirstStationLine] = Number(line);
  } else if (line != kEof) {
    PointRec p = ReadPoint(line);
    // Points of older files lack their survey angles (negative): they are solved again from
    // their direction and distance in P0.
    if (p.Hor1 < 0 || p.Hor2 < 0) {
      SolveSurveyAngles(load.state, p);
    }
    load.points.push_back(p);
  }
}

ProjectLoad ReadProject(const QByteArray& bytes, const SolverState& before) {
  ProjectLoad load;
  load.state = before;
  qsizetype at = 0;
  int index = 0;
  while (at < bytes.size()) {
    // A line ends at LF; a CR right before it belongs to the line end.
    const qsizetype lf = bytes.indexOf('\n', at);
    qsizetype end = lf < 0 ? bytes.size() : lf;
    const qsizetype next = lf < 0 ? bytes.size() : lf + 1;
    if (lf >= 0 && end > at && bytes[end - 1] == '\r') --end;
    ApplyProjectLine(bytes.mid(at, end - at), index++, load);
    at = next;
  }
  for (const ProjectLoad::PointMark& m : load.marks) {
    if (m.index >= load.points.size()) continue;
    PointRec& p = load.points[m.index];
    (m.station == 1 ? p.Mark1 : p.Mark2) = m.mark;
  }
  return load;
}
