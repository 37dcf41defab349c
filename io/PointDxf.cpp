#include "io/PointDxf.h"

#include <dxflib/dl_dxf.h>
#include <dxflib/dl_writer_ascii.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstring>
#include <optional>
#include <string>

#include "geometry/Coordinates.h"
#include "geometry/TorbelError.h"

namespace {

// dxflib's ASCII writer, turned to write into memory: the file it would open is never named, and
// each group goes into a buffer as the writer would have put it into the file, a number in the
// fewest digits that read back to the same double. The safe writer then puts the bytes on disk.
class MemoryWriter : public DL_WriterA {
 public:
  MemoryWriter() : DL_WriterA("", DL_Codes::AC1015) {}
  // The bytes written.
  QByteArray Take() {
    out_.truncate(used_);
    return std::move(out_);
  }
  // Room for about `bytes` in all, so that the buffer is not copied as it grows.
  void Reserve(std::size_t bytes) { Room(static_cast<qsizetype>(bytes)); }

  void dxfReal(int gc, double value) const override {
    char text[32];
    Group(gc, text, std::to_chars(text, text + sizeof text, value).ptr);
  }
  void dxfInt(int gc, int value) const override {
    char text[16];
    Group(gc, text, std::to_chars(text, text + sizeof text, value).ptr);
  }
  void dxfHex(int gc, int value) const override {
    char text[16];
    char* end = std::to_chars(text, text + sizeof text, value, 16).ptr;
    for (char* c = text; c != end; ++c) *c = static_cast<char>(std::toupper(*c));
    Group(gc, text, end);
  }
  void dxfString(int gc, const char* value) const override {
    Group(gc, value, value + std::strlen(value));
  }
  void dxfString(int gc, const std::string& value) const override {
    Group(gc, value.data(), value.data() + value.size());
  }

 private:
  // The group code right-aligned in three places, as AutoCAD writes it, and the value below it.
  // Written straight into the buffer, grown by half when full: appending a few bytes at a time
  // to a QByteArray costs more than the numbers' texts.
  void Group(int gc, const char* begin, const char* end) const {
    const auto length = static_cast<qsizetype>(end - begin);
    Room(used_ + length + 24);
    char* at = out_.data() + used_;
    char code[16];
    const auto digits = std::to_chars(code, code + sizeof code, gc).ptr - code;
    for (auto pad = digits; pad < 3; ++pad) *at++ = ' ';
    at = std::copy(code, code + digits, at);
    *at++ = '\n';
    at = std::copy(begin, end, at);
    *at++ = '\n';
    used_ = at - out_.data();
  }
  void Room(qsizetype bytes) const {
    if (bytes > out_.size()) out_.resize(std::max(bytes, out_.size() + out_.size() / 2));
  }
  mutable QByteArray out_;
  mutable qsizetype used_ = 0;
};

constexpr char kPoints[] = "Punkte", kLabels[] = "Punktnummern", kStations[] = "Standpunkte",
               kSightLines[] = "Sichtlinien";
constexpr double kTextHeight = 0.1;  // metres: legible at 1:100 and small beside a point

void WriteTables(DL_Dxf& dxf, MemoryWriter& w, bool sightLines) {
  dxf.writeHeader(w);
  w.dxfString(9, "$INSUNITS");
  w.dxfInt(70, 6);  // metres
  w.dxfString(9, "$MEASUREMENT");
  w.dxfInt(70, 1);  // metric
  w.sectionEnd();

  w.sectionTables();
  dxf.writeVPort(w);
  w.tableLinetypes(3);
  dxf.writeLinetype(w, DL_LinetypeData("BYBLOCK", "", 0, 0, 0.0));
  dxf.writeLinetype(w, DL_LinetypeData("BYLAYER", "", 0, 0, 0.0));
  dxf.writeLinetype(w, DL_LinetypeData("CONTINUOUS", "Solid line", 0, 0, 0.0));
  w.tableEnd();
  // Each layer with a colour of its own: points white, labels grey, stations red, sight lines
  // cyan.
  const std::array<std::pair<const char*, int>, 5> layers = {{{"0", DL_Codes::white},
                                                              {kPoints, DL_Codes::white},
                                                              {kLabels, 8},
                                                              {kStations, DL_Codes::red},
                                                              {kSightLines, DL_Codes::cyan}}};
  w.tableLayers(sightLines ? 5 : 4);
  for (const auto& [name, colour] : layers) {
    if (!sightLines && name == kSightLines) continue;
    dxf.writeLayer(w, DL_LayerData(name, 0), DL_Attributes("", colour, -1, "CONTINUOUS", 1.0));
  }
  w.tableEnd();
  w.tableStyle(1);
  dxf.writeStyle(w, DL_StyleData("Standard", 0, 0.0, 1.0, 0.0, 0, kTextHeight, "txt", ""));
  w.tableEnd();
  dxf.writeView(w);
  dxf.writeUcs(w);
  w.tableAppid(1);
  dxf.writeAppid(w, "ACAD");
  w.tableEnd();
  dxf.writeDimStyle(w, 1, 1, 1, 1, 1);
  dxf.writeBlockRecord(w);
  w.tableEnd();
  w.sectionEnd();

  w.sectionBlocks();
  for (const char* space : {"*Model_Space", "*Paper_Space", "*Paper_Space0"}) {
    dxf.writeBlock(w, DL_BlockData(space, 0, 0.0, 0.0, 0.0));
    dxf.writeEndBlock(w, space);
  }
  w.sectionEnd();
}

void WriteLabel(DL_Dxf& dxf, MemoryWriter& w, const char* layer, double x, double y, double z,
                const std::string& text) {
  // Beside the point, up and to the right of it by half a text height.
  const double tx = x + kTextHeight / 2, ty = y + kTextHeight / 2;
  dxf.writeText(w,
                DL_TextData(tx, ty, z, tx, ty, z, kTextHeight, 1.0, 0, 0, 0, text, "Standard", 0.0),
                DL_Attributes(layer, 256, -1, "BYLAYER", 1.0));
}

}  // namespace

