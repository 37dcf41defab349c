#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <variant>
#include <vector>

#include "commands/ProjectLock.h"
#include "commands/Window.h"
#include "core/NumberText.h"
#include "core/Platform.h"
#include "core/WorkingState.h"
#include "geometry/Firmness.h"

// A change of the point list that can be taken back: a point added or deleted at its index in
// the list, with its values and label, or a point given new values where it stands.
struct PointEdit {
  enum class Kind { Added, Deleted, Replaced };
  Kind kind;
  std::size_t index;
  PointRec point;  // added, deleted, or put in place of `before`
  int label;
  PointRec before{};
};

// A station frame taken over from the pictures, which can be taken back: the station values and
// tilts, every stored point (its survey angles solved in that frame) and the frame's covariance,
// before and after.
struct FrameEdit {
  frame::Measured<Real> before, after;
  std::vector<PointRec> pointsBefore, pointsAfter;
  FrameCovarianceRef covarianceBefore, covarianceAfter;
};

// Whatever "Rückgängig" takes back.
using Edit = std::variant<PointEdit, FrameEdit>;

// What every command works on: the working state, the platform (everything modal or outside the
// process), the main window, the locale's decimal separator, and the remembered settings of the
// window's dialogs and buffers.
struct Context {
  Context(WorkingState& state, Platform& platform, Window& window, char decimalSeparator)
      : s(state), platform(platform), window(window), separator(decimalSeparator) {}

  WorkingState& s;
  Platform& platform;
  Window& window;
  char separator;

  FileDialog OpenDialog1, SaveDialog1, OpenDialog2;
  FileDialog ExportDialog, DxfDialog, PlanDialog;
  // The scale, paper and orientation the plan was last asked for: indices of the options.
  struct PlanChoices {
    int scale = 1, paper = 0, orientation = 0;
  };
  PlanChoices planChoices;
  QString Memo1;      // the text of the last hand-over
  int wheelRest = 0;  // wheel turns short of a notch
  // The point and distance F3 found last, with each survey view's correlation there; shown for
  // as long as the current point is that one.
  struct FoundDistance {
    Real hor = 0, vert = 0, dist = 0;
    double score1 = 0, score2 = 0;
  };
  std::optional<FoundDistance> found;
  // How far off an aim lands in a panorama, in pixels (one standard deviation): what the firmness
  // figures are worked out from; the user sets it under "Einstellungen...".
  Real pointingPx = DefaultPointingPx;
  // The edits "Rückgängig" takes back, the last one last, and those "Wiederholen" does again.
  std::vector<Edit> undoEdits, redoEdits;
  // The index of the point that point entry edits, which Enter replaces; none when a new point
  // is being entered.
  std::optional<std::size_t> editing;
  // In point entry, after a click in P0: the aim stays where the click put it while the mouse
  // crosses P0 on its way to a survey view.
  bool aimHeld = false;
  // A digest of the project as the state stood at the last save or load (or the fresh start):
  // the state differs from it exactly when the project holds changes no file holds. Nothing while
  // the state holds changes that were never in a file (points entered before a load).
  std::optional<QByteArray> savedProject;
  // The lock of the project open here (the save dialog's file name), where one could be taken.
  ProjectLock projectLock;

  // The display text of a number.
  QString Fix(Real x) const { return QString::fromStdString(FixText(x, separator)); }
  // A length in metres to the millimetre.
  QString Metres(Real x) const {
    QString text = QString::number(static_cast<double>(x), 'f', 3);
    if (separator != '.') text.replace(QLatin1Char('.'), QLatin1Char(separator));
    return text + QStringLiteral(" m");
  }
  // "hor° vert°", as the labels show a direction.
  QString DirectionText(Real hor, Real vert) const {
    return Fix(hor) + QStringLiteral("° ") + Fix(vert) + QStringLiteral("°");
  }
};
