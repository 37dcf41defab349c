#pragma once

#include <QImage>
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <vector>

#include "core/PanoPicture.h"
#include "geometry/Solver.h"

// Input modes. There is no mode 1.
enum class Mode : std::uint8_t {
  ModeIdle = 0,
  ModePoint = 2,  // a point is aimed at in P0 and its distance turned
  ModeP0zu1 = 3,  // aiming at P1 in the P0 panorama
  ModeP0zu2 = 4,
  ModeP1zu0 = 5,  // aiming at P0 in the P1 panorama
  ModeP2zu0 = 6,
};

// Where the user marked a point by hand in a survey panorama (Shift+click), in that picture's
// angles: where the picture shows it, whether or not the stations put it there.
struct Mark {
  double Hor = 0, Vert = 0;
  bool operator==(const Mark&) const = default;
};

// A stored point, narrowed to doubles: its direction and distance seen from P0, and its
// directions in the P1 and P2 panoramas as the stations place it. A point marked by hand in both
// survey panoramas is a tie point: the pictures' own say on where the stations stand.
struct PointRec {
  double Hor0 = 0, Vert0 = 0, Dist0 = 0;
  double Hor1 = 0, Vert1 = 0;
  double Hor2 = 0, Vert2 = 0;
  std::optional<Mark> Mark1 = std::nullopt, Mark2 = std::nullopt;

  bool Tie() const { return Mark1 && Mark2; }
  const std::optional<Mark>& MarkIn(int station) const { return station == 1 ? Mark1 : Mark2; }

  // The point's direction in the panorama of station 0 (P0), 1 or 2.
  double HorIn(int station) const { return station == 0 ? Hor0 : station == 1 ? Hor1 : Hor2; }
  double VertIn(int station) const { return station == 0 ? Vert0 : station == 1 ? Vert1 : Vert2; }
};

// A stored point's survey angles solved anew from its direction and distance in P0, in the
// state's frame; the state's current point is left at the point.
inline void SolveSurveyAngles(SolverState& s, PointRec& p) {
  s.CurHor = p.Hor0;
  s.CurVert = p.Vert0;
  s.CurDist = p.Dist0;
  SolvePoint(s);
  p.Hor1 = ToDouble(s.P1Hor);
  p.Vert1 = ToDouble(s.P1Vert);
  p.Hor2 = ToDouble(s.P2Hor);
  p.Vert2 = ToDouble(s.P2Vert);
}

// The stored points, in table order, each with the number of its table label (".3" is 3). A label
// is the count of points before it when it was added and is never renumbered. A point and its
// label are one entry, so that no failure (memory running out half-way) can part them. Every
// change gets a new revision number (unique in the process), so that the views can keep the
// marks' pixel positions between paints and know when they must be worked out again.
class PointList {
  struct Entry {
    PointRec point;
    int label;
  };

 public:
  // Walks the points alone.
  class Iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = PointRec;
    using difference_type = std::ptrdiff_t;
    using pointer = const PointRec*;
    using reference = const PointRec&;
    Iterator() = default;
    explicit Iterator(std::vector<Entry>::const_iterator at) : at_(at) {}
    const PointRec& operator*() const { return at_->point; }
    const PointRec* operator->() const { return &at_->point; }
    Iterator& operator++() {
      ++at_;
      return *this;
    }
    Iterator operator++(int) { return Iterator(at_++); }
    bool operator==(const Iterator&) const = default;