QByteArray PointDxfBytes(const PointList& points, const SolverState& stations, bool sightLines) {
  DL_Dxf dxf;
  MemoryWriter w;
  w.Reserve(points.size() * (sightLines ? 1200 : 450) + 20000);
  WriteTables(dxf, w, sightLines);

  w.sectionEntities();
  std::optional<StationGrounds> grounds;
  try {
    grounds = StationsOf(stations);
  } catch (const TorbelError&) {
    // Nothing measured yet: the points alone.
  }
  std::array<LocalPosition, 3> lenses{};
  if (grounds) {
    const std::array<LocalPosition, 3> at = {grounds->P0, grounds->P1, grounds->P2};
    for (int k = 0; k < 3; ++k) {
      const LocalPosition& g = at[static_cast<std::size_t>(k)];
      const double x = static_cast<double>(g.X), y = static_cast<double>(g.Y),
                   z = static_cast<double>(g.Z);
      dxf.writePoint(w, DL_PointData(x, y, z), DL_Attributes(kStations, 256, -1, "BYLAYER", 1.0));
      WriteLabel(dxf, w, kStations, x, y, z, "P" + std::to_string(k));
      lenses[static_cast<std::size_t>(k)] = grounds->Lenses[static_cast<std::size_t>(k)];
    }
  }
  for (std::size_t i = 0; i < points.size(); ++i) {
    const PointRec& p = points[i];
    const LocalPosition xyz =
        PositionOf(p.Hor0, p.Vert0, p.Dist0, stations.NodalHeight, stations.PanoTilt[0]);
    const double x = static_cast<double>(xyz.X), y = static_cast<double>(xyz.Y),
                 z = static_cast<double>(xyz.Z);
    dxf.writePoint(w, DL_PointData(x, y, z), DL_Attributes(kPoints, 256, -1, "BYLAYER", 1.0));
    WriteLabel(dxf, w, kLabels, x, y, z, "." + std::to_string(points.Label(i)));
    if (!sightLines || !grounds) continue;
    for (const LocalPosition& lens : lenses) {
      dxf.writeLine(w,
                    DL_LineData(static_cast<double>(lens.X), static_cast<double>(lens.Y),
                                static_cast<double>(lens.Z), x, y, z),
                    DL_Attributes(kSightLines, 256, -1, "BYLAYER", 1.0));
    }
  }
  w.sectionEnd();
  dxf.writeObjects(w);
  dxf.writeObjectsEnd(w);
  w.dxfEOF();
  return w.Take();
}
