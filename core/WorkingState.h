#pragma once

#include <QImage>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <vector>

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

// A stored point, narrowed to doubles: its direction and distance seen from P0, and its
// directions in the P1 and P2 panoramas.
struct PointRec {
  double Hor0 = 0, Vert0 = 0, Dist0 = 0;
  double Hor1 = 0, Vert1 = 0;
  double Hor2 = 0, Vert2 = 0;

  // The point's direction in the panorama of station 0 (P0), 1 or 2.
  double HorIn(int station) const { return station == 0 ? Hor0 : station == 1 ? Hor1 : Hor2; }
  double VertIn(int station) const { return station == 0 ? Vert0 : station == 1 ? Vert1 : Vert2; }
};

// The stored points, in table order, each with the number of its table label (".3" is 3). A label
// is the count of points before it when it was added and is never renumbered. Every change gets a
// new revision number (unique in the process), so that the views can keep the marks' pixel
// positions between paints and know when they must be worked out again.
class PointList {
 public:
  std::size_t size() const { return items_.size(); }
  bool empty() const { return items_.empty(); }
  const PointRec& operator[](std::size_t i) const { return items_[i]; }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }
  const std::vector<PointRec>& Items() const { return items_; }
  int Label(std::size_t i) const { return labels_[i]; }
  std::uint64_t Revision() const { return revision_; }

  void Append(const PointRec& p) { Insert(size(), p, static_cast<int>(size())); }
  // Puts a point back where it stood, with its label.
  void Insert(std::size_t i, const PointRec& p, int label) {
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(i), p);
    labels_.insert(labels_.begin() + static_cast<std::ptrdiff_t>(i), label);
    Touch();
  }
  void Erase(std::size_t i) {
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
    labels_.erase(labels_.begin() + static_cast<std::ptrdiff_t>(i));
    Touch();
  }
  // A new list, labelled .0, .1, ... in its order.
  void Assign(std::vector<PointRec> items) {
    items_ = std::move(items);
    labels_.resize(items_.size());
    for (std::size_t i = 0; i < labels_.size(); ++i) labels_[i] = static_cast<int>(i);
    Touch();
  }
  void Clear() { Assign({}); }

 private:
  void Touch() {
    static std::uint64_t next = 0;
    revision_ = ++next;
  }

  std::vector<PointRec> items_;
  std::vector<int> labels_;
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
  std::int32_t DragX = 0, DragY = 0;
  QString PanoFile0, PanoFile1, PanoFile2;
  QImage Pano0, Pano1, Pano2;
  PointList Points;

  // The fields of station 0 (P0), 1 (P1) or 2 (P2).
  StationFields<Real, QString, QImage> Station(int station) {
    if (station == 0) return {CurHor, CurVert, PanoFile0, Pano0};
    if (station == 1) return {P1Hor, P1Vert, PanoFile1, Pano1};
    return {P2Hor, P2Vert, PanoFile2, Pano2};
  }
  StationFields<const Real, const QString, const QImage> Station(int station) const {
    if (station == 0) return {CurHor, CurVert, PanoFile0, Pano0};
    if (station == 1) return {P1Hor, P1Vert, PanoFile1, Pano1};
    return {P2Hor, P2Vert, PanoFile2, Pano2};
  }
};
