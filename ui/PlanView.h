#pragma once

#include <QImage>
#include <QWidget>
#include <optional>
#include <vector>

#include "core/WorkingState.h"
#include "paint/PlanPainter.h"

class QAction;

// The live plan: the survey seen from above, drawn by PlanPainter over the working state. The
// stations, lines and stored points are kept as a picture that is drawn again only when they,
// the zoom or the size change; the selection, the current point of point entry, the scale bar and
// the +Y arrow are drawn over it at every paint. The wheel zooms about the pointer, a drag pans,
// Home (or "Alles zeigen" in the context menu) shows everything.
class PlanView : public QWidget {
  Q_OBJECT

 public:
  PlanView(const WorkingState& state, QWidget* parent = nullptr);

  // Takes in what changed in the state since the last call, and repaints if anything did.
  void Refresh();
  // Shows the stations and every point.
  void FitAll();
  // Moves the plan by so many pixels, as a drag does.
  void PanBy(QPointF pixels);

  const PlanTransform& Transform() const { return transform_; }
  // The point (index into the list) drawn within a few pixels of a widget position, the nearest.
  std::optional<int> PointAt(QPointF position) const;

 public slots:
  // The points drawn in the selection colour, as indices into the point list.
  void SetSelectedPoints(const std::vector<int>& indices);
  // The decimal separator of the lengths it writes.
  void SetDecimalSeparator(QChar separator) { separator_ = separator; }

 signals:
  // A click on a point: its index in the list, and whether Ctrl was held.
  void PointClicked(int index, bool ctrl);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  PlanStyle Style() const;
  void DrawStatic();

  // What the static picture was drawn from.
  struct StaticKey {
    std::uint64_t points = 0;
    Real nodalHeight = 0;
    Real stations[11] = {};
    bool operator==(const StaticKey&) const = default;
  };
  // What the current point was drawn from.
  struct LiveKey {
    Mode mode = Mode::ModeIdle;
    Real hor = 0, vert = 0, dist = 0;
    bool operator==(const LiveKey&) const = default;
  };
  StaticKey StaticKeyOf() const;
  LiveKey LiveKeyOf() const;

  const WorkingState& state_;
  std::optional<StaticKey> staticKey_;
  LiveKey liveKey_;
  std::optional<PlanStations> stations_;
  PlanPoints points_;
  std::optional<PlanCurrent> current_;
  std::vector<int> selected_;
  QChar separator_ = QLatin1Char('.');
  PlanTransform transform_;
  // Everything is shown, as fitted, until the user zooms or pans; so it stays as the plan grows.
  bool followsFit_ = true;
  QImage static_;
  bool staticValid_ = false;
  // A press of the left button, and whether it has moved far enough to be a drag.
  std::optional<QPointF> pressedAt_;
  QPointF lastDrag_;
  bool dragging_ = false;
  QAction* fitAll_;
};