   private:
    std::vector<Entry>::const_iterator at_;
  };

  PointList() = default;
  // A list read or made elsewhere, labelled .0, .1, ... in its order.
  PointList(const std::vector<PointRec>& points) { Assign(points); }  // NOLINT: a list as well

  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  const PointRec& operator[](std::size_t i) const { return entries_[i].point; }
  Iterator begin() const { return Iterator(entries_.begin()); }
  Iterator end() const { return Iterator(entries_.end()); }
  int Label(std::size_t i) const { return entries_[i].label; }
  std::uint64_t Revision() const { return revision_; }

  void Append(const PointRec& p) { Insert(size(), p, static_cast<int>(size())); }
  // Puts a point back where it stood, with its label.
  void Insert(std::size_t i, const PointRec& p, int label) {
    entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(i), Entry{p, label});
    Touch();
  }
  // New values for a point where it stands; its label stays, as does its row in the table.
  void Replace(std::size_t i, const PointRec& p) {
    entries_[i].point = p;
    Touch();
  }
  void Erase(std::size_t i) {
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
    Touch();
  }
  // A new list, labelled .0, .1, ... in its order.
  void Assign(const std::vector<PointRec>& points) {
    std::vector<Entry> entries;
    entries.reserve(points.size());
    for (const PointRec& p : points) entries.push_back({p, static_cast<int>(entries.size())});
    entries_ = std::move(entries);
    Touch();
  }
  // Room for `more` points beyond those there are, so that adding them takes no memory.
  void Reserve(std::size_t more) { entries_.reserve(entries_.size() + more); }
  // The list with `more` after its points, labelled on from the count of points. The memory for
  // all of them is taken before the first is added: all are added, or none.
  void AppendAll(const std::vector<PointRec>& more) {
    entries_.reserve(entries_.size() + more.size());
    for (const PointRec& p : more) entries_.push_back({p, static_cast<int>(entries_.size())});
    Touch();
  }
  void Clear() { Assign({}); }

 private:
  void Touch() {
    static std::uint64_t next = 0;
    revision_ = ++next;
  }

  std::vector<Entry> entries_;
  std::uint64_t revision_ = 0;
};

// What belongs to one station: the current point's direction in its panorama (CurHor, CurVert
// for P0), the panorama's path and picture.
template <typename Angle, typename Text, typename Image>
struct StationFields {
  Angle& Hor;
  Angle& Vert;
  Text& PanoFile;
  Image& Pano;
};

// Everything the main window works on. The views and commands read and write it directly.
struct WorkingState : SolverState {
  ::Mode Mode = ::Mode::ModeIdle;
  int RepeatCount = 0;
  int SelIndex = 0;
  std::int32_t CursorX = 0, CursorY = 0;  // the magnifiers' shared centre
  // The centre's fraction of a pixel (-0.5 ... 0.5) where an aim falls between pixels.
  Real CursorSubX = 0, CursorSubY = 0;
  std::int32_t DragX = 0, DragY = 0;
  QString PanoFile0, PanoFile1, PanoFile2;
  PanoPicture Pano0, Pano1, Pano2;
  PointList Points;
  // The current point's marks by hand in P1 and P2, stored with it.
  std::optional<Mark> CurMark1, CurMark2;
  // Tie points found in the pictures, drawn in the views while the adjustment's report is open
  // (where each picture shows it, and whether the adjustment used it); never saved.
  struct ShownTie {
    std::array<Mark, 3> at;
    bool used = false;
  };
  std::vector<ShownTie> ShownTies;

  // The shapes of the three panoramas, in station order.
  PanoShapes Shapes() const { return {Pano0.Shape, Pano1.Shape, Pano2.Shape}; }

  // The fields of station 0 (P0), 1 (P1) or 2 (P2).
  StationFields<Real, QString, PanoPicture> Station(int station) {
    if (station == 0) return {CurHor, CurVert, PanoFile0, Pano0};
    if (station == 1) return {P1Hor, P1Vert, PanoFile1, Pano1};
    return {P2Hor, P2Vert, PanoFile2, Pano2};
  }
  StationFields<const Real, const QString, const PanoPicture> Station(int station) const {
    if (station == 0) return {CurHor, CurVert, PanoFile0, Pano0};
    if (station == 1) return {P1Hor, P1Vert, PanoFile1, Pano1};
    return {P2Hor, P2Vert, PanoFile2, Pano2};
  }
};
